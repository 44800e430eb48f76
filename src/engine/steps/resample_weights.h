#pragma once

#include <FreeImage.h>

#include <cstddef>
#include <vector>

// The resampling weights of FreeImage_Rescale's six filters, to the last bit: the streamed resize
// uses them to give the in-memory resize's bytes.

// How far the filter reaches on either side of a pixel's centre, in source pixels at scale 1;
// 0 for a value that is not one of the six filters.
double kernelSupport(FREE_IMAGE_FILTER filter);

// The source pixels one target pixel of a line is made of: `count` of them from `first`, their
// weights at `offset` in the table's weights.
struct Taps {
    unsigned first = 0;
    unsigned count = 0;
    std::size_t offset = 0;
};

struct WeightTable {
    std::vector<Taps> taps; // one per target pixel of the line
    std::vector<double> weights;

    std::size_t bytes() const { return taps.size() * sizeof(Taps) + weights.size() * sizeof(double); }
};

// Weights for a line of sourceLength pixels resampled to targetLength. A reduction widens the kernel
// by its factor; each target pixel's weights are normalised to sum to one, and zero weights at the
// far end are left out (those at the near end stay: they add zero to the sum).
WeightTable weightTable(FREE_IMAGE_FILTER filter, unsigned targetLength, unsigned sourceLength);

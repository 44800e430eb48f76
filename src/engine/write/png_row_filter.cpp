#include "engine/write/png_row_filter.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

// libpng's measure of a filtered row: the sum of each byte's distance from zero, bytes of 128
// and above counted as negative (the smaller of the byte and its negation).
std::size_t costOf(const std::uint8_t* __restrict bytes, std::size_t size)
{
    std::size_t sum = 0;
    // In stretches whose sum fits 32 bits, so that the loop runs on vectors.
    constexpr std::size_t stretch = std::size_t{1} << 20;
    for (std::size_t start = 0; start < size; start += stretch) {
        const std::size_t end = std::min(size, start + stretch);
        std::uint32_t part = 0;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint8_t value = bytes[i];
            const auto negated = static_cast<std::uint8_t>(-value);
            part += value < negated ? value : negated;
        }
        sum += part;
    }
    return sum;
}

// Each filter over a whole row (`above` is the row above it, zeros for the first row), in loops
// without early exits so that they run on vectors.
void subFilter(const std::uint8_t* __restrict row, std::uint8_t* __restrict out, std::size_t size, unsigned pixel)
{
    const std::size_t lead = std::min<std::size_t>(pixel, size);
    std::memcpy(out, row, lead);
    for (std::size_t i = lead; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - row[i - pixel]);
    }
}

void upFilter(const std::uint8_t* __restrict row, const std::uint8_t* __restrict above, std::uint8_t* __restrict out,
              std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - above[i]);
    }
}

void averageFilter(const std::uint8_t* __restrict row, const std::uint8_t* __restrict above,
                   std::uint8_t* __restrict out, std::size_t size, unsigned pixel)
{
    const std::size_t lead = std::min<std::size_t>(pixel, size);
    for (std::size_t i = 0; i < lead; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - above[i] / 2);
    }
    for (std::size_t i = lead; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - (row[i - pixel] + above[i]) / 2);
    }
}

void paethFilter(const std::uint8_t* __restrict row, const std::uint8_t* __restrict above, std::uint8_t* __restrict out,
                 std::size_t size, unsigned pixel)
{
    const std::size_t lead = std::min<std::size_t>(pixel, size);
    // With nothing to the left the predictor is the byte above.
    for (std::size_t i = 0; i < lead; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - above[i]);
    }
    for (std::size_t i = lead; i < size; ++i) {
        const int a = row[i - pixel];
        const int b = above[i];
        const int c = above[i - pixel];
        const int p = b - c;
        const int q = a - c;
        const int pa = p < 0 ? -p : p;
        const int pb = q < 0 ? -q : q;
        const int pc = p + q < 0 ? -(p + q) : p + q;
        const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = static_cast<std::uint8_t>(row[i] - predictor);
    }
}

void filterInto(int type, const std::uint8_t* row, const std::uint8_t* above, std::uint8_t* out, std::size_t size,
                unsigned pixel)
{
    switch (type) {
    case PNG_FILTER_VALUE_SUB:
        subFilter(row, out, size, pixel);
        break;
    case PNG_FILTER_VALUE_UP:
        upFilter(row, above, out, size);
        break;
    case PNG_FILTER_VALUE_AVG:
        averageFilter(row, above, out, size, pixel);
        break;
    default:
        paethFilter(row, above, out, size, pixel);
        break;
    }
}

} // namespace

PngRowFilter::PngRowFilter(std::size_t rowBytes, unsigned pixelBytes, unsigned filters)
    : rowBytes_(rowBytes), pixelBytes_(std::max(pixelBytes, 1u)), filters_(filters), zeros_(rowBytes), trial_(rowBytes),
      best_(rowBytes)
{
}

void PngRowFilter::filter(const std::uint8_t* row, const std::uint8_t* above, std::uint8_t* out)
{
    const std::size_t size = rowBytes_;
    if (above == nullptr) {
        above = zeros_.data();
    }
    constexpr std::array<unsigned, 4> masks{PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};
    constexpr std::array<int, 4> types{PNG_FILTER_VALUE_SUB, PNG_FILTER_VALUE_UP, PNG_FILTER_VALUE_AVG,
                                       PNG_FILTER_VALUE_PAETH};
    const unsigned filters = filters_;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if (filters == masks[i]) {
            out[0] = static_cast<std::uint8_t>(types[i]);
            filterInto(types[i], row, above, out + 1, size, pixelBytes_);
            return;
        }
    }
    int bestType = PNG_FILTER_VALUE_NONE;
    const std::uint8_t* best = row;
    std::size_t lowest = std::numeric_limits<std::size_t>::max();
    if ((filters & PNG_FILTER_NONE) != 0 && filters != PNG_FILTER_NONE) {
        lowest = costOf(row, size);
    }
    std::uint8_t* trial = trial_.data();
    std::uint8_t* kept = best_.data();
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if ((filters & masks[i]) == 0) {
            continue;
        }
        filterInto(types[i], row, above, trial, size, pixelBytes_);
        if (const std::size_t cost = costOf(trial, size); cost < lowest) {
            lowest = cost;
            bestType = types[i];
            best = trial;
            std::swap(trial, kept);
        }
    }
    out[0] = static_cast<std::uint8_t>(bestType);
    std::memcpy(out + 1, best, size);
}

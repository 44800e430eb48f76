#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/run_context.h"
#include "engine/steps/watermark.h"

#include <cstdint>
#include <optional>

// The frame and the watermark of a page that is written a band of rows at a time. The watermark is
// rendered and placed once for the page; every band is then framed and watermarked where the frame
// and the watermark cross it, and comes out as its rows of the whole page drawn by drawFrame and
// drawWatermark would. Bands are given top band first, each right after the one above it.
// Needs a QGuiApplication when either is on (runNeedsDrawing), like the page steps.
class BandDrawing {
  public:
    // For a width x height page (the size the frame and the watermark are placed on), with the file
    // in hand described (describePage): the watermark text is expanded now.
    BandDrawing(int width, int height, const RunContext& context);

    // The next band through the frame and the watermark; unchanged when both are off. Empty when a
    // conversion fails.
    Bitmap draw(Bitmap band);

  private:
    const Settings& settings_;
    int width_;
    int height_;
    int nextRow_ = 0;
    std::optional<PlacedWatermark> watermark_;
};

// What BandDrawing holds at its peak for a width x height page drawn in bands of `rows` rows, besides
// the band itself.
std::uint64_t bandDrawingMemory(int width, int height, const Settings& settings, std::uint64_t rows);

#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"

#include <cstdint>

// Paints the solid frame over the edges of the page: four bands joined by mitred corners, with the
// common opacity. The page keeps its size and comes out 24-bit whenever the frame is on (even with
// all widths 0), or 16-bit RGB when it came with 16-bit samples; with the frame off it is returned
// as it came. width and height are the page size.
// Needs a QGuiApplication (drawing). A part that cannot be drawn keeps its pixels, converted.
Bitmap drawFrame(Bitmap image, int width, int height, const Settings& settings);

// The same for a band of consecutive rows of a width x height page whose top row is page row
// `firstRow`: the band comes out as those rows of the framed page would. drawFrame is this with the
// whole page as the band. A band that is not a part of such a page is only converted.
Bitmap drawFrameRows(Bitmap rows, int firstRow, int width, int height, const Settings& settings);

// What drawing the frame on a band of `rows` rows of a width x height page holds at its peak, besides
// the band: the largest part of the band that is painted at once, as canvas, overlay and composite.
std::uint64_t frameRowsMemory(int width, int height, const Settings& settings, std::uint64_t rows);

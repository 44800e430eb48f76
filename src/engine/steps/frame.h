#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"

// Paints the solid frame over the edges of the page: four bands joined by mitred corners, with the
// common opacity. The page keeps its size and comes out 24-bit whenever the frame is on (even with
// all widths 0), or 16-bit RGB when it came with 16-bit samples; with the frame off it is returned
// as it came. width and height are the page size.
// Needs a QGuiApplication (drawing). A failed drawing returns the page converted, without frame.
Bitmap drawFrame(Bitmap image, int width, int height, const Settings& settings);

#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"

// The colour steps of the page pipeline, run in this order after the flips. Each returns its
// argument untouched when its switch in Settings::adjustment is off, and an empty image when
// given one.

// Brightness, contrast, gamma and invert in one pass, only with Adjustment/Do Image Color
// Correction. Pages of fewer than 8 or more than 32 bits are converted to 24 bits first and the
// converted page is the one returned.
Bitmap adjustColours(Bitmap image, const Settings& settings);

// An 8-bit grey page (Adjustment/Do Image Greyscale).
Bitmap toGreyscale(Bitmap image, const Settings& settings);

// A 1-bit page: white where the grey level is at or above Adjustment/Image Threshold
// (Adjustment/Do Image Threshold).
Bitmap applyThreshold(Bitmap image, const Settings& settings);

// The page as a 24-bit bitmap, whatever its pixel type: 16-bit and floating-point grey pages are
// scaled to 8 bits first and floating-point colour pages are tone-mapped, where FreeImage's plain
// 24-bit conversion would give nothing. Empty when the conversion fails.
Bitmap convertTo24Bits(const Bitmap& image);

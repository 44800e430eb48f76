#pragma once

// engine/steps: the page pipeline's steps, one family per file, each a free function taking the
// page by value and returning the page that replaces it: transform (rotate, resize, flip), colour,
// frame, watermark and bit depth, with draw/ the drawing facility over QImage and QPainter. The
// order they run in is engine/run/pipeline.cpp's. Includes core, formats and decode.

#include "app/settings.h"
#include "engine/core/bitmap.h"

#include <FreeImage.h>

// The geometric steps of the page pipeline, run in this order: rotate, resize, then (after the
// grey and tone-mapping normalisation) flip. Each returns its argument untouched when its switch
// in Settings::transform is off or it has nothing to do, and an empty image when given one.

// Turns the page by Transform/Image Rotation degrees (1..359; anything else does nothing).
// Simple (type 0) enlarges the canvas and fills the corners with Transform/Image Rotation Back
// Color (transparent where the page has alpha); Advanced (type 1) turns about the centre, keeps the
// size and fills uncovered areas with mirrored content. Pages that are not 24 or 32 bits deep are
// converted to 24 bits first; a page with alpha keeps it (16-bit RGBA becomes 32 bits). With
// sixteenBitSamples, 16-bit RGB and RGBA pages are turned as they are by Simple rotation, and
// brought to 8 bits per sample only for Advanced rotation, which works on 8 bits.
Bitmap rotate(Bitmap image, const Settings& settings, bool sixteenBitSamples = false);

// Rescales the page to the Transform/Image Width and Height targets (pixels or percent of the
// current width and height, which the caller passes), honouring Large Images and Keep Aspect
// Ratio, with the filter of Transform/Image Resize Algorithm.
Bitmap resize(Bitmap image, int width, int height, const Settings& settings);

// Mirrors the page in place: horizontally first, then vertically.
void flip(Bitmap& image, const Settings& settings);

// The FreeImage filter of a Transform/Image Resize Algorithm value; Bicubic for unknown values.
FREE_IMAGE_FILTER resizeFilter(int algorithm);

// The target size resize() would scale a width x height page to, or {width, height} when it
// would leave the page alone.
struct ResizeTarget {
    int width = 0;
    int height = 0;
    bool operator==(const ResizeTarget&) const = default;
};
ResizeTarget resizeTarget(int width, int height, const Settings& settings);

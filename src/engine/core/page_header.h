#pragma once

#include "engine/core/bitmap.h"

// A standard bitmap without pixels (FreeImage_HasPixels is false): the size, depth, colour masks,
// palette, resolution, ICC profile and metadata of a page, for the writers that take a page a band
// of rows at a time. Empty when FreeImage cannot allocate it.
Bitmap allocatePageHeader(int width, int height, int bpp, unsigned redMask = 0, unsigned greenMask = 0,
                          unsigned blueMask = 0);

// The same for a page of any type (16-bit, 32-bit and floating-point samples); a standard bitmap
// gets FreeImage's usual colour masks.
Bitmap allocatePageHeader(FREE_IMAGE_TYPE type, int width, int height, int bpp);

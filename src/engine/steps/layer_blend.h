#pragma once

#include "engine/core/bitmap.h"

// Composites a 32-bit layer (straight alpha, as FreeImage_Composite takes it) over the part of a
// 24-bit bitmap whose top-left corner is (x, y), counted from the bitmap's top row, in place. Each
// pixel comes out as a composite of the whole bitmap with a layer that is transparent elsewhere would
// give it (a transparent pixel leaves the bitmap's pixel as it was), so a page can be drawn on one
// part, or one band, at a time. False, and the bitmap unchanged, unless the layer lies entirely
// inside the bitmap or FreeImage refuses it.
bool compositeLayerAt(Bitmap& target, const Bitmap& layer, int x, int y);

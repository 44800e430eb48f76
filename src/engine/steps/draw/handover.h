#pragma once

#include "engine/core/bitmap.h"
#include "engine/steps/draw/canvas.h"

namespace draw {

// The canvas as a FreeImage 32-bit bitmap with alpha, channel values copied exactly. Empty for a
// null canvas or when FreeImage cannot allocate.
Bitmap toFreeImage(const Canvas& canvas);

} // namespace draw

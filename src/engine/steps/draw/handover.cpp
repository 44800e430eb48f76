#include "engine/steps/draw/handover.h"

#include <cstring>

namespace draw {

Bitmap toFreeImage(const Canvas& canvas)
{
    if (canvas.isNull()) {
        return {};
    }
    const int width = canvas.width();
    const int height = canvas.height();
    Bitmap bitmap(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!bitmap) {
        return {};
    }
    // A QImage ARGB32 pixel is the 32-bit word 0xAARRGGBB; FreeImage's 32-bit pixel is the same word
    // on a little-endian machine (bytes B, G, R, A). Rows are stored bottom-up in FreeImage.
    static_assert(FI_RGBA_RED == 2 && FI_RGBA_ALPHA == 3, "FreeImage byte order differs from QImage ARGB32");
    const QImage& image = canvas.image();
    for (int y = 0; y < height; ++y) {
        std::memcpy(FreeImage_GetScanLine(bitmap.get(), height - 1 - y), image.constScanLine(y),
                    static_cast<std::size_t>(width) * 4U);
    }
    return bitmap;
}

} // namespace draw

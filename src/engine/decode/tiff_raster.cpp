#include "engine/decode/tiff_raster.h"

#include <new>

PageCanvas::PageCanvas(std::uint32_t width, std::uint32_t height, PagePixels pixels) : pixels_(pixels)
{
    const int bpp = pixels == PagePixels::Grey ? 8 : pixels == PagePixels::Rgb ? 24 : 32;
    bitmap_.reset(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), bpp, FI_RGBA_RED_MASK,
                                     FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (bitmap_ && pixels == PagePixels::Grey) {
        RGBQUAD* palette = FreeImage_GetPalette(bitmap_.get());
        for (int level = 0; level < 256; ++level) {
            const auto value = static_cast<BYTE>(level);
            palette[level] = RGBQUAD{value, value, value, 0};
        }
    }
}

void PageCanvas::put(std::uint32_t x, std::uint32_t y, const Rgba8& colour)
{
    // FreeImage keeps the bottom row first.
    BYTE* line = FreeImage_GetScanLine(bitmap_.get(), static_cast<int>(bitmap_.height() - 1 - y));
    switch (pixels_) {
    case PagePixels::Grey:
        line[x] = colour.red;
        return;
    case PagePixels::Rgb:
    case PagePixels::Rgba: {
        const unsigned bytes = pixels_ == PagePixels::Rgb ? 3 : 4;
        BYTE* pixel = line + x * bytes;
        pixel[FI_RGBA_RED] = colour.red;
        pixel[FI_RGBA_GREEN] = colour.green;
        pixel[FI_RGBA_BLUE] = colour.blue;
        if (bytes == 4) {
            pixel[FI_RGBA_ALPHA] = colour.alpha;
        }
        return;
    }
    }
}

ByteBuffer allocateBuffer(std::uint64_t bytes)
{
    if (bytes == 0 || bytes > static_cast<std::uint64_t>(PTRDIFF_MAX)) {
        return {};
    }
    return ByteBuffer(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
}

#include "engine/decode/tiff_raster.h"

#include "engine/core/page_limits.h"

#include <new>

PageCanvas::PageCanvas(std::uint32_t width, std::uint32_t height, PagePixels pixels) : pixels_(pixels)
{
    const auto w = static_cast<int>(width);
    const auto h = static_cast<int>(height);
    switch (pixels) {
    case PagePixels::Grey16:
        bitmap_.reset(FreeImage_AllocateT(FIT_UINT16, w, h));
        return;
    case PagePixels::Rgb16:
        bitmap_.reset(FreeImage_AllocateT(FIT_RGB16, w, h));
        return;
    case PagePixels::Rgba16:
        bitmap_.reset(FreeImage_AllocateT(FIT_RGBA16, w, h));
        return;
    default:
        break;
    }
    const int bpp = pixels == PagePixels::Grey ? 8 : pixels == PagePixels::Rgb ? 24 : 32;
    bitmap_.reset(FreeImage_Allocate(w, h, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
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
    default:
        return;
    }
}

void PageCanvas::put16(std::uint32_t x, std::uint32_t y, const Rgba16& colour)
{
    BYTE* line = FreeImage_GetScanLine(bitmap_.get(), static_cast<int>(bitmap_.height() - 1 - y));
    switch (pixels_) {
    case PagePixels::Grey16:
        reinterpret_cast<WORD*>(line)[x] = colour.red;
        return;
    case PagePixels::Rgb16:
        reinterpret_cast<FIRGB16*>(line)[x] = FIRGB16{colour.red, colour.green, colour.blue};
        return;
    case PagePixels::Rgba16:
        reinterpret_cast<FIRGBA16*>(line)[x] = FIRGBA16{colour.red, colour.green, colour.blue, colour.alpha};
        return;
    default:
        return;
    }
}

ByteBuffer allocateBuffer(std::uint64_t bytes, bool zeroed)
{
    if (bytes == 0 || bytes > kMaxBlockBytes) {
        return {};
    }
    const auto size = static_cast<std::size_t>(bytes);
    return ByteBuffer(zeroed ? new (std::nothrow) std::uint8_t[size]() : new (std::nothrow) std::uint8_t[size]);
}

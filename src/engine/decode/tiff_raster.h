#pragma once

#include "engine/core/bitmap.h"

#include <tiffio.h>

#include <cstdint>
#include <memory>

// What the two libtiff decode paths share: the open file and the bitmap they fill.

enum class PagePixels {
    Grey,   // 8-bit grey palette
    Rgb,    // 24 bits
    Rgba,   // 32 bits, alpha not premultiplied
    Grey16, // FIT_UINT16
    Rgb16,  // FIT_RGB16
    Rgba16, // FIT_RGBA16, alpha not premultiplied
};

struct Rgba8 {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
};

struct Rgba16 {
    std::uint16_t red = 0, green = 0, blue = 0, alpha = 0xFFFF;
};

// A page being filled pixel by pixel, addressed from the top-left corner.
class PageCanvas {
  public:
    PageCanvas(std::uint32_t width, std::uint32_t height, PagePixels pixels);
    bool valid() const { return !bitmap_.empty(); }
    // put for the 8-bit kinds, put16 for the 16-bit ones.
    void put(std::uint32_t x, std::uint32_t y, const Rgba8& colour);
    void put16(std::uint32_t x, std::uint32_t y, const Rgba16& colour);
    Bitmap take() { return std::move(bitmap_); }

  private:
    Bitmap bitmap_;
    PagePixels pixels_;
};

// A colour channel with the alpha it was multiplied by taken out again, both on a scale whose
// full value is `Full` (255 or 65535).
template <typename Level, std::uint32_t Full> Level unpremultiplied(std::uint32_t colour, std::uint32_t alpha)
{
    if (alpha == 0) {
        return 0;
    }
    const std::uint64_t value = (std::uint64_t{colour} * Full + alpha / 2U) / alpha;
    return static_cast<Level>(value > Full ? Full : value);
}

inline std::uint8_t unpremultiply(std::uint32_t colour, std::uint32_t alpha)
{
    return unpremultiplied<std::uint8_t, 255U>(colour, alpha);
}

inline std::uint16_t unpremultiply16(std::uint32_t colour, std::uint32_t alpha)
{
    return unpremultiplied<std::uint16_t, 65535U>(colour, alpha);
}

// A buffer for one strip, tile or band as stored, filled with zeros when `zeroed`; empty instead of
// throwing when memory is short and when it would be larger than kMaxBlockBytes.
using ByteBuffer = std::unique_ptr<std::uint8_t[]>;
ByteBuffer allocateBuffer(std::uint64_t bytes, bool zeroed = false);

// Decodes the current directory sample by sample (grey, palette, RGB and CMYK pages with unsigned
// integer samples of 1 to 16 or 32 bits); false when the page is not such a page or cannot be
// decoded. CMYK goes through the page's own profile when `throughProfile` and it has one.
// Grey and RGB pages of 16 bits per sample keep them (16-bit grey, 48- or 64-bit RGB, grey with
// alpha as RGBA), so they reach the steps as FreeImage's own decode of such a page does; every
// other page comes back at 8 bits per sample.
bool canUnpackSamples(TIFF* tiff);
Bitmap unpackSamples(TIFF* tiff, std::uint32_t width, std::uint32_t height, bool throughProfile);

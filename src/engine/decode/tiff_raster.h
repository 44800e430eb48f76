#pragma once

#include "engine/core/bitmap.h"

#include <tiffio.h>

#include <cstdint>
#include <memory>

// What the two libtiff decode paths share: the open file and the bitmap they fill.

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

enum class PagePixels {
    Grey, // 8-bit grey palette
    Rgb,  // 24 bits
    Rgba, // 32 bits, alpha not premultiplied
};

struct Rgba8 {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
};

// A page being filled pixel by pixel, addressed from the top-left corner.
class PageCanvas {
  public:
    PageCanvas(std::uint32_t width, std::uint32_t height, PagePixels pixels);
    bool valid() const { return !bitmap_.empty(); }
    void put(std::uint32_t x, std::uint32_t y, const Rgba8& colour);
    Bitmap take() { return std::move(bitmap_); }

  private:
    Bitmap bitmap_;
    PagePixels pixels_;
};

// A colour channel with the alpha it was multiplied by taken out again.
inline std::uint8_t unpremultiply(std::uint32_t colour, std::uint32_t alpha)
{
    if (alpha == 0) {
        return 0;
    }
    const std::uint32_t value = (colour * 255U + alpha / 2U) / alpha;
    return static_cast<std::uint8_t>(value > 255U ? 255U : value);
}

// A buffer for one strip or tile row; empty instead of throwing when memory is short.
using ByteBuffer = std::unique_ptr<std::uint8_t[]>;
ByteBuffer allocateBuffer(std::uint64_t bytes);

// Decodes the current directory sample by sample (grey, RGB and CMYK pages with unsigned integer
// samples of 1 to 16 or 32 bits); false when the page is not such a page or cannot be decoded.
bool canUnpackSamples(TIFF* tiff);
Bitmap unpackSamples(TIFF* tiff, std::uint32_t width, std::uint32_t height);

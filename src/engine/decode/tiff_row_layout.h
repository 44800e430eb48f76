#pragma once

#include "engine/core/bitmap.h"

#include <tiffio.h>

#include <cstdint>
#include <optional>
#include <vector>

struct TiffPageHeader;

// What one stored sample becomes in the bitmap.
enum class SampleConversion : std::uint8_t {
    Copy,           // the bytes as libtiff hands them over (machine order)
    SignedToOffset, // signed 16-bit to unsigned: +32768, so -32768 is black and 32767 white
    HalfToFloat,    // 16-bit IEEE half to 32-bit float
    DoubleToFloat,  // 64-bit IEEE to 32-bit float
};

// A page whose stored rows become the bitmap's rows by copying samples: grey, mask, palette and RGB
// pages of whole-byte or packed single samples, 16-bit integer, 32-bit integer and floating-point
// pages. The bitmap is the one the chain has always been given for such a page: FreeImage's type
// and depth, rows bottom-up, blue before red at 24 and 32 bits, a grey ramp (reversed for
// min-is-white) or the page's colour map as the palette.
struct RowLayout {
    FREE_IMAGE_TYPE type = FIT_BITMAP;
    unsigned bpp = 0;          // of the bitmap
    std::uint16_t bits = 8;    // per stored sample
    std::uint16_t samples = 1; // stored per pixel
    std::uint16_t kept = 1;    // copied per pixel, from the first; extra samples are left out
    bool separate = false;     // one plane per sample
    SampleConversion conversion = SampleConversion::Copy;
    bool swapRedBlue = false;     // 24- and 32-bit standard bitmaps keep blue first
    std::vector<RGBQUAD> palette; // empty without one

    // Bytes of one stored row of `pixels` pixels in one plane.
    std::uint64_t storedRowBytes(std::uint64_t pixels) const
    {
        return (pixels * (separate ? 1U : samples) * bits + 7) / 8;
    }
    std::uint16_t planes() const { return separate ? kept : 1; }
};

// The row layout of the current directory, nullopt when its pixels need more than copying
// (CMYK, YCbCr, CIELab, grey with alpha, associated alpha, palette pages with alpha, depths
// that are not whole bytes with more than one sample, old-style JPEG).
std::optional<RowLayout> rowLayoutOf(TIFF* tiff, const TiffPageHeader& header);

// A bitmap of the layout without pixels: type, depth, palette, resolution, ICC profile and the
// metadata the page carries. What the streamed path asks about the page before it reads a row.
Bitmap layoutHeader(TIFF* tiff, const RowLayout& layout, std::uint32_t width, std::uint32_t height);

// Puts the resolution (300 dpi when the page has none), ICC profile and metadata of the current
// directory on a page read as rows.
void attachRowPageMetadata(TIFF* tiff, const Bitmap& page);

// Copies `pixels` pixels of one stored row (one pointer per plane) into a bitmap row.
void copyRow(const RowLayout& layout, const std::uint8_t* const* planes, std::uint8_t* target, std::uint32_t pixels);

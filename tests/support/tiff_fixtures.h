#pragma once

#include "engine/core/bitmap.h"

#include <QString>

#include <vector>

// Small images made by code, so every test shows what its input is.
namespace fixtures {

// A colour by its red, green and blue levels, 0 to 255.
struct Rgb {
    unsigned red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The kinds of page a scanner or an editor hands us.
enum class PageKind {
    Bilevel, // 1 bit, black-and-white palette
    Grey8,   // 8-bit grey palette
    Grey16,  // FIT_UINT16
    Rgb24,
    Rgba32,
    Rgb48,   // FIT_RGB16
    Rgba64,  // FIT_RGBA16
    RgbFloat // FIT_RGBF (96 bits)
};

// A page with a deterministic pattern: a diagonal gradient with a marked top-left pixel, so
// orientation and colour changes show. Pixel (x, y) counts from the top-left corner.
Bitmap makePage(PageKind kind, int width, int height);

// A page of one colour (24 bit), for pixel tests of drawing and transforms.
Bitmap makeSolidPage(int width, int height, unsigned red, unsigned green, unsigned blue);

// A palette page with the fewest bits (1, 4 or 8) that hold `colours`, painted in square blocks of
// `block` pixels: block k, counted row by row from the top-left, has colours[k % count]. Blocks
// keep the colours apart through lossy writers; read a block back at its centre.
Bitmap makePalettePage(const std::vector<Rgb>& colours, int width, int height, int block);

// Writes the pages as one TIFF (multi-page when more than one). Returns false on failure.
bool writeTiff(const QString& path, const std::vector<Bitmap>& pages, int flags = 0);
bool writeTiff(const QString& path, PageKind kind, int width, int height, int pageCount = 1);

// Reads the RGB of pixel (x, y) counted from the top-left corner of a 24- or 32-bit page.
Rgb pixelAt(const Bitmap& page, int x, int y);

// The page cut into bands of `rows` rows from the top (the last one shorter), each a bitmap of the
// page's width, depth and palette, as a streamed page's source hands them over.
std::vector<Bitmap> bandsOf(const Bitmap& page, unsigned rows);

} // namespace fixtures

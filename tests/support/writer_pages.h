#pragma once

#include "engine/core/bitmap.h"
#include "engine/write/row_writer.h"

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

// Pages for the tests of the writers: every kind FreeImage's writers take, with samples that vary
// across the page, from channel to channel and with some noise (so that every filter and every
// DCT block has work to do), and optionally everything else a page can carry.
namespace writer_pages {

constexpr unsigned pageWidth = 37;
constexpr unsigned pageHeight = 23;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

using Bytes = std::vector<std::uint8_t>;

// The page kinds FreeImage's writers take, with how each was made.
enum class Kind {
    Grey8,
    ReversedGrey8,
    Palette8,
    TransparentPalette8,
    Palette4,
    Bilevel,
    ReversedBilevel,
    TransparentBilevel,
    Rgb24,
    RgbaTranslucent, // one translucent pixel, in the bottom row
    RgbaOpaque,
    Cmyk32,
    Grey16,
    Rgb16,
    Rgba16,
};

Bitmap makePage(Kind kind, unsigned width = pageWidth, unsigned height = pageHeight);

// Whether a page of `kind` has grey levels (a grey profile suits it).
bool greyKind(Kind kind);

// What a page carries besides its pixels, from nothing to everything the writers store.
enum class Extras { None, Resolution, Everything, LongMarkers };

void addExtras(const Bitmap& page, Extras extras, bool grey);

// The page as a row writer is told of it: everything but the pixels.
PageHeader headerOf(const Bitmap& page);

// The page written by FreeImage's own writer; empty on failure.
Bytes savedByFreeImage(FREE_IMAGE_FORMAT format, const Bitmap& page, int flags);

Bytes contentsOf(std::FILE* file);

// Rows top to bottom - 1 of the page (counted from the top) as a band: whole stored lines, the
// bits past the last pixel included, as a strip reader hands them over.
Bitmap rowsOf(const Bitmap& page, unsigned top, unsigned bottom);

} // namespace writer_pages

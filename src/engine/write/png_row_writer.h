#pragma once

#include "engine/write/row_writer.h"

#include <cstddef>
#include <cstdint>

// What the caller knows of a 32-bit page's alpha. FreeImage's PNG writer stores a 32-bit page
// whose every pixel is opaque as RGB and any other as RGBA: the choice is made in the file's
// header, before the first row, so a writer fed row by row must be told. A streamed writer that
// is told wrong fails rather than write a file the in-memory path would not.
enum class PageAlpha : std::uint8_t {
    Unknown,     // a 32-bit page is then not taken
    Opaque,      // every alpha value is 255
    Translucent, // some alpha value is below 255
};

// PNG as FreeImage's PNG writer lays it out: the same colour type and depth for the page, the same
// chunks (pHYs, iCCP, text, XMP, tIME, tRNS, bKGD) in the same order, and rows filtered as libpng
// filters them. The image data is compressed here, in groups of rows on one or more threads
// (engine/write/png_idat_encoder.h), so the compressed bytes are not libpng's but the pixels are.
// Interlaced files are not taken.
bool pngRowWriterTakes(int flags, const PageHeader& page, PageAlpha alpha = PageAlpha::Unknown);

struct PngWriterOptions {
    unsigned threads = 1; // threads that compress; the bytes written do not depend on it
    // The filtered bytes per group of rows, 0 for the writer's own; a smaller one gives a small
    // page several groups. The bytes written depend on it.
    std::size_t groupBytes = 0;
};

std::unique_ptr<RowWriter> openPngRowWriter(int flags, const PageHeader& page, std::FILE* file,
                                            PageAlpha alpha = PageAlpha::Unknown, const PngWriterOptions& options = {});

// The memory the writer holds for this page besides the band it is given, with `threads`
// compressing: the groups of rows in flight and each thread's zlib state.
std::size_t pngRowWriterBytes(int flags, const PageHeader& page, unsigned threads = 1);

// A whole page in memory through the same writer, so that it gives the bytes the streamed path
// gives. Whether the writer takes the page (its alpha found from its pixels), and the file written
// to `file` (left open: the caller closes it and checks that).
bool pngWriterTakesPage(int flags, const Bitmap& page);
bool writePngPage(int flags, const Bitmap& page, std::FILE* file, unsigned threads);

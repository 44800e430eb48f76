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

// PNG through libpng rows, as FreeImage's PNG writer encodes: its compression level, filters,
// chunks (pHYs, iCCP, text, XMP) and its byte order. Interlaced files are not taken: libpng
// needs the whole page for them.
bool pngRowWriterTakes(int flags, const PageHeader& page, PageAlpha alpha = PageAlpha::Unknown);
std::unique_ptr<RowWriter> openPngRowWriter(int flags, const PageHeader& page, std::FILE* file,
                                            PageAlpha alpha = PageAlpha::Unknown);

// The memory the writer holds for this page: libpng's rows and zlib's state.
std::size_t pngRowWriterBytes(int flags, const PageHeader& page);

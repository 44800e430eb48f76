#pragma once

#include "engine/core/bitmap.h"
#include "engine/formats/format_catalogue.h"

#include <cstdint>
#include <cstdio>
#include <memory>

// Writers for streamed pages: they take a page a band of rows at a time, top band first, and write
// the file the format's FreeImage writer writes for the whole page with the same flags, byte for
// byte (same library, same encoder settings, same markers and tags). The page is never held whole.

// What a row writer is told before the first band: the page as FreeImage's writer would be given
// it, without its pixels (FreeImage_AllocateHeader): the full width and height, the type and depth,
// the colour masks, the palette, the resolution, the ICC profile and the metadata models.
using PageHeader = Bitmap;

class RowWriter {
  public:
    virtual ~RowWriter() = default;
    RowWriter() = default;
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // The next rows of the page, the band below the rows written so far: a bitmap of the page's
    // width, type, depth and palette (its rows in FreeImage's bottom-up order, so the band's top
    // row is its last scan line). False when the rows could not be written.
    virtual bool writeBand(const Bitmap& band) = 0;

    // After the last band: completes the file. False when it could not be completed.
    virtual bool finish() = 0;
};

// Whether `kind` has a streamed form that gives FreeImage's bytes for this page and these flags
// (some do not: an interlaced PNG, a progressive JPEG, a depth the streamed form lacks).
bool rowWriterTakes(RowWriterKind kind, int flags, const PageHeader& page);

// The row writer of `kind` writing to `file` (left open: the caller closes it and checks that),
// or nullptr when rowWriterTakes is false or the writer could not start.
std::unique_ptr<RowWriter> openRowWriter(RowWriterKind kind, int flags, const PageHeader& page, std::FILE* file);

// The bytes the row writer of `kind` holds besides the band it is given, for a page `width`
// pixels wide written with `depth` bits per pixel: its row and strip buffers, and the codec's own
// state (libjpeg's rows of each component, zlib's window).
std::uint64_t rowWriterMemory(RowWriterKind kind, std::uint32_t width, int depth);

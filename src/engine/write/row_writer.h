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

// Which writer takes a page's rows, and the writer for a page: engine/write/row_writer_dispatch.h.

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

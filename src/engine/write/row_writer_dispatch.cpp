#include "engine/write/row_writer_dispatch.h"

#include "engine/write/jpeg_row_writer.h"
#include "engine/write/png_row_writer.h"
#include "engine/write/pnm_row_writer.h"
#include "engine/write/tiff_row_writer.h"

#include <algorithm>

bool rowWriterTakes(RowWriterKind kind, int flags, const PageHeader& page)
{
    switch (kind) {
    case RowWriterKind::Pnm:
        return pnmRowWriterTakes(flags, page);
    case RowWriterKind::Tiff:
        return tiffRowWriterTakes(flags, page);
    case RowWriterKind::Jpeg:
        return jpegRowWriterTakes(flags, page);
    case RowWriterKind::Png:
        // A 32-bit page is not taken: whether it is written with alpha depends on every pixel.
        return pngRowWriterTakes(flags, page);
    case RowWriterKind::None:
        return false;
    }
    return false;
}

std::unique_ptr<RowWriter> openRowWriter(RowWriterKind kind, int flags, const PageHeader& page, std::FILE* file,
                                         unsigned threads)
{
    switch (kind) {
    case RowWriterKind::Pnm:
        return openPnmRowWriter(flags, page, file);
    case RowWriterKind::Tiff:
        return openTiffRowWriter(flags, page, file);
    case RowWriterKind::Jpeg:
        return openJpegRowWriter(flags, page, file);
    case RowWriterKind::Png:
        return openPngRowWriter(flags, page, file, PageAlpha::Unknown, PngWriterOptions{.threads = threads});
    case RowWriterKind::None:
        return nullptr;
    }
    return nullptr;
}

std::uint64_t rowWriterMemory(RowWriterKind kind, int flags, const PageHeader& page, unsigned threads)
{
    const std::uint64_t row = (std::uint64_t{page.width()} * std::max(page.bpp(), 1U) + 7) / 8;
    switch (kind) {
    case RowWriterKind::Pnm:
        return row;
    case RowWriterKind::Tiff:
        // A row, and the strip libtiff gathers before it encodes and writes it (about 8 KiB, or a
        // whole fax page of 1-bit rows), with the codec's tables.
        return 2 * row + (std::uint64_t{1} << 20);
    case RowWriterKind::Jpeg:
        return jpegRowWriterBytes(flags, page);
    case RowWriterKind::Png:
        return pngRowWriterBytes(flags, page, threads);
    case RowWriterKind::None:
        return 0;
    }
    return 0;
}

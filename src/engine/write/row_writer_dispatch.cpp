#include "engine/write/row_writer_dispatch.h"

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
    // The JPEG and PNG row writers are wired here once they land (jpeg_row_writer.h, png_row_writer.h).
    case RowWriterKind::Jpeg:
    case RowWriterKind::Png:
    case RowWriterKind::None:
        return false;
    }
    return false;
}

std::unique_ptr<RowWriter> openRowWriter(RowWriterKind kind, int flags, const PageHeader& page, std::FILE* file)
{
    switch (kind) {
    case RowWriterKind::Pnm:
        return openPnmRowWriter(flags, page, file);
    case RowWriterKind::Tiff:
        return openTiffRowWriter(flags, page, file);
    case RowWriterKind::Jpeg:
    case RowWriterKind::Png:
    case RowWriterKind::None:
        return nullptr;
    }
    return nullptr;
}

std::uint64_t rowWriterMemory(RowWriterKind kind, std::uint32_t width, int depth)
{
    const std::uint64_t row = (std::uint64_t{width} * static_cast<unsigned>(std::max(depth, 1)) + 7) / 8;
    switch (kind) {
    case RowWriterKind::Pnm:
        return row;
    case RowWriterKind::Tiff:
        // A row, and the strip libtiff gathers before it encodes and writes it (about 8 KiB, or a
        // whole fax page of 1-bit rows), with the codec's tables.
        return 2 * row + (std::uint64_t{1} << 20);
    case RowWriterKind::Jpeg:
        // libjpeg keeps about 16 rows of each component for its blocks and subsampling.
        return 16 * std::uint64_t{width} * 3 + row + (std::uint64_t{1} << 20);
    case RowWriterKind::Png:
        // The row, libpng's filtered copies of it, and zlib's window and hash tables.
        return 3 * (row + 1) + (std::uint64_t{512} << 10);
    case RowWriterKind::None:
        return 0;
    }
    return 0;
}

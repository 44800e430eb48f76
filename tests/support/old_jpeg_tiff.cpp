#include "support/old_jpeg_tiff.h"

#include <QFile>

#include <algorithm>
#include <cstdint>

namespace fixtures {
namespace {

void put16(QByteArray& out, std::uint32_t value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void set32(QByteArray& out, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// APP1 "Exif" segment with a one-entry IFD0: Orientation.
QByteArray exifSegment(int orientation)
{
    QByteArray tiff("II*\0", 4);
    put32(tiff, 8);
    put16(tiff, 1);
    put16(tiff, 0x0112);
    put16(tiff, 3);
    put32(tiff, 1);
    put16(tiff, static_cast<std::uint32_t>(orientation));
    put16(tiff, 0);
    put32(tiff, 0);
    QByteArray segment("\xFF\xE1", 2);
    const auto length = static_cast<std::uint32_t>(2 + 6 + tiff.size());
    segment.append(static_cast<char>(length >> 8));
    segment.append(static_cast<char>(length & 0xFF));
    segment.append(QByteArray("Exif\0\0", 6));
    segment.append(tiff);
    return segment;
}

struct Entry {
    std::uint16_t tag;
    std::uint16_t type; // 3 SHORT, 4 LONG
    std::uint32_t count;
    std::uint32_t value;
};

// The pieces of a baseline JPEG stream: tables by number and the entropy-coded data.
struct JpegPieces {
    std::vector<QByteArray> quantTables; // 64 bytes each, by table number
    std::vector<QByteArray> dcTables;    // 16 counts and the values
    std::vector<QByteArray> acTables;
    QByteArray scan; // between the scan header and the end marker
};

bool splitJpeg(const QByteArray& jpeg, JpegPieces& pieces)
{
    qsizetype at = 2; // after SOI
    pieces.quantTables.resize(4);
    pieces.dcTables.resize(4);
    pieces.acTables.resize(4);
    while (at + 4 <= jpeg.size()) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const int length = (static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]);
        const QByteArray body = jpeg.mid(at + 4, length - 2);
        if (marker == 0xDB) {
            for (qsizetype t = 0; t + 65 <= body.size(); t += 65) {
                pieces.quantTables[static_cast<std::size_t>(body[t] & 3)] = body.mid(t + 1, 64);
            }
        } else if (marker == 0xC4) {
            for (qsizetype t = 0; t + 17 <= body.size();) {
                int count = 0;
                for (int i = 1; i <= 16; ++i) {
                    count += static_cast<unsigned char>(body[t + i]);
                }
                const QByteArray table = body.mid(t + 1, 16 + count);
                auto& tables = (body[t] & 0x10) != 0 ? pieces.acTables : pieces.dcTables;
                tables[static_cast<std::size_t>(body[t] & 3)] = table;
                t += 17 + count;
            }
        } else if (marker == 0xDA) {
            const qsizetype start = at + 2 + length;
            const qsizetype end = jpeg.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
            pieces.scan = jpeg.mid(start, end - start);
            return end > start;
        }
        at += 2 + length;
    }
    return false;
}

QByteArray encodeBand(const Bitmap& picture, int top, int rows, int subsampleY)
{
    const Bitmap band(FreeImage_Copy(picture.get(), 0, top, static_cast<int>(picture.width()), top + rows));
    FIMEMORY* memory = FreeImage_OpenMemory();
    QByteArray jpeg;
    const int subsampling = subsampleY == 2 ? JPEG_SUBSAMPLING_420 : JPEG_SUBSAMPLING_422;
    if (band && FreeImage_SaveToMemory(FIF_JPEG, band.get(), memory, 90 | subsampling) != 0) {
        BYTE* data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        jpeg = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    FreeImage_CloseMemory(memory);
    return jpeg;
}

void appendEntries(QByteArray& file, std::vector<Entry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    put16(file, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
        put16(file, entry.tag);
        put16(file, entry.type);
        put32(file, entry.count);
        if (entry.type == 3 && entry.count == 1) {
            put16(file, entry.value);
            put16(file, 0);
        } else if (entry.type == 3 && entry.count == 2) {
            put16(file, entry.value & 0xFFFF);
            put16(file, entry.value >> 16);
        } else {
            put32(file, entry.value);
        }
    }
    put32(file, 0);
}

// Appends `data` (word-aligned) and returns where it starts.
std::uint32_t appendBlock(QByteArray& file, const QByteArray& data)
{
    if (file.size() % 2 != 0) {
        file.append('\0');
    }
    const auto at = static_cast<std::uint32_t>(file.size());
    file.append(data);
    return at;
}

// Three LONG offsets (Y, Cb, Cr) to the tables; Y uses table 0, the chroma table 1.
std::uint32_t appendTables(QByteArray& file, const std::vector<QByteArray>& tables)
{
    const std::uint32_t luma = appendBlock(file, tables[0]);
    const std::uint32_t chroma = appendBlock(file, tables[1]);
    QByteArray offsets;
    put32(offsets, luma);
    put32(offsets, chroma);
    put32(offsets, chroma);
    return appendBlock(file, offsets);
}

} // namespace

QByteArray tableStyleJpegTiff(const Bitmap& picture, int subsampleY, int rowsPerStrip)
{
    const auto width = static_cast<int>(picture.width());
    const auto height = static_cast<int>(picture.height());
    QByteArray file("II*\0", 4);
    put32(file, 0);
    JpegPieces tables;
    std::vector<std::uint32_t> stripOffsets;
    std::vector<std::uint32_t> stripCounts;
    for (int top = 0; top < height; top += rowsPerStrip) {
        JpegPieces band;
        if (!splitJpeg(encodeBand(picture, top, std::min(rowsPerStrip, height - top), subsampleY), band)) {
            return {};
        }
        stripOffsets.push_back(appendBlock(file, band.scan));
        stripCounts.push_back(static_cast<std::uint32_t>(band.scan.size()));
        if (top == 0) {
            tables = band; // every band has the same tables: same quality, standard Huffman codes
        }
    }
    QByteArray offsets;
    QByteArray counts;
    for (std::size_t i = 0; i < stripOffsets.size(); ++i) {
        put32(offsets, stripOffsets[i]);
        put32(counts, stripCounts[i]);
    }
    const auto strips = static_cast<std::uint32_t>(stripOffsets.size());
    const std::uint32_t offsetsAt = strips == 1 ? stripOffsets[0] : appendBlock(file, offsets);
    const std::uint32_t countsAt = strips == 1 ? stripCounts[0] : appendBlock(file, counts);
    QByteArray bits;
    put16(bits, 8);
    put16(bits, 8);
    put16(bits, 8);
    const std::uint32_t bitsAt = appendBlock(file, bits);
    const std::uint32_t quantAt = appendTables(file, tables.quantTables);
    const std::uint32_t dcAt = appendTables(file, tables.dcTables);
    const std::uint32_t acAt = appendTables(file, tables.acTables);
    const auto blocksPerStrip = static_cast<std::uint32_t>(((width + 15) / 16) * (rowsPerStrip / (8 * subsampleY)));
    std::vector<Entry> entries{{256, 4, 1, static_cast<std::uint32_t>(width)},
                               {257, 4, 1, static_cast<std::uint32_t>(height)},
                               {258, 3, 3, bitsAt},
                               {259, 3, 1, 6},
                               {262, 3, 1, 6},
                               {273, 4, strips, offsetsAt},
                               {277, 3, 1, 3},
                               {278, 4, 1, static_cast<std::uint32_t>(rowsPerStrip)},
                               {279, 4, strips, countsAt},
                               {512, 3, 1, 1},
                               {515, 3, 1, blocksPerStrip},
                               {519, 4, 3, quantAt},
                               {520, 4, 3, dcAt},
                               {521, 4, 3, acAt},
                               {530, 3, 2, 2U | (static_cast<std::uint32_t>(subsampleY) << 16)}};
    if (file.size() % 2 != 0) {
        file.append('\0');
    }
    set32(file, 4, static_cast<std::uint32_t>(file.size()));
    appendEntries(file, entries);
    return file;
}

QByteArray encodeJpeg(const Bitmap& picture, int exifOrientation)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    QByteArray jpeg;
    if (FreeImage_SaveToMemory(FIF_JPEG, picture.get(), memory, 95) != 0) {
        BYTE* data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        jpeg = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    FreeImage_CloseMemory(memory);
    if (!jpeg.isEmpty() && exifOrientation > 0) {
        jpeg.insert(2, exifSegment(exifOrientation));
    }
    return jpeg;
}

QByteArray oldStyleJpegTiff(const std::vector<OldJpegPage>& pages)
{
    QByteArray file("II*\0", 4);
    put32(file, 0); // first IFD offset, patched below
    qsizetype previousNextField = 4;
    for (const OldJpegPage& page : pages) {
        const QByteArray jpeg = encodeJpeg(*page.picture, page.exifOrientation);
        if (jpeg.isEmpty()) {
            return {};
        }
        const auto jpegOffset = static_cast<std::uint32_t>(file.size());
        file.append(jpeg);
        if (file.size() % 2 != 0) {
            file.append('\0');
        }
        const auto bitsOffset = static_cast<std::uint32_t>(file.size());
        put16(file, 8);
        put16(file, 8);
        put16(file, 8);
        const auto length = static_cast<std::uint32_t>(jpeg.size());
        const std::uint32_t width = page.picture->width();
        const std::uint32_t height = page.picture->height();
        std::vector<Entry> entries{{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 3, bitsOffset},
                                   {259, 3, 1, 6},     {262, 3, 1, 6},      {273, 4, 1, jpegOffset},
                                   {277, 3, 1, 3},     {278, 4, 1, height}, {279, 4, 1, length}};
        if (page.interchangeTags) {
            entries.push_back({513, 4, 1, jpegOffset});
            entries.push_back({514, 4, 1, length});
        }
        const auto ifdOffset = static_cast<std::uint32_t>(file.size());
        set32(file, previousNextField, ifdOffset);
        put16(file, static_cast<std::uint32_t>(entries.size()));
        for (const Entry& entry : entries) {
            put16(file, entry.tag);
            put16(file, entry.type);
            put32(file, entry.count);
            if (entry.type == 3 && entry.count == 1) {
                put16(file, entry.value);
                put16(file, 0);
            } else {
                put32(file, entry.value);
            }
        }
        previousNextField = file.size();
        put32(file, 0);
    }
    return file;
}

bool writeOldStyleJpegTiff(const QString& path, const std::vector<OldJpegPage>& pages)
{
    const QByteArray bytes = oldStyleJpegTiff(pages);
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace fixtures

#include "support/old_jpeg_tiff.h"

#include <QFile>

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

} // namespace

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

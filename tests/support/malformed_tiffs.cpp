#include "support/malformed_tiffs.h"

#include "engine/core/bitmap.h"
#include "support/tiff_fixtures.h"

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace fixtures {
namespace {

struct MemoryDeleter {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

PageKind kindOf(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return PageKind::Bilevel;
    case 8:
        return PageKind::Grey8;
    case 16:
        return PageKind::Grey16;
    default:
        return PageKind::Rgb24;
    }
}

std::uint16_t read16(const QByteArray& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

std::uint32_t read32(const QByteArray& b, std::size_t at)
{
    return static_cast<std::uint32_t>(read16(b, at)) | static_cast<std::uint32_t>(read16(b, at + 2)) << 16;
}

void write16(QByteArray& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

void write32(QByteArray& b, std::size_t at, std::uint32_t v)
{
    write16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
    write16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Offset of the value field of `tag` in the first IFD of a little-endian TIFF, or 0.
std::size_t valueFieldOf(const QByteArray& tiff, std::uint16_t tag)
{
    const std::uint32_t ifd = read32(tiff, 4);
    const std::uint16_t count = read16(tiff, ifd);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12U * i;
        if (read16(tiff, entry) == tag) {
            return entry + 8;
        }
    }
    return 0;
}

// Sets a tag's value in place (keeping its type: SHORT writes 16 bits, LONG 32).
QByteArray withTag(QByteArray tiff, std::uint16_t tag, std::uint32_t value)
{
    const std::size_t field = valueFieldOf(tiff, tag);
    if (field == 0) {
        return tiff;
    }
    if (read16(tiff, field - 8 + 2) == 3) { // SHORT
        write16(tiff, field, static_cast<std::uint16_t>(value));
    } else {
        write32(tiff, field, value);
    }
    return tiff;
}

// The first IFD's "next IFD" offset points back at the IFD itself.
QByteArray withIfdLoop(QByteArray tiff)
{
    const std::uint32_t ifd = read32(tiff, 4);
    const std::uint16_t count = read16(tiff, ifd);
    write32(tiff, ifd + 2 + 12U * count, ifd);
    return tiff;
}

QByteArray emptyContainer()
{
    // A header whose first IFD has no entries and no successor.
    QByteArray tiff("II*\0", 4);
    tiff.append(QByteArray(4, '\0'));
    write32(tiff, 4, 8);
    tiff.append(QByteArray(6, '\0'));
    return tiff;
}

} // namespace

bool writeRawTiff(const QString& path, const std::vector<RawPage>& pages)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    bool written = true;
    for (const RawPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
        const std::uint64_t bytes = std::min<std::uint64_t>(std::uint64_t{page.width} * page.height, 4096);
        std::vector<unsigned char> data(bytes, 128);
        written = written && TIFFWriteRawStrip(tiff, 0, data.data(), static_cast<tmsize_t>(bytes)) >= 0 &&
                  TIFFWriteDirectory(tiff) != 0;
    }
    TIFFClose(tiff);
    return written;
}

QByteArray wellFormedTiff(int width, int height, int bitsPerPixel)
{
    const Bitmap page = makePage(kindOf(bitsPerPixel), width, height);
    std::unique_ptr<FIMEMORY, MemoryDeleter> memory(FreeImage_OpenMemory());
    if (!FreeImage_SaveToMemory(FIF_TIFF, page.get(), memory.get(), TIFF_NONE)) {
        return {};
    }
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory.get(), &data, &size);
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size));
}

std::vector<MalformedTiff> malformedTiffs()
{
    std::vector<MalformedTiff> files;
    const QByteArray rgb = wellFormedTiff(64, 48, 24);
    const QByteArray grey = wellFormedTiff(40, 30, 8);
    const QByteArray bilevel = wellFormedTiff(80, 60, 1);
    const auto add = [&files](const QString& name, const QByteArray& bytes) {
        files.push_back({name + QStringLiteral(".tif"), bytes});
    };

    for (const auto& [base, stem] : {std::pair{rgb, "rgb"}, std::pair{grey, "grey"}, std::pair{bilevel, "bilevel"}}) {
        for (int cut : {0, 1, 4, 7, 8, 9, 16, 32, 64, 100, 160, 200}) {
            if (cut < base.size()) {
                add(QStringLiteral("truncated-%1-at-%2").arg(QLatin1String(stem)).arg(cut), base.left(cut));
            }
        }
        for (int percent : {25, 50, 75, 90, 99}) {
            const int cut = static_cast<int>(static_cast<long long>(base.size()) * percent / 100);
            add(QStringLiteral("truncated-%1-at-%2-percent").arg(QLatin1String(stem)).arg(percent), base.left(cut));
        }
    }

    // Bit flips in the header and the first IFD, from a fixed seed.
    std::uint32_t state = 0x2545F491U;
    const std::uint32_t ifdEnd = read32(rgb, 4) + 2 + 12U * read16(rgb, read32(rgb, 4)) + 4;
    for (int i = 0; i < 40; ++i) {
        QByteArray damaged = rgb;
        for (int flip = 0; flip < 1 + i % 4; ++flip) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const std::uint32_t at = i < 8 ? state % 8 : read32(rgb, 4) + state % (ifdEnd - read32(rgb, 4));
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << (state % 8)));
        }
        add(QStringLiteral("bitflip-%1").arg(i, 2, 10, QLatin1Char('0')), damaged);
    }

    constexpr std::uint16_t imageWidth = 256, imageLength = 257, compression = 259, stripOffsets = 273,
                            samplesPerPixel = 277, rowsPerStrip = 278, stripByteCounts = 279;
    add(QStringLiteral("strip-count-zero"), withTag(rgb, stripByteCounts, 0));
    add(QStringLiteral("strip-count-absurd"), withTag(rgb, stripByteCounts, 0x7FFFFFF0U));
    add(QStringLiteral("strip-offset-absurd"), withTag(rgb, stripOffsets, 0xFFFFFF00U));
    add(QStringLiteral("strip-offset-zero"), withTag(rgb, stripOffsets, 0));
    add(QStringLiteral("rows-per-strip-zero"), withTag(rgb, rowsPerStrip, 0));
    add(QStringLiteral("width-zero"), withTag(rgb, imageWidth, 0));
    add(QStringLiteral("height-zero"), withTag(rgb, imageLength, 0));
    add(QStringLiteral("dimensions-absurd"), withTag(withTag(rgb, imageWidth, 100000), imageLength, 100000));
    // A Deflate page whose rows hold 65535 pixels of 65535 samples: one strip would decode to over
    // 100 GiB.
    add(QStringLiteral("samples-per-pixel-absurd"),
        withTag(withTag(withTag(grey, samplesPerPixel, 65535), imageWidth, 65535), compression, 8));
    add(QStringLiteral("dimensions-huge"), withTag(withTag(rgb, imageWidth, 0xFFFFFFFFU), imageLength, 0xFFFFFFFFU));
    add(QStringLiteral("ifd-loop"), withIfdLoop(rgb));
    add(QStringLiteral("old-jpeg-without-stream"), withTag(rgb, compression, 6));
    add(QStringLiteral("empty-container"), emptyContainer());
    add(QStringLiteral("header-only"), rgb.left(8));
    add(QStringLiteral("not-a-tiff"), QByteArray("This is a text file with a .tif name.\n"));
    return files;
}

QByteArray cutShortTiff(int width, int rowsPerStrip, int strips, int keptStrips)
{
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    constexpr std::uint16_t shortType = 3;
    constexpr std::uint16_t longType = 4;
    const auto stripBytes = static_cast<std::uint32_t>(width * rowsPerStrip);
    const std::uint32_t entries = 9;
    const std::uint32_t arrays = 8 + 2 + entries * 12 + 4; // where the strip arrays start
    const std::uint32_t data = arrays + 8U * static_cast<std::uint32_t>(strips);
    const Entry ifd[entries] = {
        {256, longType, 1, static_cast<std::uint32_t>(width)},
        {257, longType, 1, static_cast<std::uint32_t>(rowsPerStrip * strips)},
        {258, shortType, 1, 8},
        {259, shortType, 1, 1},
        {262, shortType, 1, 1},
        {273, longType, static_cast<std::uint32_t>(strips), arrays},
        {277, shortType, 1, 1},
        {278, longType, 1, static_cast<std::uint32_t>(rowsPerStrip)},
        {279, longType, static_cast<std::uint32_t>(strips), arrays + 4U * static_cast<std::uint32_t>(strips)},
    };
    QByteArray tiff(static_cast<qsizetype>(data + stripBytes * static_cast<std::uint32_t>(strips)), '\0');
    tiff[0] = 'I';
    tiff[1] = 'I';
    write16(tiff, 2, 42);
    write32(tiff, 4, 8);
    write16(tiff, 8, entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t at = 10 + 12U * i;
        write16(tiff, at, ifd[i].tag);
        write16(tiff, at + 2, ifd[i].type);
        write32(tiff, at + 4, ifd[i].count);
        if (ifd[i].type == shortType) {
            write16(tiff, at + 8, static_cast<std::uint16_t>(ifd[i].value));
        } else {
            write32(tiff, at + 8, ifd[i].value);
        }
    }
    for (int strip = 0; strip < strips; ++strip) {
        write32(tiff, arrays + 4U * static_cast<std::uint32_t>(strip),
                data + stripBytes * static_cast<std::uint32_t>(strip));
        write32(tiff, arrays + 4U * static_cast<std::uint32_t>(strips + strip), stripBytes);
    }
    for (std::uint32_t i = data; i < static_cast<std::uint32_t>(tiff.size()); ++i) {
        tiff[i] = static_cast<char>((i - data) % static_cast<std::uint32_t>(width) + 20);
    }
    return tiff.left(static_cast<qsizetype>(data + stripBytes * static_cast<std::uint32_t>(keptStrips)));
}

bool patchStrile(QByteArray& tiff, int page, int strile, bool byteCount, std::uint32_t value)
{
    if (tiff.size() < 8 || tiff[0] != 'I' || read16(tiff, 2) != 42) {
        return false;
    }
    std::uint32_t ifd = read32(tiff, 4);
    for (int i = 0; i < page && ifd != 0; ++i) {
        ifd = read32(tiff, ifd + 2 + 12U * read16(tiff, ifd));
    }
    if (ifd == 0) {
        return false;
    }
    const std::uint16_t count = read16(tiff, ifd);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12U * i;
        const std::uint16_t tag = read16(tiff, entry);
        const bool wanted = byteCount ? tag == 279 || tag == 325 : tag == 273 || tag == 324;
        if (!wanted) {
            continue;
        }
        const std::uint16_t type = read16(tiff, entry + 2);
        const std::uint32_t values = read32(tiff, entry + 4);
        const std::size_t width = type == 3 ? 2 : 4;
        if (static_cast<std::uint32_t>(strile) >= values) {
            return false;
        }
        const std::size_t at =
            (values * width <= 4 ? entry + 8 : read32(tiff, entry + 8)) + width * static_cast<std::size_t>(strile);
        if (width == 2) {
            write16(tiff, at, static_cast<std::uint16_t>(value));
        } else {
            write32(tiff, at, value);
        }
        return true;
    }
    return false;
}

bool writeCutShortTiff(const QString& path, int width, int rowsPerStrip, int strips, int keptStrips)
{
    QFile file(path);
    const QByteArray bytes = cutShortTiff(width, rowsPerStrip, strips, keptStrips);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace fixtures

#include "engine/write/bmp_exact_writer.h"

#include "engine/write/whole_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kInfoHeaderSize = 40;

struct MemoryDeleter {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

quint32 readU32(const BYTE* bytes)
{
    return static_cast<quint32>(bytes[0]) | static_cast<quint32>(bytes[1]) << 8 | static_cast<quint32>(bytes[2]) << 16 |
           static_cast<quint32>(bytes[3]) << 24;
}

void writeU32(char* bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

unsigned highestIndexUsed(FIBITMAP* dib)
{
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    BYTE highest = 0;
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(y));
        highest = std::max(highest, *std::max_element(line, line + width));
    }
    return highest;
}

// Walks an RLE8 stream and sets the pad byte that ends every literal run of odd length to 0.
void clearRle8Padding(char* data, quint32 size)
{
    quint32 at = 0;
    while (at + 1 < size) {
        const auto count = static_cast<unsigned char>(data[at]);
        const auto code = static_cast<unsigned char>(data[at + 1]);
        at += 2;
        if (count != 0 || code < 2) {
            continue; // a repeated byte, an end of line or the end of the bitmap
        }
        if (code == 2) {
            at += 2; // a move: two offsets follow
            continue;
        }
        at += code; // `code` literal bytes, padded to an even length
        if ((code & 1) != 0) {
            if (at < size) {
                data[at] = 0;
            }
            ++at;
        }
    }
}

} // namespace

bool writeColourBmp(const Bitmap& image, const QString& path, int saveFlags, bool exactColourTable)
{
    if (!image || FreeImage_GetImageType(image.get()) != FIT_BITMAP || image.bpp() != 8 || image.width() == 0 ||
        FreeImage_GetPalette(image.get()) == nullptr) {
        return false;
    }
    const std::unique_ptr<FIMEMORY, MemoryDeleter> stream(FreeImage_OpenMemory());
    if (!stream || !FreeImage_SaveToMemory(FIF_BMP, image.get(), stream.get(), saveFlags)) {
        return false;
    }
    BYTE* encoded = nullptr;
    DWORD encodedSize = 0;
    if (!FreeImage_AcquireMemory(stream.get(), &encoded, &encodedSize) ||
        encodedSize < kFileHeaderSize + kInfoHeaderSize) {
        return false;
    }
    // The encoder writes the full 256-entry table; its pixel data start where its header says
    // (1078 for an 8-bit image).
    const quint32 encodedDataOffset = readU32(encoded + 10);
    if (encodedDataOffset < kFileHeaderSize + kInfoHeaderSize || encodedDataOffset > encodedSize) {
        return false;
    }
    const quint32 pixelBytes = encodedSize - encodedDataOffset;
    const bool rle = (saveFlags & BMP_SAVE_RLE) != 0;
    if (!exactColourTable) {
        QByteArray file(reinterpret_cast<const char*>(encoded), static_cast<qsizetype>(encodedSize));
        if (rle) {
            clearRle8Padding(file.data() + encodedDataOffset, pixelBytes);
        }
        return writeWholeFile(path, file);
    }
    const quint32 count = highestIndexUsed(image.get()) + 1;
    const quint32 dataOffset = kFileHeaderSize + kInfoHeaderSize + 4 * count;
    const quint32 fileSize = dataOffset + pixelBytes;

    QByteArray file(static_cast<qsizetype>(fileSize), '\0');
    char* out = file.data();
    out[0] = 'B';
    out[1] = 'M';
    writeU32(out + 2, fileSize);
    writeU32(out + 10, dataOffset);
    // The encoder's info header already carries the compression it applied (BI_RLE8 with
    // BMP_SAVE_RLE); the sizes and colour counts are those of the trimmed file.
    std::memcpy(out + kFileHeaderSize, encoded + kFileHeaderSize, kInfoHeaderSize);
    writeU32(out + kFileHeaderSize + 20, pixelBytes);
    writeU32(out + kFileHeaderSize + 32, count);
    writeU32(out + kFileHeaderSize + 36, count);
    std::memcpy(out + kFileHeaderSize + kInfoHeaderSize, FreeImage_GetPalette(image.get()), 4 * count);
    std::memcpy(out + dataOffset, encoded + encodedDataOffset, pixelBytes);
    if (rle) {
        clearRle8Padding(out + dataOffset, pixelBytes);
    }
    return writeWholeFile(path, file);
}

#include "engine/write/ico_writer.h"

#include "engine/write/whole_file.h"

namespace {

void appendU8(QByteArray& out, unsigned value)
{
    out.append(static_cast<char>(value & 0xFF));
}

void appendU16(QByteArray& out, unsigned value)
{
    appendU8(out, value);
    appendU8(out, value >> 8);
}

void appendU32(QByteArray& out, quint32 value)
{
    appendU16(out, value & 0xFFFF);
    appendU16(out, value >> 16);
}

// Icons store 16-bit pixels as 5-5-5 (BI_RGB); other depths go as they are.
Bitmap iconPixels(FIBITMAP* dib)
{
    if (FreeImage_GetImageType(dib) != FIT_BITMAP) {
        return {};
    }
    switch (FreeImage_GetBPP(dib)) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
        return Bitmap(FreeImage_Clone(dib));
    case 16:
        return Bitmap(FreeImage_ConvertTo16Bits555(dib));
    default:
        return {};
    }
}

// The AND mask: 1 marks a transparent pixel. From the alpha channel of 32-bit pixels and from the
// transparency table of palette images; opaque otherwise.
bool isTransparent(FIBITMAP* dib, unsigned x, unsigned y)
{
    const unsigned bpp = FreeImage_GetBPP(dib);
    if (bpp == 32) {
        const BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(y));
        return line[x * 4 + FI_RGBA_ALPHA] == 0;
    }
    if (bpp <= 8 && FreeImage_IsTransparent(dib)) {
        BYTE index = 0;
        FreeImage_GetPixelIndex(dib, x, y, &index);
        const unsigned count = FreeImage_GetTransparencyCount(dib);
        return index < count && FreeImage_GetTransparencyTable(dib)[index] == 0;
    }
    return false;
}

} // namespace

bool writeIcon(const Bitmap& image, const QString& path)
{
    if (!image || !FreeImage_HasPixels(image.get())) {
        return false;
    }
    Bitmap pixels = iconPixels(image.get());
    if (!pixels) {
        return false;
    }
    FIBITMAP* dib = pixels.get();
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    const unsigned bpp = FreeImage_GetBPP(dib);
    const unsigned colours = bpp <= 8 ? 1U << bpp : 0;
    const unsigned xorPitch = FreeImage_GetPitch(dib); // already padded to 4 bytes, rows bottom-up
    const unsigned andPitch = ((width + 31) / 32) * 4;
    const quint32 payloadSize = 40 + colours * 4 + (xorPitch + andPitch) * height;

    QByteArray out;
    out.reserve(static_cast<qsizetype>(22 + payloadSize));
    // Icon directory with its single entry; a size of 256 or more is written as 0.
    appendU16(out, 0);
    appendU16(out, 1);
    appendU16(out, 1);
    appendU8(out, width < 256 ? width : 0);
    appendU8(out, height < 256 ? height : 0);
    appendU8(out, colours < 256 ? colours : 0);
    appendU8(out, 0);
    appendU16(out, 1);
    appendU16(out, bpp);
    appendU32(out, payloadSize);
    appendU32(out, 22);
    // BITMAPINFOHEADER of the payload: the height counts the XOR and the AND bitmap.
    appendU32(out, 40);
    appendU32(out, width);
    appendU32(out, height * 2);
    appendU16(out, 1);
    appendU16(out, bpp);
    appendU32(out, 0); // BI_RGB
    appendU32(out, (xorPitch + andPitch) * height);
    appendU32(out, 0);
    appendU32(out, 0);
    appendU32(out, colours);
    appendU32(out, 0);
    if (colours > 0) {
        const RGBQUAD* palette = FreeImage_GetPalette(dib);
        for (unsigned i = 0; i < colours; ++i) {
            const RGBQUAD entry = i < FreeImage_GetColorsUsed(dib) ? palette[i] : RGBQUAD{0, 0, 0, 0};
            appendU8(out, entry.rgbBlue);
            appendU8(out, entry.rgbGreen);
            appendU8(out, entry.rgbRed);
            appendU8(out, 0);
        }
    }
    for (unsigned y = 0; y < height; ++y) {
        out.append(reinterpret_cast<const char*>(FreeImage_GetScanLine(dib, static_cast<int>(y))),
                   static_cast<qsizetype>(xorPitch));
    }
    for (unsigned y = 0; y < height; ++y) {
        QByteArray mask(static_cast<qsizetype>(andPitch), '\0');
        for (unsigned x = 0; x < width; ++x) {
            if (isTransparent(dib, x, y)) {
                mask[static_cast<qsizetype>(x / 8)] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(mask);
    }

    return writeWholeFile(path, out);
}

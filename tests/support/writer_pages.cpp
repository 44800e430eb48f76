#include "support/writer_pages.h"

#include <cstring>
#include <string>

// FreeImage exports its allocation of a bitmap without pixels but leaves it out of its header.
extern "C" FIBITMAP* FreeImage_AllocateHeaderT(BOOL headerOnly, FREE_IMAGE_TYPE type, int width, int height, int bpp,
                                               unsigned redMask, unsigned greenMask, unsigned blueMask);

namespace writer_pages {

namespace {

// A sample that varies across the page in both directions and from channel to channel, with
// some noise, so that every filter and every DCT block has work to do.
std::uint8_t sampleAt(unsigned x, unsigned y, unsigned channel)
{
    const unsigned noise = (x * 7919u + y * 104729u + channel * 31u) % 23u;
    return static_cast<std::uint8_t>((x * 6 + y * 9 + channel * 70 + noise * 3) & 0xFF);
}

void fillPixels(FIBITMAP* page)
{
    const unsigned line = FreeImage_GetLine(page);
    for (unsigned y = 0; y < FreeImage_GetHeight(page); ++y) {
        BYTE* row = FreeImage_GetScanLine(page, static_cast<int>(y));
        for (unsigned at = 0; at < line; ++at) {
            row[at] = sampleAt(at, y, at % 3);
        }
    }
}

void setGreyPalette(FIBITMAP* page, bool reversed)
{
    const unsigned colours = FreeImage_GetColorsUsed(page);
    RGBQUAD* palette = FreeImage_GetPalette(page);
    for (unsigned i = 0; i < colours; ++i) {
        const auto level = static_cast<BYTE>((reversed ? colours - 1 - i : i) * 255 / (colours - 1));
        palette[i] = RGBQUAD{level, level, level, 0};
    }
}

void setColourPalette(FIBITMAP* page)
{
    const unsigned colours = FreeImage_GetColorsUsed(page);
    RGBQUAD* palette = FreeImage_GetPalette(page);
    for (unsigned i = 0; i < colours; ++i) {
        palette[i] = RGBQUAD{sampleAt(i, 0, 0), sampleAt(i, 3, 1), sampleAt(i, 5, 2), 0};
    }
}

void setAlpha(FIBITMAP* page, bool opaque)
{
    const unsigned width = FreeImage_GetWidth(page);
    for (unsigned y = 0; y < FreeImage_GetHeight(page); ++y) {
        auto* pixels = reinterpret_cast<RGBQUAD*>(FreeImage_GetScanLine(page, static_cast<int>(y)));
        for (unsigned x = 0; x < width; ++x) {
            // One translucent pixel only, in the bottom row (FreeImage's first scan line): it
            // arrives with the last band.
            pixels[x].rgbReserved = opaque || y != 0 || x != width / 2 ? 0xFF : 0x40;
        }
    }
}

FIBITMAP* makePixels(Kind kind, int width, int height)
{
    switch (kind) {
    case Kind::Grey16:
        return FreeImage_AllocateT(FIT_UINT16, width, height);
    case Kind::Rgb16:
        return FreeImage_AllocateT(FIT_RGB16, width, height);
    case Kind::Rgba16:
        return FreeImage_AllocateT(FIT_RGBA16, width, height);
    case Kind::Palette4:
        return FreeImage_Allocate(width, height, 4);
    case Kind::Bilevel:
    case Kind::ReversedBilevel:
    case Kind::TransparentBilevel:
        return FreeImage_Allocate(width, height, 1);
    case Kind::Rgb24:
        return FreeImage_Allocate(width, height, 24);
    case Kind::RgbaTranslucent:
    case Kind::RgbaOpaque:
    case Kind::Cmyk32:
        return FreeImage_Allocate(width, height, 32);
    default:
        return FreeImage_Allocate(width, height, 8);
    }
}

void setText(const Bitmap& page, FREE_IMAGE_MDMODEL model, const char* key, WORD id, const std::string& value)
{
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagID(tag, id);
    FreeImage_SetTagType(tag, FIDT_ASCII);
    FreeImage_SetTagCount(tag, static_cast<DWORD>(value.size() + 1));
    FreeImage_SetTagLength(tag, static_cast<DWORD>(value.size() + 1));
    FreeImage_SetTagValue(tag, value.c_str());
    FreeImage_SetMetadata(model, page.get(), key, tag);
    FreeImage_DeleteTag(tag);
}

void setRaw(const Bitmap& page, FREE_IMAGE_MDMODEL model, const char* key, const Bytes& value)
{
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagType(tag, FIDT_BYTE);
    FreeImage_SetTagCount(tag, static_cast<DWORD>(value.size()));
    FreeImage_SetTagLength(tag, static_cast<DWORD>(value.size()));
    FreeImage_SetTagValue(tag, value.data());
    FreeImage_SetMetadata(model, page.get(), key, tag);
    FreeImage_DeleteTag(tag);
}

// A profile libpng accepts: a header for the page's colour space, no tags, padded to `size`.
Bytes iccProfile(std::size_t size, bool grey)
{
    Bytes profile(size, 0);
    for (int i = 0; i < 4; ++i) {
        profile[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }
    std::memcpy(&profile[12], "mntr", 4);
    std::memcpy(&profile[16], grey ? "GRAY" : "RGB ", 4);
    std::memcpy(&profile[20], "XYZ ", 4);
    std::memcpy(&profile[36], "acsp", 4);
    profile[8] = 2; // version 2
    // D50 illuminant
    const std::uint8_t d50[12] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
    std::memcpy(&profile[68], d50, sizeof d50);
    for (std::size_t at = 132; at < size; ++at) {
        profile[at] = static_cast<std::uint8_t>(at * 13);
    }
    return profile;
}

} // namespace

Bitmap makePage(Kind kind, unsigned width, unsigned height)
{
    Bitmap page(makePixels(kind, static_cast<int>(width), static_cast<int>(height)));
    fillPixels(page.get());
    const std::vector<BYTE> transparency{0, 128, 255};
    switch (kind) {
    case Kind::Grey8:
    case Kind::Bilevel:
        setGreyPalette(page.get(), false);
        break;
    case Kind::ReversedGrey8:
    case Kind::ReversedBilevel:
        setGreyPalette(page.get(), true);
        break;
    case Kind::TransparentBilevel:
        setGreyPalette(page.get(), false);
        FreeImage_SetTransparencyTable(page.get(), const_cast<BYTE*>(transparency.data()), 2);
        break;
    case Kind::TransparentPalette8:
        setColourPalette(page.get());
        FreeImage_SetTransparencyTable(page.get(), const_cast<BYTE*>(transparency.data()), 3);
        break;
    case Kind::Palette8:
    case Kind::Palette4:
        setColourPalette(page.get());
        break;
    case Kind::RgbaTranslucent:
    case Kind::RgbaOpaque:
        setAlpha(page.get(), kind == Kind::RgbaOpaque);
        break;
    case Kind::Cmyk32:
        FreeImage_GetICCProfile(page.get())->flags |= FIICC_COLOR_IS_CMYK;
        break;
    default:
        break;
    }
    return page;
}

void addExtras(const Bitmap& page, Extras extras, bool grey)
{
    if (extras == Extras::None) {
        return;
    }
    FreeImage_SetDotsPerMeterX(page.get(), 11811); // 300 dpi
    FreeImage_SetDotsPerMeterY(page.get(), 5906);  // 150 dpi
    if (extras == Extras::Resolution) {
        return;
    }
    const bool longMarkers = extras == Extras::LongMarkers;
    // Past 65519 bytes the profile takes two markers; the XMP and EXIF blocks too past 65504.
    const Bytes profile = iccProfile(longMarkers ? 70000 : 560, grey);
    const auto cmykFlags = FreeImage_GetICCProfile(page.get())->flags;
    FreeImage_CreateICCProfile(page.get(), const_cast<std::uint8_t*>(profile.data()),
                               static_cast<long>(profile.size()));
    FreeImage_GetICCProfile(page.get())->flags |= cmykFlags;
    const std::string xmp =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'>" + std::string(longMarkers ? 70000 : 40, 'x') + "</x:xmpmeta>";
    setText(page, FIMD_XMP, "XMLPacket", 0, xmp);
    setText(page, FIMD_COMMENTS, "Comment", 0, "A comment; with punctuation");
    setText(page, FIMD_COMMENTS, "Author", 0, "Somebody");
    setText(page, FIMD_COMMENTS, "Description", 0, std::string(longMarkers ? 70000 : 12, 'd'));
    setText(page, FIMD_EXIF_MAIN, "DateTime", 0x0132, "2024:02:29 13:05:09");
    Bytes exif{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
    exif.resize(longMarkers ? 70000 : exif.size(), 7);
    setRaw(page, FIMD_EXIF_RAW, "ExifRaw", exif);
    setText(page, FIMD_IPTC, "Keywords", 0x0219, "river;bridge;;night");
    setText(page, FIMD_IPTC, "Urgency", 0x020A, "5 (normal)");
    // (IPTC records past about 65500 bytes make FreeImage's JPEG writer fail: one marker at most.)
    setText(page, FIMD_IPTC, "Caption-Abstract", 0x0278, longMarkers ? std::string(30000, 'c') : "A caption");
    setText(page, FIMD_IPTC, "By-line", 0x0250, "Odd");
    RGBQUAD background{10, 20, 30, 0};
    FreeImage_SetBackgroundColor(page.get(), &background);
    Bitmap thumbnail(FreeImage_Allocate(9, 7, 24));
    fillPixels(thumbnail.get());
    FreeImage_SetThumbnail(page.get(), thumbnail.get());
}

PageHeader headerOf(const Bitmap& page)
{
    FIBITMAP* dib = page.get();
    PageHeader header(FreeImage_AllocateHeaderT(TRUE, FreeImage_GetImageType(dib), static_cast<int>(page.width()),
                                                static_cast<int>(page.height()), static_cast<int>(page.bpp()),
                                                FreeImage_GetRedMask(dib), FreeImage_GetGreenMask(dib),
                                                FreeImage_GetBlueMask(dib)));
    if (FreeImage_GetColorsUsed(dib) > 0) {
        std::memcpy(FreeImage_GetPalette(header.get()), FreeImage_GetPalette(dib),
                    FreeImage_GetColorsUsed(dib) * sizeof(RGBQUAD));
    }
    FreeImage_CloneMetadata(header.get(), dib);
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
    FreeImage_CreateICCProfile(header.get(), profile->data, profile->size);
    FreeImage_GetICCProfile(header.get())->flags = profile->flags;
    FreeImage_SetTransparencyTable(header.get(), FreeImage_GetTransparencyTable(dib),
                                   FreeImage_GetTransparencyCount(dib));
    RGBQUAD background{};
    if (FreeImage_GetBackgroundColor(dib, &background)) {
        FreeImage_SetBackgroundColor(header.get(), &background);
    }
    FreeImage_SetThumbnail(header.get(), FreeImage_GetThumbnail(dib));
    return header;
}

Bytes savedByFreeImage(FREE_IMAGE_FORMAT format, const Bitmap& page, int flags)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    Bytes bytes;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (FreeImage_SaveToMemory(format, page.get(), memory, flags) && FreeImage_AcquireMemory(memory, &data, &size)) {
        bytes.assign(data, data + size);
    }
    FreeImage_CloseMemory(memory);
    return bytes;
}

Bytes contentsOf(std::FILE* file)
{
    Bytes bytes;
    std::rewind(file);
    std::uint8_t buffer[4096];
    for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

Bitmap rowsOf(const Bitmap& page, unsigned top, unsigned bottom)
{
    FIBITMAP* dib = page.get();
    Bitmap band(FreeImage_AllocateT(FreeImage_GetImageType(dib), static_cast<int>(page.width()),
                                    static_cast<int>(bottom - top), static_cast<int>(page.bpp())));
    if (FreeImage_GetColorsUsed(dib) > 0) {
        std::memcpy(FreeImage_GetPalette(band.get()), FreeImage_GetPalette(dib),
                    FreeImage_GetColorsUsed(dib) * sizeof(RGBQUAD));
    }
    for (unsigned row = top; row < bottom; ++row) {
        std::memcpy(FreeImage_GetScanLine(band.get(), static_cast<int>(bottom - 1 - row)),
                    FreeImage_GetScanLine(dib, static_cast<int>(page.height() - 1 - row)), FreeImage_GetLine(dib));
    }
    return band;
}

bool greyKind(Kind kind)
{
    return kind == Kind::Grey8 || kind == Kind::ReversedGrey8 || kind == Kind::Grey16 || kind == Kind::Bilevel ||
           kind == Kind::ReversedBilevel;
}

} // namespace writer_pages

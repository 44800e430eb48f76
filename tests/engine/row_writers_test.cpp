#include "app/setting_choices.h"
#include "app/settings.h"
#include "engine/formats/save_flags.h"
#include "engine/write/jpeg_row_writer.h"
#include "engine/write/png_row_writer.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The streamed JPEG and PNG writers against FreeImage's own: the same page written whole by
// FreeImage and band by band by the row writer gives the same bytes.

namespace {

constexpr unsigned pageWidth = 37;
constexpr unsigned pageHeight = 23;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

using Bytes = std::vector<std::uint8_t>;

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
    for (unsigned y = 0; y < pageHeight; ++y) {
        auto* pixels = reinterpret_cast<RGBQUAD*>(FreeImage_GetScanLine(page, static_cast<int>(y)));
        for (unsigned x = 0; x < pageWidth; ++x) {
            // One translucent pixel only, in the bottom row (FreeImage's first scan line): it
            // arrives with the last band.
            pixels[x].rgbReserved = opaque || y != 0 || x != pageWidth / 2 ? 0xFF : 0x40;
        }
    }
}

// The page kinds FreeImage's writers take, with how each was made.
enum class Kind {
    Grey8,
    ReversedGrey8,
    Palette8,
    TransparentPalette8,
    Palette4,
    Bilevel,
    ReversedBilevel,
    TransparentBilevel,
    Rgb24,
    RgbaTranslucent,
    RgbaOpaque,
    Cmyk32,
    Grey16,
    Rgb16,
    Rgba16,
};

FIBITMAP* makePixels(Kind kind)
{
    switch (kind) {
    case Kind::Grey16:
        return FreeImage_AllocateT(FIT_UINT16, pageWidth, pageHeight);
    case Kind::Rgb16:
        return FreeImage_AllocateT(FIT_RGB16, pageWidth, pageHeight);
    case Kind::Rgba16:
        return FreeImage_AllocateT(FIT_RGBA16, pageWidth, pageHeight);
    case Kind::Palette4:
        return FreeImage_Allocate(pageWidth, pageHeight, 4);
    case Kind::Bilevel:
    case Kind::ReversedBilevel:
    case Kind::TransparentBilevel:
        return FreeImage_Allocate(pageWidth, pageHeight, 1);
    case Kind::Rgb24:
        return FreeImage_Allocate(pageWidth, pageHeight, 24);
    case Kind::RgbaTranslucent:
    case Kind::RgbaOpaque:
    case Kind::Cmyk32:
        return FreeImage_Allocate(pageWidth, pageHeight, 32);
    default:
        return FreeImage_Allocate(pageWidth, pageHeight, 8);
    }
}

Bitmap makePage(Kind kind)
{
    Bitmap page(makePixels(kind));
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

// What a page carries besides its pixels, from nothing to everything the writers store.
enum class Extras { None, Resolution, Everything, LongMarkers };

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

// FreeImage exports its allocation of a bitmap without pixels but leaves it out of its header.
extern "C" FIBITMAP* FreeImage_AllocateHeaderT(BOOL headerOnly, FREE_IMAGE_TYPE type, int width, int height, int bpp,
                                               unsigned redMask, unsigned greenMask, unsigned blueMask);

// The page as a row writer is told of it: everything but the pixels.
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

// Rows top to bottom - 1 of the page (counted from the top) as a band: whole stored lines, the
// bits past the last pixel included, as a strip reader hands them over.
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

using Opener = std::function<std::unique_ptr<RowWriter>(int flags, const PageHeader& header, std::FILE* file)>;

// The page written through a row writer in bands of `bandHeight` rows, top band first; empty when
// the writer refused a step.
Bytes savedInBands(const Opener& open, const Bitmap& page, int flags, unsigned bandHeight)
{
    const PageHeader header = headerOf(page);
    const File file(std::tmpfile());
    std::unique_ptr<RowWriter> writer = open(flags, header, file.get());
    if (!writer) {
        return {};
    }
    for (unsigned top = 0; top < page.height(); top += bandHeight) {
        const unsigned bottom = std::min(top + bandHeight, page.height());
        const Bitmap band = rowsOf(page, top, bottom);
        if (!writer->writeBand(band)) {
            return {};
        }
    }
    if (!writer->finish()) {
        return {};
    }
    return contentsOf(file.get());
}

// Writes the page with each of `flagSets` in bands of 1, 7 and all its rows, expecting
// FreeImage's file every time.
void expectSameBytes(FREE_IMAGE_FORMAT format, const Opener& open, const Bitmap& page, const std::vector<int>& flagSets)
{
    for (const int flags : flagSets) {
        const Bytes expected = savedByFreeImage(format, page, flags);
        ASSERT_FALSE(expected.empty()) << "flags " << std::hex << flags;
        for (const unsigned bandHeight : {1u, 7u, page.height()}) {
            SCOPED_TRACE("flags 0x" + (std::ostringstream() << std::hex << flags).str() + ", bands of " +
                         std::to_string(bandHeight));
            const Bytes written = savedInBands(open, page, flags, bandHeight);
            ASSERT_EQ(written.size(), expected.size());
            EXPECT_TRUE(written == expected);
        }
    }
}

Settings defaultSettings()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

// Every flag combination the JPEG settings produce: each chroma subsampling with each encoding,
// at a few qualities.
std::vector<int> jpegFlagSets()
{
    Settings settings = defaultSettings();
    std::vector<int> flags;
    for (std::size_t chroma = 0; chroma < chromaSubsamplings.size(); ++chroma) {
        for (std::size_t encoding = 0; encoding < jpegEncodings.size(); ++encoding) {
            settings.output.jpgChroma = static_cast<std::int32_t>(chroma);
            settings.output.jpgSaveAs = static_cast<std::int32_t>(encoding);
            settings.output.jpgQuality = chroma == encoding ? 100 : 95;
            flags.push_back(jpegSaveFlags(settings.output));
        }
    }
    settings.output.jpgQuality = 1;
    flags.push_back(jpegSaveFlags(settings.output));
    flags.push_back(0); // nothing set: the library's defaults (quality 75, 4:2:0)
    flags.push_back(JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_420);
    return flags;
}

// Every compression the PNG settings produce, not interlaced.
std::vector<int> pngFlagSets()
{
    Settings settings = defaultSettings();
    std::vector<int> flags;
    for (std::size_t compression = 0; compression < pngCompressions.size(); ++compression) {
        settings.output.pngCompression = static_cast<std::int32_t>(compression);
        settings.output.pngInterlaced = 0;
        flags.push_back(pngSaveFlags(settings.output));
    }
    flags.push_back(0);
    return flags;
}

struct PageCase {
    const char* name;
    Kind kind;
    Extras extras;
};

std::string caseName(const testing::TestParamInfo<PageCase>& info)
{
    return info.param.name;
}

bool greyKind(Kind kind)
{
    return kind == Kind::Grey8 || kind == Kind::ReversedGrey8 || kind == Kind::Grey16 || kind == Kind::Bilevel ||
           kind == Kind::ReversedBilevel;
}

class JpegRowWriterTest : public testing::TestWithParam<PageCase> {};

TEST_P(JpegRowWriterTest, WritesFreeImagesBytesBandByBand)
{
    const Bitmap page = makePage(GetParam().kind);
    addExtras(page, GetParam().extras, greyKind(GetParam().kind));
    ASSERT_TRUE(jpegRowWriterTakes(0, headerOf(page)));
    expectSameBytes(FIF_JPEG, openJpegRowWriter, page, jpegFlagSets());
}

INSTANTIATE_TEST_SUITE_P(Pages, JpegRowWriterTest,
                         testing::Values(PageCase{"Grey", Kind::Grey8, Extras::None},
                                         PageCase{"GreyWithEverything", Kind::Grey8, Extras::Everything},
                                         PageCase{"ReversedGrey", Kind::ReversedGrey8, Extras::Resolution},
                                         PageCase{"Palette", Kind::Palette8, Extras::Resolution},
                                         PageCase{"Rgb", Kind::Rgb24, Extras::None},
                                         PageCase{"RgbWithEverything", Kind::Rgb24, Extras::Everything},
                                         PageCase{"RgbWithLongMarkers", Kind::Rgb24, Extras::LongMarkers},
                                         PageCase{"Cmyk", Kind::Cmyk32, Extras::Everything}),
                         caseName);

Opener pngOpener(PageAlpha alpha)
{
    return [alpha](int flags, const PageHeader& header, std::FILE* file) {
        return openPngRowWriter(flags, header, file, alpha);
    };
}

class PngRowWriterTest : public testing::TestWithParam<PageCase> {};

TEST_P(PngRowWriterTest, WritesFreeImagesBytesBandByBand)
{
    const Bitmap page = makePage(GetParam().kind);
    addExtras(page, GetParam().extras, greyKind(GetParam().kind));
    const PageAlpha alpha = GetParam().kind == Kind::RgbaOpaque        ? PageAlpha::Opaque
                            : GetParam().kind == Kind::RgbaTranslucent ? PageAlpha::Translucent
                                                                       : PageAlpha::Unknown;
    ASSERT_TRUE(pngRowWriterTakes(0, headerOf(page), alpha));
    expectSameBytes(FIF_PNG, pngOpener(alpha), page, pngFlagSets());
}

INSTANTIATE_TEST_SUITE_P(Pages, PngRowWriterTest,
                         testing::Values(PageCase{"Grey", Kind::Grey8, Extras::None},
                                         PageCase{"GreyWithEverything", Kind::Grey8, Extras::Everything},
                                         PageCase{"ReversedGrey", Kind::ReversedGrey8, Extras::Resolution},
                                         PageCase{"Palette", Kind::Palette8, Extras::Everything},
                                         PageCase{"TransparentPalette", Kind::TransparentPalette8, Extras::None},
                                         PageCase{"FourBitPalette", Kind::Palette4, Extras::Resolution},
                                         PageCase{"Bilevel", Kind::Bilevel, Extras::Resolution},
                                         PageCase{"ReversedBilevel", Kind::ReversedBilevel, Extras::None},
                                         PageCase{"TransparentBilevel", Kind::TransparentBilevel, Extras::None},
                                         PageCase{"Rgb", Kind::Rgb24, Extras::None},
                                         PageCase{"RgbWithEverything", Kind::Rgb24, Extras::Everything},
                                         PageCase{"RgbWithLongText", Kind::Rgb24, Extras::LongMarkers},
                                         PageCase{"RgbaTranslucent", Kind::RgbaTranslucent, Extras::Everything},
                                         PageCase{"RgbaOpaque", Kind::RgbaOpaque, Extras::Resolution},
                                         PageCase{"Grey16", Kind::Grey16, Extras::Resolution},
                                         PageCase{"Rgb16", Kind::Rgb16, Extras::None},
                                         PageCase{"Rgba16", Kind::Rgba16, Extras::None}),
                         caseName);

struct TakesCase {
    const char* what;
    bool jpeg;
    Kind kind;
    int flags;
    PageAlpha alpha;
    bool takes;
};

// The streamed writers take what they can write with FreeImage's bytes and leave the rest to
// the in-memory path.
TEST(RowWritersTest, TakeThePagesTheyCanWriteAsFreeImageDoes)
{
    const std::vector<TakesCase> cases{
        {"JPEG, 24-bit progressive", true, Kind::Rgb24, JPEG_PROGRESSIVE, PageAlpha::Unknown, true},
        {"JPEG, 24-bit optimised", true, Kind::Rgb24, JPEG_OPTIMIZE, PageAlpha::Unknown, true},
        {"JPEG, CMYK", true, Kind::Cmyk32, 0, PageAlpha::Unknown, true},
        {"JPEG, 32-bit RGBA", true, Kind::RgbaTranslucent, 0, PageAlpha::Translucent, false},
        {"JPEG, 1-bit", true, Kind::Bilevel, 0, PageAlpha::Unknown, false},
        {"JPEG, 4-bit", true, Kind::Palette4, 0, PageAlpha::Unknown, false},
        {"JPEG, 16-bit grey", true, Kind::Grey16, 0, PageAlpha::Unknown, false},
        {"PNG, interlaced", false, Kind::Rgb24, PNG_INTERLACED, PageAlpha::Unknown, false},
        {"PNG, 32-bit, alpha unknown", false, Kind::RgbaOpaque, 0, PageAlpha::Unknown, false},
        {"PNG, 32-bit, opaque", false, Kind::RgbaOpaque, 0, PageAlpha::Opaque, true},
        {"PNG, CMYK", false, Kind::Cmyk32, 0, PageAlpha::Opaque, false},
        {"PNG, 16-bit RGBA", false, Kind::Rgba16, PNG_Z_BEST_COMPRESSION, PageAlpha::Unknown, true},
    };
    for (const TakesCase& test : cases) {
        const PageHeader header = headerOf(makePage(test.kind));
        const bool takes =
            test.jpeg ? jpegRowWriterTakes(test.flags, header) : pngRowWriterTakes(test.flags, header, test.alpha);
        EXPECT_EQ(takes, test.takes) << test.what;
        const File file(std::tmpfile());
        const bool opens = test.jpeg ? openJpegRowWriter(test.flags, header, file.get()) != nullptr
                                     : openPngRowWriter(test.flags, header, file.get(), test.alpha) != nullptr;
        EXPECT_EQ(opens, test.takes) << test.what;
        if (test.takes) {
            EXPECT_GT(test.jpeg ? jpegRowWriterBytes(test.flags, header) : pngRowWriterBytes(test.flags, header), 0u)
                << test.what;
        }
    }
}

// Progressive and optimised files keep every coefficient until the end; the budget must hear of it.
TEST(RowWritersTest, CountTheWholePagesCoefficientsForProgressiveJpeg)
{
    const PageHeader header = headerOf(makePage(Kind::Rgb24));
    const std::size_t baseline = jpegRowWriterBytes(JPEG_SUBSAMPLING_444, header);
    const std::size_t progressive = jpegRowWriterBytes(JPEG_SUBSAMPLING_444 | JPEG_PROGRESSIVE, header);
    // 4:4:4 keeps three blocks of 64 two-byte coefficients per 8 x 8 pixels: 6 bytes a pixel.
    EXPECT_GE(progressive - baseline, std::size_t{6} * pageWidth * pageHeight);
    EXPECT_GT(jpegRowWriterBytes(JPEG_SUBSAMPLING_444 | JPEG_OPTIMIZE, header), baseline);
}

struct FailureCase {
    const char* what;
    bool jpeg;
    Kind kind;
    PageAlpha alpha;
    // What goes wrong: the file cannot take the bytes (buffered or not), a band of another
    // width, a row too many or too few, or alpha other than the caller said.
    enum { FullDisk, FullDiskUnbuffered, NarrowBand, RowTooMany, RowsMissing, AlphaNotAsTold } fault;
};

// A writer that cannot write its file, or is fed what is not its page, says so and leaves
// nothing behind (the sanitizer pass checks the leaks).
TEST(RowWritersTest, FailCleanly)
{
    const std::vector<FailureCase> cases{
        {"JPEG to a full disk", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDisk},
        {"JPEG to a full disk, unbuffered", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDiskUnbuffered},
        {"PNG to a full disk", false, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDisk},
        {"PNG to a full disk, unbuffered", false, Kind::Grey8, PageAlpha::Unknown, FailureCase::FullDiskUnbuffered},
        {"JPEG, narrow band", true, Kind::Grey8, PageAlpha::Unknown, FailureCase::NarrowBand},
        {"PNG, narrow band", false, Kind::Palette8, PageAlpha::Unknown, FailureCase::NarrowBand},
        {"JPEG, a row too many", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::RowTooMany},
        {"PNG, a row too many", false, Kind::Rgb24, PageAlpha::Unknown, FailureCase::RowTooMany},
        {"JPEG, rows missing", true, Kind::Palette8, PageAlpha::Unknown, FailureCase::RowsMissing},
        {"PNG, rows missing", false, Kind::Bilevel, PageAlpha::Unknown, FailureCase::RowsMissing},
        {"PNG, told opaque", false, Kind::RgbaTranslucent, PageAlpha::Opaque, FailureCase::AlphaNotAsTold},
        {"PNG, told translucent", false, Kind::RgbaOpaque, PageAlpha::Translucent, FailureCase::AlphaNotAsTold},
    };
    for (const FailureCase& test : cases) {
        SCOPED_TRACE(test.what);
        const Bitmap page = makePage(test.kind);
        addExtras(page, Extras::Everything, greyKind(test.kind));
        const PageHeader header = headerOf(page);
        const bool fullDisk = test.fault == FailureCase::FullDisk || test.fault == FailureCase::FullDiskUnbuffered;
        const File file(fullDisk ? std::fopen("/dev/full", "wb") : std::tmpfile());
        ASSERT_NE(file, nullptr);
        if (test.fault == FailureCase::FullDiskUnbuffered) {
            std::setvbuf(file.get(), nullptr, _IONBF, 0);
        }
        const Opener open = test.jpeg ? Opener(openJpegRowWriter) : pngOpener(test.alpha);
        const std::unique_ptr<RowWriter> writer = open(0, header, file.get());
        if (!writer) {
            // Only a write that fails at once may stop the writer before its first row.
            EXPECT_EQ(test.fault, FailureCase::FullDiskUnbuffered);
            continue;
        }
        const unsigned rows = test.fault == FailureCase::RowsMissing ? pageHeight - 1 : pageHeight;
        bool written = true;
        for (unsigned top = 0; top < rows && written; top += 5) {
            Bitmap band = rowsOf(page, top, std::min(top + 5, rows));
            if (test.fault == FailureCase::NarrowBand) {
                band = Bitmap(FreeImage_Copy(band.get(), 0, 0, pageWidth - 1, 1));
            }
            written = writer->writeBand(band);
        }
        if (written && test.fault == FailureCase::RowTooMany) {
            written = writer->writeBand(rowsOf(page, 0, 1));
        }
        const bool finished = written && writer->finish();
        EXPECT_FALSE(finished);
        // A failed writer stays failed.
        EXPECT_FALSE(writer->writeBand(rowsOf(page, 0, 1)));
        EXPECT_FALSE(writer->finish());
    }
}

} // namespace

// The TIFF reader: every page the chain has always been given comes out as the same bitmap, byte
// for byte, as FreeImage's TIFF loader laid it out (checked against that loader on our own
// fixtures only); the layouts it refused or misread come out as their samples say; absent tiles
// of a sparse file are blank.
#include "engine/decode/page_loader.h"
#include "engine/decode/tiff_band_source.h"
#include "support/freeimage_tiff_page.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_variants.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using fixtures::TiffVariant;

// Not a multiple of the 16-pixel tiles, so partial tiles and a partial last strip are read too.
constexpr int pageWidth = 37;
constexpr int pageHeight = 21;

// Where two bitmaps differ (type, depth, size, palette, resolution, profile, any byte of a row);
// empty when they are the same.
std::string differenceOf(FIBITMAP* ours, FIBITMAP* theirs)
{
    if (FreeImage_GetImageType(ours) != FreeImage_GetImageType(theirs) ||
        FreeImage_GetBPP(ours) != FreeImage_GetBPP(theirs)) {
        return "type " + std::to_string(FreeImage_GetImageType(ours)) + "/" + std::to_string(FreeImage_GetBPP(ours)) +
               " instead of " + std::to_string(FreeImage_GetImageType(theirs)) + "/" +
               std::to_string(FreeImage_GetBPP(theirs));
    }
    if (FreeImage_GetWidth(ours) != FreeImage_GetWidth(theirs) ||
        FreeImage_GetHeight(ours) != FreeImage_GetHeight(theirs)) {
        return "size";
    }
    const unsigned colours = FreeImage_GetColorsUsed(theirs);
    if (FreeImage_GetColorsUsed(ours) != colours ||
        (colours > 0 &&
         std::memcmp(FreeImage_GetPalette(ours), FreeImage_GetPalette(theirs), colours * sizeof(RGBQUAD)) != 0)) {
        return "palette";
    }
    if (FreeImage_GetDotsPerMeterX(ours) != FreeImage_GetDotsPerMeterX(theirs) ||
        FreeImage_GetDotsPerMeterY(ours) != FreeImage_GetDotsPerMeterY(theirs)) {
        return "resolution";
    }
    if (FreeImage_IsTransparent(ours) != FreeImage_IsTransparent(theirs)) {
        return "transparency";
    }
    const FIICCPROFILE* a = FreeImage_GetICCProfile(ours);
    const FIICCPROFILE* b = FreeImage_GetICCProfile(theirs);
    if (a->size != b->size || (a->size > 0 && std::memcmp(a->data, b->data, a->size) != 0)) {
        return "ICC profile";
    }
    const unsigned line = FreeImage_GetLine(theirs);
    for (unsigned y = 0; y < FreeImage_GetHeight(theirs); ++y) {
        const BYTE* row = FreeImage_GetScanLine(ours, static_cast<int>(y));
        const BYTE* want = FreeImage_GetScanLine(theirs, static_cast<int>(y));
        for (unsigned i = 0; i < line; ++i) {
            if (row[i] != want[i]) {
                return "scan line " + std::to_string(y) + " byte " + std::to_string(i) + ": " + std::to_string(row[i]) +
                       " instead of " + std::to_string(want[i]);
            }
        }
    }
    return {};
}

struct SameCase {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t colourSamples;
    bool alpha;
    std::uint16_t sampleFormat;
    std::vector<std::uint16_t> depths;
};

// The layouts FreeImage's loader read right, which the chain after decoding is built around.
const SameCase sameCases[] = {
    {"grey", PHOTOMETRIC_MINISBLACK, 1, false, SAMPLEFORMAT_UINT, {1, 4, 8, 16, 32}},
    {"white_is_zero", PHOTOMETRIC_MINISWHITE, 1, false, SAMPLEFORMAT_UINT, {1, 4, 8}},
    {"palette", PHOTOMETRIC_PALETTE, 1, false, SAMPLEFORMAT_UINT, {1, 4, 8}},
    {"rgb", PHOTOMETRIC_RGB, 3, false, SAMPLEFORMAT_UINT, {8, 16}},
    {"rgba", PHOTOMETRIC_RGB, 3, true, SAMPLEFORMAT_UINT, {8, 16}},
    {"float_grey", PHOTOMETRIC_MINISBLACK, 1, false, SAMPLEFORMAT_IEEEFP, {32, 64}},
    {"float_rgb", PHOTOMETRIC_RGB, 3, false, SAMPLEFORMAT_IEEEFP, {32}},
    {"float_rgba", PHOTOMETRIC_RGB, 3, true, SAMPLEFORMAT_IEEEFP, {32}},
    {"signed_grey", PHOTOMETRIC_MINISBLACK, 1, false, SAMPLEFORMAT_INT, {32}},
};

class SameAsBefore : public testing::TestWithParam<SameCase> {};

TEST_P(SameAsBefore, PagesAreTheBitmapsTheChainAlwaysGot)
{
    const SameCase& kind = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    fixtures::TiffExtras extras;
    extras.dpi = 150;
    extras.iccProfile = fixtures::adobeRgbProfile();
    int compared = 0;
    for (const std::uint16_t bits : kind.depths) {
        TiffVariant variant{QString(), kind.photometric, bits, kind.colourSamples};
        variant.alpha = kind.alpha;
        variant.sampleFormat = kind.sampleFormat;
        variant.rowsPerStrip = 4;
        for (const int layout : {0, 1, 2}) { // strips, tiles, separate planes in strips
            variant.tiled = layout == 1;
            variant.separatePlanes = layout == 2;
            if (variant.separatePlanes && (kind.colourSamples == 1 || bits < 8)) {
                continue;
            }
            for (const bool bigEndian : {false, true}) {
                variant.bigEndian = bigEndian;
                for (const std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW}) {
                    variant.compression = compression;
                    const std::string name = std::to_string(bits) + "-bit layout " + std::to_string(layout) +
                                             (bigEndian ? " big-endian" : " little-endian") +
                                             (compression == COMPRESSION_LZW ? " lzw" : " none");
                    const QString path = dir.filePath(QStringLiteral("page.tif"));
                    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight, extras)) << name;
                    const Bitmap before = decodeTiffPage(path, 0);
                    ASSERT_TRUE(before) << name << ": FreeImage read this layout";

                    LoadedPage page = InputDocument(path).loadPage(0);
                    ASSERT_EQ(page.status, PageStatus::Loaded) << name;
                    EXPECT_EQ(differenceOf(page.image.get(), before.get()), "") << name;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SameAsBefore, testing::ValuesIn(sameCases),
                         [](const testing::TestParamInfo<SameCase>& info) { return std::string(info.param.name); });

// Every page of a file, in every header layout (classic and BigTIFF, both byte orders), is the page
// FreeImage's multi-page container handed out.
TEST(TiffReader, ReadsEveryPageOfEveryHeaderLayout)
{
    QTemporaryDir dir;
    const std::vector<TiffVariant> pages = {{QString(), PHOTOMETRIC_RGB, 8, 3},
                                            {QString(), PHOTOMETRIC_MINISWHITE, 1, 1},
                                            {QString(), PHOTOMETRIC_MINISBLACK, 16, 1},
                                            {QString(), PHOTOMETRIC_PALETTE, 8, 1}};
    for (const char* mode : {"w", "w8"}) {
        for (const bool bigEndian : {false, true}) {
            const QString path =
                dir.filePath(QStringLiteral("pages-%1-%2.tif").arg(QLatin1String(mode)).arg(bigEndian));
            {
                TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), bigEndian ? "wb" : "wl");
                ASSERT_NE(tiff, nullptr);
                TIFFClose(tiff);
            }
            for (TiffVariant variant : pages) {
                variant.bigEndian = bigEndian;
                ASSERT_TRUE(fixtures::appendTiffVariant(path, variant, pageWidth, pageHeight));
            }
            InputDocument document(path);
            ASSERT_EQ(document.pageCount(), static_cast<int>(pages.size())) << mode;
            for (int index = 0; index < document.pageCount(); ++index) {
                const Bitmap before = decodeTiffPage(path, index);
                LoadedPage page = document.loadPage(index);
                ASSERT_TRUE(before);
                ASSERT_EQ(page.status, PageStatus::Loaded) << mode << " page " << index;
                EXPECT_EQ(differenceOf(page.image.get(), before.get()), "") << mode << " page " << index;
            }
            EXPECT_EQ(document.loadPage(document.pageCount()).status, PageStatus::Failed) << "there is no such page";
        }
    }
    EXPECT_EQ(InputDocument(dir.filePath(QStringLiteral("missing.tif"))).pageCount(), 0);
}

// --- layouts FreeImage refused or misread -------------------------------------------------------

// What one pixel of the decoded page should hold, from the fixture's samples.
using Expectation = std::function<std::string(const TiffVariant&, FIBITMAP*, int x, int y)>;

template <typename T> const T* pixelAt(FIBITMAP* page, int x, int y)
{
    // Rows bottom-up.
    return reinterpret_cast<const T*>(
               FreeImage_GetScanLine(page, static_cast<int>(FreeImage_GetHeight(page)) - 1 - y)) +
           x;
}

float level(const TiffVariant& variant, int x, int y, int channel)
{
    return static_cast<float>(fixtures::floatSample(fixtures::sampleValue(variant, x, y, channel)));
}

std::string floatGrey(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const float got = *pixelAt<float>(page, x, y);
    return got == level(variant, x, y, 0) ? "" : "grey " + std::to_string(got);
}

std::string floatColour(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const bool alpha = FreeImage_GetImageType(page) == FIT_RGBAF;
    const float* pixel = alpha ? &pixelAt<FIRGBAF>(page, x, y)->red : &pixelAt<FIRGBF>(page, x, y)->red;
    for (int channel = 0; channel < (alpha ? 4 : 3); ++channel) {
        if (pixel[channel] != level(variant, x, y, channel)) {
            return "channel " + std::to_string(channel) + " is " + std::to_string(pixel[channel]);
        }
    }
    return {};
}

std::string offsetWords(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const int channels = FreeImage_GetImageType(page) == FIT_UINT16 ? 1 : 3;
    const WORD* pixel = pixelAt<WORD>(page, x * channels, y);
    for (int channel = 0; channel < channels; ++channel) {
        // The fixture stores sampleValue - 32768; the page holds the sample + 32768.
        if (pixel[channel] != fixtures::sampleValue(variant, x, y, channel)) {
            return "channel " + std::to_string(channel) + " is " + std::to_string(pixel[channel]);
        }
    }
    return {};
}

std::string maskBit(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const BYTE byte = *pixelAt<BYTE>(page, x / 8, y);
    const unsigned bit = (byte >> (7 - x % 8)) & 1U;
    const RGBQUAD* palette = FreeImage_GetPalette(page);
    const bool paletteRight = palette[0].rgbRed == 0 && palette[1].rgbRed == 255 && palette[1].rgbBlue == 255;
    return bit == fixtures::sampleValue(variant, x, y, 0) && paletteRight ? "" : "mask bit or palette";
}

// The colour map entry of the index the fixture wrote, at 8 bits, as libtiff's RGBA reading takes it.
RGBQUAD mapEntry(const TiffVariant& variant, std::uint32_t index)
{
    const std::vector<std::uint16_t> map = fixtures::paletteOf(variant.bitsPerSample);
    const std::size_t entries = map.size() / 3;
    const auto eight = [](std::uint16_t value) { return static_cast<BYTE>(value >> 8); };
    return RGBQUAD{eight(map[2 * entries + index]), eight(map[entries + index]), eight(map[index]), 0};
}

std::string paletteWithAlpha(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const BYTE* pixel = pixelAt<BYTE>(page, x * 4, y);
    const RGBQUAD want = mapEntry(variant, fixtures::sampleValue(variant, x, y, 0));
    const bool same = pixel[FI_RGBA_RED] == want.rgbRed && pixel[FI_RGBA_GREEN] == want.rgbGreen &&
                      pixel[FI_RGBA_BLUE] == want.rgbBlue &&
                      pixel[FI_RGBA_ALPHA] == fixtures::sampleValue(variant, x, y, 1);
    return same ? "" : "colour or alpha";
}

std::string opaquePalette(const TiffVariant& variant, FIBITMAP* page, int x, int y)
{
    const BYTE index = *pixelAt<BYTE>(page, x, y);
    const RGBQUAD entry = FreeImage_GetPalette(page)[index];
    const RGBQUAD want = mapEntry(variant, fixtures::sampleValue(variant, x, y, 0));
    const bool same = index == fixtures::sampleValue(variant, x, y, 0) && entry.rgbRed == want.rgbRed &&
                      entry.rgbGreen == want.rgbGreen && entry.rgbBlue == want.rgbBlue &&
                      !FreeImage_IsTransparent(page);
    return same ? "" : "index, colour or transparency";
}

struct NewCase {
    const char* name;
    TiffVariant variant;
    FREE_IMAGE_TYPE type;
    unsigned bpp;
    Expectation pixel;
};

TiffVariant with(TiffVariant variant, const std::function<void(TiffVariant&)>& adjust)
{
    adjust(variant);
    return variant;
}

const TiffVariant floatGreyPage{QString(), PHOTOMETRIC_MINISBLACK, 32, 1, false, false, false, 1, false, 4, false,
                                {},        SAMPLEFORMAT_IEEEFP};
const TiffVariant floatRgbPage{QString(), PHOTOMETRIC_RGB,    32, 3, false, false, false, 1, false, 4, false,
                               {},        SAMPLEFORMAT_IEEEFP};

std::vector<NewCase> newCases()
{
    return {
        // Height grids and hyperspectral stacks: the first sample is the grey, the others are left out.
        {"float_2_samples", with(floatGreyPage, [](TiffVariant& v) { v.otherSamples = 1; }), FIT_FLOAT, 32, floatGrey},
        {"float_5_samples_tiled", with(floatGreyPage, [](TiffVariant& v) { v.otherSamples = 4, v.tiled = true; }),
         FIT_FLOAT, 32, floatGrey},
        {"float_20_samples_planar",
         with(floatGreyPage, [](TiffVariant& v) { v.otherSamples = 19, v.separatePlanes = true; }), FIT_FLOAT, 32,
         floatGrey},
        {"float_3_samples_grey", with(floatGreyPage, [](TiffVariant& v) { v.otherSamples = 2; }), FIT_FLOAT, 32,
         floatGrey},
        {"double_3_samples_grey", with(floatGreyPage, [](TiffVariant& v) { v.otherSamples = 2, v.bitsPerSample = 64; }),
         FIT_FLOAT, 32, floatGrey},
        {"double_rgb", with(floatRgbPage, [](TiffVariant& v) { v.bitsPerSample = 64; }), FIT_RGBF, 96, floatColour},
        {"double_rgba_planar",
         with(floatRgbPage, [](TiffVariant& v) { v.bitsPerSample = 64, v.alpha = v.separatePlanes = true; }), FIT_RGBAF,
         128, floatColour},
        {"float_rgb_7_samples", with(floatRgbPage, [](TiffVariant& v) { v.otherSamples = 4; }), FIT_RGBF, 96,
         floatColour},
        {"signed_grey16",
         TiffVariant{
             QString(), PHOTOMETRIC_MINISBLACK, 16, 1, false, false, false, 1, false, 4, false, {}, SAMPLEFORMAT_INT},
         FIT_UINT16, 16, offsetWords},
        {"signed_rgb16_tiled",
         TiffVariant{QString(), PHOTOMETRIC_RGB, 16, 3, false, false, true, 1, false, 4, true, {}, SAMPLEFORMAT_INT},
         FIT_RGB16, 48, offsetWords},
        {"mask", TiffVariant{QString(), PHOTOMETRIC_MASK, 1, 1}, FIT_BITMAP, 1, maskBit},
        {"palette_with_alpha", TiffVariant{QString(), PHOTOMETRIC_PALETTE, 8, 1, true}, FIT_BITMAP, 32,
         paletteWithAlpha},
        {"palette_with_alpha_tiled", TiffVariant{QString(), PHOTOMETRIC_PALETTE, 8, 1, true, false, true}, FIT_BITMAP,
         32, paletteWithAlpha},
        // An extra sample that is not alpha leaves the page opaque.
        {"palette_with_extra_sample",
         with(TiffVariant{QString(), PHOTOMETRIC_PALETTE, 8, 1}, [](TiffVariant& v) { v.otherSamples = 1; }),
         FIT_BITMAP, 8, opaquePalette},
    };
}

class NewLayouts : public testing::TestWithParam<NewCase> {};

TEST_P(NewLayouts, DecodeAsTheirSamplesSay)
{
    const NewCase& test = GetParam();
    QTemporaryDir dir;
    for (const bool bigEndian : {false, true}) {
        for (const std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE}) {
            TiffVariant variant = test.variant;
            variant.bigEndian = bigEndian;
            variant.compression = compression;
            const QString path = dir.filePath(QStringLiteral("page.tif"));
            ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight));
            LoadedPage page = InputDocument(path).loadPage(0);
            ASSERT_EQ(page.status, PageStatus::Loaded) << bigEndian << " " << compression;
            ASSERT_EQ(FreeImage_GetImageType(page.image.get()), test.type);
            ASSERT_EQ(page.image.bpp(), test.bpp);
            for (int y = 0; y < pageHeight; ++y) {
                for (int x = 0; x < pageWidth; ++x) {
                    const std::string wrong = test.pixel(variant, page.image.get(), x, y);
                    ASSERT_EQ(wrong, "") << "pixel " << x << ", " << y << (bigEndian ? " big-endian" : "")
                                         << " compression " << compression;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, NewLayouts, testing::ValuesIn(newCases()),
                         [](const testing::TestParamInfo<NewCase>& info) { return std::string(info.param.name); });

// Scientific float pages often leave out PhotometricInterpretation: read as libtiff's RGBA reader
// reads them, grey below three samples and RGB from three, never refused as damaged.
TEST(TiffReader, PageWithoutPhotometricReadsAsItsSamplesSay)
{
    const struct {
        TiffVariant variant;
        FREE_IMAGE_TYPE type;
        Expectation pixel;
    } cases[] = {{floatGreyPage, FIT_FLOAT, floatGrey}, {floatRgbPage, FIT_RGBF, floatColour}};
    QTemporaryDir dir;
    for (const auto& test : cases) {
        const QString path = dir.filePath(QStringLiteral("page.tif"));
        ASSERT_TRUE(fixtures::writeTiffVariant(path, test.variant, pageWidth, pageHeight));
        {
            const std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(TIFFOpen(QFile::encodeName(path).constData(), "r+"),
                                                                   &TIFFClose);
            ASSERT_TRUE(tiff);
            ASSERT_EQ(TIFFUnsetField(tiff.get(), TIFFTAG_PHOTOMETRIC), 1);
            ASSERT_EQ(TIFFRewriteDirectory(tiff.get()), 1);
        }
        LoadedPage page = InputDocument(path).loadPage(0);
        ASSERT_EQ(page.status, PageStatus::Loaded) << test.type;
        ASSERT_EQ(FreeImage_GetImageType(page.image.get()), test.type);
        for (int y = 0; y < pageHeight; ++y) {
            for (int x = 0; x < pageWidth; ++x) {
                ASSERT_EQ(test.pixel(test.variant, page.image.get(), x, y), "") << "pixel " << x << ", " << y;
            }
        }
    }
}

// --- sparse files -------------------------------------------------------------------------------

// Tiles a writer left out (offset and byte count 0) are blank, read in memory and in bands alike;
// the tiles that are there keep their pixels.
TEST(TiffReader, AbsentTilesAreBlank)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse.tif"));
    TiffVariant variant{QString(), PHOTOMETRIC_RGB, 8, 3};
    variant.tiled = true;
    variant.compression = COMPRESSION_ADOBE_DEFLATE;
    variant.absentTiles = {0, 4}; // 3 tiles a row: the top-left one and the middle of the second row
    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, 40, 32));
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    ASSERT_EQ(headers.size(), 1U);

    LoadedPage page = InputDocument(path).loadPage(0);
    ASSERT_EQ(page.status, PageStatus::Loaded);
    const std::unique_ptr<TiffBandSource> source = TiffBandSource::open(path, 0, headers.front(), 1);
    ASSERT_NE(source, nullptr);
    for (int band = 0; band < source->bandCount(); ++band) {
        const Bitmap rows = source->readBand(band);
        ASSERT_TRUE(rows) << "band " << band;
        for (unsigned r = 0; r < rows.height(); ++r) {
            const int y = band * static_cast<int>(source->bandRows()) + static_cast<int>(r);
            ASSERT_EQ(std::memcmp(FreeImage_GetScanLine(rows.get(), static_cast<int>(rows.height() - 1 - r)),
                                  pixelAt<BYTE>(page.image.get(), 0, y), FreeImage_GetLine(rows.get())),
                      0)
                << "row " << y << " differs between the bands and the page in memory";
        }
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool absent = (x < 16 && y < 16) || (x >= 16 && x < 32 && y >= 16);
            const BYTE* pixel = pixelAt<BYTE>(page.image.get(), x * 3, y);
            const std::uint32_t red = absent ? 0 : fixtures::sampleValue(variant, x, y, 0);
            const std::uint32_t blue = absent ? 0 : fixtures::sampleValue(variant, x, y, 2);
            ASSERT_EQ(pixel[FI_RGBA_RED], red) << x << ", " << y;
            ASSERT_EQ(pixel[FI_RGBA_BLUE], blue) << x << ", " << y;
        }
    }
}

} // namespace

namespace {

// --- damaged pages ------------------------------------------------------------------------------

// Reads every band of the page, the smallest it allows; false when one cannot be read.
bool allBandsRead(const QString& path, const TiffPageHeader& header)
{
    const std::unique_ptr<TiffBandSource> source = TiffBandSource::open(path, 0, header, 1);
    if (!source) {
        return false;
    }
    for (int band = 0; band < source->bandCount(); ++band) {
        if (!source->readBand(band)) {
            return false;
        }
    }
    return true;
}

struct DamageCase {
    const char* name;
    TiffVariant variant;
    // What is done to the first strip or tile: its byte count cut to one byte (the codec runs out of
    // data), or its offset past the end of the file.
    bool offsetPastEnd;
};

std::vector<DamageCase> damageCases()
{
    const auto page = [](std::uint16_t photometric, std::uint16_t bits, std::uint16_t samples,
                         std::uint16_t compression, bool tiled = false) {
        TiffVariant variant{QString(), photometric, bits, samples};
        variant.compression = compression;
        variant.tiled = tiled;
        variant.rowsPerStrip = 4;
        return variant;
    };
    return {
        {"none_offset_past_end", page(PHOTOMETRIC_RGB, 8, 3, COMPRESSION_NONE), true},
        {"lzw_short", page(PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW), false},
        {"deflate_short", page(PHOTOMETRIC_MINISBLACK, 16, 1, COMPRESSION_ADOBE_DEFLATE), false},
        {"packbits_short", page(PHOTOMETRIC_PALETTE, 8, 1, COMPRESSION_PACKBITS), false},
        {"g4_short", page(PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX4), false},
        {"g3_short", page(PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX3), false},
        {"tiles_lzw_short", page(PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW, true), false},
        {"tiles_offset_past_end", page(PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_NONE, true), true},
        // Pages unpacked sample by sample: CMYK and grey with alpha.
        {"cmyk_lzw_short", page(PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_LZW), false},
        {"grey_alpha_planar_lzw_short",
         with(page(PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_LZW),
              [](TiffVariant& v) { v.alpha = v.separatePlanes = true; }),
         false},
    };
}

class DamagedPage : public testing::TestWithParam<DamageCase> {};

// Whatever the codec and whichever decoder reads the page, a strip or tile that cannot be read
// whole fails the page, in memory and in bands; the same file undamaged reads.
TEST_P(DamagedPage, FailsInMemoryAndInBands)
{
    const DamageCase& test = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(path, test.variant, 48, 37));
    ASSERT_EQ(InputDocument(path).loadPage(0).status, PageStatus::Loaded);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    ASSERT_EQ(headers.size(), 1U);
    const bool plainRows = TiffBandSource::open(path, 0, headers.front(), 1) != nullptr;
    if (plainRows) {
        ASSERT_TRUE(allBandsRead(path, headers.front()));
    }
    // The first strip or tile.
    ASSERT_TRUE(fixtures::patchStrile(bytes, 0, 0, !test.offsetPastEnd,
                                      test.offsetPastEnd ? static_cast<std::uint32_t>(bytes.size()) + 100 : 1));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    EXPECT_EQ(InputDocument(path).loadPage(0).status, PageStatus::Failed);
    if (plainRows) {
        EXPECT_FALSE(allBandsRead(path, headers.front()));
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DamagedPage, testing::ValuesIn(damageCases()),
                         [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

// A page cut short (its directory before its pixels, the last strips missing) fails; the bands
// before the cut still read, so the streamed path names the page as it reaches the cut.
TEST(TiffReader, PageCutShortFails)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.tif"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(fixtures::cutShortTiff(64, 8, 10, 6));
    file.close();
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    ASSERT_EQ(headers.size(), 1U);
    EXPECT_EQ(InputDocument(path).loadPage(0).status, PageStatus::Failed);
    const std::unique_ptr<TiffBandSource> source = TiffBandSource::open(path, 0, headers.front(), 1);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->readBand(0));
    EXPECT_FALSE(source->readBand(source->bandCount() - 1));
}

} // namespace

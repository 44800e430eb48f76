// Every common TIFF layout, generated with libtiff, decoded as the pipeline receives its pages and
// compared with libtiff's own RGBA reading of the same file: grey, grey with alpha, RGB, RGBA,
// palette and CMYK at 1 to 16 bits per sample, in strips, tiles and separate planes, in both byte
// orders, with every compression libtiff writes for them.
#include "engine/decode/page_loader.h"
#include "engine/steps/sample_depth.h"
#include "support/libtiff_reference.h"
#include "support/tiff_variants.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using fixtures::RgbaLevels;
using fixtures::TiffVariant;

// Not a multiple of the 16-pixel tiles, so partial tiles and a partial last strip are read too.
constexpr int pageWidth = 24;
constexpr int pageHeight = 20;

// Where the page as decoded is meant to differ from libtiff's reading.
enum class Deviation {
    None,
    // 16-bit grey is stretched from its darkest to its lightest value before the colour steps.
    GreyStretch,
};

struct LayoutKind {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t colourSamples;
    bool alpha;
    std::vector<std::uint16_t> depths;
    friend void PrintTo(const LayoutKind& kind, std::ostream* os) { *os << kind.name; }
};

Deviation deviationOf(const TiffVariant& variant)
{
    const bool grey = variant.photometric == PHOTOMETRIC_MINISBLACK || variant.photometric == PHOTOMETRIC_MINISWHITE;
    return grey && !variant.alpha && variant.bitsPerSample == 16 ? Deviation::GreyStretch : Deviation::None;
}

// libtiff's RGBA reading leaves 8-bit grey with alpha unpremultiplied (RGB with alpha it
// premultiplies) and draws 16-bit grey with alpha opaque: such pages are compared with the samples
// written instead.
bool libtiffReadsAlphaOf(const TiffVariant& variant)
{
    return !(variant.alpha && variant.colourSamples == 1);
}

// 16-bit grey from its darkest to its lightest sample, as the steps receive it.
std::vector<RgbaLevels> stretchedGrey(const TiffVariant& variant)
{
    std::vector<int> values;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const auto value = static_cast<int>(fixtures::sampleValue(variant, x, y, 0));
            values.push_back(variant.photometric == PHOTOMETRIC_MINISWHITE ? 65535 - value : value);
        }
    }
    const auto [darkest, lightest] = std::minmax_element(values.begin(), values.end());
    const double scale = 255.0 / std::max(1, *lightest - *darkest);
    std::vector<RgbaLevels> pixels;
    for (const int value : values) {
        const int grey = static_cast<int>((value - *darkest) * scale + 0.5);
        pixels.push_back({grey, grey, grey, 255});
    }
    return pixels;
}

struct Layout {
    const char* name;
    bool tiled;
    bool separatePlanes;
};

constexpr Layout layouts[] = {
    {"strips", false, false}, {"tiles", true, false}, {"planar-strips", false, true}, {"planar-tiles", true, true}};

struct Codec {
    const char* name;
    std::uint16_t compression;
};

std::vector<Codec> codecsFor(const TiffVariant& variant)
{
    std::vector<Codec> codecs{{"none", COMPRESSION_NONE},
                              {"lzw", COMPRESSION_LZW},
                              {"deflate", COMPRESSION_ADOBE_DEFLATE},
                              {"packbits", COMPRESSION_PACKBITS}};
    if (variant.bitsPerSample == 1 && variant.colourSamples == 1 && !variant.alpha) {
        codecs.push_back({"g3", COMPRESSION_CCITTFAX3});
        codecs.push_back({"g4", COMPRESSION_CCITTFAX4});
    }
    return codecs;
}

std::vector<LayoutKind> layoutKinds()
{
    return {
        {"grey", PHOTOMETRIC_MINISBLACK, 1, false, {1, 2, 4, 8, 12, 16}},
        {"white_is_zero", PHOTOMETRIC_MINISWHITE, 1, false, {1, 4, 8, 16}},
        {"grey_alpha", PHOTOMETRIC_MINISBLACK, 1, true, {4, 8, 16}},
        {"rgb", PHOTOMETRIC_RGB, 3, false, {2, 4, 8, 12, 16}},
        {"rgba", PHOTOMETRIC_RGB, 3, true, {4, 8, 16}},
        {"palette", PHOTOMETRIC_PALETTE, 1, false, {1, 2, 4, 8}},
        // No profile in these files: ink becomes light by the plain formula, as in libtiff.
        {"cmyk", PHOTOMETRIC_SEPARATED, 4, false, {4, 8, 16}},
    };
}

class TiffLayouts : public testing::TestWithParam<LayoutKind> {};

TEST_P(TiffLayouts, PagesMatchLibtiffsOwnReading)
{
    const LayoutKind& kind = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int compared = 0;
    for (const std::uint16_t bits : kind.depths) {
        TiffVariant variant{QString(), kind.photometric, bits, kind.colourSamples};
        variant.alpha = kind.alpha;
        for (const Layout& layout : layouts) {
            variant.tiled = layout.tiled;
            variant.separatePlanes = layout.separatePlanes;
            for (const bool bigEndian : {false, true}) {
                variant.bigEndian = bigEndian;
                for (const Codec& codec : codecsFor(variant)) {
                    variant.compression = codec.compression;
                    const std::string name = std::to_string(bits) + "-bit " + layout.name + " " +
                                             (bigEndian ? "big-endian " : "little-endian ") + codec.name;
                    const QString path = dir.filePath(QString::fromStdString(name) + QStringLiteral(".tif"));
                    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight)) << name;

                    InputDocument document(path);
                    ASSERT_EQ(document.pageCount(), 1) << name;
                    LoadedPage page = document.loadPage(0);
                    ASSERT_EQ(page.status, PageStatus::Loaded) << name;
                    const Bitmap steps = toEightBitsPerSample(std::move(page.image));
                    ASSERT_TRUE(steps) << name;

                    std::vector<RgbaLevels> want;
                    if (deviationOf(variant) == Deviation::GreyStretch) {
                        want = stretchedGrey(variant);
                    } else {
                        if (libtiffReadsAlphaOf(variant)) {
                            want = fixtures::libtiffRgba(path, pageWidth, pageHeight);
                        }
                        if (want.empty()) {
                            want = fixtures::scaledSamples(variant, pageWidth, pageHeight);
                        }
                    }
                    EXPECT_EQ(fixtures::firstDifference(fixtures::premultipliedPixels(steps), want, 1, pageWidth), "")
                        << name;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, TiffLayouts, testing::ValuesIn(layoutKinds()),
                         [](const testing::TestParamInfo<LayoutKind>& info) { return std::string(info.param.name); });

// A page with an ICC profile and an EXIF directory, as cameras and raw developers write them.
// FreeImage's TIFF loader copies such a page's profile from memory that reading the EXIF
// directory has freed; the page is decoded without it and keeps its profile, byte for byte.
TEST(ColourProfileBesideExif, IsDecodedWithItsProfileIntact)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const std::uint16_t bits : {8, 16}) {
        TiffVariant variant{QStringLiteral("camera"), PHOTOMETRIC_RGB, bits, 3};
        variant.compression = COMPRESSION_ADOBE_DEFLATE;
        fixtures::TiffExtras extras;
        extras.iccProfile = fixtures::adobeRgbProfile();
        extras.exifDirectory = true;
        const QString path = dir.filePath(QStringLiteral("camera%1.tif").arg(bits));
        ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight, extras));

        InputDocument document(path);
        ASSERT_EQ(document.pageCount(), 1);
        LoadedPage page = document.loadPage(0);
        ASSERT_EQ(page.status, PageStatus::Loaded) << bits;
        EXPECT_EQ(page.sourceBpp, bits * 3);
        const FIICCPROFILE* profile = FreeImage_GetICCProfile(page.image.get());
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(QByteArray(static_cast<const char*>(profile->data), profile->size), extras.iccProfile) << bits;
        const Bitmap steps = toEightBitsPerSample(std::move(page.image));
        EXPECT_EQ(fixtures::firstDifference(fixtures::premultipliedPixels(steps),
                                            fixtures::libtiffRgba(path, pageWidth, pageHeight), 1, pageWidth),
                  "")
            << bits;
    }
}

} // namespace

// TIFF layouts FreeImage refuses or misreads (separate planes, odd grey depths, 32-bit samples,
// CMYK, CIELab, JPEG-compressed YCbCr and CMYK, old-style JPEG) converted by the real executable
// and compared pixel by pixel with libtiff's own decode of the same file.
#include "support/converted_page.h"
#include "support/libtiff_reference.h"
#include "support/malformed_tiffs.h"
#include "support/old_jpeg_tiff.h"
#include "support/tiff_variants.h"

#include <gtest/gtest.h>

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace fixtures {
void PrintTo(const TiffVariant& variant, std::ostream* os)
{
    *os << variant.name.toStdString();
}
} // namespace fixtures

namespace {

using e2e::Sandbox;
using fixtures::TiffVariant;

constexpr int pageWidth = 40;
constexpr int pageHeight = 32;

using Rgba = fixtures::RgbaLevels;

std::vector<Rgba> libtiffRgba(const QString& path)
{
    return fixtures::libtiffRgba(path, pageWidth, pageHeight);
}

std::vector<Rgba> premultipliedPixels(const Bitmap& image)
{
    return fixtures::premultipliedPixels(image);
}

std::string firstDifference(const std::vector<Rgba>& got, const std::vector<Rgba>& want, int tolerance)
{
    return fixtures::firstDifference(got, want, tolerance, pageWidth);
}

std::vector<TiffVariant> allVariants()
{
    return fixtures::tiffVariants();
}

class TiffVariantDecode : public testing::TestWithParam<TiffVariant> {};

TEST_P(TiffVariantDecode, ConvertsWithTheColoursLibtiffDecodes)
{
    const TiffVariant& variant = GetParam();
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + u'/' + variant.name + QStringLiteral(".tif");
    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight));
    std::vector<Rgba> want = libtiffRgba(path);
    if (want.empty()) {
        want = fixtures::scaledSamples(variant, pageWidth, pageHeight);
    }

    // 32 bits: Auto would keep 16-bit pages at 48 or 64 bits, which the comparison does not read.
    const e2e::ConvertedPage page = e2e::convertPage(box, variant.name, QStringLiteral("png"),
                                                     {QStringLiteral("-d"), QStringLiteral("--png-bpp=32")});
    ASSERT_TRUE(page.image) << page.run.out.constData();
    // Un-premultiplying and 16-bit scaling round differently by a level; JPEG decoders differ more.
    const int tolerance = variant.lossy ? 10 : variant.alpha ? 2 : 1;
    EXPECT_EQ(firstDifference(premultipliedPixels(page.image), want, tolerance), "");
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, TiffVariantDecode, testing::ValuesIn(allVariants()),
                         [](const testing::TestParamInfo<TiffVariant>& info) {
                             QString name = info.param.name;
                             return name.replace(u'-', u'_').toStdString();
                         });

// CMYK ink becomes light the way a print does: the black ink darkens every channel.
struct InkCase {
    const char* name;
    std::uint16_t compression;
    std::vector<std::uint32_t> ink; // C, M, Y, K
    Rgba light;
    int tolerance;
    bool pressProfile = false; // the file carries a press CMYK profile: colour-managed light
    friend void PrintTo(const InkCase& c, std::ostream* os) { *os << c.name; }
};

// Ghostscript's default press profile (Debian package libgs-common).
QByteArray pressCmykProfile()
{
    QFile file(QStringLiteral("/usr/share/color/icc/ghostscript/default_cmyk.icc"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CmykInk : public testing::TestWithParam<InkCase> {};

TEST_P(CmykInk, TakesTheBlackChannelIntoAccount)
{
    const InkCase& ink = GetParam();
    TiffVariant variant{QString::fromLatin1(ink.name), PHOTOMETRIC_SEPARATED, 8, 4};
    variant.compression = ink.compression;
    variant.solid = ink.ink;
    fixtures::TiffExtras extras;
    if (ink.pressProfile) {
        extras.iccProfile = pressCmykProfile();
        ASSERT_FALSE(extras.iccProfile.isEmpty()) << "libgs-common is missing";
    }
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + u'/' + variant.name + QStringLiteral(".tif");
    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight, extras));

    for (const QString& format : {QStringLiteral("png"), QStringLiteral("jpg")}) {
        box.makeFolder(QStringLiteral("out/") + format);
        const e2e::RunResult run =
            box.run({"-q", "-i", "in/" + variant.name + ".tif", "-o", "out/" + format, "-c", format});
        const Bitmap image = e2e::loadImage(box.path("out/" + format + "/" + variant.name + "." + format));
        ASSERT_TRUE(image) << format.toStdString() << ": " << run.out.constData();
        const std::vector<Rgba> pixels = premultipliedPixels(image);
        const Rgba centre = pixels[pixels.size() / 2 + pageWidth / 2];
        const std::vector<Rgba> want{ink.light};
        // JPEG output adds its own rounding to a flat colour.
        const int tolerance = ink.tolerance + (format == QLatin1String("jpg") ? 2 : 0);
        EXPECT_EQ(firstDifference({centre}, want, tolerance), "") << format.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inks, CmykInk,
    testing::Values(InkCase{"black_200", COMPRESSION_NONE, {0, 0, 0, 200}, {55, 55, 55, 255}, 0},
                    InkCase{"red", COMPRESSION_NONE, {0, 255, 255, 0}, {255, 0, 0, 255}, 0},
                    InkCase{"blue_over_black", COMPRESSION_LZW, {255, 255, 0, 100}, {0, 0, 155, 255}, 0},
                    InkCase{"black_200_jpeg", COMPRESSION_JPEG, {0, 0, 0, 200}, {55, 55, 55, 255}, 3},
                    // Through the press profile: paper white stays white, black ink is a dark grey
                    // and not (0,0,0), press red and cyan are the sRGB colours presses print.
                    InkCase{"profile_no_ink", COMPRESSION_NONE, {0, 0, 0, 0}, {255, 255, 255, 255}, 2, true},
                    InkCase{"profile_black_200", COMPRESSION_NONE, {0, 0, 0, 200}, {91, 92, 94, 255}, 3, true},
                    InkCase{"profile_full_black", COMPRESSION_LZW, {0, 0, 0, 255}, {35, 31, 32, 255}, 3, true},
                    InkCase{"profile_red", COMPRESSION_NONE, {0, 255, 255, 0}, {237, 28, 36, 255}, 3, true},
                    InkCase{"profile_cyan_jpeg", COMPRESSION_JPEG, {255, 0, 0, 0}, {0, 174, 239, 255}, 5, true}),
    [](const testing::TestParamInfo<InkCase>& info) { return std::string(info.param.name); });

// A multi-page file whose pages need different decoders: each page is converted by its own.
TEST(MixedPages, EveryPageIsConvertedByTheDecoderThatReadsIt)
{
    const std::vector<TiffVariant> variants = fixtures::tiffVariants();
    const auto named = [&variants](const char* name) {
        return *std::find_if(variants.begin(), variants.end(),
                             [name](const TiffVariant& v) { return v.name == QLatin1String(name); });
    };
    const std::vector<TiffVariant> pages{named("planar-strip-rgb8"), named("planar-tile-rgba8"), named("cmyk8"),
                                         named("grey2-miniswhite")};
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/mixed.tif");
    ASSERT_TRUE(fixtures::writeTiffVariant(path, pages[0], pageWidth, pageHeight));
    for (std::size_t i = 1; i < pages.size(); ++i) {
        ASSERT_TRUE(fixtures::appendTiffVariant(path, pages[i], pageWidth, pageHeight));
    }
    box.makeFolder(QStringLiteral("out"));
    box.run({"-q", "-i", "in/mixed.tif", "-o", "out", "-c", "png"});
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const QString single = box.path(QStringLiteral("page.tif"));
        QFile::remove(single);
        ASSERT_TRUE(fixtures::writeTiffVariant(single, pages[i], pageWidth, pageHeight));
        const Bitmap image = e2e::loadImage(box.path(QStringLiteral("out/mixed[%1].png").arg(i + 1)));
        ASSERT_TRUE(image) << "page " << i + 1;
        EXPECT_EQ(firstDifference(premultipliedPixels(image), libtiffRgba(single), 2), "") << "page " << i + 1;
    }
}

// Old-style JPEG made of tables and strips of entropy-coded data, with subsampled chroma: the
// embedded-stream decode finds no stream, libtiff's old-style JPEG decoder reads them.
struct OldJpegCase {
    const char* name;
    int subsampleY;
    int rowsPerStrip;
    friend void PrintTo(const OldJpegCase& c, std::ostream* os) { *os << c.name; }
};

class OldStyleJpegTables : public testing::TestWithParam<OldJpegCase> {};

TEST_P(OldStyleJpegTables, ConvertsWithTheColoursLibtiffDecodes)
{
    const OldJpegCase& c = GetParam();
    const Bitmap picture = fixtures::makePage(fixtures::PageKind::Rgb24, pageWidth, pageHeight);
    Sandbox box;
    const QString path = box.writeFile(QStringLiteral("in/ojpeg.tif"),
                                       fixtures::tableStyleJpegTiff(picture, c.subsampleY, c.rowsPerStrip));
    const std::vector<Rgba> want = libtiffRgba(path);
    ASSERT_FALSE(want.empty()) << "libtiff cannot read the fixture";
    const e2e::ConvertedPage page = e2e::convertPage(box, QStringLiteral("ojpeg"), QStringLiteral("png"), {});
    ASSERT_TRUE(page.image) << page.run.out.constData();
    EXPECT_EQ(firstDifference(premultipliedPixels(page.image), want, 1), "");
}

INSTANTIATE_TEST_SUITE_P(Subsampling, OldStyleJpegTables,
                         testing::Values(OldJpegCase{"two_by_one_one_strip", 1, pageHeight},
                                         OldJpegCase{"two_by_two_two_strips", 2, 16}),
                         [](const testing::TestParamInfo<OldJpegCase>& info) { return std::string(info.param.name); });

// An editor's file: 8-bit RGB, Adobe Deflate in one strip, XMP, Photoshop resources and an ICC
// profile whose rendering intent is out of range. FreeImage reads it, but libpng refuses such a
// profile and the PNG writer failed, so the page was lost. It is written now, without the
// profile for PNG and with it, as it stands, for JPEG.
TEST(EditorFile, IsConvertedDespiteAProfileThePngWriterRefuses)
{
    TiffVariant variant{QStringLiteral("edited"), PHOTOMETRIC_RGB, 8, 3};
    variant.compression = COMPRESSION_ADOBE_DEFLATE;
    variant.rowsPerStrip = pageHeight;
    fixtures::TiffExtras extras;
    extras.iccProfile = fixtures::adobeRgbProfile();
    ASSERT_GT(extras.iccProfile.size(), 68);
    extras.iccProfile[67] = 5; // rendering intent: only 0 to 3 exist
    extras.xmpPacket = QByteArrayLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><edited/></x:xmpmeta>");
    // One image resource block: resolution info, 300 dpi.
    extras.photoshopResources =
        QByteArray("8BIM\x03\xED\0\0\0\0\0\x10\x01\x2C\0\0\0\x01\0\x01\x01\x2C\0\0\0\x01\0\x01", 28);
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/edited.tif");
    ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight, extras));

    const e2e::ConvertedPage png = e2e::convertPage(box, QStringLiteral("edited"), QStringLiteral("png"), {});
    ASSERT_TRUE(png.image) << png.run.out.constData();
    EXPECT_EQ(firstDifference(premultipliedPixels(png.image), libtiffRgba(path), 0), "");
    FITAG* xmp = nullptr;
    EXPECT_TRUE(FreeImage_GetMetadata(FIMD_XMP, png.image.get(), "XMLPacket", &xmp));

    box.makeFolder(QStringLiteral("out/jpg"));
    box.run({"-q", "-i", "in/edited.tif", "-o", "out/jpg", "-c", "jpg"});
    const Bitmap jpeg = e2e::loadImage(box.path(QStringLiteral("out/jpg/edited.jpg")));
    ASSERT_TRUE(jpeg);
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(jpeg.get());
    EXPECT_EQ(QByteArray(static_cast<const char*>(profile->data), profile->size), extras.iccProfile);
}

// --- damaged files --------------------------------------------------------------------------

// A page whose strips cannot all be read fails with the reason, leaves no file, and the file
// counts as failed, whichever page is damaged; every damaged page is named.
struct DamagedFileCase {
    const char* name;
    std::vector<int> damagedPages; // 0-based, of a three-page file
    friend void PrintTo(const DamagedFileCase& c, std::ostream* os) { *os << c.name; }
};

class DamagedFile : public testing::TestWithParam<DamagedFileCase> {};

TEST_P(DamagedFile, FailsNamingEveryDamagedPageAndWritesNothingForThem)
{
    const DamagedFileCase& test = GetParam();
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/pages.tif");
    TiffVariant page{QString(), PHOTOMETRIC_RGB, 8, 3};
    page.rowsPerStrip = 4;
    ASSERT_TRUE(fixtures::writeTiffVariant(path, page, pageWidth, pageHeight));
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(fixtures::appendTiffVariant(path, page, pageWidth, pageHeight));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    for (const int damaged : test.damagedPages) {
        // The page's last strip points past the end of the file.
        ASSERT_TRUE(fixtures::patchStrile(bytes, damaged, (pageHeight - 1) / 4, false,
                                          static_cast<std::uint32_t>(bytes.size()) * 2));
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    box.makeFolder(QStringLiteral("out"));
    const e2e::RunResult run = box.run({"-i", "in/pages.tif", "-o", "out", "-c", "png"});
    EXPECT_NE(run.exitCode, 0);
    QStringList named;
    for (const int damaged : test.damagedPages) {
        named << QStringLiteral("page %1").arg(damaged + 1);
        EXPECT_FALSE(QFile::exists(box.path(QStringLiteral("out/pages[%1].png").arg(damaged + 1)))) << damaged + 1;
    }
    const QString reason = QStringLiteral("truncated or damaged TIFF (%1)").arg(named.join(QStringLiteral(", ")));
    EXPECT_TRUE(QString::fromUtf8(run.out + run.err).contains(reason)) << reason.toStdString() << "\n"
                                                                       << run.out.constData() << run.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DamagedFile, testing::Values(DamagedFileCase{"third_page", {2}}, DamagedFileCase{"first_and_third", {0, 2}}),
    [](const testing::TestParamInfo<DamagedFileCase>& info) { return std::string(info.param.name); });

// A single page cut short (its directory before its pixels, as scanners write it, the last 40 % of
// its strips missing) is not converted from leftover memory.
TEST(DamagedFile, CutShortPageFails)
{
    Sandbox box;
    QFile file(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/cut.tif"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(fixtures::cutShortTiff(64, 8, 10, 6));
    file.close();
    box.makeFolder(QStringLiteral("out"));
    const e2e::RunResult run = box.run({"-i", "in/cut.tif", "-o", "out", "-c", "png"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(QFile::exists(box.path(QStringLiteral("out/cut.png"))));
    EXPECT_TRUE((run.out + run.err).contains("truncated or damaged TIFF (page 1)")) << run.out.constData();
}

} // namespace

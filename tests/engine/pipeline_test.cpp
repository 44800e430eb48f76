#include "engine/decode/page_loader.h"
#include "engine/run/conversion_run.h"
#include "engine/run/pipeline.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/watermark.h"
#include "support/console_run.h"
#include "support/gui_app.h"
#include "support/malformed_tiffs.h"
#include "support/old_jpeg_tiff.h"
#include "support/pixel_probe.h"
#include "support/tiff_fixtures.h"
#include "support/tiff_variants.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <set>

using fixtures::PageKind;
using fixtures::Rgb;

namespace {

Bitmap loadImage(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    return Bitmap(FreeImage_Load(FreeImage_GetFileType(name.constData(), 0), name.constData(), 0));
}

bool near(const Rgb& a, const Rgb& b, int tolerance = 12)
{
    return std::abs(static_cast<int>(a.red) - static_cast<int>(b.red)) <= tolerance &&
           std::abs(static_cast<int>(a.green) - static_cast<int>(b.green)) <= tolerance &&
           std::abs(static_cast<int>(a.blue) - static_cast<int>(b.blue)) <= tolerance;
}

// Pages told apart by their widths: 30, 40, 50 ... pixels.
std::vector<Bitmap> pagesOfWidths(int count)
{
    std::vector<Bitmap> pages;
    for (int i = 0; i < count; ++i) {
        pages.push_back(fixtures::makePage(PageKind::Rgb24, 30 + 10 * i, 20));
    }
    return pages;
}

// A temporary folder, console defaults, and a run prepared for one output format.
class Pipeline : public ConsoleRun {
  protected:
    void SetUp() override
    {
        ConsoleRun::SetUp();
        if (!HasFatalFailure()) {
            useFormat(QStringLiteral("png"));
        }
    }

    QString input(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QString output(const QString& name) const { return job.outputFolder + name; }

    bool convert(const QString& path)
    {
        job.file.inputPath = path;
        RunContext context{settings, job};
        context.onSaved = [this](const QString& written) { saved << written; };
        return processCurrentFile(context);
    }

    QStringList saved;
};

// --- page selection -------------------------------------------------------------------------

struct SelectionCase {
    int frameLoading;
    QStringList files;
    std::vector<unsigned> widths;
};

class PageSelection : public Pipeline, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(PageSelection, WritesTheSelectedPagesUnderTheirNames)
{
    const SelectionCase& c = GetParam();
    settings.input.tiffFrameLoading = c.frameLoading;
    ASSERT_TRUE(fixtures::writeTiff(input("a.tif"), pagesOfWidths(3)));
    ASSERT_TRUE(convert(input("a.tif")));
    ASSERT_EQ(outputs(), c.files);
    for (qsizetype i = 0; i < c.files.size(); ++i) {
        EXPECT_EQ(loadImage(output(c.files[i])).width(), c.widths[static_cast<std::size_t>(i)])
            << c.files[i].toStdString();
        EXPECT_EQ(saved.value(i), output(c.files[i]));
    }
    // The job keeps the un-numbered name.
    EXPECT_EQ(job.file.outputPath, output(QStringLiteral("a.png")));
}

INSTANTIATE_TEST_SUITE_P(Modes, PageSelection,
                         ::testing::Values(SelectionCase{0, {"a[1].png", "a[2].png", "a[3].png"}, {30, 40, 50}},
                                           SelectionCase{1, {"a.png"}, {30}}, SelectionCase{2, {"a.png"}, {40}},
                                           SelectionCase{3, {"a.png"}, {50}},
                                           // Unknown values read every page like All, and number them so none is lost.
                                           SelectionCase{9, {"a[1].png", "a[2].png", "a[3].png"}, {30, 40, 50}}));

TEST_F(Pipeline, RandomPicksOnePageWithoutANumber)
{
    settings.input.tiffFrameLoading = 4;
    ASSERT_TRUE(fixtures::writeTiff(input("a.tif"), pagesOfWidths(3)));
    ASSERT_TRUE(convert(input("a.tif")));
    ASSERT_EQ(outputs(), QStringList{QStringLiteral("a.png")});
    const unsigned width = loadImage(output(QStringLiteral("a.png"))).width();
    EXPECT_TRUE(width == 30 || width == 40 || width == 50) << width;
}

TEST_F(Pipeline, SinglePageWithAllHasNoNumber)
{
    ASSERT_TRUE(fixtures::writeTiff(input("one.tif"), PageKind::Rgb24, 12, 8));
    ASSERT_TRUE(convert(input("one.tif")));
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("one.png")});
}

TEST_F(Pipeline, EmptyLastPageIsSkipped)
{
    // libtiff cannot read a 0 x 0 directory, so the page chain ends before it: nothing is
    // written for it and the result is that of the page before.
    fixtures::writeRawTiff(input("z.tif"), {{30, 20}, {40, 20}, {0, 0}});
    EXPECT_TRUE(convert(input("z.tif")));
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("z[1].png"), QStringLiteral("z[2].png")}));
}

TEST(SelectPages, Table)
{
    struct Case {
        int frameLoading, pageCount;
        PageRange expected;
    };
    const std::vector<Case> cases{{0, 3, {0, 2}}, {1, 3, {0, 0}},  {3, 3, {2, 2}},  {2, 1, {0, 0}},
                                  {2, 2, {0, 0}}, {2, 3, {1, 1}},  {2, 4, {1, 1}},  {2, 5, {2, 2}},
                                  {3, 1, {0, 0}}, {-1, 2, {0, 1}}, {0, 0, {0, -1}}, {4, 0, {0, -1}}};
    for (const Case& c : cases) {
        EXPECT_EQ(selectPages(c.frameLoading, c.pageCount), c.expected) << c.frameLoading << " of " << c.pageCount;
    }
    std::set<int> drawn;
    for (int i = 0; i < 400; ++i) {
        const PageRange range = selectPages(4, 4);
        ASSERT_EQ(range.first, range.last);
        ASSERT_GE(range.first, 0);
        ASSERT_LE(range.first, 3);
        drawn.insert(range.first);
    }
    EXPECT_EQ(drawn.size(), 4U);
}

TEST(NumberedOutputPath, InsertsThePageNumberBeforeTheExtension)
{
    EXPECT_EQ(numberedOutputPath("/o/a.png", "png", 1), "/o/a[1].png");
    EXPECT_EQ(numberedOutputPath("/o/scan.2.tiff", "tiff", 12), "/o/scan.2[12].tiff");
    // A mask that does not end in the extension still gets the number at the same distance.
    EXPECT_EQ(numberedOutputPath("/o/abcdef", "png", 2), "/o/ab[2]cdef");
    EXPECT_EQ(numberedOutputPath("ab", "png", 3), "[3]ab");
}

// --- old-style JPEG -------------------------------------------------------------------------

TEST_F(Pipeline, OldStyleJpegPageIsDecodedFromItsStreamWithExifRotation)
{
    // A 40 x 20 picture whose EXIF block says "turn 90 degrees clockwise": the stream starts at
    // byte 8, right after the TIFF header.
    const Bitmap picture = fixtures::makeSolidPage(40, 20, 200, 30, 30);
    ASSERT_TRUE(fixtures::writeOldStyleJpegTiff(input("old.tif"), {{&picture, 6, false}}));
    QFile file(input("old.tif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_EQ(findJpegStart(file.readAll()), 8);

    ASSERT_TRUE(convert(input("old.tif")));
    const Bitmap result = loadImage(output(QStringLiteral("old.png")));
    EXPECT_EQ(result.width(), 20U);
    EXPECT_EQ(result.height(), 40U);
    EXPECT_TRUE(near(fixtures::colourAt(result, 10, 20), Rgb{200, 30, 30}));
    EXPECT_EQ(job.file.sourceBpp, 24);
}

TEST_F(Pipeline, EveryOldStyleJpegPageUsesItsOwnStream)
{
    const Bitmap first = fixtures::makeSolidPage(16, 16, 220, 20, 20);
    const Bitmap second = fixtures::makeSolidPage(24, 16, 20, 20, 220);
    ASSERT_TRUE(fixtures::writeOldStyleJpegTiff(input("two.tif"), {{&first}, {&second}}));
    ASSERT_TRUE(convert(input("two.tif")));
    ASSERT_EQ(outputs(), (QStringList{QStringLiteral("two[1].png"), QStringLiteral("two[2].png")}));
    EXPECT_TRUE(near(fixtures::colourAt(loadImage(output(QStringLiteral("two[1].png"))), 8, 8), Rgb{220, 20, 20}));
    const Bitmap page2 = loadImage(output(QStringLiteral("two[2].png")));
    EXPECT_EQ(page2.width(), 24U);
    EXPECT_TRUE(near(fixtures::colourAt(page2, 8, 8), Rgb{20, 20, 220}));
}

TEST(FindJpegStart, FirstMarkerOrZero)
{
    EXPECT_EQ(findJpegStart(QByteArray("\x00\x01\xFF\xD8\xFF\xD8", 6)), 2);
    EXPECT_EQ(findJpegStart(QByteArray("\xFF\xD8", 2)), 0);
    EXPECT_EQ(findJpegStart(QByteArray("abc")), 0);
    EXPECT_EQ(findJpegStart(QByteArray("\xD8\xFF", 2)), 0);
}

// --- bad input ------------------------------------------------------------------------------

TEST_F(Pipeline, BadFilesFailAloneAndWriteNothing)
{
    ASSERT_TRUE(fixtures::writeTiff(input("good.tif"), PageKind::Rgb24, 40, 30));
    QFile good(input("good.tif"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = good.readAll();

    const std::vector<std::pair<QString, QByteArray>> bad{{"truncated.tif", goodBytes.left(goodBytes.size() / 3)},
                                                          {"random.tif",
                                                           [] {
                                                               QByteArray bytes(5000, '\0');
                                                               std::uint32_t state = 12345;
                                                               for (char& b : bytes) {
                                                                   state = state * 1103515245U + 12345U;
                                                                   b = static_cast<char>(state >> 24);
                                                               }
                                                               return bytes;
                                                           }()},
                                                          {"empty.tif", QByteArray()}};
    for (const auto& [name, bytes] : bad) {
        QFile file(input(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        EXPECT_FALSE(convert(input(name))) << name.toStdString();
    }
    EXPECT_FALSE(convert(input("missing.tif")));
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(' ').toStdString();
    EXPECT_TRUE(saved.isEmpty());

    ASSERT_TRUE(convert(input("good.tif")));
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("good.png")});
}

TEST_F(Pipeline, HugeClaimedPageIsRefusedFromItsHeader)
{
    fixtures::writeRawTiff(input("huge.tif"), {{100000, 100000}});
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input("huge.tif"));
    ASSERT_EQ(headers.size(), 1U);
    EXPECT_EQ(headers[0].width, 100000U);
    EXPECT_FALSE(pageSizeAllowed(headers[0].width, headers[0].height));
    // Decoding would need 10^10 bytes; the page is refused before any buffer exists.
    EXPECT_FALSE(convert(input("huge.tif")));
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(Pipeline, HugePageAmongGoodOnesFailsTheFile)
{
    fixtures::writeRawTiff(input("mixed.tif"), {{30, 20}, {100000, 100000}, {40, 20}});
    // The pages after it are still tried, but the file fails even though its last page saved (the
    // run driver then removes the pages saved here: see the conversion run's tests). The refused
    // page left no file.
    EXPECT_FALSE(convert(input("mixed.tif")));
    EXPECT_EQ(saved, (QStringList{output(QStringLiteral("mixed[1].png")), output(QStringLiteral("mixed[3].png"))}));
    EXPECT_FALSE(outputs().contains(QStringLiteral("mixed[2].png")));
}

TEST(PageSizeAllowed, Limits)
{
    EXPECT_TRUE(pageSizeAllowed(32768, 32768));
    EXPECT_FALSE(pageSizeAllowed(32768, 32769));
    EXPECT_TRUE(pageSizeAllowed(kMaxPagePixels, 1));
    EXPECT_FALSE(pageSizeAllowed(0, 10));
    EXPECT_FALSE(pageSizeAllowed(std::uint64_t{1} << 40, std::uint64_t{1} << 40));
}

TEST_F(Pipeline, DamagedTiffsNeverTakeTheRunDown)
{
    for (const fixtures::MalformedTiff& damaged : fixtures::malformedTiffs()) {
        QFile file(input(damaged.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged.bytes);
        file.close();
        convert(input(damaged.name));
    }
    // No temporary file is left behind by any of them, and the run goes on.
    for (const QString& name : outputs()) {
        EXPECT_TRUE(name.endsWith(QLatin1String(".png"))) << name.toStdString();
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    }
    ASSERT_TRUE(fixtures::writeTiff(input("after.tif"), PageKind::Rgb24, 8, 8));
    EXPECT_TRUE(convert(input("after.tif")));
}

// --- steps between load and save ------------------------------------------------------------

struct IconCase {
    int width, height;
    unsigned expectedWidth, expectedHeight;
};

class IconSizeCap : public Pipeline, public ::testing::WithParamInterface<IconCase> {};

TEST_P(IconSizeCap, CapsIconsAt128)
{
    const IconCase& c = GetParam();
    useFormat(QStringLiteral("ico"));
    ASSERT_TRUE(fixtures::writeTiff(input("i.tif"), PageKind::Rgb24, c.width, c.height));
    ASSERT_TRUE(convert(input("i.tif")));
    const Bitmap icon = loadImage(output(QStringLiteral("i.ico")));
    EXPECT_EQ(icon.width(), c.expectedWidth);
    EXPECT_EQ(icon.height(), c.expectedHeight);
    EXPECT_EQ(job.file.imageWidth, static_cast<int>(c.expectedWidth));
    EXPECT_EQ(job.file.imageHeight, static_cast<int>(c.expectedHeight));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconSizeCap,
                         ::testing::Values(IconCase{300, 200, 128, 128}, IconCase{100, 50, 100, 50},
                                           IconCase{128, 129, 128, 128}));

TEST_F(Pipeline, SizeForTheNameIsTakenAfterResize)
{
    settings.transform.doImageResize = 1;
    settings.transform.imageWidth = 50;
    settings.transform.imageWidthUnit = 1;
    settings.transform.imageHeight = 50;
    settings.transform.imageHeightUnit = 1;
    settings.advanced.filenameMask = QStringLiteral("%filename%_%width%x%height%.%ext%");
    ASSERT_TRUE(fixtures::writeTiff(input("s.tif"), PageKind::Rgb24, 801, 601));
    ASSERT_TRUE(convert(input("s.tif")));
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("s_400x300.png")});
}

struct PageValuesCase {
    const char* name;
    const char* key;
    PageKind kind;
    int width, height;
    bool halve;           // resize to 50 %
    int depth;            // the format's bit-depth setting, 0 Auto
    const char* expected; // what "%width%x%height% %bpp%" reads for the page
};

void PrintTo(const PageValuesCase& c, std::ostream* os)
{
    *os << c.name;
}

class WatermarkPageValues : public Pipeline, public ::testing::WithParamInterface<PageValuesCase> {
  protected:
    // Converts the file with the watermark text into its own output folder; the written bytes.
    QByteArray convertMarked(const QString& path, const QString& text, const QString& folder)
    {
        settings.watermark.text = text;
        const WatermarkAssetsResult assets = loadWatermarkAssets(settings);
        EXPECT_EQ(assets.problem, WatermarkProblem::None);
        job.outputFolder = dir.path() + u'/' + folder + u'/';
        QDir().mkpath(job.outputFolder);
        job.file.inputPath = path;
        RunContext context{settings, job, &assets.assets};
        EXPECT_TRUE(processCurrentFile(context));
        QFile file(job.file.outputPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// The page placeholders of the watermark describe the page being marked, also on the first file:
// the size after resize and the icon cap, and the depth it is written with.
TEST_P(WatermarkPageValues, DescribeThePageBeingMarked)
{
    const PageValuesCase& c = GetParam();
    testsupport::ensureGuiApplication();
    settings.watermark.doWatermark = 1;
    settings.watermark.font = QStringLiteral("Arial");
    settings.watermark.fontSize = 8;
    settings.watermark.backOpacity = 255;
    settings.transform.doImageResize = c.halve ? 1 : 0;
    settings.transform.imageWidth = 50;
    settings.transform.imageWidthUnit = 1;
    settings.transform.imageHeight = 50;
    settings.transform.imageHeightUnit = 1;
    settings.output.pngBpp = c.depth;
    useFormat(QString::fromLatin1(c.key));
    ASSERT_TRUE(fixtures::writeTiff(input("v.tif"), c.kind, c.width, c.height));

    const QByteArray marked = convertMarked(input("v.tif"), QStringLiteral("%width%x%height% %bpp%"), "placeholders");
    const QByteArray expected = convertMarked(input("v.tif"), QString::fromLatin1(c.expected), "literal");
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(marked == expected) << "the mark does not read " << c.expected;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WatermarkPageValues,
    ::testing::Values(PageValuesCase{"Resized", "png", PageKind::Rgb24, 240, 120, true, 0, "120x60 24"},
                      PageValuesCase{"IconCap", "ico", PageKind::Rgb24, 300, 200, false, 0, "128x128 24"},
                      PageValuesCase{"AutoFromSixteenBitGrey", "png", PageKind::Grey16, 150, 40, false, 0, "150x40 24"},
                      PageValuesCase{"FixedDepth", "png", PageKind::Rgb24, 150, 40, false, 8, "150x40 8"}),
    [](const ::testing::TestParamInfo<PageValuesCase>& info) { return std::string(info.param.name); });

struct DepthCase {
    PageKind kind;
    const char* key;
    unsigned expectedBpp;
};

class PipelineDepth : public Pipeline, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(PipelineDepth, NormalisesDeepPagesBeforeTheSteps)
{
    const DepthCase& c = GetParam();
    // Greyscale and threshold only accept ordinary bitmaps: they show the page was brought there.
    settings.adjustment.doImageGreyscale = 1;
    useFormat(QString::fromLatin1(c.key));
    ASSERT_TRUE(fixtures::writeTiff(input("d.tif"), c.kind, 16, 12));
    ASSERT_TRUE(convert(input("d.tif")));
    const Bitmap result = loadImage(output(QStringLiteral("d.") + QString::fromLatin1(c.key)));
    EXPECT_EQ(result.bpp(), c.expectedBpp);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PipelineDepth,
                         ::testing::Values(
                             // 16-bit grey is 8-bit before the colour steps; Auto still follows the
                             // 16-bit source, so png gets 24 bits.
                             DepthCase{PageKind::Grey16, "png", 24}, DepthCase{PageKind::Rgb48, "jpg", 24},
                             DepthCase{PageKind::RgbFloat, "jpg", 24}, DepthCase{PageKind::Rgba64, "jpg", 24}));

// --- 16-bit pages ---------------------------------------------------------------------------

struct SixteenBitCase {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t colourSamples;
    bool alpha;
    std::vector<std::uint32_t> solid; // empty: a gradient in every channel
    friend void PrintTo(const SixteenBitCase& c, std::ostream* os) { *os << c.name; }
};

class SixteenBitPages : public Pipeline, public ::testing::WithParamInterface<SixteenBitCase> {};

// A 16-bit page reaches the output with each sample scaled linearly to 8 bits, whichever decoder
// read its layout (FreeImage takes contiguous strips, libtiff tiles and separate planes).
TEST_P(SixteenBitPages, AreScaledLinearlyWhateverTheLayout)
{
    const SixteenBitCase& c = GetParam();
    settings.output.pngBpp = 32;
    useFormat(QStringLiteral("png"));
    constexpr int width = 37;
    constexpr int height = 21;
    struct Layout {
        const char* name;
        bool tiled, separatePlanes;
    };
    for (const Layout layout : {Layout{"strips", false, false}, Layout{"tiles", true, false},
                                Layout{"planes", false, true}, Layout{"planar_tiles", true, true}}) {
        fixtures::TiffVariant variant{QString::fromLatin1(c.name) + u'_' + QLatin1String(layout.name), c.photometric,
                                      16, c.colourSamples};
        variant.alpha = c.alpha;
        variant.solid = c.solid;
        variant.tiled = layout.tiled;
        variant.separatePlanes = layout.separatePlanes;
        variant.compression = COMPRESSION_LZW;
        const QString path = input(variant.name + QStringLiteral(".tif"));
        ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, width, height));
        ASSERT_TRUE(convert(path)) << layout.name;
        const Bitmap result = loadImage(output(variant.name + QStringLiteral(".png")));
        ASSERT_TRUE(result) << layout.name;
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto level = [&](int channel) {
                    const std::uint32_t value = fixtures::sampleValue(variant, x, y, channel);
                    const bool inverted = c.photometric == PHOTOMETRIC_MINISWHITE && channel == 0;
                    return levelOf16(inverted ? 65535 - value : value);
                };
                const bool grey = c.colourSamples == 1;
                const RGBQUAD want{level(grey ? 0 : 2), level(grey ? 0 : 1), level(0),
                                   static_cast<BYTE>(c.alpha ? level(c.colourSamples) : 255)};
                RGBQUAD got{};
                FreeImage_GetPixelColor(result.get(), static_cast<unsigned>(x), static_cast<unsigned>(height - 1 - y),
                                        &got);
                if (result.bpp() != 32) {
                    got.rgbReserved = 255;
                }
                if (std::memcmp(&got, &want, sizeof got) != 0 && wrong++ == 0) {
                    ADD_FAILURE() << layout.name << ": pixel (" << x << "," << y << ") is " << int{got.rgbRed} << ","
                                  << int{got.rgbGreen} << "," << int{got.rgbBlue} << "," << int{got.rgbReserved}
                                  << " instead of " << int{want.rgbRed} << "," << int{want.rgbGreen} << ","
                                  << int{want.rgbBlue} << "," << int{want.rgbReserved};
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SixteenBitPages,
    ::testing::Values(SixteenBitCase{"rgb", PHOTOMETRIC_RGB, 3, false, {}},
                      SixteenBitCase{"rgba", PHOTOMETRIC_RGB, 3, true, {}},
                      // Red to blue with alpha: tone mapping made the middle magenta.
                      SixteenBitCase{"red_blue_half", PHOTOMETRIC_RGB, 3, true, {32768, 0, 32767, 49151}},
                      SixteenBitCase{"grey_alpha", PHOTOMETRIC_MINISBLACK, 1, true, {}},
                      // Half grey with alpha came out lavender.
                      SixteenBitCase{"half_grey_alpha", PHOTOMETRIC_MINISBLACK, 1, true, {32768, 65535}},
                      // One single value has nothing to stretch: it keeps its level instead of white.
                      SixteenBitCase{"single_grey", PHOTOMETRIC_MINISBLACK, 1, false, {30000}},
                      SixteenBitCase{"single_white_is_zero", PHOTOMETRIC_MINISWHITE, 1, false, {30000}}),
    [](const ::testing::TestParamInfo<SixteenBitCase>& info) { return std::string(info.param.name); });

TEST_F(Pipeline, GreyscaleAndThresholdStillFollowTheSourceDepth)
{
    settings.adjustment.doImageGreyscale = 1;
    settings.adjustment.doImageThreshold = 1;
    settings.adjustment.imageThreshold = 128;
    ASSERT_TRUE(fixtures::writeTiff(input("t.tif"), PageKind::Rgb24, 40, 30));
    ASSERT_TRUE(convert(input("t.tif")));
    const Bitmap result = loadImage(output(QStringLiteral("t.png")));
    EXPECT_EQ(result.bpp(), 24U);
    // Two-tone only: the threshold happened before the depth went back up.
    std::set<unsigned> levels;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            levels.insert(fixtures::colourAt(result, x, y).red);
        }
    }
    EXPECT_EQ(levels, (std::set<unsigned>{0, 255}));
}

TEST_F(Pipeline, StepsRunInTheirFixedOrder)
{
    // Rotation before flip: a quarter turn carries the top-left mark to the bottom-left, and the
    // vertical flip then brings it back to the top-left. Flip first would end at the top-right.
    settings.transform.doImageRotation = 1;
    settings.transform.imageRotation = 90;
    settings.transform.doImageFlipVertical = 1;
    // Invert before greyscale: a red mark becomes cyan, then a light grey.
    settings.adjustment.doImageColorCorrection = 1;
    settings.adjustment.imageInvert = 1;
    settings.adjustment.doImageGreyscale = 1;
    Bitmap page = fixtures::makeSolidPage(40, 30, 0, 0, 0);
    RGBQUAD mark{0, 0, 255, 0};
    FreeImage_SetPixelColor(page.get(), 0, 29, &mark);
    std::vector<Bitmap> pages;
    pages.push_back(std::move(page));
    ASSERT_TRUE(fixtures::writeTiff(input("o.tif"), pages));
    ASSERT_TRUE(convert(input("o.tif")));
    const Bitmap result = loadImage(output(QStringLiteral("o.png")));
    ASSERT_EQ(result.width(), 30U);
    const Rgb mark2 = fixtures::colourAt(result, 0, 0);
    const Rgb background = fixtures::colourAt(result, 15, 20);
    EXPECT_EQ(background, (Rgb{255, 255, 255}));
    EXPECT_EQ(mark2.red, mark2.green);
    EXPECT_GT(mark2.red, 128U);
    EXPECT_LT(mark2.red, 255U);
}

} // namespace

// Console runs with each rotation, size, flip and colour option, checked pixel by pixel against
// the page that went in.
#include "support/converted_page.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <set>

namespace {

using e2e::ConvertedPage;
using e2e::describe;
using e2e::Sandbox;
using fixtures::PageKind;
using fixtures::Rgb;

constexpr int pageWidth = 60;
constexpr int pageHeight = 40;

// The gradient page: every pixel tells its own position (red and green from x + y, blue from x),
// and the top-left pixel is white, so any turn or mirror shows.
class OptionRun : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.isValid());
        source = fixtures::makePage(PageKind::Rgb24, pageWidth, pageHeight);
        ASSERT_TRUE(source);
        e2e::writePage(box, QStringLiteral("page"), source);
    }

    ConvertedPage convert(const QString& tag, const QStringList& options) const
    {
        ConvertedPage result = e2e::convertPage(box, QStringLiteral("page"), tag, options);
        EXPECT_EQ(result.run.exitCode, 0) << result.run.err.constData();
        for (const QString& line : result.run.errLines()) {
            // A colour that is not six digits is used as black, with a warning.
            EXPECT_TRUE(line.startsWith(u"Warning: ")) << line.toStdString();
        }
        EXPECT_EQ(result.written, QStringList{QStringLiteral("page.png")});
        return result;
    }

    Rgb sourceAt(int x, int y) const { return fixtures::colourAt(source, x, y); }

    Sandbox box;
    Bitmap source;
};

// ---- Turns and mirrors: every output pixel comes from one known source pixel.

struct Position {
    int x, y;
};

struct GeometryCase {
    const char* name;
    friend void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }
    QStringList options;
    int width, height;
    // The source pixel that output pixel (x, y) must show.
    std::function<Position(int x, int y)> from;
};

class Geometry : public OptionRun, public testing::WithParamInterface<GeometryCase> {};

TEST_P(Geometry, EveryPixelComesFromItsSourcePixel)
{
    const GeometryCase& c = GetParam();
    const ConvertedPage out = convert(QStringLiteral("geometry"), c.options);
    ASSERT_TRUE(out.image);
    ASSERT_EQ(out.image.width(), static_cast<unsigned>(c.width));
    ASSERT_EQ(out.image.height(), static_cast<unsigned>(c.height));
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const Position p = c.from(x, y);
            const Rgb expected = sourceAt(p.x, p.y);
            const Rgb got = fixtures::colourAt(out.image, x, y);
            if (got != expected && ++wrong <= 3) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describe(got) << ", expected "
                              << describe(expected) << " from (" << p.x << "," << p.y << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

constexpr int W = pageWidth;
constexpr int H = pageHeight;

// Where each output pixel comes from, for the ways the page can end up.
Position unchanged(int x, int y)
{
    return {x, y};
}
// FreeImage turns anticlockwise: the top-right corner comes to the top-left.
Position quarterTurned(int x, int y)
{
    return {W - 1 - y, x};
}
Position halfTurned(int x, int y)
{
    return {W - 1 - x, H - 1 - y};
}
Position threeQuartersTurned(int x, int y)
{
    return {y, H - 1 - x};
}
Position mirroredLeftRight(int x, int y)
{
    return {W - 1 - x, y};
}
Position mirroredTopBottom(int x, int y)
{
    return {x, H - 1 - y};
}
// The turn comes before the flip.
Position quarterTurnedThenMirroredTopBottom(int x, int y)
{
    return quarterTurned(x, W - 1 - y);
}

INSTANTIATE_TEST_SUITE_P(
    Console, Geometry,
    testing::Values(
        GeometryCase{"NoOption", {}, W, H, unchanged},
        GeometryCase{"Rotation90", {"--rotation=90"}, H, W, quarterTurned},
        GeometryCase{"Rotation180", {"--rotation=180"}, W, H, halfTurned},
        GeometryCase{"Rotation270", {"--rotation=270"}, H, W, threeQuartersTurned},
        GeometryCase{"RotationSimpleKeyword", {"--rotation-type=simple", "--rotation=90"}, H, W, quarterTurned},
        // 0 and 360 are no turn at all.
        GeometryCase{"Rotation0", {"--rotation=0"}, W, H, unchanged},
        GeometryCase{"Rotation360", {"--rotation=360"}, W, H, unchanged},
        GeometryCase{"FlipHorizontal", {"--flip-horizontal"}, W, H, mirroredLeftRight},
        GeometryCase{"FlipVertical", {"--flip-vertical"}, W, H, mirroredTopBottom},
        // Both flips are the half turn.
        GeometryCase{"FlipBoth", {"--flip-horizontal", "--flip-vertical"}, W, H, halfTurned},
        GeometryCase{
            "RotationThenFlip", {"--rotation=90", "--flip-vertical"}, H, W, quarterTurnedThenMirroredTopBottom}),
    [](const testing::TestParamInfo<GeometryCase>& info) { return std::string(info.param.name); });

// ---- Turns by other angles.

struct BackColourCase {
    const char* name;
    friend void PrintTo(const BackColourCase& c, std::ostream* os) { *os << c.name; }
    QStringList options;
    Rgb corner;
};

class SimpleRotationCorners : public OptionRun, public testing::WithParamInterface<BackColourCase> {};

TEST_P(SimpleRotationCorners, EnlargeThePageAndTakeTheBackColour)
{
    const ConvertedPage out = convert(QStringLiteral("corners"), QStringList{"--rotation=30"} + GetParam().options);
    ASSERT_TRUE(out.image);
    // The whole turned page fits: about 72 x 65 for a 60 x 40 page at 30 degrees.
    EXPECT_GT(out.image.width(), static_cast<unsigned>(pageWidth));
    EXPECT_GT(out.image.height(), static_cast<unsigned>(pageHeight));
    const auto right = static_cast<int>(out.image.width()) - 1;
    const auto bottom = static_cast<int>(out.image.height()) - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{right, 0}, std::pair{0, bottom}, std::pair{right, bottom}}) {
        EXPECT_EQ(fixtures::colourAt(out.image, x, y), GetParam().corner)
            << "corner (" << x << "," << y << ") is " << describe(fixtures::colourAt(out.image, x, y));
    }
    // The middle still shows the page.
    const Rgb middle = fixtures::colourAt(out.image, right / 2, bottom / 2);
    EXPECT_NE(middle, GetParam().corner);
}

INSTANTIATE_TEST_SUITE_P(
    Console, SimpleRotationCorners,
    testing::Values(BackColourCase{"DefaultBlack", {}, Rgb{0, 0, 0}},
                    BackColourCase{"Magenta", {"--rotation-back-color=FF00FF"}, Rgb{255, 0, 255}},
                    BackColourCase{"ChannelOrder", {"--rotation-back-color=12ab3c"}, Rgb{0x12, 0xAB, 0x3C}},
                    // A colour that is not six digits is black.
                    BackColourCase{"ShortColourIsBlack", {"--rotation-back-color=FFF"}, Rgb{0, 0, 0}}),
    [](const testing::TestParamInfo<BackColourCase>& info) { return std::string(info.param.name); });

TEST_F(OptionRun, AdvancedRotationKeepsTheSizeAndMirrorsIntoTheCorners)
{
    const ConvertedPage turned = convert(QStringLiteral("advanced"),
                                         {"--rotation-type=advanced", "--rotation=30", "--rotation-back-color=FF00FF"});
    ASSERT_TRUE(turned.image);
    EXPECT_EQ(turned.image.width(), static_cast<unsigned>(pageWidth));
    EXPECT_EQ(turned.image.height(), static_cast<unsigned>(pageHeight));
    int changed = 0;
    const std::vector<Rgb> pixels = e2e::pixelsOf(turned.image);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), Rgb{255, 0, 255}), 0)
        << "the back colour belongs to the simple rotation";
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            changed += fixtures::colourAt(turned.image, x, y) != sourceAt(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, pageWidth * pageHeight / 2);
    // The corners show page content, not an empty background.
    EXPECT_NE(fixtures::colourAt(turned.image, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_NE(fixtures::colourAt(turned.image, pageWidth - 1, pageHeight - 1), (Rgb{0, 0, 0}));

    // A quarter turn the advanced way keeps the page's shape too.
    const ConvertedPage quarter = convert(QStringLiteral("quarter"), {"--rotation-type=advanced", "--rotation=90"});
    ASSERT_TRUE(quarter.image);
    EXPECT_EQ(quarter.image.width(), static_cast<unsigned>(pageWidth));
    EXPECT_EQ(quarter.image.height(), static_cast<unsigned>(pageHeight));
}

// ---- Sizes: the output is the page rescaled to the expected size with the expected filter.

struct ResizeCase {
    const char* name;
    friend void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.name; }
    QStringList options;
    int width, height;
    FREE_IMAGE_FILTER filter;
};

class Resize : public OptionRun, public testing::WithParamInterface<ResizeCase> {};

TEST_P(Resize, GivesThePageRescaledWithTheFilter)
{
    const ResizeCase& c = GetParam();
    const ConvertedPage out = convert(QStringLiteral("resize"), c.options);
    ASSERT_TRUE(out.image);
    ASSERT_EQ(out.image.width(), static_cast<unsigned>(c.width));
    ASSERT_EQ(out.image.height(), static_cast<unsigned>(c.height));
    const Bitmap expected = c.width == pageWidth && c.height == pageHeight
                                ? Bitmap(FreeImage_Clone(source.get()))
                                : Bitmap(FreeImage_Rescale(source.get(), c.width, c.height, c.filter));
    ASSERT_TRUE(expected);
    EXPECT_TRUE(e2e::pixelsOf(out.image) == e2e::pixelsOf(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Console, Resize,
    testing::Values(
        // Without --resize-algorithm the console resamples bicubic.
        ResizeCase{"Pixels", {"--width=30", "--height=20"}, 30, 20, FILTER_BICUBIC},
        ResizeCase{"Percent",
                   {"--width=50", "--width-unit=percent", "--height=25", "--height-unit=percent"},
                   30,
                   10,
                   FILTER_BICUBIC},
        ResizeCase{
            "PercentWidthPixelHeight", {"--width=150", "--width-unit=percent", "--height=20"}, 90, 20, FILTER_BICUBIC},
        ResizeCase{
            "PixelWidthPercentHeight", {"--width=20", "--height=150", "--height-unit=percent"}, 20, 60, FILTER_BICUBIC},
        ResizeCase{"Stretch", {"--width=30", "--height=30"}, 30, 30, FILTER_BICUBIC},
        // The wide page keeps the width and takes its height from the proportions.
        ResizeCase{"KeepAspectRatio", {"--width=30", "--height=30", "--keep-aspect-ratio"}, 30, 20, FILTER_BICUBIC},
        ResizeCase{
            "KeepAspectRatioEnlarges", {"--width=90", "--height=10", "--keep-aspect-ratio"}, 90, 60, FILTER_BICUBIC},
        ResizeCase{
            "AllImagesEnlarges", {"--resize-type=allimages", "--width=100", "--height=100"}, 100, 100, FILTER_BICUBIC},
        ResizeCase{"LargeImagesLeavesASmallerPage",
                   {"--resize-type=largeimages", "--width=100", "--height=100"},
                   pageWidth,
                   pageHeight,
                   FILTER_BICUBIC},
        ResizeCase{"LargeImagesResizesAPageLargerOneWay",
                   {"--resize-type=largeimages", "--width=100", "--height=30"},
                   100,
                   30,
                   FILTER_BICUBIC},
        ResizeCase{"Box", {"--width=45", "--height=30", "--resize-algorithm=box"}, 45, 30, FILTER_BOX},
        ResizeCase{"Bilinear", {"--width=45", "--height=30", "--resize-algorithm=bilinear"}, 45, 30, FILTER_BILINEAR},
        ResizeCase{"BSpline", {"--width=45", "--height=30", "--resize-algorithm=bspline"}, 45, 30, FILTER_BSPLINE},
        ResizeCase{"Bicubic", {"--width=45", "--height=30", "--resize-algorithm=bicubic"}, 45, 30, FILTER_BICUBIC},
        ResizeCase{
            "CatmullRom", {"--width=45", "--height=30", "--resize-algorithm=catmullrom"}, 45, 30, FILTER_CATMULLROM},
        ResizeCase{"Lanczos", {"--width=45", "--height=30", "--resize-algorithm=lanczos"}, 45, 30, FILTER_LANCZOS3}),
    [](const testing::TestParamInfo<ResizeCase>& info) { return std::string(info.param.name); });

TEST_F(OptionRun, ResizeSeesTheTurnedPage)
{
    // Turned, the page is 40 x 60 and tall, so the height setting is the one kept.
    const ConvertedPage out =
        convert(QStringLiteral("turned"), {"--rotation=90", "--width=30", "--height=30", "--keep-aspect-ratio"});
    ASSERT_TRUE(out.image);
    ASSERT_EQ(out.image.width(), 20U);
    ASSERT_EQ(out.image.height(), 30U);
    const Bitmap turned(FreeImage_Rotate(source.get(), 90, nullptr));
    const Bitmap expected(FreeImage_Rescale(turned.get(), 20, 30, FILTER_BICUBIC));
    EXPECT_TRUE(e2e::pixelsOf(out.image) == e2e::pixelsOf(expected));
}

TEST_F(OptionRun, EveryResizeAlgorithmGivesItsOwnPixels)
{
    std::set<std::vector<std::array<unsigned, 3>>> distinct;
    for (const char* algorithm : {"box", "bilinear", "bspline", "bicubic", "catmullrom", "lanczos"}) {
        const ConvertedPage out =
            convert(QString::fromLatin1(algorithm),
                    {"--width=45", "--height=30", QStringLiteral("--resize-algorithm=") + QLatin1String(algorithm)});
        std::vector<std::array<unsigned, 3>> pixels;
        for (const Rgb& pixel : e2e::pixelsOf(out.image)) {
            pixels.push_back({pixel.red, pixel.green, pixel.blue});
        }
        EXPECT_TRUE(distinct.insert(pixels).second) << algorithm << " looks like another filter";
    }
}

// ---- Colours: brightness, contrast, gamma and inversion act on every channel through one table.

struct ColourCase {
    const char* name;
    friend void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }
    QStringList options;
    double brightness, contrast, gamma;
    bool invert;
    // What the step does to a channel value, in words: checked for every channel of every pixel.
    std::function<bool(int before, int after)> rule;
};

class ColourCorrection : public OptionRun, public testing::WithParamInterface<ColourCase> {};

TEST_P(ColourCorrection, ChangesEveryChannelAsTheLibraryTableSays)
{
    const ColourCase& c = GetParam();
    const ConvertedPage out = convert(QStringLiteral("colour"), c.options);
    ASSERT_TRUE(out.image);
    ASSERT_EQ(out.image.width(), static_cast<unsigned>(pageWidth));
    ASSERT_EQ(out.image.height(), static_cast<unsigned>(pageHeight));
    std::array<BYTE, 256> table{};
    FreeImage_GetAdjustColorsLookupTable(table.data(), c.brightness, c.contrast, c.gamma, c.invert ? TRUE : FALSE);

    int changed = 0;
    int wrong = 0;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const Rgb before = sourceAt(x, y);
            const Rgb after = fixtures::colourAt(out.image, x, y);
            const std::array<std::pair<unsigned, unsigned>, 3> channels{
                {{before.red, after.red}, {before.green, after.green}, {before.blue, after.blue}}};
            for (const auto& [in, got] : channels) {
                const bool ok = got == table[in] && c.rule(static_cast<int>(in), static_cast<int>(got));
                if (!ok && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << "," << y << "): " << in << " became " << got << ", expected "
                                  << int{table[in]};
                }
                changed += in != got ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(changed, pageWidth * pageHeight) << "the option must change the page";
}

INSTANTIATE_TEST_SUITE_P(
    Console, ColourCorrection,
    testing::Values(
        ColourCase{"Brighter", {"--brightness=40"}, 40, 0, 1, false, [](int a, int b) { return b >= a; }},
        ColourCase{"Darker", {"--brightness=-40"}, -40, 0, 1, false, [](int a, int b) { return b <= a; }},
        ColourCase{"BrightnessMaximum",
                   {"--brightness=100"},
                   100,
                   0,
                   1,
                   false,
                   [](int a, int b) { return b == std::min(255, 2 * a); }},
        ColourCase{
            "BrightnessMinimumIsBlack", {"--brightness=-100"}, -100, 0, 1, false, [](int, int b) { return b == 0; }},
        ColourCase{
            "MoreContrast", {"--contrast=50"}, 0, 50, 1, false, [](int a, int b) { return a < 128 ? b <= a : b >= a; }},
        ColourCase{"LessContrast",
                   {"--contrast=-50"},
                   0,
                   -50,
                   1,
                   false,
                   [](int a, int b) { return std::abs(b - 128) <= std::abs(a - 128); }},
        ColourCase{"ContrastMaximum",
                   {"--contrast=100"},
                   0,
                   100,
                   1,
                   false,
                   [](int a, int b) { return a < 128 ? b <= a : b >= a; }},
        ColourCase{
            "ContrastMinimumIsFlatGrey", {"--contrast=-100"}, 0, -100, 1, false, [](int, int b) { return b == 128; }},
        ColourCase{"GammaAboveOneLightens", {"--gamma=2.2"}, 0, 0, 2.2, false, [](int a, int b) { return b >= a; }},
        ColourCase{"GammaBelowOneDarkens", {"--gamma=0.45"}, 0, 0, 0.45, false, [](int a, int b) { return b <= a; }},
        ColourCase{"GammaMaximum", {"--gamma=9.99"}, 0, 0, 9.99, false, [](int a, int b) { return b >= a; }},
        // Almost everything goes black; only the brightest levels keep some light.
        ColourCase{"GammaMinimum",
                   {"--gamma=0.01"},
                   0,
                   0,
                   0.01,
                   false,
                   [](int a, int b) { return b <= a && (a >= 230 || b == 0); }},
        ColourCase{"Invert", {"--invert"}, 0, 0, 1, true, [](int a, int b) { return b == 255 - a; }},
        ColourCase{"AllTogether",
                   {"--brightness=10", "--contrast=20", "--gamma=1.5", "--invert"},
                   10,
                   20,
                   1.5,
                   true,
                   [](int, int) { return true; }}),
    [](const testing::TestParamInfo<ColourCase>& info) { return std::string(info.param.name); });

// The library's own grey of a pixel, from the 8-bit grey version of the page.
Bitmap greyOf(const Bitmap& page)
{
    return Bitmap(FreeImage_ConvertToGreyscale(page.get()));
}

TEST_F(OptionRun, GreyscaleGivesTheGreyOfEachPixel)
{
    const ConvertedPage out = convert(QStringLiteral("grey"), {"--greyscale"});
    ASSERT_TRUE(out.image);
    const Bitmap grey = greyOf(source);
    ASSERT_TRUE(grey);
    int wrong = 0;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const Rgb got = fixtures::colourAt(out.image, x, y);
            const unsigned level = fixtures::colourAt(grey, x, y).red;
            if (got != Rgb{level, level, level} && ++wrong <= 3) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describe(got) << ", expected grey " << level;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // The gradient page has colour everywhere but on its diagonal middle: greyscale changes it.
    EXPECT_NE(e2e::pixelsOf(out.image), e2e::pixelsOf(source));
}

class Threshold : public OptionRun, public testing::WithParamInterface<int> {};

TEST_P(Threshold, MakesPixelsAtOrAboveTheLevelWhiteAndTheOthersBlack)
{
    const int level = GetParam();
    const ConvertedPage out = convert(QStringLiteral("threshold"), {QStringLiteral("--threshold=%1").arg(level)});
    ASSERT_TRUE(out.image);
    const Bitmap grey = greyOf(source);
    int white = 0;
    int wrong = 0;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const bool above = static_cast<int>(fixtures::colourAt(grey, x, y).red) >= level;
            const Rgb expected = above ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
            const Rgb got = fixtures::colourAt(out.image, x, y);
            white += above ? 1 : 0;
            if (got != expected && ++wrong <= 3) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describe(got) << " at level " << level;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    if (level > 0) {
        // Both colours occur, so the level really cut the page somewhere.
        EXPECT_GT(white, 0);
        EXPECT_LT(white, pageWidth * pageHeight);
    }
}

INSTANTIATE_TEST_SUITE_P(Console, Threshold, testing::Values(0, 80, 128, 170));

TEST_F(OptionRun, GreyscaleSeesTheAdjustedColoursAndThresholdTheGrey)
{
    // Each output pixel is the threshold of the grey of the inverted page.
    const ConvertedPage out = convert(QStringLiteral("chain"), {"--invert", "--greyscale", "--threshold=128"});
    ASSERT_TRUE(out.image);
    Bitmap inverted(FreeImage_Clone(source.get()));
    FreeImage_Invert(inverted.get());
    const Bitmap grey = greyOf(inverted);
    for (int y = 0; y < pageHeight; y += 3) {
        for (int x = 0; x < pageWidth; x += 3) {
            const unsigned expected = fixtures::colourAt(grey, x, y).red >= 128 ? 255 : 0;
            EXPECT_EQ(fixtures::colourAt(out.image, x, y), (Rgb{expected, expected, expected})) << x << "," << y;
        }
    }
}

} // namespace

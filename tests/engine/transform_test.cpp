#include "engine/decode/page_loader.h"
#include "engine/steps/transform.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

using fixtures::makePage;
using fixtures::makeSolidPage;
using fixtures::PageKind;
using fixtures::pixelAt;
using fixtures::Rgb;

namespace {

constexpr Rgb red{255, 0, 0};
constexpr Rgb grey{100, 100, 100};

Settings rotation(int angle, int type, const QString& backColour = QStringLiteral("00FF00"))
{
    Settings settings;
    settings.transform.doImageRotation = 1;
    settings.transform.imageRotation = angle;
    settings.transform.imageRotationType = static_cast<Choice8>(type);
    settings.transform.imageRotationBackColor = backColour;
    return settings;
}

// A grey page with one red pixel at (x, y), counted from the top-left corner.
Bitmap markedPage(int width, int height, int x, int y)
{
    Bitmap page = makeSolidPage(width, height, grey.red, grey.green, grey.blue);
    RGBQUAD mark{0, 0, 255, 0};
    FreeImage_SetPixelColor(page.get(), static_cast<unsigned>(x), static_cast<unsigned>(height - 1 - y), &mark);
    return page;
}

unsigned alphaAt(const Bitmap& page, int x, int y)
{
    RGBQUAD value{};
    FreeImage_GetPixelColor(page.get(), static_cast<unsigned>(x), page.height() - 1 - static_cast<unsigned>(y), &value);
    return value.rgbReserved;
}

// --- rotate ---------------------------------------------------------------------------------

class RotateIgnoredAngle : public ::testing::TestWithParam<int> {};

TEST_P(RotateIgnoredAngle, LeavesThePageAlone)
{
    Bitmap page = makePage(PageKind::Grey8, 40, 30);
    FIBITMAP* before = page.get();
    Bitmap result = rotate(std::move(page), rotation(GetParam(), 0));
    EXPECT_EQ(result.get(), before);
    EXPECT_EQ(result.bpp(), 8U);
}

INSTANTIATE_TEST_SUITE_P(Angles, RotateIgnoredAngle, ::testing::Values(0, 360, -90, 720));

TEST(Rotate, SwitchOffLeavesThePageAlone)
{
    Settings settings = rotation(90, 0);
    settings.transform.doImageRotation = 0;
    Bitmap page = makePage(PageKind::Rgb24, 40, 30);
    FIBITMAP* before = page.get();
    EXPECT_EQ(rotate(std::move(page), settings).get(), before);
}

TEST(Rotate, SimpleQuarterTurnSwapsTheSidesAndCarriesTheCorner)
{
    // Positive angles turn counter-clockwise: the top-left corner ends at the bottom-left.
    Bitmap result = rotate(markedPage(400, 300, 0, 0), rotation(90, 0));
    ASSERT_EQ(result.width(), 300U);
    ASSERT_EQ(result.height(), 400U);
    EXPECT_EQ(pixelAt(result, 0, 399), red);
    EXPECT_EQ(pixelAt(result, 0, 0), grey);
    EXPECT_EQ(pixelAt(result, 299, 399), grey);
}

TEST(Rotate, SimpleAtFortyFiveDegreesEnlargesTheCanvasWithTheBackground)
{
    Bitmap result = rotate(makeSolidPage(400, 300, 200, 50, 10), rotation(45, 0, QStringLiteral("0000FF")));
    // 400 cos 45 + 300 sin 45 = 495 pixels each way.
    EXPECT_NEAR(result.width(), 495, 2);
    EXPECT_NEAR(result.height(), 495, 2);
    const int right = static_cast<int>(result.width()) - 1;
    const int bottom = static_cast<int>(result.height()) - 1;
    for (auto [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}}) {
        EXPECT_EQ(pixelAt(result, x, y), (Rgb{0, 0, 255})) << x << "," << y;
    }
    EXPECT_EQ(pixelAt(result, right / 2, bottom / 2), (Rgb{200, 50, 10}));
}

TEST(Rotate, BackgroundOfAnyOtherLengthIsBlack)
{
    Bitmap result = rotate(makeSolidPage(40, 30, 200, 50, 10), rotation(45, 0, QStringLiteral("FFF")));
    EXPECT_EQ(pixelAt(result, 0, 0), (Rgb{0, 0, 0}));
}

TEST(Rotate, AdvancedKeepsTheSizeAndMirrorsIntoTheCorners)
{
    Bitmap result = rotate(makeSolidPage(400, 300, 200, 50, 10), rotation(45, 1, QStringLiteral("0000FF")));
    ASSERT_EQ(result.width(), 400U);
    ASSERT_EQ(result.height(), 300U);
    // Uncovered corners repeat the picture: neither the background colour nor black.
    EXPECT_EQ(pixelAt(result, 0, 0), (Rgb{200, 50, 10}));
    EXPECT_EQ(pixelAt(result, 399, 299), (Rgb{200, 50, 10}));
}

TEST(Rotate, AdvancedTurnsAboutTheCentre)
{
    // A half turn about the centre carries the mark to its point reflection (30, 25), give or
    // take FreeImage's half-pixel convention; about a corner it would leave the page.
    Bitmap result = rotate(markedPage(41, 31, 10, 5), rotation(180, 1));
    ASSERT_EQ(result.width(), 41U);
    int found = 0;
    for (int y = 24; y <= 26; ++y) {
        for (int x = 29; x <= 31; ++x) {
            found += pixelAt(result, x, y) == red ? 1 : 0;
        }
    }
    EXPECT_EQ(found, 1);
}

struct DepthCase {
    PageKind kind;
    int type;
    unsigned expectedBpp;
};

class RotateDepth : public ::testing::TestWithParam<DepthCase> {};

// Pages are turned as 24- or 32-bit bitmaps; a page with alpha (32 bits, 16-bit RGBA) keeps it.
TEST_P(RotateDepth, ConvertsShallowAndDeepPagesTo24BitsOr32WithAlpha)
{
    const DepthCase& c = GetParam();
    Bitmap result = rotate(makePage(c.kind, 40, 30), rotation(90, c.type));
    ASSERT_FALSE(result.empty());
    EXPECT_EQ(result.bpp(), c.expectedBpp);
    EXPECT_EQ(FreeImage_GetImageType(result.get()), FIT_BITMAP);
}

INSTANTIATE_TEST_SUITE_P(Depths, RotateDepth,
                         ::testing::Values(DepthCase{PageKind::Bilevel, 0, 24}, DepthCase{PageKind::Grey8, 0, 24},
                                           DepthCase{PageKind::Grey16, 0, 24}, DepthCase{PageKind::Rgb48, 0, 24},
                                           DepthCase{PageKind::RgbFloat, 0, 24}, DepthCase{PageKind::Rgba64, 1, 32},
                                           DepthCase{PageKind::Rgba64, 0, 32}, DepthCase{PageKind::Rgb24, 0, 24},
                                           DepthCase{PageKind::Rgba32, 0, 32}, DepthCase{PageKind::Grey8, 1, 24},
                                           DepthCase{PageKind::Rgba32, 1, 32},
                                           // An unknown rotation type keeps the converted page.
                                           DepthCase{PageKind::Grey8, 7, 24}));

TEST(Rotate, ThirtyTwoBitPageKeepsItsAlpha)
{
    // The fixture's alpha is 128 + row % 128; after a quarter turn row y of the source is column y.
    Bitmap result = rotate(makePage(PageKind::Rgba32, 40, 30), rotation(90, 0));
    ASSERT_EQ(result.bpp(), 32U);
    EXPECT_EQ(alphaAt(result, 5, 20), 128U + 5U);
    EXPECT_EQ(alphaAt(result, 17, 3), 128U + 17U);
}

TEST(Rotate, UnknownTypeLeavesTheSizeAlone)
{
    Bitmap result = rotate(makePage(PageKind::Rgb24, 40, 30), rotation(90, 2));
    EXPECT_EQ(result.width(), 40U);
    EXPECT_EQ(result.height(), 30U);
}

// --- resize ---------------------------------------------------------------------------------

struct ResizeCase {
    const char* name;
    int width, height;            // page
    int targetWidth, widthUnit;   // Transform/Image Width and its unit
    int targetHeight, heightUnit; // Transform/Image Height and its unit
    bool keepAspect;
    int resizeType; // 0 All Images, 1 Large Images
    int expectedWidth, expectedHeight;
};

Settings resizing(const ResizeCase& c)
{
    Settings settings;
    TransformSettings& t = settings.transform;
    t.doImageResize = 1;
    t.imageWidth = c.targetWidth;
    t.imageWidthUnit = static_cast<Choice8>(c.widthUnit);
    t.imageHeight = c.targetHeight;
    t.imageHeightUnit = static_cast<Choice8>(c.heightUnit);
    t.keepAspectRatio = c.keepAspect ? 1 : 0;
    t.imageResizeType = static_cast<Choice8>(c.resizeType);
    t.imageResizeAlgorithm = 3;
    return settings;
}

class ResizeTargets : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeTargets, ComputesTheTargetSize)
{
    const ResizeCase& c = GetParam();
    EXPECT_EQ(resizeTarget(c.width, c.height, resizing(c)), (ResizeTarget{c.expectedWidth, c.expectedHeight}));
}

INSTANTIATE_TEST_SUITE_P(Cases, ResizeTargets,
                         ::testing::Values(
                             // Percent rounds ties to the even integer: 400.5 -> 400, 300.5 -> 300, 401.5 -> 402.
                             ResizeCase{"HalfOfOdd", 801, 601, 50, 1, 50, 1, false, 0, 400, 300},
                             ResizeCase{"HalfOfOddUp", 803, 601, 50, 1, 50, 1, false, 0, 402, 300},
                             ResizeCase{"PixelsAndPercent", 1000, 500, 300, 0, 10, 1, false, 0, 300, 50},
                             ResizeCase{"KeepLandscape", 1600, 1200, 800, 0, 800, 0, true, 0, 800, 600},
                             ResizeCase{"KeepPortrait", 1200, 1600, 800, 0, 800, 0, true, 0, 600, 800},
                             ResizeCase{"KeepSquare", 1000, 1000, 800, 0, 800, 0, true, 0, 800, 800},
                             // Halves of the recomputed side round away from zero: 5 / (200 / 100) = 2.5 -> 3.
                             ResizeCase{"KeepRoundsHalfUp", 200, 100, 5, 0, 99, 0, true, 0, 5, 3},
                             ResizeCase{"KeepRoundsHalfUpPortrait", 100, 200, 99, 0, 5, 0, true, 0, 3, 5},
                             ResizeCase{"KeepWithPercentWidth", 1600, 1200, 50, 1, 0, 0, true, 0, 1600, 1200},
                             // A sliver keeps one pixel instead of collapsing to nothing.
                             ResizeCase{"KeepSliver", 1000, 1, 10, 0, 10, 0, true, 0, 10, 1},
                             ResizeCase{"LargeOnlySmallerBothWays", 640, 480, 800, 0, 600, 0, false, 1, 640, 480},
                             ResizeCase{"LargeOnlyTallerPage", 640, 900, 800, 0, 600, 0, false, 1, 800, 600},
                             ResizeCase{"LargeOnlyEqualWidth", 800, 480, 800, 0, 600, 0, false, 1, 800, 600},
                             ResizeCase{"AllImagesEnlarges", 640, 480, 800, 0, 600, 0, false, 0, 800, 600},
                             ResizeCase{"ZeroTargetIgnored", 640, 480, 0, 0, 600, 0, false, 0, 640, 480},
                             ResizeCase{"TinyPercentIgnored", 100, 100, 0, 1, 50, 1, false, 0, 100, 100},
                             ResizeCase{"UnknownUnitIgnored", 640, 480, 800, 2, 600, 0, false, 0, 640, 480},
                             ResizeCase{"EqualSizeUntouched", 640, 480, 640, 0, 480, 0, true, 0, 640, 480}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Resize, SwitchOffOrEqualSizeReturnsTheSamePage)
{
    Settings settings = resizing(ResizeCase{"", 0, 0, 40, 0, 30, 0, false, 0, 0, 0});
    Bitmap page = makePage(PageKind::Rgb24, 40, 30);
    FIBITMAP* before = page.get();
    page = resize(std::move(page), 40, 30, settings);
    EXPECT_EQ(page.get(), before);
    settings.transform.doImageResize = 0;
    settings.transform.imageWidth = 20;
    page = resize(std::move(page), 40, 30, settings);
    EXPECT_EQ(page.get(), before);
}

TEST(Resize, HalvingKeepsWhereColoursAre)
{
    // Left half red, right half blue: after halving, the sides keep their colours.
    Bitmap page = makeSolidPage(80, 40, 255, 0, 0);
    RGBQUAD blue{255, 0, 0, 0};
    for (unsigned y = 0; y < 40; ++y) {
        for (unsigned x = 40; x < 80; ++x) {
            FreeImage_SetPixelColor(page.get(), x, y, &blue);
        }
    }
    Settings settings = resizing(ResizeCase{"", 0, 0, 50, 1, 50, 1, false, 0, 0, 0});
    settings.transform.imageResizeAlgorithm = 0;
    Bitmap result = resize(std::move(page), 80, 40, settings);
    ASSERT_EQ(result.width(), 40U);
    ASSERT_EQ(result.height(), 20U);
    EXPECT_EQ(pixelAt(result, 2, 10), red);
    EXPECT_EQ(pixelAt(result, 37, 10), (Rgb{0, 0, 255}));
}

TEST(Resize, KeepAspectRatioScalesTheRealPage)
{
    Settings settings = resizing(ResizeCase{"", 0, 0, 80, 0, 80, 0, true, 0, 0, 0});
    Bitmap result = resize(makePage(PageKind::Rgb24, 120, 160), 120, 160, settings);
    EXPECT_EQ(result.width(), 60U);
    EXPECT_EQ(result.height(), 80U);
}

TEST(Resize, TargetBeyondThePageLimitFailsThePage)
{
    Settings settings = resizing(ResizeCase{"", 0, 0, 70000, 0, 70000, 0, false, 0, 0, 0});
    EXPECT_TRUE(resize(makePage(PageKind::Rgb24, 4, 4), 4, 4, settings).empty());
}

TEST(Resize, FilterTable)
{
    const std::vector<std::pair<int, FREE_IMAGE_FILTER>> table{
        {0, FILTER_BOX},        {1, FILTER_BILINEAR}, {2, FILTER_BSPLINE}, {3, FILTER_BICUBIC},
        {4, FILTER_CATMULLROM}, {5, FILTER_LANCZOS3}, {6, FILTER_BICUBIC}, {-1, FILTER_BICUBIC}};
    for (const auto& [algorithm, filter] : table) {
        EXPECT_EQ(resizeFilter(algorithm), filter) << algorithm;
    }
}

// --- flip -----------------------------------------------------------------------------------

struct FlipCase {
    bool horizontal, vertical;
    int expectedX, expectedY; // where the mark at (2, 1) of a 10 x 6 page ends up
};

class Flip : public ::testing::TestWithParam<FlipCase> {};

TEST_P(Flip, MovesTheMarkToTheMirroredPlace)
{
    const FlipCase& c = GetParam();
    Settings settings;
    settings.transform.doImageFlipHorizontal = c.horizontal ? 1 : 0;
    settings.transform.doImageFlipVertical = c.vertical ? 1 : 0;
    Bitmap page = markedPage(10, 6, 2, 1);
    FIBITMAP* before = page.get();
    flip(page, settings);
    EXPECT_EQ(page.get(), before);
    EXPECT_EQ(pixelAt(page, c.expectedX, c.expectedY), red);
}

INSTANTIATE_TEST_SUITE_P(Directions, Flip,
                         ::testing::Values(FlipCase{false, false, 2, 1}, FlipCase{true, false, 7, 1},
                                           FlipCase{false, true, 2, 4}, FlipCase{true, true, 7, 4}));

TEST(Transforms, EmptyPageStaysEmpty)
{
    Settings settings = rotation(90, 0);
    settings.transform.doImageResize = 1;
    settings.transform.imageWidth = 10;
    settings.transform.imageHeight = 10;
    settings.transform.doImageFlipHorizontal = 1;
    EXPECT_TRUE(rotate(Bitmap(), settings).empty());
    EXPECT_TRUE(resize(Bitmap(), 0, 0, settings).empty());
    Bitmap empty;
    flip(empty, settings);
    EXPECT_TRUE(empty.empty());
}

} // namespace

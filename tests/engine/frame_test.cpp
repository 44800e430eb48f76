#include "engine/steps/frame.h"
#include "support/gui_app.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace {

using fixtures::pixelAt;
using fixtures::Rgb;

constexpr Rgb red{255, 0, 0};
constexpr Rgb green{0, 255, 0};
constexpr Rgb blue{0, 0, 255};
constexpr Rgb yellow{255, 255, 0};
constexpr Rgb grey{128, 128, 128};

class FrameTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }

    void SetUp() override
    {
        resetToDefaults(settings, true);
        settings.frame.doFrame = 1;
    }

    void setWidths(int left, int right, int top, int bottom)
    {
        settings.frame.solidLeft = left;
        settings.frame.solidRight = right;
        settings.frame.solidTop = top;
        settings.frame.solidBottom = bottom;
    }

    Settings settings;
};

// Left red, right green, top blue, bottom yellow.
void fourColours(FrameSettings& frame)
{
    frame.solidLeftColor = "FF0000";
    frame.solidRightColor = "00FF00";
    frame.solidTopColor = "0000FF";
    frame.solidBottomColor = "FFFF00";
}

TEST_F(FrameTest, CornersSplitOnTheirDiagonalsBetweenTheAdjoiningBands)
{
    setWidths(10, 10, 10, 10);
    fourColours(settings.frame);
    const Bitmap framed = drawFrame(fixtures::makeSolidPage(200, 100, 128, 128, 128), 200, 100, settings);
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed.width(), 200U);
    EXPECT_EQ(framed.height(), 100U);
    EXPECT_EQ(framed.bpp(), 24U);

    const int w = 200;
    const int h = 100;
    struct Probe {
        int x, y;
        Rgb colour;
    };
    // In each corner square, a pixel on either side of the diagonal; then the middle of each band and
    // the picture just inside the frame.
    const Probe probes[] = {
        {6, 2, blue},          {2, 6, red},           {w - 7, 2, blue},       {w - 3, 6, green},   {2, h - 7, red},
        {6, h - 3, yellow},    {w - 3, h - 7, green}, {w - 7, h - 3, yellow}, {100, 0, blue},      {100, 9, blue},
        {0, 50, red},          {9, 50, red},          {w - 1, 50, green},     {w - 10, 50, green}, {100, h - 1, yellow},
        {100, h - 10, yellow}, {10, 10, grey},        {w - 11, h - 11, grey}, {100, 50, grey},
    };
    for (const Probe& probe : probes) {
        EXPECT_EQ(pixelAt(framed, probe.x, probe.y), probe.colour) << probe.x << "," << probe.y;
    }

    // Every pixel of a corner square belongs to one of its two bands; the diagonal has no gap.
    const auto cornerSquare = [&](int x0, int y0, Rgb a, Rgb b) {
        for (int y = y0; y < y0 + 10; ++y) {
            for (int x = x0; x < x0 + 10; ++x) {
                const Rgb pixel = pixelAt(framed, x, y);
                EXPECT_TRUE(pixel == a || pixel == b) << x << "," << y;
            }
        }
    };
    cornerSquare(0, 0, blue, red);
    cornerSquare(w - 10, 0, blue, green);
    cornerSquare(0, h - 10, red, yellow);
    cornerSquare(w - 10, h - 10, green, yellow);
}

struct OpacityCase {
    int opacity;
    int expectedRed; // black frame over a page of red 200
};

class FrameOpacityTest : public FrameTest, public ::testing::WithParamInterface<OpacityCase> {};

TEST_P(FrameOpacityTest, OpacityBlendsTheFrameWithThePicture)
{
    setWidths(5, 5, 5, 5);
    settings.frame.solidOpacity = GetParam().opacity;
    const Bitmap framed = drawFrame(fixtures::makeSolidPage(40, 30, 200, 0, 0), 40, 30, settings);
    ASSERT_TRUE(framed);
    for (const auto& [x, y] : {std::pair{2, 15}, std::pair{20, 2}, std::pair{0, 0}, std::pair{39, 29}}) {
        EXPECT_NEAR(static_cast<int>(pixelAt(framed, x, y).red), GetParam().expectedRed, 2) << x << "," << y;
    }
    EXPECT_EQ(pixelAt(framed, 20, 15), (Rgb{200, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Opacities, FrameOpacityTest,
                         ::testing::Values(OpacityCase{255, 0}, OpacityCase{128, 100}, OpacityCase{1, 199}));

TEST_F(FrameTest, ZeroLeftWidthLeavesSquareEndsAtTheLeftEdge)
{
    setWidths(0, 5, 5, 5);
    fourColours(settings.frame);
    const Bitmap framed = drawFrame(fixtures::makeSolidPage(60, 40, 128, 128, 128), 60, 40, settings);
    ASSERT_TRUE(framed);
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(pixelAt(framed, 0, y), blue) << y;
        EXPECT_EQ(pixelAt(framed, 0, 39 - y), yellow) << y;
    }
    for (int y = 5; y < 35; ++y) {
        EXPECT_EQ(pixelAt(framed, 0, y), grey) << y;
    }
    EXPECT_EQ(pixelAt(framed, 57, 20), green);
}

struct DepthCase {
    fixtures::PageKind kind;
    int doFrame;
    unsigned expectedBpp;
};

class FrameDepthTest : public FrameTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(FrameDepthTest, FrameOnMakesThePage24BitEvenWithoutBands)
{
    settings.frame.doFrame = GetParam().doFrame;
    setWidths(0, 0, 0, 0);
    Bitmap page = fixtures::makePage(GetParam().kind, 30, 20);
    const Bitmap result = drawFrame(std::move(page), 30, 20, settings);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), GetParam().expectedBpp);
    EXPECT_EQ(result.width(), 30U);
    EXPECT_EQ(result.height(), 20U);
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameDepthTest,
                         ::testing::Values(DepthCase{fixtures::PageKind::Grey8, 1, 24},
                                           DepthCase{fixtures::PageKind::Rgba32, 1, 24},
                                           DepthCase{fixtures::PageKind::Bilevel, 1, 24},
                                           DepthCase{fixtures::PageKind::Grey8, 0, 8},
                                           DepthCase{fixtures::PageKind::Rgba32, 0, 32}));

TEST_F(FrameTest, ZeroWidthsLeaveThePictureAsItWas)
{
    setWidths(0, 0, 0, 0);
    const Bitmap page = fixtures::makePage(fixtures::PageKind::Rgb24, 30, 20);
    const Bitmap framed = drawFrame(Bitmap(FreeImage_Clone(page.get())), 30, 20, settings);
    ASSERT_TRUE(framed);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(pixelAt(framed, x, y), pixelAt(page, x, y)) << x << "," << y;
        }
    }
}

TEST_F(FrameTest, WidthsLargerThanThePageAreUsedUnchecked)
{
    fourColours(settings.frame);
    for (const int width : {150, INT_MAX, -150, INT_MIN}) {
        setWidths(width, width, width, width);
        const Bitmap framed = drawFrame(fixtures::makeSolidPage(100, 50, 128, 128, 128), 100, 50, settings);
        ASSERT_TRUE(framed) << width;
        EXPECT_EQ(framed.width(), 100U);
        EXPECT_EQ(framed.height(), 50U);
        if (width > 0) {
            EXPECT_NE(pixelAt(framed, 50, 25), grey) << width;
        }
    }
}

} // namespace

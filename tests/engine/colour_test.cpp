#include "engine/steps/colour.h"
#include "support/pixel_probe.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

using fixtures::colourAt;
using fixtures::makePage;
using fixtures::makeSolidPage;
using fixtures::PageKind;
using fixtures::pixelAt;
using fixtures::Rgb;

namespace {

Settings correction(int brightness, int contrast, float gamma, bool invert)
{
    Settings settings;
    AdjustmentSettings& a = settings.adjustment;
    a.doImageColorCorrection = 1;
    a.imageBrightness = brightness;
    a.imageContrast = contrast;
    a.imageGamma = gamma;
    a.imageInvert = invert ? 1 : 0;
    return settings;
}

TEST(AdjustColours, SwitchOffChangesNothing)
{
    // A hand-edited configuration may leave brightness set with the switch off.
    Settings settings = correction(20, 0, 1.0F, true);
    settings.adjustment.doImageColorCorrection = 0;
    Bitmap page = makeSolidPage(8, 8, 10, 100, 200);
    FIBITMAP* before = page.get();
    Bitmap result = adjustColours(std::move(page), settings);
    EXPECT_EQ(result.get(), before);
    EXPECT_EQ(pixelAt(result, 3, 3), (Rgb{10, 100, 200}));
}

TEST(AdjustColours, InvertAloneInvertsEveryChannel)
{
    Bitmap result = adjustColours(makeSolidPage(8, 8, 10, 100, 200), correction(0, 0, 1.0F, true));
    EXPECT_EQ(result.bpp(), 24U);
    EXPECT_EQ(pixelAt(result, 3, 3), (Rgb{245, 155, 55}));
}

TEST(AdjustColours, NeutralValuesKeepThePixels)
{
    Bitmap result = adjustColours(makeSolidPage(8, 8, 10, 100, 200), correction(0, 0, 1.0F, false));
    EXPECT_EQ(pixelAt(result, 3, 3), (Rgb{10, 100, 200}));
}

struct BrightnessCase {
    int brightness;
    bool brighter;
};

class Brightness : public ::testing::TestWithParam<BrightnessCase> {};

TEST_P(Brightness, MovesEveryChannelTheSameWay)
{
    const BrightnessCase& c = GetParam();
    const Rgb before{60, 120, 180};
    Bitmap result = adjustColours(makeSolidPage(8, 8, before.red, before.green, before.blue),
                                  correction(c.brightness, 0, 1.0F, false));
    const Rgb after = pixelAt(result, 4, 4);
    if (c.brighter) {
        EXPECT_GT(after.red, before.red);
        EXPECT_GT(after.green, before.green);
        EXPECT_GT(after.blue, before.blue);
    } else {
        EXPECT_LT(after.red, before.red);
        EXPECT_LT(after.green, before.green);
        EXPECT_LT(after.blue, before.blue);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Brightness,
                         ::testing::Values(BrightnessCase{30, true}, BrightnessCase{-30, false},
                                           BrightnessCase{100, true}, BrightnessCase{-100, false}));

TEST(AdjustColours, BilevelPageContinuesAs24Bits)
{
    // The fixture's bottom-right half is white; brightness -30 darkens it.
    Bitmap result = adjustColours(makePage(PageKind::Bilevel, 40, 30), correction(-30, 0, 1.0F, false));
    ASSERT_EQ(result.bpp(), 24U);
    const Rgb white = pixelAt(result, 39, 29);
    EXPECT_LT(white.red, 255U);
    EXPECT_EQ(white.red, white.green);
    EXPECT_EQ(pixelAt(result, 1, 1), (Rgb{0, 0, 0}));
}

TEST(AdjustColours, PalettePageStaysEightBits)
{
    Bitmap result = adjustColours(makePage(PageKind::Grey8, 40, 30), correction(0, 0, 1.0F, true));
    ASSERT_EQ(result.bpp(), 8U);
    // The fixture's top-left marker is white; inverted it is black.
    EXPECT_EQ(colourAt(result, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(colourAt(result, 39, 29).red, 255U - colourAt(makePage(PageKind::Grey8, 40, 30), 39, 29).red);
}

TEST(AdjustColours, DeepPageIsConvertedTo24Bits)
{
    Bitmap result = adjustColours(makePage(PageKind::Rgb48, 40, 30), correction(0, 0, 1.0F, true));
    EXPECT_EQ(result.bpp(), 24U);
}

TEST(AdjustColours, GammaAboveOneBrightensMidTones)
{
    Bitmap result = adjustColours(makeSolidPage(8, 8, 128, 128, 128), correction(0, 0, 2.0F, false));
    EXPECT_GT(pixelAt(result, 1, 1).red, 128U);
}

TEST(ToGreyscale, GivesAnEightBitGreyPage)
{
    Settings settings;
    settings.adjustment.doImageGreyscale = 1;
    Bitmap result = toGreyscale(makeSolidPage(8, 8, 255, 0, 0), settings);
    ASSERT_EQ(result.bpp(), 8U);
    EXPECT_EQ(FreeImage_GetColorType(result.get()), FIC_MINISBLACK);
    const Rgb pixel = colourAt(result, 1, 1);
    EXPECT_EQ(pixel.red, pixel.blue);
    EXPECT_GT(pixel.red, 0U);
    EXPECT_LT(pixel.red, 255U);
}

TEST(ApplyThreshold, SplitsAtTheLevel)
{
    Settings settings;
    settings.adjustment.doImageThreshold = 1;
    settings.adjustment.imageThreshold = 128;
    Bitmap page = makeSolidPage(8, 2, 120, 120, 120);
    RGBQUAD bright{136, 136, 136, 0};
    for (unsigned x = 4; x < 8; ++x) {
        FreeImage_SetPixelColor(page.get(), x, 0, &bright);
        FreeImage_SetPixelColor(page.get(), x, 1, &bright);
    }
    Bitmap result = applyThreshold(std::move(page), settings);
    ASSERT_EQ(result.bpp(), 1U);
    EXPECT_EQ(colourAt(result, 3, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(colourAt(result, 4, 0), (Rgb{255, 255, 255}));
}

TEST(ColourSteps, GreyscaleThenThresholdGivesOneBitPerPixel)
{
    Settings settings;
    settings.adjustment.doImageGreyscale = 1;
    settings.adjustment.doImageThreshold = 1;
    settings.adjustment.imageThreshold = 128;
    Bitmap result = applyThreshold(toGreyscale(makePage(PageKind::Rgb24, 40, 30), settings), settings);
    ASSERT_EQ(result.bpp(), 1U);
    EXPECT_EQ(result.width(), 40U);
    // The fixture's top-left marker is pure red, dark once grey; its neighbour is nearly pure
    // green, light once grey.
    EXPECT_EQ(colourAt(result, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(colourAt(result, 1, 0), (Rgb{255, 255, 255}));
}

TEST(ColourSteps, SwitchesOffAndEmptyPagesPassThrough)
{
    Settings off;
    Bitmap page = makePage(PageKind::Rgb24, 10, 10);
    FIBITMAP* before = page.get();
    page = applyThreshold(toGreyscale(adjustColours(std::move(page), off), off), off);
    EXPECT_EQ(page.get(), before);

    Settings on = correction(10, 10, 1.5F, true);
    on.adjustment.doImageGreyscale = 1;
    on.adjustment.doImageThreshold = 1;
    EXPECT_TRUE(adjustColours(Bitmap(), on).empty());
    EXPECT_TRUE(toGreyscale(Bitmap(), on).empty());
    EXPECT_TRUE(applyThreshold(Bitmap(), on).empty());
}

} // namespace

#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/font.h"
#include "engine/steps/draw/handover.h"
#include "engine/steps/draw/picture.h"
#include "engine/steps/draw/text.h"
#include "support/gui_app.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

using draw::Canvas;
using draw::rgba;

class DrawTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }
};

TEST_F(DrawTest, CanvasCreationFailsForEmptySizesAndFillsOtherwise)
{
    EXPECT_TRUE(Canvas::create(0, 10).isNull());
    EXPECT_TRUE(Canvas::create(10, -1).isNull());
    const Canvas transparent = Canvas::create(3, 2);
    ASSERT_FALSE(transparent.isNull());
    EXPECT_EQ(transparent.pixel(2, 1), rgba(0, 0, 0, 0));
    const Canvas black = Canvas::create(3, 2, rgba(0, 0, 0, 255));
    EXPECT_EQ(black.pixel(0, 0), rgba(0, 0, 0, 255));
}

TEST_F(DrawTest, RectanglesAndPolygonsCoverExactlyTheirPixels)
{
    Canvas canvas = Canvas::create(20, 20);
    canvas.fillRect(2, 3, 6, 5, rgba(255, 0, 0, 255)); // x 2..5, y 3..4
    EXPECT_EQ(canvas.pixel(2, 3), rgba(255, 0, 0, 255));
    EXPECT_EQ(canvas.pixel(5, 4), rgba(255, 0, 0, 255));
    EXPECT_EQ(canvas.pixel(6, 4), 0U);
    EXPECT_EQ(canvas.pixel(5, 5), 0U);
    EXPECT_EQ(canvas.pixel(1, 3), 0U);

    // Corners in reverse order describe the same rectangle.
    canvas.fillRect(12, 12, 10, 10, rgba(0, 255, 0, 255));
    EXPECT_EQ(canvas.pixel(10, 10), rgba(0, 255, 0, 255));
    EXPECT_EQ(canvas.pixel(11, 11), rgba(0, 255, 0, 255));
    EXPECT_EQ(canvas.pixel(12, 12), 0U);

    // A right triangle below the diagonal of the square (0,10)-(10,20).
    const std::array<QPoint, 3> triangle{QPoint(0, 10), QPoint(0, 20), QPoint(10, 20)};
    Canvas shapes = Canvas::create(20, 20);
    shapes.fillPolygon(triangle, rgba(0, 0, 255, 255));
    EXPECT_EQ(shapes.pixel(1, 18), rgba(0, 0, 255, 255)); // well inside
    EXPECT_EQ(shapes.pixel(8, 12), 0U);                   // well outside, above the slant
    EXPECT_EQ(shapes.pixel(12, 18), 0U);
    // Not anti-aliased: every pixel is either filled or untouched.
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const QRgb pixel = shapes.pixel(x, y);
            EXPECT_TRUE(pixel == 0U || pixel == rgba(0, 0, 255, 255)) << x << "," << y;
        }
    }
}

TEST_F(DrawTest, ConstantAlphaScalesTheSourceAndFilterSeesBothPixels)
{
    const Canvas source = Canvas::create(4, 4, rgba(200, 100, 50, 255));
    Canvas target = Canvas::create(4, 4);
    target.drawWithAlpha(source, 128);
    const QRgb half = target.pixel(1, 1);
    EXPECT_NEAR(qAlpha(half), 128, 1);
    EXPECT_NEAR(qRed(half), 200, 2);
    EXPECT_NEAR(qGreen(half), 100, 2);

    Canvas opaque = Canvas::create(4, 4, rgba(0, 0, 0, 255));
    opaque.drawWithAlpha(source, 128);
    EXPECT_EQ(qAlpha(opaque.pixel(0, 0)), 255);
    EXPECT_NEAR(qRed(opaque.pixel(0, 0)), 100, 2);

    Canvas partly = Canvas::create(4, 4);
    partly.fillRect(0, 0, 2, 4, rgba(255, 0, 0, 255));
    Canvas blueCanvas = Canvas::create(4, 4, rgba(0, 0, 255, 255));
    blueCanvas.draw(partly);
    EXPECT_EQ(blueCanvas.pixel(1, 1), rgba(255, 0, 0, 255));
    EXPECT_EQ(blueCanvas.pixel(2, 1), rgba(0, 0, 255, 255));

    Canvas scaled = Canvas::create(4, 4, rgba(1, 2, 3, 100));
    scaled.fillRect(0, 0, 2, 1, rgba(10, 20, 30, 255));
    scaled.multiplyAlpha(128);
    EXPECT_EQ(scaled.pixel(0, 0), rgba(10, 20, 30, 128));
    EXPECT_EQ(scaled.pixel(3, 3), rgba(1, 2, 3, 50));

    Canvas filtered = Canvas::create(4, 4, rgba(1, 2, 3, 4));
    filtered.drawFiltered(
        source, [](draw::Rgba from, draw::Rgba to) { return qRgba(qBlue(from), qRed(to), qGreen(to), qBlue(to)); });
    EXPECT_EQ(filtered.pixel(3, 3), rgba(50, 1, 2, 3));
}

TEST_F(DrawTest, SourceOverBlendsStraightAlpha)
{
    EXPECT_EQ(draw::sourceOver(rgba(10, 20, 30, 255), rgba(200, 200, 200, 255)), rgba(10, 20, 30, 255));
    EXPECT_EQ(draw::sourceOver(rgba(10, 20, 30, 255), rgba(200, 200, 200, 255), 0), rgba(200, 200, 200, 255));
    EXPECT_EQ(draw::sourceOver(rgba(10, 20, 30, 0), rgba(0, 0, 0, 0)), 0U);
    // Onto transparent, the source keeps its colour at the reduced alpha.
    EXPECT_EQ(draw::sourceOver(rgba(10, 20, 30, 255), rgba(0, 0, 0, 0), 51), rgba(10, 20, 30, 51));
    const QRgb half = draw::sourceOver(rgba(255, 255, 255, 255), rgba(0, 0, 0, 255), 128);
    EXPECT_EQ(qAlpha(half), 255);
    EXPECT_EQ(qRed(half), 128);
}

struct FontCase {
    const char* family;
    bool loads;
};

class FontTest : public DrawTest, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FontTest, FaceLoadsOnlyWhenFontconfigOffersItOrAStrongAlias)
{
    const FontCase& c = GetParam();
    EXPECT_EQ(draw::fontFamilyAvailable(c.family), c.loads);
    EXPECT_EQ(draw::loadFont(c.family, 14, {}).has_value(), c.loads);
}

INSTANTIATE_TEST_SUITE_P(Faces, FontTest,
                         ::testing::Values(FontCase{"Arial", true}, FontCase{"arial", true},
                                           FontCase{"Times New Roman", true}, FontCase{"Courier New", true},
                                           FontCase{"Liberation Sans", true}, FontCase{"NoSuchFont123", false},
                                           FontCase{"Tahoma", false}, FontCase{"", false}));

TEST_F(DrawTest, FontCarriesSizeAndStyle)
{
    const std::optional<QFont> font = draw::loadFont("Arial", 14, {true, true, true, false});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->pixelSize(), 19); // 14 points at 96 pixels per inch
    EXPECT_TRUE(font->bold());
    EXPECT_TRUE(font->italic());
    EXPECT_TRUE(font->underline());
    EXPECT_FALSE(font->strikeOut());
    EXPECT_FALSE(draw::loadFont("Arial", 0, {}));
    EXPECT_FALSE(draw::loadFont("Arial", 100000, {}));
}

TEST_F(DrawTest, PlainTextWritesExactlyTheTwoColoursOverItsCell)
{
    const std::optional<QFont> font = draw::loadFont("Arial", 14, {});
    ASSERT_TRUE(font);
    const draw::TextExtent extent = draw::plainTextExtent(*font, "Hello");
    ASSERT_GT(extent.width, 20);
    ASSERT_GT(extent.height, 10);
    EXPECT_EQ(draw::plainTextExtent(*font, "").width, 0);

    const QRgb untouched = rgba(9, 9, 9, 9);
    Canvas canvas = Canvas::create(extent.width + 20, extent.height + 20, untouched);
    const QRgb text = rgba(255, 0, 0, 200);
    const QRgb back = rgba(0, 0, 255, 7);
    draw::drawPlainText(canvas, *font, 10, 10, "Hello", text, back);
    std::set<QRgb> inside;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const bool inCell = x >= 10 && x < 10 + extent.width && y >= 10 && y < 10 + extent.height;
            if (inCell) {
                inside.insert(canvas.pixel(x, y));
            } else {
                EXPECT_EQ(canvas.pixel(x, y), untouched) << x << "," << y;
            }
        }
    }
    // No blending and no anti-aliasing: the low alpha of the background is written as it is.
    EXPECT_EQ(inside, (std::set<QRgb>{text, back}));
}

TEST_F(DrawTest, AntialiasedTextBlendsWithPartialCoverage)
{
    const std::optional<QFont> font = draw::loadFont("Arial", 20, {});
    ASSERT_TRUE(font);
    const draw::TextExtentF extent = draw::antialiasedTextExtent(*font, "Wave");
    ASSERT_GT(extent.width, 20.0);
    Canvas canvas = Canvas::create(static_cast<int>(extent.width) + 10, extent.height + 10);
    draw::drawAntialiasedText(canvas, *font, 5, 5, "Wave", rgba(255, 255, 255, 255));
    int opaque = 0;
    int partial = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const int alpha = qAlpha(canvas.pixel(x, y));
            opaque += alpha == 255 ? 1 : 0;
            partial += alpha > 0 && alpha < 255 ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 10);
    EXPECT_GT(partial, 10);
}

TEST_F(DrawTest, HandOverKeepsChannelsAndOrientation)
{
    // Filled, not painted, so the low alpha reaches the hand-over unrounded.
    Canvas canvas = Canvas::create(3, 2, rgba(10, 20, 30, 40));
    canvas.fillRect(2, 1, 3, 2, rgba(250, 128, 1, 255));
    const Bitmap bitmap = draw::toFreeImage(canvas);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap.bpp(), 32U);
    EXPECT_EQ(bitmap.width(), 3U);
    EXPECT_EQ(bitmap.height(), 2U);
    const auto pixel = [&](int x, int y) {
        RGBQUAD value{};
        FreeImage_GetPixelColor(bitmap.get(), x, 1 - y, &value);
        return std::array<int, 4>{value.rgbRed, value.rgbGreen, value.rgbBlue, value.rgbReserved};
    };
    // The top-left pixel keeps its straight (not premultiplied) colour at its low alpha.
    EXPECT_EQ(pixel(0, 0), (std::array<int, 4>{10, 20, 30, 40}));
    EXPECT_EQ(pixel(2, 1), (std::array<int, 4>{250, 128, 1, 255}));
    EXPECT_EQ(pixel(0, 1), (std::array<int, 4>{10, 20, 30, 40}));
    EXPECT_EQ(pixel(1, 0), (std::array<int, 4>{10, 20, 30, 40}));
    EXPECT_FALSE(draw::toFreeImage(Canvas()));
}

struct PictureCase {
    const char* label;
    const char* fileName;
    const char* format; // as written by Qt
    QImage::Format imageFormat;
    bool loads;
    int depth;
};

class PictureTest : public DrawTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureTest, LoadsBmpPngJpegWithDepthAndAlpha)
{
    const PictureCase& c = GetParam();
    QTemporaryDir folder;
    const QString path = folder.filePath(c.fileName);
    QImage image(8, 6, c.imageFormat);
    image.fill(Qt::red);
    if (image.hasAlphaChannel()) {
        image.setPixel(0, 0, qRgba(0, 255, 0, 100));
    }
    ASSERT_TRUE(image.save(path, c.format));

    const std::optional<draw::Picture> picture = draw::loadPicture(path);
    ASSERT_EQ(picture.has_value(), c.loads);
    if (!c.loads) {
        return;
    }
    EXPECT_EQ(picture->depth, c.depth);
    EXPECT_EQ(picture->canvas.width(), 8);
    EXPECT_EQ(picture->canvas.height(), 6);
    if (c.depth == 32) {
        EXPECT_EQ(picture->canvas.pixel(0, 0), rgba(0, 255, 0, 100));
    }
    EXPECT_EQ(qAlpha(picture->canvas.pixel(3, 3)), 255);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureTest,
    ::testing::Values(PictureCase{"PngAlpha", "a.png", "PNG", QImage::Format_ARGB32, true, 32},
                      PictureCase{"PngOpaque", "b.png", "PNG", QImage::Format_RGB32, true, 24},
                      PictureCase{"PngGrey", "c.png", "PNG", QImage::Format_Grayscale8, true, 8},
                      PictureCase{"Jpeg", "d.jpg", "JPEG", QImage::Format_RGB32, true, 24},
                      // The content decides, not the name.
                      PictureCase{"JpegNamedPng", "e.png", "JPEG", QImage::Format_RGB32, true, 24},
                      PictureCase{"Bmp", "f.bmp", "BMP", QImage::Format_RGB32, true, 24},
                      PictureCase{"NotAPictureKind", "g.ppm", "PPM", QImage::Format_RGB32, false, 0}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.label); });

TEST_F(DrawTest, MissingOrBrokenPicturesDoNotLoad)
{
    QTemporaryDir folder;
    EXPECT_FALSE(draw::loadPicture(folder.filePath("none.png")));
    QFile broken(folder.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n not really");
    broken.close();
    EXPECT_FALSE(draw::loadPicture(broken.fileName()));
    EXPECT_FALSE(draw::loadPicture(folder.path()));
}

TEST_F(DrawTest, ApplicationRunsOnTheOffscreenPlatform)
{
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
}

} // namespace

#include "engine/core/job_state.h"
#include "engine/core/run_context.h"
#include "engine/steps/band_drawing.h"
#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/handover.h"
#include "engine/steps/frame.h"
#include "engine/steps/watermark.h"
#include "support/drawing_fixtures.h"
#include "support/gui_app.h"
#include "support/tiff_fixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <ostream>

namespace {

using fixtures::PageKind;

// Odd sizes, so no band height divides the page.
constexpr int pageWidth = 61;
constexpr int pageHeight = 47;

struct DrawingCase {
    const char* name;
    std::function<void(Settings&)> apply;
    bool drawsSomething = true;
};

void PrintTo(const DrawingCase& c, std::ostream* out)
{
    *out << c.name;
}

void textMark(Settings& s, const char* text)
{
    s.watermark.doWatermark = 1;
    s.watermark.text = QString::fromLatin1(text);
    s.watermark.font = "Liberation Sans";
    s.watermark.fontSize = 11;
}

// The picture watermark, larger than the page both ways.
const QString& picturePath()
{
    static const QTemporaryDir folder;
    static const QString path = fixtures::writeMarkPicture(folder.filePath(QStringLiteral("mark.png")));
    return path;
}

void pictureMark(Settings& s)
{
    s.watermark.doWatermark = 2;
    s.watermark.image = picturePath();
}

const DrawingCase drawingCases[] = {
    {"frame_four_colours", [](Settings& s) { fixtures::useFrame(s, 3, 9, 5, 11); }},
    // The bands overlap each other, and the diagonals cross the middle of the page.
    {"frame_translucent_overlapping",
     [](Settings& s) {
         fixtures::useFrame(s, 40, 30, 20, 35);
         s.frame.solidOpacity = 100;
     }},
    // Unchecked widths: none on the left, negative on the right, far beyond the page at the top.
    {"frame_unchecked_widths",
     [](Settings& s) {
         fixtures::useFrame(s, 0, -4, 1000000000, 2);
         s.frame.solidOpacity = 200;
     }},
    {"text_antialiased_two_lines",
     [](Settings& s) {
         textMark(s, "Mark%eol%second line");
         s.watermark.textAntialiasing = 1;
         s.watermark.backOpacity = 120;
         s.watermark.textPosition = 7;
         s.watermark.textYOffset = 2;
     }},
    {"text_plain_turned_inside_frame",
     [](Settings& s) {
         fixtures::useFrame(s, 6, 4, 8, 3);
         textMark(s, "Turned");
         s.watermark.textOpacity = 170;
         s.watermark.backOpacity = 60;
         s.watermark.textBoundary = 1;
         s.watermark.textPosition = 4;
         s.watermark.textRotation = 30;
     }},
    {"picture_greyscale_framed",
     [](Settings& s) {
         fixtures::useFrame(s, 2, 2, 2, 2);
         pictureMark(s);
         s.watermark.imageGreyscale = 1;
         s.watermark.imageOpacity = 180;
         s.watermark.imagePosition = 0;
         s.watermark.imageXOffset = 4;
         s.watermark.imageYOffset = 9;
     }},
    // Larger than the page: turned, then cut to the page less the offsets, at the top right.
    {"picture_larger_than_the_page",
     [](Settings& s) {
         pictureMark(s);
         s.watermark.imageRotation = 200;
         s.watermark.imagePosition = 2;
         s.watermark.imageXOffset = 3;
         s.watermark.imageYOffset = 5;
     }},
    // Pushed off the page: no watermark, the page only made 24-bit.
    {"picture_pushed_off_the_page",
     [](Settings& s) {
         pictureMark(s);
         s.watermark.imagePosition = 0;
         s.watermark.imageXOffset = -30;
     },
     false},
};

const std::array pageKinds{PageKind::Bilevel, PageKind::Grey8, PageKind::Rgb24, PageKind::Rgba32};
const std::array bandHeights{1, 4, 13, pageHeight};

class BandDrawingTest : public ::testing::TestWithParam<DrawingCase> {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }
};

// Row y (from the top) of a bitmap.
const BYTE* rowOf(const Bitmap& bitmap, unsigned y)
{
    return FreeImage_GetScanLine(bitmap.get(), static_cast<int>(bitmap.height() - 1 - y));
}

bool sameRows(const Bitmap& a, unsigned aTop, const Bitmap& b, unsigned bTop, unsigned rows)
{
    const unsigned bytes = a.width() * a.bpp() / 8;
    for (unsigned r = 0; r < rows; ++r) {
        if (std::memcmp(rowOf(a, aTop + r), rowOf(b, bTop + r), bytes) != 0) {
            return false;
        }
    }
    return true;
}

// Bands drawn one after another, each where it lies in the page, are the page the page steps draw
// (frame, then watermark), byte for byte: on every page depth, in bands of one row, a few rows,
// and the whole page.
TEST_P(BandDrawingTest, BandsAreThePageDrawnWhole)
{
    Settings settings;
    resetToDefaults(settings, true);
    GetParam().apply(settings);
    ASSERT_FALSE(settings.watermark.doWatermark == 2 && picturePath().isEmpty());
    const WatermarkAssetsResult loaded = loadWatermarkAssets(settings);
    ASSERT_EQ(loaded.problem, WatermarkProblem::None);
    JobState job;
    job.file.inputPath = QStringLiteral("/data/scan.tif");
    RunContext context{settings, job};
    context.watermark = &loaded.assets;

    for (const PageKind kind : pageKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        const Bitmap page = fixtures::makePage(kind, pageWidth, pageHeight);
        ASSERT_TRUE(page);
        Bitmap whole = drawFrame(Bitmap(FreeImage_Clone(page.get())), pageWidth, pageHeight, settings);
        whole = drawWatermark(std::move(whole), pageWidth, pageHeight, context);
        ASSERT_TRUE(whole);
        ASSERT_EQ(whole.bpp(), 24U);
        const Bitmap plain(FreeImage_ConvertTo24Bits(page.get()));
        EXPECT_EQ(!sameRows(whole, 0, plain, 0, pageHeight), GetParam().drawsSomething);

        for (const int rows : bandHeights) {
            SCOPED_TRACE(rows);
            BandDrawing drawing(pageWidth, pageHeight, context);
            unsigned top = 0;
            for (Bitmap& read : fixtures::bandsOf(page, static_cast<unsigned>(rows))) {
                const Bitmap band = drawing.draw(std::move(read));
                ASSERT_TRUE(band);
                ASSERT_EQ(band.bpp(), 24U);
                ASSERT_TRUE(sameRows(band, 0, whole, top, band.height())) << "band from row " << top;
                top += band.height();
            }
            EXPECT_EQ(top, static_cast<unsigned>(pageHeight));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BandDrawingTest, ::testing::ValuesIn(drawingCases),
                         [](const ::testing::TestParamInfo<DrawingCase>& info) {
                             return std::string(info.param.name);
                         });

// The frame is painted only near the edges, part by part. What a page-sized canvas with every shape
// on it composites over the page must come out the same, whatever the widths.
class FrameByParts : public ::testing::TestWithParam<std::array<int, 4>> {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }
};

TEST_P(FrameByParts, IsThePagePaintedOnOneCanvas)
{
    const auto [left, right, top, bottom] = GetParam();
    constexpr int w = 301;
    constexpr int h = 203;
    Settings settings;
    resetToDefaults(settings, true);
    fixtures::useFrame(settings, left, right, top, bottom);
    settings.frame.solidOpacity = 150;
    const Bitmap page = fixtures::makePage(PageKind::Rgb24, w, h);
    const Bitmap framed = drawFrame(Bitmap(FreeImage_Clone(page.get())), w, h, settings);

    // One canvas the size of the page: the corner squares, then the four trapezoids.
    draw::Canvas canvas = draw::Canvas::create(w, h);
    const draw::Rgba l = draw::rgba(255, 0, 0, 255);
    const draw::Rgba r = draw::rgba(0, 255, 0, 255);
    const draw::Rgba t = draw::rgba(0, 0, 255, 255);
    const draw::Rgba b = draw::rgba(255, 255, 0, 255);
    const int wr = w - right;
    const int hb = h - bottom;
    canvas.fillRect(0, 0, left, top, t);
    canvas.fillRect(wr, 0, w, top, r);
    canvas.fillRect(wr, hb, w, h, b);
    canvas.fillRect(0, hb, left, h, l);
    const std::array<QPoint, 4> topBand{QPoint(0, 0), QPoint(w, 0), QPoint(wr, top), QPoint(left, top)};
    const std::array<QPoint, 4> rightBand{QPoint(w, 0), QPoint(w, h), QPoint(wr, hb), QPoint(wr, top)};
    const std::array<QPoint, 4> bottomBand{QPoint(w, h), QPoint(0, h), QPoint(left, hb), QPoint(wr, hb)};
    const std::array<QPoint, 4> leftBand{QPoint(0, h), QPoint(0, 0), QPoint(left, top), QPoint(left, hb)};
    canvas.fillPolygon(topBand, t);
    canvas.fillPolygon(rightBand, r);
    canvas.fillPolygon(bottomBand, b);
    canvas.fillPolygon(leftBand, l);
    canvas.multiplyAlpha(150);
    const Bitmap overlay = draw::toFreeImage(canvas);
    const Bitmap expected(FreeImage_Composite(overlay.get(), FALSE, nullptr, page.get()));
    ASSERT_TRUE(framed);
    ASSERT_TRUE(expected);
    EXPECT_TRUE(sameRows(framed, 0, expected, 0, h));
}

INSTANTIATE_TEST_SUITE_P(Widths, FrameByParts,
                         ::testing::Values(std::array{10, 10, 10, 10}, std::array{1, 2, 3, 4}, std::array{0, 5, 5, 5},
                                           std::array{200, 150, 120, 110}, std::array{-7, 30, 0, -3},
                                           std::array{57, 13, 90, 19}, std::array{400, 0, 0, 300}));

} // namespace

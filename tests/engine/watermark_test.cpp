#include "engine/steps/draw/text.h"
#include "engine/steps/watermark.h"
#include "support/gui_app.h"
#include "support/tiff_fixtures.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <optional>
#include <thread>

namespace {

using fixtures::pixelAt;
using fixtures::Rgb;

constexpr Rgb pageGrey{100, 100, 100};
constexpr Rgb red{255, 0, 0};
constexpr Rgb white{255, 255, 255};
constexpr Rgb blue{0, 0, 255};

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
};

void PrintTo(const Box& box, std::ostream* os)
{
    *os << "(" << box.x << "," << box.y << " " << box.width << "x" << box.height << ")";
}

// The bounding box of the pixels that satisfy `match`, or nothing.
template <typename Match> std::optional<Box> boxWhere(const Bitmap& page, Match match)
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = 0; y < static_cast<int>(page.height()); ++y) {
        for (int x = 0; x < static_cast<int>(page.width()); ++x) {
            if (match(pixelAt(page, x, y))) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return std::nullopt;
    }
    return Box{left, top, right - left + 1, bottom - top + 1};
}

std::optional<Box> boxOf(const Bitmap& page, Rgb colour)
{
    return boxWhere(page, [&](Rgb pixel) { return pixel == colour; });
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    for (int y = 0; y < static_cast<int>(a.height()); ++y) {
        for (int x = 0; x < static_cast<int>(a.width()); ++x) {
            if (!(pixelAt(a, x, y) == pixelAt(b, x, y))) {
                return false;
            }
        }
    }
    return true;
}

class WatermarkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        resetToDefaults(settings, true);
    }

    // A picture of one colour (with alpha when the format keeps it) written with Qt.
    QString writePicture(const QString& name, const char* format, int w, int h, QRgb colour)
    {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(colour);
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }

    void usePicture(const QString& path)
    {
        settings.watermark.doWatermark = 2;
        settings.watermark.image = path;
    }

    void useText(const QString& text)
    {
        settings.watermark.doWatermark = 1;
        settings.watermark.text = text;
        assets = loadWatermarkAssets(settings).assets;
        ASSERT_TRUE(assets.font);
    }

    Bitmap mark(Bitmap page, const QString& text = {})
    {
        const int w = static_cast<int>(page.width());
        const int h = static_cast<int>(page.height());
        return drawWatermarkWithText(std::move(page), w, h, settings, &assets, text);
    }

    QTemporaryDir folder;
    Settings settings;
    WatermarkAssets assets;
};

struct PlacementCase {
    const char* label;
    int pictureWidth, pictureHeight;
    int position, xOffset, yOffset;
    int boundary;                                     // 1 = inside the frame
    int frameLeft, frameRight, frameTop, frameBottom; // all 0: frame off
    std::optional<Box> expected;                      // on a 200 x 100 page; nothing: no watermark
};

void PrintTo(const PlacementCase& c, std::ostream* os)
{
    *os << c.label;
}

class WatermarkPlacementTest : public WatermarkTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(WatermarkPlacementTest, PictureLandsAtItsAnchorOrNowhere)
{
    const PlacementCase& c = GetParam();
    usePicture(writePicture("mark.png", "PNG", c.pictureWidth, c.pictureHeight, qRgb(255, 0, 0)));
    WatermarkSettings& wm = settings.watermark;
    wm.imagePosition = c.position;
    wm.imageXOffset = c.xOffset;
    wm.imageYOffset = c.yOffset;
    wm.imageBoundary = c.boundary;
    settings.frame.doFrame = c.frameLeft != 0 || c.frameRight != 0 || c.frameTop != 0 || c.frameBottom != 0 ? 1 : 0;
    settings.frame.solidLeft = c.frameLeft;
    settings.frame.solidRight = c.frameRight;
    settings.frame.solidTop = c.frameTop;
    settings.frame.solidBottom = c.frameBottom;

    const Bitmap result = mark(fixtures::makeSolidPage(200, 100, 100, 100, 100));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), 24U);
    EXPECT_EQ(boxOf(result, red), c.expected);
    if (!c.expected) {
        EXPECT_TRUE(samePixels(result, fixtures::makeSolidPage(200, 100, 100, 100, 100)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Anchors, WatermarkPlacementTest,
    ::testing::Values(
        PlacementCase{"TopLeft", 40, 20, 0, 10, 10, 0, 0, 0, 0, 0, Box{10, 10, 40, 20}},
        PlacementCase{"TopCenter", 40, 20, 1, 10, 10, 0, 0, 0, 0, 0, Box{80, 10, 40, 20}},
        PlacementCase{"TopRight", 40, 20, 2, 10, 10, 0, 0, 0, 0, 0, Box{150, 10, 40, 20}},
        PlacementCase{"MiddleLeft", 40, 20, 3, 10, 10, 0, 0, 0, 0, 0, Box{10, 40, 40, 20}},
        PlacementCase{"MiddleCenter", 40, 20, 4, 10, 10, 0, 0, 0, 0, 0, Box{80, 40, 40, 20}},
        PlacementCase{"MiddleRight", 40, 20, 5, 10, 10, 0, 0, 0, 0, 0, Box{150, 40, 40, 20}},
        PlacementCase{"BottomLeft", 40, 20, 6, 10, 10, 0, 0, 0, 0, 0, Box{10, 70, 40, 20}},
        PlacementCase{"BottomCenter", 40, 20, 7, 10, 10, 0, 0, 0, 0, 0, Box{80, 70, 40, 20}},
        PlacementCase{"BottomRight", 40, 20, 8, 10, 10, 0, 0, 0, 0, 0, Box{150, 70, 40, 20}},
        // Centring truncates: (200 - 41) / 2 = 79, (100 - 21) / 2 = 39.
        PlacementCase{"OddCentre", 41, 21, 4, 10, 10, 0, 0, 0, 0, 0, Box{79, 39, 41, 21}},
        PlacementCase{"UnknownPosition", 40, 20, 9, 10, 10, 0, 0, 0, 0, 0, Box{0, 0, 40, 20}},
        PlacementCase{"InsideFrame", 40, 20, 0, 10, 10, 1, 20, 20, 20, 20, Box{30, 30, 40, 20}},
        PlacementCase{"FrameBoundaryWithFrameOff", 40, 20, 0, 10, 10, 1, 0, 0, 0, 0, Box{10, 10, 40, 20}},
        PlacementCase{"ImageBoundaryWithFrameOn", 40, 20, 0, 10, 10, 0, 20, 20, 20, 20, Box{10, 10, 40, 20}},
        // Area 150 x 80 shifted by (20, 5): x = 150 - 40 - 10 + 20, y = 80 - 20 - 10 + 5.
        PlacementCase{"InsideUnevenFrame", 40, 20, 8, 10, 10, 1, 20, 30, 5, 15, Box{120, 55, 40, 20}},
        // Cut to 200 - 10 wide, then placed at 200 - 190 - 10 = 0.
        PlacementCase{"WiderThanPage", 250, 20, 2, 10, 10, 0, 0, 0, 0, 0, Box{0, 10, 190, 20}},
        PlacementCase{"TallerThanPage", 40, 150, 6, 10, 10, 0, 0, 0, 0, 0, Box{10, 0, 40, 90}},
        PlacementCase{"NegativeOffsetsTopLeft", 40, 20, 0, -5, -5, 0, 0, 0, 0, 0, std::nullopt},
        PlacementCase{"NegativeOffsetBottomRight", 40, 20, 8, -20, 10, 0, 0, 0, 0, 0, std::nullopt},
        PlacementCase{"OffsetBeyondThePage", 40, 20, 0, 250, 10, 0, 0, 0, 0, 0, std::nullopt},
        PlacementCase{"LargestOffsets", 40, 20, 8, INT_MAX, INT_MAX, 0, 0, 0, 0, 0, std::nullopt},
        PlacementCase{"SmallestOffsets", 40, 20, 8, INT_MIN, INT_MIN, 0, 0, 0, 0, 0, std::nullopt},
        PlacementCase{"ExtremeFrame", 40, 20, 8, 10, 10, 1, INT_MAX, INT_MAX, INT_MIN, INT_MIN, std::nullopt}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.label); });

TEST_F(WatermarkTest, RotationTurnsTheBoxAndLeavesItsCornersTransparent)
{
    usePicture(writePicture("bar.png", "PNG", 200, 50, qRgb(255, 0, 0)));
    settings.watermark.imagePosition = 0;
    settings.watermark.imageXOffset = 0;
    settings.watermark.imageYOffset = 0;
    settings.watermark.imageRotation = 90;
    const Bitmap turned = mark(fixtures::makeSolidPage(300, 300, 100, 100, 100));
    EXPECT_EQ(boxOf(turned, red), (Box{0, 0, 50, 200}));

    settings.watermark.imageRotation = 45;
    const Bitmap slanted = mark(fixtures::makeSolidPage(300, 300, 100, 100, 100));
    const std::optional<Box> box = boxOf(slanted, red);
    ASSERT_TRUE(box);
    EXPECT_NEAR(box->width, 177, 3); // (200 + 50) / sqrt(2)
    EXPECT_EQ(pixelAt(slanted, 1, 1), pageGrey);
    EXPECT_EQ(pixelAt(slanted, box->width / 2, box->height / 2), red);

    settings.watermark.imageRotation = 360; // outside 1..359: not turned
    EXPECT_EQ(boxOf(mark(fixtures::makeSolidPage(300, 300, 100, 100, 100)), red), (Box{0, 0, 200, 50}));
}

TEST_F(WatermarkTest, TransparentPartsOfAPngLetThePageThrough)
{
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            image.setPixel(x, y, qRgba(255, 0, 0, 255));
        }
    }
    const QString path = folder.filePath("half.png");
    ASSERT_TRUE(image.save(path, "PNG"));
    usePicture(path);
    settings.watermark.imagePosition = 0;
    const Bitmap result = mark(fixtures::makeSolidPage(100, 50, 100, 100, 100));
    EXPECT_EQ(boxOf(result, red), (Box{10, 10, 20, 20}));
    EXPECT_EQ(pixelAt(result, 40, 20), pageGrey); // transparent part of the picture
    EXPECT_EQ(pixelAt(result, 60, 20), pageGrey); // beside the picture

    // With the picture's opacity halved, its opaque half lets half of the page through.
    settings.watermark.imageOpacity = 128;
    const Rgb blended = pixelAt(mark(fixtures::makeSolidPage(100, 50, 100, 100, 100)), 15, 15);
    EXPECT_NEAR(static_cast<int>(blended.red), 178, 3);
    EXPECT_NEAR(static_cast<int>(blended.green), 50, 3);
}

TEST_F(WatermarkTest, JpegPictureStartsOnOpaqueBlack)
{
    usePicture(writePicture("solid.jpg", "JPEG", 40, 20, qRgb(255, 0, 0)));
    settings.watermark.imagePosition = 0;
    settings.watermark.imageOpacity = 128;
    const Rgb pixel = pixelAt(mark(fixtures::makeSolidPage(100, 50, 0, 255, 0)), 30, 20);
    // Red at half weight over black: the green page does not show through.
    EXPECT_NEAR(static_cast<int>(pixel.red), 127, 8);
    EXPECT_LT(pixel.green, 10U);
    EXPECT_LT(pixel.blue, 10U);
}

TEST_F(WatermarkTest, GreyscalePicturesAreGreyAndKeepTheirAlpha)
{
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < 20; ++y) {
        for (int x = 20; x < 40; ++x) {
            image.setPixel(x, y, qRgba(0, 0, 255, 0));
        }
    }
    const QString path = folder.filePath("grey.png");
    ASSERT_TRUE(image.save(path, "PNG"));
    usePicture(path);
    settings.watermark.imageGreyscale = 1;
    settings.watermark.imagePosition = 0;
    const Bitmap result = mark(fixtures::makeSolidPage(100, 50, 0, 200, 0));
    // 77 * 255 / 256 = 76 in all three channels.
    EXPECT_EQ(boxOf(result, Rgb{76, 76, 76}), (Box{10, 10, 20, 20}));
    EXPECT_EQ(pixelAt(result, 40, 20), (Rgb{0, 200, 0}));

    // Opacity still applies to the grey picture.
    settings.watermark.imageOpacity = 128;
    const Rgb blended = pixelAt(mark(fixtures::makeSolidPage(100, 50, 0, 200, 0)), 15, 15);
    EXPECT_NEAR(static_cast<int>(blended.red), 38, 3);
    EXPECT_NEAR(static_cast<int>(blended.green), 138, 3);

    // A JPEG (no alpha) in grey over its black start.
    usePicture(writePicture("grey.jpg", "JPEG", 40, 20, qRgb(0, 0, 255)));
    settings.watermark.imageOpacity = 255;
    const Rgb jpeg = pixelAt(mark(fixtures::makeSolidPage(100, 50, 0, 200, 0)), 30, 20);
    EXPECT_EQ(jpeg.red, jpeg.green);
    EXPECT_EQ(jpeg.green, jpeg.blue);
    EXPECT_NEAR(static_cast<int>(jpeg.red), 29, 4); // 29 * 255 / 256
}

TEST_F(WatermarkTest, FailuresLeaveThePageConvertedWithoutWatermark)
{
    const Bitmap page = fixtures::makePage(fixtures::PageKind::Grey8, 60, 40);
    const Bitmap expected(FreeImage_ConvertTo24Bits(page.get()));

    usePicture(folder.filePath("missing.png"));
    Bitmap result = mark(Bitmap(FreeImage_Clone(page.get())));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), 24U);
    EXPECT_TRUE(samePixels(result, expected));

    // A text watermark without a loaded font.
    settings.watermark.doWatermark = 1;
    result = drawWatermarkWithText(Bitmap(FreeImage_Clone(page.get())), 60, 40, settings, nullptr, "text");
    EXPECT_EQ(result.bpp(), 24U);
    EXPECT_TRUE(samePixels(result, expected));

    // An empty text with no padding has no box to draw.
    useText("");
    settings.watermark.textPadding = 0;
    result = mark(Bitmap(FreeImage_Clone(page.get())), "");
    EXPECT_TRUE(samePixels(result, expected));

    // A box too large for any canvas.
    settings.watermark.textPadding = INT_MAX;
    result = mark(Bitmap(FreeImage_Clone(page.get())), "text");
    EXPECT_TRUE(samePixels(result, expected));

    settings.watermark.doWatermark = 0;
    result = mark(Bitmap(FreeImage_Clone(page.get())));
    EXPECT_EQ(result.bpp(), 8U);
}

TEST_F(WatermarkTest, DefaultTextSitsTenPixelsFromTheBottomRight)
{
    useText("Tessaline sample");
    const draw::TextExtent extent = draw::plainTextExtent(*assets.font, "Tessaline sample");
    const Bitmap result = mark(fixtures::makeSolidPage(300, 200, 0, 128, 0), "Tessaline sample");
    // The box behind the text has opacity 1: almost invisible, but not quite.
    const std::optional<Box> changed = boxWhere(result, [](Rgb pixel) { return !(pixel == Rgb{0, 128, 0}); });
    ASSERT_TRUE(changed);
    EXPECT_EQ(*changed, (Box{300 - 10 - extent.width, 200 - 10 - extent.height, extent.width, extent.height}));
    const std::optional<Box> text = boxOf(result, white);
    ASSERT_TRUE(text);
    EXPECT_GT(text->width, extent.width / 2);
    const Rgb box = pixelAt(result, changed->x, changed->y);
    EXPECT_LE(std::abs(static_cast<int>(box.green) - 128), 1);
}

struct AlignmentCase {
    const char* label;
    int alignment;
};

class WatermarkAlignmentTest : public WatermarkTest, public ::testing::WithParamInterface<AlignmentCase> {};

TEST_P(WatermarkAlignmentTest, TwoLineTextAlignsTheShorterLine)
{
    settings.watermark.textAlignment = GetParam().alignment;
    settings.watermark.textPadding = 6;
    settings.watermark.fontLeading = 3;
    settings.watermark.backColor = "0000FF";
    settings.watermark.backOpacity = 255;
    settings.watermark.textPosition = 0;
    settings.watermark.textXOffset = 0;
    settings.watermark.textYOffset = 0;
    useText("%yyyy%%eol%%filename%");

    JobState job;
    job.file.inputPath = "/scans/Quarterly Report Page.tif";
    const RunContext context{.settings = settings, .job = job, .watermark = &assets};
    const Bitmap result = drawWatermark(fixtures::makeSolidPage(400, 200, 100, 100, 100), 400, 200, context);

    const QString year = QString::number(QDate::currentDate().year());
    const draw::TextExtent shortLine = draw::plainTextExtent(*assets.font, year);
    const draw::TextExtent longLine = draw::plainTextExtent(*assets.font, "Quarterly Report Page");
    const int lineHeight = std::max(shortLine.height, longLine.height);
    const int boxWidth = longLine.width + 12;
    const int boxHeight = lineHeight + (lineHeight + 3) + 12;
    const auto isBox = [](Rgb pixel) { return pixel == blue || pixel == white; };
    EXPECT_EQ(boxWhere(result, isBox), (Box{0, 0, boxWidth, boxHeight}));

    int expectedX = 6;
    if (GetParam().alignment == 1) {
        expectedX = static_cast<int>(std::lround((boxWidth - shortLine.width) / 2.0));
    } else if (GetParam().alignment == 2) {
        expectedX = boxWidth - shortLine.width - 6;
    }
    // The white of the first line starts within the glyphs' left bearing of the line's x and ends
    // within the line's width.
    Bitmap top(FreeImage_Copy(result.get(), 0, 0, boxWidth, 6 + lineHeight));
    const std::optional<Box> yearText = boxOf(top, white);
    ASSERT_TRUE(yearText);
    EXPECT_GE(yearText->x, expectedX);
    EXPECT_LE(yearText->x, expectedX + 3);
    EXPECT_LE(yearText->x + yearText->width, expectedX + shortLine.width + 1);
    // The longer line starts at the padding whatever the alignment.
    Bitmap bottom(FreeImage_Copy(result.get(), 0, 6 + lineHeight + 3, boxWidth, boxHeight));
    const std::optional<Box> nameText = boxOf(bottom, white);
    ASSERT_TRUE(nameText);
    EXPECT_GE(nameText->x, 6);
    EXPECT_LE(nameText->x, 9);
}

INSTANTIATE_TEST_SUITE_P(Alignments, WatermarkAlignmentTest,
                         ::testing::Values(AlignmentCase{"Left", 0}, AlignmentCase{"Center", 1},
                                           AlignmentCase{"Right", 2}),
                         [](const ::testing::TestParamInfo<AlignmentCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(WatermarkTest, LinesTakeAtLeastTenPixelsAndEmptyLinesCount)
{
    settings.watermark.fontSize = 1; // a font far below the minimum line size
    settings.watermark.backColor = "0000FF";
    settings.watermark.backOpacity = 255;
    settings.watermark.textPosition = 0;
    settings.watermark.textXOffset = 0;
    settings.watermark.textYOffset = 0;
    settings.watermark.fontLeading = 2;
    useText("a%EOL%%eol%b");
    const Bitmap result = mark(fixtures::makeSolidPage(100, 100, 100, 100, 100), "a%EOL%%eol%b");
    const auto isBox = [](Rgb pixel) { return !(pixel == pageGrey); };
    // Three lines of 10 with two steps of 10 + 2.
    EXPECT_EQ(boxWhere(result, isBox), (Box{0, 0, 10, 34}));
}

TEST_F(WatermarkTest, PlainTextUsesBothOpacitiesWithoutBlendingInTheBox)
{
    settings.watermark.fontSize = 30;
    settings.watermark.textOpacity = 128;
    settings.watermark.backColor = "0000FF";
    settings.watermark.backOpacity = 255;
    settings.watermark.textPosition = 4;
    useText("HH");
    const Bitmap result = mark(fixtures::makeSolidPage(200, 100, 0, 0, 0), "HH");
    const std::optional<Box> box = boxOf(result, blue);
    ASSERT_TRUE(box);
    // Text pixels replace the box's pixels, so white at half weight lies over the black page, not
    // over the blue; and there is no third colour: the text is not anti-aliased.
    const auto isHalf = [](Rgb p) { return std::abs(int(p.red) - 128) <= 1 && p.red == p.green && p.green == p.blue; };
    EXPECT_TRUE(boxWhere(result, isHalf));
    for (int y = box->y; y < box->y + box->height; ++y) {
        for (int x = box->x; x < box->x + box->width; ++x) {
            const Rgb p = pixelAt(result, x, y);
            ASSERT_TRUE(p == blue || isHalf(p)) << x << "," << y;
        }
    }
}

TEST_F(WatermarkTest, AntialiasedTextIsOpaqueOnAHalfTransparentBox)
{
    settings.watermark.fontSize = 30;
    settings.watermark.textAntialiasing = 1;
    settings.watermark.backColor = "0000FF";
    settings.watermark.backOpacity = 128;
    settings.watermark.textPosition = 4;
    settings.watermark.textPadding = 4;
    useText("Wave");
    const Bitmap result = mark(fixtures::makeSolidPage(200, 100, 0, 0, 0), "Wave");
    // The box: blue at half weight over the black page.
    const std::optional<Box> box =
        boxWhere(result, [](Rgb p) { return p.red == 0 && std::abs(int(p.blue) - 128) <= 2; });
    ASSERT_TRUE(box);
    EXPECT_TRUE(boxOf(result, white));
    // Smooth edges: shades between the box and white.
    int shades = 0;
    for (int y = box->y; y < box->y + box->height; ++y) {
        for (int x = box->x; x < box->x + box->width; ++x) {
            const Rgb p = pixelAt(result, x, y);
            shades += p.red > 20 && p.red < 235 ? 1 : 0;
        }
    }
    EXPECT_GT(shades, 10);
}

TEST_F(WatermarkTest, FontLoadedByTheStarterDrawsOnTheWorkerThread)
{
    settings.watermark.backColor = "0000FF";
    settings.watermark.backOpacity = 255;
    useText("worker");
    Bitmap onWorker;
    std::thread worker([&]() { onWorker = mark(fixtures::makeSolidPage(200, 100, 100, 100, 100), "worker"); });
    worker.join();
    const Bitmap onStarter = mark(fixtures::makeSolidPage(200, 100, 100, 100, 100), "worker");
    ASSERT_TRUE(boxOf(onWorker, blue));
    EXPECT_TRUE(boxOf(onWorker, white));
    EXPECT_TRUE(samePixels(onWorker, onStarter));
}

struct AssetsCase {
    const char* label;
    int doWatermark;
    const char* font;
    const char* image; // "@" = a 10-byte file, "0" = an empty file, "/" = a folder, "" = none
    WatermarkProblem problem;
};

class WatermarkAssetsTest : public WatermarkTest, public ::testing::WithParamInterface<AssetsCase> {};

TEST_P(WatermarkAssetsTest, StarterCheckFindsEachProblem)
{
    const AssetsCase& c = GetParam();
    settings.watermark.doWatermark = c.doWatermark;
    settings.watermark.font = c.font;
    const QString kind = c.image;
    if (kind == "@" || kind == "0") {
        QFile file(folder.filePath("picture.png"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kind == "@" ? "0123456789" : "");
        settings.watermark.image = file.fileName();
    } else if (kind == "/") {
        settings.watermark.image = folder.path();
    } else if (kind == "missing") {
        settings.watermark.image = folder.filePath("missing.png");
    }
    const WatermarkAssetsResult result = loadWatermarkAssets(settings);
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_EQ(result.assets.font.has_value(), c.doWatermark == 1 && c.problem == WatermarkProblem::None);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, WatermarkAssetsTest,
    ::testing::Values(AssetsCase{"Off", 0, "NoSuchFont123", "", WatermarkProblem::None},
                      AssetsCase{"TextArial", 1, "Arial", "", WatermarkProblem::None},
                      AssetsCase{"TextUnknownFont", 1, "NoSuchFont123", "", WatermarkProblem::InvalidFont},
                      AssetsCase{"ImageGiven", 2, "NoSuchFont123", "@", WatermarkProblem::None},
                      AssetsCase{"ImageNone", 2, "Arial", "", WatermarkProblem::EmptyImage},
                      AssetsCase{"ImageMissing", 2, "Arial", "missing", WatermarkProblem::InvalidImage},
                      AssetsCase{"ImageEmptyFile", 2, "Arial", "0", WatermarkProblem::InvalidImage},
                      AssetsCase{"ImageIsFolder", 2, "Arial", "/", WatermarkProblem::InvalidImage}),
    [](const ::testing::TestParamInfo<AssetsCase>& info) { return std::string(info.param.label); });

TEST(WatermarkDrawingNeed, FrameOrWatermarkMakeTheRunDraw)
{
    Settings settings;
    resetToDefaults(settings, true);
    EXPECT_FALSE(runNeedsDrawing(settings));
    settings.frame.doFrame = 1;
    EXPECT_TRUE(runNeedsDrawing(settings));
    EXPECT_FALSE(watermarkNeedsDrawing(settings));
    settings.frame.doFrame = 0;
    for (const int kind : {1, 2}) {
        settings.watermark.doWatermark = kind;
        EXPECT_TRUE(watermarkNeedsDrawing(settings));
        EXPECT_TRUE(runNeedsDrawing(settings));
    }
}

} // namespace

#include "engine/steps/watermark.h"

#include "engine/core/output_naming.h"
#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/font.h"
#include "engine/steps/draw/handover.h"
#include "engine/steps/draw/picture.h"
#include "engine/steps/draw/text.h"
#include "engine/steps/layer_blend.h"
#include "engine/steps/sample_depth.h"

#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int textWatermark = 1;
constexpr int imageWatermark = 2;
// The largest watermark side considered, in pixels: far beyond any page, and small enough that sums
// of sides and offsets cannot overflow.
constexpr std::int64_t maxSide = 1 << 24;

// Where the watermark is placed: the page, or the inside of the frame shifted by the frame's
// left and top widths. Offsets and widths are unchecked settings, so placement runs in 64 bits.
struct Area {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct Position {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

// What the watermark's type reads for its placement.
struct Placement {
    int boundary = 0;
    int position = 0;
    int xOffset = 0;
    int yOffset = 0;
    int rotation = 0;
};

Placement placementOf(const WatermarkSettings& watermark)
{
    if (watermark.doWatermark == imageWatermark) {
        return {watermark.imageBoundary, watermark.imagePosition, watermark.imageXOffset, watermark.imageYOffset,
                watermark.imageRotation};
    }
    return {watermark.textBoundary, watermark.textPosition, watermark.textXOffset, watermark.textYOffset,
            watermark.textRotation};
}

Area positioningArea(const Settings& settings, int boundary, int pageWidth, int pageHeight)
{
    const FrameSettings& frame = settings.frame;
    if (frame.doFrame == 1 && boundary == 1) {
        return {frame.solidLeft, frame.solidTop, std::int64_t{pageWidth} - frame.solidLeft - frame.solidRight,
                std::int64_t{pageHeight} - frame.solidTop - frame.solidBottom};
    }
    return {0, 0, pageWidth, pageHeight};
}

// The anchor table; integer division truncates towards zero as C++ does.
Position anchorPosition(int position, const Area& area, std::int64_t w, std::int64_t h, std::int64_t xo,
                        std::int64_t yo)
{
    const std::int64_t centreX = (area.width - w) / 2;
    const std::int64_t centreY = (area.height - h) / 2;
    const std::int64_t rightX = area.width - w - xo;
    const std::int64_t bottomY = area.height - h - yo;
    switch (position) {
    case 0:
        return {xo, yo};
    case 1:
        return {centreX, yo};
    case 2:
        return {rightX, yo};
    case 3:
        return {xo, centreY};
    case 4:
        return {centreX, centreY};
    case 5:
        return {rightX, centreY};
    case 6:
        return {xo, bottomY};
    case 7:
        return {centreX, bottomY};
    case 8:
        return {rightX, bottomY};
    default:
        return {0, 0};
    }
}

int roundHalfAway(double value)
{
    return static_cast<int>(std::lround(value));
}

Bitmap renderText(const WatermarkSettings& watermark, const QFont& font, const QString& text)
{
    const QStringList lines = text.split(QStringLiteral("%eol%"), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    const int breaks = static_cast<int>(lines.size()) - 1;
    const int padding = watermark.textPadding;

    // Padding and leading are unchecked settings: sizes are summed in 64 bits, and a box beyond what
    // a canvas can hold is no watermark.
    std::int64_t boxWidth64 = 0;
    std::int64_t boxHeight64 = 0;
    std::int64_t lineStep64 = 0;
    if (breaks > 0) {
        // Every line counts at least 10 pixels each way, so empty lines still take room.
        int lineWidth = 10;
        int lineHeight = 10;
        for (const QString& line : lines) {
            const draw::TextExtent extent = draw::plainTextExtent(font, line);
            lineWidth = std::max(lineWidth, extent.width);
            lineHeight = std::max(lineHeight, extent.height);
        }
        lineStep64 = std::int64_t{lineHeight} + watermark.fontLeading;
        boxWidth64 = lineWidth;
        boxHeight64 = lineHeight + breaks * lineStep64;
    } else {
        const draw::TextExtent extent = draw::plainTextExtent(font, text);
        boxWidth64 = extent.width;
        boxHeight64 = extent.height;
    }
    boxWidth64 += 2 * std::int64_t{padding};
    boxHeight64 += 2 * std::int64_t{padding};
    if (boxWidth64 <= 0 || boxHeight64 <= 0 || boxWidth64 > maxSide || boxHeight64 > maxSide) {
        return {};
    }
    const int boxWidth = static_cast<int>(boxWidth64);
    const int boxHeight = static_cast<int>(boxHeight64);
    // Within the box the line positions fit in an int; a negative leading may put lines above it.
    const auto lineY = [&](int index) {
        return static_cast<int>(std::clamp<std::int64_t>(padding + index * lineStep64, -maxSide, maxSide));
    };

    const auto lineX = [&](int lineWidth) {
        if (breaks == 0) {
            return padding;
        }
        switch (watermark.textAlignment) {
        case 1:
            return roundHalfAway((boxWidth - lineWidth) / 2.0);
        case 2:
            return boxWidth - lineWidth - padding;
        default:
            return padding;
        }
    };

    draw::Canvas result;
    if (watermark.textAntialiasing == 0) {
        const draw::Rgba textColour = draw::rgbaFromHex(watermark.fontColor, watermark.textOpacity);
        const draw::Rgba background = draw::rgbaFromHex(watermark.backColor, watermark.backOpacity);
        draw::Canvas box = draw::Canvas::create(boxWidth, boxHeight);
        box.fill(background);
        for (int i = 0; i < lines.size(); ++i) {
            const int x = lineX(draw::plainTextExtent(font, lines[i]).width);
            draw::drawPlainText(box, font, x, lineY(i), lines[i], textColour, background);
        }
        // The plain box is the final canvas as it stands: drawing it onto a transparent canvas would
        // only round its low alphas through premultiplication.
        result = std::move(box);
    } else {
        const draw::Rgba textColour = draw::rgbaFromHex(watermark.fontColor, 255);
        const draw::Rgba background = draw::rgbaFromHex(watermark.backColor, 255);
        const draw::Canvas back = draw::Canvas::create(boxWidth, boxHeight, background);
        draw::Canvas glyphs = draw::Canvas::create(boxWidth, boxHeight);
        for (int i = 0; i < lines.size(); ++i) {
            const int x = lineX(roundHalfAway(draw::antialiasedTextExtent(font, lines[i]).width));
            draw::drawAntialiasedText(glyphs, font, x, lineY(i), lines[i], textColour);
        }
        result = draw::Canvas::create(boxWidth, boxHeight);
        result.drawWithAlpha(back, watermark.backOpacity);
        result.drawWithAlpha(glyphs, watermark.textOpacity);
    }
    return draw::toFreeImage(result);
}

// Grey by the integer luma weights 77/150/29 (sum 256), alpha kept.
draw::Rgba greyOf(draw::Rgba pixel)
{
    const int grey = (77 * qRed(pixel) + 150 * qGreen(pixel) + 29 * qBlue(pixel)) / 256;
    return qRgba(grey, grey, grey, qAlpha(pixel));
}

Bitmap renderPicture(const WatermarkSettings& watermark)
{
    const std::optional<draw::Picture> picture = draw::loadPicture(watermark.image);
    if (!picture) {
        return {};
    }
    // A picture without alpha starts on opaque black, so its opacity darkens it rather than letting
    // the page through; one with alpha starts transparent and keeps its transparent parts.
    const draw::Rgba start = picture->depth == 32 ? draw::rgba(0, 0, 0, 0) : draw::rgba(0, 0, 0, 255);
    draw::Canvas canvas = draw::Canvas::create(picture->canvas.width(), picture->canvas.height(), start);
    const int opacity = watermark.imageOpacity;
    if (watermark.imageGreyscale != 0) {
        // The opacity applies to the grey picture as it does to the coloured one.
        canvas.drawFiltered(picture->canvas, [opacity](draw::Rgba source, draw::Rgba target) {
            return draw::sourceOver(greyOf(source), target, opacity);
        });
    } else {
        canvas.drawWithAlpha(picture->canvas, opacity);
    }
    return draw::toFreeImage(canvas);
}

} // namespace

std::optional<QFont> loadWatermarkFont(const Settings& settings)
{
    const WatermarkSettings& watermark = settings.watermark;
    draw::FontStyle style;
    style.bold = watermark.fontStyle == 1 || watermark.fontStyle == 3;
    style.italic = watermark.fontStyle == 2 || watermark.fontStyle == 3;
    style.underline = watermark.fontEffect == 1;
    style.strikeout = watermark.fontEffect == 2;
    return draw::loadFont(watermark.font, watermark.fontSize, style);
}

bool watermarkImageUsable(const QString& path)
{
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

WatermarkAssetsResult loadWatermarkAssets(const Settings& settings)
{
    WatermarkAssetsResult result;
    const WatermarkSettings& watermark = settings.watermark;
    if (watermark.doWatermark == textWatermark) {
        result.assets.font = loadWatermarkFont(settings);
        if (!result.assets.font) {
            result.problem = WatermarkProblem::InvalidFont;
        }
    } else if (watermark.doWatermark == imageWatermark) {
        if (watermark.image.isEmpty()) {
            result.problem = WatermarkProblem::EmptyImage;
        } else if (!watermarkImageUsable(watermark.image)) {
            result.problem = WatermarkProblem::InvalidImage;
        }
    }
    return result;
}

bool watermarkNeedsDrawing(const Settings& settings)
{
    return settings.watermark.doWatermark == textWatermark || settings.watermark.doWatermark == imageWatermark;
}

bool runNeedsDrawing(const Settings& settings)
{
    return settings.frame.doFrame == 1 || watermarkNeedsDrawing(settings);
}

Bitmap renderWatermark(const Settings& settings, const WatermarkAssets* assets, const QString& expandedText)
{
    const WatermarkSettings& watermark = settings.watermark;
    if (watermark.doWatermark == textWatermark) {
        if (assets == nullptr || !assets->font) {
            return {};
        }
        return renderText(watermark, *assets->font, expandedText);
    }
    if (watermark.doWatermark == imageWatermark) {
        return renderPicture(watermark);
    }
    return {};
}

std::optional<PlacedWatermark> placeWatermark(int width, int height, const Settings& settings,
                                              const WatermarkAssets* assets, const QString& expandedText)
{
    Bitmap mark = renderWatermark(settings, assets, expandedText);
    if (!mark) {
        return std::nullopt;
    }
    const Placement placement = placementOf(settings.watermark);
    if (placement.rotation >= 1 && placement.rotation <= 359) {
        // Without a background colour the corners the rotation adds stay transparent.
        mark = Bitmap(FreeImage_Rotate(mark.get(), placement.rotation, nullptr));
        if (!mark) {
            return std::nullopt;
        }
    }

    const Area area = positioningArea(settings, placement.boundary, width, height);
    std::int64_t markWidth = mark.width();
    std::int64_t markHeight = mark.height();
    bool cut = false;
    if (markWidth + placement.xOffset > area.width) {
        markWidth = area.width - placement.xOffset;
        cut = true;
    }
    if (markHeight + placement.yOffset > area.height) {
        markHeight = area.height - placement.yOffset;
        cut = true;
    }
    if (cut) {
        // Nothing is left of a watermark cut to no width or height (FreeImage_Copy would swap a
        // negative rectangle round instead of refusing it).
        if (markWidth <= 0 || markHeight <= 0) {
            return std::nullopt;
        }
        // Only ever smaller than the watermark here, so the sizes fit an int.
        mark = Bitmap(FreeImage_Copy(mark.get(), 0, 0, static_cast<int>(markWidth), static_cast<int>(markHeight)));
        if (!mark) {
            return std::nullopt;
        }
    }

    Position at = anchorPosition(placement.position, area, markWidth, markHeight, placement.xOffset, placement.yOffset);
    at.x += area.left;
    at.y += area.top;
    // Like a paste into a page-sized layer, the placement is refused unless the watermark lies
    // entirely inside the page. Inside it, every value fits an int.
    if (at.x < 0 || at.y < 0 || at.x + markWidth > width || at.y + markHeight > height) {
        return std::nullopt;
    }
    return PlacedWatermark{std::move(mark), static_cast<int>(at.x), static_cast<int>(at.y)};
}

Bitmap toWatermarkable(Bitmap image)
{
    // Drawn at 8 bits per sample; a page that kept its 16-bit samples is widened again at the end.
    image = toEightBitsPerSample(std::move(image));
    if (image && image.bpp() != 24) {
        image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    }
    return image;
}

void blendWatermarkRows(Bitmap& rows, int firstRow, int width, const PlacedWatermark& placed)
{
    const int markHeight = static_cast<int>(placed.mark.height());
    const int top = std::max(placed.y, firstRow);
    const int bottom = static_cast<int>(
        std::min<std::int64_t>(std::int64_t{placed.y} + markHeight, std::int64_t{firstRow} + rows.height()));
    if (!rows || static_cast<int>(rows.width()) != width || top >= bottom) {
        return;
    }
    if (top == placed.y && bottom - top == markHeight) {
        compositeLayerAt(rows, placed.mark, placed.x, top - firstRow);
        return;
    }
    // The watermark's rows that cross these rows; a transparent page-sized layer would composite the
    // rest of them to the page's pixels unchanged.
    const Bitmap part(
        FreeImage_Copy(placed.mark.get(), 0, top - placed.y, static_cast<int>(placed.mark.width()), bottom - placed.y));
    if (part) {
        compositeLayerAt(rows, part, placed.x, top - firstRow);
    }
}

Bitmap drawWatermarkWithText(Bitmap image, int width, int height, const Settings& settings,
                             const WatermarkAssets* assets, const QString& expandedText)
{
    if (settings.watermark.doWatermark == 0 || !image) {
        return image;
    }
    image = toWatermarkable(std::move(image));
    if (!image || static_cast<int>(image.width()) != width || static_cast<int>(image.height()) != height) {
        return image;
    }
    if (const std::optional<PlacedWatermark> placed = placeWatermark(width, height, settings, assets, expandedText)) {
        blendWatermarkRows(image, 0, width, *placed);
    }
    return image;
}

namespace {

// The watermark's size before rotation, told without rendering it: a picture's from its file's
// header; a text's from its length at a generous cell of twice the font's size in points for every
// character and line, with room for every placeholder to expand to 64 characters.
QSize renderedSizeEstimate(const WatermarkSettings& watermark)
{
    if (watermark.doWatermark == imageWatermark) {
        return QImageReader(watermark.image).size();
    }
    const QStringList lines = watermark.text.split(QStringLiteral("%eol%"), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    qsizetype longest = 0;
    for (const QString& line : lines) {
        longest = std::max(longest, line.size() + 64 * (line.count(QLatin1Char('%')) / 2));
    }
    const std::int64_t cell = 2 * std::clamp<std::int64_t>(watermark.fontSize, 1, maxSide);
    const std::int64_t padding = 2 * std::clamp<std::int64_t>(watermark.textPadding, 0, maxSide);
    const std::int64_t leading = std::clamp<std::int64_t>(watermark.fontLeading, 0, maxSide);
    const std::int64_t width = (longest + 1) * cell + padding;
    const std::int64_t height = static_cast<std::int64_t>(lines.size()) * (cell + leading) + padding;
    return {static_cast<int>(std::min(width, maxSide)), static_cast<int>(std::min(height, maxSide))};
}

} // namespace

std::uint64_t watermarkMemoryEstimate(int width, int height, const Settings& settings, std::uint64_t rows)
{
    const WatermarkSettings& watermark = settings.watermark;
    if (watermark.doWatermark != textWatermark && watermark.doWatermark != imageWatermark) {
        return 0;
    }
    const QSize rendered = renderedSizeEstimate(watermark);
    if (rendered.isEmpty()) {
        return 0;
    }
    auto w = static_cast<double>(rendered.width());
    auto h = static_cast<double>(rendered.height());
    const int angle = placementOf(watermark).rotation;
    if (angle >= 1 && angle <= 359) {
        const double radians = angle * 3.14159265358979323846 / 180.0;
        const double c = std::abs(std::cos(radians));
        const double s = std::abs(std::sin(radians));
        const double turnedWidth = w * c + h * s;
        h = w * s + h * c;
        w = turnedWidth;
    }
    // Rendering holds a canvas and the picture or box it draws, then the FreeImage mark and its turned
    // copy; the placed mark is cut to the page. Each band then holds the mark's rows that cross it,
    // the page's pixels under them and their composite.
    const double renderedBytes = 4.0 * 2 * (static_cast<double>(rendered.width()) * rendered.height() + w * h);
    const double placedWidth = std::min(w, static_cast<double>(width));
    const double placedHeight = std::min(h, static_cast<double>(height));
    const double perBand = std::min(placedHeight, static_cast<double>(rows)) * placedWidth * (4 + 3 + 3);
    return static_cast<std::uint64_t>(renderedBytes + perBand);
}

QString watermarkText(const RunContext& context)
{
    if (context.settings.watermark.doWatermark != textWatermark) {
        return {};
    }
    if (usesRunCounters(context.settings.watermark.text)) {
        context.needCounters();
    }
    return expandWatermarkText(context.settings, context.job);
}

Bitmap drawWatermark(Bitmap image, int width, int height, const RunContext& context)
{
    if (context.settings.watermark.doWatermark == 0) {
        return image;
    }
    return drawWatermarkWithText(std::move(image), width, height, context.settings, context.watermark,
                                 watermarkText(context));
}

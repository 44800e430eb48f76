#include "engine/steps/frame.h"

#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/handover.h"
#include "engine/steps/layer_blend.h"
#include "engine/steps/sample_depth.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

// Pixels beyond a band's inner edge that are painted with it all the same: room for the painter's
// rounding where an edge meets a pixel's centre. Outside the edges and this margin nothing is painted.
constexpr int edgeMargin = 2;

// The frame's inner edges and colours. Widths are unchecked settings: the arithmetic runs in 64 bits
// and the corners are held within a million pixels of the page, far beyond any page, so no value
// overflows or upsets the painter.
struct FrameGeometry {
    int width = 0;
    int height = 0;
    int left = 0;        // L
    int top = 0;         // T
    int innerRight = 0;  // w - R
    int innerBottom = 0; // h - B
    draw::Rgba leftColour = 0;
    draw::Rgba rightColour = 0;
    draw::Rgba topColour = 0;
    draw::Rgba bottomColour = 0;
};

FrameGeometry geometryOf(const FrameSettings& frame, int w, int h)
{
    const auto coord = [](std::int64_t value) {
        constexpr std::int64_t limit = 1 << 20;
        return static_cast<int>(std::clamp(value, -limit, limit));
    };
    return {w,
            h,
            coord(frame.solidLeft),
            coord(frame.solidTop),
            coord(std::int64_t{w} - frame.solidRight),
            coord(std::int64_t{h} - frame.solidBottom),
            draw::rgbaFromHex(frame.solidLeftColor, 255),
            draw::rgbaFromHex(frame.solidRightColor, 255),
            draw::rgbaFromHex(frame.solidTopColor, 255),
            draw::rgbaFromHex(frame.solidBottomColor, 255)};
}

// A rectangle of the page, end exclusive.
struct Region {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

// The parts of rows [rowsTop, rowsBottom) the frame can paint, without overlap: the rows of the top
// and bottom bands across the page, and between them the columns of the left and right bands. Each
// shape's corners lie on the page's edges or the inner edges (L, T, w - R, h - B), so no shape
// reaches past the inner edges; the rest of the page keeps its pixels.
std::vector<Region> paintedRegions(const FrameGeometry& g, int rowsTop, int rowsBottom)
{
    const int w = g.width;
    const int h = g.height;
    const int topEnd = std::clamp(std::max(g.top, 0) + edgeMargin, 0, h);
    const int bottomStart = std::clamp(std::min(g.innerBottom, h) - edgeMargin, topEnd, h);
    const int leftEnd = std::clamp(std::max(g.left, 0) + edgeMargin, 0, w);
    const int rightStart = std::clamp(std::min(g.innerRight, w) - edgeMargin, leftEnd, w);
    const auto rows = [&](int from, int to) { return std::pair{std::max(from, rowsTop), std::min(to, rowsBottom)}; };
    std::vector<Region> regions;
    const auto add = [&regions](int x0, int x1, std::pair<int, int> span) {
        if (x0 < x1 && span.first < span.second) {
            regions.push_back({x0, span.first, x1, span.second});
        }
    };
    add(0, w, rows(0, topEnd));
    add(0, leftEnd, rows(topEnd, bottomStart));
    add(rightStart, w, rows(topEnd, bottomStart));
    add(0, w, rows(bottomStart, h));
    return regions;
}

// The frame at full strength over one region of the page: corner squares first, then the four bands
// as trapezoids whose slanted ends meet on the diagonals from each page corner to the inner corner,
// splitting every corner square between its two bands. The shapes are the page's, moved by the
// region's corner, so the painter fills the same pixels as on a page-sized canvas.
draw::Canvas paintFrame(const FrameGeometry& g, const Region& region)
{
    draw::Canvas canvas = draw::Canvas::create(region.x1 - region.x0, region.y1 - region.y0);
    if (canvas.isNull()) {
        return canvas;
    }
    const int dx = region.x0;
    const int dy = region.y0;
    const auto at = [dx, dy](int x, int y) { return QPoint(x - dx, y - dy); };
    const int w = g.width;
    const int h = g.height;
    const int l = g.left;
    const int t = g.top;
    const int wr = g.innerRight;
    const int hb = g.innerBottom;

    canvas.fillRect(-dx, -dy, l - dx, t - dy, g.topColour);
    canvas.fillRect(wr - dx, -dy, w - dx, t - dy, g.rightColour);
    canvas.fillRect(wr - dx, hb - dy, w - dx, h - dy, g.bottomColour);
    canvas.fillRect(-dx, hb - dy, l - dx, h - dy, g.leftColour);

    const std::array<QPoint, 4> topBand{at(0, 0), at(w, 0), at(wr, t), at(l, t)};
    const std::array<QPoint, 4> rightBand{at(w, 0), at(w, h), at(wr, hb), at(wr, t)};
    const std::array<QPoint, 4> bottomBand{at(w, h), at(0, h), at(l, hb), at(wr, hb)};
    const std::array<QPoint, 4> leftBand{at(0, h), at(0, 0), at(l, t), at(l, hb)};
    canvas.fillPolygon(topBand, g.topColour);
    canvas.fillPolygon(rightBand, g.rightColour);
    canvas.fillPolygon(bottomBand, g.bottomColour);
    canvas.fillPolygon(leftBand, g.leftColour);
    return canvas;
}

// The 32-bit overlay over a 16-bit RGB page with its top-left corner at (x, y), in place: each
// sample weighs the overlay's level (widened) against the page's by the overlay's alpha, as the
// 8-bit composite does.
void compositeSixteen(FIBITMAP* overlay, FIBITMAP* page, unsigned x, unsigned y)
{
    const unsigned pageHeight = FreeImage_GetHeight(page);
    const unsigned width = std::min(FreeImage_GetWidth(overlay), FreeImage_GetWidth(page) - x);
    const unsigned height = std::min(FreeImage_GetHeight(overlay), pageHeight - y);
    const unsigned overlayHeight = FreeImage_GetHeight(overlay);
    const auto blend = [](std::uint32_t front, WORD back, std::uint32_t alpha) {
        return static_cast<WORD>((sixteenOf8(front) * alpha + back * (255U - alpha) + 127U) / 255U);
    };
    // FreeImage keeps rows bottom-up: row r from the top is scan line height - 1 - r.
    for (unsigned r = 0; r < height; ++r) {
        const BYTE* in = FreeImage_GetScanLine(overlay, static_cast<int>(overlayHeight - 1 - r));
        auto* out =
            reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(page, static_cast<int>(pageHeight - 1 - y - r))) + x;
        for (unsigned c = 0; c < width; ++c, in += 4) {
            const std::uint32_t alpha = in[FI_RGBA_ALPHA];
            out[c].red = blend(in[FI_RGBA_RED], out[c].red, alpha);
            out[c].green = blend(in[FI_RGBA_GREEN], out[c].green, alpha);
            out[c].blue = blend(in[FI_RGBA_BLUE], out[c].blue, alpha);
        }
    }
}

// The frame step's own form of the page: 24-bit, or 16-bit RGB for a page that kept its 16-bit
// samples. Either way the framed page is opaque.
Bitmap frameable(Bitmap image)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
    if (type == FIT_RGB16 || type == FIT_RGBA16) {
        return toSixteenBitsPerSample(std::move(image), false);
    }
    if (image.bpp() != 24 || type != FIT_BITMAP) {
        return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    }
    return image;
}

} // namespace

std::uint64_t frameRowsMemory(int width, int height, const Settings& settings, std::uint64_t rows)
{
    if (settings.frame.doFrame != 1 || width <= 0 || height <= 0) {
        return 0;
    }
    const FrameGeometry g = geometryOf(settings.frame, width, height);
    const auto w = static_cast<std::uint64_t>(width);
    const std::vector<Region> all = paintedRegions(g, 0, height);
    std::uint64_t largest = 0;
    for (const Region& region : all) {
        const auto regionRows = static_cast<std::uint64_t>(region.y1 - region.y0);
        largest = std::max(largest, std::min(rows, regionRows) * static_cast<std::uint64_t>(region.x1 - region.x0));
    }
    // The canvas and its FreeImage copy (32 bits each), the page's pixels under it and their
    // composite (24 bits each).
    constexpr std::uint64_t bytesPerPixel = 4 + 4 + 3 + 3;
    return std::min(largest, rows * w) * bytesPerPixel;
}

Bitmap drawFrame(Bitmap image, int width, int height, const Settings& settings)
{
    return drawFrameRows(std::move(image), 0, width, height, settings);
}

Bitmap drawFrameRows(Bitmap rows, int firstRow, int width, int height, const Settings& settings)
{
    const FrameSettings& frame = settings.frame;
    if (frame.doFrame == 0 || !rows) {
        return rows;
    }
    rows = frameable(std::move(rows));
    // Rows that are not a part of the page as told keep their pixels, converted.
    const std::int64_t rowsBottom = std::int64_t{firstRow} + rows.height();
    if (!rows || frame.doFrame != 1 || static_cast<int>(rows.width()) != width || firstRow < 0 || rowsBottom > height) {
        return rows;
    }
    const bool sixteen = FreeImage_GetImageType(rows.get()) == FIT_RGB16;
    const FrameGeometry geometry = geometryOf(frame, width, height);
    for (const Region& region : paintedRegions(geometry, firstRow, static_cast<int>(rowsBottom))) {
        // The frame is opaque where painted, so scaling its alpha in place gives what drawing it onto
        // a second transparent canvas with the opacity would, at one canvas less.
        draw::Canvas canvas = paintFrame(geometry, region);
        canvas.multiplyAlpha(frame.solidOpacity);
        const Bitmap overlay = draw::toFreeImage(canvas);
        canvas = {};
        if (!overlay) {
            continue; // a part that cannot be drawn keeps its pixels
        }
        const int y = region.y0 - firstRow;
        if (sixteen) {
            compositeSixteen(overlay.get(), rows.get(), static_cast<unsigned>(region.x0), static_cast<unsigned>(y));
        } else {
            compositeLayerAt(rows, overlay, region.x0, y);
        }
    }
    return rows;
}

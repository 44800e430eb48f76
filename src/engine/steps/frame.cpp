#include "engine/steps/frame.h"

#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/handover.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// The frame at full strength: corner squares first, then the four bands as trapezoids whose slanted
// ends meet on the diagonals from each page corner to the inner corner, splitting every corner square
// between its two bands. Widths are used as given.
draw::Canvas paintFrame(const FrameSettings& frame, int w, int h)
{
    draw::Canvas canvas = draw::Canvas::create(w, h);
    if (canvas.isNull()) {
        return canvas;
    }
    // Widths are unchecked settings: the arithmetic runs in 64 bits and the corners are held within a
    // million pixels of the canvas, far beyond any page, so no value overflows or upsets the painter.
    const auto coord = [](std::int64_t value) {
        constexpr std::int64_t limit = 1 << 20;
        return static_cast<int>(std::clamp(value, -limit, limit));
    };
    const int l = coord(frame.solidLeft);
    const int t = coord(frame.solidTop);
    const int wr = coord(std::int64_t{w} - frame.solidRight);  // inner right edge, w - R
    const int hb = coord(std::int64_t{h} - frame.solidBottom); // inner bottom edge, h - B
    const draw::Rgba left = draw::rgbaFromHex(frame.solidLeftColor, 255);
    const draw::Rgba right = draw::rgbaFromHex(frame.solidRightColor, 255);
    const draw::Rgba top = draw::rgbaFromHex(frame.solidTopColor, 255);
    const draw::Rgba bottom = draw::rgbaFromHex(frame.solidBottomColor, 255);

    canvas.fillRect(0, 0, l, t, top);
    canvas.fillRect(wr, 0, w, t, right);
    canvas.fillRect(wr, hb, w, h, bottom);
    canvas.fillRect(0, hb, l, h, left);

    const std::array<QPoint, 4> topBand{QPoint(0, 0), QPoint(w, 0), QPoint(wr, t), QPoint(l, t)};
    const std::array<QPoint, 4> rightBand{QPoint(w, 0), QPoint(w, h), QPoint(wr, hb), QPoint(wr, t)};
    const std::array<QPoint, 4> bottomBand{QPoint(w, h), QPoint(0, h), QPoint(l, hb), QPoint(wr, hb)};
    const std::array<QPoint, 4> leftBand{QPoint(0, h), QPoint(0, 0), QPoint(l, t), QPoint(l, hb)};
    canvas.fillPolygon(topBand, top);
    canvas.fillPolygon(rightBand, right);
    canvas.fillPolygon(bottomBand, bottom);
    canvas.fillPolygon(leftBand, left);
    return canvas;
}

} // namespace

Bitmap drawFrame(Bitmap image, int width, int height, const Settings& settings)
{
    const FrameSettings& frame = settings.frame;
    if (frame.doFrame == 0 || !image) {
        return image;
    }
    if (image.bpp() != 24) {
        image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
        if (!image) {
            return image;
        }
    }
    if (frame.doFrame != 1) {
        return image;
    }

    Bitmap overlay;
    {
        // Scoped so the page-sized canvas is gone before the composite allocates its result. The
        // frame is opaque where painted, so scaling its alpha in place gives what drawing it onto a
        // second transparent canvas with the opacity would, at one page-sized canvas less.
        draw::Canvas canvas = paintFrame(frame, width, height);
        canvas.multiplyAlpha(frame.solidOpacity);
        overlay = draw::toFreeImage(canvas);
    }
    if (!overlay) {
        return image;
    }
    // A composite that FreeImage refuses (a size that is not the page's) leaves the page as it was.
    if (FIBITMAP* framed = FreeImage_Composite(overlay.get(), FALSE, nullptr, image.get())) {
        image.reset(framed);
    }
    return image;
}

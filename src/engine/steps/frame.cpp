#include "engine/steps/frame.h"

#include "engine/steps/draw/canvas.h"
#include "engine/steps/draw/handover.h"
#include "engine/steps/sample_depth.h"

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

// The 32-bit overlay over a 16-bit RGB page, in place: each sample weighs the overlay's level
// (widened) against the page's by the overlay's alpha, as the 8-bit composite does.
void compositeSixteen(FIBITMAP* overlay, FIBITMAP* page)
{
    const unsigned width = std::min(FreeImage_GetWidth(overlay), FreeImage_GetWidth(page));
    const unsigned height = std::min(FreeImage_GetHeight(overlay), FreeImage_GetHeight(page));
    const auto blend = [](std::uint32_t front, WORD back, std::uint32_t alpha) {
        return static_cast<WORD>((sixteenOf8(front) * alpha + back * (255U - alpha) + 127U) / 255U);
    };
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* in = FreeImage_GetScanLine(overlay, static_cast<int>(y));
        auto* out = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(page, static_cast<int>(y)));
        for (unsigned x = 0; x < width; ++x, in += 4) {
            const std::uint32_t alpha = in[FI_RGBA_ALPHA];
            out[x].red = blend(in[FI_RGBA_RED], out[x].red, alpha);
            out[x].green = blend(in[FI_RGBA_GREEN], out[x].green, alpha);
            out[x].blue = blend(in[FI_RGBA_BLUE], out[x].blue, alpha);
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

Bitmap drawFrame(Bitmap image, int width, int height, const Settings& settings)
{
    const FrameSettings& frame = settings.frame;
    if (frame.doFrame == 0 || !image) {
        return image;
    }
    image = frameable(std::move(image));
    if (!image || frame.doFrame != 1) {
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
    if (FreeImage_GetImageType(image.get()) == FIT_RGB16) {
        compositeSixteen(overlay.get(), image.get());
        return image;
    }
    // A composite that FreeImage refuses (a size that is not the page's) leaves the page as it was.
    if (FIBITMAP* framed = FreeImage_Composite(overlay.get(), FALSE, nullptr, image.get())) {
        image.reset(framed);
    }
    return image;
}

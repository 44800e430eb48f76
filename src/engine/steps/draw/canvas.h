#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QtGui/qrgb.h>

#include <functional>
#include <span>

namespace draw {

// A colour with straight (not premultiplied) alpha: 0xAARRGGBB, as the canvases store it.
using Rgba = QRgb;

inline Rgba rgba(int red, int green, int blue, int alpha)
{
    return qRgba(red, green, blue, alpha);
}
// Six hex digits RRGGBB (any other length is black) with the given alpha.
Rgba rgbaFromHex(const QString& hex, int alpha);

// `source` with its alpha multiplied by alpha / 255, blended over `target` (straight alpha, rounded).
Rgba sourceOver(Rgba source, Rgba target, int alpha = 255);

// Replaces the pixel under a drawn canvas: receives the source pixel and the pixel already on the
// target, returns what is written (all four channels).
using PixelFilter = std::function<Rgba(Rgba source, Rgba target)>;

// A width x height RGBA canvas (QImage, ARGB32 with straight alpha). Coordinates are pixels from the
// top-left corner, y downwards. A null canvas (failed creation) ignores every drawing call.
class Canvas {
  public:
    Canvas() = default;
    // Fails (null canvas) for a zero or negative size or when the memory is not there.
    static Canvas create(int width, int height, Rgba fill = 0);
    // Adopts an image in any format, converted to ARGB32.
    static Canvas fromImage(const QImage& image);

    bool isNull() const { return image_.isNull(); }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    Rgba pixel(int x, int y) const;
    const QImage& image() const { return image_; }

    // Writes all four channels of every pixel.
    void fill(Rgba colour);
    // The rectangle between the corners (x0, y0) and (x1, y1), end exclusive, in either order;
    // painted source-over.
    void fillRect(int x0, int y0, int x1, int y1, Rgba colour);
    // A closed polygon, painted source-over; the edges are not anti-aliased.
    void fillPolygon(std::span<const QPoint> vertices, Rgba colour);

    // Draws `source` at (0, 0), source-over.
    void draw(const Canvas& source);
    // Draws `source` at (0, 0), source-over, its alpha multiplied by alpha / 255.
    void drawWithAlpha(const Canvas& source, int alpha);
    // Multiplies every pixel's alpha by alpha / 255 (rounded), colours kept: what drawing this canvas
    // onto a transparent one with that constant alpha gives, without a second canvas.
    void multiplyAlpha(int alpha);
    // Draws `source` at (0, 0), every pixel through `filter`.
    void drawFiltered(const Canvas& source, const PixelFilter& filter);

    // Direct access for the text and hand-over code of this facility.
    QImage& image() { return image_; }

  private:
    explicit Canvas(QImage image) : image_(std::move(image)) {}
    QImage image_;
};

} // namespace draw

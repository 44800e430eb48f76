#include "engine/steps/draw/canvas.h"

#include "app/settings.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cstdlib>

namespace draw {

Rgba rgbaFromHex(const QString& hex, int alpha)
{
    const std::uint32_t colour = colourFromHex(hex);
    return qRgba(static_cast<int>(colour & 0xFFU), static_cast<int>((colour >> 8) & 0xFFU),
                 static_cast<int>((colour >> 16) & 0xFFU), alpha);
}

Rgba sourceOver(Rgba source, Rgba target, int alpha)
{
    // Straight-alpha "over" in integers, scaled by 255 * 255 to keep the rounding in one place.
    const int sa = qAlpha(source) * std::clamp(alpha, 0, 255); // 0..65025
    const int ta = qAlpha(target) * (65025 - sa) / 255;        // target's weight, same scale
    const int outAlpha = sa + ta;
    if (outAlpha == 0) {
        return 0;
    }
    const auto channel = [&](int s, int t) { return (s * sa + t * ta + outAlpha / 2) / outAlpha; };
    return qRgba(channel(qRed(source), qRed(target)), channel(qGreen(source), qGreen(target)),
                 channel(qBlue(source), qBlue(target)), (outAlpha + 127) / 255);
}

Canvas Canvas::create(int width, int height, Rgba fill)
{
    if (width <= 0 || height <= 0) {
        return {};
    }
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    image.fill(fill);
    return Canvas(std::move(image));
}

Canvas Canvas::fromImage(const QImage& image)
{
    if (image.isNull()) {
        return {};
    }
    return Canvas(image.convertToFormat(QImage::Format_ARGB32));
}

Rgba Canvas::pixel(int x, int y) const
{
    if (isNull() || x < 0 || y < 0 || x >= width() || y >= height()) {
        return 0;
    }
    return reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
}

void Canvas::fill(Rgba colour)
{
    if (!isNull()) {
        image_.fill(colour);
    }
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, Rgba colour)
{
    if (isNull()) {
        return;
    }
    const QRect rect = QRect(QPoint(std::min(x0, x1), std::min(y0, y1)), QSize(std::abs(x1 - x0), std::abs(y1 - y0)));
    if (rect.isEmpty()) {
        return;
    }
    QPainter painter(&image_);
    painter.fillRect(rect, QColor::fromRgba(colour));
}

void Canvas::fillPolygon(std::span<const QPoint> vertices, Rgba colour)
{
    if (isNull() || vertices.size() < 3) {
        return;
    }
    QPainter painter(&image_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(colour));
    painter.drawPolygon(vertices.data(), static_cast<int>(vertices.size()));
}

void Canvas::draw(const Canvas& source)
{
    if (isNull() || source.isNull()) {
        return;
    }
    QPainter painter(&image_);
    painter.drawImage(0, 0, source.image_);
}

void Canvas::drawWithAlpha(const Canvas& source, int alpha)
{
    if (isNull() || source.isNull()) {
        return;
    }
    QPainter painter(&image_);
    painter.setOpacity(std::clamp(alpha, 0, 255) / 255.0);
    painter.drawImage(0, 0, source.image_);
}

void Canvas::multiplyAlpha(int alpha)
{
    if (isNull()) {
        return;
    }
    const int factor = std::clamp(alpha, 0, 255);
    for (int y = 0; y < height(); ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < width(); ++x) {
            const QRgb pixel = pixels[x];
            pixels[x] = (pixel & 0x00FFFFFFU) | (static_cast<QRgb>((qAlpha(pixel) * factor + 127) / 255) << 24);
        }
    }
}

void Canvas::drawFiltered(const Canvas& source, const PixelFilter& filter)
{
    if (isNull() || source.isNull() || !filter) {
        return;
    }
    const int w = std::min(width(), source.width());
    const int h = std::min(height(), source.height());
    for (int y = 0; y < h; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.image_.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < w; ++x) {
            to[x] = filter(from[x], to[x]);
        }
    }
}

} // namespace draw

#include "engine/steps/draw/text.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

namespace draw {

namespace {

QFont plainFont(const QFont& font)
{
    QFont plain = font;
    plain.setStyleStrategy(QFont::NoAntialias);
    return plain;
}

QFont smoothFont(const QFont& font)
{
    QFont smooth = font;
    smooth.setStyleStrategy(QFont::PreferAntialias);
    return smooth;
}

} // namespace

TextExtent plainTextExtent(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(plainFont(font));
    return {metrics.horizontalAdvance(text), metrics.height()};
}

TextExtentF antialiasedTextExtent(const QFont& font, const QString& text)
{
    const QFont smooth = smoothFont(font);
    return {QFontMetricsF(smooth).horizontalAdvance(text), QFontMetrics(smooth).height()};
}

void drawPlainText(Canvas& canvas, const QFont& font, int x, int y, const QString& text, Rgba textColour,
                   Rgba background)
{
    if (canvas.isNull()) {
        return;
    }
    const QFont plain = plainFont(font);
    const QFontMetrics metrics(plain);
    const QRect cell(x, y, metrics.horizontalAdvance(text), metrics.height());
    // Glyphs may reach outside their cell (italic overhang, bearings); the mask leaves room for that.
    const int margin = metrics.height();
    const QRect region = cell.adjusted(-margin, -margin, margin, margin) & canvas.image().rect();
    if (region.isEmpty()) {
        return;
    }
    // The glyphs are rendered into a mask first and then written as exact values: the painter
    // would blend and round them through premultiplied alpha.
    QImage mask(region.size(), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull()) {
        return;
    }
    mask.fill(Qt::transparent);
    {
        QPainter painter(&mask);
        painter.setFont(plain);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(x - region.x(), y - region.y() + metrics.ascent()), text);
    }
    QImage& image = canvas.image();
    for (int row = 0; row < region.height(); ++row) {
        const int py = region.y() + row;
        const auto* glyphs = reinterpret_cast<const QRgb*>(mask.constScanLine(row));
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int column = 0; column < region.width(); ++column) {
            const int px = region.x() + column;
            if (qAlpha(glyphs[column]) >= 128) {
                pixels[px] = textColour;
            } else if (cell.contains(px, py)) {
                pixels[px] = background;
            }
        }
    }
}

void drawAntialiasedText(Canvas& canvas, const QFont& font, int x, int y, const QString& text, Rgba textColour)
{
    if (canvas.isNull()) {
        return;
    }
    const QFont smooth = smoothFont(font);
    QPainter painter(&canvas.image());
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(smooth);
    painter.setPen(QColor::fromRgba(textColour));
    painter.drawText(QPoint(x, y + QFontMetrics(smooth).ascent()), text);
}

} // namespace draw

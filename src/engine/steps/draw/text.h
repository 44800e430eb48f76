#pragma once

#include "engine/steps/draw/canvas.h"

#include <QFont>
#include <QString>

namespace draw {

struct TextExtent {
    int width = 0;
    int height = 0;
};
struct TextExtentF {
    double width = 0;
    int height = 0;
};

// Width and height in pixels of a one-line text drawn plain (no anti-aliasing). The height is the
// font's line height, also for an empty text.
TextExtent plainTextExtent(const QFont& font, const QString& text);
// The same for anti-aliased drawing; the width may be fractional.
TextExtentF antialiasedTextExtent(const QFont& font, const QString& text);

// Draws one line with its cell's top-left corner at (x, y), without anti-aliasing: every pixel of the
// cell gets `background`, every glyph pixel `text`, all four channels written (no blending).
void drawPlainText(Canvas& canvas, const QFont& font, int x, int y, const QString& text, Rgba textColour,
                   Rgba background);
// Draws one line anti-aliased with its cell's top-left corner at (x, y), blending source-over.
void drawAntialiasedText(Canvas& canvas, const QFont& font, int x, int y, const QString& text, Rgba textColour);

} // namespace draw

#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Colours as the Preferences dialog shows them: six-digit hexadecimal texts, names and swatches.

// The six upper-case digits a colour setting stores; a text of any other length is black, "000000".
QString normalisedHex(const QString& text);

// One of the 19 named colours ("Black", "Orange", ...) from the catalogue, or "Color #80FF00".
QString colourName(const QString& hex);

// The colour of a six-digit text (red, green, blue) and back.
QColor colourOfHex(const QString& hex);
QString hexOfColour(const QColor& colour);

// A swatch of the colour, outlined so that white shows on white.
QIcon colourSwatch(const QString& hex, QSize size);

#pragma once

#include <QFont>
#include <QString>

#include <optional>

namespace draw {

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

// True when fontconfig offers the family itself (or a family bound strongly to that name, such as
// Liberation Sans for "Arial"), not just a fallback face it would use for any unknown name.
bool fontFamilyAvailable(const QString& family);

// The font of that face, points (at 96 pixels per inch, so 14 points is 19 pixels) and style, or
// nothing when the face cannot be loaded, the size is not 1 to 24000 points, or no QGuiApplication
// exists.
std::optional<QFont> loadFont(const QString& family, int points, FontStyle style);

} // namespace draw

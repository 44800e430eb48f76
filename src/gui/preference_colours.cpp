#include "gui/preference_colours.h"

#include "app/message_catalogue.h"
#include "app/settings.h"

#include <QPainter>
#include <QPixmap>

namespace {

struct NamedColour {
    const char* key; // Preferences catalogue key
    const char* hex;
};

constexpr NamedColour namedColours[] = {
    {"Black", "000000"}, {"Silver", "C0C0C0"}, {"Gray", "808080"},    {"White", "FFFFFF"},  {"Maroon", "800000"},
    {"Red", "FF0000"},   {"Purple", "800080"}, {"Fuchsia", "FF00FF"}, {"Green", "008000"},  {"Lime", "00FF00"},
    {"Olive", "808000"}, {"Yellow", "FFFF00"}, {"Navy", "000080"},    {"Blue", "0000FF"},   {"Teal", "008080"},
    {"Aqua", "00FFFF"},  {"Orange", "FF8000"}, {"Brown", "804000"},   {"Violet", "8000FF"},
};

} // namespace

QString normalisedHex(const QString& text)
{
    return hexFromColour(colourFromHex(text));
}

QString colourName(const QString& hex)
{
    const QString wanted = hex.toUpper();
    for (const NamedColour& named : namedColours) {
        if (wanted == QLatin1String(named.hex)) {
            return message(QStringLiteral("Preferences"), QLatin1String(named.key));
        }
    }
    return message(QStringLiteral("Preferences/Color")) + QStringLiteral(" #") + wanted;
}

QColor colourOfHex(const QString& hex)
{
    const std::uint32_t value = colourFromHex(hex);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QString hexOfColour(const QColor& colour)
{
    return hexFromColour(static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8) |
                         (static_cast<std::uint32_t>(colour.blue()) << 16));
}

QIcon colourSwatch(const QString& hex, QSize size)
{
    QPixmap swatch(size);
    swatch.fill(colourOfHex(hex));
    QPainter painter(&swatch);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    return QIcon(swatch);
}

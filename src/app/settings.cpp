#include "app/settings.h"

namespace {

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9') {
        return c.unicode() - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c.unicode() - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c.unicode() - u'A' + 10;
    }
    return -1;
}

// One two-character pair of a colour text, read as hexadecimal up to its first character that
// is not a hexadecimal digit ("5G" reads 5, "GG" reads 0).
std::uint32_t hexPair(QStringView pair)
{
    std::uint32_t value = 0;
    for (const QChar c : pair) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

} // namespace

std::uint32_t colourFromHex(const QString& hex)
{
    if (hex.size() != 6) {
        return 0;
    }
    const QStringView text(hex);
    return hexPair(text.mid(0, 2)) + hexPair(text.mid(2, 2)) * 256 + hexPair(text.mid(4, 2)) * 65536;
}

QString hexFromColour(std::uint32_t colour)
{
    return QStringLiteral("%1%2%3")
        .arg(colour & 0xFFU, 2, 16, QLatin1Char('0'))
        .arg((colour >> 8) & 0xFFU, 2, 16, QLatin1Char('0'))
        .arg((colour >> 16) & 0xFFU, 2, 16, QLatin1Char('0'))
        .toUpper();
}

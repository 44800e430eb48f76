#include "cli/option_values.h"

#include <charconv>
#include <limits>
#include <string>

namespace {

QString parameterAt(const QStringList& parameters, int position)
{
    if (position < 0 || position >= parameters.size()) {
        return {};
    }
    return stripBlanks(parameters.at(position));
}

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = base;
    if (u >= u'0' && u <= u'9') {
        value = u - u'0';
    } else if (u >= u'a' && u <= u'f') {
        value = u - u'a' + 10;
    } else if (u >= u'A' && u <= u'F') {
        value = u - u'A' + 10;
    }
    return value < base ? value : -1;
}

} // namespace

QString stripBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') {
        ++first;
    }
    while (last > first && text[last - 1] == u' ') {
        --last;
    }
    return text.sliced(first, last - first).toString();
}

QString optionName(const QStringList& parameters, int position)
{
    QString name = parameterAt(parameters, position);
    if (!name.startsWith(u'-')) {
        return {};
    }
    if (name.startsWith(QLatin1StringView("--"))) {
        const qsizetype equals = name.indexOf(u'=');
        if (equals >= 0) {
            name.truncate(equals);
        }
    }
    return name.toUpper();
}

QString optionValue(const QStringList& parameters, int position)
{
    QString value = parameterAt(parameters, position);
    if (value.startsWith(QLatin1StringView("--"))) {
        const qsizetype equals = value.indexOf(u'=', 2);
        if (equals >= 0) {
            value.remove(0, equals + 1);
        }
    }
    return value;
}

std::int32_t readNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlankOrTab(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == u'%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic wraps by definition, so any number of digits is safe and the result
    // is the low 32 bits, as a 32-bit setting keeps it.
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0) {
            break;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<std::int32_t>(value);
}

double readReal(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlankOrTab(text[i])) {
        ++i;
    }
    const QString rest = stripBlanks(text.sliced(i)).toUpper();
    if (rest == QLatin1StringView("+INFINITY")) {
        return std::numeric_limits<double>::infinity();
    }
    if (rest == QLatin1StringView("-INFINITY")) {
        return -std::numeric_limits<double>::infinity();
    }
    if (rest == QLatin1StringView("NAN")) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    // The number is a prefix of sign, digits, "." and an exponent; only those characters are
    // handed on, so from_chars never sees its own words for infinity and NaN.
    std::string number;
    qsizetype j = 0;
    bool negative = false;
    if (j < rest.size() && (rest[j] == u'+' || rest[j] == u'-')) {
        negative = rest[j] == u'-';
        ++j;
    }
    for (; j < rest.size(); ++j) {
        const QChar c = rest[j];
        const bool exponentSign = (c == u'+' || c == u'-') && !number.empty() && number.back() == 'E';
        if (!(c.isDigit() && c.unicode() < 128) && c != u'.' && c != u'E' && !exponentSign) {
            break;
        }
        number.push_back(static_cast<char>(c.unicode()));
    }
    if (number.empty() || !(number.front() == '.' || (number.front() >= '0' && number.front() <= '9'))) {
        return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc{} && result.ec != std::errc::result_out_of_range) {
        return 0.0;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Only a digit run of absurd length gets here: it is too large or too small for a real.
        value = number.find('E') == std::string::npos || number.find("E-") == std::string::npos
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    }
    return negative ? -value : value;
}

#include "cli/option_warnings.h"

#include "cli/keywords.h"
#include "cli/option_values.h"
#include "engine/formats/format_catalogue.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

// A name this far from a known one is taken for a typing mistake of it. Every short option is one
// letter away from every other, so a short name gets no hint.
int tolerableDistance(QStringView name)
{
    if (name.size() <= 2) {
        return 0;
    }
    return name.size() <= 4 ? 1 : 2;
}

// The candidate nearest to `typed` within the tolerable distance; empty when there is none.
QString nearest(QStringView typed, const QStringList& candidates)
{
    QString best;
    int bestDistance = tolerableDistance(typed) + 1;
    for (const QString& candidate : candidates) {
        const int distance = editDistance(typed, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

QStringList knownOptionNames()
{
    QStringList names;
    for (const OptionSpec& option : optionTable()) {
        names << option.longName.toLower();
        if (!option.shortName.isEmpty()) {
            names << option.shortName.toLower();
        }
    }
    return names;
}

QString didYouMean(const QString& suggestion)
{
    return suggestion.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(suggestion);
}

// A whole number by the integer rule: optional blanks and sign, then decimal digits, "$" and
// hexadecimal digits or "%" and binary digits, and nothing after them.
bool isWholeNumber(const QString& value)
{
    static const QRegularExpression number(QStringLiteral("^[ \\t]*[+-]?([0-9]+|\\$[0-9A-Fa-f]+|%[01]+)[ ]*$"));
    return number.match(value).hasMatch();
}

bool isRealNumber(const QString& value)
{
    static const QRegularExpression number(
        QStringLiteral(
            "^[ \\t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?[ ]*$|^[ \\t]*([+-]infinity|nan)[ ]*$"),
        QRegularExpression::CaseInsensitiveOption);
    return number.match(value).hasMatch();
}

QString rangeText(const SettingRange& range)
{
    return QString::number(range.minimum) + QStringLiteral("..") + QString::number(range.maximum);
}

// The output format an option belongs to ("png" for --png-compression), empty for others.
QString formatKeyOf(const OptionSpec& option)
{
    for (const OutputFormat& format : outputFormatTable()) {
        if (option.longName.startsWith(QStringLiteral("--") + format.key.toUpper() + u'-')) {
            return format.key;
        }
    }
    return {};
}

// A keyword of the shared compression table that names nothing in the option's own format
// ("--png-compression=lzw").
std::optional<QString> choiceWarning(const OptionSpec& option, std::int32_t number, const QString& subject)
{
    const SettingRange& range = option.setting->valid;
    if (!range.declared() || (number >= range.minimum && number <= range.maximum)) {
        return std::nullopt;
    }
    QStringList choices;
    const QString formatKey = formatKeyOf(option);
    for (auto choice = static_cast<std::int32_t>(range.minimum); choice <= range.maximum; ++choice) {
        choices << keywordText(option.keywords, choice, formatKey);
    }
    return QStringLiteral("%1 is not one of %2 for this option; used as given")
        .arg(subject, choices.join(QStringLiteral(", ")));
}

std::optional<QString> keywordWarning(const OptionSpec& option, const QString& value, const QString& subject)
{
    const QStringList keywords = keywordNames(option.keywords);
    if (keywords.contains(value.toUpper())) {
        return option.setting != nullptr ? choiceWarning(option, keywordValue(option.keywords, value), subject)
                                         : std::nullopt;
    }
    QStringList lower;
    for (const QString& keyword : keywords) {
        lower << keyword.toLower();
    }
    const QString fallback = keywordText(option.keywords, 0);
    return QStringLiteral("%1 is not one of %2%3; using %4")
        .arg(subject, lower.join(QStringLiteral(", ")), didYouMean(nearest(value.toLower(), lower)),
             fallback.isEmpty() ? QStringLiteral("0") : fallback);
}

// A bit depth that is neither 0 (automatic) nor one the option's format can write.
std::optional<QString> bitDepthWarning(const OptionSpec& option, std::int32_t depth, const QString& subject)
{
    for (const OutputFormat& format : outputFormatTable()) {
        if (format.bitDepthSetting != option.setting) {
            continue;
        }
        const std::vector<int> depths = readBitDepths(format.bitDepths);
        if (depth == 0 || std::find(depths.begin(), depths.end(), depth) != depths.end()) {
            return std::nullopt;
        }
        QStringList names{QStringLiteral("0")};
        for (const int allowed : depths) {
            names << QString::number(allowed);
        }
        return QStringLiteral("%1 is not one of %2; used as given").arg(subject, names.join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

std::optional<QString> numberWarning(const OptionSpec& option, const QString& value, const QString& subject)
{
    const bool real = option.kind == OptionKind::Real;
    if (!(real ? isRealNumber(value) : isWholeNumber(value))) {
        const QString used = real ? QString::number(readReal(value)) : QString::number(readNumber(value));
        return QStringLiteral("%1 is not a number; using %2").arg(subject, used);
    }
    const SettingRange& range = option.setting->valid;
    const double number = real ? readReal(value) : readNumber(value);
    if (range.declared() && !(number >= range.minimum && number <= range.maximum)) {
        return QStringLiteral("%1 is outside %2; used as given").arg(subject, rangeText(range));
    }
    return real ? std::nullopt : bitDepthWarning(option, readNumber(value), subject);
}

std::optional<QString> colourWarning(const QString& value, const QString& subject)
{
    static const QRegularExpression colour(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (colour.match(value).hasMatch()) {
        return std::nullopt;
    }
    return QStringLiteral("%1 is not a colour of six hexadecimal digits RRGGBB; using black (000000)").arg(subject);
}

} // namespace

int editDistance(QStringView a, QStringView b)
{
    const auto rows = static_cast<std::size_t>(a.size()) + 1;
    const auto columns = static_cast<std::size_t>(b.size()) + 1;
    std::vector<int> d(rows * columns);
    const auto at = [columns, &d](std::size_t i, std::size_t j) -> int& { return d[i * columns + j]; };
    for (std::size_t i = 0; i < rows; ++i) {
        at(i, 0) = static_cast<int>(i);
    }
    for (std::size_t j = 0; j < columns; ++j) {
        at(0, j) = static_cast<int>(j);
    }
    for (std::size_t i = 1; i < rows; ++i) {
        for (std::size_t j = 1; j < columns; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
            }
        }
    }
    return at(rows - 1, columns - 1);
}

QString nearestOptionName(QStringView typedName)
{
    static const QStringList names = knownOptionNames();
    return nearest(typedName.toString().toLower(), names);
}

QString unknownOptionWarning(const QString& parameter)
{
    const QString typed = stripBlanks(parameter);
    const qsizetype equals = typed.indexOf(u'=');
    const QString name = equals < 0 ? typed : typed.left(equals);
    if (const OptionSpec* option = findOption(name.toUpper()); option != nullptr) {
        // "-c=jpg": a short option takes its value as the next parameter.
        return QStringLiteral("unknown option %1 (did you mean %2 %3?)")
            .arg(typed, name.toLower(), typed.mid(equals + 1));
    }
    static const QStringList firstOnly{QStringLiteral("-v"), QStringLiteral("--version"), QStringLiteral("-h"),
                                       QStringLiteral("-?"), QStringLiteral("--help"),    QStringLiteral("-u"),
                                       QStringLiteral("-t")};
    if (firstOnly.contains(name.toLower())) {
        return QStringLiteral("%1 acts only as the first parameter; ignored").arg(typed);
    }
    return QStringLiteral("unknown option %1%2").arg(name, didYouMean(nearestOptionName(name)));
}

QString strayParameterWarning(const QString& parameter)
{
    return QStringLiteral("ignoring %1: not an option, and no such file or folder").arg(parameter);
}

QString unknownProfileKeyWarning(const QString& key, const QString& profilePath)
{
    return QStringLiteral("unknown key %1 in profile %2%3").arg(key, profilePath, didYouMean(nearestOptionName(key)));
}

std::optional<QString> valueWarning(const OptionSpec& option, const QString& value, const QString& subject)
{
    switch (option.kind) {
    case OptionKind::Keyword:
        return keywordWarning(option, value, subject);
    case OptionKind::Number:
    case OptionKind::Real:
        return option.setting != nullptr ? numberWarning(option, value, subject) : std::nullopt;
    case OptionKind::Text:
        return option.valueHint == u"RRGGBB" ? colourWarning(value, subject) : std::nullopt;
    default:
        return std::nullopt;
    }
}

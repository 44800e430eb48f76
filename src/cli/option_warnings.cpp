#include "cli/option_warnings.h"

#include "cli/keywords.h"
#include "cli/option_values.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/run_checks.h"

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

// A keyword the option takes for a choice outside the setting's range ("--tiff-color-model=lab",
// which the dialog does not offer and the writer takes for RGB).
std::optional<Warning> choiceWarning(const OptionSpec& option, std::int32_t number, const QString& subject)
{
    const SettingRange& range = option.setting->valid;
    if (!range.declared() || (number >= range.minimum && number <= range.maximum)) {
        return std::nullopt;
    }
    QStringList choices;
    for (auto choice = static_cast<std::int32_t>(range.minimum); choice <= range.maximum; ++choice) {
        choices << keywordText(optionChoices(option), choice);
    }
    return Warning{
        QStringLiteral("%1 is not one of %2 for this option").arg(subject, choices.join(QStringLiteral(", "))),
        QStringLiteral("used as given")};
}

std::optional<Warning> keywordWarning(const OptionSpec& option, const QString& value, const QString& subject)
{
    const QStringList keywords = optionKeywords(option);
    if (keywords.contains(value.toUpper())) {
        return option.setting != nullptr ? choiceWarning(option, optionKeywordValue(option, value), subject)
                                         : std::nullopt;
    }
    QStringList lower;
    for (const QString& keyword : keywords) {
        lower << keyword.toLower();
    }
    const QString fallback = keywords.isEmpty() ? QString() : lower.first();
    return Warning{QStringLiteral("%1 is not one of %2%3")
                       .arg(subject, lower.join(QStringLiteral(", ")), didYouMean(nearest(value.toLower(), lower))),
                   QStringLiteral("using ") + (fallback.isEmpty() ? QStringLiteral("0") : fallback)};
}

// A bit depth that is neither 0 (automatic) nor one the option's format can write.
std::optional<Warning> bitDepthWarning(const OptionSpec& option, std::int32_t depth, const QString& subject)
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
        return Warning{QStringLiteral("%1 is not one of %2").arg(subject, names.join(QStringLiteral(", "))),
                       QStringLiteral("used as given")};
    }
    return std::nullopt;
}

// Whether the checks before a run refuse this value of the option's setting where it is used (the
// JPEG quality for -c jpg, a format's bit depth, brightness, contrast, gamma). The run's error line
// then names it; a warning that it is "used as given" would contradict that. The checks are asked
// with the value in place, so that they stay the one place that knows their ranges.
bool refusedByRunChecks(const OptionSpec& option, const QString& value)
{
    Settings probe;
    resetToDefaults(probe, true);
    applySetting(option, value, probe);
    if (const OutputFormat* format = optionFormat(option); format != nullptr && checkOutputFormat(probe, format->key)) {
        return true;
    }
    return static_cast<bool>(checkColourCorrection(probe));
}

std::optional<Warning> numberWarning(const OptionSpec& option, const QString& value, const QString& subject)
{
    // Text that is not a number is named whatever the checks make of the number read from it: an
    // error line that names only that number ("--gamma=0 is outside ...") hides what was typed.
    const bool real = option.kind == OptionKind::Real;
    if (!(real ? isRealNumber(value) : isWholeNumber(value))) {
        const QString used = real ? QString::number(readReal(value)) : QString::number(readNumber(value));
        return Warning{subject + QStringLiteral(" is not a number"), QStringLiteral("using ") + used};
    }
    if (refusedByRunChecks(option, value)) {
        return std::nullopt;
    }
    const SettingRange& range = option.setting->valid;
    const double number = real ? readReal(value) : readNumber(value);
    if (range.declared() && !(number >= range.minimum && number <= range.maximum)) {
        return Warning{QStringLiteral("%1 is outside %2").arg(subject, rangeText(range)),
                       QStringLiteral("used as given")};
    }
    return real ? std::nullopt : bitDepthWarning(option, readNumber(value), subject);
}

std::optional<Warning> colourWarning(const QString& value, const QString& subject)
{
    static const QRegularExpression colour(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (colour.match(value).hasMatch()) {
        return std::nullopt;
    }
    return Warning{subject + QStringLiteral(" is not a colour of six hexadecimal digits RRGGBB"),
                   QStringLiteral("using black (000000)")};
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

QString Warning::text() const
{
    return consequence.isEmpty() ? problem : problem + QStringLiteral("; ") + consequence;
}

Warning unknownOptionWarning(const QString& parameter)
{
    const QString typed = stripBlanks(parameter);
    const qsizetype equals = typed.indexOf(u'=');
    const QString name = equals < 0 ? typed : typed.left(equals);
    if (const OptionSpec* option = findOption(name.toUpper()); option != nullptr) {
        // "-c=jpg": a short option takes its value as the next parameter.
        return {
            QStringLiteral("unknown option %1 (did you mean %2 %3?)").arg(typed, name.toLower(), typed.mid(equals + 1)),
            {}};
    }
    static const QStringList firstOnly{QStringLiteral("-v"), QStringLiteral("--version"), QStringLiteral("-h"),
                                       QStringLiteral("-?"), QStringLiteral("--help"),    QStringLiteral("-u"),
                                       QStringLiteral("-t")};
    if (firstOnly.contains(name.toLower())) {
        return {typed + QStringLiteral(" acts only as the first parameter"), QStringLiteral("ignored")};
    }
    return {QStringLiteral("unknown option %1%2").arg(name, didYouMean(nearestOptionName(name))), {}};
}

Warning strayParameterWarning(const QString& parameter)
{
    return {parameter + QStringLiteral(" is not an option, and no such file or folder"), QStringLiteral("ignored")};
}

Warning unknownProfileKeyWarning(const QString& key, const QString& profilePath)
{
    return {QStringLiteral("unknown key %1 in profile %2%3").arg(key, profilePath, didYouMean(nearestOptionName(key))),
            {}};
}

std::optional<Warning> valueWarning(const OptionSpec& option, const QString& value, const QString& subject)
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

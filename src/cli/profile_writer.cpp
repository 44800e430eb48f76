#include "cli/profile_writer.h"

#include "app/settings_table.h"
#include "cli/keywords.h"
#include "cli/option_table.h"
#include "cli/profile.h"

#include <QRegularExpression>
#include <QSize>

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace {

Settings consoleDefaults()
{
    Settings defaults;
    resetToDefaults(defaults, true, QSize());
    return defaults;
}

bool differs(const Settings& settings, const Settings& defaults, const SettingDescriptor& setting)
{
    return settingToText(settings, setting) != settingToText(defaults, setting);
}

// The option's value text for the setting's current value; nothing when no text says it (a
// number its list of choices does not name, a switch set the other way).
std::optional<ConsoleSetting> sayOption(const OptionSpec& option, const Settings& settings)
{
    ConsoleSetting said{option.longName, option.profileName(), {}, option.takesValue()};
    const SettingDescriptor& setting = *option.setting;
    switch (option.kind) {
    case OptionKind::Keyword:
        said.value = keywordText(optionChoices(option), settingInteger(settings, setting));
        if (said.value.isEmpty()) {
            return std::nullopt;
        }
        break;
    case OptionKind::Number:
        said.value = QString::number(settingInteger(settings, setting));
        break;
    case OptionKind::Real:
    case OptionKind::Text:
        said.value = settingToText(settings, setting);
        break;
    case OptionKind::Switch:
        if (settingInteger(settings, setting) != option.switchValue) {
            return std::nullopt;
        }
        break;
    default:
        return std::nullopt;
    }
    return said;
}

bool enablesCurrentStep(const OptionSpec& option, const Settings& settings)
{
    return option.enables == nullptr || settingInteger(settings, *option.enables) == option.enableValue;
}

bool readByTheRun(const OptionSpec& option, const Settings& settings)
{
    return option.readOnlyWhen == nullptr || settingInteger(settings, *option.readOnlyWhen) == option.readOnlyWhenValue;
}

} // namespace

std::vector<ConsoleSetting> consoleSettings(const Settings& settings)
{
    const Settings defaults = consoleDefaults();
    std::vector<ConsoleSetting> said;
    // The steps an option of the list turns on, as (Do setting, value).
    std::set<std::pair<const SettingDescriptor*, int>> turnedOn;
    for (const OptionSpec& option : optionTable()) {
        if (!option.isSetting() || option.setting == nullptr || !differs(settings, defaults, *option.setting) ||
            !enablesCurrentStep(option, settings) || !readByTheRun(option, settings)) {
            continue;
        }
        if (auto one = sayOption(option, settings)) {
            said.push_back(std::move(*one));
            if (option.enables != nullptr) {
                turnedOn.insert({option.enables, option.enableValue});
            }
        }
    }
    // A step that is on with all its values at their defaults: its first option turns it on.
    for (const OptionSpec& option : optionTable()) {
        if (option.enables == nullptr || !enablesCurrentStep(option, settings) ||
            !differs(settings, defaults, *option.enables) || turnedOn.contains({option.enables, option.enableValue})) {
            continue;
        }
        if (auto one = sayOption(option, settings)) {
            said.push_back(std::move(*one));
            turnedOn.insert({option.enables, option.enableValue});
        }
    }
    return said;
}

QByteArray profileText(const Settings& settings)
{
    QString text = QStringLiteral("[CLI]\r\n");
    for (const ConsoleSetting& setting : consoleSettings(settings)) {
        text += setting.profileKey;
        if (setting.hasValue) {
            // The mask keeps blanks at its ends only between double quotes.
            const bool mask = setting.name == QLatin1String("--FILENAME-MASK");
            text +=
                QStringLiteral(" = ") + (mask ? QLatin1Char('"') + setting.value + QLatin1Char('"') : setting.value);
        }
        text += QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString applyProfile(const QString& path, Settings& settings)
{
    Settings loaded = settings;
    const Settings defaults = consoleDefaults();
    for (const OptionSpec& option : optionTable()) {
        for (const SettingDescriptor* setting : {option.isSetting() ? option.setting : nullptr, option.enables}) {
            if (setting != nullptr) {
                setSettingFromText(loaded, *setting, settingToText(defaults, *setting));
            }
        }
    }
    RunLimits limits;
    if (const ConsoleError error = loadProfile(path, loaded, limits); !error.isEmpty()) {
        return error.text;
    }
    settings = std::move(loaded);
    return {};
}

QString shellQuoted(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(word).hasMatch()) {
        return word;
    }
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString consoleCommandLine(const QString& program, const QString& input, const QString& outputFolder,
                           const QString& outputKey, const Settings& settings)
{
    QStringList words{program,      QStringLiteral("-i"), input,    QStringLiteral("-o"),
                      outputFolder, QStringLiteral("-c"), outputKey};
    for (const ConsoleSetting& setting : consoleSettings(settings)) {
        const QString name = setting.name.toLower();
        words << (setting.hasValue ? name + QLatin1Char('=') + setting.value : name);
    }
    std::transform(words.begin(), words.end(), words.begin(), shellQuoted);
    return words.join(QLatin1Char(' '));
}

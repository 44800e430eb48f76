#include "cli/option_reference.h"

#include "app/settings_table.h"
#include "cli/option_table.h"
#include "engine/formats/format_catalogue.h"

namespace {

struct GroupTitle {
    OptionGroup group;
    const char* title;
};

constexpr GroupTitle groupTitles[] = {
    {OptionGroup::Main, "Input, output and format"},
    {OptionGroup::Input, "Reading input"},
    {OptionGroup::Output, "Output formats"},
    {OptionGroup::Transform, "Rotation, size and flips"},
    {OptionGroup::Adjustment, "Colour"},
    {OptionGroup::Frame, "Frame"},
    {OptionGroup::Watermark, "Watermark"},
    {OptionGroup::Advanced, "File names, times, folders and profiles"},
    {OptionGroup::Batches, "Batches: plans, reports, incremental and sharded runs"},
    {OptionGroup::Other, "Console"},
};

QStringList optionForms(const OptionSpec& option)
{
    const bool takesValue = option.takesValue();
    QStringList forms;
    if (!option.shortName.isEmpty()) {
        forms << option.shortName.toLower() + (takesValue ? u' ' + option.valueName() : QString());
    }
    forms << option.longName.toLower() + (takesValue ? u'=' + option.valueName() : QString());
    return forms;
}

QString numberText(double value)
{
    return QString::number(value);
}

// The values an option accepts: its keywords, its format's bit depths or its declared range.
QString valuesOf(const OptionSpec& option)
{
    if (option.kind == OptionKind::Keyword) {
        return optionKeywords(option).join(QStringLiteral(", "));
    }
    if (option.kind == OptionKind::Conversion) {
        return outputFormatList().join(QStringLiteral(", "));
    }
    if (option.setting == nullptr || (option.kind != OptionKind::Number && option.kind != OptionKind::Real)) {
        return {};
    }
    if (const OutputFormat* format = optionFormat(option); format != nullptr && format->bitDepthSetting == option.setting) {
        QStringList depths{QStringLiteral("0")};
        for (const int depth : readBitDepths(format->bitDepths)) {
            depths << QString::number(depth);
        }
        return depths.join(QStringLiteral(", "));
    }
    const SettingRange& range = option.setting->valid;
    return range.declared() ? numberText(range.minimum) + QStringLiteral("..") + numberText(range.maximum) : QString();
}

// A setting's value in a console run that does not name it, as the option would write it.
QString settingDefault(const OptionSpec& option, const Settings& defaults)
{
    const SettingDescriptor& setting = *option.setting;
    switch (option.kind) {
    case OptionKind::Switch:
        return settingInteger(defaults, setting) == option.switchValue ? QStringLiteral("on") : QStringLiteral("off");
    case OptionKind::Keyword: {
        const QString keyword = keywordText(optionChoices(option), settingInteger(defaults, setting));
        return keyword.isEmpty() ? settingToText(defaults, setting) : keyword.toUpper();
    }
    case OptionKind::Real:
        return numberText(QString(settingToText(defaults, setting)).toDouble());
    default:
        return settingToText(defaults, setting);
    }
}

QString defaultOf(const OptionSpec& option, const Settings& defaults)
{
    if (option.setting == nullptr) {
        if (!option.defaultText.isEmpty()) {
            return option.defaultText;
        }
        return option.takesValue() ? QString() : QStringLiteral("off");
    }
    if (option.setting->rule == DefaultRule::Now) {
        return QStringLiteral("the time of the run");
    }
    const QString value = settingDefault(option, defaults);
    // An option that switches its step on shows the step off, with the value it would start from.
    if (option.kind != OptionKind::Switch && option.enables != nullptr &&
        settingInteger(defaults, *option.enables) != option.enableValue) {
        return value.isEmpty() || value == u"0" ? QStringLiteral("off") : value + QStringLiteral(" (off)");
    }
    return value.isEmpty() ? QStringLiteral("none") : value;
}

QString quotedEach(const QStringList& forms, const QString& open, const QString& close)
{
    QStringList quoted;
    for (const QString& form : forms) {
        quoted << open + form + close;
    }
    return quoted.join(QStringLiteral(", "));
}

} // namespace

std::vector<ReferenceGroup> optionReferenceGroups()
{
    Settings defaults;
    resetToDefaults(defaults, true);
    std::vector<ReferenceGroup> groups;
    for (const GroupTitle& title : groupTitles) {
        ReferenceGroup group{QString::fromUtf8(title.title), {}};
        for (const OptionSpec& option : optionTable()) {
            if (option.group == title.group) {
                group.entries.push_back({optionForms(option), valuesOf(option), defaultOf(option, defaults),
                                         option.help, option.profileKey});
            }
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

QString optionReference()
{
    QString text;
    for (const ReferenceGroup& group : optionReferenceGroups()) {
        text += QStringLiteral("#### ") + group.title + QStringLiteral("\n\n");
        text += QStringLiteral("| Option | Values | Default | What it does |\n|---|---|---|---|\n");
        for (const ReferenceEntry& entry : group.entries) {
            QString help = entry.help;
            if (!entry.profileKey.isEmpty()) {
                help += QStringLiteral(" (profile key `") + entry.profileKey + QStringLiteral("`)");
            }
            help.replace(u'|', QStringLiteral("\\|"));
            text += QStringLiteral("| ") + quotedEach(entry.forms, QStringLiteral("`"), QStringLiteral("`")) +
                    QStringLiteral(" | ") + entry.values + QStringLiteral(" | ") +
                    QString(entry.defaultValue).replace(u'|', QStringLiteral("\\|")) + QStringLiteral(" | ") + help +
                    QStringLiteral(" |\n");
        }
        text += u'\n';
    }
    return text;
}

QString optionReferenceHtml()
{
    QString text;
    for (const ReferenceGroup& group : optionReferenceGroups()) {
        text += QStringLiteral("<h4>") + group.title.toHtmlEscaped() + QStringLiteral("</h4>\n");
        text += QStringLiteral("<table class=\"options\">\n<tr><th>Option</th><th>Values</th><th>Default</th>"
                               "<th>What it does</th></tr>\n");
        for (const ReferenceEntry& entry : group.entries) {
            QStringList forms;
            for (const QString& form : entry.forms) {
                forms << form.toHtmlEscaped();
            }
            QString help = entry.help.toHtmlEscaped();
            if (!entry.profileKey.isEmpty()) {
                help += QStringLiteral(" (profile key <code>") + entry.profileKey.toHtmlEscaped() +
                        QStringLiteral("</code>)");
            }
            text += QStringLiteral("<tr><td>") +
                    quotedEach(forms, QStringLiteral("<code>"), QStringLiteral("</code>")) +
                    QStringLiteral("</td><td>") + entry.values.toHtmlEscaped() + QStringLiteral("</td><td>") +
                    entry.defaultValue.toHtmlEscaped() + QStringLiteral("</td><td>") + help +
                    QStringLiteral("</td></tr>\n");
        }
        text += QStringLiteral("</table>\n");
    }
    return text;
}

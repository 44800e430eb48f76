#include "cli/option_reference.h"

#include "cli/option_table.h"

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

QString valueHint(const OptionSpec& option)
{
    if (!option.valueHint.isEmpty()) {
        return option.valueHint;
    }
    switch (option.kind) {
    case OptionKind::Number:
    case OptionKind::Real:
    case OptionKind::Threads:
        return QStringLiteral("NUM");
    case OptionKind::Keyword:
        return QStringLiteral("KEY");
    default:
        return QStringLiteral("TEXT");
    }
}

QStringList optionForms(const OptionSpec& option)
{
    const bool takesValue = option.takesValue();
    QStringList forms;
    if (!option.shortName.isEmpty()) {
        forms << option.shortName.toLower() + (takesValue ? u' ' + valueHint(option) : QString());
    }
    forms << option.longName.toLower() + (takesValue ? u'=' + valueHint(option) : QString());
    return forms;
}

QString keywordsOf(const OptionSpec& option)
{
    if (option.kind != OptionKind::Keyword) {
        return QString();
    }
    if (option.keywords == KeywordTable::Compression) {
        return QStringLiteral("see the description");
    }
    return keywordNames(option.keywords).join(QStringLiteral(", "));
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
    std::vector<ReferenceGroup> groups;
    for (const GroupTitle& title : groupTitles) {
        ReferenceGroup group{QString::fromUtf8(title.title), {}};
        for (const OptionSpec& option : optionTable()) {
            if (option.group == title.group) {
                group.entries.push_back({optionForms(option), keywordsOf(option), option.help, option.profileKey});
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
        text += QStringLiteral("| Option | Keywords | What it does |\n|---|---|---|\n");
        for (const ReferenceEntry& entry : group.entries) {
            QString help = entry.help;
            if (!entry.profileKey.isEmpty()) {
                help += QStringLiteral(" (profile key `") + entry.profileKey + QStringLiteral("`)");
            }
            help.replace(u'|', QStringLiteral("\\|"));
            text += QStringLiteral("| ") + quotedEach(entry.forms, QStringLiteral("`"), QStringLiteral("`")) +
                    QStringLiteral(" | ") + entry.keywords + QStringLiteral(" | ") + help + QStringLiteral(" |\n");
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
        text += QStringLiteral("<table class=\"options\">\n<tr><th>Option</th><th>Keywords</th><th>What it "
                               "does</th></tr>\n");
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
                    QStringLiteral("</td><td>") + entry.keywords.toHtmlEscaped() + QStringLiteral("</td><td>") + help +
                    QStringLiteral("</td></tr>\n");
        }
        text += QStringLiteral("</table>\n");
    }
    return text;
}

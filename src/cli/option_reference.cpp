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

QString optionCell(const OptionSpec& option)
{
    const QString longName = option.longName.toLower();
    const bool takesValue = option.kind != OptionKind::Switch && option.kind != OptionKind::Debug &&
                            option.kind != OptionKind::Quiet && option.kind != OptionKind::Pause;
    QString cell;
    if (!option.shortName.isEmpty()) {
        cell = u'`' + option.shortName.toLower() + (takesValue ? u' ' + valueHint(option) : QString()) +
               QStringLiteral("`, ");
    }
    cell += u'`' + longName + (takesValue ? u'=' + valueHint(option) : QString()) + u'`';
    return cell;
}

QString valuesCell(const OptionSpec& option)
{
    if (option.kind != OptionKind::Keyword) {
        return QString();
    }
    if (option.keywords == KeywordTable::Compression) {
        return QStringLiteral("see the description");
    }
    return keywordNames(option.keywords).join(QStringLiteral(", "));
}

} // namespace

QString optionReference()
{
    QString text;
    for (const GroupTitle& title : groupTitles) {
        text += QStringLiteral("#### ") + QString::fromUtf8(title.title) + QStringLiteral("\n\n");
        text += QStringLiteral("| Option | Keywords | What it does |\n|---|---|---|\n");
        for (const OptionSpec& option : optionTable()) {
            if (option.group != title.group) {
                continue;
            }
            QString help = option.help;
            if (!option.profileKey.isEmpty()) {
                help += QStringLiteral(" (profile key `") + option.profileKey + QStringLiteral("`)");
            }
            help.replace(u'|', QStringLiteral("\\|"));
            text += QStringLiteral("| ") + optionCell(option) + QStringLiteral(" | ") + valuesCell(option) +
                    QStringLiteral(" | ") + help + QStringLiteral(" |\n");
        }
        text += u'\n';
    }
    return text;
}

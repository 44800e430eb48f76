#include "engine/core/output_naming.h"

#include <QDateTime>

#include <array>
#include <functional>

namespace {

// Upper-cases the first character (a whole surrogate pair when it is one) and lower-cases the rest.
QString titleCase(const QString& text)
{
    if (text.isEmpty()) {
        return text;
    }
    const qsizetype head = (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate()) ? 2 : 1;
    return text.left(head).toUpper() + text.mid(head).toLower();
}

// Five characters: shorter numbers padded with "0", longer ones cut to their first five.
QString padded(std::int32_t value)
{
    return QString::number(value).rightJustified(5, QLatin1Char('0'), true);
}

// The input name without folder and extension, letter case kept.
QString baseName(const QString& inputPath)
{
    const qsizetype slash = std::max(inputPath.lastIndexOf(QLatin1Char('/')), inputPath.lastIndexOf(QLatin1Char('\\')));
    QString name = inputPath.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name;
}

// Each date placeholder reads the clock when its turn comes, as the mask is processed.
QString clockField(const QString& format)
{
    return QDateTime::currentDateTime().toString(format);
}

struct Placeholder {
    const char* name;
    std::function<QString(const JobState&)> value;
};

// The placeholders in the order they are replaced.
const std::array<Placeholder, 18>& placeholders()
{
    static const std::array<Placeholder, 18> table{{
        {"%filename%", [](const JobState& job) { return baseName(job.file.inputPath); }},
        {"%filename[u]%", [](const JobState& job) { return baseName(job.file.inputPath).toUpper(); }},
        {"%filename[l]%", [](const JobState& job) { return baseName(job.file.inputPath).toLower(); }},
        {"%filename[t]%", [](const JobState& job) { return titleCase(baseName(job.file.inputPath)); }},
        {"%ext%", [](const JobState& job) { return job.outputKey; }},
        {"%ext[u]%", [](const JobState& job) { return job.outputKey.toUpper(); }},
        {"%ext[t]%", [](const JobState& job) { return titleCase(job.outputKey); }},
        {"%yyyy%", [](const JobState&) { return clockField(QStringLiteral("yyyy")); }},
        {"%mm%", [](const JobState&) { return clockField(QStringLiteral("MM")); }},
        {"%dd%", [](const JobState&) { return clockField(QStringLiteral("dd")); }},
        {"%hh%", [](const JobState&) { return clockField(QStringLiteral("HH")); }},
        {"%ii%", [](const JobState&) { return clockField(QStringLiteral("mm")); }},
        {"%ss%", [](const JobState&) { return clockField(QStringLiteral("ss")); }},
        {"%bpp%", [](const JobState& job) { return QString::number(job.file.pageBpp); }},
        {"%width%", [](const JobState& job) { return QString::number(job.file.imageWidth); }},
        {"%height%", [](const JobState& job) { return QString::number(job.file.imageHeight); }},
        {"%rnd%", [](const JobState& job) { return padded(job.file.randomValue); }},
        {"%n%", [](const JobState& job) { return padded(job.file.counterValue); }},
    }};
    return table;
}

} // namespace

QString outputFileName(const Settings& settings, const JobState& job)
{
    QString mask = settings.advanced.filenameMask.toLower();
    if (mask.isEmpty()) {
        mask = QStringLiteral("%filename%.%ext%");
    }
    // The mask is scanned as it is at each turn, so a value holding a later placeholder's text
    // (an input named "%n%.tif") has it replaced when that placeholder comes.
    for (const Placeholder& placeholder : placeholders()) {
        const QString name = QLatin1String(placeholder.name);
        if (mask.contains(name, Qt::CaseInsensitive)) {
            mask.replace(name, placeholder.value(job), Qt::CaseInsensitive);
        }
    }
    return mask;
}

QString outputFilePath(const Settings& settings, const JobState& job)
{
    QString path = job.outputFolder;
    if (settings.advanced.keepSubfolders != 0) {
        path += job.file.subfolder;
    }
    return path + outputFileName(settings, job);
}

QString filenameMaskEscape(const QString& mask)
{
    // Any value will do for the placeholders: only the mask's own "/" separate its components.
    QString name = mask;
    for (const Placeholder& placeholder : placeholders()) {
        name.replace(QLatin1String(placeholder.name), QStringLiteral("x"), Qt::CaseInsensitive);
    }
    if (name.startsWith(QLatin1Char('/'))) {
        return QStringLiteral("the mask %1 begins with \"/\": names made from it would leave the output folder")
            .arg(mask);
    }
    if (climbsOutOfFolder(name)) {
        return QStringLiteral("the mask %1 has a \"..\" component: names made from it would leave the output folder")
            .arg(mask);
    }
    return {};
}

bool climbsOutOfFolder(const QString& relativePath)
{
    return relativePath.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

bool usesRunCounters(const QString& text)
{
    return text.contains(QLatin1String("%n%"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("%rnd%"), Qt::CaseInsensitive);
}

QString expandWatermarkText(const Settings& settings, const JobState& job)
{
    QString text = settings.watermark.text;
    if (text.count(QLatin1Char('%')) < 2) {
        return text;
    }
    // Which placeholders to replace is decided on the text as written, not on inserted values.
    const QString lowerText = text.toLower();
    for (const Placeholder& placeholder : placeholders()) {
        const QString name = QLatin1String(placeholder.name);
        if (lowerText.contains(name)) {
            text.replace(name, placeholder.value(job), Qt::CaseInsensitive);
        }
    }
    return text;
}

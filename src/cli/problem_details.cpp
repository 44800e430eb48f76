#include "cli/problem_details.h"

#include "app/settings_table.h"
#include "cli/list_files.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString indent = QStringLiteral("  ");

// A folder as the user reads it: absolute, without the trailing "/" the program keeps.
QString shownFolder(const QString& folder)
{
    QString shown = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    return shown.isEmpty() ? folder : shown;
}

// ".tif and .tiff", from the catalogue.
QString inputExtensionsText()
{
    QStringList dotted;
    for (const QString& extension : inputExtensionList()) {
        dotted << u'.' + extension;
    }
    const QString last = dotted.isEmpty() ? QString() : dotted.takeLast();
    return dotted.isEmpty() ? last : dotted.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

bool looksLikeGlob(const QString& path)
{
    return path.contains(u'*') || path.contains(u'?') || path.contains(u'[');
}

// Why a path named as an input file is not one.
QString inputFileDetail(const QString& given)
{
    const QFileInfo info(given);
    const QString shown = shownFolder(given);
    if (!info.exists()) {
        // The shell passes a pattern that matched nothing as it was typed.
        return looksLikeGlob(given) ? indent + QStringLiteral("no file matches ") + given
                                    : indent + shown + QStringLiteral(" does not exist");
    }
    if (info.isDir()) {
        return indent + shown +
               QStringLiteral(" is a folder; a name with a dot is taken for a file, so end it with \"/\": -i %1/")
                   .arg(given);
    }
    if (!info.isFile()) {
        return indent + shown + QStringLiteral(" is not a regular file");
    }
    return indent + shown + QStringLiteral(" is empty (0 bytes)");
}

// A folder refused for beginning with "..", and the full path that names it.
QString parentFolderDetail(const QString& given, const char* option)
{
    return indent + QStringLiteral("%1 begins with \"..\", which is refused; give its full path: %2 %3")
                        .arg(given, QLatin1StringView(option), shownFolder(given));
}

QString missingFolderDetail(const QString& folder, bool output)
{
    // Without the trailing "/", which a file does not take.
    const QString shown = shownFolder(folder);
    const QFileInfo info(shown);
    if (info.exists()) {
        return indent + shown + QStringLiteral(" is a file, not a folder");
    }
    if (output) {
        return indent + shown +
               QStringLiteral(" does not exist; create it first (Tessaline never creates the output folder)");
    }
    return indent + shown + QStringLiteral(" does not exist");
}

QString rangeOf(const char* group, const char* key)
{
    const SettingDescriptor* setting = findSetting(QString::fromLatin1(group), QString::fromLatin1(key));
    if (setting == nullptr || !setting->valid.declared()) {
        return {};
    }
    return QString::number(setting->valid.minimum) + QStringLiteral("..") + QString::number(setting->valid.maximum);
}

QString outsideRange(const QString& given, const char* group, const char* key)
{
    return indent + given + QStringLiteral(" is outside ") + rangeOf(group, key);
}

QString bitDepthDetail(const Settings& settings, const QString& key)
{
    const OutputFormat* format = findOutputFormat(key);
    if (format == nullptr) {
        return {};
    }
    QStringList depths;
    for (const int depth : readBitDepths(format->bitDepths)) {
        depths << QString::number(depth);
    }
    return indent + QStringLiteral("--%1-bpp=%2: %3 is written with %4 bits, or 0 for the automatic depth")
                        .arg(key, QString::number(format->bitDepthOf(settings)), key.toUpper(),
                             depths.join(QStringLiteral(", ")));
}

// Resizing takes both sizes; the example repeats the size that was given.
QString resizeDetail(const Settings& settings, const char* missing)
{
    const std::int32_t given = std::max(settings.transform.imageWidth, settings.transform.imageHeight);
    const QString size = QString::number(given > 0 ? given : 800);
    return indent + QStringLiteral("--%1 is 0 or missing: resizing needs both sizes, as in --width=%2 --height=%2 "
                                   "(with --keep-aspect-ratio the page fits within them)")
                        .arg(QLatin1StringView(missing), size);
}

QString watermarkImageDetail(const QString& path)
{
    const QFileInfo info(path);
    const QString shown = shownFolder(path);
    if (!info.exists()) {
        return indent + shown + QStringLiteral(" does not exist");
    }
    if (info.isDir()) {
        return indent + shown + QStringLiteral(" is a folder");
    }
    if (info.size() == 0) {
        return indent + shown + QStringLiteral(" is empty (0 bytes)");
    }
    return indent + shown + QStringLiteral(" cannot be read as a PNG or JPEG picture");
}

QString conversionTypesDetail(const QString& key)
{
    const QString hint = outputFormatList().contains(key.toLower()) && key != key.toLower()
                             ? QStringLiteral("; did you mean %1?").arg(key.toLower())
                             : QString();
    return indent + QStringLiteral("-c %1 is not one of %2 (in lower case%3)")
                        .arg(key, outputFormatList().join(QStringLiteral(", ")), hint);
}

} // namespace

QString runProblemDetail(const RunProblem& problem, const Settings& settings)
{
    const AdjustmentSettings& adjustment = settings.adjustment;
    switch (problem.kind) {
    case RunProblemKind::InvalidInputFile:
        return inputFileDetail(problem.argument);
    case RunProblemKind::IncorrectInputFolder:
        return parentFolderDetail(problem.argument, "-i");
    case RunProblemKind::InvalidInputFolder:
        return missingFolderDetail(problem.argument, false);
    case RunProblemKind::IncorrectOutputFolder:
        return parentFolderDetail(problem.argument, "-o");
    case RunProblemKind::InvalidOutputFolder:
        return missingFolderDetail(problem.argument, true);
    case RunProblemKind::InvalidConversionType:
        return conversionTypesDetail(problem.argument);
    case RunProblemKind::InvalidBitDepth:
        return bitDepthDetail(settings, problem.argument);
    case RunProblemKind::InvalidJpgQuality:
        return outsideRange(QStringLiteral("--jpg-quality=%1").arg(settings.output.jpgQuality), "Output",
                            "JPG Quality");
    case RunProblemKind::InvalidWidth:
        return resizeDetail(settings, "width");
    case RunProblemKind::InvalidHeight:
        return resizeDetail(settings, "height");
    case RunProblemKind::InvalidBrightness:
        return outsideRange(QStringLiteral("--brightness=%1").arg(adjustment.imageBrightness), "Adjustment",
                            "Image Brightness");
    case RunProblemKind::InvalidContrast:
        return outsideRange(QStringLiteral("--contrast=%1").arg(adjustment.imageContrast), "Adjustment",
                            "Image Contrast");
    case RunProblemKind::InvalidGamma:
        return outsideRange(QStringLiteral("--gamma=%1").arg(static_cast<double>(adjustment.imageGamma)), "Adjustment",
                            "Image Gamma") +
               QStringLiteral(" (1 leaves the page as it is)");
    case RunProblemKind::DrawingUnavailable:
        return indent + QStringLiteral("frames and watermarks are drawn on Qt's offscreen platform, which could not "
                                       "be started; check the Qt 6 installation (its platform plugins)");
    case RunProblemKind::InvalidWatermarkFont:
        return indent + QStringLiteral("no font family \"%1\" is installed; name one that fc-list : family lists, "
                                       "as in --wm-font=\"Liberation Sans\"")
                            .arg(problem.argument);
    case RunProblemKind::EmptyWatermarkImage:
        return indent + QStringLiteral("--wm-image names no file; give a PNG or JPEG picture: --wm-image=logo.png");
    case RunProblemKind::InvalidWatermarkImage:
        return watermarkImageDetail(problem.argument);
    case RunProblemKind::InvalidFilenameMask:
        return indent + problem.argument;
    case RunProblemKind::None:
    case RunProblemKind::EmptyInputList:
    case RunProblemKind::EmptyOutputFolder:
        break;
    }
    return {};
}

QString emptyInputDetail(const JobState& job)
{
    const QString extensions = inputExtensionsText();
    const QString anyOf = QString(extensions).replace(QStringLiteral(" and "), QStringLiteral(" or "));
    if (job.file.inputPath.isEmpty()) {
        return indent + QStringLiteral("no %1 file with content in %2 or its subfolders")
                            .arg(anyOf, shownFolder(job.inputFolder));
    }
    if (isListFile(job.file.inputPath)) {
        return indent + QStringLiteral("no line of %1 names a %2 file with content, or a folder holding one")
                            .arg(job.file.inputPath, anyOf);
    }
    if (!isInputExtension(inputExtensionOf(job.file.inputPath).toLower())) {
        return indent +
               QStringLiteral("only %1 files are converted; %2 is not one").arg(extensions, job.file.inputPath);
    }
    return {};
}

#include "engine/run/run_checks.h"

#include "app/settings_table.h"
#include "engine/core/output_naming.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

RunProblem problem(RunProblemKind kind, const QString& argument = {})
{
    return {kind, argument};
}

// The range of a setting is declared once, in the settings table.
bool inDeclaredRange(const Settings& settings, const char* group, const char* key)
{
    const SettingDescriptor* setting = findSetting(QString::fromLatin1(group), QString::fromLatin1(key));
    return setting == nullptr || settingInRange(settings, *setting);
}

} // namespace

bool hasExtension(const QString& value)
{
    const QString component = value.mid(value.lastIndexOf(u'/') + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    return dot > 0 && !component.mid(dot + 1).contains(u' ');
}

QString completeConsoleFolder(const QString& folder, const QString& currentFolder)
{
    if (folder.startsWith(QLatin1StringView(".."))) {
        return {};
    }
    QString complete = folder;
    if (!complete.startsWith(u'/')) {
        if (complete == u".") {
            complete.clear();
        } else if (complete.startsWith(QLatin1StringView("./"))) {
            complete.remove(0, 2);
        }
        QString base = currentFolder;
        if (!base.endsWith(u'/')) {
            base += u'/';
        }
        complete.prepend(base);
    }
    if (!complete.endsWith(u'/')) {
        complete += u'/';
    }
    return complete;
}

QString folderPart(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

RunProblem checkInputPath(JobState& job, const QString& currentFolder)
{
    const QString input = job.inputFolder;
    if (hasExtension(input)) {
        job.file.inputPath = input;
        job.inputFolder.clear();
        const QFileInfo info(input);
        return info.isFile() && info.size() > 0 ? RunProblem{} : problem(RunProblemKind::InvalidInputFile, input);
    }
    job.inputFolder = completeConsoleFolder(input, currentFolder);
    if (job.inputFolder.isEmpty()) {
        return problem(RunProblemKind::IncorrectInputFolder, input);
    }
    return QFileInfo(job.inputFolder).isDir() ? RunProblem{}
                                              : problem(RunProblemKind::InvalidInputFolder, job.inputFolder);
}

RunProblem checkInputList(const InputFileList& inputFiles)
{
    return inputFiles.empty() ? problem(RunProblemKind::EmptyInputList) : RunProblem{};
}

RunProblem checkOutputFolder(JobState& job, const QString& currentFolder)
{
    if (job.outputFolder.isEmpty()) {
        return problem(RunProblemKind::EmptyOutputFolder);
    }
    const QString complete = completeConsoleFolder(job.outputFolder, currentFolder);
    if (complete.isEmpty()) {
        return problem(RunProblemKind::IncorrectOutputFolder, job.outputFolder);
    }
    job.outputFolder = complete;
    return QFileInfo(complete).isDir() ? RunProblem{} : problem(RunProblemKind::InvalidOutputFolder, complete);
}

RunProblem checkOutputFormat(const Settings& settings, const QString& outputKey)
{
    const OutputFormat* format = findOutputFormat(outputKey);
    if (format == nullptr) {
        return problem(RunProblemKind::InvalidConversionType, outputKey);
    }
    const int depth = format->bitDepthOf(settings);
    const std::vector<int> permitted = readBitDepths(format->bitDepths);
    if (depth != 0 && std::find(permitted.begin(), permitted.end(), depth) == permitted.end()) {
        return problem(RunProblemKind::InvalidBitDepth, outputKey);
    }
    if (format->checkedSetting != nullptr && !settingInRange(settings, *format->checkedSetting)) {
        return problem(RunProblemKind::InvalidJpgQuality);
    }
    return {};
}

RunProblem checkResize(const Settings& settings)
{
    const TransformSettings& transform = settings.transform;
    if (transform.doImageResize == 0) {
        return {};
    }
    // Only 0 is refused: a negative size passes, as it always has.
    if (transform.imageWidth == 0) {
        return problem(RunProblemKind::InvalidWidth);
    }
    return transform.imageHeight == 0 ? problem(RunProblemKind::InvalidHeight) : RunProblem{};
}

RunProblem checkColourCorrection(const Settings& settings)
{
    if (settings.adjustment.doImageColorCorrection == 0) {
        return {};
    }
    if (!inDeclaredRange(settings, "Adjustment", "Image Brightness")) {
        return problem(RunProblemKind::InvalidBrightness);
    }
    if (!inDeclaredRange(settings, "Adjustment", "Image Contrast")) {
        return problem(RunProblemKind::InvalidContrast);
    }
    return inDeclaredRange(settings, "Adjustment", "Image Gamma") ? RunProblem{}
                                                                  : problem(RunProblemKind::InvalidGamma);
}

RunProblem checkWatermark(const Settings& settings, WatermarkAssets& assets)
{
    WatermarkAssetsResult loaded = loadWatermarkAssets(settings);
    assets = std::move(loaded.assets);
    switch (loaded.problem) {
    case WatermarkProblem::InvalidFont:
        return problem(RunProblemKind::InvalidWatermarkFont, settings.watermark.font);
    case WatermarkProblem::EmptyImage:
        return problem(RunProblemKind::EmptyWatermarkImage);
    case WatermarkProblem::InvalidImage:
        return problem(RunProblemKind::InvalidWatermarkImage, settings.watermark.image);
    case WatermarkProblem::None:
        break;
    }
    return {};
}

RunProblem checkWindowedConversion(const Settings& settings, JobState& job, const InputFileList& inputFiles,
                                   WatermarkAssets& assets)
{
    if (RunProblem problem = checkInputList(inputFiles)) {
        return problem;
    }
    if (RunProblem problem = checkOutputFolder(job, QDir::currentPath())) {
        return problem;
    }
    if (RunProblem problem = checkResize(settings)) {
        return problem;
    }
    if (RunProblem problem = checkWatermark(settings, assets)) {
        return problem;
    }
    return checkFilenameMask(settings);
}

RunProblem checkFilenameMask(const Settings& settings)
{
    const QString escape = filenameMaskEscape(settings.advanced.filenameMask);
    return escape.isEmpty() ? RunProblem{} : RunProblem{RunProblemKind::InvalidFilenameMask, escape};
}

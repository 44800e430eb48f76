#include "engine/conversion_run.h"

#include "engine/format_catalogue.h"
#include "engine/pipeline.h"
#include "engine/save_flags.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <vector>

namespace {

struct BitDepthSetting {
    const char* key;
    Bpp OutputSettings::*member;
};

constexpr BitDepthSetting bitDepthSettings[] = {
    {"bmp", &OutputSettings::bmpBpp},   {"dds", &OutputSettings::ddsBpp},   {"exr", &OutputSettings::exrBpp},
    {"gif", &OutputSettings::gifBpp},   {"hdr", &OutputSettings::hdrBpp},   {"ico", &OutputSettings::icoBpp},
    {"j2k", &OutputSettings::j2kBpp},   {"jng", &OutputSettings::jngBpp},   {"jp2", &OutputSettings::jp2Bpp},
    {"jpg", &OutputSettings::jpgBpp},   {"jxr", &OutputSettings::jxrBpp},   {"pbm", &OutputSettings::pbmBpp},
    {"pcx", &OutputSettings::pcxBpp},   {"pfm", &OutputSettings::pfmBpp},   {"pgm", &OutputSettings::pgmBpp},
    {"png", &OutputSettings::pngBpp},   {"ppm", &OutputSettings::ppmBpp},   {"psd", &OutputSettings::psdBpp},
    {"tga", &OutputSettings::tgaBpp},   {"tiff", &OutputSettings::tiffBpp}, {"wbmp", &OutputSettings::wbmpBpp},
    {"webp", &OutputSettings::webpBpp}, {"xpm", &OutputSettings::xpmBpp},
};

// A local wall-clock time stored as seconds "as if UTC" becomes the real instant it names here.
timespec instantOfLocalSeconds(std::int32_t localSeconds)
{
    const QDateTime wallClock = QDateTime::fromSecsSinceEpoch(localSeconds, Qt::UTC);
    const QDateTime local(wallClock.date(), wallClock.time(), Qt::LocalTime);
    return timespec{static_cast<time_t>(local.toSecsSinceEpoch()), 0};
}

bool setModificationTime(const QString& file, const timespec& modified)
{
    // Only the modification time changes; the access time is left as it is.
    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    return utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
}

} // namespace

int formatBitDepthSetting(const Settings& settings, const QString& outputKey)
{
    for (const BitDepthSetting& entry : bitDepthSettings) {
        if (outputKey == QLatin1String(entry.key)) {
            return settings.output.*entry.member;
        }
    }
    return 0;
}

bool prepareRun(const Settings& settings, JobState& job)
{
    const OutputFormat* format = findOutputFormat(job.outputKey);
    if (format == nullptr) {
        return false;
    }
    job.formatId = format->formatId;
    job.targetBpp = formatBitDepthSetting(settings, job.outputKey);
    job.saveFlags = computeSaveFlags(job.outputKey, settings);
    job.autoBpp = job.targetBpp == 0 ? 1 : 0;
    return true;
}

void createOutputSubfolders(const JobState& job)
{
    const QString folder = job.outputFolder + job.subfolder;
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(folder);
    }
}

bool applyOutputTimestamp(const Settings& settings, const JobState& job, const QString& outputFile)
{
    switch (settings.advanced.fileTimestamp) {
    case 1: {
        struct stat input {};
        if (stat(QFile::encodeName(job.inputPath).constData(), &input) != 0) {
            return false;
        }
        return setModificationTime(outputFile, input.st_mtim);
    }
    case 2:
        return setModificationTime(outputFile, instantOfLocalSeconds(settings.advanced.customTimestamp));
    default:
        return true;
    }
}

void conversionWorker(RunContext& context, const InputFileList& files, RunProgress& progress)
{
    const Settings& settings = context.settings;
    JobState& job = context.job;

    // Collect what the pipeline writes for the file in hand (several files for a multi-page
    // input), passing each on to whoever listened before.
    std::vector<QString> written;
    const std::function<void(const QString&)> previousOnSaved = context.onSaved;
    context.onSaved = [&written, previousOnSaved](const QString& path) {
        written.push_back(path);
        if (previousOnSaved) {
            previousOnSaved(path);
        }
    };

    std::int32_t taken = 0;
    std::int32_t converted = 0;
    for (const InputFileEntry& entry : files) {
        progress.passGate();
        if (!progress.isRunning()) {
            break;
        }
        ++taken;
        job.inputPath = entry.path;
        job.subfolder = entry.subfolder;
        progress.setProcessed(taken, job.inputPath);
        if (settings.advanced.keepSubfolders != 0) {
            createOutputSubfolders(job);
        }
        context.debug(QStringLiteral("Processing: ") + job.inputPath);
        written.clear();
        // A file that never gets as far as naming its output must not report the previous one's.
        job.outputPath.clear();
        const bool ok = processCurrentFile(context);
        context.debug(QStringLiteral("Saving As: ") + job.outputPath);
        context.debug(ok ? QStringLiteral("OK") : QStringLiteral("Not OK"));
        if (ok) {
            ++converted;
            job.randomValue = drawRandomValue();
            job.counterValue += 1;
            for (const QString& path : written) {
                applyOutputTimestamp(settings, job, path);
            }
        }
    }

    context.onSaved = previousOnSaved;
    const std::lock_guard lock(progress.progressLock);
    progress.convertedCount = converted;
}

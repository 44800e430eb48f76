#include "engine/run/run_plan.h"

#include "engine/core/output_naming.h"
#include "engine/decode/page_loader.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/output_ledger.h"
#include "engine/run/pipeline.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/transform.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>

namespace {

bool maskUsesPageValues(const QString& mask)
{
    for (const char* name : {"%width%", "%height%", "%bpp%"}) {
        if (mask.contains(QLatin1String(name), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

// Input/TIFF Frame Loading 1 to 4 pick one page, which is never numbered; anything else takes
// every page.
bool selectsOnePage(int frameLoading)
{
    return frameLoading >= 1 && frameLoading <= 4;
}

// The size a page has after the rotation: right angles swap or keep the sides; Simple rotation
// by a free angle enlarges the canvas to the turned page's bounding box; Advanced keeps the size.
ResizeTarget rotatedSize(int width, int height, const Settings& settings)
{
    const TransformSettings& t = settings.transform;
    const int angle = t.imageRotation;
    if (t.doImageRotation == 0 || angle < 1 || angle > 359 || t.imageRotationType != 0) {
        return {width, height};
    }
    if (angle % 180 == 0) {
        return {width, height};
    }
    if (angle % 90 == 0) {
        return {height, width};
    }
    const double radians = angle * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(radians));
    const double s = std::abs(std::sin(radians));
    return {static_cast<int>(std::ceil(width * c + height * s)), static_cast<int>(std::ceil(width * s + height * c))};
}

// The page values of the name (%width%, %height%, %bpp%) as the pipeline will set them.
void describePlannedPage(JobState& job, const TiffPageHeader& header, const Settings& settings)
{
    const ResizeTarget rotated = rotatedSize(static_cast<int>(header.width), static_cast<int>(header.height), settings);
    ResizeTarget size = resizeTarget(rotated.width, rotated.height, settings);
    if (const OutputFormat& format = outputFormatFor(job.outputKey); format.beyondSizeCap(size.width, size.height)) {
        size = {format.sizeCap, format.sizeCap};
    }
    job.file.sourceBpp = header.bitsPerPixel;
    job.file.sourceSamples = sourceSamplesOf(header);
    job.file.imageWidth = size.width;
    job.file.imageHeight = size.height;
    job.file.pageBpp = effectiveTargetBpp(job);
}

QString flagWords(const PlannedOutput& output)
{
    QStringList words;
    if ((output.flags & unsigned(PlanFlag::UpToDate)) != 0) {
        words << QStringLiteral("up to date, skipped");
    } else if ((output.flags & unsigned(PlanFlag::Exists)) != 0) {
        words << QStringLiteral("exists, would be replaced");
    }
    if ((output.flags & unsigned(PlanFlag::Collision)) != 0) {
        words << QStringLiteral("collides with ") + output.collidesWith;
    }
    if ((output.flags & unsigned(PlanFlag::OverwritesInput)) != 0) {
        words << QStringLiteral("would replace an input");
    }
    return words.join(QStringLiteral(", "));
}

// Flags one planned file's outputs against the names the list has taken so far, and takes them.
void flagOutputs(PlannedFile& file, OutputLedger& ledger, const QStringList& paths, bool update)
{
    const bool skipped = update && outputsUpToDate(file.inputPath, paths);
    for (const QString& path : paths) {
        PlannedOutput output{path, 0, {}};
        if (skipped) {
            output.flags |= unsigned(PlanFlag::UpToDate);
        } else if (QFileInfo::exists(path)) {
            output.flags |= unsigned(PlanFlag::Exists);
        }
        const FileFailure refused = ledger.check(path, file.inputPath);
        if (refused.kind == FileFailureKind::WouldOverwriteInput) {
            output.flags |= unsigned(PlanFlag::OverwritesInput);
        } else if (refused.kind == FileFailureKind::OutputNameUsed) {
            output.flags |= unsigned(PlanFlag::Collision);
            output.collidesWith = refused.detail;
        } else {
            ledger.reserve(path, file.inputPath);
        }
        file.outputs.push_back(std::move(output));
    }
}

} // namespace

QStringList plannedOutputPaths(const Settings& settings, const JobState& job, const InputFileEntry& entry)
{
    JobState page = job;
    page.file.inputPath = entry.path;
    page.file.subfolder = entry.subfolder;
    const int frameLoading = settings.input.tiffFrameLoading;
    if (selectsOnePage(frameLoading) && !maskUsesPageValues(settings.advanced.filenameMask)) {
        return {outputFilePath(settings, page)};
    }
    std::vector<TiffPageHeader> headers = readTiffPageHeaders(entry.path);
    if (headers.empty()) {
        // libtiff cannot read it; the run tries it as one image (and may fail it).
        headers.push_back(TiffPageHeader{});
    }
    const PageRange range = selectPages(frameLoading, static_cast<int>(headers.size()));
    const bool numbered = range.last > range.first;
    QStringList paths;
    for (int index = range.first; index <= range.last; ++index) {
        describePlannedPage(page, headers[static_cast<std::size_t>(index)], settings);
        const QString path = outputFilePath(settings, page);
        paths << (numbered ? numberedOutputPath(path, page.outputKey, index + 1) : path);
    }
    return paths;
}

bool outputsUpToDate(const QString& inputPath, const QStringList& outputs)
{
    const QFileInfo input(inputPath);
    if (outputs.isEmpty() || !input.exists()) {
        return false;
    }
    const QDateTime inputTime = input.lastModified();
    for (const QString& path : outputs) {
        const QFileInfo output(path);
        if (!output.isFile() || output.lastModified() < inputTime) {
            return false;
        }
    }
    return true;
}

namespace {

// The output paths of many files at once, on every core: reading the page headers is most of
// the time of a large plan. Only for masks without run counters, whose names do not depend on
// the files before.
std::vector<QStringList> outputPathsOnEveryCore(const Settings& settings, const JobState& job,
                                                const std::vector<const InputFileEntry*>& entries)
{
    std::vector<QStringList> paths(entries.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < entries.size(); i = next++) {
            paths[i] = plannedOutputPaths(settings, job, *entries[i]);
        }
    };
    const int helpers = std::clamp(QThread::idealThreadCount(), 1, 16) - 1;
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers && static_cast<std::size_t>(i + 1) < entries.size(); ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    return paths;
}

} // namespace

std::vector<PlannedFile> planRun(const Settings& settings, const JobState& job, const InputFileList& files,
                                 const PlanOptions& options)
{
    std::vector<const InputFileEntry*> entries;
    std::vector<PlannedFile> plan;
    int position = 0;
    for (const InputFileEntry& entry : files) {
        if (options.shard.takes(position)) {
            entries.push_back(&entry);
            plan.push_back(PlannedFile{position, entry.path, {}});
        }
        ++position;
    }
    const bool counted = usesRunCounters(settings.advanced.filenameMask);
    const std::vector<QStringList> names =
        counted ? std::vector<QStringList>(entries.size()) : outputPathsOnEveryCore(settings, job, entries);
    OutputLedger ledger(files);
    JobState fileJob = job;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        flagOutputs(plan[i], ledger, counted ? plannedOutputPaths(settings, fileJob, *entries[i]) : names[i],
                    options.update);
        if (!plan[i].upToDate()) {
            // The counter of the next file, assuming this one converts.
            fileJob.file.counterValue += 1;
        }
    }
    return plan;
}

QString planLine(const PlannedFile& file, const PlannedOutput& output)
{
    QString line = file.inputPath + u'\t' + output.output;
    if (const QString words = flagWords(output); !words.isEmpty()) {
        line += u'\t' + words;
    }
    return line;
}

bool planHasConflict(const std::vector<PlannedFile>& plan)
{
    const unsigned conflict = unsigned(PlanFlag::Collision) | unsigned(PlanFlag::OverwritesInput);
    for (const PlannedFile& file : plan) {
        for (const PlannedOutput& output : file.outputs) {
            if ((output.flags & conflict) != 0) {
                return true;
            }
        }
    }
    return false;
}

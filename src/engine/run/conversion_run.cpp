#include "engine/run/conversion_run.h"

#include "app/local_time.h"

#include "engine/formats/format_catalogue.h"
#include "engine/run/memory_budget.h"
#include "engine/run/output_ledger.h"
#include "engine/run/pipeline.h"
#include "engine/write/image_writer.h"
#include "engine/write/temp_file_claims.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A local wall-clock time stored as seconds "as if UTC" becomes the real instant it names here.
timespec instantOfLocalSeconds(std::int32_t localSeconds)
{
    return timespec{static_cast<time_t>(localDateTimeFrom(localSeconds).toSecsSinceEpoch()), 0};
}

bool setModificationTime(const QString& file, const timespec& modified)
{
    // Only the modification time changes; the access time is left as it is.
    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    return utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
}

} // namespace

bool prepareRun(const Settings& settings, JobState& job)
{
    const OutputFormat* format = findOutputFormat(job.outputKey);
    if (format == nullptr) {
        return false;
    }
    job.run.formatId = format->formatId;
    job.run.targetBpp = formatBitDepthSetting(settings, job.outputKey);
    job.run.saveFlags = computeSaveFlags(job.outputKey, settings);
    job.run.autoBpp = job.run.targetBpp == 0 ? 1 : 0;
    // %bpp% before the first page is written names the run's depth (0 for Auto).
    job.file.pageBpp = job.run.targetBpp;
    return true;
}

void createOutputSubfolders(const JobState& job)
{
    const QString folder = job.outputFolder + job.file.subfolder;
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(folder);
    }
}

bool applyOutputTimestamp(const Settings& settings, const JobState& job, const QString& outputFile)
{
    switch (settings.advanced.fileTimestamp) {
    case 1: {
        struct stat input {};
        if (stat(QFile::encodeName(job.file.inputPath).constData(), &input) != 0) {
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

namespace {

// Hands out the files in list order and lets them finish in list order: a file's turn comes when
// every file before it has finished.
class FileSchedule {
  public:
    FileSchedule(const InputFileList& files, RunProgress& progress)
        : next_(files.begin()), end_(files.end()), progress_(progress)
    {
    }

    // The next file and its 0-based position, or nullptr when the list is done or the run stopped.
    const InputFileEntry* takeNext(int& position)
    {
        progress_.passGate();
        const std::lock_guard lock(takeLock_);
        if (next_ == end_ || !progress_.isRunning()) {
            return nullptr;
        }
        position = taken_++;
        const InputFileEntry* entry = &*next_++;
        progress_.setProcessed(taken_, entry->path);
        return entry;
    }

    // Waits until every file before `position` has finished, then at the pause gate: nothing is
    // renamed or reported while the stop question is open.
    void awaitTurn(int position)
    {
        {
            std::unique_lock lock(turnLock_);
            turnChanged_.wait(lock, [&] { return finished_ == position; });
        }
        progress_.passGate();
    }

    // The gate inside a file; false once the run abandons the files in hand.
    bool mayContinue() { return progress_.mayContinue(); }

    void finishTurn()
    {
        {
            const std::lock_guard lock(turnLock_);
            ++finished_;
        }
        turnChanged_.notify_all();
    }

  private:
    std::mutex takeLock_;
    InputFileList::const_iterator next_;
    InputFileList::const_iterator end_;
    int taken_ = 0;
    RunProgress& progress_;

    std::mutex turnLock_;
    std::condition_variable turnChanged_;
    int finished_ = 0;
};

// A finished temporary file waiting for its file's turn to take its output name.
struct PendingOutput {
    QString output;
    TempFileClaim temp;
};

// What one converted file leaves for its turn.
struct FileOutcome {
    bool ok = false;
    FileFailure failure;
    std::vector<QString> debugLines;
    std::vector<PendingOutput> pendingOutputs;
    std::vector<QString> written;
    std::int64_t milliseconds = 0;
};

// The shared state of a run: the caller's context (its job holds the counters, changed only by
// the file whose turn it is), the output names taken so far and the success count.
struct SharedRun {
    RunContext& context;
    FileSchedule schedule;
    OutputLedger ledger;
    MemoryBudget memory;
    std::int32_t converted = 0;
};

// Moves the deferred outputs of a file over their names, in list order; the file fails when one
// cannot be taken.
void commitPendingOutputs(OutputLedger& ledger, const QString& inputPath, FileOutcome& outcome)
{
    // A file abandoned by a stop keeps the pages it finished: they are whole, and the user stopped
    // the run, nothing failed.
    const bool keepsFinishedPages = outcome.ok || outcome.failure.kind == FileFailureKind::Abandoned;
    for (PendingOutput& pending : outcome.pendingOutputs) {
        bool committed = false;
        if (!keepsFinishedPages) {
            QFile::remove(pending.temp.path());
        } else if (FileFailure refused = ledger.commit(pending.temp.path(), pending.output, inputPath)) {
            outcome.ok = false;
            outcome.failure = std::move(refused);
        } else {
            committed = true;
        }
        if (!committed) {
            // Only what took its name was written.
            std::erase(outcome.written, pending.output);
        }
    }
}

// Everything a file changes that a later file or the user sees, done at the file's turn.
void finishFile(SharedRun& run, const JobState& job, FileOutcome& outcome)
{
    RunContext& shared = run.context;
    commitPendingOutputs(run.ledger, job.file.inputPath, outcome);
    for (const QString& line : outcome.debugLines) {
        shared.debug(line);
    }
    // Said only now: a name refused at the file's turn still makes it fail.
    shared.debug(outcome.ok ? QStringLiteral("OK") : QStringLiteral("Not OK"));
    if (!outcome.ok && shared.fileFailed) {
        shared.fileFailed(job.file.inputPath, outcome.failure);
    }
    if (outcome.ok) {
        ++run.converted;
        shared.job.file.randomValue = drawRandomValue();
        shared.job.file.counterValue += 1;
        for (const QString& path : outcome.written) {
            applyOutputTimestamp(shared.settings, job, path);
        }
    }
    shared.job.file.inputPath = job.file.inputPath;
    shared.job.file.subfolder = job.file.subfolder;
    shared.job.file.outputPath = job.file.outputPath;
    for (const QString& path : outcome.written) {
        if (shared.onSaved) {
            shared.onSaved(path);
        }
    }
    if (shared.fileFinished) {
        shared.fileFinished(FileResult{job.file.inputPath, outcome.ok, outcome.failure, std::move(outcome.written),
                                       outcome.milliseconds});
    }
}

// One worker: converts the files the schedule hands out in its own copy of the job record (taken
// before any worker starts, since finished files change the shared one).
void convertFiles(SharedRun& run, JobState job, bool concurrent)
{
    RunContext& shared = run.context;
    FileOutcome outcome;
    int position = 0;
    bool counted = false;
    RunContext context{shared.settings, job, shared.watermark};
    context.onSaved = [&outcome](const QString& path) { outcome.written.push_back(path); };
    context.gate = [&run] { return run.schedule.mayContinue(); };
    // Every page waits under its temporary name until the whole file is done, however many workers
    // there are: a file that fails on a later page then takes back the pages written before it.
    context.commitOutput = [&outcome](TempFileClaim& temp, const QString& output) {
        outcome.pendingOutputs.push_back(PendingOutput{output, std::move(temp)});
        return FileFailure{};
    };
    if (!concurrent) {
        // Alone, the worker is always in turn: lines go out as they come.
        context.debugLine = shared.debugLine;
        job.file.counterValue = shared.job.file.counterValue;
        job.file.randomValue = shared.job.file.randomValue;
    } else {
        if (shared.debugLine) {
            context.debugLine = [&outcome](const QString& line) { outcome.debugLines.push_back(line); };
        }
        context.settleCounters = [&run, &position, &counted](JobState& fileJob) {
            if (!counted) {
                run.schedule.awaitTurn(position);
                fileJob.file.counterValue = run.context.job.file.counterValue;
                fileJob.file.randomValue = run.context.job.file.randomValue;
                counted = true;
            }
        };
    }

    while (const InputFileEntry* entry = run.schedule.takeNext(position)) {
        outcome = FileOutcome{};
        counted = !concurrent;
        job.file.inputPath = entry->path;
        job.file.subfolder = entry->subfolder;
        // A file that never gets as far as naming its output must not report the previous one's.
        job.file.outputPath.clear();
        if (shared.settings.advanced.keepSubfolders != 0) {
            createOutputSubfolders(job);
        }
        context.debug(QStringLiteral("Processing: ") + job.file.inputPath);
        context.failure = {};
        // --- memory budget: the file's pages are held from here until it is converted; the
        // memory is given back before the file waits for its turn.
        MemoryBudget::Reservation pages;
        if (concurrent) {
            pages = run.memory.admit(position, fileMemoryEstimate(job.file.inputPath, shared.settings, job));
        }
        const auto started = std::chrono::steady_clock::now();
        outcome.ok = processCurrentFile(context);
        outcome.milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        pages.release();
        // --- end of memory budget
        outcome.failure = context.failure;
        // The names written: one per page of a multi-page file ("doc[1].png", ...); the name it
        // was to have when nothing was written.
        if (outcome.written.empty()) {
            context.debug(QStringLiteral("Saving As: ") + job.file.outputPath);
        }
        for (const QString& path : outcome.written) {
            context.debug(QStringLiteral("Saving As: ") + path);
        }
        run.schedule.awaitTurn(position);
        finishFile(run, job, outcome);
        if (!concurrent) {
            job.file.counterValue = shared.job.file.counterValue;
            job.file.randomValue = shared.job.file.randomValue;
        }
        run.schedule.finishTurn();
    }
}

} // namespace

int defaultWorkerCount()
{
    return std::max(1, QThread::idealThreadCount());
}

int spareThreadsBeside(int workers)
{
    return std::max(0, defaultWorkerCount() - workers);
}

void conversionWorker(RunContext& context, const InputFileList& files, RunProgress& progress, int workerCount,
                      std::uint64_t memoryBudget)
{
    SharedRun run{context, FileSchedule(files, progress),
                  OutputLedger(context.allInputs != nullptr ? *context.allInputs : files),
                  MemoryBudget(memoryBudget > 0 ? memoryBudget : defaultMemoryBudget())};
    for (const auto& [output, input] : context.keptOutputs) {
        run.ledger.reserve(output, input);
    }
    const int workers = std::clamp(workerCount, 1, std::clamp(static_cast<int>(files.size()), 1, maxWorkerCount));
    const bool concurrent = workers > 1;
    // Every worker's copy is taken before the first one starts: finished files change context.job.
    JobState workerJob = context.job;
    workerJob.run.spareThreads = spareThreadsBeside(workers);
    std::vector<JobState> jobs(static_cast<std::size_t>(workers), workerJob);
    std::vector<std::thread> helpers;
    for (int i = 1; i < workers; ++i) {
        helpers.emplace_back([&run, &jobs, i, concurrent] { convertFiles(run, std::move(jobs[i]), concurrent); });
    }
    convertFiles(run, std::move(jobs[0]), concurrent);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    const std::lock_guard lock(progress.progressLock);
    progress.convertedCount = run.converted;
}

#include "cli/console_run.h"

#include "app/endpoints.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "cli/batch_run.h"
#include "cli/console_echo.h"
#include "cli/console_output.h"
#include "cli/list_files.h"
#include "cli/problem_details.h"
#include "cli/progress_line.h"
#include "engine/core/file_failure.h"
#include "engine/core/run_progress.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"
#include "engine/run/conversion_run.h"
#include "engine/steps/watermark.h"
#include "engine/write/temp_file_claims.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Ctrl+C (or SIGTERM, as a session manager or `kill` sends) during a worker asks it to stop after
// the file in hand, so no output is left half written; the run then ends with 128 + the signal's
// number, as shells report it. A second signal ends the process at once: the temporary files in
// hand are removed first and the signal then takes its default course.
std::atomic<int> stopSignal{0};

// Said at once on a terminal after the first Ctrl+C, so that nobody presses it again wondering
// whether it was heard. Written with write(2), which a signal handler may call; it clears the
// progress line first.
constexpr char firstInterruptNotice[] =
    "\r\033[KStopping after the files in hand; press Ctrl+C again to stop at once.\n";

// The first signal asks the run to stop; a later one ends the process. True for the first.
bool noteStopSignal(int signalNumber)
{
    int none = 0;
    if (stopSignal.compare_exchange_strong(none, signalNumber)) {
        return true;
    }
    removeClaimedTempFiles();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signalNumber, &fallback, nullptr);
    // Blocked while this handler runs, so it is delivered, with its default effect, on return.
    raise(signalNumber);
    return false;
}

extern "C" void onStopSignal(int signalNumber)
{
    noteStopSignal(signalNumber);
}

// The same for a run whose standard error is a terminal someone watches (not -q).
extern "C" void onStopSignalAnnounced(int signalNumber)
{
    if (noteStopSignal(signalNumber) && signalNumber == SIGINT) {
        [[maybe_unused]] const ssize_t written =
            write(STDERR_FILENO, firstInterruptNotice, sizeof firstInterruptNotice - 1);
    }
}

bool interruptRequested()
{
    return stopSignal.load() != 0;
}

// The status of a run a signal stopped: 130 for SIGINT, 143 for SIGTERM.
int interruptedStatus()
{
    return 128 + stopSignal.load();
}

class InterruptGuard {
  public:
    // announce: say on standard error, at the first Ctrl+C, that the run is stopping.
    explicit InterruptGuard(bool announce)
    {
        stopSignal.store(0);
        install(SIGINT, previousInterrupt_, announce ? onStopSignalAnnounced : onStopSignal);
        install(SIGTERM, previousTerminate_, onStopSignal);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    static void install(int signalNumber, struct sigaction& previous, void (*handler)(int))
    {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, &previous);
        // A process started with the signal ignored (a background job, nohup) keeps ignoring it.
        if (previous.sa_handler == SIG_IGN) {
            sigaction(signalNumber, &previous, nullptr);
        }
    }

    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

// Starts a worker on its own thread and waits for it. While it runs, the progress line (when
// wanted) is redrawn a few times a second from the shared progress record. After an interrupt
// the worker takes up no further item.
template <typename Work>
void runWorker(Work work, RunProgress& progress, ConsoleOutput& console, bool showProgress, const QString& label,
               std::int32_t total)
{
    progress.start();
    if (interruptRequested()) {
        progress.stop();
    }
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread worker([&]() {
        work();
        const std::lock_guard lock(doneLock);
        done = true;
        doneSignal.notify_all();
    });
    const Clock::time_point started = Clock::now();
    std::unique_lock lock(doneLock);
    while (!doneSignal.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; })) {
        if (interruptRequested()) {
            progress.stop();
        }
        if (showProgress) {
            const RunProgress::Snapshot now = progress.snapshot();
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
            console.showProgress(
                progressText(label, now.processedCount, total, now.currentFile, elapsed, console.terminalColumns()));
        }
    }
    lock.unlock();
    worker.join();
    console.clearProgress();
}

// What the checks leave for the echo and the rest of the run.
struct CheckedRun {
    EchoFacts facts;
    WatermarkAssets watermark;
    RunProblem problem;
};

// The checks of a console run, in their fixed order; the first problem ends them. On the way the
// input and output folders are completed and the format keys defaulted in job.
CheckedRun checkConsoleRun(const Settings& settings, JobState& job, const ConsoleRunOptions& options)
{
    CheckedRun run;
    const QString currentFolder = QDir::currentPath();
    run.facts.inputAsGiven = job.inputFolder;
    if ((run.problem = checkInputPath(job, currentFolder))) {
        return run;
    }
    const bool fileInput = !job.file.inputPath.isEmpty();
    if (job.outputFolder.isEmpty()) {
        job.outputFolder = fileInput ? folderPart(job.file.inputPath) : job.inputFolder;
    }
    run.facts.outputAsChosen = job.outputFolder;
    if (job.outputFolder.isEmpty()) {
        // A bare input file name has no folder part: its output goes to the current folder.
        job.outputFolder = QStringLiteral(".");
    }
    if ((run.problem = checkOutputFolder(job, currentFolder))) {
        return run;
    }
    if (job.inputKey.isEmpty()) {
        job.inputKey = inputFormatList().value(0);
    }
    if (job.outputKey.isEmpty()) {
        job.outputKey = outputFormatList().value(0);
    }
    if ((run.problem = checkOutputFormat(settings, job.outputKey)) || (run.problem = checkResize(settings)) ||
        (run.problem = checkColourCorrection(settings))) {
        return run;
    }
    if (runNeedsDrawing(settings) && options.startDrawing && !options.startDrawing()) {
        run.problem = {RunProblemKind::DrawingUnavailable, {}};
        return run;
    }
    if ((run.problem = checkWatermark(settings, run.watermark))) {
        return run;
    }
    run.problem = checkFilenameMask(settings);
    return run;
}

// Collects the input files named by -i into the list: a folder with its subfolders, a list file
// (.txt or .lst) line by line, or the one image file. Returns how many were added.
std::int32_t collectNamedInput(JobState& job, InputFileList& inputFiles, RunProgress& progress, ConsoleOutput& console,
                               const InputListHooks& hooks, bool showProgress)
{
    const QString label = QStringLiteral("Importing");
    if (job.file.inputPath.isEmpty()) {
        runWorker([&]() { folderImportWorker(inputFiles, job, progress, &hooks); }, progress, console, showProgress,
                  label, topLevelEntryCount(job.inputFolder));
        return progress.snapshot().convertedCount;
    }
    if (isListFile(job.file.inputPath)) {
        runWorker([&]() { listImportWorker(inputFiles, job, progress, &hooks); }, progress, console, showProgress,
                  label, listLineEstimate(job.file.inputPath));
        return progress.snapshot().convertedCount;
    }
    return addInputFile(inputFiles, job, job.file.inputPath) ? 1 : 0;
}

// A further input is taken as a line of a list file is: a folder is scanned, a file added; a list
// file adds what its own lines name.
std::int32_t collectFurtherInput(const QString& path, const JobState& job, InputFileList& inputFiles,
                                 const InputListHooks& hooks)
{
    if (QFileInfo(path).isDir()) {
        return scanFolder(inputFiles, job, path, &hooks);
    }
    if (isListFile(path)) {
        JobState listJob = job;
        listJob.file.inputPath = path;
        RunProgress progress;
        progress.start();
        listImportWorker(inputFiles, listJob, progress, &hooks);
        return progress.snapshot().convertedCount;
    }
    return addInputFile(inputFiles, job, path) ? 1 : 0;
}

// Collects every input of the run. The list lines that name nothing are added to skippedLines
// (with --strict they end the run before anything is converted) and otherwise named at once.
std::int32_t collectInputFiles(JobState& job, InputFileList& inputFiles, ConsoleOutput& console,
                               const ConsoleRunOptions& options, std::vector<Warning>& skippedLines)
{
    InputListHooks hooks;
    hooks.lineSkipped = [&](const QString& line) {
        const Warning skipped{QStringLiteral("list line names no file or folder: ") + line, QStringLiteral("skipped")};
        if (options.limits.strict) {
            skippedLines.push_back(skipped);
        } else {
            console.warningLine(skipped.text());
        }
    };
    RunProgress progress;
    std::int32_t total =
        collectNamedInput(job, inputFiles, progress, console, hooks, !options.quiet && console.canShowProgress());
    for (const QString& path : options.furtherInputs) {
        if (interruptRequested()) {
            break;
        }
        total += collectFurtherInput(path, job, inputFiles, hooks);
    }
    return total;
}

// The summary of a run that had nothing left to convert (every file of its shard up to date, or
// a shard that got no file): nothing failed.
int reportNothingToConvert(const RunSelection& selection, ConsoleOutput& console, const ConsoleRunOptions& options)
{
    if (!options.quiet) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion complete")));
        console.line(QStringLiteral("Files skipped: ") + QString::number(selection.skipped));
    }
    return interruptRequested() ? interruptedStatus() : exitSuccess;
}

// Converts the selected files and writes the summary. Returns the exit status.
int convertInputFiles(const Settings& settings, JobState& job, const InputFileList& collected,
                      const RunSelection& selection, RunReport& report, const WatermarkAssets& watermark,
                      ConsoleOutput& console, const ConsoleRunOptions& options)
{
    const InputFileList& inputFiles = selection.files;
    const std::int32_t total = inputFiles.size();
    if (total == 0) {
        return reportNothingToConvert(selection, console, options);
    }
    const auto say = [&](const QString& text) {
        if (!options.quiet) {
            console.line(text);
        }
    };
    say(message(QStringLiteral("General"), QStringLiteral("Converting")));
    const int workerCount = options.limits.threads > 0 ? options.limits.threads : defaultWorkerCount();
    RunContext context{settings, job, &watermark, nullptr, nullptr};
    if (job.mode == u"DEBUG") {
        context.debugLine = [&console](const QString& line) { console.line(line); };
    }
    context.fileFailed = [&console](const QString& inputPath, const FileFailure& failure) {
        console.errorLine(inputPath + QStringLiteral(": ") + describeFailure(failure));
    };
    context.fileFinished = [&report](const FileResult& result) { report.record(result); };
    if (inputFiles.size() != collected.size()) {
        context.allInputs = &collected;
        context.keptOutputs = selection.keptOutputs;
    }
    RunProgress progress;
    runWorker([&]() { conversionWorker(context, inputFiles, progress, workerCount, options.limits.memoryBudget); },
              progress, console, !options.quiet && console.canShowProgress(), QStringLiteral("Converting"), total);
    const std::int32_t converted = progress.snapshot().convertedCount;
    // A run stopped by a signal before its last file is not complete, even when it converted some.
    const bool interrupted = interruptRequested() && converted < total;
    const auto saySkipped = [&] {
        if (selection.skipped > 0) {
            say(QStringLiteral("Files skipped: ") + QString::number(selection.skipped));
        }
    };
    if (converted == 0) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
        saySkipped();
        if (interrupted) {
            return interruptedStatus();
        }
        // Files kept as up to date are in place although none was converted now: a partial result.
        return selection.skipped > 0 ? exitPartial : exitStopped;
    }
    if (interrupted) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
    } else {
        say(message(QStringLiteral("Msg"), QStringLiteral("Conversion complete")));
    }
    say(substituteMessage(message(QStringLiteral("Msg"), QStringLiteral("Files converted")), QString::number(converted),
                          QString::number(total)));
    saySkipped();
    if (interrupted) {
        return interruptedStatus();
    }
    return converted == total ? exitSuccess : exitPartial;
}

} // namespace

QStringList bannerLines()
{
    return {programTitle(), QStringLiteral("Copyright (c) Morvane. All rights reserved."),
            QString::fromUtf8(makerWebSite), QStringLiteral(" ")};
}

bool writeWarnings(ConsoleOutput& console, const std::vector<Warning>& warnings, bool strict)
{
    for (const Warning& warning : warnings) {
        if (strict) {
            console.errorLine(warning.problem);
        } else {
            console.warningLine(warning.text());
        }
    }
    if (!strict || warnings.empty()) {
        return false;
    }
    console.errorDetail(QStringLiteral("  --strict ends the run at a warning: nothing was converted; correct what the "
                                       "lines above name, or leave out --strict to go on as warned"));
    return true;
}

int runConsole(const Settings& settings, JobState& job, InputFileList& inputFiles, ConsoleOutput& console,
               const ConsoleRunOptions& options)
{
    const auto say = [&](const QString& text) {
        if (!options.quiet) {
            console.line(text);
        }
    };
    const InterruptGuard interrupts(!options.quiet && console.canShowProgress());

    say(message(QStringLiteral("General"), QStringLiteral("Preparing")));
    const CheckedRun checked = checkConsoleRun(settings, job, options);
    if (job.mode == u"DEBUG") {
        for (const QString& line : consoleEcho(settings, job, checked.facts, checked.problem.kind)) {
            console.line(line);
        }
    }
    if (checked.problem) {
        console.errorLine(runProblemConsoleText(checked.problem));
        if (const QString detail = runProblemDetail(checked.problem, settings); !detail.isEmpty()) {
            console.errorDetail(detail);
        }
        return exitError;
    }
    prepareRun(settings, job);

    if (const QString problem = reportPathProblem(options.batch.reportPath);
        !options.batch.reportPath.isEmpty() && !problem.isEmpty()) {
        console.errorLine(QStringLiteral("Invalid report file: ") + problem);
        console.errorDetail(QStringLiteral("  --report names the file to write, in a folder that exists"));
        return exitError;
    }

    say(message(QStringLiteral("General"), QStringLiteral("Importing")));
    std::vector<Warning> skippedLines;
    const std::int32_t total = collectInputFiles(job, inputFiles, console, options, skippedLines);
    if (writeWarnings(console, skippedLines, options.limits.strict)) {
        return exitError;
    }
    say(substituteMessage(message(QStringLiteral("Msg"), QStringLiteral("Import complete")), QString::number(total)));
    if (total == 0) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Empty input files")));
        if (const QString detail = emptyInputDetail(job); !detail.isEmpty() && options.furtherInputs.isEmpty()) {
            console.line(detail);
        }
        return interruptRequested() ? interruptedStatus() : exitStopped;
    }
    if (options.batch.dryRun) {
        return printPlan(settings, job, inputFiles, options.batch, console, options.quiet);
    }
    RunReport report;
    const RunSelection selection = selectRunFiles(settings, job, inputFiles, options.batch, report);
    const int status =
        convertInputFiles(settings, job, inputFiles, selection, report, checked.watermark, console, options);
    if (!options.batch.reportPath.isEmpty()) {
        if (const QString problem = writeReport(options.batch.reportPath, report.records()); !problem.isEmpty()) {
            console.errorLine(QStringLiteral("Unable to write the report ") + options.batch.reportPath +
                              QStringLiteral(": ") + problem);
            return exitError;
        }
    }
    return status;
}

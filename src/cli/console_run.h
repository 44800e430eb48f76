#pragma once

#include "app/settings.h"
#include "cli/batch_options.h"
#include "cli/option_table.h"
#include "cli/option_warnings.h"
#include "engine/core/job_state.h"
#include "engine/run/run_checks.h"

#include <QStringList>

#include <functional>

class ConsoleOutput;
class InputFileList;

// Exit statuses of the console mode.
enum ExitStatus : int {
    exitSuccess = 0, // version/usage written, or every collected file converted
    exitError = 1,   // an "Error: " line was written
    exitStopped = 2, // "Conversion stopped": no input files, or no file in place
    exitPartial = 3, // some but not all files in place: converted now, or kept as up to date
    // A run stopped by a signal ends with 128 + its number: 130 for SIGINT, 143 for SIGTERM.
};

// The console run of an -i command line: checks the input, output folder and settings (each
// problem one "Error: " line), echoes the effective settings with -d (mode "DEBUG"), collects
// the input files, converts them and writes the summary. The banner is the caller's.
// Returns the exit status.
struct ConsoleRunOptions {
    bool quiet = false;
    RunLimits limits; // files converted at once and their memory budget; 0 = the defaults
    // Further inputs named after -i (files, folders or list files), collected after it as if
    // they were lines of a list file.
    QStringList furtherInputs;
    // --dry-run, --report, --update and --shard.
    BatchOptions batch;
    // Called once before the first drawing work (the watermark font check, the worker of a run
    // with a frame or watermark): creates the offscreen QGuiApplication. False when it cannot.
    std::function<bool()> startDrawing;
};
int runConsole(const Settings& settings, JobState& job, InputFileList& inputFiles, ConsoleOutput& console,
               const ConsoleRunOptions& options);

// The four banner lines written before a run (unless quiet).
QStringList bannerLines();

// Writes warnings on standard error, before anything else and whatever -q says: each a "Warning: "
// line, or with strict an "Error: " line of its problem, followed by one line saying that nothing
// is converted. Returns whether the run must end (strict and at least one warning).
bool writeWarnings(ConsoleOutput& console, const std::vector<Warning>& warnings, bool strict);

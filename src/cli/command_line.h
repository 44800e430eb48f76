#pragma once

#include "app/settings.h"
#include "cli/batch_options.h"
#include "cli/option_table.h"
#include "cli/option_warnings.h"
#include "engine/core/job_state.h"

#include <QString>
#include <QStringList>

// What a start with parameters leads to. The command line handles version, usage, errors and the
// console run itself; the windowed mode and the two hidden modes belong to the desktop interface,
// which the process entry starts.
struct CommandLineOutcome {
    enum class Next {
        Exit,               // the command line did its work; end with exitStatus
        StartWindowed,      // no -i: the windowed mode, as if there had been no parameters
        StartUninstallPage, // -U first
        StartScreenshots,   // -T first; screenshotFolder is the parameter after it
    };
    Next next = Next::Exit;
    int exitStatus = 0;
    QString screenshotFolder;
};

// Handles a start with parameters: the first-parameter switches, the option loop and, when an
// input was named, the console run. argc/argv are passed through for the Qt application a
// drawing console run creates.
CommandLineOutcome runCommandLine(int& argc, char** argv, const QStringList& parameters);

// Special switches that act only as the first parameter.
enum class FirstSwitch { None, Uninstall, Screenshot, Version, Help };
FirstSwitch firstParameterSwitch(const QStringList& parameters);

// The usage text, one entry per line, with the program's name filled in.
QStringList usageLines(const QString& programName);

// At most this many parameters take part in a parse; a longer list is refused as a whole.
inline constexpr int maxParameterCount = 128;

// What the option loop leaves besides its effects on Settings and JobState.
struct ParseOutcome {
    QString error;       // "Incorrect number of parameters", "Invalid profile file", ...; empty on success
    QString errorDetail; // the line after the error: where and why, and what to do
    bool quiet = false;
    bool pause = false; // as seen up to the end of the loop (or the error)
    RunLimits limits;   // --threads, --memory and --strict, from the command line or a profile
    BatchOptions batch; // --dry-run, --report, --update, --shard
    // Typing mistakes the parse skipped, each one "Warning: " line (an "Error: " line with --strict).
    std::vector<Warning> warnings;
    // Parameters after -i that are not options but name existing files, folders or list files:
    // further inputs of the run, in the order given (a shell glob such as -i faxes/*.tif).
    QStringList furtherInputs;
};

// The option loop over every parameter, in order. Sets the settings of the option table and the
// JobState fields inputFolder (the -i value), outputFolder, outputKey, consoleRun and mode.
ParseOutcome parseOptions(const QStringList& parameters, Settings& settings, JobState& job);

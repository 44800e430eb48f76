#pragma once

#include "app/settings.h"
#include "engine/job_state.h"

#include <QString>
#include <QStringList>

#include <optional>

// Handles a start with parameters: the first-parameter switches, the option loop and, when an
// input was named, the console run. Returns the process exit status when the command line did
// its work, or nothing when the windowed mode is to start as if there had been no parameters.
// argc/argv are passed through for the Qt application a drawing console run creates.
std::optional<int> runCommandLine(int& argc, char** argv, const QStringList& parameters);

// Special switches that act only as the first parameter.
enum class FirstSwitch { None, Uninstall, Screenshot, Version, Help };
FirstSwitch firstParameterSwitch(const QStringList& parameters);

// The usage text, one entry per line, with the program's name filled in.
QStringList usageLines(const QString& programName);

// At most this many parameters take part in a parse; a longer list is refused as a whole.
inline constexpr int maxParameterCount = 128;

// What the option loop leaves besides its effects on Settings and JobState.
struct ParseOutcome {
    QString error; // "Incorrect number of parameters", "Invalid profile file", ...; empty on success
    bool quiet = false;
    bool pause = false; // as seen up to the end of the loop (or the error)
    int threads = 0;    // --threads; 0 = one per core
};

// The option loop over every parameter, in order. Sets the settings of the option table and the
// JobState fields inputFolder (the -i value), outputFolder, outputKey, consoleRun and mode.
ParseOutcome parseOptions(const QStringList& parameters, Settings& settings, JobState& job);

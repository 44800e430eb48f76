#pragma once

#include "app/settings.h"
#include "engine/job_state.h"

class ConsoleOutput;
class InputFileList;

// Exit statuses of the console mode.
enum ExitStatus : int {
    exitSuccess = 0,  // version/usage written, or every collected file converted
    exitError = 1,    // an "Error: " line was written
    exitStopped = 2,  // "Conversion stopped": no input files, or no file converted
    exitPartial = 3,  // some but not all files converted
};

// The console run of an -i command line: checks the input, output folder and settings (each
// problem one "Error: " line), echoes the effective settings with -d (mode "DEBUG"), collects
// the input files, converts them and writes the summary. The banner is the caller's.
// Returns the exit status.
int runConsole(const Settings& settings, JobState& job, InputFileList& inputFiles, ConsoleOutput& console, bool quiet);

// The four banner lines written before a run (unless quiet).
QStringList bannerLines();

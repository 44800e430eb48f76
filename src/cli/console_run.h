#pragma once

#include "app/settings.h"
#include "engine/job_state.h"

#include <QStringList>

#include <functional>

class ConsoleOutput;
class InputFileList;

// Exit statuses of the console mode.
enum ExitStatus : int {
    exitSuccess = 0, // version/usage written, or every collected file converted
    exitError = 1,   // an "Error: " line was written
    exitStopped = 2, // "Conversion stopped": no input files, or no file converted
    exitPartial = 3, // some but not all files converted
};

// The console run of an -i command line: checks the input, output folder and settings (each
// problem one "Error: " line), echoes the effective settings with -d (mode "DEBUG"), collects
// the input files, converts them and writes the summary. The banner is the caller's.
// Returns the exit status.
struct ConsoleRunOptions {
    bool quiet = false;
    int threads = 0;  // files converted at once; 0 = one per core
    // Called once before the first drawing work (the watermark font check, the worker of a run
    // with a frame or watermark): creates the offscreen QGuiApplication. False when it cannot.
    std::function<bool()> startDrawing;
};
int runConsole(const Settings& settings, JobState& job, InputFileList& inputFiles, ConsoleOutput& console,
               const ConsoleRunOptions& options);

// Whether an -i value names a file: its last path component has a "." that is not the
// component's first character and has no blank after it. Otherwise it names a folder.
bool hasExtension(const QString& value);

// A console folder (-i folder, -o) made absolute with a trailing "/": relative folders are taken
// below currentFolder (a leading "./" removed). Empty when the folder begins with "..", which is
// refused.
QString completeConsoleFolder(const QString& folder, const QString& currentFolder);

// The folder part of a file path up to and including its last "/"; empty for a bare name.
QString folderPart(const QString& path);

// The four banner lines written before a run (unless quiet).
QStringList bannerLines();

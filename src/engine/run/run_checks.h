#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/steps/watermark.h"

#include <QString>

#include <cstdint>

class InputFileList;

// The checks a run makes before anything is converted, shared by the console run and the windowed
// Convert command. Each returns the first problem it finds as a value; the console writes it as its
// "Error: " line (cli/console_run.cpp) and the window as a message box (runProblemMessage).

// Which check failed, in the order a console run makes them.
enum class RunProblemKind : std::uint8_t {
    None,
    EmptyInputList,        // the window's list holds no file
    InvalidInputFile,      // a named input file is missing or empty
    IncorrectInputFolder,  // a named input folder begins with ".."
    InvalidInputFolder,    // a named input folder does not exist
    EmptyOutputFolder,     // no output folder given
    IncorrectOutputFolder, // the output folder begins with ".."; argument: the folder
    InvalidOutputFolder,   // argument: the folder, completed
    InvalidConversionType, // argument: the output key
    InvalidBitDepth,       // the format's bit-depth setting is not permitted; argument: the output key
    InvalidJpgQuality,
    InvalidWidth,
    InvalidHeight,
    InvalidBrightness,
    InvalidContrast,
    InvalidGamma,
    DrawingUnavailable,   // frame or watermark, but no drawing facility could be started
    InvalidWatermarkFont, // argument: the face name
    EmptyWatermarkImage,
    InvalidWatermarkImage, // argument: the path
};

struct RunProblem {
    RunProblemKind kind = RunProblemKind::None;
    QString argument; // the value the message names (see the kinds)

    explicit operator bool() const { return kind != RunProblemKind::None; }
};

// The key of the problem's message in the catalogue group "Msg" ("Invalid width", "Invalid output
// folder", ...), empty for the problems that have no catalogue message (the console-only checks).
QString runProblemMessageKey(RunProblemKind kind);
// The window's message box text: that catalogue message with %s1% = the argument.
QString runProblemMessage(const RunProblem& problem);

// Whether an input path names a file: its last path component has a "." that is not the
// component's first character and has no blank after it. Otherwise it names a folder.
bool hasExtension(const QString& value);

// A folder path made absolute with a trailing "/": relative folders are taken below
// currentFolder (a leading "./" removed). Empty when the folder begins with "..", which is
// refused.
QString completeConsoleFolder(const QString& folder, const QString& currentFolder);

// The folder part of a file path up to and including its last "/"; empty for a bare name.
QString folderPart(const QString& path);

// A run's input named by a path (the console's -i, held in job.inputFolder): a file sets
// job.inputPath and empties job.inputFolder; a folder is completed into job.inputFolder.
RunProblem checkInputPath(JobState& job, const QString& currentFolder);

// A run over the input list needs at least one file in it.
RunProblem checkInputList(const InputFileList& inputFiles);

// job.outputFolder must be given and name an existing folder; it is completed with a trailing
// "/" (a relative folder below currentFolder).
RunProblem checkOutputFolder(JobState& job, const QString& currentFolder);

// The output format: the key is one of the output list (same letter case), its bit-depth setting
// is Auto or one of its permitted depths, and for "jpg" the quality lies in its range.
RunProblem checkOutputFormat(const Settings& settings, const QString& outputKey);

// With resizing on, neither width nor height may be 0.
RunProblem checkResize(const Settings& settings);

// With colour correction on, brightness, contrast and gamma lie in their ranges.
RunProblem checkColourCorrection(const Settings& settings);

// The checks of the windowed Convert command, in its order: the list, the output folder (completed
// in job), the resize values and the watermark (loaded into assets). The window shows the problem's
// runProblemMessage.
RunProblem checkWindowedConversion(const Settings& settings, JobState& job, const InputFileList& inputFiles,
                                   WatermarkAssets& assets);

// Loads what the watermark needs for the run (the text watermark's font) into assets, or says why
// it cannot be used. Needs a QGuiApplication for the font (see draw/gui_app.h).
RunProblem checkWatermark(const Settings& settings, WatermarkAssets& assets);

#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/run/run_problems.h"
#include "engine/steps/watermark.h"

#include <QString>

class InputFileList;

// The checks a run makes before anything is converted, shared by the console run and the windowed
// Convert command. Each returns the first problem it finds as a value; the console writes it as its
// "Error: " line and the window as a message box, both from the problem's row (run_problems.h).

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
// job.file.inputPath and empties job.inputFolder; a folder is completed into job.inputFolder.
RunProblem checkInputPath(JobState& job, const QString& currentFolder);

// A run over the input list needs at least one file in it.
RunProblem checkInputList(const InputFileList& inputFiles);

// job.outputFolder must be given and name an existing folder; it is completed with a trailing
// "/" (a relative folder below currentFolder).
RunProblem checkOutputFolder(JobState& job, const QString& currentFolder);

// The output format: the key is one of the output list (same letter case), its bit-depth setting
// is Auto or one of its permitted depths, and the encoder setting its catalogue row checks (the
// JPG quality) lies in its range.
RunProblem checkOutputFormat(const Settings& settings, const QString& outputKey);

// With resizing on, neither width nor height may be 0.
RunProblem checkResize(const Settings& settings);

// With colour correction on, brightness, contrast and gamma lie in their ranges.
RunProblem checkColourCorrection(const Settings& settings);

// Advanced/Filename Mask must make names that stay inside the output folder (no "/" at its start,
// no ".." component): the output folder check alone would be worth nothing otherwise.
RunProblem checkFilenameMask(const Settings& settings);

// The checks of the windowed Convert command, in its order: the list, the output folder (completed
// in job), the resize values, the watermark (loaded into assets) and the filename mask. The window
// shows the problem's runProblemMessage.
RunProblem checkWindowedConversion(const Settings& settings, JobState& job, const InputFileList& inputFiles,
                                   WatermarkAssets& assets);

// Loads what the watermark needs for the run (the text watermark's font) into assets, or says why
// it cannot be used. Needs a QGuiApplication for the font (see draw/gui_app.h).
RunProblem checkWatermark(const Settings& settings, WatermarkAssets& assets);

#pragma once

#include <QString>

#include <cstdint>

// The problems a run's checks find before anything is converted (engine/run/run_checks.h), and
// what each one becomes: the console's "Error: " line, the window's message box and what the
// window's status line does. One row per problem, in runProblemTable().

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
    InvalidFilenameMask,   // names would leave the output folder; argument: why
};

struct RunProblem {
    RunProblemKind kind = RunProblemKind::None;
    QString argument; // the value the message names (see the kinds)

    explicit operator bool() const { return kind != RunProblemKind::None; }
};

// What the window's status line does when it shows a problem's message box.
enum class StatusAfterProblem : std::uint8_t {
    ConversionStopped, // it says the conversion did not complete
    Unchanged,         // it keeps what it said (the watermark problems)
};

struct RunProblemRow {
    RunProblemKind kind;
    const char* consoleText; // after "Error: "; "%s1%" stands for the argument
    const char* messageKey;  // the window's message in the catalogue group "Msg"; "" for console-only checks
    StatusAfterProblem status;
};

// Every kind's row, in the order of the kinds.
const RunProblemRow& runProblemRow(RunProblemKind kind);

// The console's text for a problem, without "Error: ": "Invalid png-bpp value".
QString runProblemConsoleText(const RunProblem& problem);
// The key of the problem's message in the catalogue group "Msg" ("Invalid width", "Invalid output
// folder", ...), empty for the problems that have no catalogue message (the console-only checks).
QString runProblemMessageKey(RunProblemKind kind);
// The window's message box text: that catalogue message with %s1% = the argument.
QString runProblemMessage(const RunProblem& problem);

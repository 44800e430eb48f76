#pragma once

#include <QString>

#include <cstdint>

// The working state of the current input list and of a conversion run. The run steps fill the
// run fields (format identifier, depths, flags) before the worker starts; the worker updates the
// per-file fields (inputPath, subfolder, outputPath, sizes) and the mask counters.
struct JobState {
    QString programFolder;         // folder of the executable, with a trailing "/"
    QString inputPath;             // console input or list file; the file being converted
    QString inputFolder;           // root of the last folder scan; relative subfolders are computed against it
    QString subfolder;             // subfolder of the file being converted, below inputFolder
    QString outputPath;            // full output file name of the page being saved
    QString tempPath;              // temporary file of the writer in hand
    QString outputFolder;          // current output folder, with a trailing "/"
    std::int32_t randomValue = 1;  // %rnd% of the filename mask, 1..99999
    std::int32_t counterValue = 1; // %n% of the filename mask
    QString inputKey;
    std::int32_t sourceBpp = 0;
    std::int32_t formatId = 0;
    QString outputKey;
    std::int32_t targetBpp = 0;
    std::int32_t saveFlags = 0;
    std::uint8_t autoBpp = 0;
    std::uint8_t consoleRun = 0;
    // Kept by resetJobState: set once per process or per saved page.
    QString mode; // "T" screenshot mode, "DEBUG" after -d, else empty
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
};

// A fresh random value for %rnd%: 1..99999.
std::int32_t drawRandomValue();

// Starts the record afresh (a new %rnd% value, the program folder filled in), keeping only mode
// and the image size. A caller starting a new list empties the input list itself.
void resetJobState(JobState& job);

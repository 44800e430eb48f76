#pragma once

#include <QString>

#include <cstdint>

// What the samples of a page are as stored, where the depth alone does not say it: the automatic
// depth and the bit-depth step treat 16-bit samples differently from 8-bit ones.
enum class SourceSamples : std::uint8_t {
    Standard,    // up to 8 bits a sample (bilevel, palette, grey, RGB, RGBA), floating point, CMYK
    SixteenGrey, // one 16-bit grey sample: its 16 bits are one sample, not a 16-bit colour
    SixteenRgb,  // 16-bit red, green and blue
    SixteenRgba, // 16-bit red, green, blue and alpha
};

// What a worker holds for the file in hand: the file, where its output goes and the page being
// written. Each worker converts in its own copy of the run's record; the run's own record keeps
// what the last finished file left (the window opens its file dialogs there) and the mask counters
// the next file takes.
struct FileInHand {
    QString inputPath;             // the file being converted; also the console's named input and
                                   // the list file being read
    QString subfolder;             // subfolder of the file, below JobState::inputFolder
    QString outputPath;            // full output file name of the page being saved
    QString tempPath;              // temporary file of the writer in hand
    std::int32_t sourceBpp = 0;    // depth of the page as stored
    std::int32_t pageBpp = 0;      // depth the page is written with (%bpp%): the run's, or what Auto picks
    std::int32_t randomValue = 1;  // %rnd% of the filename mask, 1..99999
    std::int32_t counterValue = 1; // %n% of the filename mask
    // Kept by resetJobState: the size of the last saved page (%width%, %height%).
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    // What sourceBpp is made of.
    SourceSamples sourceSamples = SourceSamples::Standard;
};

// What a run is given from the settings for its output format: prepareRun fills it before the
// worker starts, and nothing changes it while the run lasts.
struct RunFields {
    std::int32_t formatId = 0;  // FreeImage format, or DevIL image type, of the writer
    std::int32_t targetBpp = 0; // the output format's bit-depth setting; 0 is Auto
    std::int32_t saveFlags = 0; // the writer's flags
    std::uint8_t autoBpp = 0;   // 1 when targetBpp is Auto: each page's depth follows its source
    // Pages whose whole-page conversion would take more bytes than this are streamed a band of rows
    // at a time where their steps and writer allow it (engine/run/page_path.h).
    std::uint64_t streamAbove = std::uint64_t{512} << 20;
    // The rows a streamed band holds, in bytes: enough that the steps and the writer work on long
    // runs of pixels, few enough that several huge pages convert side by side.
    std::uint64_t streamBandBytes = std::uint64_t{4} << 20;
    // Threads one page may take beside its worker: the cores the run's workers leave free (one huge
    // file on a machine of many cores), for reading ahead and for encoders that split their work.
    std::int32_t spareThreads = 0;
};

// The working record of the input list and of a conversion run: the folders and format the user
// chose, what the run is given from the settings, and the file in hand. What the window keeps
// between its commands is its own (gui/desktop_records.h).
struct JobState {
    QString programFolder; // folder of the executable, with a trailing "/"
    QString inputFolder;   // root of the last folder scan; relative subfolders are computed against it
    QString outputFolder;  // current output folder, with a trailing "/"
    QString inputKey;
    QString outputKey;
    std::uint8_t consoleRun = 0;
    // Kept by resetJobState: set once per process.
    QString mode; // "T" screenshot mode, "DEBUG" after -d, else empty
    RunFields run;
    FileInHand file;
};

// A fresh random value for %rnd%: 1..99999.
std::int32_t drawRandomValue();

// Starts the record afresh (a new %rnd% value, the program folder filled in), keeping only mode
// and the image size. A caller starting a new list empties the input list itself.
void resetJobState(JobState& job);

#pragma once

#include "app/settings.h"
#include "engine/core/file_failure.h"
#include "engine/core/job_state.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class InputFileList;
class TempFileClaim;    // engine/write/temp_file_claims.h
struct WatermarkAssets; // engine/steps/watermark.h: what a run loads once for its watermark (the font)

// What the run driver tells about one file when its turn is done.
struct FileResult {
    QString inputPath;
    bool converted = false;
    FileFailure failure = {};      // why, when not converted
    std::vector<QString> outputs;  // the files it wrote, in page order
    std::int64_t milliseconds = 0; // time spent converting it (not waiting for its turn)
};

// What one conversion run hands to the pipeline: the settings it reads, the job record it fills
// per file, the watermark assets loaded once by the starter, and where debug lines go.
struct RunContext {
    const Settings& settings;
    JobState& job;
    const WatermarkAssets* watermark = nullptr;
    // Debug output (console -d); empty when nobody listens.
    std::function<void(const QString&)> debugLine{};
    // Called by processCurrentFile with the full path of every output file it wrote (one per
    // saved page), so the run driver can set their time stamps.
    std::function<void(const QString& writtenPath)> onSaved{};

    // A run that converts several files at once sets these two; a sequential run leaves them empty.
    // The mask counters (%n%, %rnd%) of a file are known only once every earlier file is done:
    // the pipeline calls needCounters() before it uses them, which waits for that and fills
    // job.file.counterValue and job.file.randomValue.
    std::function<void(JobState&)> settleCounters{};

    // Gives a finished temporary file its output name. The run driver defers the rename to the
    // end of the file's turn (taking the claim over, so the file stays marked as a live run's until
    // it has its name), when it knows whether the whole file converted, and decides then whether the
    // name may be taken (never an input of the run, never a name an earlier file wrote). Empty:
    // the pipeline renames at once.
    std::function<FileFailure(TempFileClaim& temp, const QString& outputPath)> commitOutput{};

    // The gate between the pages of a file and between the steps of a page: holds the file while
    // the run is paused and says false when the run abandons the file in hand (the window's stop
    // question). Empty: the file always goes on.
    std::function<bool()> gate{};

    // Why the file in hand failed: set by the pipeline where the failure happens.
    FileFailure failure{};
    // Called by the run driver, in list order, with every file that was not converted.
    std::function<void(const QString& inputPath, const FileFailure& failure)> fileFailed{};

    // Called by the run driver, in list order, with the outcome of every file it took up.
    std::function<void(const FileResult& result)> fileFinished{};

    // A run that converts only part of the collected list (one shard of it, or the files an
    // incremental run did not skip) names the whole list here, so that no output replaces any
    // file of it, and the outputs the skipped files keep (output, input), so that no later file
    // takes their names. Empty: the list the run converts is the whole list.
    const InputFileList* allInputs = nullptr;
    std::vector<std::pair<QString, QString>> keptOutputs{};

    void needCounters() const
    {
        if (settleCounters) {
            settleCounters(job);
        }
    }

    bool mayContinue() const { return !gate || gate(); }

    void debug(const QString& line) const
    {
        if (debugLine) {
            debugLine(line);
        }
    }
};

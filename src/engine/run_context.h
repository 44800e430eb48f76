#pragma once

#include "app/settings.h"
#include "engine/job_state.h"

#include <QString>

#include <functional>

struct WatermarkAssets;  // engine/watermark.h: what a run loads once for its watermark (the font)

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
    // job.counterValue and job.randomValue.
    std::function<void(JobState&)> settleCounters{};
    // Outputs replace files of the same name in list order: instead of renaming a finished
    // temporary file over its output name at once, the pipeline hands both names here and the
    // run renames them at the file's turn. Returns false when the output cannot be taken.
    std::function<bool(const QString& tempPath, const QString& outputPath)> deferCommit{};

    void needCounters() const
    {
        if (settleCounters) {
            settleCounters(job);
        }
    }

    void debug(const QString& line) const
    {
        if (debugLine) {
            debugLine(line);
        }
    }
};

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

    void debug(const QString& line) const
    {
        if (debugLine) {
            debugLine(line);
        }
    }
};

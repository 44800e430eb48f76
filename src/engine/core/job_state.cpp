#include "engine/core/job_state.h"

#include "app/program_info.h"

#include <QRandomGenerator>

#include <utility>

std::int32_t drawRandomValue()
{
    // bounded() excludes its upper end: 1..99999, uniform.
    return static_cast<std::int32_t>(QRandomGenerator::global()->bounded(1, 100000));
}

void resetJobState(JobState& job)
{
    // Built from a fresh record, so a field added later is reset without being listed here; only
    // what belongs to the process and the last saved page is carried over.
    JobState fresh;
    fresh.mode = std::move(job.mode);
    fresh.file.imageWidth = job.file.imageWidth;
    fresh.file.imageHeight = job.file.imageHeight;
    fresh.programFolder = programFolder();
    fresh.file.randomValue = drawRandomValue();
    job = std::move(fresh);
}

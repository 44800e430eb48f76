#pragma once

#include "app/settings.h"
#include "engine/job_state.h"
#include "engine/page_loader.h"

#include <cstdint>

// The peak memory of one page on its way through the pipeline, worked out from its header and the
// settings alone: the page is followed through every enabled step with its size and depth, and
// each step counts the images it holds at once (its input, its output and its own working copies).
// The factors of the library calls were measured (bench/memory_factors.sh), not derived.
std::uint64_t pagePeakBytes(const TiffPageHeader& header, const Settings& settings, const JobState& job);

#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/decode/page_loader.h"

#include <cstdint>

// What converting one page needs at its peak, in bytes, worked out from its header and the settings
// alone: the page is followed through every enabled step with its size and depth, and each step
// counts the images it holds at once (its input, its output and its own working copies, whose
// factors were measured with bench/memory_factors.sh). job supplies the output key and the target
// depth (the run fields prepareRun fills). 0 for a page that is empty or beyond the page-size
// limit: such a page is never decoded.
std::uint64_t pageMemoryEstimate(const TiffPageHeader& header, const Settings& settings, const JobState& job);

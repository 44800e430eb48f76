#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/decode/page_loader.h"

#include <cstdint>

// How one page is converted: decoded whole and written whole, or streamed: read a band of rows at
// a time, each band through the steps and into the format's row writer, never held whole.
enum class PagePath : std::uint8_t { InMemory, Streamed };

// The one place the path of a page is chosen, from its header and the run's settings. A page is
// streamed only when the streamed file is the in-memory file byte for byte:
// - its whole-page conversion would hold more than job.run.streamAbove bytes (pageMemoryEstimate);
// - FreeImage decodes it right and lays its rows out plainly: contiguous 1- or 8-bit grey (either
//   polarity), 8-bit RGB or RGBA, stored upright, not CMYK nor old-style JPEG;
// - every step it goes through works row by row, or on a window of rows like the resize (streamed
//   unless the page is also flipped vertically), turns it by a right angle (turned_bands.h), or
//   knows each band's place in the page like the frame and the watermark (band_drawing.h): no
//   other rotation, no icon size cap, no sRGB conversion of a profiled page for stripped metadata,
//   and a bit-depth step that converts pixel by pixel (no palette quantisation, no dithering);
// - a vertical flip or a half turn (each reads the bands bottom-up; both together, top down) only
//   over strips or tiles of a band's size;
// - the output format has a row writer that takes the page's final depth and the run's flags.
// The writer sees the page's metadata only once FreeImage has read its header, and may still
// refuse it then (rowWriterTakes): such a page is converted in memory after all.
PagePath choosePagePath(const TiffPageHeader& header, const Settings& settings, const JobState& job);

// The depth the page's rows have once the row steps (colour correction, greyscale, threshold and
// the bit-depth step) are done with them; 0 when the bit-depth step needs the whole page.
int streamedPageDepth(const TiffPageHeader& header, const Settings& settings, const JobState& job);

// What a streamed page holds at its peak: a band as read, the steps' copies of it, the next band
// when the page reads ahead (band_read_ahead.h), the frame's and the watermark's drawing, and the
// row writer's own buffers.
std::uint64_t streamedPageMemory(const TiffPageHeader& header, const Settings& settings, const JobState& job);

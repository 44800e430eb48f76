#pragma once

#include "engine/core/run_context.h"
#include "engine/decode/page_loader.h"
#include "engine/run/encoded_page.h"

#include <QString>

// Converts the file context.job.file.inputPath: selects its pages (Input/TIFF Frame Loading), runs
// each selected page through the fixed order of steps (rotate, resize, the icon size cap, grey
// and high-dynamic-range normalisation, flip, colour correction, greyscale, threshold, frame,
// watermark, bit depth), names it and saves it, one decoded page at a time. Fills the per-page
// fields of context.job and reports every written file through context.onSaved. True when every
// selected page with pixels was saved; false when the file could not be opened, no page was saved,
// or any page failed (the pages after a failed one are still tried, and context.failure names the
// last failure). The run driver keeps a file's pages only when it returns true.
bool processCurrentFile(RunContext& context);

// Whether the run reads CMYK pages as FreeImage decodes them, inks and all (a CMYK TIFF output)
// rather than converted to RGB.
bool keepsCmykPages(const JobState& job);

// The chain of processCurrentFile for one decoded page (its stored depth goes to
// context.job.file.sourceBpp, for the Auto bit depth): every step in the fixed order, the
// page's metadata (or none with Advanced/Strip Metadata), the output name (which fills
// context.job.file.outputPath and may wait for the run's counters), and the writer of
// context.job.outputKey into a temporary file. A page that failed to load, or whose steps gave no
// image, is named and reported, and nothing is written. The caller renames or removes the file.
EncodedPage encodePage(LoadedPage page, const PagePlacement& placement, RunContext& context);

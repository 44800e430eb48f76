#pragma once

#include "engine/core/run_context.h"
#include "engine/decode/page_loader.h"

#include <QString>

// Converts the file context.job.inputPath: selects its pages (Input/TIFF Frame Loading), runs
// each selected page through the fixed order of steps (rotate, resize, the icon size cap, grey
// and high-dynamic-range normalisation, flip, colour correction, greyscale, threshold, frame,
// watermark, bit depth), names it and saves it, one decoded page at a time. Fills the per-page
// fields of context.job and reports every written file through context.onSaved. True when the
// last page that reached the save was saved; false when the file could not be opened or no page
// was saved.
bool processCurrentFile(RunContext& context);

// The name a page of a multi-page file is saved under with Input/TIFF Frame Loading All:
// "[pageNumber]" inserted in front of the last (length of outputKey + 1) characters, so that
// a.png becomes a[1].png.
QString numberedOutputPath(const QString& outputPath, const QString& outputKey, int pageNumber);

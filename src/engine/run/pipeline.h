#pragma once

#include "engine/core/run_context.h"
#include "engine/decode/page_loader.h"
#include "engine/write/temp_file_claims.h"

#include <QString>

// Converts the file context.job.file.inputPath: selects its pages (Input/TIFF Frame Loading), runs
// each selected page through the fixed order of steps (rotate, resize, the icon size cap, grey
// and high-dynamic-range normalisation, flip, colour correction, greyscale, threshold, frame,
// watermark, bit depth), names it and saves it, one decoded page at a time. Fills the per-page
// fields of context.job and reports every written file through context.onSaved. True when the
// last page that reached the save was saved; false when the file could not be opened or no page
// was saved.
bool processCurrentFile(RunContext& context);

// Whether the run reads CMYK pages as FreeImage decodes them, inks and all (a CMYK TIFF output)
// rather than converted to RGB.
bool keepsCmykPages(const JobState& job);

// Where encodePage puts a page: its 0-based index in the file, whether the run numbers its name
// (several pages selected), and the folder its encoded file goes to (with a trailing "/"). An
// empty folder means beside its output name, so that the run can rename it into place; the
// preview gives a folder of its own, outside the output folder.
struct PagePlacement {
    int index = 0;
    bool numbered = false;
    QString encodeFolder = {};
};

// One page through the chain to an encoded file.
struct EncodedPage {
    FileFailure failure = {}; // why nothing was written; empty when encodedPath holds the page
    QString outputPath;       // the name the run gives the page
    QString encodedPath;      // the complete file as the writer wrote it, under a temporary name
    int width = 0;            // the page handed to the writer: size and bits per pixel
    int height = 0;
    int depth = 0;
    TempFileClaim claim; // encodedPath stays claimed until it is renamed or removed
};

// The chain of processCurrentFile for one decoded page (its stored depth goes to
// context.job.file.sourceBpp, for the Auto bit depth): every step in the fixed order, the
// page's metadata (or none with Advanced/Strip Metadata), the output name (which fills
// context.job.file.outputPath and may wait for the run's counters), and the writer of
// context.job.outputKey into a temporary file. A page that failed to load, or whose steps gave no
// image, is named and reported, and nothing is written. The caller renames or removes the file.
EncodedPage encodePage(LoadedPage page, const PagePlacement& placement, RunContext& context);

// %width%, %height% and %bpp% of the page in hand, for its watermark text and its name: the size
// after resize and the icon cap, and the depth it will be written with. Stored before the
// watermark, so the text never shows another page's values.
void describePage(JobState& job, int width, int height);

// Names the page: its output name (which fills context.job.file.outputPath and may wait for the
// run's counters), numbered when the placement says so.
void nameEncodedPage(EncodedPage& encoded, const PagePlacement& placement, RunContext& context);

// The name the page's temporary file is created beside: its output name, or the same file name in
// the placement's encode folder.
QString encodeBesidePath(const EncodedPage& encoded, const PagePlacement& placement);

// The name a page of a multi-page file is saved under with Input/TIFF Frame Loading All:
// "[pageNumber]" inserted in front of the last (length of outputKey + 1) characters, so that
// a.png becomes a[1].png.
QString numberedOutputPath(const QString& outputPath, const QString& outputKey, int pageNumber);

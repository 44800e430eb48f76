#pragma once

#include "engine/core/job_state.h"
#include "engine/core/run_context.h"
#include "engine/write/temp_file_claims.h"

#include <QString>

// A page on its way to a file, whichever path converts it (pipeline.h in memory, streamed_page.h a
// band at a time): where it goes, its name and its encoded file.

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

// %width%, %height% and %bpp% of the page in hand, for its watermark text and its name: the size
// after resize and the icon cap, and the depth it will be written with. Stored before the
// watermark, so the text never shows another page's values.
void describePage(JobState& job, int width, int height);

// Names the page: its output name (which fills context.job.file.outputPath and may wait for the
// run's counters), numbered when the placement says so. A name that would climb out of the output
// folder fails the page (encoded.failure) before anything is written.
void nameEncodedPage(EncodedPage& encoded, const PagePlacement& placement, RunContext& context);

// The name the page's temporary file is created beside: its output name, or the same file name in
// the placement's encode folder.
QString encodeBesidePath(const EncodedPage& encoded, const PagePlacement& placement);

// The name a page of a multi-page file is saved under with Input/TIFF Frame Loading All:
// "[pageNumber]" inserted in front of the last (length of outputKey + 1) characters, so that
// a.png becomes a[1].png.
QString numberedOutputPath(const QString& outputPath, const QString& outputKey, int pageNumber);

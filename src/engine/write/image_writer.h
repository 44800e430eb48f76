#pragma once

// engine/write: pages out. The writer each format's catalogue row names (FreeImage, DevIL, JPEG XR,
// icons, the exact-colour BMP), the temporary file every save goes through and its atomic rename,
// and the claims that let a later run remove temporary files a killed run left. Includes the
// rooms below it (core, formats, decode, steps).

#include "app/settings.h"
#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"
#include "engine/formats/format_catalogue.h"

#include <QString>

// Moves a completely written temporary file over targetPath (replacing any earlier file, whatever
// its mode bits). On failure the temporary file is removed and the earlier target is left intact.
bool commitTempFile(const QString& tempPath, const QString& targetPath);

enum class SaveStatus {
    Saved,
    Failed,
    // The DevIL writer could not allocate its pixel buffer: the pipeline stops the file's pages.
    OutOfMemory,
};

// Writes the page to `path` with the writer of job.outputKey (formatId and flags from
// job.run.formatId / job.run.saveFlags): DevIL for dds (with mipmaps), psd and pcx; the exact-colour-table
// writer for 8-bit bmp when Output/BMP Color Table is Exact; jxrlib for jxr; our own icon writer
// for icons FreeImage refuses; FreeImage for the rest. Every writer writes a temporary file in the
// target folder that replaces `path` only when complete: a failed save leaves an earlier file at
// `path` untouched and no temporary file behind.
SaveStatus saveImageStatus(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job);

// The writer step alone: writes the page straight to `path` (a temporary file the caller claimed,
// TempFileClaim::create), removing that file when the write fails. saveImageStatus is this plus commitTempFile.
SaveStatus writeImageFile(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job);

// saveImageStatus(...) == SaveStatus::Saved.
bool saveImage(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job);

// FreeImage's PBM and WBMP writers store the palette indices of a 1-bit page as they are, while
// the formats fix their meaning (PBM: 1 is black; WBMP: 1 is white). A page whose palette runs the
// other way would come out inverted, so the writers are given a copy in the layout the format
// expects; empty when `image` is already in that layout (or is not a black and white page).
Bitmap withBilevelLayout(BilevelIndex index, const Bitmap& image);

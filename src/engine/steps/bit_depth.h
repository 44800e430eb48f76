#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"

// The depth a page is written with: autoBitDepth(outputKey, file.sourceBpp) when job.run.autoBpp is
// set, job.run.targetBpp otherwise. The pipeline stores it in job.file.pageBpp so %bpp% shows it.
int effectiveTargetBpp(const JobState& job);

// Brings the page to effectiveTargetBpp(job) bits per pixel, in the form the writer's layout
// (its catalogue row) asks for, and returns it; an image already at that depth (and of the pixel
// type the depth means, in that form) comes back unchanged, palette included. 96 is float RGB, 48
// 16-bit-per-channel RGB, 16 is 5-5-5 or 5-6-5, 8 is grey for the grey-eight writers (j2k, jp2, jpg,
// jxr, pgm) and a Wu-quantised palette otherwise, 4 a 16-level FreeImage conversion, 1
// Floyd-Steinberg dithered. Colour is not lost to a writer's form: for a grey-eight writer at 8
// bits a page with a coloured palette, and at Auto any colour page, becomes 24-bit (a grey-only
// format turns them grey); only the formats without a palette dither a coloured 1-bit page to
// black and white. Any other depth, a failed conversion or an empty input gives an empty image, so
// the save fails.
Bitmap convertBitDepth(Bitmap image, const JobState& job);

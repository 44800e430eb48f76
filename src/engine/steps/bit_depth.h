#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"

// The depth a page is written with: autoBitDepth(outputKey, sourceBpp) when job.autoBpp is set,
// job.targetBpp otherwise. The pipeline stores it in job.targetBpp so %bpp% shows it.
int effectiveTargetBpp(const JobState& job);

// Brings the page to effectiveTargetBpp(job) bits per pixel and returns it; an image already at
// that depth (and of the pixel type the depth means) comes back unchanged, palette included. 96 is
// float RGB, 48 16-bit-per-channel RGB, 16 is 5-5-5 for ico and tga and 5-6-5 otherwise, 8 is grey
// for j2k/jp2/jpg/jxr/pgm and a Wu-quantised palette otherwise, 4 a 16-level FreeImage conversion, 1
// Floyd-Steinberg dithered. Colour is not lost to a writer's form: for j2k/jp2/jpg/jxr at 8 bits a
// page with a coloured palette, and at Auto any colour page, becomes 24-bit (pgm turns them grey);
// only the formats without a palette (jxr, pbm, wbmp) dither a coloured 1-bit page to black and
// white. Any other depth, a failed conversion or an empty input gives an empty image, so the save
// fails.
Bitmap convertBitDepth(Bitmap image, const JobState& job);

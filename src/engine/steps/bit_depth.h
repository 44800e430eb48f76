#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"

#include <optional>

// The depth a page is written with: autoBitDepth(outputKey, file.sourceBpp, file.sourceSamples)
// when job.run.autoBpp is set, job.run.targetBpp otherwise. The pipeline stores it in job.file.pageBpp so %bpp% shows
// it.
int effectiveTargetBpp(const JobState& job);

// Whether the page keeps its 16-bit samples through the steps: it has them (file.sourceSamples)
// and is written at 48 or 64 bits. Steps that work on 8 bits only leave 8-bit samples, which the
// bit-depth step widens with sixteenOf8.
bool keepsSixteenBitSamples(const JobState& job);

// The two colours of a 1-bit page whose palette is not plain black and white, darker first.
struct BilevelColours {
    RGBQUAD dark{};
    RGBQUAD light{};
};
std::optional<BilevelColours> ownBilevelColours(FIBITMAP* page);

// Brings the page to effectiveTargetBpp(job) bits per pixel, in the form the writer's layout
// (its catalogue row) asks for, and returns it; an image already at that depth (and of the pixel
// type the depth means, in that form) comes back unchanged, palette included. 96 is float RGB; 48
// 16-bit-per-channel RGB and 64 (which only the automatic depth picks) 16-bit RGBA, through
// toSixteenBitsPerSample for a page that keeps its 16-bit samples and through FreeImage's
// conversion otherwise; 16 is 5-5-5 or 5-6-5, 8 is grey for the grey-eight writers (j2k, jp2, jpg,
// jxr, pgm) and a Wu-quantised palette otherwise, 4 a 16-level FreeImage conversion, 1
// Floyd-Steinberg dithered (between the source page's own two colours when it was a 1-bit page
// of other colours than black and white, `own`, and the format has a palette). Colour is not lost to a writer's form:
// for a grey-eight writer at 8 bits a page with a coloured palette, and at Auto any colour page, becomes 24-bit (a
// grey-only format turns them grey); only the formats without a palette dither a coloured 1-bit page to black and
// white. Any other depth, a failed conversion or an empty input gives an empty image, so the save fails.
Bitmap convertBitDepth(Bitmap image, const JobState& job, const std::optional<BilevelColours>& own = std::nullopt);

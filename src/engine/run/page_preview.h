#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"

#include <FreeImage.h>

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

// One page of one input file before and after the chain, as the run would write it: the page as
// loaded, and the file the run's writer makes of it, decoded back, so that JPEG quality, reduced
// depths, palettes and thresholds show as they will be. Nothing is written to the output folder:
// the encoded file goes to a temporary folder of its own and is removed at once.

// Pages with more pixels than this get a first look while the chain works on them: a reduced copy
// of the page through the chain, read before the page itself is decoded.
inline constexpr std::uint64_t previewFirstLookPixels = 24'000'000;

// The longer side of that reduced copy, at least (a reduced-resolution page the file carries may be
// larger): about a screen's width, read from a small part of the page's strips.
inline constexpr std::uint32_t previewReducedSide = 2048;

struct PreviewRequest {
    Settings settings;
    // The run's record as the Convert command would start it: outputKey, outputFolder, the mask
    // counters. prepareRun fills the format fields.
    JobState job;
    QString inputPath;
    QString subfolder;  // of the file's list entry, for the output name
    int pageIndex = -1; // 0-based; -1: the first page the run converts (Input/TIFF Frame Loading)
    std::uint64_t firstLookPixels = previewFirstLookPixels;
    std::uint32_t reducedSide = previewReducedSide;
};

// Display copies larger than this on either side are scaled down to it: the window never holds
// more than about 64 megapixels per picture, whatever the page.
inline constexpr int previewDisplaySide = 8192;

// Where the time of a preview went, in milliseconds: what the latency benchmark reports.
struct PreviewTimes {
    std::int64_t prepare = 0;    // the run's checks, the file's page headers
    std::int64_t decode = 0;     // the page read from its file
    std::int64_t showBefore = 0; // its display copy
    std::int64_t chain = 0;      // steps and writer, into the scratch file
    std::int64_t readBack = 0;   // the written file decoded
    std::int64_t showAfter = 0;  // its display copy
};

struct PagePreview {
    // Why there is no "after" picture: the reason the console prints for the file, or the message
    // of the run check that would stop the conversion. Empty when the page was written.
    QString problem;
    bool fileFailed = false; // the problem is the file's own (unreadable, damaged, too large)
    int pageCount = 0;
    int pageIndex = 0;
    bool pageConverted = true; // whether the run converts this page (Input/TIFF Frame Loading)
    QImage before;             // display copies (see previewDisplaySide)
    QImage after;
    double displayScale = 1.0; // display size / page size of `before`
    double afterScale = 1.0;   // the same for `after`
    // A first look at a large page; the complete preview follows in a later result. Either a
    // reduced copy of the page through the chain (reducedStep > 0: `before` and `after` are made at
    // the reduced size, so sizes in pixels, frames and watermarks show larger than on the page, and
    // the output figures are left out), or, for pages that cannot be read reduced, the whole page
    // scaled down with no `after`.
    bool firstLook = false;
    int reducedStep = 0;                    // every n-th row and column of what was read
    bool fromReducedResolutionPage = false; // read from the file's own reduced-resolution copy
    int sourceWidth = 0;
    int sourceHeight = 0;
    QString outputPath; // the name the run would give the page
    int width = 0;      // the page handed to the writer
    int height = 0;
    int depth = 0; // bits per pixel written
    std::int64_t bytes = 0;
    std::int64_t milliseconds = 0; // from the decode to the written file
    PreviewTimes times;
};

// Works out the preview of one request on the calling thread. `firstLook` (when given) receives
// the scaled-down first look of a large page before the chain starts; `superseded` (when given) is
// asked between the stages, and a true answer ends the work early with an empty result. Needs a
// QGuiApplication when a frame or watermark is drawn, as a run does.
PagePreview previewPage(const PreviewRequest& request, const std::function<void(const PagePreview&)>& firstLook = {},
                        const std::function<bool()>& superseded = {});

// A page as the window shows it: 32-bit ARGB, scaled to fit previewDisplaySide. Pages in other
// sample types (16-bit, floating point) are brought to 8 bits first. A null image when the page
// cannot be converted.
QImage displayImage(FIBITMAP* page, double* scale = nullptr);

// A written file decoded back as the preview shows it: FreeImage's reader of the file's format
// (JPEG with accurate DCT). A JPEG file larger than `side` on its longer side (when given) is
// decoded at 1/2, 1/4 or 1/8 of its size, the smallest still at least `side`: its decoder scales
// as it decodes, a fraction of the work. Empty when FreeImage cannot read the format.
Bitmap loadWrittenFile(const QString& path, int side = 0);

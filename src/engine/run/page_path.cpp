#include "engine/run/page_path.h"

#include "engine/core/page_header.h"
#include "engine/core/page_limits.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/band_read_ahead.h"
#include "engine/run/page_memory.h"
#include "engine/run/turned_bands.h"
#include "engine/steps/band_drawing.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/row_resize.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/transform.h"
#include "engine/write/row_writer_dispatch.h"

#include <tiffio.h>

#include <algorithm>

namespace {

// Rows a band holds at most when the page is read bottom-up: libtiff decodes a compressed strip
// from its start, so only strips (or tiles) about a band's size can be read in reverse cheaply.
constexpr std::uint64_t reverseReadBytes = std::uint64_t{16} << 20;

bool plainLayout(const TiffPageHeader& header)
{
    if (header.separatePlanes || header.cmyk || header.orientation != 1 || header.compression == 6 ||
        header.sampleFormat != SAMPLEFORMAT_UINT) {
        return false;
    }
    const bool grey = header.photometric == PHOTOMETRIC_MINISBLACK || header.photometric == PHOTOMETRIC_MINISWHITE;
    if (grey) {
        return header.samplesPerPixel == 1 && (header.bitsPerSample == 1 || header.bitsPerSample == 8);
    }
    return header.photometric == PHOTOMETRIC_RGB && header.bitsPerSample == 8 &&
           (header.samplesPerPixel == 3 ||
            (header.samplesPerPixel == 4 && header.alphaSample == EXTRASAMPLE_UNASSALPHA));
}

bool rotates(const TransformSettings& t)
{
    return t.doImageRotation != 0 && t.imageRotation >= 1 && t.imageRotation <= 359;
}

// The page's sides and depth as the steps after the rotation see them: a quarter turn swaps the
// sides, and every turn gives a page of less than 24 bits 24.
ResizeTarget turnedSides(const TiffPageHeader& header, const Settings& settings)
{
    const auto width = static_cast<int>(header.width);
    const auto height = static_cast<int>(header.height);
    const int turn = bandTurn(settings.transform);
    return turn == 90 || turn == 270 ? ResizeTarget{height, width} : ResizeTarget{width, height};
}

int turnedDepth(const TiffPageHeader& header, const Settings& settings)
{
    return bandTurn(settings.transform) != 0 && header.bitsPerPixel < 24 ? 24 : header.bitsPerPixel;
}

// Whether the page is resized, and how: streamed (top band first, through a window of rows), when
// it is not also flipped vertically (the flipped page is read bottom-up, and the resize of a page
// read upside down is not the same sum of the same rows) and the target is within the page-size
// limit (beyond it the in-memory resize fails the page).
enum class Resizing : std::uint8_t { None, Streamed, InMemory };

Resizing resizingOf(const TiffPageHeader& header, const Settings& settings)
{
    const auto [width, height] = turnedSides(header, settings);
    const ResizeTarget target = resizeTarget(width, height, settings);
    if (target == ResizeTarget{width, height}) {
        return Resizing::None;
    }
    const bool allowed =
        pageSizeAllowed(static_cast<std::uint64_t>(target.width), static_cast<std::uint64_t>(target.height));
    return allowed && settings.transform.doImageFlipVertical == 0 ? Resizing::Streamed : Resizing::InMemory;
}

// Whether every step before the bit-depth step works on rows alone (or, for the resize, on a
// window of rows).
bool rowLocalSteps(const TiffPageHeader& header, const Settings& settings, const JobState& job)
{
    const auto [width, height] = turnedSides(header, settings);
    // The icon cap needs the whole page; so does the sRGB conversion a profiled page gets when its
    // metadata is stripped, and a rotation other than a right-angle turn. The frame and the
    // watermark are drawn band by band (band_drawing.h).
    return (!rotates(settings.transform) || bandTurn(settings.transform) != 0) &&
           resizingOf(header, settings) != Resizing::InMemory &&
           !outputFormatFor(job.outputKey).beyondSizeCap(width, height) &&
           (settings.advanced.stripMetadata == 0 || !header.colourProfile);
}

bool readsBottomUpCheaply(const TiffPageHeader& header)
{
    if (header.tiled || header.compression == COMPRESSION_NONE) {
        return true;
    }
    const std::uint64_t rowBytes = (std::uint64_t{header.width} * static_cast<unsigned>(header.bitsPerPixel) + 7) / 8;
    return std::uint64_t{std::max<std::uint32_t>(header.rowsPerStrip, 1)} * rowBytes <= reverseReadBytes;
}

// Whether the stored bands are read in the order the page needs cheaply: from the bottom up for a
// vertical flip or for a half turn (both: top down); a quarter turn reads columns in any order.
bool bandOrderCheap(const TiffPageHeader& header, const Settings& settings)
{
    const int turn = bandTurn(settings.transform);
    const bool bottomUp = (settings.transform.doImageFlipVertical != 0) != (turn == 180);
    return turn == 90 || turn == 270 || !bottomUp || readsBottomUpCheaply(header);
}

// A page without pixels of this size and depth, for asking the row writer (and the resize) before
// any pixel is read: grey levels for 8 bits, black and white for 1 bit.
Bitmap probeHeader(std::uint32_t width, std::uint32_t height, int depth)
{
    Bitmap probe = allocatePageHeader(static_cast<int>(width), static_cast<int>(height), depth);
    if (probe && depth <= 8) {
        RGBQUAD* palette = FreeImage_GetPalette(probe.get());
        const unsigned colours = FreeImage_GetColorsUsed(probe.get());
        for (unsigned i = 0; i < colours; ++i) {
            const auto level = static_cast<BYTE>(i * 255 / (colours - 1));
            palette[i] = RGBQUAD{level, level, level, 0};
        }
    }
    return probe;
}

// The size of the page the writer is given.
ResizeTarget writtenSize(const TiffPageHeader& header, const Settings& settings)
{
    const auto [width, height] = turnedSides(header, settings);
    return resizeTarget(width, height, settings);
}

// What the streamed resize holds: its window of rows, and the resized bands one band read gives,
// each with the steps' copy of it.
std::uint64_t resizeMemory(const TiffPageHeader& header, const Settings& settings, std::uint64_t bandRows)
{
    if (resizingOf(header, settings) != Resizing::Streamed) {
        return 0;
    }
    const auto [width, height] = turnedSides(header, settings);
    const RowResize resize = *rowResizeFor(width, height, settings);
    const Bitmap source = probeHeader(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                      turnedDepth(header, settings));
    const std::uint64_t resizedRows =
        bandRows * static_cast<std::uint64_t>(resize.targetHeight) / static_cast<std::uint64_t>(height) + 1;
    const std::uint64_t resizedRowBytes = std::uint64_t{4} * static_cast<std::uint64_t>(resize.targetWidth);
    return rowResizerHeldBytes(source, resize) + 2 * resizedRows * resizedRowBytes;
}

} // namespace

int streamedPageDepth(const TiffPageHeader& header, const Settings& settings, const JobState& job)
{
    const AdjustmentSettings& a = settings.adjustment;
    int depth = turnedDepth(header, settings);
    if (resizingOf(header, settings) == Resizing::Streamed && depth == 1) {
        depth = 8; // FreeImage_Rescale gives a bilevel page grey levels
    }
    if (a.doImageColorCorrection != 0 && depth < 8) {
        depth = 24;
    }
    if (a.doImageGreyscale != 0) {
        depth = 8;
    }
    if (a.doImageThreshold != 0) {
        depth = 1;
    }
    if (settings.frame.doFrame != 0 || settings.watermark.doWatermark != 0) {
        depth = 24; // drawn on 24-bit pages
    }
    JobState page = job;
    page.file.sourceBpp = header.bitsPerPixel;
    page.file.sourceSamples = sourceSamplesOf(header);
    const int target = effectiveTargetBpp(page);
    const WriterLayout& form = outputFormatFor(job.outputKey).layout;
    if (target == depth || target == 24 || target == 32) {
        return target;
    }
    // To grey levels pixel by pixel, unless the automatic depth first looks for colour in the whole
    // page; to a palette of the page's own colours (quantisation) or to 1 bit (dithering), never.
    const bool perPixelGrey = form.greyEight && (depth == 1 || form.greyOnly || job.run.autoBpp == 0);
    return target == 8 && perPixelGrey ? 8 : 0;
}

PagePath choosePagePath(const TiffPageHeader& header, const Settings& settings, const JobState& job)
{
    const OutputFormat& format = outputFormatFor(job.outputKey);
    if (format.rowWriter == RowWriterKind::None || !plainLayout(header) || !rowLocalSteps(header, settings, job)) {
        return PagePath::InMemory;
    }
    const std::uint64_t estimate = pageMemoryEstimate(header, settings, job);
    if (estimate == 0 || estimate <= job.run.streamAbove) {
        return PagePath::InMemory;
    }
    if (!bandOrderCheap(header, settings)) {
        return PagePath::InMemory;
    }
    const int depth = streamedPageDepth(header, settings, job);
    if (depth == 0) {
        return PagePath::InMemory;
    }
    const ResizeTarget size = writtenSize(header, settings);
    const Bitmap probe =
        probeHeader(static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height), depth);
    return probe && rowWriterTakes(format.rowWriter, job.run.saveFlags, probe) ? PagePath::Streamed
                                                                               : PagePath::InMemory;
}

std::uint64_t streamedPageMemory(const TiffPageHeader& header, const Settings& settings, const JobState& job)
{
    const std::uint64_t width = header.width;
    const auto rowBytes = [width](int bits) {
        return (width * static_cast<unsigned>(std::max(bits, 1)) + 31) / 32 * 4;
    };
    const std::uint64_t unitRows = header.tiled ? header.tileLength : header.rowsPerStrip;
    // The band as read (whole strips, or a band's bytes of rows of a large strip) and libtiff's buffer.
    // libtiff reads an uncompressed strip in pieces of about 8 KiB, whatever its size.
    const std::uint64_t chopped = std::max<std::uint64_t>(1, 8192 / rowBytes(header.bitsPerPixel));
    const std::uint64_t readRows = std::clamp<std::uint64_t>(
        header.compression == COMPRESSION_NONE && !header.tiled ? std::min(unitRows, chopped) : unitRows, 1,
        header.height);
    const std::uint64_t bandRows = std::max<std::uint64_t>(
        readRows, job.run.streamBandBytes / std::max<std::uint64_t>(1, rowBytes(header.bitsPerPixel)));
    std::uint64_t rows = std::min<std::uint64_t>(bandRows, header.height);
    // Each step holds its input band and its output band; 32 bits is the deepest a band gets.
    std::uint64_t band = rows * rowBytes(32);
    std::uint64_t readBuffer = readRows * rowBytes(header.bitsPerPixel);
    std::uint64_t aheadBand = rows * rowBytes(header.bitsPerPixel); // a band as the reader hands it out
    if (const int turn = bandTurn(settings.transform); turn != 0) {
        // The turned page's bands, and what its reader holds to make one.
        const TurnedBandsMemory turned = turnedBandsMemory(header, turn, job.run.streamBandBytes);
        rows = turned.bandRows;
        band = rows * std::uint64_t{4} * static_cast<std::uint64_t>(turnedSides(header, settings).width);
        readBuffer = turned.heldBytes;
        aheadBand = band;
    }
    const int depth = std::max(streamedPageDepth(header, settings, job), 1);
    const ResizeTarget size = writtenSize(header, settings);
    const Bitmap probe =
        probeHeader(static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height), depth);
    // Reading ahead, the next band is decoded into a band of its own meanwhile (into the same
    // libtiff buffers, which the reading thread holds while the worker has the band before).
    const std::uint64_t bandAhead = readsAhead(job) ? aheadBand : 0;
    return 2 * band + readBuffer + bandAhead + resizeMemory(header, settings, rows) +
           bandDrawingMemory(size.width, size.height, settings,
                             rows * static_cast<std::uint64_t>(size.height) /
                                     static_cast<std::uint64_t>(turnedSides(header, settings).height) +
                                 1) +
           rowWriterMemory(outputFormatFor(job.outputKey).rowWriter, job.run.saveFlags, probe, encoderThreads(job));
}

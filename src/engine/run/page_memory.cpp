#include "engine/run/page_memory.h"

#include "engine/core/page_limits.h"
#include "engine/formats/format_catalogue.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Measured factors: the peak resident size of converting one 6000 x 4000 page beyond that of a
// 16 x 16 page, as bench/memory_factors.sh prints them. Each is in bytes per pixel of the image
// named; the other steps hold just their input and their output, which the model counts itself.

// FreeImage_Rotate by an angle that is not a right angle shears the page three times; working
// copies and result together, per pixel of the enlarged result.
constexpr double shearRotationPerResultPixel = 7.2;
// FreeImage_RotateEx (the advanced rotation) keeps the size; its spline coefficients and the
// result, per pixel of the page.
constexpr double splineRotationPerPixel = 13.0;
// The frame: the painted canvas and its copy for FreeImage, both 32-bit, per pixel of the page.
constexpr double frameLayersPerPixel = 8.0;
// Wu quantisation to 8 bits and Floyd-Steinberg dithering to 1 bit: their working copies.
constexpr double lowDepthWorkingPerPixel = 2.0;
// FreeImage_TmoDrago03: its floating-point working copy, per pixel, besides the page and the
// 24-bit result.
constexpr double toneMappingWorkingPerPixel = 12.0;

// A page in flight: its size and how many bytes each pixel takes.
struct PageShape {
    double width = 0;
    double height = 0;
    double bytesPerPixel = 0;

    double pixels() const { return width * height; }
    double bytes() const { return pixels() * bytesPerPixel; }
    PageShape withDepth(double perPixel) const { return {width, height, perPixel}; }
};

// How a page's pixels are held once decoded: 1-, 4- and 8-bit pages as they are, 16-bit grey as
// two bytes, colour pages by their samples.
double decodedBytesPerPixel(int bitsPerPixel)
{
    return std::max(bitsPerPixel, 1) / 8.0;
}

// Follows one page through the steps and remembers the most that is alive at once.
class PeakTracker {
  public:
    explicit PeakTracker(PageShape page) : page_(page), peak_(page.bytes()) {}

    // A step that replaces the page by `result`, holding `working` bytes besides the two meanwhile.
    void replace(PageShape result, double working = 0)
    {
        peak_ = std::max(peak_, page_.bytes() + working + result.bytes());
        page_ = result;
    }
    // Work on the page that holds `working` bytes besides it and leaves it as it is.
    void workOn(double working) { peak_ = std::max(peak_, page_.bytes() + working); }

    const PageShape& page() const { return page_; }
    double peak() const { return peak_; }

  private:
    PageShape page_;
    double peak_ = 0;
};

// Steps that take 24-bit pages only (the frame, the watermark) convert any other page first.
void bringTo24Bits(PeakTracker& tracker)
{
    if (tracker.page().bytesPerPixel != 3) {
        tracker.replace(tracker.page().withDepth(3));
    }
}

// A page that keeps its 16-bit samples is turned as it is (simple rotation) or at 8 bits per
// sample (advanced rotation).
void followRotation(PeakTracker& tracker, const TransformSettings& t, bool sixteen)
{
    const int angle = t.imageRotation;
    if (t.doImageRotation == 0 || angle < 1 || angle > 359) {
        return;
    }
    const double bytes = tracker.page().bytesPerPixel;
    if (sixteen && t.imageRotationType == 1) {
        tracker.replace(tracker.page().withDepth(bytes / 2));
    } else if (!sixteen && (bytes < 3 || bytes > 4)) {
        tracker.replace(tracker.page().withDepth(3));
    }
    const PageShape page = tracker.page();
    if (t.imageRotationType == 1) {
        tracker.replace(page, splineRotationPerPixel * page.pixels() - page.bytes());
        return;
    }
    if (angle % 90 == 0) {
        const bool quarter = angle % 180 != 0;
        tracker.replace({quarter ? page.height : page.width, quarter ? page.width : page.height, page.bytesPerPixel});
        return;
    }
    const double radians = angle * std::numbers::pi / 180.0;
    const double cosine = std::abs(std::cos(radians));
    const double sine = std::abs(std::sin(radians));
    const PageShape turned{page.width * cosine + page.height * sine, page.width * sine + page.height * cosine,
                           page.bytesPerPixel};
    tracker.replace(turned, shearRotationPerResultPixel * turned.pixels() - turned.bytes());
}

// FreeImage_Rescale filters in one direction into a working image, then in the other.
void followResize(PeakTracker& tracker, const Settings& settings)
{
    const PageShape page = tracker.page();
    const auto width = static_cast<int>(std::lround(page.width));
    const auto height = static_cast<int>(std::lround(page.height));
    const ResizeTarget target = resizeTarget(width, height, settings);
    if (target == ResizeTarget{width, height}) {
        return;
    }
    // 1- and 4-bit pages are rescaled as 8-bit ones and come back with 8 bits.
    const double bytesPerPixel = std::max(page.bytesPerPixel, 1.0);
    if (bytesPerPixel != page.bytesPerPixel) {
        tracker.replace(page.withDepth(bytesPerPixel));
    }
    const double targetWidth = target.width;
    const double targetHeight = target.height;
    const double working = std::min(targetWidth * page.height, page.width * targetHeight) * bytesPerPixel;
    tracker.replace({targetWidth, targetHeight, bytesPerPixel}, working);
}

void followSizeCap(PeakTracker& tracker, const JobState& job)
{
    const OutputFormat& format = outputFormatFor(job.outputKey);
    if (format.beyondSizeCap(tracker.page().width, tracker.page().height)) {
        const double cap = format.sizeCap;
        tracker.replace({cap, cap, tracker.page().bytesPerPixel});
    }
}

// 16-bit and floating-point grey become 8-bit grey; deeper colour is tone-mapped to 24 bits.
void followNormalisation(PeakTracker& tracker, int sourceBits)
{
    const PageShape page = tracker.page();
    if (sourceBits == 16 && page.bytesPerPixel == 2) {
        // Measured: about one more 8-bit page besides the 16-bit page and its 8-bit result.
        tracker.replace(page.withDepth(1), page.pixels());
    } else if (page.bytesPerPixel > 4) {
        tracker.replace(page.withDepth(3), toneMappingWorkingPerPixel * page.pixels());
    }
}

void followColourSteps(PeakTracker& tracker, const AdjustmentSettings& a)
{
    if (a.doImageColorCorrection != 0 && (tracker.page().bytesPerPixel < 1 || tracker.page().bytesPerPixel > 4)) {
        tracker.replace(tracker.page().withDepth(3));
    }
    if (a.doImageGreyscale != 0) {
        tracker.replace(tracker.page().withDepth(1));
    }
    if (a.doImageThreshold != 0) {
        // FreeImage thresholds a grey copy of a colour page.
        const double grey = tracker.page().bytesPerPixel > 1 ? tracker.page().pixels() : 0;
        tracker.replace(tracker.page().withDepth(1.0 / 8), grey);
    }
}

// A page that keeps its 16-bit samples is framed as 16-bit RGB and watermarked at 8 bits per
// sample.
void followDrawing(PeakTracker& tracker, const Settings& settings, bool sixteen)
{
    if (settings.frame.doFrame != 0) {
        if (sixteen && tracker.page().bytesPerPixel > 4) {
            if (tracker.page().bytesPerPixel != 6) {
                tracker.replace(tracker.page().withDepth(6));
            }
        } else {
            bringTo24Bits(tracker);
        }
        if (settings.frame.doFrame == 1) {
            tracker.workOn(frameLayersPerPixel * tracker.page().pixels());
        }
    }
    if (settings.watermark.doWatermark != 0) {
        bringTo24Bits(tracker);
    }
}

void followBitDepth(PeakTracker& tracker, int targetBits)
{
    if (targetBits <= 0) {
        return;
    }
    const PageShape page = tracker.page();
    const double target = decodedBytesPerPixel(targetBits);
    if (target == page.bytesPerPixel) {
        return;
    }
    // The palette and bilevel depths are reached through a 24-bit copy of other pages, and the
    // quantiser and the ditherer keep working copies of their own.
    const double through24 = target < 3 && page.bytesPerPixel != 3 ? 3 * page.pixels() : 0;
    const double working = target <= 1 ? lowDepthWorkingPerPixel * page.pixels() : 0;
    tracker.replace(page.withDepth(target), through24 + working);
}

} // namespace

std::uint64_t pageMemoryEstimate(const TiffPageHeader& header, const Settings& settings, const JobState& job)
{
    if (header.width == 0 || header.height == 0 || !pageSizeAllowed(header.width, header.height)) {
        return 0;
    }
    PeakTracker tracker({static_cast<double>(header.width), static_cast<double>(header.height),
                         decodedBytesPerPixel(header.bitsPerPixel)});
    if (header.compression == 6) {
        // The old-style JPEG stream is read into memory before it is decoded.
        tracker.workOn(static_cast<double>(header.jpegLength));
    }
    JobState page = job;
    page.file.sourceBpp = header.bitsPerPixel;
    page.file.sourceSamples = sourceSamplesOf(header);
    const bool sixteen = keepsSixteenBitSamples(page);
    if (sixteen && header.samplesPerPixel == 1) {
        // 16-bit grey is worked on as 16-bit RGB.
        tracker.replace(tracker.page().withDepth(6));
    }
    followRotation(tracker, settings.transform, sixteen);
    followResize(tracker, settings);
    followSizeCap(tracker, job);
    if (!sixteen) {
        followNormalisation(tracker, header.bitsPerPixel);
    }
    followColourSteps(tracker, settings.adjustment);
    followDrawing(tracker, settings, sixteen);
    followBitDepth(tracker, effectiveTargetBpp(page));
    tracker.workOn(outputFormatFor(job.outputKey).writerBytesPerPixel * tracker.page().pixels());
    return static_cast<std::uint64_t>(std::ceil(tracker.peak()));
}

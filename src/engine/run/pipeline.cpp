#include "engine/run/pipeline.h"

#include "engine/core/file_failure.h"
#include "engine/core/output_naming.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/input_diagnosis.h"
#include "engine/formats/format_catalogue.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/colour.h"
#include "engine/steps/frame.h"
#include "engine/steps/transform.h"
#include "engine/steps/watermark.h"
#include "engine/write/image_writer.h"
#include "engine/write/temp_file_claims.h"

#include <algorithm>
#include <cerrno>

namespace {

// A page larger than its format's size cap in either direction becomes exactly cap x cap
// (proportions are not kept: icon sizes are square).
Bitmap capPageSize(Bitmap image, const JobState& job, int& width, int& height)
{
    const OutputFormat& format = outputFormatFor(job.outputKey);
    if (!format.beyondSizeCap(width, height)) {
        return image;
    }
    width = format.sizeCap;
    height = format.sizeCap;
    return Bitmap(FreeImage_Rescale(image.get(), format.sizeCap, format.sizeCap, FILTER_BICUBIC));
}

// 16-bit and floating-point grey pages become ordinary 8-bit grey pages before any colour step;
// 8-bit and 1-bit grey pages come back as they are.
Bitmap normaliseGrey(Bitmap image)
{
    const FREE_IMAGE_COLOR_TYPE type = FreeImage_GetColorType(image.get());
    if (type != FIC_MINISWHITE && type != FIC_MINISBLACK) {
        return image;
    }
    if (FreeImage_GetImageType(image.get()) == FIT_BITMAP) {
        return image;
    }
    return Bitmap(FreeImage_ConvertToStandardType(image.get(), TRUE));
}

// Deeper pages (48/64-bit RGB, float RGB) are tone-mapped to 24 bits.
Bitmap toneMapHighDynamicRange(Bitmap image)
{
    if (image.bpp() <= 32) {
        return image;
    }
    return Bitmap(FreeImage_TmoDrago03(image.get(), 1.0, 0.0));
}

// %width%, %height% and %bpp% of the page in hand, for its watermark text and its name: the size
// after resize and the icon cap, and the depth it will be written with. Stored before the
// watermark, so the text never shows another page's values.
void describePage(JobState& job, int width, int height)
{
    job.imageWidth = width;
    job.imageHeight = height;
    job.targetBpp = effectiveTargetBpp(job);
}

// One page through the fixed order of steps, up to the bit-depth conversion. An empty image ends
// the page: a step failed, or the run abandoned the file at the gate between two steps.
Bitmap processPage(Bitmap image, RunContext& context)
{
    const Settings& settings = context.settings;
    const auto goesOn = [&image, &context] { return !image.empty() && context.mayContinue(); };
    image = rotate(std::move(image), settings);
    const auto rotatedWidth = static_cast<int>(image.width());
    const auto rotatedHeight = static_cast<int>(image.height());
    image = resize(std::move(image), rotatedWidth, rotatedHeight, settings);
    if (!goesOn()) {
        return {};
    }
    int width = static_cast<int>(image.width());
    int height = static_cast<int>(image.height());
    image = capPageSize(std::move(image), context.job, width, height);
    describePage(context.job, width, height);
    if (!goesOn()) {
        return {};
    }
    image = normaliseGrey(std::move(image));
    if (!goesOn()) {
        return {};
    }
    image = toneMapHighDynamicRange(std::move(image));
    if (!goesOn()) {
        return {};
    }
    flip(image, settings);
    image = adjustColours(std::move(image), settings);
    if (!goesOn()) {
        return {};
    }
    image = toGreyscale(std::move(image), settings);
    image = applyThreshold(std::move(image), settings);
    if (!goesOn()) {
        return {};
    }
    image = drawFrame(std::move(image), width, height, settings);
    if (!goesOn()) {
        return {};
    }
    image = drawWatermark(std::move(image), width, height, context);
    if (!goesOn()) {
        return {};
    }
    return convertBitDepth(std::move(image), context.job);
}

// Writes the page to a temporary file beside `path` and hands it to the run, which gives it its
// name now or, in a run that converts several files at once, at the file's turn.
FileFailure savePage(const Bitmap& image, const QString& path, RunContext& context)
{
    JobState& job = context.job;
    job.tempPath = tempFilePath(path);
    const TempFileClaim claim(job.tempPath);
    errno = 0;
    SaveStatus status = writeImageFile(image, job.tempPath, context.settings, job);
    // Metadata a writer chokes on must not cost the pixels (libpng refuses ICC profiles it finds
    // inconsistent): the page is written again without the profile, then without any metadata.
    for (const auto strip : {&stripColourProfile, &stripMetadata}) {
        if (status != SaveStatus::Failed) {
            break;
        }
        strip(image);
        errno = 0;
        status = writeImageFile(image, job.tempPath, context.settings, job);
    }
    if (status == SaveStatus::OutOfMemory) {
        return {FileFailureKind::OutOfMemory};
    }
    if (status != SaveStatus::Saved) {
        return diagnoseWriteFailure(path, errno, job.outputKey);
    }
    if (context.commitOutput) {
        return context.commitOutput(job.tempPath, path);
    }
    return commitTempFile(job.tempPath, path) ? FileFailure{} : FileFailure{FileFailureKind::RenameFailed, path};
}

} // namespace

QString numberedOutputPath(const QString& outputPath, const QString& outputKey, int pageNumber)
{
    const qsizetype tail = std::min<qsizetype>(outputKey.size() + 1, outputPath.size());
    QString numbered = outputPath;
    numbered.insert(outputPath.size() - tail, QLatin1Char('[') + QString::number(pageNumber) + QLatin1Char(']'));
    return numbered;
}

bool processCurrentFile(RunContext& context)
{
    const Settings& settings = context.settings;
    JobState& job = context.job;
    // A CMYK TIFF output takes CMYK pages as FreeImage decodes them, inks and all.
    const bool cmykOutput = (job.saveFlags & outputFormatFor(job.outputKey).cmykSaveFlag) != 0;
    InputDocument document(job.inputPath, cmykOutput);
    const int pageCount = document.pageCount();
    if (pageCount == 0) {
        context.failure = diagnoseUnreadableInput(job.inputPath);
        return false;
    }
    const PageRange range = selectPages(settings.input.tiffFrameLoading, pageCount);
    // Every page of a range gets its number, so pages never overwrite each other (also for a
    // hand-edited Input/TIFF Frame Loading value that reads all pages like All).
    const bool numbered = range.last > range.first;
    bool result = false;
    // The file is abandoned (when the run says so) only at a gate, never inside a write: a page
    // either is saved whole or leaves nothing, and the pages saved before it stay.
    const auto abandoned = [&context] {
        if (context.mayContinue()) {
            return false;
        }
        context.failure = {FileFailureKind::Abandoned};
        return true;
    };
    for (int index = range.first; index <= range.last; ++index) {
        if (abandoned()) {
            return false;
        }
        LoadedPage page = document.loadPage(index);
        job.sourceBpp = page.sourceBpp;
        if (page.status == PageStatus::Skipped) {
            continue;
        }
        // A page that fails before its size is known is named with 0 x 0.
        describePage(job, 0, 0);
        Bitmap image;
        if (page.status == PageStatus::Loaded) {
            const PageMetadata metadata(page.image);
            image = processPage(std::move(page.image), context);
            if (image.empty()) {
                context.failure = {FileFailureKind::ProcessingFailed};
            } else if (settings.advanced.stripMetadata != 0) {
                stripMetadata(image);
            } else {
                metadata.applyTo(image, outputFormatFor(job.outputKey).metadata);
            }
        } else {
            context.failure = diagnoseFailedPage(job.inputPath, index);
        }
        if (abandoned()) {
            return false;
        }
        if (usesRunCounters(settings.advanced.filenameMask)) {
            context.needCounters();
        }
        job.outputPath = outputFilePath(settings, job);
        const QString path = numbered ? numberedOutputPath(job.outputPath, job.outputKey, index + 1) : job.outputPath;
        // A page that could not be decoded or processed is a failed save: nothing is written.
        if (image.empty()) {
            result = false;
            continue;
        }
        const FileFailure saved = savePage(image, path, context);
        if (saved.kind == FileFailureKind::OutOfMemory) {
            context.failure = saved;
            return false;
        }
        result = !saved;
        if (!result) {
            context.failure = saved;
        } else if (context.onSaved) {
            context.onSaved(path);
        }
    }
    if (!result && !context.failure) {
        context.failure = {FileFailureKind::NoPages};
    }
    return result;
}

#include "engine/run/pipeline.h"

#include "engine/core/file_failure.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/input_diagnosis.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/page_path.h"
#include "engine/run/streamed_page.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/colour.h"
#include "engine/steps/frame.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/srgb_conversion.h"
#include "engine/steps/transform.h"
#include "engine/steps/watermark.h"
#include "engine/write/image_writer.h"
#include "engine/write/temp_file_claims.h"

#include <QStringList>

#include <cerrno>
#include <optional>

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

// One page through the fixed order of steps, up to the bit-depth conversion. An empty image ends
// the page: a step failed, or the run abandoned the file at the gate between two steps. A page
// written at 16 bits per sample keeps its 16-bit samples through the steps that work on them, and
// skips the normalisation to 8 bits.
Bitmap processPage(Bitmap image, RunContext& context)
{
    const Settings& settings = context.settings;
    const auto goesOn = [&image, &context] { return !image.empty() && context.mayContinue(); };
    const bool sixteen = keepsSixteenBitSamples(context.job);
    const std::optional<BilevelColours> ownColours = ownBilevelColours(image.get());
    if (sixteen) {
        image = toSixteenBitColour(std::move(image));
    }
    image = rotate(std::move(image), settings, sixteen);
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
    if (!sixteen) {
        image = toEightBitsPerSample(std::move(image));
    }
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
    return convertBitDepth(std::move(image), context.job, ownColours);
}

// Writes the page to a fresh temporary file beside `besidePath`, held by `claim`. Metadata a
// writer chokes on must not cost the pixels (libpng refuses ICC profiles it finds inconsistent): the
// page is written again without the profile, then without any metadata.
FileFailure writePage(const Bitmap& image, TempFileClaim& claim, const QString& besidePath, const QString& outputPath,
                      RunContext& context)
{
    JobState& job = context.job;
    // Every attempt claims a fresh file: a failed write removes its file, and the lock goes with it.
    const auto writeClaimed = [&] {
        claim = TempFileClaim::create(besidePath);
        job.file.tempPath = claim.path();
        if (job.file.tempPath.isEmpty()) {
            return SaveStatus::Failed; // errno says why the file could not be created
        }
        errno = 0;
        return writeImageFile(image, job.file.tempPath, context.settings, job);
    };
    SaveStatus status = writeClaimed();
    for (const auto strip : {&stripColourProfile, &stripMetadata}) {
        if (status != SaveStatus::Failed) {
            break;
        }
        strip(image);
        status = writeClaimed();
    }
    if (status == SaveStatus::OutOfMemory) {
        return {FileFailureKind::OutOfMemory};
    }
    if (status != SaveStatus::Saved) {
        return diagnoseWriteFailure(outputPath, errno, job.outputKey);
    }
    return {};
}

// Gives a finished temporary file its output name: the run decides whether the name may be taken
// and, in a run that converts several files at once, defers the rename to the file's turn.
FileFailure commitPage(EncodedPage& page, RunContext& context)
{
    if (context.commitOutput) {
        return context.commitOutput(page.claim, page.outputPath);
    }
    return commitTempFile(page.encodedPath, page.outputPath)
               ? FileFailure{}
               : FileFailure{FileFailureKind::RenameFailed, page.outputPath};
}

} // namespace

EncodedPage encodePage(LoadedPage page, const PagePlacement& placement, RunContext& context)
{
    const Settings& settings = context.settings;
    JobState& job = context.job;
    EncodedPage encoded;
    job.file.sourceBpp = page.sourceBpp;
    job.file.sourceSamples =
        page.status == PageStatus::Loaded ? sourceSamplesOf(page.image.get()) : SourceSamples::Standard;
    // A page that fails before its size is known is named with 0 x 0.
    describePage(job, 0, 0);
    Bitmap image;
    if (page.status == PageStatus::Loaded) {
        const PageMetadata metadata(page.image);
        if (settings.advanced.stripMetadata != 0) {
            // Without its profile the page is taken for sRGB: its pixels must be sRGB first.
            page.image = convertToSrgb(std::move(page.image));
        }
        image = processPage(std::move(page.image), context);
        if (image.empty()) {
            encoded.failure = {FileFailureKind::ProcessingFailed};
        } else if (settings.advanced.stripMetadata != 0) {
            stripMetadata(image);
        } else {
            metadata.applyTo(image, outputFormatFor(job.outputKey).metadata);
        }
    } else {
        encoded.failure = diagnoseFailedPage(job.file.inputPath, placement.index);
    }
    // Abandoned (when the run says so) at this gate, before the name and the write: a page either
    // is saved whole or leaves nothing.
    if (!context.mayContinue()) {
        encoded.failure = {FileFailureKind::Abandoned};
        return encoded;
    }
    nameEncodedPage(encoded, placement, context);
    // A page that could not be decoded or processed is a failed save: nothing is written.
    if (image.empty() || encoded.failure) {
        return encoded;
    }
    encoded.width = static_cast<int>(image.width());
    encoded.height = static_cast<int>(image.height());
    encoded.depth = static_cast<int>(image.bpp());
    encoded.failure =
        writePage(image, encoded.claim, encodeBesidePath(encoded, placement), encoded.outputPath, context);
    if (!encoded.failure) {
        encoded.encodedPath = encoded.claim.path();
    }
    return encoded;
}

bool keepsCmykPages(const JobState& job)
{
    return (job.run.saveFlags & outputFormatFor(job.outputKey).cmykSaveFlag) != 0;
}

namespace {

// Whether page `index` goes the streamed path (page_path.h): only pages whose header libtiff read
// and whose size is within the limit.
bool streamsPage(const InputDocument& document, int index, const RunContext& context)
{
    const TiffPageHeader* header = document.header(index);
    return header != nullptr && header->width > 0 && header->height > 0 &&
           pageSizeAllowed(header->width, header->height) &&
           choosePagePath(*header, context.settings, context.job) == PagePath::Streamed;
}

} // namespace

bool processCurrentFile(RunContext& context)
{
    const Settings& settings = context.settings;
    JobState& job = context.job;
    InputDocument document(job.file.inputPath, keepsCmykPages(job));
    const int pageCount = document.pageCount();
    if (pageCount == 0) {
        context.failure = diagnoseUnreadableInput(job.file.inputPath);
        return false;
    }
    const PageRange range = selectPages(settings.input.tiffFrameLoading, pageCount);
    // Every page of a range gets its number, so pages never overwrite each other (also for a
    // hand-edited Input/TIFF Frame Loading value that reads all pages like All).
    const bool numbered = range.last > range.first;
    bool saved = false;
    // One failed page fails the file, whichever page comes after it: the run then removes the
    // pages written before it, so a file is written whole or not at all.
    bool failed = false;
    QStringList damagedPages; // every damaged page is named, not only the last
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
        const PagePlacement placement{.index = index, .numbered = numbered};
        std::optional<EncodedPage> streamed;
        if (streamsPage(document, index, context)) {
            streamed = encodeStreamedPage(index, *document.header(index), placement, context);
        }
        if (!streamed) {
            LoadedPage page = document.loadPage(index);
            if (page.status == PageStatus::Skipped) {
                continue;
            }
            streamed = encodePage(std::move(page), placement, context);
        }
        EncodedPage& encoded = *streamed;
        if (encoded.failure.kind == FileFailureKind::OutOfMemory ||
            encoded.failure.kind == FileFailureKind::Abandoned) {
            context.failure = encoded.failure;
            return false;
        }
        if (!encoded.failure) {
            encoded.failure = commitPage(encoded, context);
        }
        if (encoded.failure) {
            failed = true;
            context.failure = encoded.failure;
            if (encoded.failure.kind == FileFailureKind::Damaged) {
                damagedPages << encoded.failure.detail;
            }
        } else {
            saved = true;
            if (context.onSaved) {
                context.onSaved(encoded.outputPath);
            }
        }
    }
    // A file with a damaged page names them all, whichever page came last.
    if (!damagedPages.isEmpty()) {
        damagedPages.removeAll(QString());
        context.failure = {FileFailureKind::Damaged, damagedPages.join(QStringLiteral(", "))};
        return false;
    }
    if (!saved && !failed) {
        context.failure = {FileFailureKind::NoPages};
    }
    return saved && !failed;
}

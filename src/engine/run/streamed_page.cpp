#include "engine/run/streamed_page.h"

#include "engine/core/freeimage_file.h"
#include "engine/core/page_header.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/band_read_ahead.h"
#include "engine/run/turned_bands.h"
#include "engine/steps/band_drawing.h"
#include "engine/steps/bit_depth.h"
#include "engine/steps/colour.h"
#include "engine/steps/row_resize.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/transform.h"
#include "engine/write/image_writer.h"
#include "engine/write/row_writer_dispatch.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

namespace {

// The page's bands, top band first as the writer takes them, as the steps before the flips leave
// them: as read (from the bottom up when the page is flipped vertically), or through the streamed
// resize when the run resizes the page (choosePagePath keeps a flipped page that is resized in
// memory). Resized bands carry the source's resolution, as FreeImage_Rescale's page does.
class PageBands {
  public:
    PageBands(BandReader& source, const Bitmap& layout, const std::optional<RowResize>& resize, bool bottomUp,
              bool readAhead)
        : source_(source), bottomUp_(bottomUp), dotsPerMeterX_(FreeImage_GetDotsPerMeterX(layout.get())),
          dotsPerMeterY_(FreeImage_GetDotsPerMeterY(layout.get()))
    {
        if (resize) {
            resizer_ = std::make_unique<RowResizer>(layout, *resize, [this](const Bitmap& band) { return keep(band); });
        }
        // From here on the source is the read-ahead thread's until this object is gone.
        if (readAhead && valid()) {
            ahead_ = BandReadAhead::start([&source](int band) { return source.readBand(band); }, source.bandCount(),
                                          bottomUp);
        }
    }

    // False when the resize cannot take the page after all.
    bool valid() const { return !resizer_ || resizer_->valid(); }

    // The next band; empty after the last one, and when a band could not be had (failure() says why).
    Bitmap next()
    {
        if (!resizer_) {
            return nextRead();
        }
        while (resized_.empty() && read_ < source_.bandCount()) {
            const Bitmap band = nextRead();
            if (!band) {
                return {};
            }
            if (!resizer_->pushBand(band)) {
                failure_ = {FileFailureKind::ProcessingFailed};
                return {};
            }
        }
        if (resized_.empty()) {
            return {};
        }
        Bitmap band = std::move(resized_.front());
        resized_.pop_front();
        return band;
    }

    const FileFailure& failure() const { return failure_; }

  private:
    Bitmap nextRead()
    {
        if (read_ == source_.bandCount()) {
            return {};
        }
        const int position = read_++;
        Bitmap band =
            ahead_ ? ahead_->next() : source_.readBand(bottomUp_ ? source_.bandCount() - 1 - position : position);
        if (!band) {
            failure_ = {FileFailureKind::Damaged}; // the caller names the page
        }
        return band;
    }

    // The resizer hands out a band it fills again: the band is copied for the steps.
    bool keep(const Bitmap& band)
    {
        Bitmap copy(FreeImage_Clone(band.get()));
        if (!copy) {
            return false;
        }
        FreeImage_SetDotsPerMeterX(copy.get(), dotsPerMeterX_);
        FreeImage_SetDotsPerMeterY(copy.get(), dotsPerMeterY_);
        resized_.push_back(std::move(copy));
        return true;
    }

    BandReader& source_;
    bool bottomUp_;
    unsigned dotsPerMeterX_;
    unsigned dotsPerMeterY_;
    std::unique_ptr<RowResizer> resizer_;
    std::deque<Bitmap> resized_;
    int read_ = 0;
    FileFailure failure_;
    std::unique_ptr<BandReadAhead> ahead_; // last: its thread stops before the rest goes
};

// The steps of processPage that work row by row, in its order, on one band. choosePagePath lets
// only pages through whose other steps do nothing. The vertical flip turns the band over; the
// bands themselves are read bottom-up for it. `drawing` frames and watermarks the bands in turn.
Bitmap processBand(Bitmap band, const RunContext& context, BandDrawing& drawing)
{
    const Settings& settings = context.settings;
    band = toEightBitsPerSample(std::move(band));
    flip(band, settings);
    band = adjustColours(std::move(band), settings);
    band = toGreyscale(std::move(band), settings);
    band = applyThreshold(std::move(band), settings);
    band = drawing.draw(std::move(band));
    band = convertBitDepth(std::move(band), context.job);
    if (band) {
        // The form the format's writer is given (encodePage's writer does the same with the page).
        Bitmap bilevel = withBilevelLayout(outputFormatFor(context.job.outputKey).layout.bilevelIndex, band);
        if (bilevel) {
            return bilevel;
        }
    }
    return band;
}

// The page the writer is told about before the first band: the full size, with the depth, colour
// masks, palette, resolution and profile the steps gave the first band, and the metadata
// encodePage puts on the whole page. A thumbnail FreeImage loaded with the page goes along: the
// whole page may reach the writer with it, so a writer that would store it declines the page.
Bitmap pageHeaderOf(const Bitmap& firstBand, unsigned width, unsigned height, const Bitmap& layout,
                    const PageMetadata& metadata, const RunContext& context)
{
    FIBITMAP* band = firstBand.get();
    Bitmap header =
        allocatePageHeader(static_cast<int>(width), static_cast<int>(height), static_cast<int>(firstBand.bpp()),
                           FreeImage_GetRedMask(band), FreeImage_GetGreenMask(band), FreeImage_GetBlueMask(band));
    if (!header) {
        return header;
    }
    if (FreeImage_GetPalette(band) != nullptr) {
        std::copy_n(FreeImage_GetPalette(band), FreeImage_GetColorsUsed(band), FreeImage_GetPalette(header.get()));
    }
    FreeImage_SetDotsPerMeterX(header.get(), FreeImage_GetDotsPerMeterX(band));
    FreeImage_SetDotsPerMeterY(header.get(), FreeImage_GetDotsPerMeterY(band));
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(band);
    if (profile->data != nullptr && profile->size > 0) {
        FreeImage_CreateICCProfile(header.get(), profile->data, profile->size);
    }
    if (FIBITMAP* thumbnail = FreeImage_GetThumbnail(layout.get())) {
        FreeImage_SetThumbnail(header.get(), thumbnail);
    }
    if (context.settings.advanced.stripMetadata != 0) {
        stripMetadata(header);
    } else {
        metadata.applyTo(header, outputFormatFor(context.job.outputKey).metadata);
    }
    return header;
}

// Processes and writes the bands of the page in turn, the first one (already processed) included.
// The run may abandon the file at the gate between two bands.
class BandPump {
  public:
    BandPump(PageBands& bands, Bitmap first, RunContext& context, BandDrawing& drawing)
        : bands_(bands), first_(std::move(first)), context_(context), drawing_(drawing)
    {
    }

    FileFailure run(RowWriter& writer, const QString& outputPath)
    {
        for (Bitmap band = std::move(first_); band;) {
            errno = 0;
            if (!writer.writeBand(band)) {
                return diagnoseWriteFailure(outputPath, errno, context_.job.outputKey);
            }
            band = nextBand();
            if (band && !context_.mayContinue()) {
                return {FileFailureKind::Abandoned};
            }
        }
        return failure_;
    }

  private:
    Bitmap nextBand()
    {
        Bitmap band = bands_.next();
        if (!band) {
            failure_ = bands_.failure();
            return band;
        }
        band = processBand(std::move(band), context_, drawing_);
        if (!band) {
            failure_ = {FileFailureKind::ProcessingFailed};
        }
        return band;
    }

    PageBands& bands_;
    Bitmap first_;
    RunContext& context_;
    BandDrawing& drawing_;
    FileFailure failure_;
};

// Writes every band into the claimed temporary file; on failure the file is removed.
FileFailure writeStreamed(BandPump& pump, const Bitmap& header, EncodedPage& encoded, const QString& besidePath,
                          RunContext& context)
{
    JobState& job = context.job;
    encoded.claim = TempFileClaim::create(besidePath);
    job.file.tempPath = encoded.claim.path();
    if (job.file.tempPath.isEmpty()) {
        return diagnoseWriteFailure(encoded.outputPath, errno, job.outputKey);
    }
    const OutputFormat& format = outputFormatFor(job.outputKey);
    FileFailure failure;
    {
        FileHandle file = openFile(job.file.tempPath, "wb");
        std::unique_ptr<RowWriter> writer =
            file ? openRowWriter(format.rowWriter, job.run.saveFlags, header, file.get(), encoderThreads(job))
                 : nullptr;
        if (!writer) {
            failure = diagnoseWriteFailure(encoded.outputPath, errno, job.outputKey);
        } else {
            failure = pump.run(*writer, encoded.outputPath);
            errno = 0;
            if (!failure && !writer->finish()) {
                failure = diagnoseWriteFailure(encoded.outputPath, errno, job.outputKey);
            }
            writer.reset();
            // A full disk shows up when the buffered rest is written out.
            if (std::fclose(file.release()) != 0 && !failure) {
                failure = diagnoseWriteFailure(encoded.outputPath, errno, job.outputKey);
            }
        }
    }
    if (!failure && format.metadata.textTags == TextTagCarrier::TiffTags &&
        !writeTiffTextTags(header, job.file.tempPath)) {
        failure = diagnoseWriteFailure(encoded.outputPath, errno, job.outputKey);
    }
    if (failure) {
        const int savedErrno = errno;
        QFile::remove(job.file.tempPath);
        errno = savedErrno;
    }
    return failure;
}

} // namespace

std::optional<EncodedPage> encodeStreamedPage(int index, const TiffPageHeader& stored, const PagePlacement& placement,
                                              RunContext& context)
{
    JobState& job = context.job;
    const QString inputPath = job.file.inputPath;
    std::unique_ptr<TiffBandSource> stream = TiffBandSource::open(inputPath, index, stored, job.run.streamBandBytes);
    const int storedBpp = stream ? static_cast<int>(stream->layout().bpp()) : 0;
    // The page as the rotation leaves it: turned by a right angle, or as stored. A page stopped
    // while it is copied for the turn reads no band, and is abandoned at the gate below.
    const std::unique_ptr<BandReader> source =
        turnedBands(std::move(stream), bandTurn(context.settings.transform), job.run.streamBandBytes,
                    [&context] { return context.mayContinue(); });
    if (!source) {
        return std::nullopt;
    }
    const Bitmap& layout = source->layout();
    const std::optional<RowResize> resize =
        rowResizeFor(static_cast<int>(source->width()), static_cast<int>(source->height()), context.settings);
    PageBands bands(*source, layout, resize, context.settings.transform.doImageFlipVertical != 0, readsAhead(job));
    if (!bands.valid()) {
        return std::nullopt;
    }
    const unsigned width = resize ? static_cast<unsigned>(resize->targetWidth) : source->width();
    const unsigned height = resize ? static_cast<unsigned>(resize->targetHeight) : source->height();
    job.file.sourceBpp = storedBpp;
    job.file.sourceSamples = SourceSamples::Standard; // streamed pages have 8-bit samples at most
    describePage(job, static_cast<int>(width), static_cast<int>(height));
    const auto damaged = [index] {
        return FileFailure{FileFailureKind::Damaged, QStringLiteral("page %1").arg(index + 1)};
    };
    EncodedPage encoded;
    BandDrawing drawing(static_cast<int>(width), static_cast<int>(height), context);
    Bitmap first = bands.next();
    if (first) {
        first = processBand(std::move(first), context, drawing);
        if (!first) {
            encoded.failure = {FileFailureKind::ProcessingFailed};
        }
    } else {
        encoded.failure = bands.failure().kind == FileFailureKind::Damaged ? damaged() : bands.failure();
    }
    Bitmap header;
    if (first) {
        header = pageHeaderOf(first, width, height, layout, PageMetadata(layout), context);
        if (!header || !rowWriterTakes(outputFormatFor(job.outputKey).rowWriter, job.run.saveFlags, header)) {
            return std::nullopt;
        }
    }
    if (!context.mayContinue()) {
        encoded.failure = {FileFailureKind::Abandoned};
        return encoded;
    }
    nameEncodedPage(encoded, placement, context);
    if (encoded.failure) {
        return encoded;
    }
    encoded.width = static_cast<int>(header.width());
    encoded.height = static_cast<int>(header.height());
    encoded.depth = static_cast<int>(header.bpp());
    BandPump pump(bands, std::move(first), context, drawing);
    encoded.failure = writeStreamed(pump, header, encoded, encodeBesidePath(encoded, placement), context);
    if (encoded.failure.kind == FileFailureKind::Damaged) {
        encoded.failure = damaged();
    }
    if (!encoded.failure) {
        encoded.encodedPath = encoded.claim.path();
    }
    return encoded;
}

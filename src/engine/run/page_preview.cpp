#include "engine/run/page_preview.h"

#include "engine/core/file_failure.h"
#include "engine/decode/input_diagnosis.h"
#include "engine/decode/page_loader.h"
#include "engine/decode/tiff_reduced_page.h"
#include "engine/run/conversion_run.h"
#include "engine/run/pipeline.h"
#include "engine/run/run_checks.h"
#include "engine/steps/sample_depth.h"
#include "engine/steps/watermark.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>

namespace {

// The page scaled to width x height. 1- and 4-bit pages are widened to 8 bits first (FreeImage
// scales from 8 bits up); nothing wider is made of the whole page, which may be huge.
Bitmap scaledDown(FIBITMAP* page, int width, int height)
{
    const Bitmap wider(FreeImage_GetBPP(page) < 8 ? FreeImage_ConvertTo8Bits(page) : nullptr);
    Bitmap scaled(FreeImage_Rescale(wider ? wider.get() : page, width, height, FILTER_BOX));
    if (!scaled) {
        const Bitmap argb(FreeImage_ConvertTo32Bits(page));
        scaled.reset(argb ? FreeImage_Rescale(argb.get(), width, height, FILTER_BOX) : nullptr);
    }
    return scaled;
}

// The common pages straight into the window's format, one pass over the rows: 24-bit, 32-bit and
// opaque 8-bit palette pages. Null for the others.
QImage directQImage(FIBITMAP* page)
{
    const unsigned bpp = FreeImage_GetBPP(page);
    const int width = static_cast<int>(FreeImage_GetWidth(page));
    const int height = static_cast<int>(FreeImage_GetHeight(page));
    const RGBQUAD* palette = FreeImage_GetPalette(page);
    const bool opaquePalette = bpp == 8 && palette != nullptr && !FreeImage_IsTransparent(page);
    if (FreeImage_GetImageType(page) != FIT_BITMAP || (bpp != 24 && bpp != 32 && !opaquePalette)) {
        return {};
    }
    QImage image(width, height, bpp == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    std::array<QRgb, 256> colours{};
    if (opaquePalette) {
        for (unsigned i = 0; i < FreeImage_GetColorsUsed(page) && i < colours.size(); ++i) {
            colours[i] = qRgb(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
        }
    }
    for (int y = 0; y < height; ++y) {
        const BYTE* from = FreeImage_GetScanLine(page, height - 1 - y);
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (bpp == 32) {
            // B, G, R, A in memory: ARGB32's own order on a little-endian machine.
            std::copy_n(from, static_cast<std::size_t>(width) * 4, image.scanLine(y));
        } else if (bpp == 24) {
            for (int x = 0; x < width; ++x, from += 3) {
                to[x] = qRgb(from[FI_RGBA_RED], from[FI_RGBA_GREEN], from[FI_RGBA_BLUE]);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                to[x] = colours[from[x]];
            }
        }
    }
    return image;
}

QImage toQImage(FIBITMAP* page)
{
    if (QImage direct = directQImage(page); !direct.isNull()) {
        return direct;
    }
    const Bitmap argb(FreeImage_ConvertTo32Bits(page));
    if (!argb) {
        return {};
    }
    const int width = static_cast<int>(argb.width());
    const int height = static_cast<int>(argb.height());
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    // FreeImage keeps rows bottom-up in B, G, R, A order: the byte order of QImage's ARGB32 on a
    // little-endian machine.
    for (int y = 0; y < height; ++y) {
        const BYTE* row = FreeImage_GetScanLine(argb.get(), height - 1 - y);
        std::copy_n(row, static_cast<std::size_t>(width) * 4, image.scanLine(y));
    }
    // A page without an alpha channel shows opaque, whatever its fourth byte held.
    if (!FreeImage_IsTransparent(page) && FreeImage_GetBPP(page) != 32) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    return image;
}

// The checks of the Convert command that concern the page's chain: a preview stops where the run
// would not start, with the same message.
RunProblem chainProblem(const PreviewRequest& request, WatermarkAssets& watermark)
{
    if (RunProblem problem = checkOutputFormat(request.settings, request.job.outputKey)) {
        return problem;
    }
    if (RunProblem problem = checkResize(request.settings)) {
        return problem;
    }
    if (RunProblem problem = checkColourCorrection(request.settings)) {
        return problem;
    }
    return checkWatermark(request.settings, watermark);
}

// The encoded file: its size and its pixels decoded back.
void readBack(const EncodedPage& encoded, PagePreview& preview)
{
    preview.outputPath = encoded.outputPath;
    preview.width = encoded.width;
    preview.height = encoded.height;
    preview.depth = encoded.depth;
    preview.bytes = QFileInfo(encoded.encodedPath).size();
    QElapsedTimer timer;
    timer.start();
    const Bitmap written = loadWrittenFile(encoded.encodedPath, previewDisplaySide);
    preview.times.readBack = timer.restart();
    preview.after = written ? displayImage(written.get(), &preview.afterScale) : QImage();
    if (written && encoded.width > 0) {
        preview.afterScale *= static_cast<double>(written.width()) / encoded.width;
    }
    preview.times.showAfter = timer.elapsed();
}

} // namespace

Bitmap loadWrittenFile(const QString& path, int side)
{
    const QByteArray name = QFile::encodeName(path);
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.constData(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(name.constData());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        return {};
    }
    // FreeImage's JPEG reader takes the wanted size in the upper half of its flags.
    const int flags = format == FIF_JPEG ? JPEG_ACCURATE | (std::clamp(side, 0, 0xFFFF) << 16) : 0;
    return Bitmap(FreeImage_Load(format, name.constData(), flags));
}

QImage displayImage(FIBITMAP* page, double* scale)
{
    if (page == nullptr || !FreeImage_HasPixels(page)) {
        return {};
    }
    Bitmap standard;
    if (FreeImage_GetImageType(page) != FIT_BITMAP) {
        // Shown with the chain's own conversion, so the page looks as the steps will see it.
        standard = eightBitsPerSampleOf(page);
        page = standard.get();
    }
    if (page == nullptr) {
        return {};
    }
    const unsigned side = std::max(FreeImage_GetWidth(page), FreeImage_GetHeight(page));
    double factor = 1.0;
    if (side > static_cast<unsigned>(previewDisplaySide)) {
        factor = static_cast<double>(previewDisplaySide) / side;
        standard = scaledDown(page, std::max(1, static_cast<int>(FreeImage_GetWidth(page) * factor)),
                              std::max(1, static_cast<int>(FreeImage_GetHeight(page) * factor)));
        page = standard.get();
    }
    if (scale != nullptr) {
        *scale = factor;
    }
    return page != nullptr ? toQImage(page) : QImage();
}

namespace {

// What the chain of a preview needs besides the page: the request's run, prepared, and where the
// encoded file goes.
struct PreviewChain {
    const PreviewRequest& request;
    const Settings& settings;
    const JobState& job;
    WatermarkAssets& watermark;
    PagePlacement placement;
    std::function<bool()> stale;
    const QElapsedTimer& timer; // since the request was taken up
};

enum class ChainOutcome { Written, Failed, Abandoned };

// The page through the chain into a scratch folder of its own (gone when this returns), and the
// encoded file read back into `preview`.
ChainOutcome runChain(LoadedPage page, const PreviewChain& chain, PagePreview& preview)
{
    const QTemporaryDir scratch;
    if (!scratch.isValid()) {
        preview.problem = describeFailure({FileFailureKind::PermissionDenied, scratch.path()});
        return ChainOutcome::Failed;
    }
    Settings settings = chain.settings;
    JobState job = chain.job;
    RunContext context{settings, job, &chain.watermark};
    // A newer request abandons this one between the steps of the chain, as a stopped run does.
    context.gate = [&chain] { return !chain.stale(); };
    PagePlacement placement = chain.placement;
    placement.encodeFolder = scratch.path() + QLatin1Char('/');
    QElapsedTimer chainTimer;
    chainTimer.start();
    const EncodedPage encoded = encodePage(std::move(page), placement, context);
    preview.times.chain = chainTimer.elapsed();
    if (encoded.failure.kind == FileFailureKind::Abandoned || chain.stale()) {
        return ChainOutcome::Abandoned;
    }
    preview.outputPath = encoded.outputPath;
    if (encoded.failure) {
        preview.problem = describeFailure(encoded.failure);
        return ChainOutcome::Failed;
    }
    preview.milliseconds = chain.timer.elapsed();
    readBack(encoded, preview);
    return ChainOutcome::Written;
}

// The upright size of a page: orientations 5 to 8 turn it on its side.
QSize uprightSize(const TiffPageHeader& header)
{
    const QSize stored(static_cast<int>(header.width), static_cast<int>(header.height));
    return header.orientation >= 5 && header.orientation <= 8 ? stored.transposed() : stored;
}

// The first look at a large page made from a reduced copy of it, delivered before the page itself
// is decoded. False when the page cannot be read reduced (or the work was abandoned): the page is
// then shown once decoded.
bool reducedLook(const InputDocument& document, const PreviewChain& chain, const PagePreview& preview,
                 const RunProblem& problem, const std::function<void(const PagePreview&)>& deliver)
{
    ReducedPage reduced = readReducedPage(chain.job.file.inputPath, preview.pageIndex, document.headers(),
                                          chain.request.reducedSide, chain.stale);
    if (!reduced.image || chain.stale()) {
        return false;
    }
    const QSize full = uprightSize(*document.header(preview.pageIndex));
    // The reduced copy stands for the whole page: its pictures are drawn at the page's size.
    const double reduction = static_cast<double>(reduced.image.width()) / full.width();
    PagePreview look = preview;
    look.firstLook = true;
    look.reducedStep = static_cast<int>(reduced.step);
    look.fromReducedResolutionPage = reduced.fromReducedResolutionPage;
    look.sourceWidth = full.width();
    look.sourceHeight = full.height();
    look.before = displayImage(reduced.image.get(), &look.displayScale);
    look.displayScale *= reduction;
    if (!problem) {
        LoadedPage page{PageStatus::Loaded, std::move(reduced.image), 0};
        page.sourceBpp = static_cast<int>(page.image.bpp());
        if (runChain(std::move(page), chain, look) == ChainOutcome::Abandoned) {
            return false;
        }
        look.afterScale *= reduction;
    }
    // The figures of a reduced page are not the page's: the complete preview brings them.
    look.milliseconds = chain.timer.elapsed();
    look.problem.clear();
    look.width = look.height = look.depth = 0;
    look.bytes = 0;
    look.outputPath.clear();
    deliver(look);
    return true;
}

} // namespace

PagePreview previewPage(const PreviewRequest& request, const std::function<void(const PagePreview&)>& firstLook,
                        const std::function<bool()>& superseded)
{
    const auto stale = [&superseded] { return superseded && superseded(); };
    QElapsedTimer timer;
    timer.start();
    PagePreview preview;
    Settings settings = request.settings;
    JobState job = request.job;
    job.file.inputPath = request.inputPath;
    job.file.subfolder = request.subfolder;
    job.file.outputPath.clear();
    if (!prepareRun(settings, job)) {
        preview.problem = runProblemMessage({RunProblemKind::InvalidConversionType, job.outputKey});
        return preview;
    }
    InputDocument document(job.file.inputPath, keepsCmykPages(job));
    preview.pageCount = document.pageCount();
    if (preview.pageCount == 0) {
        preview.problem = describeFailure(diagnoseUnreadableInput(job.file.inputPath));
        preview.fileFailed = true;
        return preview;
    }
    const PageRange range = selectPages(settings.input.tiffFrameLoading, preview.pageCount);
    const int first = range.last >= range.first ? range.first : 0;
    preview.pageIndex = std::clamp(request.pageIndex < 0 ? first : request.pageIndex, 0, preview.pageCount - 1);
    preview.pageConverted = preview.pageIndex >= range.first && preview.pageIndex <= range.last;
    WatermarkAssets watermark;
    const RunProblem problem = chainProblem(request, watermark);
    const PreviewChain chain{
        request, settings, job, watermark, PagePlacement{preview.pageIndex, range.last > range.first}, stale, timer};
    const TiffPageHeader& header = *document.header(preview.pageIndex);
    const bool large = std::uint64_t{header.width} * header.height > request.firstLookPixels;
    const bool looked = firstLook && large && reducedLook(document, chain, preview, problem, firstLook);
    if (stale()) {
        return {};
    }
    // A newer request abandons the decoding of a large page as well.
    preview.times.prepare = timer.elapsed();
    QElapsedTimer stage;
    stage.start();
    LoadedPage page = document.loadPage(preview.pageIndex, stale);
    preview.times.decode = stage.restart();
    if (stale()) {
        return {};
    }
    if (page.status == PageStatus::Skipped) {
        preview.problem = describeFailure({FileFailureKind::NoPages});
        return preview;
    }
    if (page.status == PageStatus::Loaded) {
        preview.sourceWidth = static_cast<int>(page.image.width());
        preview.sourceHeight = static_cast<int>(page.image.height());
        preview.before = displayImage(page.image.get(), &preview.displayScale);
        preview.times.showBefore = stage.elapsed();
        const auto pixels = static_cast<std::uint64_t>(preview.sourceWidth) * preview.sourceHeight;
        if (firstLook && !looked && pixels > request.firstLookPixels && !stale()) {
            PagePreview look = preview;
            look.firstLook = true;
            look.milliseconds = timer.elapsed();
            firstLook(look);
        }
    }
    if (stale()) {
        return {};
    }
    if (problem) {
        preview.problem = runProblemMessage(problem);
        return preview;
    }
    const bool decoded = page.status == PageStatus::Loaded;
    switch (runChain(std::move(page), chain, preview)) {
    case ChainOutcome::Abandoned:
        return {};
    case ChainOutcome::Failed:
        preview.fileFailed = !decoded;
        return preview;
    case ChainOutcome::Written:
        break;
    }
    return preview;
}

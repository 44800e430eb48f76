#include "engine/run/page_preview.h"

#include "engine/core/file_failure.h"
#include "engine/decode/input_diagnosis.h"
#include "engine/decode/page_loader.h"
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

QImage toQImage(FIBITMAP* page)
{
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
    const Bitmap written = loadWrittenFile(encoded.encodedPath);
    preview.after = written ? displayImage(written.get(), &preview.afterScale) : QImage();
}

} // namespace

Bitmap loadWrittenFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.constData(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(name.constData());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        return {};
    }
    return Bitmap(FreeImage_Load(format, name.constData(), format == FIF_JPEG ? JPEG_ACCURATE : 0));
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
    LoadedPage page = document.loadPage(preview.pageIndex);
    if (page.status == PageStatus::Skipped) {
        preview.problem = describeFailure({FileFailureKind::NoPages});
        return preview;
    }
    if (page.status == PageStatus::Loaded) {
        preview.sourceWidth = static_cast<int>(page.image.width());
        preview.sourceHeight = static_cast<int>(page.image.height());
        preview.before = displayImage(page.image.get(), &preview.displayScale);
        const auto pixels = static_cast<std::uint64_t>(preview.sourceWidth) * preview.sourceHeight;
        if (firstLook && pixels > request.firstLookPixels && !stale()) {
            PagePreview look = preview;
            look.firstLook = true;
            look.milliseconds = timer.elapsed();
            firstLook(look);
        }
    }
    if (stale()) {
        return {};
    }
    WatermarkAssets watermark;
    if (const RunProblem problem = chainProblem(request, watermark)) {
        preview.problem = runProblemMessage(problem);
        return preview;
    }
    // The encoded file goes here and nowhere else; the folder goes with it when the preview returns.
    const QTemporaryDir scratch;
    if (!scratch.isValid()) {
        preview.problem = describeFailure({FileFailureKind::PermissionDenied, scratch.path()});
        return preview;
    }
    const bool decoded = page.status == PageStatus::Loaded;
    RunContext context{settings, job, &watermark};
    // A newer request abandons this one between the steps of the chain, as a stopped run does.
    context.gate = [&stale] { return !stale(); };
    const bool numbered = range.last > range.first;
    const EncodedPage encoded =
        encodePage(std::move(page), PagePlacement{preview.pageIndex, numbered, scratch.path() + QLatin1Char('/')}, context);
    if (encoded.failure.kind == FileFailureKind::Abandoned) {
        return {};
    }
    preview.outputPath = encoded.outputPath;
    if (encoded.failure) {
        preview.problem = describeFailure(encoded.failure);
        preview.fileFailed = !decoded;
        return preview;
    }
    if (stale()) {
        return {};
    }
    preview.milliseconds = timer.elapsed();
    readBack(encoded, preview);
    return preview;
}

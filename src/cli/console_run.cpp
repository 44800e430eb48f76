#include "cli/console_run.h"

#include "app/endpoints.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "cli/console_output.h"
#include "cli/keywords.h"
#include "cli/progress_line.h"
#include "engine/conversion_run.h"
#include "engine/format_catalogue.h"
#include "engine/input_file_list.h"
#include "engine/run_progress.h"
#include "engine/watermark.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

QString flag(std::int32_t value)
{
    return value != 0 ? QStringLiteral("1") : QStringLiteral("0");
}

QString number(std::int32_t value)
{
    return QString::number(value);
}

// Ctrl+C (or SIGTERM, as a session manager or `kill` sends) during a worker asks it to stop after
// the file in hand, so no output is left half written; a second one ends the process as usual.
std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int signalNumber)
{
    interruptRequested.store(true);
    std::signal(signalNumber, SIG_DFL);
}

class InterruptGuard {
  public:
    InterruptGuard()
    {
        interruptRequested.store(false);
        install(SIGINT, previousInterrupt_);
        install(SIGTERM, previousTerminate_);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    static void install(int signalNumber, struct sigaction& previous)
    {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, &previous);
        // A process started with the signal ignored (a background job, nohup) keeps ignoring it.
        if (previous.sa_handler == SIG_IGN) {
            sigaction(signalNumber, &previous, nullptr);
        }
    }

    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

// Starts a worker on its own thread and waits for it. While it runs, the progress line (when
// wanted) is redrawn a few times a second from the shared progress record. After an interrupt
// the worker takes up no further item.
template <typename Work>
void runWorker(Work work, RunProgress& progress, ConsoleOutput& console, bool showProgress, const QString& label,
               std::int32_t total)
{
    progress.start();
    if (interruptRequested.load()) {
        progress.stop();
    }
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread worker([&]() {
        work();
        const std::lock_guard lock(doneLock);
        done = true;
        doneSignal.notify_all();
    });
    const Clock::time_point started = Clock::now();
    std::unique_lock lock(doneLock);
    while (!doneSignal.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; })) {
        if (interruptRequested.load()) {
            progress.stop();
        }
        if (showProgress) {
            const RunProgress::Snapshot now = progress.snapshot();
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
            console.showProgress(
                progressText(label, now.processedCount, total, now.currentFile, elapsed, console.terminalColumns()));
        }
    }
    lock.unlock();
    worker.join();
    console.clearProgress();
}

// The lines of the output format block of the debug echo, for the format of key.
QStringList outputFormatEcho(const Settings& settings, const QString& key)
{
    const OutputSettings& output = settings.output;
    QStringList lines{key.toUpper() + QStringLiteral(" BPP: ") + number(formatBitDepthSetting(settings, key))};
    const auto compression = [&key](std::int32_t value) { return keywordText(KeywordTable::Compression, value, key); };
    if (key == u"bmp") {
        lines << QStringLiteral("BMP Compression: ") + compression(output.bmpCompression)
              << QStringLiteral("BMP Color Table: ") + keywordText(KeywordTable::ColourTable, output.bmpColorTable);
    } else if (key == u"exr") {
        lines << QStringLiteral("EXR Compression: ") + compression(output.exrCompression);
    } else if (key == u"jpg") {
        lines << QStringLiteral("JPG Quality: ") + number(output.jpgQuality)
              << QStringLiteral("JPG Chroma Subsampling: ") + keywordText(KeywordTable::Chroma, output.jpgChroma)
              << QStringLiteral("JPG Save As: ") + keywordText(KeywordTable::JpegSaveMode, output.jpgSaveAs);
    } else if (key == u"png") {
        lines << QStringLiteral("PNG Compression: ") + compression(output.pngCompression)
              << QStringLiteral("PNG Interlaced: ") + flag(output.pngInterlaced);
    } else if (key == u"tga") {
        lines << QStringLiteral("TGA Compression: ") + compression(output.tgaCompression);
    } else if (key == u"tiff") {
        lines << QStringLiteral("TIFF Compression: ") + compression(output.tiffCompression)
              << QStringLiteral("TIFF Color Model: ") + keywordText(KeywordTable::ColourModel, output.tiffColorModel);
    }
    return lines;
}

QStringList frameEcho(const FrameSettings& frame)
{
    QStringList lines{QStringLiteral("Frame: ") + keywordText(KeywordTable::Frame, frame.doFrame)};
    if (frame.doFrame == 1) {
        lines << QStringLiteral("Frame left: ") + number(frame.solidLeft)
              << QStringLiteral("Frame right: ") + number(frame.solidRight)
              << QStringLiteral("Frame top: ") + number(frame.solidTop)
              << QStringLiteral("Frame bottom: ") + number(frame.solidBottom)
              << QStringLiteral("Frame left color: ") + frame.solidLeftColor
              << QStringLiteral("Frame right color: ") + frame.solidRightColor
              << QStringLiteral("Frame top color: ") + frame.solidTopColor
              << QStringLiteral("Frame bottom color: ") + frame.solidBottomColor
              << QStringLiteral("Frame opacity: ") + number(frame.solidOpacity);
    }
    return lines;
}

QStringList textWatermarkEcho(const WatermarkSettings& w)
{
    return {
        QStringLiteral("Watermark text: ") + w.text,
        QStringLiteral("Watermark font: ") + w.font,
        QStringLiteral("Watermark font size: ") + number(w.fontSize),
        QStringLiteral("Watermark font leading: ") + number(w.fontLeading),
        QStringLiteral("Watermark font color: ") + w.fontColor,
        QStringLiteral("Watermark font style: ") + keywordText(KeywordTable::FontStyle, w.fontStyle),
        QStringLiteral("Watermark font effect: ") + keywordText(KeywordTable::FontEffect, w.fontEffect),
        QStringLiteral("Watermark text antialiasing: ") + flag(w.textAntialiasing),
        QStringLiteral("Watermark text alignment: ") + keywordText(KeywordTable::Alignment, w.textAlignment),
        QStringLiteral("Watermark text padding: ") + number(w.textPadding),
        QStringLiteral("Watermark text opacity: ") + number(w.textOpacity),
        QStringLiteral("Watermark background color: ") + w.backColor,
        QStringLiteral("Watermark background opacity: ") + number(w.backOpacity),
        QStringLiteral("Watermark boundary: ") + keywordText(KeywordTable::Boundary, w.textBoundary),
        QStringLiteral("Watermark position: ") + keywordText(KeywordTable::Position, w.textPosition),
        QStringLiteral("Watermark offset (x/y): ") + number(w.textXOffset) + u'/' + number(w.textYOffset),
        QStringLiteral("Watermark rotation: ") + number(w.textRotation),
        QStringLiteral("Watermark size/mode: ") + keywordText(KeywordTable::SizeMode, w.textSize),
    };
}

QStringList imageWatermarkEcho(const WatermarkSettings& w)
{
    return {
        QStringLiteral("Watermark image: ") + w.image,
        QStringLiteral("Watermark greyscale: ") + flag(w.imageGreyscale),
        QStringLiteral("Watermark opacity: ") + number(w.imageOpacity),
        QStringLiteral("Watermark boundary: ") + keywordText(KeywordTable::Boundary, w.imageBoundary),
        QStringLiteral("Watermark position: ") + keywordText(KeywordTable::Position, w.imagePosition),
        QStringLiteral("Watermark offset (x/y): ") + number(w.imageXOffset) + u'/' + number(w.imageYOffset),
        QStringLiteral("Watermark rotation: ") + number(w.imageRotation),
        QStringLiteral("Watermark size/mode: ") + keywordText(KeywordTable::SizeMode, w.imageSize),
    };
}

bool bitDepthPermitted(const QString& key, std::int32_t bpp)
{
    const std::vector<int> permitted = permittedBitDepths(key);
    return bpp == 0 || std::find(permitted.begin(), permitted.end(), bpp) != permitted.end();
}

} // namespace

bool hasExtension(const QString& value)
{
    const QString component = value.mid(value.lastIndexOf(u'/') + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    return dot > 0 && !component.mid(dot + 1).contains(u' ');
}

QString completeConsoleFolder(const QString& folder, const QString& currentFolder)
{
    if (folder.startsWith(QLatin1StringView(".."))) {
        return {};
    }
    QString complete = folder;
    if (!complete.startsWith(u'/')) {
        if (complete == u".") {
            complete.clear();
        } else if (complete.startsWith(QLatin1StringView("./"))) {
            complete.remove(0, 2);
        }
        QString base = currentFolder;
        if (!base.endsWith(u'/')) {
            base += u'/';
        }
        complete.prepend(base);
    }
    if (!complete.endsWith(u'/')) {
        complete += u'/';
    }
    return complete;
}

QString folderPart(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

QStringList bannerLines()
{
    return {programTitle(), QStringLiteral("Copyright (c) Morvane. All rights reserved."),
            QString::fromUtf8(makerWebSite), QStringLiteral(" ")};
}

int runConsole(const Settings& settings, JobState& job, InputFileList& inputFiles, ConsoleOutput& console,
               const ConsoleRunOptions& options)
{
    const bool quiet = options.quiet;
    const bool debug = job.mode == u"DEBUG";
    const auto say = [&](const QString& text) {
        if (!quiet) {
            console.line(text);
        }
    };
    const auto echo = [&](const QStringList& lines) {
        if (debug) {
            for (const QString& line : lines) {
                console.line(line);
            }
        }
    };
    const auto fail = [&](const QString& problem) {
        console.errorLine(problem);
        return exitError;
    };
    const QString currentFolder = QDir::currentPath();
    const InterruptGuard interrupts;

    say(message(QStringLiteral("General"), QStringLiteral("Preparing")));
    const QString input = job.inputFolder;
    echo({QStringLiteral("Input: ") + input});
    const bool fileInput = hasExtension(input);
    if (fileInput) {
        job.inputPath = input;
        job.inputFolder.clear();
        const QFileInfo info(input);
        if (!info.isFile() || info.size() <= 0) {
            return fail(QStringLiteral("Invalid input file"));
        }
    } else {
        job.inputFolder = completeConsoleFolder(input, currentFolder);
        if (job.inputFolder.isEmpty()) {
            return fail(QStringLiteral("Incorrect input folder"));
        }
        if (!QFileInfo(job.inputFolder).isDir()) {
            return fail(QStringLiteral("Invalid input folder"));
        }
    }

    if (job.outputFolder.isEmpty()) {
        job.outputFolder = fileInput ? folderPart(input) : job.inputFolder;
    }
    echo({QStringLiteral("Output: ") + job.outputFolder});
    job.outputFolder = completeConsoleFolder(job.outputFolder, currentFolder);
    if (job.outputFolder.isEmpty()) {
        return fail(QStringLiteral("Incorrect output folder"));
    }
    if (!QFileInfo(job.outputFolder).isDir()) {
        return fail(QStringLiteral("Invalid output folder"));
    }

    if (job.inputKey.isEmpty()) {
        job.inputKey = inputFormatList().value(0);
    }
    if (job.outputKey.isEmpty()) {
        job.outputKey = outputFormatList().value(0);
    }
    const QString& key = job.outputKey;
    echo({QStringLiteral("Conversion: ") + key});
    if (!outputFormatList().contains(key)) {
        return fail(QStringLiteral("Invalid conversion type"));
    }
    echo({QStringLiteral("TIFF Frame Loading: ") +
          keywordText(KeywordTable::FrameSelection, settings.input.tiffFrameLoading)});

    echo(outputFormatEcho(settings, key));
    if (!bitDepthPermitted(key, formatBitDepthSetting(settings, key))) {
        return fail(QStringLiteral("Invalid ") + key + QStringLiteral("-bpp value"));
    }
    if (key == u"jpg" && (settings.output.jpgQuality < 1 || settings.output.jpgQuality > 100)) {
        return fail(QStringLiteral("Invalid jpg-quality value"));
    }

    const TransformSettings& transform = settings.transform;
    if (transform.doImageRotation != 0) {
        echo({QStringLiteral("Image Rotation Type: ") +
                  keywordText(KeywordTable::RotationType, transform.imageRotationType),
              QStringLiteral("Image Rotation: ") + number(transform.imageRotation),
              QStringLiteral("Image Rotation Back Color: ") + transform.imageRotationBackColor});
    }
    if (transform.doImageResize != 0) {
        echo({QStringLiteral("Width: ") + number(transform.imageWidth) + u' ' +
              keywordText(KeywordTable::Unit, transform.imageWidthUnit)});
        if (transform.imageWidth == 0) {
            return fail(QStringLiteral("Invalid width value"));
        }
        echo({QStringLiteral("Height: ") + number(transform.imageHeight) + u' ' +
              keywordText(KeywordTable::Unit, transform.imageHeightUnit)});
        if (transform.imageHeight == 0) {
            return fail(QStringLiteral("Invalid height value"));
        }
        echo({QStringLiteral("Keep Aspect Ratio: ") + flag(transform.keepAspectRatio),
              QStringLiteral("Image Resize Type: ") + keywordText(KeywordTable::ResizeType, transform.imageResizeType),
              QStringLiteral("Image Resize Algorithm: ") +
                  keywordText(KeywordTable::ResizeAlgorithm, transform.imageResizeAlgorithm)});
    }
    echo({QStringLiteral("Flip Horizontal: ") + flag(transform.doImageFlipHorizontal),
          QStringLiteral("Flip Vertical: ") + flag(transform.doImageFlipVertical)});

    const AdjustmentSettings& adjustment = settings.adjustment;
    if (adjustment.doImageColorCorrection != 0) {
        echo({QStringLiteral("Brightness: ") + number(adjustment.imageBrightness)});
        if (adjustment.imageBrightness < -100 || adjustment.imageBrightness > 100) {
            return fail(QStringLiteral("Invalid brightness value"));
        }
        echo({QStringLiteral("Contrast: ") + number(adjustment.imageContrast)});
        if (adjustment.imageContrast < -100 || adjustment.imageContrast > 100) {
            return fail(QStringLiteral("Invalid contrast value"));
        }
        echo({QStringLiteral("Gamma: ") + QString::number(adjustment.imageGamma, 'f', 2)});
        // Written so that NaN fails too.
        if (!(adjustment.imageGamma >= 0.01F && adjustment.imageGamma <= 9.99F)) {
            return fail(QStringLiteral("Invalid gamma value"));
        }
        echo({QStringLiteral("Invert: ") + flag(adjustment.imageInvert)});
    }
    echo({QStringLiteral("Greyscale: ") + flag(adjustment.doImageGreyscale)});
    if (adjustment.doImageThreshold != 0) {
        echo({QStringLiteral("Image Threshold: ") + number(adjustment.imageThreshold)});
    }

    echo(frameEcho(settings.frame));
    const WatermarkSettings& watermark = settings.watermark;
    echo({QStringLiteral("Watermark: ") + keywordText(KeywordTable::Watermark, watermark.doWatermark)});
    const bool drawing = runNeedsDrawing(settings);
    if (drawing && options.startDrawing && !options.startDrawing()) {
        return fail(QStringLiteral("Unable to start the drawing facility"));
    }
    WatermarkAssetsResult watermarkAssets;
    if (watermark.doWatermark == 1) {
        echo(textWatermarkEcho(watermark));
        watermarkAssets = loadWatermarkAssets(settings);
        if (watermarkAssets.problem != WatermarkProblem::None) {
            return fail(QStringLiteral("Invalid watermark font"));
        }
    } else if (watermark.doWatermark == 2) {
        echo(imageWatermarkEcho(watermark));
        watermarkAssets = loadWatermarkAssets(settings);
        if (watermarkAssets.problem != WatermarkProblem::None) {
            return fail(QStringLiteral("Invalid watermark image"));
        }
    }

    const AdvancedSettings& advanced = settings.advanced;
    echo({QStringLiteral("Filename Mask: ") + advanced.filenameMask,
          QStringLiteral("File Timestamp: ") + keywordText(KeywordTable::Timestamp, advanced.fileTimestamp)});
    if (advanced.fileTimestamp == 2) {
        echo({QStringLiteral("Custom Timestamp: ") + number(advanced.customTimestamp)});
    }
    echo({QStringLiteral("Keep Subfolders: ") + flag(advanced.keepSubfolders)});

    prepareRun(settings, job);

    const bool showProgress = !quiet && console.canShowProgress();
    say(message(QStringLiteral("General"), QStringLiteral("Importing")));
    RunProgress progress;
    std::int32_t total = 0;
    if (!fileInput) {
        runWorker([&]() { folderImportWorker(inputFiles, job, progress); }, progress, console, showProgress,
                  QStringLiteral("Importing"), topLevelEntryCount(job.inputFolder));
        total = progress.snapshot().convertedCount;
    } else if (const QString extension = inputExtensionOf(job.inputPath).toLower();
               extension == u"txt" || extension == u"lst") {
        runWorker([&]() { listImportWorker(inputFiles, job, progress); }, progress, console, showProgress,
                  QStringLiteral("Importing"), listLineEstimate(job.inputPath));
        total = progress.snapshot().convertedCount;
    } else {
        total = addInputFile(inputFiles, job, job.inputPath) ? 1 : 0;
    }
    say(substituteMessage(message(QStringLiteral("Msg"), QStringLiteral("Import complete")), QString::number(total)));
    if (total == 0) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Empty input files")));
        return exitStopped;
    }

    say(message(QStringLiteral("General"), QStringLiteral("Converting")));
    const int workerCount = options.threads > 0 ? options.threads : defaultWorkerCount();
    RunContext context{settings, job, &watermarkAssets.assets, nullptr, nullptr};
    if (debug) {
        context.debugLine = [&console](const QString& line) { console.line(line); };
    }
    runWorker([&]() { conversionWorker(context, inputFiles, progress, workerCount); }, progress, console, showProgress,
              QStringLiteral("Converting"), total);
    const std::int32_t converted = progress.snapshot().convertedCount;
    if (converted == 0) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
        return exitStopped;
    }
    // A run stopped by a signal before its last file is not complete, even when it converted some.
    const bool interrupted = interruptRequested.load() && converted < total;
    if (interrupted) {
        console.line(message(QStringLiteral("Msg"), QStringLiteral("Conversion is not complete")));
    } else {
        say(message(QStringLiteral("Msg"), QStringLiteral("Conversion complete")));
    }
    say(substituteMessage(message(QStringLiteral("Msg"), QStringLiteral("Files converted")), QString::number(converted),
                          QString::number(total)));
    return converted == total ? exitSuccess : exitPartial;
}

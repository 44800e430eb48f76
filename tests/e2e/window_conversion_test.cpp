// A conversion started from the window of the real program, on a desktop of the test's own, as a
// user starts one: files handed to the open window, then F5.
#include "support/run_tessaline.h"
#include "support/virtual_display.h"

#include "app/program_info.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <chrono>
#include <csignal>

namespace {

using e2e::RunResult;
using e2e::Sandbox;
using e2e::VirtualDisplay;

// A small RGB page with what cameras put in the page's own directory: private EXIF tags such as
// ExposureTime (33434) and FNumber (33437), which libtiff knows only inside an EXIF directory and
// reports as unknown here, as do the libraries reading the file through it.
bool writeCameraTiff(const QString& path)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    static const TIFFFieldInfo cameraTags[] = {
        {33434, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("ExposureTime")},
        {33437, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("FNumber")},
    };
    TIFFMergeFieldInfo(tiff, cameraTags, 2);
    constexpr std::uint32_t width = 24, height = 16;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(tiff, 33434, 1.0 / 125);
    TIFFSetField(tiff, 33437, 2.8);
    std::vector<unsigned char> pixels(std::size_t{width} * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>(i * 7);
    }
    const bool written = TIFFWriteEncodedStrip(tiff, 0, pixels.data(), static_cast<tmsize_t>(pixels.size())) >= 0 &&
                         TIFFWriteDirectory(tiff) != 0;
    TIFFClose(tiff);
    return written;
}

// The files below a folder, at any depth, that are not TIFFs: what a run wrote (in the default
// output format, to the default output folder).
int outputsBelow(const QString& folder)
{
    int count = 0;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        count += files.next().endsWith(QLatin1String(".tif")) ? 0 : 1;
    }
    return count;
}

bool waitForOutputs(const QString& folder, int count, int timeoutMs = 90000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (outputsBelow(folder) >= count) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

bool waitForEntry(const QString& path, int timeoutMs = 30000)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (QFileInfo::exists(path)) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

// What libtiff and FreeImage say about the files they read stays out of standard error, in the
// window as in the console: a launcher that never reads the pipe would stall the run once it fills.
// The window starts without parameters (from a menu or a launcher) and gets its files the way a
// file manager hands them over, so nothing of the console's start runs in it.
TEST(WindowConversion, LeavesStandardErrorEmpty)
{
    const VirtualDisplay display;
    if (!display.problem().isEmpty()) {
        GTEST_SKIP() << display.problem().toStdString();
    }
    const Sandbox sandbox;
    sandbox.makeFolder(QStringLiteral("photos"));
    QStringList pictures;
    for (int i = 0; i < 4; ++i) {
        pictures << sandbox.path(QStringLiteral("photos/p%1.tif").arg(i));
        ASSERT_TRUE(writeCameraTiff(pictures.last()));
    }
    const std::unique_ptr<e2e::RunningTessaline> window = sandbox.start({});
    ASSERT_TRUE(waitForEntry(sandbox.runtimeFolder() + u'/' + programTitle() + QStringLiteral(".socket")));
    const RunResult handOver = sandbox.run(pictures, {.timeoutMs = 60000});
    ASSERT_EQ(handOver.exitCode, 0) << handOver.err.toStdString();

    const QString title = QStringLiteral("^Tessaline 2.6$");
    ASSERT_TRUE(VirtualDisplay::xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title,
                                         QStringLiteral("windowactivate"), QStringLiteral("--sync")}));
    // The handed-over files join the list as a drop once the window has them.
    QThread::msleep(1500);
    ASSERT_TRUE(VirtualDisplay::xdotool({QStringLiteral("key"), QStringLiteral("F5")}));
    ASSERT_TRUE(waitForOutputs(sandbox.path(QStringLiteral("photos")), static_cast<int>(pictures.size())));
    // Whatever the libraries say comes while the files are read and written; then the window ends.
    QThread::msleep(1000);
    kill(window->pid(), SIGTERM);
    const RunResult result = window->finish(30000);
    EXPECT_EQ(outputsBelow(sandbox.path(QStringLiteral("photos"))), pictures.size());
    EXPECT_TRUE(result.err.isEmpty()) << result.err.left(2000).toStdString();
}

} // namespace

// A conversion started from the window of the real program, on a desktop of the test's own, as a
// user starts one: files handed to the open window, then F5.
#include "support/run_tessaline.h"
#include "support/tiff_variants.h"
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
    const fixtures::TiffVariant photo{
        .name = QStringLiteral("photo"), .photometric = PHOTOMETRIC_RGB, .bitsPerSample = 8, .colourSamples = 3};
    fixtures::TiffExtras cameraTags;
    cameraTags.cameraTagsInPage = true;
    QStringList pictures;
    for (int i = 0; i < 4; ++i) {
        pictures << sandbox.path(QStringLiteral("photos/p%1.tif").arg(i));
        ASSERT_TRUE(fixtures::writeTiffVariant(pictures.last(), photo, 24, 16, cameraTags));
    }
    const std::unique_ptr<e2e::RunningTessaline> window = sandbox.start({});
    ASSERT_TRUE(e2e::waitForEntry(sandbox.runtimeFolder() + u'/' + programTitle() + QStringLiteral(".socket")));
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

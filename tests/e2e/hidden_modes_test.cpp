// The two hidden starts, -T (a picture of the main window for the web pages) and -U (the uninstall
// page), and F1 of the windowed start, run as the real program on an X display of the test's own.
// What the program hands to the desktop's open action is caught by an xdg-open of the test's own.
#include "support/no_display.h"
#include "support/patience.h"
#include "support/run_tessaline.h"
#include "support/virtual_display.h"

#include "app/endpoints.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using e2e::RunResult;
using e2e::Sandbox;
using e2e::VirtualDisplay;

// While alive, an xdg-open first on PATH writes each address it is given to a log file.
class CaughtOpens {
  public:
    explicit CaughtOpens(const Sandbox& sandbox)
        : log_(sandbox.root() + QStringLiteral("/opened.log")), savedPath_(qgetenv("PATH"))
    {
        const QString script = sandbox.root() + QStringLiteral("/bin/xdg-open");
        QDir().mkpath(QFileInfo(script).path());
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(log_) + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(QFileInfo(script).path()) + ':' + savedPath_);
    }
    ~CaughtOpens() { qputenv("PATH", savedPath_); }
    CaughtOpens(const CaughtOpens&) = delete;
    CaughtOpens& operator=(const CaughtOpens&) = delete;

    // The addresses opened so far; xdg-open runs detached, so give it a moment.
    QStringList opened() const
    {
        QThread::msleep(e2e::patientMs(500));
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

  private:
    QString log_;
    QByteArray savedPath_;
};

// Waits for a window of the given title, activates it and types the keys (as the keyboard does, so
// that a window the keys close is no longer needed for the last key's release).
bool typeInto(const QString& title, const QStringList& keys)
{
    return VirtualDisplay::xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), title, QStringLiteral("windowactivate"),
                                    QStringLiteral("--sync")}) &&
           VirtualDisplay::xdotool(
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")} + keys);
}

#define REQUIRE_DISPLAY(display)                                                                                       \
    if (!(display).problem().isEmpty()) {                                                                              \
        GTEST_SKIP() << (display).problem().toStdString();                                                             \
    }

// Dark pixels where the web address is drawn, at the lower right of the picture.
int darkPixelsOfTheAddress(const QImage& image)
{
    int dark = 0;
    for (int y = image.height() - 26; y < image.height() - 12; ++y) {
        for (int x = image.width() - 200; x < image.width() - 35; ++x) {
            dark += QColor(image.pixel(x, y)).lightness() < 80 ? 1 : 0;
        }
    }
    return dark;
}

// The program copied into an installed layout below the sandbox: usr/bin/tessaline and, when
// asked, its data in usr/share/tessaline/ (the theme pack and the manual of the build).
QString installedCopy(const Sandbox& sandbox, const QString& name, bool withData)
{
    const QString prefix = sandbox.makeFolder(name + QStringLiteral("/usr"));
    const QString buildFolder = QFileInfo(QStringLiteral(TESSALINE_EXECUTABLE)).absolutePath();
    QDir().mkpath(prefix + QStringLiteral("/bin"));
    QFile::copy(QStringLiteral(TESSALINE_EXECUTABLE), prefix + QStringLiteral("/bin/tessaline"));
    if (withData) {
        QDir().mkpath(prefix + QStringLiteral("/share/tessaline/gfx"));
        QFile::copy(buildFolder + QStringLiteral("/gfx/handdrawn.zip"),
                    prefix + QStringLiteral("/share/tessaline/gfx/handdrawn.zip"));
        QFile::copy(buildFolder + QStringLiteral("/tessaline.html"),
                    prefix + QStringLiteral("/share/tessaline/tessaline.html"));
    }
    return prefix + QStringLiteral("/bin/tessaline");
}

// Starts a program other than the build's with the sandbox's folders.
std::unique_ptr<QProcess> startProgram(const Sandbox& sandbox, const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox.configFolder());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), sandbox.runtimeFolder());
    process->setProcessEnvironment(environment);
    process->start(program, arguments);
    return process;
}

// The mean difference of two pictures' toolbar strips (below the title and menu bars).
double toolbarDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    int count = 0;
    for (int y = 50; y < 90 && y < a.height() && y < b.height(); ++y) {
        for (int x = 0; x < 400 && x < a.width() && x < b.width(); ++x) {
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            ++count;
        }
    }
    return count == 0 ? 0 : sum / count;
}

TEST(ScreenshotMode, WritesTheWindowWithItsFrameAndASmallCopy)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    const QString folder = sandbox.makeFolder(QStringLiteral("shots"));
    const RunResult result = sandbox.run({QStringLiteral("-T"), folder}, {.timeoutMs = 60000});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();

    const QImage big(folder + QStringLiteral("/tessaline1.jpg"));
    const QImage small(folder + QStringLiteral("/tessaline1x.jpg"));
    ASSERT_FALSE(big.isNull());
    ASSERT_FALSE(small.isNull());
    // 510 x 330 inside, and the window manager's frame around it.
    EXPECT_GT(big.width(), 510);
    EXPECT_GT(big.height(), 330);
    EXPECT_EQ(small.width(), 180);
    EXPECT_EQ(small.height(), std::lround(180.0 * big.height() / big.width()));
    EXPECT_GT(darkPixelsOfTheAddress(big), 20);
    EXPECT_FALSE(QFileInfo::exists(sandbox.configFolder() + QStringLiteral("/Morvane")));
}

TEST(ScreenshotMode, WithoutAFolderWritesBesideTheProgram)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    const std::unique_ptr<QProcess> process =
        startProgram(sandbox, installedCopy(sandbox, QStringLiteral("alone"), false), {QStringLiteral("-T")});
    ASSERT_TRUE(process->waitForFinished(e2e::patientMs(60000)));
    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    EXPECT_EQ(sandbox.filesBelow(QStringLiteral("alone/usr/bin")),
              (QStringList{"tessaline", "tessaline1.jpg", "tessaline1x.jpg"}));
}

// An installed program finds the theme pack in its data folder: its toolbar shows the pack's
// pictures, not the built-in ones it shows when the data folder is missing.
TEST(ScreenshotMode, InstalledProgramShowsTheThemeOfItsDataFolder)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    QImage shots[2];
    for (const bool withData : {false, true}) {
        const QString name = withData ? QStringLiteral("installed") : QStringLiteral("alone");
        const std::unique_ptr<QProcess> process =
            startProgram(sandbox, installedCopy(sandbox, name, withData), {QStringLiteral("-T")});
        ASSERT_TRUE(process->waitForFinished(e2e::patientMs(60000)));
        ASSERT_EQ(process->exitCode(), 0);
        shots[withData ? 1 : 0] = QImage(sandbox.path(name + QStringLiteral("/usr/bin/tessaline1.jpg")));
        ASSERT_FALSE(shots[withData ? 1 : 0].isNull());
    }
    EXPECT_GT(toolbarDifference(shots[0], shots[1]), 5.0); // JPEG noise alone stays below 1
}

TEST(ScreenshotMode, FolderThatDoesNotExistGivesNothing)
{
    const e2e::NoDisplay noDisplay; // no window could be shown; none is tried
    const Sandbox sandbox;
    const RunResult result = sandbox.run({QStringLiteral("-T"), sandbox.path(QStringLiteral("missing"))});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sandbox.path(QStringLiteral("missing"))));
}

TEST(HiddenModes, WithoutADisplayEndWithAnErrorLine)
{
    const e2e::NoDisplay noDisplay;
    const Sandbox sandbox;
    const QString folder = sandbox.makeFolder(QStringLiteral("shots"));
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("-U")}, QStringList{QStringLiteral("-T"), folder}}) {
        const RunResult result = sandbox.run(arguments, {.timeoutMs = 30000});
        EXPECT_EQ(result.exitCode, 1) << arguments.join(u' ').toStdString();
        ASSERT_EQ(result.errLines().size(), 1);
        EXPECT_TRUE(result.errLines().first().startsWith("Error: "));
    }
    EXPECT_TRUE(sandbox.filesBelow(QStringLiteral("shots")).isEmpty());
}

struct UninstallCase {
    const char* name;
    QStringList keys;
    bool opensThePage;
};

void PrintTo(const UninstallCase& c, std::ostream* out)
{
    *out << c.name;
}

class UninstallPage : public testing::TestWithParam<UninstallCase> {};

TEST_P(UninstallPage, OpensThePageOnlyOnNextWithTheBoxChecked)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    const CaughtOpens opens(sandbox);
    const std::unique_ptr<e2e::RunningTessaline> running = sandbox.start({QStringLiteral("-U")});
    ASSERT_TRUE(typeInto(QStringLiteral("^Uninstall$"), GetParam().keys));
    const RunResult result = running->finish(30000);
    EXPECT_EQ(result.exitCode, 0);
    const QStringList expected{QString::fromUtf8(makerWebSite) + QStringLiteral("/tessaline/uninstall.html")};
    EXPECT_EQ(opens.opened(), GetParam().opensThePage ? expected : QStringList{});
    EXPECT_FALSE(QFileInfo::exists(sandbox.configFolder() + QStringLiteral("/Morvane")));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UninstallPage,
    testing::Values(UninstallCase{"NextChecked", {QStringLiteral("Return")}, true},
                    UninstallCase{"NextUnchecked", {QStringLiteral("space"), QStringLiteral("Return")}, false},
                    UninstallCase{"CloseBox", {QStringLiteral("alt+F4")}, false}),
    [](const testing::TestParamInfo<UninstallCase>& info) { return std::string(info.param.name); });

// Installed, the manual is found in the data folder from the program's own folder.
TEST(WindowedStart, F1OpensTheInstalledManual)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    const CaughtOpens opens(sandbox);
    const std::unique_ptr<QProcess> process =
        startProgram(sandbox, installedCopy(sandbox, QStringLiteral("installed"), true), {});
    ASSERT_TRUE(typeInto(QStringLiteral("^Tessaline 2.6$"), {QStringLiteral("F1")}));
    const QStringList opened = opens.opened();
    ASSERT_TRUE(typeInto(QStringLiteral("^Tessaline 2.6$"), {QStringLiteral("alt+x")}));
    ASSERT_TRUE(process->waitForFinished(e2e::patientMs(30000)));
    const QString manual = sandbox.path(QStringLiteral("installed/usr/share/tessaline/tessaline.html"));
    EXPECT_EQ(opened, QStringList{QUrl::fromLocalFile(manual).toString()});
}

TEST(WindowedStart, F1OpensTheManualBesideTheProgram)
{
    const VirtualDisplay display;
    REQUIRE_DISPLAY(display);
    const Sandbox sandbox;
    const CaughtOpens opens(sandbox);
    const std::unique_ptr<e2e::RunningTessaline> running = sandbox.start({});
    ASSERT_TRUE(typeInto(QStringLiteral("^Tessaline 2.6$"), {QStringLiteral("F1")}));
    const QStringList opened = opens.opened();
    ASSERT_TRUE(typeInto(QStringLiteral("^Tessaline 2.6$"), {QStringLiteral("alt+x")}));
    EXPECT_EQ(running->finish(30000).exitCode, 0);
    const QString manual = QFileInfo(QStringLiteral(TESSALINE_EXECUTABLE)).absolutePath() + "/tessaline.html";
    EXPECT_EQ(opened, QStringList{QUrl::fromLocalFile(manual).toString()});
}

} // namespace

// The windowed start of the real program as a desktop or a terminal meets it: without a display,
// with a runtime folder that cannot hold the lock, and while a window is already open (the later
// start hands its files to that window). Windows run on the offscreen platform the suite sets, or
// on an X display of the test's own where the user's view matters.
#include "support/no_display.h"
#include "support/run_tessaline.h"
#include "support/virtual_display.h"

#include "app/program_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {

using e2e::RunResult;
using e2e::Sandbox;
using e2e::waitForEntry;

QString lockPath(const QString& folder)
{
    return folder + u'/' + programTitle() + QStringLiteral(".lock");
}

QString socketPath(const QString& folder)
{
    return folder + u'/' + programTitle() + QStringLiteral(".socket");
}

// What a window that was killed leaves behind: a socket file nobody listens on.
bool leaveStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 1) == 0;
    ::close(fd);
    return bound;
}

unsigned modeOf(const QString& path)
{
    struct stat entry {};
    ::lstat(QFile::encodeName(path).constData(), &entry);
    return entry.st_mode & 07777;
}

TEST(WindowedStart, WithoutADisplayEndsWithAnErrorLineBeforeTouchingAnything)
{
    const e2e::NoDisplay noDisplay;
    const Sandbox sandbox;
    const QString picture = sandbox.writeTiff(QStringLiteral("a.tif"));
    for (const QStringList& arguments : {QStringList{}, QStringList{picture}, QStringList{QStringLiteral("-x")}}) {
        const RunResult result = sandbox.run(arguments, {.timeoutMs = 30000});
        EXPECT_EQ(result.exitCode, 1) << arguments.join(u' ').toStdString();
        ASSERT_EQ(result.errLines().size(), 1) << result.err.toStdString();
        const QString line = result.errLines().first();
        EXPECT_TRUE(line.startsWith(QStringLiteral("Error: There is no graphical display"))) << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("-i"))) << line.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_TRUE(QDir(sandbox.runtimeFolder()).isEmpty());
    EXPECT_TRUE(QDir(sandbox.configFolder()).isEmpty());
}

// A runtime folder that cannot be made is not "already running": the start says so and ends.
TEST(WindowedStart, ARuntimeFolderThatCannotBeMadeIsAnError)
{
    const Sandbox sandbox;
    const QString blocker = sandbox.writeFile(QStringLiteral("not-a-folder"), "x");
    const QString runtime = blocker + QStringLiteral("/runtime");
    const RunResult result =
        sandbox.run({}, {.timeoutMs = 30000, .environment = {QStringLiteral("XDG_RUNTIME_DIR=") + runtime}});
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.errLines().size(), 1) << result.err.toStdString();
    EXPECT_TRUE(result.errLines().first().startsWith(QStringLiteral("Error: Cannot use the runtime folder ") + runtime +
                                                     QStringLiteral(" for the single-instance lock: ")))
        << result.err.toStdString();
    EXPECT_TRUE(QDir(sandbox.configFolder()).isEmpty());
}

struct FallbackCase {
    const char* name;
    // Prepares the entry where the fallback folder goes; false when this machine cannot.
    bool (*prepare)(const QString& path, const Sandbox& sandbox);
    const char* reason; // in the error line
};

void PrintTo(const FallbackCase& c, std::ostream* out)
{
    *out << c.name;
}

class RuntimeFallback : public testing::TestWithParam<FallbackCase> {};

// Without XDG_RUNTIME_DIR the lock goes to tessaline-runtime-<uid> in the temporary folder, which
// anyone can create first: it serves only as a real folder of the user's, closed to everyone else.
TEST_P(RuntimeFallback, RefusesAFolderThatIsNotTheUsersAlone)
{
    const Sandbox sandbox;
    const QString temporary = sandbox.makeFolder(QStringLiteral("tmp"));
    const QString fallback = temporary + QStringLiteral("/tessaline-runtime-") + QString::number(getuid());
    if (!GetParam().prepare(fallback, sandbox)) {
        GTEST_SKIP() << "cannot prepare the folder here (changing its owner needs root)";
    }
    const RunResult result =
        sandbox.run({}, {.timeoutMs = 30000,
                         .environment = {QStringLiteral("XDG_RUNTIME_DIR="), QStringLiteral("TMPDIR=") + temporary}});
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.errLines().size(), 1) << result.err.toStdString();
    const QString line = result.errLines().first();
    EXPECT_TRUE(line.startsWith(QStringLiteral("Error: Cannot use the runtime folder ") + fallback))
        << line.toStdString();
    EXPECT_TRUE(line.contains(QLatin1StringView(GetParam().reason))) << line.toStdString();
    EXPECT_FALSE(QFileInfo::exists(lockPath(fallback)));
    EXPECT_TRUE(QDir(sandbox.configFolder()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, RuntimeFallback,
    testing::Values(FallbackCase{"OpenToOthers",
                                 [](const QString& path, const Sandbox&) {
                                     return QDir().mkpath(path) &&
                                            ::chmod(QFile::encodeName(path).constData(), 0755) == 0;
                                 },
                                 "its permissions are 0755, not 0700"},
                    FallbackCase{"AnotherUsers",
                                 [](const QString& path, const Sandbox&) {
                                     return QDir().mkpath(path) &&
                                            ::chmod(QFile::encodeName(path).constData(), 0700) == 0 &&
                                            ::chown(QFile::encodeName(path).constData(), getuid() + 1, getgid()) == 0;
                                 },
                                 "it belongs to another user"},
                    // Even to a folder that would pass: the link itself may have been planted by anyone.
                    FallbackCase{"ALink",
                                 [](const QString& path, const Sandbox& sandbox) {
                                     const QString target = sandbox.makeFolder(QStringLiteral("elsewhere"));
                                     ::chmod(QFile::encodeName(target).constData(), 0700);
                                     return QFile::link(target, path);
                                 },
                                 "it is a symbolic link"},
                    FallbackCase{"AFile",
                                 [](const QString& path, const Sandbox&) {
                                     QFile file(path);
                                     return file.open(QIODevice::WriteOnly);
                                 },
                                 "it is not a folder"}),
    [](const testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

TEST(RuntimeFallback, IsCreatedForTheUserAloneAndHoldsTheLock)
{
    const Sandbox sandbox;
    const QString temporary = sandbox.makeFolder(QStringLiteral("tmp"));
    const QString fallback = temporary + QStringLiteral("/tessaline-runtime-") + QString::number(getuid());
    const std::unique_ptr<e2e::RunningTessaline> window =
        sandbox.start({}, {.environment = {QStringLiteral("XDG_RUNTIME_DIR="), QStringLiteral("TMPDIR=") + temporary,
                                           QStringLiteral("QT_QPA_PLATFORM=offscreen")}});
    ASSERT_TRUE(waitForEntry(socketPath(fallback)));
    EXPECT_TRUE(QFileInfo::exists(lockPath(fallback)));
    EXPECT_EQ(modeOf(fallback), 0700u);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    EXPECT_FALSE(QFileInfo(fallback).isSymLink());
}

// A second start while a window runs (offscreen here) hands over and ends at once; a window that
// was killed left its socket behind, which the next window takes over.
TEST(WindowedStart, ASecondStartHandsOverToTheOpenWindowAlsoAfterACrash)
{
    const Sandbox sandbox;
    ASSERT_TRUE(leaveStaleSocket(socketPath(sandbox.runtimeFolder())));
    const QString picture = sandbox.writeTiff(QStringLiteral("a.tif"));
    const std::unique_ptr<e2e::RunningTessaline> window =
        sandbox.start({}, {.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")}});
    ASSERT_TRUE(waitForEntry(lockPath(sandbox.runtimeFolder())));
    for (const QStringList& arguments : {QStringList{picture}, QStringList{}}) {
        const auto started = std::chrono::steady_clock::now();
        const RunResult second =
            sandbox.run(arguments, {.timeoutMs = 60000, .environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")}});
        EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
        EXPECT_TRUE(second.err.isEmpty()) << second.err.toStdString();
        EXPECT_TRUE(second.out.isEmpty());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    }
    EXPECT_EQ(modeOf(socketPath(sandbox.runtimeFolder())) & 0077, 0u);
}

// Nobody listens while the lock is held by a hidden mode: files cannot be handed over, and the
// start says so instead of dropping them silently.
TEST(WindowedStart, FilesThatNoWindowTakesAreReported)
{
    const Sandbox sandbox;
    const QString picture = sandbox.writeTiff(QStringLiteral("a.tif"));
    const std::unique_ptr<e2e::RunningTessaline> page =
        sandbox.start({QStringLiteral("-U")}, {.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")}});
    ASSERT_TRUE(waitForEntry(lockPath(sandbox.runtimeFolder())));
    const RunResult second =
        sandbox.run({picture}, {.timeoutMs = 60000, .environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")}});
    EXPECT_EQ(second.exitCode, 1);
    ASSERT_EQ(second.errLines().size(), 1) << second.err.toStdString();
    EXPECT_TRUE(second.errLines().first().startsWith(QStringLiteral("Error: Tessaline is already open, but ")));
}

// On a desktop of its own: a window runs, "Open With" hands it a file and a folder, and the user
// finds them in its list (written out through File > Export Files..., as a user would look).
TEST(WindowedStart, OpenWithAddsToTheListOfTheOpenWindow)
{
    const e2e::VirtualDisplay display;
    if (!display.problem().isEmpty()) {
        GTEST_SKIP() << display.problem().toStdString();
    }
    const Sandbox sandbox;
    const QString single = sandbox.writeTiff(QStringLiteral("single.tif"));
    const QString inFolder = sandbox.writeTiff(QStringLiteral("scans/page.tif"));
    const std::unique_ptr<e2e::RunningTessaline> window = sandbox.start({});
    ASSERT_TRUE(waitForEntry(socketPath(sandbox.runtimeFolder())));

    const RunResult second = sandbox.run({single, sandbox.path(QStringLiteral("scans"))}, {.timeoutMs = 60000});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.err.isEmpty()) << second.err.toStdString();

    // The window may still be starting, then imports the folder under its progress window, which
    // takes the clicks until it closes.
    QThread::msleep(2500);
    using e2e::VirtualDisplay;
    const QString title = QStringLiteral("^Tessaline 2.6$");
    const QString listFile = sandbox.path(QStringLiteral("list.txt"));
    ASSERT_TRUE(VirtualDisplay::xdotool(
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         title, QStringLiteral("windowactivate"), QStringLiteral("--sync"), QStringLiteral("mousemove"),
         QStringLiteral("--window"), QStringLiteral("%1"), QStringLiteral("15"), QStringLiteral("10"),
         QStringLiteral("click"), QStringLiteral("1")}));
    // File: New, Add Input Files..., Select Output Folder..., Import Files..., Export Files...
    ASSERT_TRUE(VirtualDisplay::xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150"),
                                         QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                                         QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}));
    ASSERT_TRUE(VirtualDisplay::xdotool(
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         QStringLiteral("Export"), QStringLiteral("windowactivate"), QStringLiteral("--sync")}));
    ASSERT_TRUE(VirtualDisplay::xdotool(
        {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(
        VirtualDisplay::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), listFile}));
    ASSERT_TRUE(VirtualDisplay::xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(waitForEntry(listFile));
    QThread::msleep(500);
    QFile written(listFile);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    // The list file starts with a byte order mark and ends its lines with CR LF.
    EXPECT_EQ(QString::fromUtf8(written.readAll())
                  .remove(QChar(0xFEFF))
                  .split(QRegularExpression(QStringLiteral("\\r?\\n")), Qt::SkipEmptyParts),
              (QStringList{single, inFolder}));
}

} // namespace

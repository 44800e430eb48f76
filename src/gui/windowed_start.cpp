#include "gui/windowed_start.h"

#include "app/config_file.h"
#include "app/folder_history.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "gui/main_window.h"
#include "gui/window_hand_over.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>

#include <cstdio>

namespace {

QSize primaryDesktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

} // namespace

int runWindowedMode(int& argc, char** argv, const QString& socketPath, ConsoleForms forms)
{
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaline"));
    // The window takes the files of later starts from the moment the lock is ours, so that they
    // need not wait for its start; they and the files named here ("Open With") are added as a drop
    // once the window shows.
    WindowInbox inbox;
    inbox.add(namedStartPaths(QApplication::arguments().mid(1)));
    HandOverServer handOverServer;
    QObject::connect(&handOverServer, &HandOverServer::pathsHandedOver, &inbox, &WindowInbox::handOver);
    const QString listenProblem = handOverServer.listen(socketPath);
    if (!listenProblem.isEmpty()) {
        std::fprintf(stderr, "Tessaline: later starts cannot hand files to this window (%s: %s)\n",
                     qUtf8Printable(socketPath), qUtf8Printable(listenProblem));
    }
    const QString configPath = configurationPath();
    WindowedSession session(configPath, programDataFolder() + QStringLiteral("gfx/"));
    session.window().setConsoleForms(std::move(forms));
    session.window().completeWindowedStart();
    inbox.open(session.window());
    QApplication::exec();
    if (!session.finish()) {
        std::fprintf(stderr, "Tessaline: the settings could not be written to %s\n", qUtf8Printable(configPath));
    }
    return 0;
}

int runSecondWindowedStart(int& argc, char** argv, const QString& socketPath)
{
    const QCoreApplication application(argc, argv);
    const QStringList named = namedStartPaths(QCoreApplication::arguments().mid(1));
    const QString problem = handOverToWindow(socketPath, named);
    // Without files nothing is lost when the window cannot be raised: the start ends silently.
    if (problem.isEmpty() || named.isEmpty()) {
        return 0;
    }
    std::fprintf(stderr, "Error: Tessaline is already open, but %s; the files were not added to its list\n",
                 qUtf8Printable(problem));
    return 1;
}

WindowedSession::WindowedSession(const QString& configPath, const QString& gfxFolder) : configPath_(configPath)
{
    records_.gfxFolder = gfxFolder;
    records_.configPath = configPath_;
    loadConfiguration(records_.settings, configPath_, primaryDesktopSize());
    loadMessageCatalogue();
    loadBuiltInImages(records_.images);
    records_.themes = discoverThemes(records_.gfxFolder);
    loadThemeImages(records_.images, records_.settings, records_.themes, records_.gfxFolder, {});
    window_ = std::make_unique<MainWindow>(records_);
}

WindowedSession::~WindowedSession() = default;

bool WindowedSession::finish()
{
    recordWindowPlacement(records_.settings.window, *window_);
    applyFolderHistoryExitRule(records_.settings);
    return saveConfiguration(records_.settings, configPath_);
}

QStringList namedStartPaths(const QStringList& parameters)
{
    QStringList paths;
    for (const QString& parameter : parameters) {
        if (!parameter.startsWith(QLatin1Char('-')) && QFileInfo::exists(parameter)) {
            paths.append(QFileInfo(parameter).absoluteFilePath());
        }
    }
    return paths;
}

void recordWindowPlacement(WindowSettings& window, const QWidget& mainWindow)
{
    if (mainWindow.isMaximized()) {
        window.isMaximized = 1;
        return;
    }
    if (mainWindow.isMinimized()) {
        return;
    }
    window.isMaximized = 0;
    window.x = mainWindow.x();
    window.y = mainWindow.y();
    window.width = mainWindow.width();
    window.height = mainWindow.height();
}

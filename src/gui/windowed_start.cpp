#include "gui/windowed_start.h"

#include "app/config_file.h"
#include "app/folder_history.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "gui/list_commands.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

QSize primaryDesktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

} // namespace

int runWindowedMode(int& argc, char** argv, ConsoleForms forms)
{
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaline"));
    const QString configPath = configurationPath();
    WindowedSession session(configPath, programDataFolder() + QStringLiteral("gfx/"));
    session.window().setConsoleForms(std::move(forms));
    session.window().completeWindowedStart();
    // Files and folders named on the command line ("Open With") arrive as a drop once the window shows.
    const QStringList named = namedStartPaths(QApplication::arguments().mid(1));
    if (!named.isEmpty()) {
        QTimer::singleShot(0, &session.window(),
                           [&session, named] { session.window().listCommands().addDroppedPaths(named); });
    }
    QApplication::exec();
    if (!session.finish()) {
        std::fprintf(stderr, "Tessaline: the settings could not be written to %s\n", qUtf8Printable(configPath));
    }
    return 0;
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

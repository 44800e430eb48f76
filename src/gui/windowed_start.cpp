#include "gui/windowed_start.h"

#include "app/config_file.h"
#include "app/folder_history.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "gui/main_window.h"
#include "gui/start_files.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>

namespace {

QSize primaryDesktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

} // namespace

int runWindowedMode(int& argc, char** argv, const QStringList& startParameters)
{
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaline"));
    WindowedSession session(configurationPath(), programDataFolder() + QStringLiteral("gfx/"));
    session.window().completeWindowedStart();
    addFilesNamedAtStart(session.window(), session.records(), startParameters);
    QApplication::exec();
    if (!session.finish()) {
        std::fprintf(stderr, "Tessaline: the settings could not be written to %s\n",
                     qUtf8Printable(configurationPath()));
    }
    return 0;
}

WindowedSession::WindowedSession(const QString& configPath, const QString& gfxFolder) : configPath_(configPath)
{
    records_.gfxFolder = gfxFolder;
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

#pragma once

#include "gui/console_forms.h"
#include "gui/desktop_records.h"

#include <QString>
#include <QStringList>

#include <memory>

class MainWindow;
class QWidget;

// The windowed mode from its start to its end: creates the application, loads the configuration
// file, the pictures and the theme, shows the main window, takes the files of later starts on
// socketPath, runs the one event loop and, when the window has closed, saves the configuration.
// The caller holds the single-instance lock. `forms` gives the window the console's words for its
// settings. Returns the exit status, 0.
int runWindowedMode(int& argc, char** argv, const QString& socketPath, ConsoleForms forms);

// A windowed start while a window is open: hands the files and folders it names to that window
// (which adds them as a drop and comes to the front) and returns 0. Returns 1, with an "Error: "
// line, when the window did not take them.
int runSecondWindowedStart(int& argc, char** argv, const QString& socketPath);

// One windowed session, for runWindowedMode and for tests that need the real start-up and
// shutdown without a process of their own. Needs a QApplication.
class WindowedSession {
  public:
    // Loads the configuration file at `configPath` (the defaults when there is none), the message
    // catalogue, the built-in pictures and the configured theme from `gfxFolder`, and builds the
    // main window. completeWindowedStart() on the window shows it.
    WindowedSession(const QString& configPath, const QString& gfxFolder);
    ~WindowedSession();
    WindowedSession(const WindowedSession&) = delete;
    WindowedSession& operator=(const WindowedSession&) = delete;

    MainWindow& window() { return *window_; }
    DesktopRecords& records() { return records_; }

    // After the event loop: records the window's placement, applies the history exit rule and
    // writes the configuration file. False when the file could not be written.
    bool finish();

  private:
    QString configPath_;
    DesktopRecords records_;
    std::unique_ptr<MainWindow> window_;
};

// The parameters of a windowed start that name existing files or folders (not options), made
// absolute: the window adds them as if they had been dropped on it.
QStringList namedStartPaths(const QStringList& parameters);

// The placement the exit stores: a maximised window only says so, a minimised one changes
// nothing, a normal one gives its position (frame included) and its size (menu bar included).
void recordWindowPlacement(WindowSettings& window, const QWidget& mainWindow);

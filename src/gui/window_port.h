#pragma once

#include "engine/inputs/input_file_list.h"

class FileListModel;
class QComboBox;
class QString;
class QWidget;

// What the list commands and the conversion starter need of the main window, and nothing more:
// its status line, its rows, its two choosers, its layout after the list changed, and itself as
// the parent of their progress windows. The main window implements it.
class WindowPort {
  public:
    // The window the progress windows stand over; activated again when a task ends.
    virtual QWidget& portWidget() = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void layoutMainWindow() = 0;
    // What the input list calls when a file enters it (see MainWindow::inputListHooks).
    virtual InputListHooks inputListHooks() = 0;
    virtual FileListModel& fileRows() const = 0;
    virtual QComboBox& outputFolderChooser() const = 0;
    virtual QComboBox& outputFormatChooser() const = 0;

  protected:
    WindowPort() = default;
    ~WindowPort() = default;
    WindowPort(const WindowPort&) = default;
    WindowPort& operator=(const WindowPort&) = default;
};

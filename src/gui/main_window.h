#pragma once

#include "engine/inputs/input_file_list.h"
#include "gui/commands.h"
#include "gui/console_forms.h"
#include "gui/preference_binders.h"
#include "gui/requesters.h"
#include "gui/window_port.h"
#include "online/update_check.h"

#include <QMainWindow>

#include <functional>
#include <memory>

struct DesktopRecords;
class FileListModel;
class ListCommands;
class PreviewWindow;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;
class QTreeView;

// The main window: menus, toolbar, the file list, the output folder and format choosers, the
// Convert button and the status bar. Every command, whatever raised it, goes through dispatch().
class MainWindow : public QMainWindow, public WindowPort {
    Q_OBJECT

  public:
    // The system's folder chooser: title and start folder in, the chosen folder (or empty) out.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

    // Builds the window, hidden, at the stored position and size.
    explicit MainWindow(DesktopRecords& records, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The steps between building and the event loop: format chooser, a new list, then showing the
    // window (maximised when it was so at the last exit).
    void completeWindowedStart();

    void dispatch(Command command);
    // A command raised by its number; numbers no command has do nothing.
    void dispatchNumber(int number);

    void newList();
    void selectOutputFolder();
    void showAddDialog();
    // After Preferences applied its settings: rebuilds what WindowState.interfaceChange names,
    // then selects the format the Preferences list shows (its position; -1 when it has none).
    void rebuildAfterPreferences(int preferencesFormatIndex);
    // Gives the Convert button, the two small buttons and the chooser entries their current pictures.
    void refreshControlImages();
    void layoutMainWindow() override;

    void setStatusText(const QString& text) override;
    // What the input list calls when a file enters it in the windowed mode. Safe to call from a
    // worker thread: the change is made on the interface thread while the worker waits.
    InputListHooks inputListHooks() override;
    QWidget& portWidget() override { return *this; }

    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    // Where the update check asks; the configured address unless a test points it elsewhere.
    void setUpdateSource(UpdateSource source) { updateSource_ = std::move(source); }
    // The console's forms of the settings, for the profile commands and Copy Command Line.
    void setConsoleForms(ConsoleForms forms) { consoleForms_ = std::move(forms); }
    // The system dialogs the Preferences dialog opens.
    void setPreferencePickers(PreferencePickers pickers) { preferencePickers_ = std::move(pickers); }

    // Opens Preferences on JobState's start page; returns at once.
    void openPreferences();
    // The requesters and the yes/no warning of the list commands and the progress windows.
    Requesters& requesters() { return requesters_; }
    ListCommands& listCommands() { return *listCommands_; }
    // Shows the preview window (made on first use); the window itself for tests.
    void showPreview();
    PreviewWindow* previewWindow() const { return preview_.get(); }

    // For the windows and tests that drive the main window.
    QTreeView& fileList() const { return *fileList_; }
    FileListModel& fileRows() const override { return *rows_; }
    QComboBox& outputFolderChooser() const override { return *folderCombo_; }
    QComboBox& outputFormatChooser() const override { return *formatCombo_; }
    QToolBar& mainToolbar() const { return *toolbar_; }
    QPushButton& convertButton() const { return *convertButton_; }
    QMenu& fileListMenu() const { return *contextMenu_; }
    QWidget& panel() const { return *panel_; }
    QString statusText() const;

  signals:
    // Emitted by dispatch() for every command before it acts.
    void commandDispatched(Command command);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildMenus();
    void buildToolbar();
    void buildPanel();
    void buildShortcuts();
    bool fileListHasFocus() const;
    void showFileListMenu(const QPoint& position);
    void copyListCommand();
    void acceptProposedOutputFolder(const QString& folder);
    void useOutputFolder(const QString& folder);
    void refillFolderHistory();
    int iconPixels() const;

    DesktopRecords& records_;
    FolderChooser chooseFolder_;
    UpdateSource updateSource_ = configuredUpdateSource();
    PreferencePickers preferencePickers_;
    Requesters requesters_;
    std::unique_ptr<ListCommands> listCommands_;
    QToolBar* toolbar_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QLabel* statusText_ = nullptr;
    QWidget* panel_ = nullptr;
    FileListModel* rows_ = nullptr;
    QTreeView* fileList_ = nullptr;
    QLabel* folderLabel_ = nullptr;
    QComboBox* folderCombo_ = nullptr;
    QToolButton* folderButton_ = nullptr;
    QLabel* formatLabel_ = nullptr;
    QComboBox* formatCombo_ = nullptr;
    QToolButton* optionsButton_ = nullptr;
    QPushButton* convertButton_ = nullptr;
    ConsoleForms consoleForms_;
    // Last: it goes before the widgets it follows.
    std::unique_ptr<PreviewWindow> preview_;
};

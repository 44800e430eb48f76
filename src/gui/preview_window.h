#pragma once

#include "engine/run/page_preview.h"
#include "engine/run/preview_worker.h"

#include <QWidget>

#include <cstdint>

struct DesktopRecords;
class FileListModel;
class PreviewView;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeView;

// The main window's controls the preview follows: the file list (its rows and selection) and the
// output format and folder choosers.
struct PreviewSources {
    QTreeView& list;
    const FileListModel& rows;
    QComboBox& formats;
    QComboBox& folders;
};

// Where a window of the `wanted` size goes beside the main window `main` (frame included) within
// the screen's `room`: its top-left corner (frame included) and its size (without the frame, which
// adds `frame`), never narrower than `narrowest`.
QRect placeBeside(const QRect& main, const QRect& room, QSize wanted, int narrowest, QSize frame);

// The preview window beside the main window: the selected file (the first row when none is
// selected) before and after the chain, with the output's size, depth, bytes, time and name. It
// follows the selection, the output format, the output folder and the settings; the work runs on
// a worker thread, and a newer request replaces an older one.
class PreviewWindow : public QWidget {
    Q_OBJECT

  public:
    // A window of its own, placed beside `mainWindow` and closed with it.
    PreviewWindow(QWidget& mainWindow, PreviewSources sources, DesktopRecords& records);
    ~PreviewWindow() override;

    // Shows the window (beside the main window the first time) and works out the preview.
    void open();
    // Asks for the preview of what the main window shows now; does nothing while hidden.
    void refresh();

    // Pages above `pixels` get a first look reduced to a longer side of about `reducedSide` (tests
    // and benchmarks use small pages).
    void setFirstLook(std::uint64_t pixels, std::uint32_t reducedSide);

    // For tests and the window's own labels.
    const PagePreview& shown() const { return shown_; }
    bool busy() const { return busy_; }
    PreviewView& view() const { return *view_; }
    QSpinBox& pageChooser() const { return *page_; }
    QComboBox& layoutChooser() const { return *layout_; }
    QPushButton& fitButton() const { return *fit_; }
    QPushButton& actualSizeButton() const { return *actualSize_; }
    QString statusText() const;
    QString detailsText() const;

  signals:
    // A complete preview (not a first look) is on show.
    void previewShown();
    // The scaled-down first look at a large page is on show; the full preview follows.
    void firstLookShown();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void placeBesideMainWindow();
    void connectToMainWindow();
    void request(int pageIndex);
    void deliver(std::uint64_t number, const PagePreview& preview);
    void showPreview(const PagePreview& preview);
    void showDetails(const PagePreview& preview);
    QString currentInput() const;

    QWidget& mainWindow_;
    PreviewSources sources_;
    DesktopRecords& records_;
    PreviewView* view_ = nullptr;
    QSpinBox* page_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QComboBox* layout_ = nullptr;
    QButtonGroup* zoom_ = nullptr;
    QPushButton* fit_ = nullptr;
    QPushButton* actualSize_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* size_ = nullptr;
    QLabel* bytes_ = nullptr;
    QLabel* name_ = nullptr;
    PagePreview shown_;
    QString shownInput_;
    // The page asked for in the file on show: 0-based, or -1 for the first page the run converts.
    int chosenPage_ = -1;
    std::uint64_t firstLookPixels_ = previewFirstLookPixels;
    std::uint32_t reducedSide_ = previewReducedSide;
    bool placed_ = false;
    bool busy_ = false;
    // Last: its thread ends before anything it delivers to goes away.
    PreviewWorker worker_;
};

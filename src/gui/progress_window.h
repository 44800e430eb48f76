#pragma once

#include "engine/core/run_progress.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The long tasks of the windowed mode, each with its progress window.
enum class ProgressTask { Conversion, FolderImport, ListImport, Export };

// What a progress window needs from the window that opened it.
struct ProgressWindowSetup {
    ProgressTask task = ProgressTask::Conversion;
    // The bar runs from 0 to this (for the conversion: the number of files plus 1).
    int maximum = 0;
    // The conversion's file count, shown as "(k/T)".
    int total = 0;
    // Files added or lines written by earlier tasks of the same command (several folders of one
    // drop): the completion message counts them too.
    std::int32_t addedBefore = 0;
    // The main window's status bar.
    std::function<void(const QString& text)> showStatus;
    // The yes/no warning that asks whether to stop; true for Yes.
    std::function<bool(const QString& question)> askToStop;
};

// A modal window that runs one worker on its own thread, polls its progress at most every 15 ms,
// asks whether to stop when the user closes it while the worker runs (the worker waits at its
// pause gates meanwhile, whatever the answer; Yes abandons the work in hand), and reports the
// outcome. The conversion window then
// waits for OK; the list windows close by themselves 0.7 s after their report.
class ProgressWindow : public QDialog {
    Q_OBJECT

  public:
    using Work = std::function<void(RunProgress& progress)>;

    ProgressWindow(ProgressWindowSetup setup, QWidget* parent);
    ~ProgressWindow() override;

    // Starts `work` and returns when the window has closed.
    void run(Work work);

    // After run(): the worker's added count (plus addedBefore) and whether the user stopped it.
    std::int32_t addedCount() const { return added_; }
    bool stopped() const { return stopAnswer_; }

    // The record the worker shares with the window (a stop question may look whether it waits).
    const RunProgress& progress() const { return progress_; }
    // The text line of the conversion window; null for the others.
    QLabel* textLine() const { return text_; }
    QProgressBar& bar() const { return *bar_; }
    // The conversion window's OK button; null for the others.
    QPushButton* okButton() const { return ok_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void buildConversionControls();
    void startWorker(Work work);
    void poll();
    void showProgress(const RunProgress::Snapshot& now);
    void report();
    void reportConversion();
    void reportListTask();
    void askWhetherToStop();
    bool isConversion() const { return setup_.task == ProgressTask::Conversion; }
    QString progressTitle(const QString& prefix) const;

    ProgressWindowSetup setup_;
    RunProgress progress_;
    std::thread worker_;
    std::atomic<bool> workerDone_{false};
    QTimer* pollTimer_ = nullptr;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::int32_t lastShown_ = 0;
    std::int32_t added_ = 0;
    bool stopAnswer_ = false;
    bool reported_ = false;
    int characterWidth_ = 7;
    int characterLimit_ = 40;
};

// A text cut for a line of `limit` characters: the first and last (limit - 3) / 2 characters
// around "...", when it is longer than the limit; otherwise unchanged.
QString shortenPath(const QString& text, int limit);

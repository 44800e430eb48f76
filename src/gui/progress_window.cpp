#include "gui/progress_window.h"

#include "app/message_catalogue.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

constexpr int windowWidth = 300;
constexpr int conversionHeight = 110;
constexpr int listTaskHeight = 40;
constexpr int textLineWidth = 280;
constexpr int pollMilliseconds = 15;
// The finished bar of a list task stays on screen this long before its window closes.
constexpr int lingerMilliseconds = 700;

QString msg(const char* key)
{
    return message(QStringLiteral("Msg"), QLatin1String(key));
}

QString windowTitleOf(ProgressTask task)
{
    switch (task) {
    case ProgressTask::Conversion:
        return message(QStringLiteral("Dialog/Convert Progress"));
    case ProgressTask::FolderImport:
    case ProgressTask::ListImport:
        return message(QStringLiteral("Dialog/Import Progress"));
    case ProgressTask::Export:
        return message(QStringLiteral("Dialog/Export Progress"));
    }
    return {};
}

QString stopQuestionOf(ProgressTask task)
{
    switch (task) {
    case ProgressTask::Conversion:
        return msg("Ask break conversion");
    case ProgressTask::FolderImport:
    case ProgressTask::ListImport:
        return msg("Ask break import");
    case ProgressTask::Export:
        return msg("Ask break export");
    }
    return {};
}

// The status bar text that ends a list task.
QString listTaskOutcome(ProgressTask task, bool stopped, std::int32_t added)
{
    const bool exporting = task == ProgressTask::Export;
    if (stopped) {
        return msg(exporting ? "Export is not complete" : "Import is not complete");
    }
    return substituteMessage(msg(exporting ? "Export complete" : "Import complete"), QString::number(added));
}

// The average width of a character of the window's font, measured once per window.
int averageCharacterWidth(const QFont& font)
{
    const int width = QFontMetrics(font).horizontalAdvance(QStringLiteral("abc123:\\-")) / 9;
    return width > 0 ? width : 7;
}

} // namespace

QString shortenPath(const QString& text, int limit)
{
    if (text.isEmpty() || text.size() <= limit) {
        return text;
    }
    const int half = std::max(0, (limit - 3) / 2);
    return text.left(half) + QStringLiteral("...") + text.right(half);
}

ProgressWindow::ProgressWindow(ProgressWindowSetup setup, QWidget* parent) : QDialog(parent), setup_(std::move(setup))
{
    setWindowTitle(windowTitleOf(setup_.task));
    // A title bar with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    // A range of 0..0 would be a busy animation: a task with nothing to do shows an empty bar.
    bar_->setRange(0, std::max(1, setup_.maximum));
    bar_->setValue(0);
    bar_->setAccessibleName(windowTitle());
    if (isConversion()) {
        buildConversionControls();
    } else {
        setFixedSize(windowWidth, listTaskHeight);
        bar_->setGeometry(10, 10, textLineWidth, 20);
    }
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(pollMilliseconds);
    connect(pollTimer_, &QTimer::timeout, this, &ProgressWindow::poll);
}

ProgressWindow::~ProgressWindow()
{
    if (worker_.joinable()) {
        progress_.abandon();
        progress_.resume();
        worker_.join();
    }
}

void ProgressWindow::buildConversionControls()
{
    setFixedSize(windowWidth, conversionHeight);
    text_ = new QLabel(this);
    text_->setGeometry(10, 13, textLineWidth, 20);
    text_->setTextFormat(Qt::PlainText);
    bar_->setGeometry(10, 40, textLineWidth, 20);
    ok_ = new QPushButton(message(QStringLiteral("Dialog/OK")), this);
    ok_->setGeometry(110, 75, 80, 25);
    ok_->setDefault(true);
    ok_->setEnabled(false);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (reported_) {
            accept();
        }
    });
    characterWidth_ = averageCharacterWidth(font());
    characterLimit_ = textLineWidth / characterWidth_;
}

void ProgressWindow::run(Work work)
{
    startWorker(std::move(work));
    exec();
}

void ProgressWindow::startWorker(Work work)
{
    progress_.start();
    workerDone_ = false;
    try {
        worker_ = std::thread([this, work = std::move(work)] {
            work(progress_);
            workerDone_ = true;
        });
    } catch (const std::system_error&) {
        // No worker: the window keeps its first contents and the close box ends it.
        return;
    }
    pollTimer_->start();
}

void ProgressWindow::poll()
{
    if (!worker_.joinable()) {
        return;
    }
    // The flag first: once it is set, the snapshot holds the worker's final values.
    const bool done = workerDone_.load();
    const RunProgress::Snapshot now = progress_.snapshot();
    showProgress(now);
    if (!done) {
        return;
    }
    worker_.join();
    pollTimer_->stop();
    added_ = setup_.addedBefore + now.convertedCount;
    report();
}

void ProgressWindow::showProgress(const RunProgress::Snapshot& now)
{
    // Only a grown value redraws, so a slow file does not cause repeated painting.
    if (now.processedCount <= lastShown_) {
        return;
    }
    lastShown_ = now.processedCount;
    bar_->setValue(std::min(lastShown_, bar_->maximum()));
    if (!isConversion()) {
        return;
    }
    setWindowTitle(progressTitle(windowTitleOf(setup_.task)));
    const bool tooWide = now.currentFile.size() * characterWidth_ > textLineWidth;
    text_->setText(tooWide ? shortenPath(now.currentFile, characterLimit_) : now.currentFile);
}

QString ProgressWindow::progressTitle(const QString& prefix) const
{
    return prefix + QLatin1Char(' ') +
           substituteMessage(msg("Progress"), QString::number(lastShown_), QString::number(setup_.total));
}

void ProgressWindow::report()
{
    reported_ = true;
    if (isConversion()) {
        reportConversion();
    } else {
        reportListTask();
    }
}

void ProgressWindow::reportConversion()
{
    const QString outcome = msg(stopAnswer_ ? "Conversion is not complete" : "Conversion complete");
    setup_.showStatus(outcome);
    setWindowTitle(progressTitle(outcome));
    if (stopAnswer_) {
        text_->setText(outcome);
    } else {
        text_->setText(
            substituteMessage(msg("Files converted"), QString::number(added_), QString::number(setup_.total)));
        bar_->setValue(bar_->maximum());
    }
    ok_->setEnabled(true);
    ok_->setFocus();
}

void ProgressWindow::reportListTask()
{
    setup_.showStatus(listTaskOutcome(setup_.task, stopAnswer_, added_));
    if (!stopAnswer_) {
        bar_->setValue(std::max(0, setup_.maximum));
    }
    QTimer::singleShot(lingerMilliseconds, this, &QDialog::accept);
}

void ProgressWindow::askWhetherToStop()
{
    // Every worker waits at its pause gate while the question is on screen (a conversion's gates
    // stand between files, pages and the steps of a page, and before a finished file takes its
    // name); the poll waits too, so that no report can close the window under the question.
    pollTimer_->stop();
    progress_.pause();
    const bool stop = setup_.askToStop(stopQuestionOf(setup_.task));
    if (stop) {
        stopAnswer_ = true;
        // Said before the gate opens, so that no worker starts another page. The files in hand
        // are abandoned rather than finished: the user asked for the run to end, and a file of
        // many large pages could take minutes more. A page is abandoned only at a gate, never
        // inside a write, so no partial or temporary file is left; the pages saved before the
        // answer stay, as the files converted before it do.
        progress_.abandon();
    }
    progress_.resume();
    pollTimer_->start();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (worker_.joinable() && !workerDone_.load()) {
        askWhetherToStop();
        return;
    }
    poll();
    // A finished list task closes by itself once its bar has been seen.
    if (isConversion() || !reported_) {
        event->accept();
        QDialog::reject();
    }
}

void ProgressWindow::reject()
{
    // Escape counts as the close box.
    close();
}

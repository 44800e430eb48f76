// How long the preview window takes from a new selection to the updated preview, painted: for a
// 2400 x 1800 photo, and for a 20000 x 15000 page (its reduced first picture, then the full
// preview). The window runs on the offscreen platform; each page is selected in the main window's
// list and timed until the preview window has painted it. The stages of each full preview (decode,
// display copy, chain and writer, read back, display copy, painting) show where the time goes.
//
//   preview-latency [--huge FILE] [FORMAT ...]    (default: png jpg)
//
// --huge takes the large page from FILE (tools/make-huge-page writes one without holding it);
// without it the large page is made in memory by the fixture generator; `--huge none` puts a
// second photo in its place.
#include "app/message_catalogue.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/list_commands.h"
#include "gui/main_window.h"
#include "gui/preview_view.h"
#include "gui/preview_window.h"
#include "support/tiff_fixtures.h"
#include "support/window_driving.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <memory>

namespace {

struct Page {
    const char* name;
    int width;
    int height;
};

constexpr Page pages[] = {{"photo.tif", 2400, 1800}, {"huge.tif", 20000, 15000}};

// Waits for `signal` of the preview window, then paints the pictures as the window would; the
// milliseconds since `timer` started, -1 after ten minutes.
template <typename Signal> qint64 waitFor(PreviewWindow& preview, Signal signal, const QElapsedTimer& timer)
{
    QEventLoop loop;
    QObject::connect(&preview, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, [&loop] { loop.exit(1); });
    if (loop.exec() != 0) {
        return -1;
    }
    preview.view().viewport()->repaint();
    return timer.elapsed();
}

QString figure(qint64 milliseconds)
{
    return milliseconds < 0 ? QStringLiteral("-") : QString::number(milliseconds);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList formats = QApplication::arguments().mid(1);
    QString hugePath;
    if (formats.size() >= 2 && formats.front() == QStringLiteral("--huge")) {
        hugePath = formats.at(1);
        formats = formats.mid(2);
    }
    if (formats.isEmpty()) {
        formats = {QStringLiteral("png"), QStringLiteral("jpg")};
    }
    loadMessageCatalogue();
    QTemporaryDir dir;
    QStringList paths;
    const bool photosOnly = hugePath == QStringLiteral("none");
    const Page shown[] = {pages[0], photosOnly ? Page{"photo2.tif", pages[0].width, pages[0].height} : pages[1]};
    for (const Page& page : shown) {
        if (page.width == pages[1].width && !hugePath.isEmpty()) {
            paths << hugePath;
            continue;
        }
        const QString path = dir.filePath(QLatin1String(page.name));
        std::vector<Bitmap> content;
        content.push_back(fixtures::makePage(fixtures::PageKind::Rgb24, page.width, page.height));
        if (!fixtures::writeTiff(path, content, TIFF_LZW)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        paths << path;
    }
    DesktopRecords records;
    resetToDefaults(records.settings, false, QSize(1920, 1080));
    loadBuiltInImages(records.images);
    MainWindow window(records);
    window.completeWindowedStart();
    window.requesters().openFiles = [paths](QWidget*, const QString&, const QString&, const QString&) { return paths; };
    window.listCommands().selectInputFiles();
    window.outputFormatChooser().setCurrentIndex(0);
    window.showPreview();
    PreviewWindow& preview = *window.previewWindow();
    QElapsedTimer settle;
    settle.start();
    waitFor(preview, &PreviewWindow::previewShown, settle);

    std::printf("| format | page | first picture (ms) | full preview (ms) | prepare | decode | before copy | chain + "
                "write | read back | after copy | paint |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
    int selected = 0; // the preview shows the first row, as with no selection
    for (const QString& format : formats) {
        windowdriving::chooseFormat(window, format);
        waitFor(preview, &PreviewWindow::previewShown, settle);
        for (int row = 0; row < 2; ++row) {
            // From the other row, so that the selection is new.
            if (selected == row) {
                windowdriving::selectRow(window, 1 - row);
                waitFor(preview, &PreviewWindow::previewShown, settle);
            }
            selected = row;
            QElapsedTimer timer;
            qint64 first = -1;
            const auto look = QObject::connect(&preview, &PreviewWindow::firstLookShown, [&first, &timer, &preview] {
                preview.view().viewport()->repaint();
                first = timer.elapsed();
            });
            timer.start();
            windowdriving::selectRow(window, row);
            const qint64 full = waitFor(preview, &PreviewWindow::previewShown, timer);
            QObject::disconnect(look);
            QElapsedTimer paint;
            paint.start();
            preview.view().setPictures(preview.shown().before, preview.shown().displayScale, preview.shown().after,
                                       preview.shown().afterScale);
            preview.view().viewport()->repaint();
            const qint64 painted = paint.elapsed();
            const PreviewTimes& times = preview.shown().times;
            std::printf("| %s | %d x %d | %s | %lld | %lld | %lld | %lld | %lld | %lld | %lld | %lld |\n",
                        qPrintable(format), shown[row].width, shown[row].height, qPrintable(figure(first)),
                        static_cast<long long>(full), static_cast<long long>(times.prepare),
                        static_cast<long long>(times.decode), static_cast<long long>(times.showBefore),
                        static_cast<long long>(times.chain), static_cast<long long>(times.readBack),
                        static_cast<long long>(times.showAfter), static_cast<long long>(painted));
            std::fflush(stdout);
        }
    }
    return 0;
}

// How long the preview window takes from a new selection to the updated preview: for a
// 2400 x 1800 photo, and for a 20000 x 15000 page (its scaled-down first look, then the full
// preview). The window runs on the offscreen platform; each page is selected in the main window's
// list and timed until the preview window shows it.
//
//   preview-latency [FORMAT ...]    (default: png jpg)
#include "app/message_catalogue.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/list_commands.h"
#include "gui/main_window.h"
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

// Waits for `signal` of the preview window; the milliseconds since `timer` started, -1 after ten
// minutes.
template <typename Signal> qint64 waitFor(PreviewWindow& preview, Signal signal, const QElapsedTimer& timer)
{
    QEventLoop loop;
    QObject::connect(&preview, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0 ? timer.elapsed() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList formats = QApplication::arguments().mid(1);
    if (formats.isEmpty()) {
        formats = {QStringLiteral("png"), QStringLiteral("jpg")};
    }
    loadMessageCatalogue();
    QTemporaryDir dir;
    QStringList paths;
    for (const Page& page : pages) {
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
    window.requesters().openFiles = [paths](QWidget*, const QString&, const QString&, const QString&) {
        return paths;
    };
    window.listCommands().selectInputFiles();
    window.outputFormatChooser().setCurrentIndex(0);
    window.showPreview();
    PreviewWindow& preview = *window.previewWindow();
    QElapsedTimer settle;
    settle.start();
    waitFor(preview, &PreviewWindow::previewShown, settle);

    std::printf("| format | page | first picture (ms) | full preview (ms) | page time (ms) |\n|---|---|---|---|---|\n");
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
            const auto look = QObject::connect(&preview, &PreviewWindow::firstLookShown,
                                               [&first, &timer] { first = timer.elapsed(); });
            timer.start();
            windowdriving::selectRow(window, row);
            const qint64 full = waitFor(preview, &PreviewWindow::previewShown, timer);
            QObject::disconnect(look);
            std::printf("| %s | %d x %d | %s | %lld | %lld |\n", qPrintable(format), pages[row].width,
                        pages[row].height, first < 0 ? "-" : qPrintable(QString::number(first)),
                        static_cast<long long>(full), static_cast<long long>(preview.shown().milliseconds));
            std::fflush(stdout);
        }
    }
    return 0;
}

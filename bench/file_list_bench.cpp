// The main window's file list with 100,000 rows: appending them one by one as the input list does,
// painting, scrolling to the end, Select All, Copy and Delete. Prints the median of several runs of
// each step. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
//   file_list_bench [rows] [repetitions]
#include "gui/desktop_records.h"
#include "gui/file_list_commands.h"
#include "gui/file_list_model.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

double millisecondsOf(const std::function<void()>& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    QApplication::processEvents(); // the repaint the step caused belongs to it
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    const std::vector<std::string> order{"append", "scroll to end", "select all", "copy", "delete all"};
    std::map<std::string, std::vector<double>> times;
    for (int run = 0; run < repetitions; ++run) {
        DesktopRecords records;
        resetToDefaults(records.settings, false, QSize(1920, 1080));
        loadBuiltInImages(records.images);
        MainWindow window(records);
        window.completeWindowedStart();
        QApplication::processEvents();
        const InputListHooks hooks = window.inputListHooks();
        QTreeView& list = window.fileList();

        times["append"].push_back(millisecondsOf([&] {
            for (int i = 0; i < rows; ++i) {
                const QString path = QStringLiteral("/photos/2026/scan-%1.tif").arg(i, 6, 10, QLatin1Char('0'));
                records.inputFiles.insert(path, QString());
                hooks.rowAppended(path);
            }
        }));
        times["scroll to end"].push_back(millisecondsOf([&] { list.scrollToBottom(); }));
        times["select all"].push_back(millisecondsOf([&] { selectAllRows(list, window.fileRows()); }));
        times["copy"].push_back(millisecondsOf([&] { copySelection(list, window.fileRows()); }));
        times["delete all"].push_back(
            millisecondsOf([&] { deleteSelection(list, window.fileRows(), records.inputFiles); }));
        if (window.fileRows().rowCount() != 0 || !records.inputFiles.empty()) {
            std::fprintf(stderr, "the list was not emptied\n");
            return 1;
        }
    }
    std::printf("file list with %d rows, median of %d runs\n", rows, repetitions);
    for (const std::string& step : order) {
        std::vector<double>& samples = times[step];
        std::sort(samples.begin(), samples.end());
        std::printf("%-14s %9.1f ms\n", step.c_str(), samples[samples.size() / 2]);
    }
    return 0;
}

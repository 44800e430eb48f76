// What the windowed mode's long tasks cost over the bare engine: a folder import whose every file
// becomes a row of the main window (queued by the worker, drawn in batches by the interface
// thread), list export and import of those rows, and a conversion under its progress window. Each task runs under its progress
// window on the offscreen platform and is timed from its start to its report; the engine alone,
// as the console runs it, is the reference.
//
//   windowed-tasks [FILES [CONVERT_FILES]]    (defaults 20000 and 40)
#include "app/message_catalogue.h"
#include "app/settings.h"
#include "engine/core/run_progress.h"
#include "engine/inputs/input_file_list.h"
#include "engine/inputs/list_export.h"
#include "engine/run/conversion_run.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/main_window.h"
#include "gui/progress_window.h"
#include "support/tiff_fixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr int folders = 100;

void makeListedFiles(const QString& root, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QStringLiteral("f%1/").arg(i % folders, 3, 10, QLatin1Char('0'));
        if (i < folders) {
            QDir().mkpath(folder);
        }
        QFile file(folder + QStringLiteral("%1.tif").arg(i, 6, 10, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly)) {
            file.write("x");
        }
    }
}

struct Session {
    Session()
    {
        resetToDefaults(records.settings, false, QSize(1920, 1080));
        loadBuiltInImages(records.images);
        window = std::make_unique<MainWindow>(records);
        window->completeWindowedStart();
    }
    DesktopRecords records;
    std::unique_ptr<MainWindow> window;
};

// Milliseconds from the start of `work` under a progress window to its report.
double underProgressWindow(Session& session, ProgressTask task, int maximum, int total, ProgressWindow::Work work)
{
    QElapsedTimer clock;
    double reported = 0;
    ProgressWindow* shown = nullptr;
    ProgressWindowSetup setup;
    setup.task = task;
    setup.maximum = maximum;
    setup.total = total;
    setup.showStatus = [&](const QString&) {
        reported = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (task == ProgressTask::Conversion) {
            // The conversion window waits for OK: pressed once the report is out. (Waiting for it
            // in a loop of processEvents() would spin: that call ignores WaitForMoreEvents when
            // given a time, and the spinning thread took a core from the workers.)
            QTimer::singleShot(0, shown, [shown] { shown->okButton()->click(); });
        }
    };
    setup.askToStop = [](const QString&) { return false; };
    ProgressWindow window(std::move(setup), session.window.get());
    shown = &window;
    clock.start();
    window.run(std::move(work));
    return reported;
}

double timed(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void row(const char* task, int items, double engineMs, double windowMs)
{
    std::printf("| %s | %d | %.0f | %.0f | %.1f | %.2f |\n", task, items, engineMs, windowMs, windowMs * 1000.0 / items,
                windowMs / engineMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    loadMessageCatalogue();
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int convertFiles = argc > 2 ? std::atoi(argv[2]) : 40;

    QTemporaryDir scratch;
    const QString root = scratch.filePath(QStringLiteral("in/"));
    makeListedFiles(root, files);

    std::printf("| task | items | engine ms | window ms | window us/item | window / engine |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");

    // Folder import: the engine alone, then into the rows of a main window.
    JobState job;
    job.consoleRun = 1;
    job.inputFolder = root;
    InputFileList engineList;
    RunProgress progress;
    progress.start();
    const double engineImport = timed([&] { folderImportWorker(engineList, job, progress); });
    Session session;
    session.records.job.inputFolder = root;
    const InputListHooks hooks = session.window->inputListHooks();
    const double windowImport =
        underProgressWindow(session, ProgressTask::FolderImport, topLevelEntryCount(root), 0, [&](RunProgress& shared) {
            folderImportWorker(session.records.inputFiles, session.records.job, shared, &hooks);
        });
    row("folder import", session.window->fileRows().rowCount(), engineImport, windowImport);

    // Export of those rows, then a list import of the file into an empty window.
    const QStringList rows = session.window->fileRows().paths();
    const QString listFile = scratch.filePath(QStringLiteral("list.txt"));
    progress.start();
    const double engineExport = timed([&] { exportListWorker(rows, listFile, progress); });
    const double windowExport =
        underProgressWindow(session, ProgressTask::Export, static_cast<int>(rows.size()), 0,
                            [&](RunProgress& shared) { exportListWorker(rows, listFile, shared); });
    row("list export", static_cast<int>(rows.size()), engineExport, windowExport);

    JobState listJob;
    listJob.consoleRun = 1;
    listJob.file.inputPath = listFile;
    InputFileList engineListImport;
    progress.start();
    const double engineListImportMs = timed([&] { listImportWorker(engineListImport, listJob, progress); });
    // Into the same window after New, as a user would.
    session.window->newList();
    Session& importer = session;
    importer.records.job.file.inputPath = listFile;
    const InputListHooks importHooks = importer.window->inputListHooks();
    const double windowListImport = underProgressWindow(
        importer, ProgressTask::ListImport, listLineEstimate(listFile), 0, [&](RunProgress& shared) {
            listImportWorker(importer.records.inputFiles, importer.records.job, shared, &importHooks);
        });
    row("list import", importer.window->fileRows().rowCount(), engineListImportMs, windowListImport);

    // Conversion of real pages to PNG, all cores, directly and under the conversion window.
    const QString pictures = scratch.filePath(QStringLiteral("pictures/"));
    QDir().mkpath(pictures);
    Session converter;
    DesktopRecords& records = converter.records;
    records.job.consoleRun = 1;
    for (int i = 0; i < convertFiles; ++i) {
        const QString path = pictures + QStringLiteral("%1.tif").arg(i, 4, 10, QLatin1Char('0'));
        fixtures::writeTiff(path, fixtures::PageKind::Rgb24, 1200, 900);
        addInputFile(records.inputFiles, records.job, path);
    }
    records.job.outputKey = QStringLiteral("png");
    prepareRun(records.settings, records.job);
    const auto convertInto = [&](const QString& folder, RunProgress& shared) {
        QDir().mkpath(folder);
        records.job.outputFolder = folder;
        RunContext context{records.settings, records.job, nullptr};
        conversionWorker(context, records.inputFiles, shared, defaultWorkerCount());
    };
    progress.start();
    const double engineConvert = timed([&] { convertInto(scratch.filePath(QStringLiteral("out1/")), progress); });
    const double windowConvert = underProgressWindow(
        converter, ProgressTask::Conversion, convertFiles + 1, convertFiles,
        [&](RunProgress& shared) { convertInto(scratch.filePath(QStringLiteral("out2/")), shared); });
    row("conversion to PNG (1200x900 RGB)", convertFiles, engineConvert, windowConvert);
    return 0;
}

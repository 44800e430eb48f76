#include "gui/list_commands.h"

#include "app/message_catalogue.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"
#include "engine/inputs/list_export.h"
#include "engine/run/run_checks.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/message_boxes.h"
#include "gui/requesters.h"
#include "gui/window_port.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Between two files the window gets a moment to repaint; what the user does meanwhile waits.
void letInterfaceRepaint()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 2);
}

QString listFileFilter()
{
    return requesterFilter(message(QStringLiteral("Dialog/Text Files")) + QStringLiteral("|*.txt;*.lst|") +
                           message(QStringLiteral("Dialog/All Files")) + QStringLiteral(" (*.*)|*.*"));
}

} // namespace

ListCommands::ListCommands(WindowPort& window, DesktopRecords& records, const Requesters& requesters)
    : window_(window), records_(records), requesters_(requesters)
{
}

bool ListCommands::addOneFile(const QString& path)
{
    const InputListHooks hooks = window_.inputListHooks();
    return addInputFile(records_.inputFiles, records_.job, path, &hooks);
}

bool ListCommands::selectInputFiles()
{
    const QStringList chosen =
        requesters_.openFiles(&window_.portWidget(), message(QStringLiteral("Dialog/Select Input Files")),
                              records_.job.file.inputPath, requesterFilter(inputFileFilter()));
    bool added = false;
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        if (i > 0) {
            letInterfaceRepaint();
        }
        added = addOneFile(chosen.at(i)) || added;
    }
    records_.job.file.inputPath.clear();
    window_.layoutMainWindow();
    return added;
}

bool ListCommands::selectInputFolder()
{
    const JobState& job = records_.job;
    const QString start =
        job.inputFolder.isEmpty() && !job.file.inputPath.isEmpty() ? folderPart(job.file.inputPath) : job.inputFolder;
    const QString chosen =
        requesters_.chooseFolder(&window_.portWidget(), message(QStringLiteral("Dialog/Select Input Folder")), start);
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) {
        return false;
    }
    records_.job.inputFolder = withTrailingSlash(chosen);
    runFolderImport(0);
    return true;
}

void ListCommands::addDroppedPaths(const QStringList& paths)
{
    // One added count for the whole drop: the message after a second folder counts both.
    std::int32_t added = 0;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            records_.job.inputFolder = withTrailingSlash(path);
            added = runFolderImport(added);
        }
        addOneFile(path);
        letInterfaceRepaint();
    }
}

bool ListCommands::importList()
{
    const QString chosen =
        requesters_.openFile(&window_.portWidget(), message(QStringLiteral("Dialog/Import Input Files")),
                             folderPart(records_.job.file.inputPath) + QStringLiteral("list.txt"), listFileFilter());
    const QFileInfo file(chosen);
    // An empty or missing list file is passed over without a word.
    if (chosen.isEmpty() || !file.isFile() || file.size() == 0) {
        return false;
    }
    records_.job.file.inputPath = chosen;
    runListImport();
    return true;
}

bool ListCommands::exportList()
{
    if (window_.fileRows().rowCount() == 0) {
        showWarning(message(QStringLiteral("Msg/Empty input files")));
        return false;
    }
    QString chosen =
        requesters_.saveFile(&window_.portWidget(), message(QStringLiteral("Dialog/Export Input Files")),
                             folderPart(records_.job.file.inputPath) + QStringLiteral("list.txt"), listFileFilter());
    if (chosen.isEmpty()) {
        return false;
    }
    if (inputExtensionOf(chosen).isEmpty()) {
        chosen += QStringLiteral(".txt");
    }
    const QFileInfo existing(chosen);
    if (existing.exists() && existing.size() > 0 &&
        !requesters_.askWarning(message(QStringLiteral("Msg/Ask overwrite file")))) {
        return false;
    }
    records_.job.file.inputPath = chosen;
    runExport();
    return true;
}

std::int32_t ListCommands::runFolderImport(std::int32_t addedBefore)
{
    const InputListHooks hooks = window_.inputListHooks();
    InputFileList& list = records_.inputFiles;
    const JobState& job = records_.job;
    return runTask(ProgressTask::FolderImport, topLevelEntryCount(job.inputFolder), addedBefore,
                   [&](RunProgress& progress) { folderImportWorker(list, job, progress, &hooks); });
}

void ListCommands::runListImport()
{
    const InputListHooks hooks = window_.inputListHooks();
    InputFileList& list = records_.inputFiles;
    const JobState& job = records_.job;
    runTask(ProgressTask::ListImport, listLineEstimate(job.file.inputPath), 0,
            [&](RunProgress& progress) { listImportWorker(list, job, progress, &hooks); });
}

void ListCommands::runExport()
{
    // The rows do not change while the window is open: it is modal over the main window.
    const QStringList rows = window_.fileRows().paths();
    const QString listFile = records_.job.file.inputPath;
    runTask(ProgressTask::Export, static_cast<int>(rows.size()), 0,
            [&](RunProgress& progress) { exportListWorker(rows, listFile, progress); });
}

std::int32_t ListCommands::runTask(ProgressTask task, int maximum, std::int32_t addedBefore, ProgressWindow::Work work)
{
    ProgressWindowSetup setup;
    setup.task = task;
    setup.maximum = maximum;
    setup.addedBefore = addedBefore;
    setup.showStatus = [this](const QString& text) { window_.setStatusText(text); };
    setup.askToStop = requesters_.askWarning;
    ProgressWindow progressWindow(std::move(setup), &window_.portWidget());
    progressWindow.run(std::move(work));
    window_.fileRows().showPendingRows();
    window_.portWidget().activateWindow();
    return progressWindow.addedCount();
}

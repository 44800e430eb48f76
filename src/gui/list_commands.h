#pragma once

#include "gui/progress_window.h"

#include <QStringList>

#include <cstdint>

class WindowPort;
struct DesktopRecords;
struct Requesters;

// The commands that bring files into the input list and write it out: the file requester, the
// folder chooser, dropped files and folders, list import and list export. Folders, list files and
// exports are worked on by a worker thread under a progress window.
class ListCommands {
  public:
    ListCommands(WindowPort& window, DesktopRecords& records, const Requesters& requesters);

    // The files chosen in the open-file requester, one by one. True when at least one was added.
    bool selectInputFiles();
    // A folder chosen in the folder chooser, scanned with subfolders. True when a folder was chosen.
    bool selectInputFolder();
    // The files and folders a list file names. True when an import was started.
    bool importList();
    // The rows, to a list file. True when an export was started.
    bool exportList();
    // Paths dropped on the main window (or named at a windowed start), in their order: a folder
    // is imported with its subfolders, a file added.
    void addDroppedPaths(const QStringList& paths);

  private:
    std::int32_t runFolderImport(std::int32_t addedBefore);
    void runListImport();
    void runExport();
    std::int32_t runTask(ProgressTask task, int maximum, std::int32_t addedBefore, ProgressWindow::Work work);
    bool addOneFile(const QString& path);

    WindowPort& window_;
    DesktopRecords& records_;
    const Requesters& requesters_;
};

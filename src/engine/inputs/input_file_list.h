#pragma once

// engine/inputs: the input file list. Adding files, scanning folders, importing and exporting list
// files, each a worker the console and the window run alike; the window's rows are a view the
// list notifies. Includes the rooms below it.

#include "engine/core/job_state.h"

#include <QHash>
#include <QString>

#include <functional>
#include <list>

struct RunProgress;

// One input file: the full path exactly as it was added, and its folder below the input folder
// of the scan that found it ("2019/May/"; empty for files added one by one).
struct InputFileEntry {
    QString path;
    QString subfolder;
};

// The input files of a run, in the order they were added (the order of the rows the user sees),
// with an exact, case-sensitive path index: "a.tif" and "A.tif" are two entries.
class InputFileList {
  public:
    using const_iterator = std::list<InputFileEntry>::const_iterator;

    // False (and nothing changes) when the path is present already.
    bool insert(const QString& path, const QString& subfolder);
    // False when the path was not in the list.
    bool remove(const QString& path);
    void clear();

    bool contains(const QString& path) const { return index_.contains(path); }
    // The entry of a path, or nullptr.
    const InputFileEntry* find(const QString& path) const;
    int size() const { return static_cast<int>(entries_.size()); }
    bool empty() const { return entries_.empty(); }

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

  private:
    std::list<InputFileEntry> entries_;
    QHash<QString, std::list<InputFileEntry>::iterator> index_;
};

// What the windowed mode does when a file enters the list: append its row, and adopt a first
// output folder when none is selected yet. Called only when job.consoleRun is 0, on the thread
// that adds the file. A worker thread must not wait here for the interface thread: the GUI
// queues the row (rows keep their order) and the interface thread draws the queue in batches.
struct InputListHooks {
    std::function<void(const QString& path)> rowAppended;
    // The folder to use when no output folder is selected: the input folder of the scan, or the
    // folder of the file when there was no scan. The GUI ignores it when a folder is selected.
    std::function<void(const QString& folder)> outputFolderProposed;
    // A line of a list file that names nothing that exists (it is skipped). Called in both modes.
    std::function<void(const QString& line)> lineSkipped;
};

// The extension of a path as the list sees it: the text after the last "." of its last
// component, cut at a double quote; empty when there is no such dot, when the dot begins the
// component, or when a blank stands after the dot.
QString inputExtensionOf(const QString& path);

// The one way a file enters the list. Refused (false): a 0-byte file, a folder, an extension that
// is not an input extension (compared in lower case), a path present already. The entry's
// subfolder is its folder below job.inputFolder.
bool addInputFile(InputFileList& list, const JobState& job, const QString& path, const InputListHooks* hooks = nullptr);

// Adds every accepted file below a folder ending in "/", recursively, entries sorted by name
// without regard to letter case. Returns the number of files added. A folder that cannot be
// listed adds nothing; a symbolic link back to a folder being scanned is not followed. In a
// console run, a subfolder that is the run's output folder is not scanned (its files are the
// run's own outputs).
int scanFolder(InputFileList& list, const JobState& job, const QString& folder, const InputListHooks* hooks = nullptr);

// The number of entries directly in a folder: the progress maximum of a folder import.
int topLevelEntryCount(const QString& folder);
// The number of LF characters of a list file plus 1: the progress maximum of a list import.
int listLineEstimate(const QString& listFile);

// Thread functions. The folder import adds what is below job.inputFolder, one top-level entry per
// progress step; the list import adds what the lines of the list file job.file.inputPath name (files,
// or folders which are scanned). Both stop between steps when progress.running is cleared, pass
// the pause gate between steps, and add the number of files added to progress.convertedCount.
void folderImportWorker(InputFileList& list, const JobState& job, RunProgress& progress,
                        const InputListHooks* hooks = nullptr);
void listImportWorker(InputFileList& list, const JobState& job, RunProgress& progress,
                      const InputListHooks* hooks = nullptr);

#pragma once

#include "engine/core/file_failure.h"
#include "engine/inputs/input_file_list.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <mutex>

// The output names of one run. A run never writes over one of its own input files, and a name
// written by one file is not taken again by a later file of the same run: both would lose data
// without a word. Names are compared resolved (the folder's canonical path plus the file name),
// so "./a/../a/x.tif" and a symbolic link to the folder count as the same name.
//
// The run takes names in list order (a run that converts several files at once commits each
// file's outputs at its turn), so "earlier" always means earlier in the list.
class OutputLedger {
  public:
    explicit OutputLedger(const InputFileList& inputs);

    // Why outputPath may not be written for inputPath, or no failure.
    FileFailure check(const QString& outputPath, const QString& inputPath) const;

    // Checks the name, moves the finished temporary file over it and records it. On a refusal or
    // a failed rename the temporary file is removed and the earlier file stays as it was.
    FileFailure commit(const QString& tempPath, const QString& outputPath, const QString& inputPath);

    // Records outputPath as taken by inputPath without writing anything: the outputs of a file
    // the run skips (they stay as they are) and the names of a plan.
    void reserve(const QString& outputPath, const QString& inputPath);

  private:
    // resolvedOutputName with each folder's canonical path looked up once: a batch names many
    // files in few folders.
    QString resolve(const QString& path) const;
    // The resolved name of the file a path leads to when it is a symbolic link; empty otherwise.
    QString linkTarget(const QString& path) const;

    mutable std::mutex foldersLock_;
    mutable QHash<QString, QString> canonicalFolders_; // absolute folder -> canonical path (existing folders)
    mutable std::mutex lock_;
    QSet<QString> inputs_;            // resolved and cleaned absolute paths of every input
    QHash<QString, QString> written_; // resolved output name -> the input that wrote it
};

// The name a path resolves to: the canonical path of its folder plus its file name (the folder as
// written, cleaned, when it does not exist).
QString resolvedOutputName(const QString& path);

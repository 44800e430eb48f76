#pragma once

#include "engine/core/run_context.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The machine-readable record of a run: one record per input file of the run, in list order.

enum class FileStatus { Converted, Failed, Skipped };

struct FileRecord {
    int position = 0; // in the collected list, from 0 (the key to merge the reports of shards)
    QString input;
    FileStatus status = FileStatus::Skipped;
    QString reason; // why it failed or was skipped; empty when converted
    QStringList outputs;
    std::int64_t outputBytes = 0;
    std::int64_t milliseconds = 0;
};

enum class ReportFormat { JsonLines, Csv };

// JSON Lines for a name ending in ".jsonl" or ".json", CSV for ".csv" (any letter case); nothing
// for any other name.
std::optional<ReportFormat> reportFormatFor(const QString& path);

// Collects the records while the run goes on. Files are added in list order before the run; a
// file the run never took up (it was stopped first) keeps the status Skipped.
class RunReport {
  public:
    void addFile(int position, const QString& input);
    // A file the run leaves out; outputs are those it has already (their sizes are read now).
    void markSkipped(const QString& input, const QString& reason, const QStringList& outputs = {});
    // The run driver's outcome of a file; the output sizes are read now, at the file's turn.
    void record(const FileResult& result);

    const std::vector<FileRecord>& records() const { return records_; }

  private:
    FileRecord* find(const QString& input);

    std::vector<FileRecord> records_;
    QHash<QString, std::size_t> index_;
};

// The text of a report: JSON Lines (one object per line, LF) or CSV after RFC 4180 (a header
// row, CR LF, fields quoted where needed; the outputs of a file are one field, separated by LF).
// Neither has a byte order mark: they are read by other programs.
QByteArray reportText(const std::vector<FileRecord>& records, ReportFormat format);

// Writes the report atomically: the old file stays until the new one is complete. Returns an
// error text, empty on success.
QString writeReport(const QString& path, const std::vector<FileRecord>& records);

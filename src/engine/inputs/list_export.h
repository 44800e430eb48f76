#pragma once

#include <QString>
#include <QStringList>

struct RunProgress;

// The list file an export writes: UTF-8 with a byte order mark, each path followed by CR LF.

// Thread function of the list export: writes `rows` in order to `listFile`, one progress step per
// row, and stops between rows when progress.running is cleared (the rows written so far stay in
// the file). The file replaces an existing one only once it is complete. Adds the number of lines
// written to progress.convertedCount; 0 when the file could not be written.
void exportListWorker(const QStringList& rows, const QString& listFile, RunProgress& progress);

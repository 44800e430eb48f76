#pragma once

class FileListModel;
class InputFileList;
class QAbstractItemView;

// The Edit commands on the rows of the file list. Each does nothing when the list has no rows.

// Puts the paths of the selected rows, in row order and separated by CR LF, on the clipboard; a
// selection of nothing leaves the clipboard alone.
void copySelection(const QAbstractItemView& view, const FileListModel& rows);

// Removes the selected rows and their paths from the input list, then selects the row that took
// the place of the last one removed (or the new last row when the old last row went).
void deleteSelection(QAbstractItemView& view, FileListModel& rows, InputFileList& inputFiles);

// Selects every row.
void selectAllRows(QAbstractItemView& view, const FileListModel& rows);

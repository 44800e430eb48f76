#include "gui/file_list_commands.h"

#include "engine/inputs/input_file_list.h"
#include "gui/file_list_model.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include <algorithm>
#include <vector>

namespace {

std::vector<int> selectedRows(const QAbstractItemView& view)
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace

void copySelection(const QAbstractItemView& view, const FileListModel& rows)
{
    if (rows.rowCount() == 0) {
        return;
    }
    QString text;
    for (const int row : selectedRows(view)) {
        text += rows.path(row) + QLatin1String("\r\n");
    }
    while (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
    }
    while (text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void deleteSelection(QAbstractItemView& view, FileListModel& rows, InputFileList& inputFiles)
{
    if (rows.rowCount() == 0) {
        return;
    }
    const std::vector<int> doomed = selectedRows(view);
    if (doomed.empty()) {
        return;
    }
    // Where the last removed row stood once the rows before it had gone.
    const int lastPosition = doomed.back() - static_cast<int>(doomed.size() - 1);
    for (const QString& path : rows.removeRows(doomed)) {
        inputFiles.remove(path);
    }
    const int remaining = rows.rowCount();
    if (remaining == 0) {
        return;
    }
    const int next = lastPosition < remaining ? lastPosition : remaining - 1;
    const QModelIndex index = rows.index(next);
    view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void selectAllRows(QAbstractItemView& view, const FileListModel& rows)
{
    if (rows.rowCount() == 0) {
        return;
    }
    view.selectionModel()->clearSelection();
    view.selectAll();
}

#include "gui/file_list_model.h"

#include "app/message_catalogue.h"

#include <QTimer>

#include <algorithm>

namespace {

// As often as the progress windows look at their worker.
constexpr int pendingRowsMilliseconds = 15;

} // namespace

FileListModel::FileListModel(QObject* parent)
    : QAbstractListModel(parent), pendingTimer_(new QTimer(this)), header_(message(QStringLiteral("General/Filename")))
{
    pendingTimer_->setSingleShot(true);
    pendingTimer_->setInterval(pendingRowsMilliseconds);
    connect(pendingTimer_, &QTimer::timeout, this, &FileListModel::showPendingRows);
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
        return rows_.at(index.row());
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return header_;
    }
    return {};
}

void FileListModel::appendRow(const QString& path)
{
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.append(path);
    endInsertRows();
}

void FileListModel::appendRowSoon(const QString& path)
{
    pending_.append(path);
    if (!pendingTimer_->isActive()) {
        pendingTimer_->start();
    }
}

void FileListModel::showPendingRows()
{
    pendingTimer_->stop();
    if (pending_.isEmpty()) {
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(pending_.size()) - 1);
    rows_.append(pending_);
    pending_.clear();
    endInsertRows();
}

void FileListModel::clear()
{
    pending_.clear();
    pendingTimer_->stop();
    beginResetModel();
    rows_.clear();
    endResetModel();
}

QStringList FileListModel::removeRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    QStringList removed;
    removed.reserve(static_cast<qsizetype>(rows.size()));
    for (const int row : rows) {
        removed.append(rows_.at(row));
    }
    // From the end, one contiguous run at a time, so that the positions still to remove stay valid
    // and a whole-list selection is one removal.
    auto runEnd = rows.end();
    while (runEnd != rows.begin()) {
        auto runStart = std::prev(runEnd);
        while (runStart != rows.begin() && *std::prev(runStart) == *runStart - 1) {
            --runStart;
        }
        const int first = *runStart;
        const int last = *std::prev(runEnd);
        beginRemoveRows({}, first, last);
        rows_.remove(first, last - first + 1);
        endRemoveRows();
        runEnd = runStart;
    }
    return removed;
}

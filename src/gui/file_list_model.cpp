#include "gui/file_list_model.h"

#include "app/message_catalogue.h"

#include <QTimer>

#include <algorithm>

namespace {

// Queued rows are shown at most this long after they arrive. Each batch costs one insertion and
// one redraw of the list, so fewer, larger batches keep the interface thread from competing with
// the worker; 50 ms still looks continuous.
constexpr int pendingRowsMilliseconds = 50;

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
    showPendingRows();
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.append(path);
    endInsertRows();
}

void FileListModel::queueRow(const QString& path)
{
    bool first = false;
    {
        const std::lock_guard lock(pendingLock_);
        first = pending_.isEmpty();
        pending_.append(path);
    }
    // One hand-over per batch: the rows queued after this one ride along.
    if (first) {
        scheduleTake();
    }
}

void FileListModel::scheduleTake()
{
    // The timer belongs to the interface thread; a worker only posts the request, without waiting.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!pendingTimer_->isActive()) {
                pendingTimer_->start();
            }
        },
        Qt::QueuedConnection);
}

void FileListModel::showPendingRows()
{
    pendingTimer_->stop();
    QStringList batch;
    {
        const std::lock_guard lock(pendingLock_);
        batch.swap(pending_);
    }
    if (batch.isEmpty()) {
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
    rows_.append(std::move(batch));
    endInsertRows();
}

void FileListModel::clear()
{
    {
        const std::lock_guard lock(pendingLock_);
        pending_.clear();
    }
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

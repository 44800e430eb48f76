#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include <mutex>
#include <vector>

class QTimer;

// The rows of the main window's file list: one path per row, in the order the files entered the
// input list. A view over the list model of the engine; it holds only what the rows show, so a
// list of 100,000 files costs one string per row and no widget per row.
class FileListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // On the interface thread; rows queued before it are shown first, so the order holds.
    void appendRow(const QString& path);
    // From any thread, for rows that come in a stream (a worker adding a folder): the row waits in
    // a queue that the interface thread takes a few dozen times a second, so the worker never
    // waits for the interface and the list is redrawn once per batch rather than once per file.
    // showPendingRows() (interface thread) shows what is waiting at once.
    void queueRow(const QString& path);
    void showPendingRows();
    void clear();
    // Removes the given rows (any order, no duplicates) and returns their paths in row order.
    QStringList removeRows(std::vector<int> rows);
    const QString& path(int row) const { return rows_.at(row); }
    const QStringList& paths() const { return rows_; }

  private:
    void scheduleTake();

    QStringList rows_;
    std::mutex pendingLock_; // guards pending_
    QStringList pending_;
    QTimer* pendingTimer_ = nullptr;
    QString header_;
};

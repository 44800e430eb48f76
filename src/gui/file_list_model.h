#pragma once

#include <QAbstractListModel>
#include <QStringList>

class QTimer;

#include <vector>

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

    void appendRow(const QString& path);
    // For rows that come in a stream (a worker adding a folder): the row is shown with the others
    // that arrived in the same short while, so the list is redrawn a few dozen times a second
    // rather than once per file. showPendingRows() shows what is waiting at once.
    void appendRowSoon(const QString& path);
    void showPendingRows();
    void clear();
    // Removes the given rows (any order, no duplicates) and returns their paths in row order.
    QStringList removeRows(std::vector<int> rows);
    const QString& path(int row) const { return rows_.at(row); }
    const QStringList& paths() const { return rows_; }

  private:
    QStringList rows_;
    QStringList pending_;
    QTimer* pendingTimer_ = nullptr;
    QString header_;
};

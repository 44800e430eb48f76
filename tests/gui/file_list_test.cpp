// The rows of the file list and the Edit commands on them: Copy, Delete, Select All, also with
// 100,000 rows.
#include "engine/inputs/input_file_list.h"
#include "gui/file_list_commands.h"
#include "gui/file_list_model.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <vector>

namespace {

// A list view over rows /in/0.tif, /in/1.tif, ... that are also in the input list.
struct ListFixture {
    explicit ListFixture(int count)
    {
        view.setModel(&rows);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        for (int i = 0; i < count; ++i) {
            const QString path = QStringLiteral("/in/%1.tif").arg(i);
            rows.appendRow(path);
            inputFiles.insert(path, QString());
        }
    }
    void select(const std::vector<int>& selected)
    {
        for (const int row : selected) {
            view.selectionModel()->select(rows.index(row), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::vector<int> selectedRows() const
    {
        std::vector<int> found;
        for (const QModelIndex& index : view.selectionModel()->selectedRows()) {
            found.push_back(index.row());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    FileListModel rows;
    QTreeView view;
    InputFileList inputFiles;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)

class FileListTest : public QObject {
    Q_OBJECT

  private slots:
    void theListHasOneColumnCalledFilename()
    {
        FileListModel rows;
        QCOMPARE(rows.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Filename"));
        rows.appendRow(QStringLiteral("/in/x.tif"));
        QCOMPARE(rows.data(rows.index(0)).toString(), QStringLiteral("/in/x.tif"));
        QCOMPARE(rows.rowCount(), 1);
    }

    void copy_data()
    {
        QTest::addColumn<std::vector<int>>("selected");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("first and third") << std::vector<int>{0, 2} << "/in/0.tif\r\n/in/2.tif";
        QTest::newRow("one row, no line break") << std::vector<int>{1} << "/in/1.tif";
        QTest::newRow("selected out of order") << std::vector<int>{2, 0} << "/in/0.tif\r\n/in/2.tif";
        QTest::newRow("nothing selected") << std::vector<int>{} << "unchanged";
    }
    void copy()
    {
        QFETCH(std::vector<int>, selected);
        QFETCH(QString, clipboard);
        ListFixture list(3);
        list.select(selected);
        QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
        copySelection(list.view, list.rows);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }

    void deleteRows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<std::vector<int>>("selected");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<std::vector<int>>("selectedAfter");
        QTest::newRow("the last two of five")
            << 5 << std::vector<int>{3, 4} << QStringList{"/in/0.tif", "/in/1.tif", "/in/2.tif"} << std::vector<int>{2};
        QTest::newRow("one in the middle")
            << 5 << std::vector<int>{2} << QStringList{"/in/0.tif", "/in/1.tif", "/in/3.tif", "/in/4.tif"}
            << std::vector<int>{2};
        QTest::newRow("scattered") << 6 << std::vector<int>{0, 2, 3}
                                   << QStringList{"/in/1.tif", "/in/4.tif", "/in/5.tif"} << std::vector<int>{1};
        QTest::newRow("all") << 3 << std::vector<int>{0, 1, 2} << QStringList{} << std::vector<int>{};
        QTest::newRow("nothing selected")
            << 2 << std::vector<int>{} << QStringList{"/in/0.tif", "/in/1.tif"} << std::vector<int>{};
    }
    void deleteRows()
    {
        QFETCH(int, count);
        QFETCH(std::vector<int>, selected);
        QFETCH(QStringList, remaining);
        QFETCH(std::vector<int>, selectedAfter);
        ListFixture list(count);
        list.select(selected);
        deleteSelection(list.view, list.rows, list.inputFiles);
        QCOMPARE(list.rows.paths(), remaining);
        QCOMPARE(list.selectedRows(), selectedAfter);
        // The input list lost exactly the rows that went.
        QCOMPARE(list.inputFiles.size(), static_cast<int>(remaining.size()));
        for (const QString& path : remaining) {
            QVERIFY(list.inputFiles.contains(path));
        }
    }

    void selectAllSelectsEveryRow()
    {
        ListFixture list(4);
        list.select({1});
        selectAllRows(list.view, list.rows);
        QCOMPARE(list.selectedRows(), (std::vector<int>{0, 1, 2, 3}));

        ListFixture empty(0);
        selectAllRows(empty.view, empty.rows);
        QVERIFY(!empty.view.selectionModel()->hasSelection());
    }

    void aHundredThousandRows()
    {
        ListFixture list(100000);
        QCOMPARE(list.rows.rowCount(), 100000);
        list.view.resize(400, 300);
        list.view.show();
        list.view.scrollToBottom();
        QCOMPARE(list.rows.path(99999), QStringLiteral("/in/99999.tif"));

        list.select({5, 99998});
        copySelection(list.view, list.rows);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/in/5.tif\r\n/in/99998.tif"));

        selectAllRows(list.view, list.rows);
        QCOMPARE(list.view.selectionModel()->selectedRows().size(), 100000);
        deleteSelection(list.view, list.rows, list.inputFiles);
        QCOMPARE(list.rows.rowCount(), 0);
        QVERIFY(list.inputFiles.empty());
    }
};

std::unique_ptr<QObject> makeFileListTest()
{
    return std::make_unique<FileListTest>();
}

#include "file_list_test.moc"

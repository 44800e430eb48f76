// The commands that fill the input list and write it out, driven through the main window with
// requesters that answer at once: chosen files, a chosen folder, drops, list import and export.
#include "engine/inputs/input_file_list.h"
#include "gui/file_list_model.h"
#include "gui/list_commands.h"
#include "gui/windowed_start.h"
#include "gui_fixture.h"
#include "modal_watch.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <thread>

namespace {

// Writes a file of `bytes` bytes (an input file needs content, not a valid picture, to be listed).
QString makeFile(const QString& path, int bytes = 1)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray(bytes, 'x'));
    }
    return path;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ListFixture : WindowFixture {
    ListFixture()
    {
        start();
        Requesters& requesters = window->requesters();
        requesters.openFiles = [this](QWidget*, const QString& title, const QString& start, const QString&) {
            seenTitle = title;
            seenStart = start;
            return chosenFiles;
        };
        requesters.chooseFolder = [this](QWidget*, const QString& title, const QString&) {
            seenTitle = title;
            return chosen;
        };
        requesters.openFile = [this](QWidget*, const QString& title, const QString& proposed, const QString&) {
            seenTitle = title;
            seenStart = proposed;
            return chosen;
        };
        requesters.saveFile = requesters.openFile;
        requesters.askWarning = [this](const QString& text) {
            questions.append(text);
            return answer;
        };
    }

    QString in(const QString& name) const { return dir.filePath(name); }
    QStringList rows() const { return window->fileRows().paths(); }

    QTemporaryDir dir;
    QStringList chosenFiles;
    QString chosen;
    bool answer = true;
    QString seenTitle;
    QString seenStart;
    QStringList questions;
};

// Straight to the window's event handler: outside a real drag the application does not pass drops on.
void deliver(MainWindow& window, QEvent& event)
{
    static_cast<QObject&>(window).event(&event);
}

void dropPaths(MainWindow& window, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    deliver(window, drop);
}

} // namespace

class ListCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void chosenFilesAreAddedOnceEach()
    {
        ListFixture fixture;
        const QString a = makeFile(fixture.in(QStringLiteral("a.tif")));
        fixture.chosenFiles = {a, makeFile(fixture.in(QStringLiteral("b.txt"))),
                               makeFile(fixture.in(QStringLiteral("empty.tif")), 0), a,
                               makeFile(fixture.in(QStringLiteral("B.TIFF")))};
        fixture.records.job.file.inputPath = fixture.in(QStringLiteral("list.txt"));
        QVERIFY(fixture.window->listCommands().selectInputFiles());
        QCOMPARE(fixture.rows(), QStringList({a, fixture.in(QStringLiteral("B.TIFF"))}));
        QCOMPARE(fixture.records.inputFiles.size(), 2);
        QCOMPARE(fixture.seenTitle, QStringLiteral("Select Input Files"));
        QCOMPARE(fixture.seenStart, fixture.in(QStringLiteral("list.txt")));
        QVERIFY(fixture.records.job.file.inputPath.isEmpty());
        // The first file's folder became the output folder.
        QCOMPARE(fixture.window->outputFolderChooser().currentText(), fixture.dir.path() + QLatin1Char('/'));

        fixture.chosenFiles = {a};
        QVERIFY(!fixture.window->listCommands().selectInputFiles());
    }

    void aChosenFolderIsImportedWithItsSubfolders()
    {
        ListFixture fixture;
        const QString root = fixture.in(QStringLiteral("in/"));
        makeFile(root + QStringLiteral("a.tif"));
        makeFile(root + QStringLiteral("c.txt"));
        makeFile(root + QStringLiteral("sub/b.TIFF"));
        makeFile(root + QStringLiteral("sub/deeper/d.tif"));
        fixture.chosen = fixture.in(QStringLiteral("in"));
        fixture.window->dispatch(Command::SelectInputFolder);
        QCOMPARE(fixture.seenTitle, QStringLiteral("Select Input Folder"));
        QCOMPARE(fixture.rows(), QStringList({root + QStringLiteral("a.tif"), root + QStringLiteral("sub/b.TIFF"),
                                              root + QStringLiteral("sub/deeper/d.tif")}));
        QCOMPARE(fixture.records.inputFiles.find(root + QStringLiteral("sub/deeper/d.tif"))->subfolder,
                 QStringLiteral("sub/deeper/"));
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Import complete, new files added: 3"));
        QCOMPARE(fixture.records.job.inputFolder, root);
        QCOMPARE(fixture.window->outputFolderChooser().currentText(), root);
        QVERIFY(fixture.window->isEnabled());
    }

    void rowsFromAWorkerAreShownInBatchesInOrder()
    {
        FileListModel rows;
        QSignalSpy inserted(&rows, &QAbstractItemModel::rowsInserted);
        // The worker queues its rows and goes on; it never waits for this thread.
        std::thread worker([&rows] {
            for (int i = 0; i < 5000; ++i) {
                rows.queueRow(QStringLiteral("/in/%1.tif").arg(i));
            }
        });
        worker.join();
        QCOMPARE(rows.rowCount(), 0);
        QTRY_COMPARE(rows.rowCount(), 5000);
        QVERIFY(inserted.size() < 5);
        QCOMPARE(rows.path(0), QStringLiteral("/in/0.tif"));
        QCOMPARE(rows.path(4999), QStringLiteral("/in/4999.tif"));

        // A row added on this thread comes after those still queued.
        rows.queueRow(QStringLiteral("/in/late.tif"));
        rows.appendRow(QStringLiteral("/in/direct.tif"));
        QCOMPARE(rows.rowCount(), 5002);
        QCOMPARE(rows.path(5000), QStringLiteral("/in/late.tif"));
        QCOMPARE(rows.path(5001), QStringLiteral("/in/direct.tif"));
        rows.queueRow(QStringLiteral("/in/dropped.tif"));
        rows.clear();
        QTest::qWait(100);
        QCOMPARE(rows.rowCount(), 0);
    }

    void aCancelledOrMissingFolderChangesNothing_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("missing") << QStringLiteral("/no/such/folder");
    }
    void aCancelledOrMissingFolderChangesNothing()
    {
        QFETCH(QString, chosen);
        ListFixture fixture;
        fixture.chosen = chosen;
        QVERIFY(!fixture.window->listCommands().selectInputFolder());
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Ready"));
        QVERIFY(fixture.records.job.inputFolder.isEmpty());
    }

    void dropsImportFoldersInOrderThenAddFiles()
    {
        ListFixture fixture;
        const QString first = fixture.in(QStringLiteral("first"));
        const QString second = fixture.in(QStringLiteral("second/"));
        makeFile(first + QStringLiteral("/1.tif"));
        makeFile(first + QStringLiteral("/2.tif"));
        makeFile(second + QStringLiteral("3.tif"));
        const QString single = makeFile(fixture.in(QStringLiteral("single.tif")));
        dropPaths(*fixture.window, {first, second, single});
        QTRY_COMPARE_WITH_TIMEOUT(fixture.rows().size(), 4, 20000);
        QCOMPARE(fixture.rows(), QStringList({first + QStringLiteral("/1.tif"), first + QStringLiteral("/2.tif"),
                                              second + QStringLiteral("3.tif"), single}));
        // One count for the whole drop: the second folder's message counts the first one's files.
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Import complete, new files added: 3"));
        // The files of the first folder chose the output folder.
        QCOMPARE(fixture.window->outputFolderChooser().currentText(), first + QLatin1Char('/'));
    }

    void startParametersThatNameFilesOrFoldersAreDropped()
    {
        ListFixture fixture;
        const QString file = makeFile(fixture.in(QStringLiteral("a.tif")));
        const QString folder = fixture.in(QStringLiteral("folder"));
        QDir().mkpath(folder);
        QCOMPARE(namedStartPaths({QStringLiteral("-d"), file, QStringLiteral("/no/such/file.tif"), folder,
                                  QStringLiteral("--quiet")}),
                 QStringList({file, folder}));
    }

    void aDropOfNoFilesIsIgnored()
    {
        ListFixture fixture;
        QMimeData data;
        data.setText(QStringLiteral("/etc/passwd"));
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        deliver(*fixture.window, enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        deliver(*fixture.window, drop);
        QCoreApplication::processEvents();
        QVERIFY(fixture.rows().isEmpty());
    }

    void aListFileNamesFilesAndFolders()
    {
        ListFixture fixture;
        const QString x = makeFile(fixture.in(QStringLiteral("x.tif")));
        const QString y = makeFile(fixture.in(QStringLiteral("y.tif")));
        const QString folder = fixture.in(QStringLiteral("folder/"));
        makeFile(folder + QStringLiteral("z.tif"));
        const QString list = fixture.in(QStringLiteral("files.lst"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF" + x.toUtf8() + "\r\n\r\n   " + y.toUtf8() + "  \n" +
                   fixture.in(QStringLiteral("missing.tif")).toUtf8() + "\r" + folder.toUtf8());
        file.close();
        fixture.chosen = list;
        QVERIFY(fixture.window->listCommands().importList());
        QCOMPARE(fixture.seenTitle, QStringLiteral("Import Input Files From A List"));
        QCOMPARE(fixture.seenStart, QStringLiteral("list.txt"));
        QCOMPARE(fixture.rows(), QStringList({x, y, folder + QStringLiteral("z.tif")}));
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Import complete, new files added: 3"));
        QCOMPARE(fixture.records.job.file.inputPath, list);
    }

    void anEmptyOrMissingListFileIsPassedOver_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::newRow("empty") << 0;
        QTest::newRow("missing") << -1;
    }
    void anEmptyOrMissingListFileIsPassedOver()
    {
        QFETCH(int, bytes);
        ListFixture fixture;
        fixture.chosen = fixture.in(QStringLiteral("list.txt"));
        if (bytes >= 0) {
            makeFile(fixture.chosen, bytes);
        }
        QVERIFY(!fixture.window->listCommands().importList());
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Ready"));
    }

    void anExportWritesEveryRowWithAByteOrderMark()
    {
        ListFixture fixture;
        QStringList paths;
        for (const char* name : {"a.tif", "b.tif", "c\xC3\xA9.tif"}) {
            paths.append(makeFile(fixture.in(QString::fromUtf8(name))));
        }
        fixture.chosenFiles = paths;
        fixture.window->listCommands().selectInputFiles();
        // No extension: ".txt" is added.
        fixture.chosen = fixture.in(QStringLiteral("exported"));
        QVERIFY(fixture.window->listCommands().exportList());
        QCOMPARE(fixture.seenTitle, QStringLiteral("Export Input Files"));
        const QByteArray expected = "\xEF\xBB\xBF" + paths.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
        QCOMPARE(readAll(fixture.in(QStringLiteral("exported.txt"))), expected);
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Export complete, entries saved: 3"));
        QVERIFY(fixture.questions.isEmpty());
    }

    void anExportOverAFileWithContentAsksFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes: replaced") << true;
        QTest::newRow("no: kept") << false;
    }
    void anExportOverAFileWithContentAsksFirst()
    {
        QFETCH(bool, answer);
        ListFixture fixture;
        fixture.chosenFiles = {makeFile(fixture.in(QStringLiteral("a.tif")))};
        fixture.window->listCommands().selectInputFiles();
        fixture.chosen = makeFile(fixture.in(QStringLiteral("old.lst")), 5);
        fixture.answer = answer;
        QCOMPARE(fixture.window->listCommands().exportList(), answer);
        QCOMPARE(fixture.questions,
                 QStringList({QStringLiteral("The file already exist. Do you want to overwrite it?")}));
        QCOMPARE(readAll(fixture.chosen).startsWith("\xEF\xBB\xBF"), answer);
    }

    void anExportOfNoRowsWarns()
    {
        ListFixture fixture;
        const std::shared_ptr<QString> warning = answerNextMessageBox();
        QVERIFY(!fixture.window->listCommands().exportList());
        QCOMPARE(*warning, QStringLiteral("No input file(s) found. Please, add valid file(s) and try again!"));
        QVERIFY(fixture.seenTitle.isEmpty());
    }

    void anExportThatCannotBeWrittenSavesNothing()
    {
        ListFixture fixture;
        fixture.chosenFiles = {makeFile(fixture.in(QStringLiteral("a.tif")))};
        fixture.window->listCommands().selectInputFiles();
        fixture.chosen = fixture.in(QStringLiteral("no/such/folder/list.txt"));
        QVERIFY(fixture.window->listCommands().exportList());
        QCOMPARE(fixture.window->statusText(), QStringLiteral("Export complete, entries saved: 0"));
        QVERIFY(!QFileInfo::exists(fixture.chosen));
    }
};

std::unique_ptr<QObject> makeListCommandsTest()
{
    return std::make_unique<ListCommandsTest>();
}

#include "list_commands_test.moc"

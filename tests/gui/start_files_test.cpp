// Files and folders named on the command line of a windowed start enter the file list as a drop of
// them would.
#include "gui/file_list_model.h"
#include "gui/start_files.h"
#include "gui_fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The list accepts a file by its extension and a size above 0; the content is not read here.
void writeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("II*\0", 4);
}

QStringList rowsOf(MainWindow& window)
{
    QStringList rows;
    for (int row = 0; row < window.fileRows().rowCount(); ++row) {
        rows << window.fileRows().index(row).data().toString();
    }
    return rows;
}

} // namespace

class StartFilesTest : public QObject {
    Q_OBJECT

  private slots:
    void filesAndFoldersAreAddedOthersPassedOver()
    {
        QTemporaryDir folder;
        const QString root = folder.path() + '/';
        for (const char* name : {"single.tif", "scans/b.tif", "scans/May/c.tiff", "scans/notes.txt", "-dash.tif"}) {
            writeFile(root + name);
        }
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root);
        addFilesNamedAtStart(window, fixture.records,
                             {"--width=100", "single.tif", root + "scans", "missing.tif", "-dash.tif",
                              root + "scans/notes.txt", "single.tif"});
        QDir::setCurrent(previous);

        QCOMPARE(rowsOf(window), (QStringList{root + "single.tif", root + "scans/b.tif", root + "scans/May/c.tiff"}));
        QCOMPARE(fixture.records.inputFiles.size(), 3);
        QCOMPARE(fixture.records.inputFiles.find(root + "scans/May/c.tiff")->subfolder, QStringLiteral("May/"));
        QCOMPARE(fixture.records.job.inputFolder, root + "scans/");
    }
};

std::unique_ptr<QObject> makeStartFilesTest()
{
    return std::make_unique<StartFilesTest>();
}

#include "start_files_test.moc"

// The Convert command: the checks before a run (each a warning box, most with "Conversion
// stopped" in the status bar) and a real run of small TIFFs under the conversion progress window.
#include "app/folder_history.h"
#include "gui/file_list_model.h"
#include "gui/list_commands.h"
#include "gui/progress_window.h"
#include "gui_fixture.h"
#include "modal_watch.h"
#include "support/tiff_fixtures.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<void(DesktopRecords&, MainWindow&)>)

namespace {

using Arrange = std::function<void(DesktopRecords&, MainWindow&)>;

// Two TIFFs and a file that only looks like one.
void makeInputs(const QTemporaryDir& dir)
{
    fixtures::writeTiff(dir.filePath(QStringLiteral("a.tif")), fixtures::PageKind::Rgb24, 8, 6);
    QFile broken(dir.filePath(QStringLiteral("broken.tif")));
    if (broken.open(QIODevice::WriteOnly)) {
        broken.write("not a TIFF at all");
    }
    fixtures::writeTiff(dir.filePath(QStringLiteral("b.tif")), fixtures::PageKind::Grey8, 5, 7);
}

struct SeenReport {
    bool came = false;
    QString title;
    QString text;
    int bar = -1;
    int barMaximum = -1;
};

} // namespace

class ConvertCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void aProblemBeforeTheRunIsAWarning_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("status");
        const QString stopped = QStringLiteral("Conversion stopped");
        QTest::newRow("empty list") << Arrange([](DesktopRecords& records, MainWindow& window) {
            window.fileRows().clear();
            records.inputFiles.clear();
        }) << "No input file(s) found. Please, add valid file(s) and try again!"
                                    << stopped;
        QTest::newRow("no output folder")
            << Arrange([](DesktopRecords&, MainWindow& window) { window.outputFolderChooser().setCurrentIndex(-1); })
            << "The output folder's field is empty. Please, select existed output folder and try again!" << stopped;
        QTest::newRow("output folder is a file")
            << Arrange([](DesktopRecords& records, MainWindow& window) {
                   QComboBox& chooser = window.outputFolderChooser();
                   chooser.insertItem(0, records.inputFiles.begin()->path);
                   chooser.setCurrentIndex(0);
               })
            << "The following output folder is invalid or doesn't exist:\n%1/\n\nPlease, correct the output path "
               "and try again!"
            << stopped;
        QTest::newRow("resize width 0") << Arrange([](DesktopRecords& records, MainWindow&) {
            records.settings.transform.doImageResize = 1;
            records.settings.transform.imageWidth = 0;
        }) << "Invalid resize width value!"
                                        << stopped;
        QTest::newRow("resize height 0, aspect kept") << Arrange([](DesktopRecords& records, MainWindow&) {
            records.settings.transform.doImageResize = 1;
            records.settings.transform.keepAspectRatio = 1;
            records.settings.transform.imageWidth = 50;
            records.settings.transform.imageHeight = 0;
        }) << "Invalid resize height value!" << stopped;
        QTest::newRow("filename mask leaves the output folder")
            << Arrange([](DesktopRecords& records, MainWindow&) {
                   records.settings.advanced.filenameMask = QStringLiteral("../%filename%.%ext%");
               })
            << "Invalid filename mask\nthe mask ../%filename%.%ext% has a \"..\" component: names made from it "
               "would leave the output folder"
            << stopped;
        QTest::newRow("no watermark image") << Arrange([](DesktopRecords& records, MainWindow&) {
            records.settings.watermark.doWatermark = 2;
            records.settings.watermark.image.clear();
        }) << "Selected watermark image is invalid/empty!"
                                            << "Preparing...";
    }
    void aProblemBeforeTheRunIsAWarning()
    {
        QFETCH(Arrange, arrange);
        QFETCH(QString, warning);
        QFETCH(QString, status);
        ConvertFixture fixture;
        makeInputs(fixture.dir);
        MainWindow& window = fixture.startWith({QStringLiteral("a.tif")});
        arrange(fixture.records, window);
        const QString history = fixture.records.settings.file.recentOutFolders;
        const std::shared_ptr<QString> shown = answerNextMessageBox();
        window.dispatch(Command::Convert);
        QCOMPARE(*shown, warning.contains(QLatin1String("%1"))
                             ? warning.arg(fixture.dir.filePath(QStringLiteral("a.tif")))
                             : warning);
        QCOMPARE(window.statusText(), status);
        QCOMPARE(fixture.records.settings.file.recentOutFolders, history);
        QVERIFY(QDir(fixture.outputFolder()).isEmpty());
    }

    void aRunConvertsTheListAndWaitsForOk()
    {
        ConvertFixture fixture;
        makeInputs(fixture.dir);
        fixture.records.settings.output.format = QStringLiteral("png");
        MainWindow& window =
            fixture.startWith({QStringLiteral("a.tif"), QStringLiteral("broken.tif"), QStringLiteral("b.tif")});
        SeenReport seen;
        whenModalOpens<ProgressWindow>([&seen](ProgressWindow& progress) {
            seen.came = QTest::qWaitFor([&] { return progress.okButton()->isEnabled(); }, 60000);
            seen.title = progress.windowTitle();
            seen.text = progress.textLine()->text();
            seen.bar = progress.bar().value();
            seen.barMaximum = progress.bar().maximum();
            progress.okButton()->click();
        });
        window.dispatch(Command::Convert);
        QVERIFY(seen.came);
        QCOMPARE(seen.title, QStringLiteral("Conversion complete (3/3)"));
        QCOMPARE(seen.text, QStringLiteral("Files converted: 2 of 3"));
        QCOMPARE(seen.barMaximum, 4);
        QCOMPARE(seen.bar, 4);
        QCOMPARE(window.statusText(), QStringLiteral("Conversion complete"));
        QCOMPARE(QDir(fixture.outputFolder()).entryList(QDir::Files),
                 QStringList({QStringLiteral("a.png"), QStringLiteral("b.png")}));
        QCOMPARE(folderHistoryEntry(fixture.records.settings, 0), fixture.outputFolder());
        QCOMPARE(window.outputFolderChooser().currentText(), fixture.outputFolder());
        QVERIFY(window.isEnabled());
    }

    void theCounterGoesOnFromOneRunToTheNext()
    {
        ConvertFixture fixture;
        makeInputs(fixture.dir);
        fixture.records.settings.output.format = QStringLiteral("bmp");
        fixture.records.settings.advanced.filenameMask = QStringLiteral("%n%.%ext%");
        MainWindow& window = fixture.startWith({QStringLiteral("a.tif"), QStringLiteral("b.tif")});
        for (int run = 0; run < 2; ++run) {
            whenModalOpens<ProgressWindow>([](ProgressWindow& progress) {
                if (QTest::qWaitFor([&] { return progress.okButton()->isEnabled(); }, 60000)) {
                    progress.okButton()->click();
                }
            });
            window.dispatch(Command::Convert);
        }
        QCOMPARE(QDir(fixture.outputFolder()).entryList(QDir::Files),
                 QStringList({QStringLiteral("00001.bmp"), QStringLiteral("00002.bmp"), QStringLiteral("00003.bmp"),
                              QStringLiteral("00004.bmp")}));
    }
};

std::unique_ptr<QObject> makeConvertCommandTest()
{
    return std::make_unique<ConvertCommandTest>();
}

#include "convert_command_test.moc"

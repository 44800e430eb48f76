// The progress window over a worker the test steers: what it shows while the worker runs, its
// report, the stop question (asked while the worker waits at its pause gate) and how it closes.
#include "gui/progress_window.h"

#include "app/settings.h"
#include "engine/run/conversion_run.h"
#include "engine/inputs/input_file_list.h"
#include "support/tiff_fixtures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

constexpr int patience = 20000; // generous: a loaded machine may be slow, never wrong

QString fileNumber(int i)
{
    return QStringLiteral("/in/file%1.tif").arg(i);
}

// A worker of `items` steps that converts every step but `failing`, and holds step `holdAt`
// until `release` is set.
struct SteeredWorker {
    int items = 5;
    int holdAt = 0;
    int failing = 0;
    std::atomic<bool> release{false};

    void operator()(RunProgress& progress)
    {
        int converted = 0;
        for (int i = 1; i <= items; ++i) {
            progress.passGate();
            if (!progress.isRunning()) {
                break;
            }
            progress.setProcessed(i, fileNumber(i));
            if (i == holdAt) {
                while (!release.load()) {
                    QThread::msleep(1);
                }
            }
            converted += i == failing ? 0 : 1;
        }
        progress.addConverted(converted);
    }
};

// What a test saw of the stop question.
struct StopQuestion {
    int asked = 0;
    QString text;
    bool workerWasPaused = false;
};

struct ProgressFixture {
    explicit ProgressFixture(ProgressTask task, int maximum, int total = 0)
    {
        ProgressWindowSetup setup;
        setup.task = task;
        setup.maximum = maximum;
        setup.total = total;
        setup.showStatus = [this](const QString& text) { status = text; };
        setup.askToStop = [this](const QString& text) {
            question.asked += 1;
            question.text = text;
            question.workerWasPaused = window->progress().isPaused();
            worker.release = true;
            return answer;
        };
        window = std::make_unique<ProgressWindow>(std::move(setup), nullptr);
    }

    // Runs the window with `script` started from its event loop; the window is closed for good
    // when the script returns without having closed it, so a failing test cannot hang.
    void run(const std::function<void()>& script)
    {
        QTimer::singleShot(0, window.get(), [this, script] {
            script();
            if (window->okButton() != nullptr && window->isVisible()) {
                worker.release = true;
                window->done(0);
            }
        });
        window->run([this](RunProgress& progress) { worker(progress); });
    }

    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, patience); }

    SteeredWorker worker;
    bool answer = false;
    QString status;
    StopQuestion question;
    std::unique_ptr<ProgressWindow> window;
};

// What an output folder holds: every name with its size, temporary files included.
QStringList folderState(const QString& folder)
{
    QStringList state;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        state.append(file.fileName() + QLatin1Char(' ') + QString::number(file.size()));
    }
    return state;
}

// The output names a folder state will end with: a finished temporary file ".a.png.tessaline-x.tmp"
// takes the name a.png at its file's turn.
QSet<QString> outputNamesOf(const QStringList& state)
{
    static const QRegularExpression temporary(QStringLiteral("^\\.(.+)\\.tessaline-.*\\.tmp$"));
    QSet<QString> names;
    for (const QString& entry : state) {
        const QString name = entry.section(QLatin1Char(' '), 0, 0);
        const QRegularExpressionMatch match = temporary.match(name);
        names.insert(match.hasMatch() ? match.captured(1) : name);
    }
    return names;
}

// A real conversion of multi-page files by two workers under the conversion window.
struct TwoWorkerConversion {
    static constexpr int files = 8;
    static constexpr int pages = 6;
    static constexpr int width = 800;
    static constexpr int height = 600;

    TwoWorkerConversion()
    {
        resetToDefaults(settings, false, QSize(1920, 1080));
        job.outputFolder = scratch.filePath(QStringLiteral("out/"));
        job.outputKey = QStringLiteral("png");
        QDir().mkpath(job.outputFolder);
        prepareRun(settings, job);
        for (int i = 0; i < files; ++i) {
            const QString path = scratch.filePath(QStringLiteral("in%1.tif").arg(i));
            fixtures::writeTiff(path, fixtures::PageKind::Rgb24, width, height, pages);
            addInputFile(list, job, path);
        }
    }

    void run(ProgressWindow& window)
    {
        window.run([this](RunProgress& progress) {
            RunContext context{settings, job, nullptr};
            conversionWorker(context, list, progress, 2);
        });
    }

    QTemporaryDir scratch;
    Settings settings;
    JobState job;
    InputFileList list;
};

} // namespace

class ProgressWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void shortenPathKeepsBothEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("shown");
        const QString sixty = QStringLiteral("/0123456789/abcdefghij/ABCDEFGHIJ/klmnopqrst/KLMNOPQRST/x.tif");
        QTest::newRow("60 characters, limit 40")
            << sixty.left(60) << 40 << sixty.left(18) + QStringLiteral("...") + sixty.left(60).right(18);
        QTest::newRow("as long as the limit") << sixty.left(40) << 40 << sixty.left(40);
        QTest::newRow("empty") << QString() << 40 << QString();
        QTest::newRow("odd limit") << QStringLiteral("abcdefghij") << 8 << QStringLiteral("ab...ij");
    }
    void shortenPathKeepsBothEnds()
    {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, shown);
        QCOMPARE(shortenPath(text, limit), shown);
    }

    void aConversionReportsAndWaitsForOk()
    {
        ProgressFixture fixture(ProgressTask::Conversion, 6, 5);
        fixture.worker.failing = 3;
        bool okWaited = false;
        fixture.run([&] {
            okWaited = fixture.waitFor([&] { return fixture.window->okButton()->isEnabled(); });
            // The report stays until OK.
            QTest::qWait(50);
            okWaited = okWaited && fixture.window->isVisible();
            fixture.window->okButton()->click();
        });
        QVERIFY(okWaited);
        QCOMPARE(fixture.window->windowTitle(), QStringLiteral("Conversion complete (5/5)"));
        QCOMPARE(fixture.window->textLine()->text(), QStringLiteral("Files converted: 4 of 5"));
        QCOMPARE(fixture.window->bar().value(), 6);
        QCOMPARE(fixture.status, QStringLiteral("Conversion complete"));
        QCOMPARE(fixture.window->addedCount(), 4);
        QCOMPARE(fixture.question.asked, 0);
    }

    void whileRunningTheTitleCountsAndTheTextNamesTheFile()
    {
        ProgressFixture fixture(ProgressTask::Conversion, 6, 5);
        fixture.worker.holdAt = 2;
        bool sawSecond = false;
        QString text;
        fixture.run([&] {
            sawSecond =
                fixture.waitFor([&] { return fixture.window->windowTitle() == QStringLiteral("Converting (2/5)"); });
            text = fixture.window->textLine()->text();
            fixture.worker.release = true;
            fixture.waitFor([&] { return fixture.window->okButton()->isEnabled(); });
            fixture.window->okButton()->click();
        });
        QVERIFY(sawSecond);
        QCOMPARE(text, fileNumber(2));
    }

    void theStopQuestion_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("status");
        QTest::newRow("yes: ends before the next file") << true << "Conversion stopped (2/5)"
                                                        << "Conversion stopped"
                                                        << "Conversion stopped";
        QTest::newRow("no: goes on") << false << "Conversion complete (5/5)"
                                     << "Files converted: 5 of 5"
                                     << "Conversion complete";
    }
    void theStopQuestion()
    {
        QFETCH(bool, answer);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, status);
        ProgressFixture fixture(ProgressTask::Conversion, 6, 5);
        fixture.worker.holdAt = 2;
        fixture.answer = answer;
        bool reported = false;
        fixture.run([&] {
            fixture.waitFor([&] { return fixture.window->windowTitle() == QStringLiteral("Converting (2/5)"); });
            fixture.window->close();
            // The window stays open until the worker has ended and the user has pressed OK.
            reported =
                fixture.window->isVisible() && fixture.waitFor([&] { return fixture.window->okButton()->isEnabled(); });
            fixture.window->okButton()->click();
        });
        QVERIFY(reported);
        QCOMPARE(fixture.question.asked, 1);
        QCOMPARE(fixture.question.text, QStringLiteral("Do you want to break the conversion?"));
        QVERIFY(fixture.question.workerWasPaused);
        QVERIFY(!fixture.window->progress().isPaused());
        QCOMPARE(fixture.window->windowTitle(), title);
        QCOMPARE(fixture.window->textLine()->text(), text);
        QCOMPARE(fixture.status, status);
        QCOMPARE(fixture.window->stopped(), answer);
    }

    // While the question is open no worker makes progress (not even inside a file of many pages);
    // after Yes the files in hand are abandoned: the pages finished before the question keep
    // their names, nothing else is written and no temporary file is left.
    void theStopQuestionHoldsEveryWorkerAndYesWritesNothingMore()
    {
        TwoWorkerConversion conversion;
        std::unique_ptr<ProgressWindow> window;
        bool bothHeld = false;
        bool nothingMoved = false;
        QStringList atQuestion;
        ProgressWindowSetup setup;
        setup.task = ProgressTask::Conversion;
        setup.maximum = TwoWorkerConversion::files + 1;
        setup.total = TwoWorkerConversion::files;
        setup.showStatus = [](const QString&) {};
        setup.askToStop = [&](const QString&) {
            const QDeadlineTimer deadline(patience);
            while (window->progress().heldWorkers() < 2 && !deadline.hasExpired()) {
                QThread::msleep(2);
            }
            bothHeld = window->progress().heldWorkers() == 2;
            atQuestion = folderState(conversion.job.outputFolder);
            QThread::msleep(300);
            nothingMoved = window->progress().heldWorkers() == 2 &&
                           folderState(conversion.job.outputFolder) == atQuestion;
            return true;
        };
        window = std::make_unique<ProgressWindow>(std::move(setup), nullptr);
        QTimer::singleShot(0, window.get(), [&] {
            // Both workers have a file in hand.
            (void)QTest::qWaitFor([&] { return window->progress().snapshot().processedCount >= 2; }, patience);
            window->close();
            (void)QTest::qWaitFor([&] { return window->okButton()->isEnabled(); }, patience);
            window->okButton()->click();
        });
        conversion.run(*window);

        QVERIFY(bothHeld);
        QVERIFY(nothingMoved);
        QVERIFY(window->stopped());
        const QStringList after = folderState(conversion.job.outputFolder);
        QCOMPARE(after.filter(QStringLiteral(".tessaline-")), QStringList());
        QCOMPARE(outputNamesOf(after), outputNamesOf(atQuestion));
        QVERIFY(after.size() < TwoWorkerConversion::files * TwoWorkerConversion::pages);
        for (const QString& entry : after) {
            const QImage page(conversion.job.outputFolder + entry.section(QLatin1Char(' '), 0, 0));
            QCOMPARE(page.size(), QSize(TwoWorkerConversion::width, TwoWorkerConversion::height));
        }
    }

    void anEmptyImportShowsAStillEmptyBar()
    {
        ProgressFixture fixture(ProgressTask::FolderImport, 0);
        fixture.worker.items = 0;
        bool stillWhileRunning = false;
        fixture.run([&] {
            // A bar whose range is 0..0 is a busy animation.
            stillWhileRunning = fixture.window->bar().maximum() > fixture.window->bar().minimum();
        });
        QVERIFY(stillWhileRunning);
        QVERIFY(fixture.window->bar().maximum() > fixture.window->bar().minimum());
        QCOMPARE(fixture.window->bar().value(), 0);
        QCOMPARE(fixture.status, QStringLiteral("Import complete, new files added: 0"));
    }

    void closingAfterTheEndAsksNothing()
    {
        ProgressFixture fixture(ProgressTask::Conversion, 4, 3);
        fixture.worker.items = 3;
        fixture.run([&] {
            fixture.waitFor([&] { return fixture.window->okButton()->isEnabled(); });
            fixture.window->close();
        });
        QVERIFY(!fixture.window->isVisible());
        QCOMPARE(fixture.question.asked, 0);
    }

    void listTasksReportInTheStatusBarAndCloseThemselves_data()
    {
        QTest::addColumn<int>("task");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("bar");
        QTest::newRow("folder import") << int(ProgressTask::FolderImport) << false << QString()
                                       << "Import complete, new files added: 4" << 5;
        QTest::newRow("list import stopped")
            << int(ProgressTask::ListImport) << true << "Do you want to break the import?"
            << "Import stopped" << 2;
        QTest::newRow("export") << int(ProgressTask::Export) << false << QString()
                                << "Export complete, entries saved: 4" << 5;
        QTest::newRow("export stopped") << int(ProgressTask::Export) << true << "Do you want to break the export?"
                                        << "Export stopped" << 2;
    }
    void listTasksReportInTheStatusBarAndCloseThemselves()
    {
        QFETCH(int, task);
        QFETCH(bool, stop);
        QFETCH(QString, question);
        QFETCH(QString, status);
        QFETCH(int, bar);
        ProgressFixture fixture(ProgressTask(task), 5);
        fixture.worker.failing = 3;
        fixture.answer = true;
        if (stop) {
            fixture.worker.holdAt = 2;
        }
        fixture.run([&] {
            if (stop) {
                fixture.waitFor([&] { return fixture.window->bar().value() == 2; });
                fixture.window->close();
            }
        });
        // run() returned: the window closed by itself.
        QVERIFY(!fixture.window->isVisible());
        QCOMPARE(fixture.status, status);
        QCOMPARE(fixture.window->bar().value(), bar);
        QCOMPARE(fixture.question.text, question);
        QCOMPARE(fixture.window->textLine(), nullptr);
    }

    void aDropsEarlierFoldersCountInTheMessage()
    {
        ProgressWindowSetup setup;
        setup.task = ProgressTask::FolderImport;
        setup.maximum = 1;
        setup.addedBefore = 7;
        QString status;
        setup.showStatus = [&status](const QString& text) { status = text; };
        setup.askToStop = [](const QString&) { return false; };
        ProgressWindow window(std::move(setup), nullptr);
        window.run([](RunProgress& progress) {
            progress.setProcessed(1);
            progress.addConverted(2);
        });
        QCOMPARE(status, QStringLiteral("Import complete, new files added: 9"));
        QCOMPARE(window.addedCount(), 9);
    }
};

std::unique_ptr<QObject> makeProgressWindowTest()
{
    return std::make_unique<ProgressWindowTest>();
}

#include "progress_window_test.moc"

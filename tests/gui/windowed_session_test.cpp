// The windowed start and shutdown: the configuration file read at the start, the window placement
// and the history rule written at the exit, and the single-instance rule of the real program.
#include "app/config_file.h"
#include "app/program_info.h"
#include "gui/main_window.h"
#include "gui/windowed_start.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

namespace {

Settings storedSettings()
{
    Settings settings;
    resetToDefaults(settings, false, QSize(1920, 1080));
    settings.window = {.isMaximized = 0, .x = 50, .y = 60, .width = 640, .height = 420};
    settings.interface.uiSize = 4;
    settings.output.format = QStringLiteral("tiff");
    settings.file.recentOutFolders = QStringLiteral("/out/a/\t/out/b/");
    return settings;
}

Settings readBack(const QString& path)
{
    Settings settings;
    loadConfiguration(settings, path, QSize(1920, 1080));
    return settings;
}

struct SessionFixture {
    SessionFixture() : configPath(folder.filePath(QStringLiteral("config.ini")))
    {
        saveConfiguration(storedSettings(), configPath);
    }
    // The session starts only now, so that a test can change the stored file first.
    WindowedSession& start()
    {
        session = std::make_unique<WindowedSession>(configPath, folder.filePath(QStringLiteral("gfx/")));
        session->window().completeWindowedStart();
        return *session;
    }

    QTemporaryDir folder;
    QString configPath;
    std::unique_ptr<WindowedSession> session;
};

} // namespace

class WindowedSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void theStartShowsWhatTheFileHolds()
    {
        SessionFixture fixture;
        MainWindow& window = fixture.start().window();
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(640, 420));
        QCOMPARE(window.mainToolbar().iconSize(), QSize(64, 64));
        QCOMPARE(window.outputFormatChooser().currentText(), QStringLiteral("TIFF (Tagged Image File Format)"));
        QCOMPARE(window.outputFolderChooser().count(), 2);
        QCOMPARE(window.outputFolderChooser().currentIndex(), -1);
    }

    void aNormalWindowStoresItsPlaceAndSize()
    {
        SessionFixture fixture;
        WindowedSession& session = fixture.start();
        session.window().move(120, 90);
        session.window().resize(700, 500);
        session.window().close();
        QVERIFY(session.finish());
        const Settings stored = readBack(fixture.configPath);
        QCOMPARE(stored.window.isMaximized, Flag{0});
        QCOMPARE(stored.window.x, 120);
        QCOMPARE(stored.window.y, 90);
        QCOMPARE(stored.window.width, 700);
        QCOMPARE(stored.window.height, 500);
    }

    void aMaximisedWindowOnlySaysSo()
    {
        SessionFixture fixture;
        WindowedSession& session = fixture.start();
        session.window().showMaximized();
        session.window().close();
        QVERIFY(session.finish());
        const Settings stored = readBack(fixture.configPath);
        QCOMPARE(stored.window.isMaximized, Flag{1});
        QCOMPARE(stored.window.width, 640);
        QCOMPARE(stored.window.height, 420);
        QCOMPARE(stored.window.x, 50);

        // The next start opens maximised.
        SessionFixture again;
        saveConfiguration(stored, again.configPath);
        QVERIFY(again.start().window().isMaximized());
    }

    void aMinimisedWindowChangesNothing()
    {
        SessionFixture fixture;
        WindowedSession& session = fixture.start();
        session.window().resize(800, 600);
        session.window().showMinimized();
        session.window().close();
        QVERIFY(session.finish());
        const Settings stored = readBack(fixture.configPath);
        QCOMPARE(stored.window.isMaximized, Flag{0});
        QCOMPARE(stored.window.width, 640);
        QCOMPARE(stored.window.height, 420);
    }

    void theHistoryIsEmptiedAtTheExitWhenAskedTo_data()
    {
        QTest::addColumn<int>("historyRule");
        QTest::addColumn<QString>("stored");
        QTest::newRow("clean on exit") << 0 << "";
        QTest::newRow("keep recent") << 1 << "/out/a/\t/out/b/";
    }
    void theHistoryIsEmptiedAtTheExitWhenAskedTo()
    {
        QFETCH(int, historyRule);
        QFETCH(QString, stored);
        SessionFixture fixture;
        Settings settings = storedSettings();
        settings.advanced.outFoldersHistory = static_cast<Choice8>(historyRule);
        saveConfiguration(settings, fixture.configPath);
        WindowedSession& session = fixture.start();
        session.window().close();
        QVERIFY(session.finish());
        QCOMPARE(readBack(fixture.configPath).file.recentOutFolders, stored);
    }

    void withoutAFileTheDefaultsAreShownAndTheExitWritesOne()
    {
        SessionFixture fixture;
        QFile::remove(fixture.configPath);
        WindowedSession& session = fixture.start();
        QCOMPARE(session.window().size(), QSize(510, 330));
        QCOMPARE(session.window().mainToolbar().iconSize(), QSize(32, 32));
        session.records().settings.output.format = QStringLiteral("gif");
        session.window().close();
        QVERIFY(session.finish());
        QCOMPARE(readBack(fixture.configPath).output.format, QStringLiteral("gif"));
    }

    void aFileThatCannotBeWrittenIsReported()
    {
        SessionFixture fixture;
        WindowedSession& session = fixture.start();
        QFile::remove(fixture.configPath);
        QDir().mkpath(fixture.configPath); // a folder where the file should be
        session.window().close();
        QVERIFY(!session.finish());
    }

    void aSecondWindowedStartEndsSilently()
    {
        const QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString runtime = home.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(QStringLiteral(TESSALINE_EXECUTABLE), {});
        QVERIFY(first.waitForStarted());
        const QString lock = runtime + QLatin1Char('/') + programTitle() + QStringLiteral(".lock");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), 20000);
        // The first window is up once its configuration folder exists.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home.filePath(QStringLiteral("config/Morvane/tessaline"))), 20000);

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(TESSALINE_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QCOMPARE(second.readAllStandardError(), QByteArray());
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished();
    }
};

std::unique_ptr<QObject> makeWindowedSessionTest()
{
    return std::make_unique<WindowedSessionTest>();
}

#include "windowed_session_test.moc"

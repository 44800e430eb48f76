// "Open With" while a window is open: the message a later start sends, the window's socket, and the
// real program started a second time handing its files to a window of this process.
#include "app/instance_guard.h"
#include "gui/file_list_model.h"
#include "gui/hand_over_message.h"
#include "gui/window_hand_over.h"
#include "gui_fixture.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray frame(const QByteArray& bytes)
{
    char length[4];
    qToBigEndian(static_cast<quint32>(bytes.size()), length);
    return QByteArray(length, 4) + bytes;
}

const QByteArray header("TSLOPEN1");
const QByteArray end(4, '\0');

QString makeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("x");
    }
    return path;
}

// Feeds a message in chunks of the given size; returns the last status.
HandOverReader::Status feedInChunks(HandOverReader& reader, const QByteArray& message, qsizetype chunk)
{
    HandOverReader::Status status = reader.status();
    for (qsizetype at = 0; at < message.size(); at += chunk) {
        status = reader.feed(QByteArrayView(message).sliced(at, std::min(chunk, message.size() - at)));
    }
    return status;
}

// A window of this process that takes hand-overs on the runtime folder's socket, as the windowed
// start sets it up, and holds the lock so that the real program started again finds it open.
struct OpenWindow : WindowFixture {
    OpenWindow()
    {
        locked = guard.acquire().state == InstanceLock::State::Held;
        start();
        inbox = std::make_unique<WindowInbox>();
        inbox->open(*window);
        QObject::connect(&server, &HandOverServer::pathsHandedOver, inbox.get(), &WindowInbox::handOver);
        listenProblem = server.listen(guard.windowSocketPath());
    }
    QStringList rows() const { return window->fileRows().paths(); }

    InstanceGuard guard;
    bool locked = false;
    std::unique_ptr<WindowInbox> inbox;
    HandOverServer server;
    QString listenProblem;
};

} // namespace

class WindowHandOverTest : public QObject {
    Q_OBJECT

  private slots:
    void aMessageSurvivesAnyChunking_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("none: only show the window") << QStringList{};
        QTest::newRow("plain") << QStringList{"/scans/page 1.tif", "/scans"};
        QTest::newRow("newline and tab") << QStringList{"/in/two\nlines.tif", "/in/a\ttab.tif"};
        QTest::newRow("not ASCII") << QStringList{QStringLiteral("/scans/\u00e9t\u00e9/\u4e2d.tif")};
        QTest::newRow("far beyond PATH_MAX") << QStringList{QLatin1Char('/') + QString(100000, u'x'), "/b"};
    }
    void aMessageSurvivesAnyChunking()
    {
        QFETCH(QStringList, paths);
        const QByteArray message = encodeHandOver(paths);
        for (const qsizetype chunk : {message.size(), qsizetype{1}, qsizetype{7}, qsizetype{4096}}) {
            HandOverReader reader;
            QCOMPARE(feedInChunks(reader, message, chunk), HandOverReader::Status::Complete);
            QCOMPARE(reader.paths(), paths);
        }
    }

    void aBadMessageAddsNothing_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<HandOverReader::Status>("expected");
        const QByteArray good = header + frame("/a.tif");
        QTest::newRow("another kind") << QByteArray("TSLOPEN2") + end << HandOverReader::Status::Malformed;
        QTest::newRow("another kind, early") << QByteArray("TSX") << HandOverReader::Status::Malformed;
        QTest::newRow("relative path") << header + frame("a.tif") + end << HandOverReader::Status::Malformed;
        QTest::newRow("NUL in a path") << header + frame(QByteArray("/a\0b", 4)) + end << HandOverReader::Status::Malformed;
        QTest::newRow("bytes after the end") << good + end + "x" << HandOverReader::Status::Malformed;
        QTest::newRow("a frame beyond the limit") << header + QByteArray("\x7f\xff\xff\xff", 4)
                                                  << HandOverReader::Status::Malformed;
        QTest::newRow("cut short in a frame") << good.left(good.size() - 2) << HandOverReader::Status::Incomplete;
        QTest::newRow("without its end") << good << HandOverReader::Status::Incomplete;
    }
    void aBadMessageAddsNothing()
    {
        QFETCH(QByteArray, message);
        QFETCH(HandOverReader::Status, expected);
        for (const qsizetype chunk : {message.size(), qsizetype{1}}) {
            HandOverReader reader;
            QCOMPARE(feedInChunks(reader, message, chunk), expected);
            QVERIFY(reader.paths().isEmpty() || expected == HandOverReader::Status::Incomplete);
        }
    }

    void aMessageOverTheLimitIsNotMade()
    {
        const QString huge = QLatin1Char('/') + QString(static_cast<qsizetype>(maxHandOverBytes), u'x');
        QVERIFY(encodeHandOver({huge}).isEmpty());
        QVERIFY(!encodeHandOver({QStringLiteral("/a")}).isEmpty());
    }

    // The real program, started again with files, a folder and odd names while a window is open,
    // hands them over and ends; the window adds them as a drop and comes out of its minimised state.
    void aLaterStartHandsItsFilesToTheOpenWindow()
    {
        const QTemporaryDir dir;
        const QString deep = dir.filePath(QStringList(12, QString(200, u'd')).join(u'/'));
        const QStringList files{makeFile(dir.filePath(QStringLiteral("plain.tif"))),
                                makeFile(dir.filePath(QStringLiteral("two\nlines.tif"))),
                                makeFile(deep + QStringLiteral("/long.tif"))};
        const QString folderFile = makeFile(dir.filePath(QStringLiteral("scans/p1.tif")));

        OpenWindow open;
        QVERIFY(open.locked);
        QCOMPARE(open.listenProblem, QString());
        open.window->showMinimized();
        QProcess second;
        second.setWorkingDirectory(dir.path());
        // The first by a relative name: the later start makes it absolute in its own folder.
        second.start(QStringLiteral(TESSALINE_EXECUTABLE),
                     {QStringLiteral("plain.tif"), files.at(1), files.at(2), dir.filePath(QStringLiteral("scans"))});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 60000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), QByteArray());
        QTRY_COMPARE_WITH_TIMEOUT(open.rows(), files + QStringList{folderFile}, 20000);
        QVERIFY(!open.window->isMinimized());
    }

    void filesWaitWhileAModalWindowIsOpen()
    {
        const QTemporaryDir dir;
        const QString file = makeFile(dir.filePath(QStringLiteral("a.tif")));
        OpenWindow open;
        QDialog question(open.window.get());
        question.setModal(true);
        question.show();
        open.inbox->handOver({file});
        QTest::qWait(500);
        QCOMPARE(open.rows(), QStringList{});
        question.close();
        QTRY_COMPARE(open.rows(), QStringList{file});
    }

    // A client that sends anything but a message is cut off unanswered; the window still serves
    // the next one.
    void aMisbehavingClientIsDroppedAndTheNextServed()
    {
        const QTemporaryDir dir;
        const QString file = makeFile(dir.filePath(QStringLiteral("a.tif")));
        OpenWindow open;
        for (const QByteArray& sent : {QByteArray("GET / HTTP/1.0\r\n\r\n"), header + frame("relative") + end}) {
            QLocalSocket client;
            client.connectToServer(open.guard.windowSocketPath());
            QVERIFY(client.waitForConnected(5000));
            client.write(sent);
            QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
            QCOMPARE(client.readAll(), QByteArray());
        }
        QLocalSocket client;
        client.connectToServer(open.guard.windowSocketPath());
        QVERIFY(client.waitForConnected(5000));
        client.write(encodeHandOver({file}));
        QTRY_VERIFY(client.bytesAvailable() > 0);
        QCOMPARE(client.readAll(), QByteArray(1, handOverAccepted));
        QTRY_COMPARE(open.rows(), QStringList{file});
    }
};

std::unique_ptr<QObject> makeWindowHandOverTest()
{
    return std::make_unique<WindowHandOverTest>();
}

#include "window_hand_over_test.moc"

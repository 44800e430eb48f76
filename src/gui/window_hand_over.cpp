#include "gui/window_hand_over.h"

#include "gui/hand_over_message.h"
#include "gui/list_commands.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

#include <memory>

namespace {

// A client has this long to send its whole message; a slow or silent one is dropped.
constexpr int clientMilliseconds = 10000;
// More clients at once than any burst of "Open With" makes: the rest are turned away.
constexpr int maxOpenConnections = 16;
// The second start waits this long for a window that holds the lock but does not listen yet
// (it is still starting), then this long for the window to take the message.
constexpr int connectMilliseconds = 5000;
constexpr int answerMilliseconds = 20000;
constexpr int retryMilliseconds = 100;
// How often files that arrived while a modal window was open look again whether it has closed.
constexpr int busyRetryMilliseconds = 200;

void raiseWindow(QWidget& window)
{
    if (window.isMinimized()) {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

// Connects, trying again while the socket is missing or refuses: a window that holds the lock may
// not have reached its event loop yet.
bool connectWithRetries(QLocalSocket& socket, const QString& socketPath)
{
    const QDeadlineTimer deadline(connectMilliseconds);
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            return true;
        }
        socket.abort();
        if (deadline.remainingTime() < retryMilliseconds) {
            return false;
        }
        QThread::msleep(retryMilliseconds);
    }
}

} // namespace

HandOverServer::HandOverServer(QObject* parent) : QObject(parent)
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &HandOverServer::takeConnections);
}

QString HandOverServer::listen(const QString& socketPath)
{
    QLocalServer::removeServer(socketPath);
    if (server_.listen(socketPath)) {
        return {};
    }
    return server_.errorString();
}

void HandOverServer::takeConnections()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        if (openConnections_ >= maxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++openConnections_;
        connect(socket, &QObject::destroyed, this, [this] { --openConnections_; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(clientMilliseconds, socket, [socket] { socket->abort(); });
        auto reader = std::make_shared<HandOverReader>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, reader] {
            if (reader->status() != HandOverReader::Status::Incomplete) {
                socket->abort();
                return;
            }
            switch (reader->feed(socket->readAll())) {
            case HandOverReader::Status::Incomplete:
                break;
            case HandOverReader::Status::Malformed:
                socket->abort();
                break;
            case HandOverReader::Status::Complete:
                socket->write(&handOverAccepted, 1);
                socket->disconnectFromServer();
                emit pathsHandedOver(reader->paths());
                break;
            }
        });
    }
}

WindowInbox::WindowInbox()
{
    retry_.setSingleShot(true);
    retry_.setInterval(busyRetryMilliseconds);
    connect(&retry_, &QTimer::timeout, this, &WindowInbox::deliver);
}

void WindowInbox::open(MainWindow& window)
{
    window_ = &window;
    QTimer::singleShot(0, this, &WindowInbox::deliver);
}

void WindowInbox::add(const QStringList& paths)
{
    if (paths.isEmpty()) {
        return;
    }
    waiting_.push_back(paths);
    // Never from inside the caller (a socket handler, the start-up): the adding may open a
    // progress window with an event loop of its own.
    QTimer::singleShot(0, this, &WindowInbox::deliver);
}

void WindowInbox::handOver(const QStringList& paths)
{
    if (window_ != nullptr) {
        raiseWindow(*window_);
    }
    add(paths);
}

void WindowInbox::deliver()
{
    // While files are being added, an import's progress window (or the pause between two files)
    // runs the event loop, and this may be called again: the running delivery takes the new files.
    if (window_ == nullptr || waiting_.empty() || delivering_) {
        return;
    }
    if (QApplication::activeModalWidget() != nullptr) {
        retry_.start();
        return;
    }
    delivering_ = true;
    while (!waiting_.empty()) {
        const QStringList paths = std::move(waiting_.front());
        waiting_.pop_front();
        window_->listCommands().addDroppedPaths(paths);
    }
    delivering_ = false;
}

QString handOverToWindow(const QString& socketPath, const QStringList& paths)
{
    const QByteArray message = encodeHandOver(paths);
    if (message.isEmpty()) {
        return QStringLiteral("the list of files is too long to hand over");
    }
    QLocalSocket socket;
    if (!connectWithRetries(socket, socketPath)) {
        return QStringLiteral("no window answered on %1 (%2)").arg(socketPath, socket.errorString());
    }
    const QDeadlineTimer deadline(answerMilliseconds);
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            return QStringLiteral("the window did not take the files (%1)").arg(socket.errorString());
        }
    }
    // The answer may have come in while the message was still being written.
    const bool answered =
        socket.bytesAvailable() > 0 || socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    if (!answered || socket.read(1) != QByteArray(1, handOverAccepted)) {
        return QStringLiteral("the window did not confirm the files (%1)").arg(socket.errorString());
    }
    return {};
}

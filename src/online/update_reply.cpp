#include "online/update_reply.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QUrl>

namespace {

constexpr int pollMilliseconds = 20;
constexpr int defaultHttpPort = 80;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString withoutBlanksAround(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first])) {
        ++first;
    }
    while (last > first && isBlank(text[last - 1])) {
        --last;
    }
    return text.sliced(first, last - first).toString();
}

// Reads until the server closes, the connection fails, the buffer is full or the deadline has
// passed. Data that arrives does not move the deadline, so a server that trickles bytes or stalls
// half-way cannot hold the window longer than the limit.
QByteArray readReply(QTcpSocket& socket, const QDeadlineTimer& deadline)
{
    QByteArray received;
    received.reserve(updateReplyBufferBytes);
    while (received.size() < updateReplyBufferBytes) {
        if (socket.bytesAvailable() > 0) {
            received += socket.read(updateReplyBufferBytes - received.size());
            continue;
        }
        if (socket.state() != QAbstractSocket::ConnectedState) {
            break; // closed by the server, or failed
        }
        if (deadline.hasExpired()) {
            break;
        }
        socket.waitForReadyRead(pollMilliseconds);
    }
    return received;
}

} // namespace

QByteArray updateRequest(const QString& path, const QString& host, const QString& userAgent)
{
    const QString text = QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.0\r\n") + QStringLiteral("Host: ") +
                         host + QStringLiteral("\r\n") + QStringLiteral("Accept: */*\r\n") +
                         QStringLiteral("User-Agent: ") + userAgent + QStringLiteral("\r\n") +
                         QStringLiteral("Connection: close\r\n\r\n");
    return text.toLatin1();
}

QString versionTextOfReply(const QByteArray& received)
{
    const QByteArray beforeZero = received.left(updateReplyBufferBytes).split('\0').constFirst();
    const QString text = QString::fromLatin1(beforeZero);
    const QString blankLine = QStringLiteral("\r\n\r\n");
    const qsizetype headerEnd = text.indexOf(blankLine);
    if (headerEnd < 0) {
        return QString();
    }
    const qsizetype bodyStart = headerEnd + blankLine.size();
    const qsizetype bodyEnd = text.indexOf(blankLine, bodyStart);
    const QStringView body = QStringView(text).sliced(bodyStart, (bodyEnd < 0 ? text.size() : bodyEnd) - bodyStart);
    return withoutBlanksAround(body).left(3);
}

QString getUpdateReply(const QString& url, const QString& userAgent, std::chrono::milliseconds waitLimit)
{
    if (url.isEmpty()) {
        return QString();
    }
    const QUrl address(url);
    const QString host = address.host();
    if (host.isEmpty()) {
        return QString();
    }
    const QString path =
        address.path(QUrl::FullyEncoded).isEmpty() ? QStringLiteral("/") : address.path(QUrl::FullyEncoded);
    const auto port = static_cast<quint16>(address.port(defaultHttpPort));

    // One deadline for the whole exchange: name lookup, connection, request and reply.
    const QDeadlineTimer deadline(waitLimit);
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        return QString();
    }
    socket.write(updateRequest(path, host, userAgent.isEmpty() ? QString::fromLatin1(fallbackUserAgent) : userAgent));
    socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    const QByteArray received = readReply(socket, deadline);
    socket.abort();
    return versionTextOfReply(received);
}

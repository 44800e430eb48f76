#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The update information file is fetched with a minimal HTTP/1.0 client of the program's own over
// a plain TCP connection, in the blocking manner of the interface thread: the caller stands still
// until the reply is in, the server has closed, or the wait limit has passed.

// Room for the reply; anything the server sends beyond it is not read.
inline constexpr int updateReplyBufferBytes = 2048;
// How long the whole exchange may take; the reading ends with what has arrived by then.
inline constexpr std::chrono::milliseconds updateReplyWaitLimit{10000};
// Used when the caller gives no user agent.
inline constexpr const char* fallbackUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)";

// The request sent for a path and a host, byte for byte.
QByteArray updateRequest(const QString& path, const QString& host, const QString& userAgent);

// What the reply gives: the received bytes up to the first zero byte, the part after the first
// blank line ("\r\n\r\n") up to the next one or the end, without leading and trailing blanks, and
// of that its first three characters. Empty when the reply has no blank line.
QString versionTextOfReply(const QByteArray& received);

// Fetches `url` (http, default port 80) and returns versionTextOfReply of what arrived; empty when
// the URL is empty or has no host, or the connection cannot be made. An empty user agent is
// replaced by fallbackUserAgent.
QString getUpdateReply(const QString& url, const QString& userAgent,
                       std::chrono::milliseconds waitLimit = updateReplyWaitLimit);

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <cstdint>

// The message a second windowed start sends to the open window over its local socket: the files
// and folders it was given, to be added as a drop. Paths are data of any content and length, so each
// is framed by its length:
//
//   "TSLOPEN1"                       8 bytes, the kind and version of the message
//   length (4 bytes, big-endian)     then that many bytes of one absolute path, in the file
//   path bytes                       system's encoding; repeated for every path
//   0 (4 bytes)                      the end
//
// The window answers a complete, well-formed message with the one byte handOverAccepted; anything
// else ends the connection unanswered and adds nothing.
inline constexpr char handOverAccepted = '\x06';

// A message is at most this long: far beyond the largest command line Linux passes (a few MiB),
// small enough that a runaway client cannot fill the window's memory.
inline constexpr std::int64_t maxHandOverBytes = 64 * 1024 * 1024;

// The message for these absolute paths; empty when it would exceed maxHandOverBytes.
QByteArray encodeHandOver(const QStringList& paths);

// Reads one message as its bytes arrive, in chunks of any size.
class HandOverReader {
  public:
    enum class Status { Incomplete, Complete, Malformed };

    // Takes the next bytes. Once Complete or Malformed, the status stays and more bytes make a
    // complete message malformed (a message is all a connection may carry).
    Status feed(QByteArrayView bytes);
    Status status() const { return status_; }
    // The paths of a complete message, in the order sent.
    const QStringList& paths() const { return paths_; }

  private:
    Status fail();
    // Takes the frames that have fully arrived.
    void readFrames();

    QByteArray buffer_;
    qsizetype offset_ = 0;
    std::int64_t received_ = 0;
    bool headerRead_ = false;
    Status status_ = Status::Incomplete;
    QStringList paths_;
};

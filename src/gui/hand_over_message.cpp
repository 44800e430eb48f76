#include "gui/hand_over_message.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr QByteArrayView magic("TSLOPEN1");
constexpr qsizetype lengthBytes = 4;

void appendLength(QByteArray& message, quint32 length)
{
    char bytes[lengthBytes];
    qToBigEndian(length, bytes);
    message.append(bytes, lengthBytes);
}

// A path the window may take: absolute, and free of the NUL that no file name holds.
bool acceptablePath(QByteArrayView bytes)
{
    return bytes.startsWith('/') && !bytes.contains('\0');
}

} // namespace

QByteArray encodeHandOver(const QStringList& paths)
{
    QByteArray message(magic.data(), magic.size());
    for (const QString& path : paths) {
        const QByteArray bytes = QFile::encodeName(path);
        if (message.size() + lengthBytes + bytes.size() + lengthBytes > maxHandOverBytes) {
            return {};
        }
        appendLength(message, static_cast<quint32>(bytes.size()));
        message.append(bytes);
    }
    appendLength(message, 0);
    return message;
}

HandOverReader::Status HandOverReader::feed(QByteArrayView bytes)
{
    if (status_ != Status::Incomplete) {
        return bytes.isEmpty() ? status_ : fail();
    }
    received_ += bytes.size();
    if (received_ > maxHandOverBytes) {
        return fail();
    }
    buffer_.append(bytes);
    if (!headerRead_) {
        if (buffer_.size() < magic.size()) {
            return QByteArrayView(buffer_) == magic.first(buffer_.size()) ? status_ : fail();
        }
        if (!buffer_.startsWith(magic)) {
            return fail();
        }
        headerRead_ = true;
        offset_ = magic.size();
    }
    readFrames();
    return status_;
}

void HandOverReader::readFrames()
{
    while (status_ == Status::Incomplete && buffer_.size() - offset_ >= lengthBytes) {
        const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + offset_);
        if (length == 0) {
            // The end must be the last thing sent.
            if (buffer_.size() - offset_ != lengthBytes) {
                fail();
                break;
            }
            status_ = Status::Complete;
            buffer_.clear();
            offset_ = 0;
            break;
        }
        // A frame that could not end within the limit fails at once, not when its bytes have come.
        const std::int64_t frameEnd = received_ - (buffer_.size() - offset_) + lengthBytes + length;
        if (frameEnd + lengthBytes > maxHandOverBytes) {
            fail();
            break;
        }
        if (buffer_.size() - offset_ - lengthBytes < static_cast<qsizetype>(length)) {
            break;
        }
        const QByteArrayView path(buffer_.constData() + offset_ + lengthBytes, length);
        if (!acceptablePath(path)) {
            fail();
            break;
        }
        paths_.append(QFile::decodeName(path.toByteArray()));
        offset_ += lengthBytes + length;
    }
    // Drop what has been read once it is most of the buffer, so a long message is not copied over
    // and over.
    if (offset_ > 0 && offset_ * 2 >= buffer_.size()) {
        buffer_.remove(0, offset_);
        offset_ = 0;
    }
}

HandOverReader::Status HandOverReader::fail()
{
    status_ = Status::Malformed;
    paths_.clear();
    buffer_.clear();
    offset_ = 0;
    return status_;
}

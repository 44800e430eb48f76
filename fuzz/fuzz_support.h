#pragma once

// Shared by the fuzz targets: a scratch folder that lives for the whole fuzzing process, and
// writing the input bytes to a file in it.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace fuzz {

inline const QTemporaryDir& scratch()
{
    static const QTemporaryDir dir;
    return dir;
}

inline QString scratchPath(const QString& name)
{
    return scratch().path() + QLatin1Char('/') + name;
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Replaces the file's contents; false when it could not be written.
inline bool writeScratchFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace fuzz

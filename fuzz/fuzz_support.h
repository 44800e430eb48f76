#pragma once

// Shared by the fuzz targets: a scratch folder that lives for the whole fuzzing process, writing
// the input bytes to a file in it, and passing over TIFFs too big to fuzz quickly.
#include "engine/decode/page_loader.h"

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

// Whether the TIFF at `path` claims few and small pages in its headers (read by the reader's own
// header reader), so that decoding it keeps each run fast.
inline bool smallTiff(const QString& path)
{
    constexpr std::uint64_t maxPagePixels = 256 * 256;
    constexpr std::size_t maxPages = 8;
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    if (headers.size() > maxPages) {
        return false;
    }
    for (const TiffPageHeader& header : headers) {
        if (std::uint64_t{header.width} * header.height > maxPagePixels) {
            return false;
        }
    }
    return true;
}

} // namespace fuzz

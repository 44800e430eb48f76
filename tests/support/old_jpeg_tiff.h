#pragma once

#include "engine/bitmap.h"

#include <QByteArray>
#include <QString>

#include <vector>

// TIFF files whose pages are stored as old-style JPEG (Compression 6): the JPEG stream of each
// page sits in the file as a whole, starting right after the 8-byte TIFF header for the first
// page, the way old scanner drivers wrote them.
namespace fixtures {

struct OldJpegPage {
    const Bitmap* picture = nullptr; // 24-bit page to encode as JPEG
    int exifOrientation = 0;         // 0: no EXIF block; 1..8: an APP1 EXIF block with this Orientation
    bool interchangeTags = true;     // write JPEGInterchangeFormat / JPEGInterchangeFormatLength
};

// The JPEG stream of `picture` (quality 95), with an EXIF Orientation block when orientation > 0.
QByteArray encodeJpeg(const Bitmap& picture, int exifOrientation = 0);

// The bytes of a little-endian TIFF holding the pages in order; empty when encoding failed.
QByteArray oldStyleJpegTiff(const std::vector<OldJpegPage>& pages);

bool writeOldStyleJpegTiff(const QString& path, const std::vector<OldJpegPage>& pages);

} // namespace fixtures

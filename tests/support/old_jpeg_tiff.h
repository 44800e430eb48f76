#pragma once

#include "engine/core/bitmap.h"

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

// The other kind of old-style JPEG TIFF: no JPEG stream at all, only its pieces. The quantisation
// and Huffman tables sit in JPEGQTables, JPEGDCTables and JPEGACTables, each strip holds the
// entropy-coded data of its rows (restarted at every strip, JPEGRestartInterval saying after how
// many blocks), and the chroma is subsampled 2 x 1 or 2 x 2 (YCbCrSubSampling). Only libtiff's
// own old-style JPEG decoder makes sense of these. `picture` is 24-bit; rowsPerStrip a multiple
// of 8 x subsampleY.
QByteArray tableStyleJpegTiff(const Bitmap& picture, int subsampleY, int rowsPerStrip);

} // namespace fixtures

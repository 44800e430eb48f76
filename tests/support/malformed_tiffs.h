#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace fixtures {

// A TIFF that is broken on purpose, and what was done to it.
struct MalformedTiff {
    QString name; // file name, ends in ".tif"
    QByteArray bytes;
};

// Hostile and damaged TIFFs made from well-formed ones: truncations at many offsets, random bit
// flips in the header and the first IFD, zero and absurd strip counts and offsets, absurd
// dimensions, IFD loops, an old-style JPEG tag without a JPEG stream, an empty multi-page container.
// The same list comes out on every call.
std::vector<MalformedTiff> malformedTiffs();

// One page of writeRawTiff: 8-bit grey of the given size, its strip written as it stands.
struct RawPage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Writes the pages as one TIFF with libtiff, headers as given: a page claiming a huge size gets only
// a few bytes of pixels, as a forged file would. False when libtiff refused.
bool writeRawTiff(const QString& path, const std::vector<RawPage>& pages);

// A small well-formed single-page TIFF (little-endian, uncompressed), the base of the damage above.
QByteArray wellFormedTiff(int width, int height, int bitsPerPixel);

// An uncompressed 8-bit grey page (a gradient) of `strips` strips of `rowsPerStrip` rows, its
// directory before its pixels, as scanners write it, cut short after the first `keptStrips` strips:
// the directory is whole, the rest of the pixels are missing.
QByteArray cutShortTiff(int width, int rowsPerStrip, int strips, int keptStrips);
// The same written to `path`. False when it could not be written.
bool writeCutShortTiff(const QString& path, int width, int rowsPerStrip, int strips, int keptStrips);

// Rewrites the offset or byte count (`byteCount`) of strip or tile `strile` of page `page` of a
// little-endian classic TIFF. False when the page or its tag is not there.
bool patchStrile(QByteArray& tiff, int page, int strile, bool byteCount, std::uint32_t value);

} // namespace fixtures

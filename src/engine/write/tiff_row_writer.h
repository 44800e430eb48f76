#pragma once

#include "engine/write/row_writer.h"

// TIFF through libtiff scanlines, as FreeImage's TIFF writer writes a single page: the same tags
// (size, samples, photometric from the palette, upright orientation, libtiff's default rows per
// strip, resolution in inches, ICC profile, XMP packet, GeoTIFF tags, colour map), the same
// compression and predictor for each of its flags, little-endian classic TIFF with the directory
// after the strips.
// It writes 1-, 8-, 24- and 32-bit pages with the compressions Tessaline offers (none, LZW,
// PackBits, Deflate, CCITT for 1 bit, FreeImage's default choice); it declines JPEG compression,
// CMYK, an 8-bit page with transparency, a thumbnail, and metadata FreeImage writes through its
// own serialisers (IPTC, EXIF tags it copies into the page's directory).
bool tiffRowWriterTakes(int flags, const PageHeader& page);
std::unique_ptr<RowWriter> openTiffRowWriter(int flags, const PageHeader& page, std::FILE* file);

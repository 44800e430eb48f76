#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// Decodes page `index` (0-based) of the TIFF at `path` with libtiff itself, for the pages FreeImage
// refuses (separate planes in tiles, grey at 2 or 12 bits, 32-bit samples, old-style JPEG it cannot
// take apart) or decodes with wrong colours (CMYK without its black). Grey, RGB and CMYK pages with
// unsigned integer samples of 1 to 16 or 32 bits are unpacked sample by sample (any planar layout,
// strips or tiles, any codec libtiff has); every other photometric goes through libtiff's RGBA
// interface. Either way the page is read one strip or one row of tiles at a time, and comes back
// as an ordinary bitmap: 8-bit grey, 24-bit RGB or 32-bit RGBA (alpha not premultiplied), 8 bits
// per sample, rows in stored order. Its metadata (resolution, ICC profile unless the page was
// CMYK, EXIF, IPTC, XMP, GeoTIFF and text tags) is attached by attachTiffMetadata. Empty when libtiff cannot
// decode the page or it is larger than kMaxPagePixels.
Bitmap decodeTiffPageWithLibtiff(const QString& path, int index);

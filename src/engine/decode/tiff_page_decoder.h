#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// Decodes page `index` (0-based) of the TIFF at `path` for the pages whose pixels need more than
// copying rows (tiff_band_source.h): grey with alpha, white-is-zero grey at 16 bits, grey at 2 or
// 12 bits, separate planes below 8 bits, 32-bit RGB, palette pages with alpha, CMYK, associated
// alpha. Grey, palette, RGB and CMYK pages with unsigned integer samples of 1 to 16 or 32 bits
// are unpacked sample by sample (any planar layout, strips or tiles, any codec libtiff has; CMYK
// through the page's profile unless `keepCmyk`, which keeps the plain ink-to-light formula);
// every other photometric (YCbCr, CIELab) goes through libtiff's RGBA interface. Either way the
// page is read one strip or one row of tiles at a time, and comes back as an ordinary bitmap:
// 8-bit grey, 24-bit RGB or 32-bit RGBA (alpha not premultiplied), or 16 bits per sample for grey
// and RGB pages stored so, rows in stored order. Its metadata (resolution, ICC profile unless the page
// was CMYK, EXIF, IPTC, XMP, GeoTIFF and text tags) is attached by attachTiffMetadata. Empty when libtiff cannot decode the page, reported
// an error or missing data while reading it, or it is larger than kMaxPagePixels.
Bitmap decodeTiffPageWithLibtiff(const QString& path, int index, bool keepCmyk = false);

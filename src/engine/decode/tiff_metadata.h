#pragma once

#include "engine/core/bitmap.h"

#include <QString>

#include <tiffio.h>

#include <vector>

// Puts what the current directory of `tiff` says besides its pixels on `page`, in the models and
// forms FreeImage gives a TIFF page, so the writers after us see what they have always seen:
// - the resolution, in dots per metre (300 dpi when the page states none);
// - FIMD_EXIF_MAIN: every tag of the directory with an EXIF name (text tags, ICC and IPTC bytes);
// - FIMD_EXIF_EXIF: the tags of the page's EXIF directory;
// - FIMD_IPTC: the records of the IPTC block (keywords and supplemental categories joined by ";");
// - FIMD_XMP: the XMP packet, under "XMLPacket";
// - FIMD_GEOTIFF: the GeoTIFF tags, when the page has a GeoKeyDirectory;
// - the ICC profile, when `withColourProfile` (false when the pixels no longer are in the profile's
//   colours, e.g. CMYK turned to RGB: then the InterColorProfile tag goes too).
// Every tag is first checked against its entry in the file (declared type and count, where its
// values stand) and against what the tag must hold (an ICC profile its header describes, XMP
// that is UTF-8 text, IPTC records that end inside the block, an EXIF directory inside the file
// and apart from the page's own); a tag that fails is left out, with a sentence naming the page
// and the tag appended to `warnings` (when given). The GPS directory is not read.
//
// Reading the EXIF directory makes libtiff leave the page's directory; it is read again before
// returning, so values and pointers the caller got from libtiff before this call must not be used
// after it. Call it once the page's pixels are read.
void attachTiffMetadata(TIFF* tiff, const Bitmap& page, bool withColourProfile,
                        std::vector<QString>* warnings = nullptr);

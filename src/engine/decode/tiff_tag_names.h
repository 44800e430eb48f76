#pragma once

#include <cstdint>

// The names under which the page metadata models file the tags of a TIFF directory, an EXIF
// directory, an IPTC block and the GeoTIFF tags. A tag without a name is not kept.

// The EXIF name of a tag of the page's own directory or of its EXIF directory; null if none.
const char* exifTagName(std::uint16_t id);

// The name of an IPTC dataset (record number in the high byte, dataset in the low byte); null if
// it has none.
const char* iptcTagName(std::uint16_t id);

// The name of a GeoTIFF tag; null if `id` is not one.
const char* geoTiffTagName(std::uint16_t id);

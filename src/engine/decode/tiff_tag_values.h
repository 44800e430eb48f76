#pragma once

#include "engine/core/bitmap.h"

#include <QByteArray>

#include <tiffio.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// Tag values as libtiff holds them for the current directory, turned into the metadata tags the
// writers read (key, id, FreeImage type, count, length and value bytes).

// Puts one tag into `model` under `key`.
void setTagValue(const Bitmap& page, FREE_IMAGE_MDMODEL model, const char* key, WORD id, FREE_IMAGE_MDTYPE type,
                 DWORD count, DWORD length, const void* value);

// Whether libtiff holds a value for the custom tag `id` in the current directory.
bool tagIsSet(TIFF* tiff, ttag_t id);

// The bytes of a counted byte-array tag (ICC profile, XMP packet, IPTC block); empty when the
// directory has none.
std::optional<QByteArray> byteArrayTag(TIFF* tiff, ttag_t id);

// The tag `id` of the current directory as a metadata tag of `model`: its libtiff type becomes the
// FreeImage type of the same name, except that signed rationals are filed as RATIONAL (with signed
// terms) and every type FreeImage has no name for is filed as text. Rationals take their terms
// from `exact` (the file's own, one pair per value) when it holds them all, and are otherwise
// rebuilt from libtiff's floating-point value.
void attachTagValue(const Bitmap& page, TIFF* tiff, ttag_t id, FREE_IMAGE_MDMODEL model, const char* key,
                    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& exact);

// A GeoTIFF tag of the current directory into FIMD_GEOTIFF under `key`.
void attachGeoTiffTag(const Bitmap& page, TIFF* tiff, const TIFFField* field, const char* key);

// The page's resolution in dots per metre: 300 per inch in either direction the page leaves out,
// a missing unit read as inches, no change for any other unit.
void readResolution(const Bitmap& page, TIFF* tiff);

// A rational near `value`: integers exactly, other values from at most four continued-fraction
// terms (numerator, denominator).
std::pair<std::int32_t, std::int32_t> rationalFromFloat(float value);

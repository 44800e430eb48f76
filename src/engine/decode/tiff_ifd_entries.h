#pragma once

#include <QString>

#include <tiffio.h>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The entries of a TIFF directory as the file declares them (tag, type, count, where the values
// stand), read straight from the file, so that what libtiff hands back can be checked against
// what the tag's entry claims before anything of it is kept.

struct IfdEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0; // a TIFFDataType as written, possibly one libtiff does not know
    std::uint64_t count = 0;
    std::uint64_t valueOffset = 0;               // where the values stand; 0 when they fit in the entry itself
    std::array<unsigned char, 8> inlineValues{}; // the entry's own value field, as in the file
};

// The size of the file behind `tiff`, in bytes.
std::uint64_t tiffFileSize(TIFF* tiff);

// The entries of the directory at `offset` (classic or BigTIFF, either byte order). Empty, with
// `problem` set, when the entry table does not lie wholly within the file. Leaves the file
// position where libtiff had it.
std::optional<std::vector<IfdEntry>> readIfdEntries(TIFF* tiff, std::uint64_t offset, QString* problem);

// The numerator and denominator of each value of a RATIONAL or SRATIONAL `entry`, as the file
// stores them (signed terms as their two's complement); empty when the entry is not a rational
// one or its values cannot be read.
std::vector<std::pair<std::uint32_t, std::uint32_t>> readRationals(TIFF* tiff, const IfdEntry& entry);

// Why the values of `entry` cannot be trusted as they are declared, or empty when they can: a
// type no reader knows, a byte size that overflows, or values that run past the end of the file.
QString entryRangeProblem(TIFF* tiff, const IfdEntry& entry, std::uint64_t fileSize);

#pragma once

#include "engine/core/bitmap.h"

#include <QByteArray>
#include <QString>

// The IPTC block of a TIFF page (tag 33723): a run of records, each 0x1C, record number, dataset
// number, a 16-bit big-endian length and that many bytes.

// Why `block` cannot be trusted, or empty when it can: a record whose length runs past the end
// of the block.
QString iptcProblem(const QByteArray& block);

// Puts the records of `block` into FIMD_IPTC: the record version as a signed short, every other
// record as text under its IPTC name ("Tag 0xRRDD" when it has none); repeated keywords and
// supplemental categories are joined by ";" into one tag each. A block that starts "Adobe_CM"
// holds no records.
void attachIptcRecords(const Bitmap& page, const QByteArray& block);

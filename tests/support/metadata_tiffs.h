#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Small 8-bit grey TIFFs carrying page metadata, written entry by entry so that a tag's declared
// type, count and offset can be anything, including what no well-behaved writer would declare.
namespace fixtures {

enum class ByteOrder : std::uint8_t { Little, Big };

// What a metadata page carries.
struct MetadataParts {
    bool text = false;       // ImageDescription, Make, Model, Software, DateTime, Artist, Copyright
    bool resolution = false; // 72 x 150 per centimetre
    bool exif = false;       // an EXIF directory: rationals, shorts, text, undefined bytes, a pair
    bool iptc = false;       // version, title, two keywords, two categories, an unnamed record
    bool xmp = false;
    bool geoTiff = false; // pixel scale, tie points, key directory, ASCII parameters
    bool icc = false;     // a 200-byte RGB display profile
};

// A well-formed 4 x 3 grey page with `parts`, in `order`.
QByteArray metadataTiff(const MetadataParts& parts, ByteOrder order);

// The bytes of the ICC profile and the IPTC block metadataTiff writes.
QByteArray fixtureIccProfile();
QByteArray fixtureIptcBlock();

// Pages whose metadata a reader must take as it is: each kind alone, all of them together, and
// the two that broke the FreeImage TIFF loader (an IPTC block in a big-endian file, whose word
// swap ran past its buffer; an ICC profile beside an EXIF directory, whose pointer it kept while
// changing directory).
struct MetadataTiff {
    QString name; // ends in ".tif"
    MetadataParts parts;
    ByteOrder order = ByteOrder::Little;
    QByteArray bytes;
};
std::vector<MetadataTiff> wellFormedMetadataTiffs();

// Pages with one tag that must not be trusted: `tag` is the tag left out (in the EXIF directory
// when `inExif`), `reason` a word of the warning that says why. Every other part the page has
// (text and EXIF unless the EXIF directory is the broken one) reads as usual.
struct BrokenMetadataTiff {
    QString name; // ends in ".tif"
    std::uint16_t tag = 0;
    bool inExif = false;
    QString reason;
    QByteArray bytes;
};
std::vector<BrokenMetadataTiff> brokenMetadataTiffs();

} // namespace fixtures

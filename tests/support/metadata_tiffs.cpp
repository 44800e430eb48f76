#include "support/metadata_tiffs.h"

#include <tiffio.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace fixtures {
namespace {

constexpr int pageWidth = 4;
constexpr int pageHeight = 3;

// One directory entry as declared: the values are kept little-endian and turned to the file's
// order when written; `count` is what the entry claims, whatever `values` holds.
struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    QByteArray values;
};

template <typename T> void appendLittle(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

Entry ascii(std::uint16_t tag, const QByteArray& text)
{
    QByteArray values = text;
    values.append('\0');
    return {tag, TIFF_ASCII, static_cast<std::uint32_t>(values.size()), values};
}

Entry shorts(std::uint16_t tag, std::initializer_list<std::uint16_t> list)
{
    Entry entry{tag, TIFF_SHORT, static_cast<std::uint32_t>(list.size()), {}};
    for (const std::uint16_t value : list) {
        appendLittle(entry.values, value);
    }
    return entry;
}

Entry longs(std::uint16_t tag, std::initializer_list<std::uint32_t> list)
{
    Entry entry{tag, TIFF_LONG, static_cast<std::uint32_t>(list.size()), {}};
    for (const std::uint32_t value : list) {
        appendLittle(entry.values, value);
    }
    return entry;
}

Entry rationals(std::uint16_t tag, TIFFDataType type, std::initializer_list<std::pair<std::int32_t, std::int32_t>> list)
{
    Entry entry{tag, static_cast<std::uint16_t>(type), static_cast<std::uint32_t>(list.size()), {}};
    for (const auto& [numerator, denominator] : list) {
        appendLittle(entry.values, numerator);
        appendLittle(entry.values, denominator);
    }
    return entry;
}

Entry doubles(std::uint16_t tag, std::initializer_list<double> list)
{
    Entry entry{tag, TIFF_DOUBLE, static_cast<std::uint32_t>(list.size()), {}};
    for (const double value : list) {
        appendLittle(entry.values, value);
    }
    return entry;
}

Entry bytes(std::uint16_t tag, TIFFDataType type, const QByteArray& values)
{
    return {tag, static_cast<std::uint16_t>(type), static_cast<std::uint32_t>(values.size()), values};
}

// The values of `entry` in the file's byte order: each number's bytes reversed for big-endian.
QByteArray inOrder(const Entry& entry, ByteOrder order)
{
    QByteArray values = entry.values;
    const int width = entry.type == TIFF_RATIONAL || entry.type == TIFF_SRATIONAL
                          ? 4
                          : std::max(1, TIFFDataWidth(static_cast<TIFFDataType>(entry.type)));
    if (order == ByteOrder::Big && width > 1) {
        for (qsizetype at = 0; at + width <= values.size(); at += width) {
            std::reverse(values.begin() + at, values.begin() + at + width);
        }
    }
    return values;
}

// Where the EXIF directory tag points.
enum class ExifLink : std::uint8_t {
    Directory,     // the EXIF directory
    PastEnd,       // far past the end of the file
    MainDirectory, // back at the page's own directory
    Truncated,     // at an EXIF directory that claims 500 entries
};

struct Page {
    std::vector<Entry> main;
    std::vector<Entry> exif;
    ExifLink link = ExifLink::Directory;
};

class Writer {
  public:
    explicit Writer(ByteOrder order) : order_(order) {}

    void put16(QByteArray& out, std::uint16_t value) const
    {
        char bytes[2];
        order_ == ByteOrder::Big ? qToBigEndian(value, bytes) : qToLittleEndian(value, bytes);
        out.append(bytes, 2);
    }
    void put32(QByteArray& out, std::uint32_t value) const
    {
        char bytes[4];
        order_ == ByteOrder::Big ? qToBigEndian(value, bytes) : qToLittleEndian(value, bytes);
        out.append(bytes, 4);
    }

    QByteArray write(Page page) const
    {
        const bool hasExif = !page.exif.empty() || page.link != ExifLink::Directory;
        QByteArray file = order_ == ByteOrder::Big ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
        const std::uint32_t mainOffset = 8 + pageWidth * pageHeight;
        put32(file, mainOffset);
        for (int i = 0; i < pageWidth * pageHeight; ++i) {
            file.append(static_cast<char>(i * 20));
        }
        if (hasExif) {
            page.main.push_back(longs(TIFFTAG_EXIFIFD, {0}));
        }
        std::sort(page.main.begin(), page.main.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        std::sort(page.exif.begin(), page.exif.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        const auto directorySize = [](const std::vector<Entry>& entries) {
            return static_cast<std::uint32_t>(2 + 12 * entries.size() + 4);
        };
        const std::uint32_t exifOffset = mainOffset + directorySize(page.main);
        std::uint32_t valuesAt = exifOffset + (page.exif.empty() ? 0 : directorySize(page.exif));
        for (Entry& entry : page.main) {
            if (entry.tag == TIFFTAG_EXIFIFD) {
                const std::uint32_t target = page.link == ExifLink::PastEnd         ? 0x7FFFFFF0U
                                             : page.link == ExifLink::MainDirectory ? mainOffset
                                                                                    : exifOffset;
                entry.values.clear();
                appendLittle(entry.values, target);
            }
        }
        QByteArray values;
        file.append(directory(page.main, valuesAt, values, 0));
        file.append(directory(page.exif, valuesAt, values, page.link == ExifLink::Truncated ? 500 : 0));
        file.append(values);
        return file;
    }

  private:
    // The directory of `entries`, with values too long for an entry appended to `values`, which
    // the file holds from `valuesAt` on.
    QByteArray directory(const std::vector<Entry>& entries, std::uint32_t& valuesAt, QByteArray& values,
                         std::uint16_t claimedCount) const
    {
        QByteArray out;
        if (entries.empty()) {
            return out;
        }
        put16(out, claimedCount != 0 ? claimedCount : static_cast<std::uint16_t>(entries.size()));
        for (const Entry& entry : entries) {
            put16(out, entry.tag);
            put16(out, entry.type);
            put32(out, entry.count);
            const QByteArray data = inOrder(entry, order_);
            const auto declared = static_cast<std::uint64_t>(entry.count) *
                                  std::max(1, TIFFDataWidth(static_cast<TIFFDataType>(entry.type)));
            if (declared <= 4) {
                out.append(data.left(4).leftJustified(4, '\0'));
            } else {
                put32(out, valuesAt);
                QByteArray stored = data;
                if (stored.size() % 2 != 0) {
                    stored.append('\0');
                }
                values.append(stored);
                valuesAt += static_cast<std::uint32_t>(stored.size());
            }
        }
        put32(out, 0);
        return out;
    }

    ByteOrder order_;
};

std::vector<Entry> imageEntries()
{
    return {
        shorts(TIFFTAG_IMAGEWIDTH, {pageWidth}),
        shorts(TIFFTAG_IMAGELENGTH, {pageHeight}),
        shorts(TIFFTAG_BITSPERSAMPLE, {8}),
        shorts(TIFFTAG_COMPRESSION, {COMPRESSION_NONE}),
        shorts(TIFFTAG_PHOTOMETRIC, {PHOTOMETRIC_MINISBLACK}),
        longs(TIFFTAG_STRIPOFFSETS, {8}),
        shorts(TIFFTAG_SAMPLESPERPIXEL, {1}),
        shorts(TIFFTAG_ROWSPERSTRIP, {pageHeight}),
        longs(TIFFTAG_STRIPBYTECOUNTS, {pageWidth * pageHeight}),
    };
}

std::vector<Entry> exifEntries()
{
    return {
        rationals(33434, TIFF_RATIONAL, {{1, 250}}),                            // exposure time
        rationals(33437, TIFF_RATIONAL, {{28, 10}}),                            // f-number
        shorts(34855, {200}),                                                   // ISO speed
        bytes(36864, TIFF_UNDEFINED, "0230"),                                   // EXIF version
        ascii(36867, "2026:01:02 03:04:05"),                                    // taken
        rationals(37377, TIFF_SRATIONAL, {{7965784, 1000000}}),                 // shutter speed
        rationals(37380, TIFF_SRATIONAL, {{-1, 3}}),                            // exposure bias
        rationals(37386, TIFF_RATIONAL, {{50, 1}}),                             // focal length
        bytes(37510, TIFF_UNDEFINED, QByteArray("ASCII\0\0\0a test page", 19)), // user comment
        shorts(40961, {1}),                                                     // colour space
        longs(40962, {pageWidth}),                                              // pixel x dimension
        shorts(41492, {2, 1}),                                                  // subject location
        ascii(42016, "0123456789abcdef0123456789abcdef"),                       // image unique id
    };
}

QByteArray iptcRecord(int record, int dataset, const QByteArray& data)
{
    QByteArray out;
    out.append(static_cast<char>(0x1C));
    out.append(static_cast<char>(record));
    out.append(static_cast<char>(dataset));
    out.append(static_cast<char>(data.size() >> 8));
    out.append(static_cast<char>(data.size() & 0xFF));
    return out + data;
}

// The IPTC records without the padding that rounds the block up to whole 32-bit words.
QByteArray iptcRecords()
{
    return iptcRecord(2, 0, QByteArray("\x00\x04", 2)) + iptcRecord(2, 5, "Harbour at dawn") +
           iptcRecord(2, 25, "harbour") + iptcRecord(2, 25, "dawn") + iptcRecord(2, 20, "coast") +
           iptcRecord(2, 20, "morning") + iptcRecord(2, 99, "unnamed dataset") + iptcRecord(2, 80, "A. Writer");
}

QByteArray xmpPacket()
{
    return R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/">)"
           R"(<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
           R"(xmlns:dc="http://purl.org/dc/elements/1.1/" dc:format="image/tiff"/></rdf:RDF></x:xmpmeta>)"
           R"(<?xpacket end="w"?>)";
}

Page page(const MetadataParts& parts)
{
    Page page;
    page.main = imageEntries();
    if (parts.text) {
        for (Entry entry : {ascii(TIFFTAG_IMAGEDESCRIPTION, "A page with metadata"), ascii(TIFFTAG_MAKE, "Maker"),
                            ascii(TIFFTAG_MODEL, "Model 7"), ascii(TIFFTAG_SOFTWARE, "fixture writer"),
                            ascii(TIFFTAG_DATETIME, "2026:01:02 03:04:05"), ascii(TIFFTAG_ARTIST, "A. Writer"),
                            ascii(TIFFTAG_COPYRIGHT, "(c) nobody")}) {
            page.main.push_back(entry);
        }
    }
    if (parts.resolution) {
        page.main.push_back(rationals(TIFFTAG_XRESOLUTION, TIFF_RATIONAL, {{72, 1}}));
        page.main.push_back(rationals(TIFFTAG_YRESOLUTION, TIFF_RATIONAL, {{150, 1}}));
        page.main.push_back(shorts(TIFFTAG_RESOLUTIONUNIT, {RESUNIT_CENTIMETER}));
    }
    if (parts.xmp) {
        page.main.push_back(bytes(TIFFTAG_XMLPACKET, TIFF_BYTE, xmpPacket()));
    }
    if (parts.iptc) {
        page.main.push_back(bytes(TIFFTAG_RICHTIFFIPTC, TIFF_UNDEFINED, fixtureIptcBlock()));
    }
    if (parts.icc) {
        page.main.push_back(bytes(TIFFTAG_ICCPROFILE, TIFF_UNDEFINED, fixtureIccProfile()));
    }
    if (parts.geoTiff) {
        page.main.push_back(doubles(33550, {0.5, 0.5, 0}));
        page.main.push_back(doubles(33922, {0, 0, 0, 440720, 3751320, 0}));
        page.main.push_back(shorts(34735, {1, 1, 0, 3, 1024, 0, 1, 2, 1025, 0, 1, 1, 3072, 0, 1, 32611}));
        page.main.push_back(ascii(34737, "NAD27 / UTM zone 11N|"));
    }
    if (parts.exif) {
        page.exif = exifEntries();
    }
    return page;
}

Entry* find(std::vector<Entry>& entries, std::uint16_t tag)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [tag](const Entry& e) { return e.tag == tag; });
    return it == entries.end() ? nullptr : &*it;
}

BrokenMetadataTiff broken(const QString& name, std::uint16_t tag, bool inExif, const QString& reason,
                          MetadataParts parts, const std::function<void(Page&)>& damage)
{
    parts.text = true;
    Page damaged = page(parts);
    damage(damaged);
    return {name, tag, inExif, reason, Writer(ByteOrder::Little).write(damaged)};
}

} // namespace

QByteArray fixtureIccProfile()
{
    QByteArray profile(200, '\0');
    qToBigEndian<std::uint32_t>(200, profile.data());
    profile.replace(12, 4, "mntr");
    profile.replace(16, 4, "RGB ");
    profile.replace(20, 4, "XYZ ");
    profile.replace(36, 4, "acsp");
    for (int i = 132; i < 200; ++i) {
        profile[i] = static_cast<char>(i);
    }
    return profile;
}

QByteArray fixtureIptcBlock()
{
    QByteArray block = iptcRecords();
    // Whole 32-bit words, as editors write it, and a NUL after the last record in any case.
    block.append(QByteArray(4 - block.size() % 4, '\0'));
    return block;
}

QByteArray metadataTiff(const MetadataParts& parts, ByteOrder order)
{
    return Writer(order).write(page(parts));
}

std::vector<MetadataTiff> wellFormedMetadataTiffs()
{
    const std::vector<std::pair<QString, MetadataParts>> kinds{
        {"text", {.text = true, .resolution = true}},
        {"exif", {.text = true, .exif = true}},
        {"iptc", {.iptc = true}},
        {"xmp", {.xmp = true}},
        {"geotiff", {.geoTiff = true}},
        {"icc", {.icc = true}},
        {"icc-and-exif", {.exif = true, .icc = true}},
        {"everything", {true, true, true, true, true, true, true}},
    };
    std::vector<MetadataTiff> pages;
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const auto& [name, parts] : kinds) {
            const QString file = name + (order == ByteOrder::Big ? "-big-endian.tif" : ".tif");
            pages.push_back({file, parts, order, metadataTiff(parts, order)});
        }
    }
    return pages;
}

std::vector<BrokenMetadataTiff> brokenMetadataTiffs()
{
    const MetadataParts withIptc{.exif = true, .iptc = true};
    const MetadataParts withIcc{.exif = true, .icc = true};
    const MetadataParts withXmp{.exif = true, .xmp = true};
    const MetadataParts withExif{.exif = true};
    const auto records = static_cast<std::uint32_t>(iptcRecords().size());
    return {
        // The block's values are the last bytes of this file, so four times their length is past its end.
        broken("iptc-long-counted-in-bytes.tif", TIFFTAG_RICHTIFFIPTC, false, "past the end", {.iptc = true},
               [records](Page& p) {
                   Entry* iptc = find(p.main, TIFFTAG_RICHTIFFIPTC);
                   iptc->type = TIFF_LONG;
                   iptc->count = records; // bytes, where 32-bit words are declared
               }),
        broken("iptc-long-cut-short.tif", TIFFTAG_RICHTIFFIPTC, false, "runs past the end of the", withIptc,
               [records](Page& p) {
                   Entry* iptc = find(p.main, TIFFTAG_RICHTIFFIPTC);
                   iptc->type = TIFF_LONG;
                   iptc->count = records / 4 - 1; // whole words that stop inside the last record
               }),
        broken("iptc-as-shorts.tif", TIFFTAG_RICHTIFFIPTC, false, "not bytes", withIptc,
               [](Page& p) {
                   Entry* iptc = find(p.main, TIFFTAG_RICHTIFFIPTC);
                   iptc->type = TIFF_SHORT;
                   iptc->count /= 2;
               }),
        broken("icc-size-not-its-header.tif", TIFFTAG_ICCPROFILE, false, "header declares", withIcc,
               [](Page& p) {
                   Entry* icc = find(p.main, TIFFTAG_ICCPROFILE);
                   icc->values.chop(40);
                   icc->count -= 40;
               }),
        broken("icc-past-the-end.tif", TIFFTAG_ICCPROFILE, false, "past the end", withIcc,
               [](Page& p) { find(p.main, TIFFTAG_ICCPROFILE)->count = 0x100000; }),
        broken("xmp-as-rationals.tif", TIFFTAG_XMLPACKET, false, "type", withXmp,
               [](Page& p) {
                   Entry* xmp = find(p.main, TIFFTAG_XMLPACKET);
                   xmp->type = TIFF_RATIONAL;
                   xmp->count = static_cast<std::uint32_t>(xmp->values.size() / 8);
               }),
        broken("xmp-not-text.tif", TIFFTAG_XMLPACKET, false, "not text", withXmp,
               [](Page& p) { find(p.main, TIFFTAG_XMLPACKET)->values[10] = '\x01'; }),
        broken("exif-offset-past-the-end.tif", TIFFTAG_EXIFIFD, false, "outside the file", withExif,
               [](Page& p) { p.link = ExifLink::PastEnd; }),
        broken("exif-loops-to-the-page.tif", TIFFTAG_EXIFIFD, false, "points back", withExif,
               [](Page& p) { p.link = ExifLink::MainDirectory; }),
        broken("exif-directory-truncated.tif", TIFFTAG_EXIFIFD, false, "more than the file holds", withExif,
               [](Page& p) { p.link = ExifLink::Truncated; }),
        broken("exif-comment-past-the-end.tif", 37510, true, "past the end", withExif,
               [](Page& p) { find(p.exif, 37510)->count = 0x100000; }),
        broken("exif-exposure-counted-twice.tif", 33434, true, "values are expected", withExif,
               [](Page& p) { find(p.exif, 33434)->count = 2; }),
        broken("artist-as-shorts.tif", TIFFTAG_ARTIST, false, "type", withExif,
               [](Page& p) { find(p.main, TIFFTAG_ARTIST)->type = TIFF_SHORT; }),
    };
}

} // namespace fixtures

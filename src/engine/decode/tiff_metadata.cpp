#include "engine/decode/tiff_metadata.h"

#include "engine/decode/tiff_ifd_entries.h"
#include "engine/decode/tiff_iptc.h"
#include "engine/decode/tiff_tag_names.h"
#include "engine/decode/tiff_tag_values.h"

#include <QByteArray>
#include <QStringDecoder>

#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace {

// What a tag's value must be made of, whatever numeric width it is stored in.
enum class TypeClass : std::uint8_t { Text, Bytes, Integer, Real, Unknown };

TypeClass typeClass(int type)
{
    switch (type) {
    case TIFF_ASCII:
        return TypeClass::Text;
    case TIFF_BYTE:
    case TIFF_SBYTE:
    case TIFF_UNDEFINED:
        return TypeClass::Bytes;
    case TIFF_SHORT:
    case TIFF_SSHORT:
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_LONG8:
    case TIFF_SLONG8:
    case TIFF_IFD:
    case TIFF_IFD8:
        return TypeClass::Integer;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_FLOAT:
    case TIFF_DOUBLE:
        return TypeClass::Real;
    default:
        return TypeClass::Unknown;
    }
}

// Whether values written as `declared` can stand for a tag defined as `expected`: libtiff turns
// one width into another, but not text into numbers or numbers into text.
bool typeFits(int declared, int expected)
{
    const TypeClass have = typeClass(declared);
    switch (typeClass(expected)) {
    case TypeClass::Text:
    case TypeClass::Bytes:
        return have == TypeClass::Text || have == TypeClass::Bytes;
    case TypeClass::Integer:
        return have == TypeClass::Integer || declared == TIFF_BYTE || declared == TIFF_SBYTE;
    case TypeClass::Real:
        return have == TypeClass::Real || have == TypeClass::Integer || declared == TIFF_BYTE;
    case TypeClass::Unknown:
        return false;
    }
    return false;
}

// The tags read for their own model, with the words that name them to a user.
struct SpecialTag {
    ttag_t id;
    const char* what;
};
constexpr std::array<SpecialTag, 4> specialTags{{
    {TIFFTAG_RICHTIFFIPTC, "IPTC block"},
    {TIFFTAG_ICCPROFILE, "ICC profile"},
    {TIFFTAG_XMLPACKET, "XMP packet"},
    {TIFFTAG_EXIFIFD, "EXIF directory"},
}};

// The GeoTIFF tags, with the type each must have.
struct GeoTiffTag {
    ttag_t id;
    TIFFDataType type;
};
constexpr std::array<GeoTiffTag, 8> geoTiffTags{{
    {33550, TIFF_DOUBLE}, // pixel scale
    {33920, TIFF_DOUBLE}, // Intergraph matrix
    {34264, TIFF_DOUBLE}, // transformation matrix
    {33922, TIFF_DOUBLE}, // tie points
    {34735, TIFF_SHORT},  // key directory
    {34736, TIFF_DOUBLE}, // double parameters
    {34737, TIFF_ASCII},  // ASCII parameters
    {34263, TIFF_LONG},   // JPL carto IFD offset
}};
constexpr ttag_t geoKeyDirectoryTag = 34735;

std::optional<TIFFDataType> geoTiffType(ttag_t id)
{
    for (const GeoTiffTag& tag : geoTiffTags) {
        if (tag.id == id) {
            return tag.type;
        }
    }
    return std::nullopt;
}

bool describesPixels(ttag_t id)
{
    switch (id) {
    case TIFFTAG_IMAGEWIDTH:
    case TIFFTAG_IMAGELENGTH:
    case TIFFTAG_BITSPERSAMPLE:
    case TIFFTAG_COMPRESSION:
    case TIFFTAG_PHOTOMETRIC:
    case TIFFTAG_STRIPOFFSETS:
    case TIFFTAG_ORIENTATION:
    case TIFFTAG_SAMPLESPERPIXEL:
    case TIFFTAG_ROWSPERSTRIP:
    case TIFFTAG_STRIPBYTECOUNTS:
    case TIFFTAG_XRESOLUTION:
    case TIFFTAG_YRESOLUTION:
    case TIFFTAG_PLANARCONFIG:
    case TIFFTAG_RESOLUTIONUNIT:
    case TIFFTAG_TRANSFERFUNCTION:
    case TIFFTAG_JPEGIFOFFSET:
    case TIFFTAG_JPEGIFBYTECOUNT:
    case TIFFTAG_YCBCRCOEFFICIENTS:
    case TIFFTAG_YCBCRSUBSAMPLING:
    case TIFFTAG_YCBCRPOSITIONING:
    case TIFFTAG_REFERENCEBLACKWHITE:
        return true;
    default:
        return false;
    }
}

// An ICC profile is at least its 128-byte header, whose first field is the profile's size and
// which carries the "acsp" signature at byte 36.
QString iccProblem(const QByteArray& profile)
{
    if (profile.size() < 128) {
        return QStringLiteral("its %1 bytes are shorter than a profile header").arg(profile.size());
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(profile.constData());
    const std::uint32_t declared =
        (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
    if (declared != static_cast<std::uint32_t>(profile.size())) {
        return QStringLiteral("its header declares %1 bytes but the tag holds %2").arg(declared).arg(profile.size());
    }
    if (std::memcmp(bytes + 36, "acsp", 4) != 0) {
        return QStringLiteral("it lacks the profile signature");
    }
    return {};
}

// XMP is UTF-8 text; writers may pad it with NUL bytes.
QString xmpProblem(const QByteArray& packet)
{
    qsizetype end = packet.size();
    while (end > 0 && packet.at(end - 1) == '\0') {
        --end;
    }
    for (qsizetype i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(packet.at(i));
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            return QStringLiteral("it holds a control byte (0x%1) at byte %2, so it is not text")
                .arg(byte, 2, 16, QLatin1Char('0'))
                .arg(i);
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(QByteArrayView(packet.constData(), end));
    if (utf8.hasError()) {
        return QStringLiteral("it is not UTF-8 text");
    }
    return {};
}

// One page's metadata, read once.
class PageMetadataReader {
  public:
    PageMetadataReader(TIFF* tiff, const Bitmap& page, std::vector<QString>* warnings)
        : tiff_(tiff), page_(page), warnings_(warnings), pageNumber_(TIFFCurrentDirectory(tiff) + 1),
          fileSize_(tiffFileSize(tiff))
    {
    }

    void read(bool withColourProfile)
    {
        readResolution(page_, tiff_);
        const tdir_t directory = TIFFCurrentDirectory(tiff_);
        const std::uint64_t mainOffset = TIFFCurrentDirOffset(tiff_);
        QString problem;
        const auto entries = readIfdEntries(tiff_, mainOffset, &problem);
        if (!entries) {
            warn(QStringLiteral("Page %1: metadata dropped: %2.").arg(pageNumber_).arg(problem));
            return;
        }
        checkEntries(*entries, false);
        // Copied now: the EXIF directory below replaces the directory libtiff's pointers belong to.
        const QByteArray profile = specialBytes(TIFFTAG_ICCPROFILE, iccProblem);
        attachIptc();
        const QByteArray packet = specialBytes(TIFFTAG_XMLPACKET, xmpProblem);
        if (!packet.isNull()) {
            setTagValue(page_, FIMD_XMP, "XMLPacket", TIFFTAG_XMLPACKET, FIDT_ASCII, static_cast<DWORD>(packet.size()),
                        static_cast<DWORD>(packet.size()), packet.constData());
        }
        attachGeoTiff();
        attachDirectoryTags(FIMD_EXIF_MAIN, false);
        attachExifDirectory(directory, mainOffset);
        if (!withColourProfile) {
            FreeImage_SetMetadata(FIMD_EXIF_MAIN, page_.get(), "InterColorProfile", nullptr);
        } else if (!profile.isEmpty()) {
            FreeImage_CreateICCProfile(page_.get(), const_cast<char*>(profile.constData()),
                                       static_cast<long>(profile.size()));
        }
    }

  private:
    void warn(const QString& sentence)
    {
        if (warnings_ != nullptr) {
            warnings_->push_back(sentence);
        }
    }

    QString tagWords(ttag_t id, bool inExif) const
    {
        for (const SpecialTag& special : specialTags) {
            if (special.id == id && !inExif) {
                return QStringLiteral("%1 (tag %2)").arg(QLatin1String(special.what)).arg(id);
            }
        }
        const char* name = exifTagName(static_cast<std::uint16_t>(id));
        if (name == nullptr && !inExif) {
            name = geoTiffTagName(static_cast<std::uint16_t>(id));
        }
        return QStringLiteral("%1tag %2 (%3)")
            .arg(inExif ? QStringLiteral("EXIF ") : QString())
            .arg(id)
            .arg(QLatin1String(name != nullptr ? name : "unnamed"));
    }

    void reject(ttag_t id, bool inExif, const QString& why)
    {
        if (rejected_.insert({id, inExif}).second) {
            warn(QStringLiteral("Page %1: %2 dropped: %3.").arg(pageNumber_).arg(tagWords(id, inExif), why));
        }
    }

    bool rejected(ttag_t id, bool inExif) const { return rejected_.count({id, inExif}) != 0; }

    // Whether the tag is one this reader keeps from the directory: the GeoTIFF tags, the tags with
    // a model of their own and every EXIF-named tag, but those describing the pixels, which are
    // the pixel reader's to check.
    static bool kept(ttag_t id, bool inExif)
    {
        if (!inExif) {
            for (const SpecialTag& special : specialTags) {
                if (special.id == id) {
                    return true;
                }
            }
            if (geoTiffType(id)) {
                return true;
            }
        }
        const bool named = exifTagName(static_cast<std::uint16_t>(id)) != nullptr;
        return named && (inExif || (id != TIFFTAG_GPSIFD && !describesPixels(id)));
    }

    // The declared type and count of each kept entry against the tag's definition, and its values
    // against the file's end.
    void checkEntries(const std::vector<IfdEntry>& entries, bool inExif)
    {
        for (const IfdEntry& entry : entries) {
            if (!kept(entry.tag, inExif)) {
                continue;
            }
            const QString range = entryRangeProblem(tiff_, entry, fileSize_);
            if (!range.isEmpty()) {
                reject(entry.tag, inExif, range);
                continue;
            }
            const QString type = typeProblem(entry, inExif);
            if (!type.isEmpty()) {
                reject(entry.tag, inExif, type);
                continue;
            }
            // libtiff keeps a rational as a float, which cannot give back 1/250 or 28/10.
            exactRationals_[{entry.tag, inExif}] = readRationals(tiff_, entry);
        }
    }

    QString typeProblem(const IfdEntry& entry, bool inExif) const
    {
        const auto declared = QStringLiteral("it is declared as %1 values of type %2").arg(entry.count).arg(entry.type);
        if (!inExif && entry.tag == TIFFTAG_RICHTIFFIPTC) {
            // Many editors write the block as 32-bit words; it is bytes all the same.
            return typeClass(entry.type) == TypeClass::Bytes || entry.type == TIFF_LONG
                       ? QString()
                       : declared + QStringLiteral(", not bytes");
        }
        if (!inExif && (entry.tag == TIFFTAG_EXIFIFD)) {
            const bool offsetType = entry.type == TIFF_LONG || entry.type == TIFF_IFD || entry.type == TIFF_LONG8 ||
                                    entry.type == TIFF_IFD8;
            return offsetType && entry.count == 1 ? QString() : declared + QStringLiteral(", not one offset");
        }
        const std::optional<TIFFDataType> geo = inExif ? std::nullopt : geoTiffType(entry.tag);
        const TIFFField* field = TIFFFindField(tiff_, entry.tag, TIFF_ANY);
        if (field == nullptr || (TIFFFieldIsAnonymous(field) != 0 && !geo)) {
            return {}; // libtiff keeps it as written
        }
        const int expected = geo ? *geo : TIFFFieldDataType(field);
        if (!typeFits(entry.type, expected)) {
            return declared + QStringLiteral(", where type %1 is expected").arg(expected);
        }
        const int readCount = geo ? TIFF_VARIABLE : TIFFFieldReadCount(field);
        if (readCount > 0) {
            // A fixed-size text may come without its closing NUL, which libtiff adds.
            const bool fits = entry.count == static_cast<std::uint64_t>(readCount) ||
                              (expected == TIFF_ASCII && entry.count + 1 == static_cast<std::uint64_t>(readCount));
            if (!fits) {
                return declared + QStringLiteral(", where %1 values are expected").arg(readCount);
            }
        }
        return {};
    }

    // The bytes of a byte-array tag, copied; null when absent or rejected by `problemOf`.
    QByteArray specialBytes(ttag_t id, QString (*problemOf)(const QByteArray&))
    {
        if (rejected(id, false)) {
            return {};
        }
        const std::optional<QByteArray> bytes = byteArrayTag(tiff_, id);
        if (!bytes) {
            return {};
        }
        const QString problem = problemOf(*bytes);
        if (!problem.isEmpty()) {
            reject(id, false, problem);
            return {};
        }
        return *bytes;
    }

    void attachIptc()
    {
        const QByteArray block = specialBytes(TIFFTAG_RICHTIFFIPTC, iptcProblem);
        if (!block.isNull()) {
            attachIptcRecords(page_, block);
        }
    }

    void attachGeoTiff()
    {
        if (rejected(geoKeyDirectoryTag, false) || TIFFFindField(tiff_, geoKeyDirectoryTag, TIFF_ANY) == nullptr ||
            !tagIsSet(tiff_, geoKeyDirectoryTag)) {
            return;
        }
        for (const GeoTiffTag& geo : geoTiffTags) {
            if (rejected(geo.id, false) || !tagIsSet(tiff_, geo.id)) {
                continue;
            }
            const TIFFField* field = TIFFFindField(tiff_, geo.id, TIFF_ANY);
            if (field == nullptr || TIFFFieldDataType(field) != geo.type) {
                reject(geo.id, false,
                       QStringLiteral("libtiff holds it with type %1, not %2")
                           .arg(field != nullptr ? TIFFFieldDataType(field) : 0)
                           .arg(geo.type));
                continue;
            }
            const char* key = geoTiffTagName(static_cast<std::uint16_t>(geo.id));
            attachGeoTiffTag(page_, tiff_, field, key);
        }
    }

    // Every kept tag libtiff holds for the current directory, into `model`.
    void attachDirectoryTags(FREE_IMAGE_MDMODEL model, bool inExif)
    {
        const int count = TIFFGetTagListCount(tiff_);
        for (int i = 0; i < count; ++i) {
            const auto id = static_cast<ttag_t>(TIFFGetTagListEntry(tiff_, i));
            const char* key = exifTagName(static_cast<std::uint16_t>(id));
            if (key == nullptr || rejected(id, inExif) || id == TIFFTAG_EXIFIFD || (id == TIFFTAG_GPSIFD && !inExif)) {
                continue;
            }
            attachTagValue(page_, tiff_, id, model, key, exactRationals_[{id, inExif}]);
        }
    }

    void attachExifDirectory(tdir_t directory, std::uint64_t mainOffset)
    {
        std::uint64_t offset = 0;
        if (rejected(TIFFTAG_EXIFIFD, false) || TIFFGetField(tiff_, TIFFTAG_EXIFIFD, &offset) == 0) {
            return;
        }
        if (offset == mainOffset) {
            reject(TIFFTAG_EXIFIFD, false, QStringLiteral("it points back at the page's own directory"));
            return;
        }
        QString problem;
        const auto entries = readIfdEntries(tiff_, offset, &problem);
        if (!entries) {
            reject(TIFFTAG_EXIFIFD, false, problem);
            return;
        }
        if (TIFFReadEXIFDirectory(tiff_, offset) != 0) {
            checkEntries(*entries, true);
            attachDirectoryTags(FIMD_EXIF_EXIF, true);
        }
        if (TIFFSetDirectory(tiff_, directory) == 0) {
            warn(QStringLiteral("Page %1: its directory could not be read again after its EXIF directory.")
                     .arg(pageNumber_));
        }
    }

    TIFF* tiff_;
    const Bitmap& page_;
    std::vector<QString>* warnings_;
    int pageNumber_;
    std::uint64_t fileSize_;
    std::set<std::pair<ttag_t, bool>> rejected_; // (tag, in the EXIF directory)
    std::map<std::pair<ttag_t, bool>, std::vector<std::pair<std::uint32_t, std::uint32_t>>> exactRationals_;
};

} // namespace

void attachTiffMetadata(TIFF* tiff, const Bitmap& page, bool withColourProfile, std::vector<QString>* warnings)
{
    if (tiff == nullptr || !page) {
        return;
    }
    PageMetadataReader(tiff, page, warnings).read(withColourProfile);
}

#include "engine/core/page_metadata.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>

#include <array>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr WORD orientationTagId = 0x0112;

struct TagDeleter {
    void operator()(FITAG* tag) const { FreeImage_DeleteTag(tag); }
};
using TagHandle = std::unique_ptr<FITAG, TagDeleter>;

struct TextTag {
    ttag_t tiffTag;
    const char* key;        // FreeImage's key in the TIFF/EXIF main model
    const char* pngKeyword; // the PNG text keyword of the same meaning
};

constexpr std::array<TextTag, 4> textTags{{
    {TIFFTAG_IMAGEDESCRIPTION, "ImageDescription", "Description"},
    {TIFFTAG_ARTIST, "Artist", "Author"},
    {TIFFTAG_COPYRIGHT, "Copyright", "Copyright"},
    {TIFFTAG_DATETIME, "DateTime", "Creation Time"},
}};

// The profile's colour space signature (bytes 16 to 19) when the profile is well-formed: long
// enough, with the "acsp" signature and a size field that matches. Empty otherwise.
QByteArray profileColourSpace(const FIICCPROFILE* profile)
{
    constexpr long headerSize = 128;
    if (profile == nullptr || profile->data == nullptr || profile->size < headerSize + 4) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(profile->data);
    const std::uint32_t declared =
        (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
    if (declared != static_cast<std::uint32_t>(profile->size) || std::memcmp(bytes + 36, "acsp", 4) != 0) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes + 16), 4);
}

QByteArray colourSpaceOf(FIBITMAP* image)
{
    switch (FreeImage_GetColorType(image)) {
    case FIC_MINISBLACK:
    case FIC_MINISWHITE:
        return QByteArrayLiteral("GRAY");
    case FIC_CMYK:
        return QByteArrayLiteral("CMYK");
    default:
        return QByteArrayLiteral("RGB ");
    }
}

bool sameProfile(const FIICCPROFILE* a, const FIICCPROFILE* b)
{
    return a != nullptr && b != nullptr && a->size == b->size && a->size > 0 &&
           std::memcmp(a->data, b->data, static_cast<std::size_t>(a->size)) == 0;
}

void applyColourProfile(FIBITMAP* carrier, FIBITMAP* image, bool keepsCmykProfile)
{
    FIICCPROFILE* kept = FreeImage_GetICCProfile(carrier);
    if (sameProfile(kept, FreeImage_GetICCProfile(image))) {
        return;
    }
    const QByteArray space = profileColourSpace(kept);
    // Only a page bound for a CMYK format keeps its CMYK decode, and with it its CMYK profile.
    const bool cmykKept = space == "CMYK" && keepsCmykProfile;
    if (space.isEmpty() || (space != colourSpaceOf(image) && !cmykKept)) {
        // A profile of another colour space would misdescribe the pixels (and PNG writers refuse it).
        FreeImage_DestroyICCProfile(image);
        return;
    }
    FreeImage_CreateICCProfile(image, kept->data, kept->size);
}

// The pixels are upright by now, so no tag may ask a viewer to turn them again.
void dropOrientation(FIBITMAP* image)
{
    FreeImage_SetMetadata(FIMD_EXIF_MAIN, image, "Orientation", nullptr);
    FITAG* xmp = nullptr;
    if (FreeImage_GetMetadata(FIMD_XMP, image, "XMLPacket", &xmp) && FreeImage_GetTagValue(xmp) != nullptr) {
        const QByteArray packet(static_cast<const char*>(FreeImage_GetTagValue(xmp)),
                                static_cast<qsizetype>(FreeImage_GetTagLength(xmp)));
        const QRegularExpression orientation(QStringLiteral(R"((?<=tiff:Orientation=["']|<tiff:Orientation>)[2-8])"));
        QString text = QString::fromUtf8(packet);
        if (text.contains(orientation)) {
            text.replace(orientation, QStringLiteral("1"));
            const QByteArray upright = text.toUtf8();
            const TagHandle tag(FreeImage_CloneTag(xmp));
            FreeImage_SetTagCount(tag.get(), static_cast<DWORD>(upright.size()));
            FreeImage_SetTagLength(tag.get(), static_cast<DWORD>(upright.size()));
            FreeImage_SetTagValue(tag.get(), upright.constData());
            FreeImage_SetMetadata(FIMD_XMP, image, "XMLPacket", tag.get());
        }
    }
}

// The raw EXIF block a JPEG stream brought along (written back as it is by the JPEG and WebP
// writers): its IFD0 Orientation, if any, is set to 1 (top-left).
void uprightRawExif(FIBITMAP* image)
{
    FITAG* raw = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, image, "ExifRaw", &raw) || FreeImage_GetTagValue(raw) == nullptr) {
        return;
    }
    QByteArray block(static_cast<const char*>(FreeImage_GetTagValue(raw)),
                     static_cast<qsizetype>(FreeImage_GetTagLength(raw)));
    const qsizetype base = block.startsWith(QByteArrayLiteral("Exif\0\0")) ? 6 : 0;
    if (block.size() < base + 8) {
        return;
    }
    const bool little = block.at(base) == 'I';
    const auto read = [&block, little](qsizetype at, int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const auto byte = static_cast<std::uint8_t>(block.at(at + (little ? bytes - 1 - i : i)));
            value = (value << 8) | byte;
        }
        return value;
    };
    const qsizetype ifd = base + static_cast<qsizetype>(read(base + 4, 4));
    if (ifd < base || ifd + 2 > block.size()) {
        return;
    }
    const std::uint32_t entries = read(ifd, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const qsizetype entry = ifd + 2 + static_cast<qsizetype>(i) * 12;
        if (entry + 12 > block.size()) {
            return;
        }
        if (read(entry, 2) == orientationTagId && read(entry + 2, 2) == 3 && read(entry + 8, 2) != 1) {
            block[entry + 8 + (little ? 0 : 1)] = 1;
            block[entry + 8 + (little ? 1 : 0)] = 0;
            const TagHandle tag(FreeImage_CloneTag(raw));
            FreeImage_SetTagValue(tag.get(), block.constData());
            FreeImage_SetMetadata(FIMD_EXIF_RAW, image, "ExifRaw", tag.get());
            return;
        }
    }
}

// The TIFF text tags as the comments the PNG writer (keyword and text) and the JPEG writer (one
// comment: the description) store.
void addTextComments(FIBITMAP* image, TextTagCarrier carrier)
{
    const bool png = carrier == TextTagCarrier::PngKeywords;
    if (!png && carrier != TextTagCarrier::JpegComment) {
        return;
    }
    for (const TextTag& text : textTags) {
        FITAG* tag = nullptr;
        if (!png && text.tiffTag != TIFFTAG_IMAGEDESCRIPTION) {
            continue;
        }
        if (FreeImage_GetMetadata(FIMD_EXIF_MAIN, image, text.key, &tag) && FreeImage_GetTagType(tag) == FIDT_ASCII &&
            FreeImage_GetTagValue(tag) != nullptr) {
            const QByteArray value(static_cast<const char*>(FreeImage_GetTagValue(tag)),
                                   static_cast<qsizetype>(FreeImage_GetTagLength(tag)));
            const QByteArray trimmed = value.left(value.indexOf('\0') < 0 ? value.size() : value.indexOf('\0'));
            if (!trimmed.isEmpty()) {
                FreeImage_SetMetadataKeyValue(FIMD_COMMENTS, image, png ? text.pngKeyword : "Comment",
                                              trimmed.constData());
            }
        }
    }
}

} // namespace

Bitmap applyTiffOrientation(Bitmap page, int orientation)
{
    // Angles count counter-clockwise; each case undoes what the stored order did to the picture.
    switch (orientation) {
    case 2:
        FreeImage_FlipHorizontal(page.get());
        break;
    case 3:
        page = Bitmap(FreeImage_Rotate(page.get(), 180, nullptr));
        break;
    case 4:
        FreeImage_FlipVertical(page.get());
        break;
    case 5:
        page = Bitmap(FreeImage_Rotate(page.get(), 90, nullptr));
        FreeImage_FlipVertical(page.get());
        break;
    case 6:
        page = Bitmap(FreeImage_Rotate(page.get(), -90, nullptr));
        break;
    case 7:
        page = Bitmap(FreeImage_Rotate(page.get(), -90, nullptr));
        FreeImage_FlipVertical(page.get());
        break;
    case 8:
        page = Bitmap(FreeImage_Rotate(page.get(), 90, nullptr));
        break;
    default:
        break;
    }
    return page;
}

PageMetadata::PageMetadata(const Bitmap& page)
{
    if (!page) {
        return;
    }
    carrier_.reset(FreeImage_Allocate(1, 1, 8));
    if (!carrier_) {
        return;
    }
    FreeImage_CloneMetadata(carrier_.get(), page.get());
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(page.get());
    if (profile != nullptr && profile->data != nullptr && profile->size > 0) {
        FreeImage_CreateICCProfile(carrier_.get(), profile->data, profile->size);
    }
}

void PageMetadata::applyTo(const Bitmap& image, const CarriedMetadata& carried) const
{
    if (!carrier_ || !image) {
        return;
    }
    FreeImage_CloneMetadata(image.get(), carrier_.get());
    applyColourProfile(carrier_.get(), image.get(), carried.cmykProfile);
    dropOrientation(image.get());
    uprightRawExif(image.get());
    addTextComments(image.get(), carried.textTags);
}

void stripColourProfile(const Bitmap& image)
{
    if (image) {
        FreeImage_DestroyICCProfile(image.get());
    }
}

void stripMetadata(const Bitmap& image)
{
    if (!image) {
        return;
    }
    for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model) {
        FreeImage_SetMetadata(static_cast<FREE_IMAGE_MDMODEL>(model), image.get(), nullptr, nullptr);
    }
    FreeImage_DestroyICCProfile(image.get());
}

bool writeTiffTextTags(const Bitmap& image, const QString& path)
{
    std::vector<std::pair<ttag_t, QByteArray>> texts;
    for (const TextTag& text : textTags) {
        FITAG* tag = nullptr;
        if (FreeImage_GetMetadata(FIMD_EXIF_MAIN, image.get(), text.key, &tag) &&
            FreeImage_GetTagType(tag) == FIDT_ASCII && FreeImage_GetTagValue(tag) != nullptr) {
            const QByteArray value(static_cast<const char*>(FreeImage_GetTagValue(tag)),
                                   static_cast<qsizetype>(FreeImage_GetTagLength(tag)));
            texts.emplace_back(text.tiffTag, value.left(value.indexOf('\0') < 0 ? value.size() : value.indexOf('\0')));
        }
    }
    if (texts.empty()) {
        return true;
    }
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(QFile::encodeName(path).constData(), "r+"), TIFFClose);
    if (!tiff) {
        return false;
    }
    for (const auto& [tag, value] : texts) {
        TIFFSetField(tiff.get(), tag, value.constData());
    }
    return TIFFRewriteDirectory(tiff.get()) != 0;
}

#include "engine/decode/tiff_metadata.h"

#include "support/metadata_tiffs.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using fixtures::ByteOrder;

// One metadata tag as a writer sees it.
struct Tag {
    int model = 0;
    std::string key;
    int id = 0;
    int type = 0;
    unsigned count = 0;
    unsigned length = 0;
    std::string value;

    bool operator==(const Tag&) const = default;
    friend void PrintTo(const Tag& tag, std::ostream* out)
    {
        *out << "model " << tag.model << " " << tag.key << " id " << tag.id << " type " << tag.type << " count "
             << tag.count << " length " << tag.length << " value of " << tag.value.size() << " bytes";
    }
};

// Every tag of every model, in the order the models hand them out.
std::vector<Tag> tagsOf(FIBITMAP* image)
{
    std::vector<Tag> tags;
    for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model) {
        // FreeImage hands out a bad first tag for a model whose last tag was removed.
        if (FreeImage_GetMetadataCount(static_cast<FREE_IMAGE_MDMODEL>(model), image) == 0) {
            continue;
        }
        FITAG* tag = nullptr;
        FIMETADATA* walk = FreeImage_FindFirstMetadata(static_cast<FREE_IMAGE_MDMODEL>(model), image, &tag);
        if (walk == nullptr) {
            continue;
        }
        do {
            const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
            const char* key = FreeImage_GetTagKey(tag);
            tags.push_back({model, key != nullptr ? key : "(no key)", FreeImage_GetTagID(tag),
                            FreeImage_GetTagType(tag), FreeImage_GetTagCount(tag), FreeImage_GetTagLength(tag),
                            value != nullptr ? std::string(value, FreeImage_GetTagLength(tag)) : std::string()});
        } while (FreeImage_FindNextMetadata(walk, &tag));
        FreeImage_FindCloseMetadata(walk);
    }
    return tags;
}

QByteArray profileOf(FIBITMAP* image)
{
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(image);
    return profile != nullptr && profile->data != nullptr
               ? QByteArray(static_cast<const char*>(profile->data), profile->size)
               : QByteArray();
}

// FreeImage rebuilds a rational from libtiff's float and gets 1/250 wrong (as 249/1); ours are
// the file's own terms, checked in KeepsWhatTheFileSays.
std::vector<Tag> withoutRationalValues(std::vector<Tag> tags)
{
    for (Tag& tag : tags) {
        if (tag.type == FIDT_RATIONAL) {
            tag.value.clear();
        }
    }
    return tags;
}

const Tag* findTag(const std::vector<Tag>& tags, int model, const std::string& key)
{
    for (const Tag& tag : tags) {
        if (tag.model == model && tag.key == key) {
            return &tag;
        }
    }
    return nullptr;
}

struct Read {
    Bitmap page;
    std::vector<QString> warnings;
    bool directoryKept = false; // the page's directory is current again, its pixels readable
};

class TiffMetadataTest : public ::testing::Test {
  protected:
    QString save(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static Read readWithUs(const QString& path, bool withColourProfile = true)
    {
        Read read;
        const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(QFile::encodeName(path).constData(), "rm"),
                                                          TIFFClose);
        if (!tiff) {
            ADD_FAILURE() << "libtiff cannot open " << path.toStdString();
            return read;
        }
        read.page.reset(FreeImage_Allocate(4, 3, 8));
        attachTiffMetadata(tiff.get(), read.page, withColourProfile, &read.warnings);
        std::uint32_t width = 0;
        std::vector<unsigned char> row(static_cast<std::size_t>(TIFFScanlineSize(tiff.get())) + 1);
        read.directoryKept = TIFFCurrentDirectory(tiff.get()) == 0 &&
                             TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) == 1 && width == 4 &&
                             TIFFReadScanline(tiff.get(), row.data(), 2) == 1 && row[1] == 9 * 20;
        return read;
    }

    QTemporaryDir dir_;
};

// FreeImage's own TIFF loader on the same little-endian files is the reference for every model,
// the resolution and the profile. It is not run on a page with a profile beside an EXIF directory
// (it copies that profile from freed memory, which the sanitizer pass reports), nor on big-endian
// files (it byte-swaps an IPTC block past its end): those must give what their little-endian twins
// give, and their models are each compared on the fixtures that carry them without the other.
TEST_F(TiffMetadataTest, GivesTheModelsFreeImageGives)
{
    std::map<QString, std::vector<Tag>> littleTags;
    for (const fixtures::MetadataTiff& fixture : fixtures::wellFormedMetadataTiffs()) {
        SCOPED_TRACE(fixture.name.toStdString());
        const QString path = save(fixture.name, fixture.bytes);
        const Read ours = readWithUs(path);
        EXPECT_TRUE(ours.warnings.empty()) << ours.warnings.front().toStdString();
        EXPECT_TRUE(ours.directoryKept);
        const std::vector<Tag> tags = tagsOf(ours.page.get());
        EXPECT_EQ(profileOf(ours.page.get()), fixture.parts.icc ? fixtures::fixtureIccProfile() : QByteArray());
        QString twin = fixture.name;
        twin.replace(QStringLiteral("-big-endian"), QString());
        if (fixture.order == ByteOrder::Big) {
            EXPECT_EQ(tags, littleTags.at(twin));
            continue;
        }
        littleTags[fixture.name] = tags;
        if (fixture.parts.icc && fixture.parts.exif) {
            continue;
        }
        const Bitmap theirs(FreeImage_Load(FIF_TIFF, QFile::encodeName(path).constData(), 0));
        ASSERT_TRUE(theirs);
        EXPECT_EQ(withoutRationalValues(tags), withoutRationalValues(tagsOf(theirs.get())));
        EXPECT_EQ(FreeImage_GetDotsPerMeterX(ours.page.get()), FreeImage_GetDotsPerMeterX(theirs.get()));
        EXPECT_EQ(FreeImage_GetDotsPerMeterY(ours.page.get()), FreeImage_GetDotsPerMeterY(theirs.get()));
        EXPECT_EQ(profileOf(ours.page.get()), profileOf(theirs.get()));
    }
}

// What the fixtures wrote, read back without FreeImage: the joined IPTC keywords, rationals as
// the file stores them, the XMP packet as written, the resolution in dots per metre.
TEST_F(TiffMetadataTest, KeepsWhatTheFileSays)
{
    const fixtures::MetadataParts everything{true, true, true, true, true, true, true};
    const Read read = readWithUs(save("all.tif", fixtures::metadataTiff(everything, ByteOrder::Little)));
    const std::vector<Tag> tags = tagsOf(read.page.get());
    const std::vector<std::tuple<int, std::string, std::string>> expected{
        {FIMD_IPTC, "Keywords", "harbour;dawn"},
        {FIMD_IPTC, "SupplementalCategories", "coast;morning"},
        {FIMD_IPTC, "Tag 0x0263", "unnamed dataset"},
        {FIMD_EXIF_MAIN, "Artist", std::string("A. Writer\0", 10)},
        {FIMD_EXIF_EXIF, "ExposureTime", std::string("\x01\0\0\0\xFA\0\0\0", 8)},
        {FIMD_EXIF_EXIF, "FNumber", std::string("\x1C\0\0\0\x0A\0\0\0", 8)},
        {FIMD_EXIF_EXIF, "ExposureBiasValue", std::string("\xFF\xFF\xFF\xFF\x03\0\0\0", 8)},
        {FIMD_EXIF_EXIF, "SubjectLocation", std::string("\x02\0\x01\0", 4)},
        {FIMD_GEOTIFF, "GeoASCIIParams", std::string("NAD27 / UTM zone 11N|\0", 22)},
    };
    for (const auto& [model, key, value] : expected) {
        const Tag* tag = findTag(tags, model, key);
        ASSERT_NE(tag, nullptr) << key;
        EXPECT_EQ(tag->value, value) << key;
    }
    const Tag* xmp = findTag(tags, FIMD_XMP, "XMLPacket");
    ASSERT_NE(xmp, nullptr);
    EXPECT_TRUE(QByteArray::fromStdString(xmp->value).startsWith("<?xpacket begin="));
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(read.page.get()), 7200U);
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(read.page.get()), 15000U);
}

// Pixels turned out of the profile's colours lose the profile and its copy among the tags.
TEST_F(TiffMetadataTest, LeavesTheProfileOutWhenAsked)
{
    const Read read =
        readWithUs(save("icc.tif", fixtures::metadataTiff({.text = true, .icc = true}, ByteOrder::Little)), false);
    const std::vector<Tag> tags = tagsOf(read.page.get());
    EXPECT_TRUE(profileOf(read.page.get()).isEmpty());
    EXPECT_EQ(findTag(tags, FIMD_EXIF_MAIN, "InterColorProfile"), nullptr);
    EXPECT_NE(findTag(tags, FIMD_EXIF_MAIN, "ImageDescription"), nullptr);
}

// A tag whose entry does not fit what the tag must be is left out with one warning that names the
// page, the tag and why; the rest of the page's metadata is read as usual.
TEST_F(TiffMetadataTest, DropsATagThatDoesNotFitWithAWarning)
{
    for (const fixtures::BrokenMetadataTiff& fixture : fixtures::brokenMetadataTiffs()) {
        SCOPED_TRACE(fixture.name.toStdString());
        const Read read = readWithUs(save(fixture.name, fixture.bytes));
        EXPECT_TRUE(read.directoryKept);
        ASSERT_EQ(read.warnings.size(), 1U);
        const QString& warning = read.warnings.front();
        EXPECT_TRUE(warning.startsWith(QStringLiteral("Page 1: "))) << warning.toStdString();
        EXPECT_TRUE(warning.contains(QStringLiteral("tag %1").arg(fixture.tag))) << warning.toStdString();
        EXPECT_TRUE(warning.contains(fixture.reason)) << warning.toStdString();

        const std::vector<Tag> tags = tagsOf(read.page.get());
        const int model = fixture.inExif ? FIMD_EXIF_EXIF : FIMD_EXIF_MAIN;
        for (const Tag& tag : tags) {
            EXPECT_FALSE(tag.model == model && tag.id == fixture.tag) << tag.key;
        }
        switch (fixture.tag) {
        case TIFFTAG_RICHTIFFIPTC:
            EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_IPTC, read.page.get()), 0U);
            break;
        case TIFFTAG_ICCPROFILE:
            EXPECT_TRUE(profileOf(read.page.get()).isEmpty());
            break;
        case TIFFTAG_XMLPACKET:
            EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_XMP, read.page.get()), 0U);
            break;
        case TIFFTAG_EXIFIFD:
            EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_EXIF_EXIF, read.page.get()), 0U);
            break;
        default:
            break;
        }
        if (fixture.tag != TIFFTAG_EXIFIFD && fixture.tag != TIFFTAG_RICHTIFFIPTC) {
            EXPECT_NE(findTag(tags, FIMD_EXIF_EXIF, "ISOSpeedRatings"), nullptr);
        }
        EXPECT_NE(findTag(tags, FIMD_EXIF_MAIN, "ImageDescription"), nullptr);
    }
}

} // namespace

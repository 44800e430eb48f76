// The metadata a page carries, put back on the bitmap that is written: a profile only where it
// describes the pixels, no orientation that would turn them a second time.
#include "engine/core/page_metadata.h"
#include "engine/formats/format_catalogue.h"
#include "support/tiff_fixtures.h"
#include "support/tiff_variants.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using fixtures::PageKind;

QByteArray profileOf(const Bitmap& image)
{
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(image.get());
    return profile->size > 0 ? QByteArray(static_cast<const char*>(profile->data), profile->size) : QByteArray();
}

void setProfile(const Bitmap& image, QByteArray profile)
{
    FreeImage_CreateICCProfile(image.get(), profile.data(), profile.size());
}

QByteArray withColourSpace(QByteArray profile, const char* space)
{
    profile.replace(16, 4, space);
    return profile;
}

struct ProfileCase {
    const char* name;
    PageKind written;   // the pixels that reach the writer
    QByteArray profile; // what the source page carried
    bool kept;
    friend void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.name; }
};

class ColourProfile : public testing::TestWithParam<ProfileCase> {};

TEST_P(ColourProfile, GoesOnlyWhereItDescribesThePixels)
{
    const ProfileCase& c = GetParam();
    const Bitmap source = fixtures::makePage(PageKind::Rgb24, 8, 8);
    setProfile(source, c.profile);
    const PageMetadata metadata(source);
    const Bitmap written = fixtures::makePage(c.written, 4, 4);
    metadata.applyTo(written, outputFormatFor(QStringLiteral("png")).metadata);
    EXPECT_EQ(profileOf(written), c.kept ? c.profile : QByteArray());
}

const QByteArray adobeRgb = fixtures::adobeRgbProfile();

INSTANTIATE_TEST_SUITE_P(
    Profiles, ColourProfile,
    testing::Values(ProfileCase{"rgb_on_rgb", PageKind::Rgb24, adobeRgb, true},
                    ProfileCase{"rgb_on_rgba", PageKind::Rgba32, adobeRgb, true},
                    ProfileCase{"rgb_on_grey", PageKind::Grey8, adobeRgb, false},
                    ProfileCase{"grey_on_grey", PageKind::Grey8, withColourSpace(adobeRgb, "GRAY"), true},
                    ProfileCase{"grey_on_rgb", PageKind::Rgb24, withColourSpace(adobeRgb, "GRAY"), false},
                    ProfileCase{"truncated", PageKind::Rgb24, adobeRgb.left(200), false},
                    ProfileCase{"no_signature", PageKind::Rgb24, QByteArray(adobeRgb).replace(36, 4, "xxxx"), false}),
    [](const testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

TEST(PageMetadata, ResolutionAndTextCrossTheSteps)
{
    const Bitmap source = fixtures::makePage(PageKind::Rgb24, 8, 8);
    FreeImage_SetDotsPerMeterX(source.get(), 11811);
    FreeImage_SetDotsPerMeterY(source.get(), 5906);
    FreeImage_SetMetadataKeyValue(FIMD_EXIF_MAIN, source.get(), "ImageDescription", "Sheet 4");
    const PageMetadata metadata(source);
    const Bitmap resized(FreeImage_Rescale(source.get(), 4, 4, FILTER_BOX));
    FreeImage_SetDotsPerMeterX(resized.get(), 0);
    metadata.applyTo(resized, outputFormatFor(QStringLiteral("png")).metadata);
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(resized.get()), 11811U);
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(resized.get()), 5906U);
    FITAG* comment = nullptr;
    ASSERT_TRUE(FreeImage_GetMetadata(FIMD_COMMENTS, resized.get(), "Description", &comment));
    EXPECT_STREQ(static_cast<const char*>(FreeImage_GetTagValue(comment)), "Sheet 4");
}

// The orientation a page brought (EXIF, XMP, a raw EXIF block from an embedded JPEG stream) is
// set to upright, since the pixels were turned when the page was loaded.
TEST(PageMetadata, NoOrientationTagSurvives)
{
    const Bitmap source = fixtures::makePage(PageKind::Rgb24, 8, 8);
    const WORD six = 6;
    std::unique_ptr<FITAG, void (*)(FITAG*)> tag(FreeImage_CreateTag(), FreeImage_DeleteTag);
    FreeImage_SetTagKey(tag.get(), "Orientation");
    FreeImage_SetTagID(tag.get(), 0x0112);
    FreeImage_SetTagType(tag.get(), FIDT_SHORT);
    FreeImage_SetTagCount(tag.get(), 1);
    FreeImage_SetTagLength(tag.get(), 2);
    FreeImage_SetTagValue(tag.get(), &six);
    FreeImage_SetMetadata(FIMD_EXIF_MAIN, source.get(), "Orientation", tag.get());

    const QByteArray xmp = "<x:xmpmeta><rdf:Description tiff:Orientation=\"6\"/></x:xmpmeta>";
    std::unique_ptr<FITAG, void (*)(FITAG*)> packet(FreeImage_CreateTag(), FreeImage_DeleteTag);
    FreeImage_SetTagKey(packet.get(), "XMLPacket");
    FreeImage_SetTagType(packet.get(), FIDT_ASCII);
    FreeImage_SetTagCount(packet.get(), static_cast<DWORD>(xmp.size()));
    FreeImage_SetTagLength(packet.get(), static_cast<DWORD>(xmp.size()));
    FreeImage_SetTagValue(packet.get(), xmp.constData());
    FreeImage_SetMetadata(FIMD_XMP, source.get(), "XMLPacket", packet.get());

    // "Exif\0\0", a little-endian TIFF header and IFD0 with one entry: Orientation (SHORT) = 6.
    const QByteArray raw("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 32);
    std::unique_ptr<FITAG, void (*)(FITAG*)> exif(FreeImage_CreateTag(), FreeImage_DeleteTag);
    FreeImage_SetTagKey(exif.get(), "ExifRaw");
    FreeImage_SetTagType(exif.get(), FIDT_BYTE);
    FreeImage_SetTagCount(exif.get(), static_cast<DWORD>(raw.size()));
    FreeImage_SetTagLength(exif.get(), static_cast<DWORD>(raw.size()));
    FreeImage_SetTagValue(exif.get(), raw.constData());
    FreeImage_SetMetadata(FIMD_EXIF_RAW, source.get(), "ExifRaw", exif.get());

    const PageMetadata metadata(source);
    const Bitmap written = fixtures::makePage(PageKind::Rgb24, 8, 8);
    metadata.applyTo(written, outputFormatFor(QStringLiteral("jpg")).metadata);

    FITAG* found = nullptr;
    EXPECT_FALSE(FreeImage_GetMetadata(FIMD_EXIF_MAIN, written.get(), "Orientation", &found));
    ASSERT_TRUE(FreeImage_GetMetadata(FIMD_XMP, written.get(), "XMLPacket", &found));
    EXPECT_TRUE(QByteArray(static_cast<const char*>(FreeImage_GetTagValue(found)),
                           static_cast<qsizetype>(FreeImage_GetTagLength(found)))
                    .contains("tiff:Orientation=\"1\""));
    ASSERT_TRUE(FreeImage_GetMetadata(FIMD_EXIF_RAW, written.get(), "ExifRaw", &found));
    const auto* bytes = static_cast<const unsigned char*>(FreeImage_GetTagValue(found));
    EXPECT_EQ(bytes[6 + 8 + 2 + 8], 1); // the entry's value
}

TEST(PageMetadata, OrientationTurnsThePixelsUpright)
{
    // Stored order for orientation 6: the picture's top row runs down the right-hand column.
    const Bitmap stored = fixtures::makePage(PageKind::Rgb24, 6, 4);
    const fixtures::Rgb storedBottomLeft = fixtures::pixelAt(stored, 0, 3);
    const Bitmap upright = applyTiffOrientation(Bitmap(FreeImage_Clone(stored.get())), 6);
    ASSERT_EQ(upright.width(), 4U);
    ASSERT_EQ(upright.height(), 6U);
    EXPECT_EQ(fixtures::pixelAt(upright, 0, 0), storedBottomLeft);
    const Bitmap mirrored = applyTiffOrientation(Bitmap(FreeImage_Clone(stored.get())), 2);
    EXPECT_EQ(fixtures::pixelAt(mirrored, 5, 0), fixtures::pixelAt(stored, 0, 0));
}

} // namespace

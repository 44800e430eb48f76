// What a TIFF page carries besides its pixels (ICC profile, resolution, XMP, text tags) reaches
// every output that can hold it, whatever the steps did to the pixels; orientation is applied
// once and never written back.
#include "support/converted_page.h"
#include "support/tiff_variants.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QFile>
#include <QtEndian>

#include <lcms2.h>

#include <tiffio.h>

#include <cmath>
#include <memory>

namespace {

using e2e::Sandbox;
using fixtures::TiffExtras;
using fixtures::TiffVariant;

constexpr int pageWidth = 40;
constexpr int pageHeight = 32;
const QByteArray xmpPacket = QByteArrayLiteral(
    "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" dc:format=\"image/tiff\"/></rdf:RDF></x:xmpmeta>"
    "<?xpacket end=\"w\"?>");

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

TiffExtras scanExtras()
{
    TiffExtras extras;
    extras.iccProfile = fixtures::adobeRgbProfile();
    extras.xmpPacket = xmpPacket;
    extras.description = "Harbour survey, sheet 4";
    extras.artist = "R. Okafor";
    extras.copyright = "Port Authority";
    extras.dateTime = "2024:03:01 10:20:30";
    extras.dpi = 300;
    return extras;
}

// The profile of a PNG's iCCP chunk, read straight from the file: FreeImage's PNG reader drops
// profiles that libpng's reading side finds fault with.
QByteArray pngProfile(const QString& path, qsizetype expectedSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray png = file.readAll();
    const qsizetype chunk = png.indexOf("iCCP");
    if (chunk < 4) {
        return {};
    }
    const auto length = static_cast<qsizetype>(qFromBigEndian<quint32>(png.constData() + chunk - 4));
    const QByteArray body = png.mid(chunk + 4, length);
    const qsizetype nameEnd = body.indexOf('\0');
    // Name, its terminator, the compression method byte, then a zlib stream.
    QByteArray compressed(4, '\0');
    qToBigEndian(static_cast<quint32>(expectedSize), compressed.data());
    compressed += body.mid(nameEnd + 2);
    return qUncompress(compressed);
}

std::string commentOf(const Bitmap& image, const char* key)
{
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_COMMENTS, image.get(), key, &tag) || FreeImage_GetTagValue(tag) == nullptr) {
        return {};
    }
    return static_cast<const char*>(FreeImage_GetTagValue(tag));
}

std::string tiffText(TIFF* tiff, ttag_t tag)
{
    char* value = nullptr;
    return TIFFGetField(tiff, tag, &value) != 0 && value != nullptr ? std::string(value) : std::string();
}

struct MetadataCase {
    const char* name;
    const char* format;
    std::uint16_t bitsPerSample; // 16: a page that the steps replace (scaled to 8 bits)
    QStringList options;
    bool resolution; // the format stores a resolution FreeImage reads back
    friend void PrintTo(const MetadataCase& c, std::ostream* os) { *os << c.name; }
};

class MetadataKept : public testing::TestWithParam<MetadataCase> {};

TEST_P(MetadataKept, ProfileResolutionXmpAndTextReachTheOutput)
{
    const MetadataCase& c = GetParam();
    Sandbox box;
    const TiffVariant variant{QStringLiteral("scan"), PHOTOMETRIC_RGB, c.bitsPerSample, 3};
    const TiffExtras extras = scanExtras();
    ASSERT_FALSE(extras.iccProfile.isEmpty());
    const QString in = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/scan.tif");
    ASSERT_TRUE(fixtures::writeTiffVariant(in, variant, pageWidth, pageHeight, extras));
    box.makeFolder(QStringLiteral("out"));
    const QString format = QString::fromLatin1(c.format);
    const e2e::RunResult run = box.run(QStringList{"-q", "-i", "in/scan.tif", "-o", "out", "-c", format} + c.options);
    const QString out = box.path(QStringLiteral("out/scan.") + format);
    const Bitmap image = e2e::loadImage(out);
    ASSERT_TRUE(image) << run.out.constData();

    if (format == QLatin1String("png")) {
        EXPECT_EQ(pngProfile(out, extras.iccProfile.size()), extras.iccProfile);
    } else {
        const FIICCPROFILE* profile = FreeImage_GetICCProfile(image.get());
        EXPECT_EQ(QByteArray(static_cast<const char*>(profile->data), profile->size), extras.iccProfile);
    }
    FITAG* xmp = nullptr;
    ASSERT_TRUE(FreeImage_GetMetadata(FIMD_XMP, image.get(), "XMLPacket", &xmp));
    EXPECT_TRUE(QByteArray(static_cast<const char*>(FreeImage_GetTagValue(xmp)),
                           static_cast<qsizetype>(FreeImage_GetTagLength(xmp)))
                    .contains(xmpPacket.mid(60, 80)));
    if (c.resolution) {
        EXPECT_NEAR(FreeImage_GetDotsPerMeterX(image.get()) * 0.0254, 300.0, 0.5);
        EXPECT_NEAR(FreeImage_GetDotsPerMeterY(image.get()) * 0.0254, 300.0, 0.5);
    }
    if (format == QLatin1String("png")) {
        EXPECT_EQ(commentOf(image, "Description"), extras.description.toStdString());
        EXPECT_EQ(commentOf(image, "Author"), extras.artist.toStdString());
        EXPECT_EQ(commentOf(image, "Copyright"), extras.copyright.toStdString());
        EXPECT_EQ(commentOf(image, "Creation Time"), extras.dateTime.toStdString());
    } else if (format == QLatin1String("jpg")) {
        EXPECT_EQ(commentOf(image, "Comment"), extras.description.toStdString());
    } else if (format == QLatin1String("tiff")) {
        std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(out).constData(), "r"));
        ASSERT_TRUE(tiff);
        EXPECT_EQ(tiffText(tiff.get(), TIFFTAG_IMAGEDESCRIPTION), extras.description.toStdString());
        EXPECT_EQ(tiffText(tiff.get(), TIFFTAG_ARTIST), extras.artist.toStdString());
        EXPECT_EQ(tiffText(tiff.get(), TIFFTAG_COPYRIGHT), extras.copyright.toStdString());
        EXPECT_EQ(tiffText(tiff.get(), TIFFTAG_DATETIME), extras.dateTime.toStdString());
    }
}

const QStringList halfSize{"--width=50", "--width-unit=percent", "--height=50", "--height-unit=percent"};

INSTANTIATE_TEST_SUITE_P(
    Formats, MetadataKept,
    testing::Values(MetadataCase{"jpg", "jpg", 8, {}, true}, MetadataCase{"jpg_resized", "jpg", 8, halfSize, true},
                    MetadataCase{"jpg_from_16_bits", "jpg", 16, {}, true}, MetadataCase{"png", "png", 8, {}, true},
                    MetadataCase{"png_resized", "png", 8, halfSize, true},
                    MetadataCase{"png_from_16_bits", "png", 16, {}, true}, MetadataCase{"tiff", "tiff", 8, {}, true},
                    MetadataCase{"tiff_resized", "tiff", 8, halfSize, true},
                    MetadataCase{"tiff_from_16_bits", "tiff", 16, {}, true},
                    MetadataCase{"webp", "webp", 8, halfSize, false}),
    [](const testing::TestParamInfo<MetadataCase>& info) { return std::string(info.param.name); });

// --strip-metadata writes the pixels alone, for the web.
TEST(MetadataKept, StripMetadataLeavesEveryKindOut)
{
    Sandbox box;
    const TiffVariant variant{QStringLiteral("scan"), PHOTOMETRIC_RGB, 8, 3};
    ASSERT_TRUE(fixtures::writeTiffVariant(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/scan.tif"), variant,
                                           pageWidth, pageHeight, scanExtras()));
    for (const char* format : {"png", "jpg", "webp"}) {
        const QString folder = QStringLiteral("out/") + QLatin1String(format);
        box.makeFolder(folder);
        box.run({"-q", "-i", "in/scan.tif", "-o", folder, "-c", format, "--strip-metadata"});
        const QString out = box.path(folder + QStringLiteral("/scan.") + QLatin1String(format));
        const Bitmap image = e2e::loadImage(out);
        ASSERT_TRUE(image) << format;
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_FALSE(bytes.contains("iCCP") || bytes.contains("ICC_PROFILE") || bytes.contains("ICCP")) << format;
        EXPECT_FALSE(bytes.contains("xmpmeta")) << format;
        EXPECT_FALSE(bytes.contains("R. Okafor") || bytes.contains("Harbour survey")) << format;
    }
}

// Without its profile a page is shown as sRGB: --strip-metadata converts a page with another RGB
// profile to sRGB first (a red stored as 200 in Adobe RGB is 234 in sRGB), and leaves an sRGB page's
// pixels as they are. The reference is the same page converted by Little CMS.
struct StripCase {
    const char* name;
    QByteArray (*profile)();
    std::vector<std::uint32_t> solid; // empty: the gradient
    bool converted;
    friend void PrintTo(const StripCase& c, std::ostream* os) { *os << c.name; }
};

class StripMetadataColours : public testing::TestWithParam<StripCase> {};

std::vector<fixtures::Rgb> toSrgb(const std::vector<fixtures::Rgb>& pixels, const QByteArray& profile)
{
    const cmsHPROFILE own = cmsOpenProfileFromMem(profile.constData(), static_cast<cmsUInt32Number>(profile.size()));
    const cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsHTRANSFORM transform = cmsCreateTransform(own, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                                       cmsFLAGS_BLACKPOINTCOMPENSATION);
    std::vector<fixtures::Rgb> converted;
    for (const fixtures::Rgb& pixel : pixels) {
        const std::uint8_t in[3] = {static_cast<std::uint8_t>(pixel.red), static_cast<std::uint8_t>(pixel.green),
                                    static_cast<std::uint8_t>(pixel.blue)};
        std::uint8_t out[3] = {};
        cmsDoTransform(transform, in, out, 1);
        converted.push_back({out[0], out[1], out[2]});
    }
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(own);
    return converted;
}

TEST_P(StripMetadataColours, ShowTheSameColoursWithoutTheProfile)
{
    const StripCase& c = GetParam();
    Sandbox box;
    TiffVariant variant{QStringLiteral("photo"), PHOTOMETRIC_RGB, 8, 3};
    variant.solid = c.solid;
    TiffExtras extras;
    extras.iccProfile = c.profile();
    ASSERT_TRUE(fixtures::writeTiffVariant(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/photo.tif"),
                                           variant, pageWidth, pageHeight, extras));
    const e2e::ConvertedPage plain = e2e::convertPage(box, QStringLiteral("photo"), QStringLiteral("kept"), {});
    const e2e::ConvertedPage stripped =
        e2e::convertPage(box, QStringLiteral("photo"), QStringLiteral("stripped"), {QStringLiteral("--strip-metadata")});
    ASSERT_TRUE(plain.image && stripped.image) << stripped.run.err.constData();
    EXPECT_TRUE(pngProfile(box.path(QStringLiteral("out/stripped/photo.png")), extras.iccProfile.size()).isEmpty());

    const std::vector<fixtures::Rgb> stored = e2e::pixelsOf(plain.image);
    const std::vector<fixtures::Rgb> expected = c.converted ? toSrgb(stored, extras.iccProfile) : stored;
    const std::vector<fixtures::Rgb> written = e2e::pixelsOf(stripped.image);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        ASSERT_TRUE(e2e::near(written[i], expected[i], c.converted ? 1 : 0))
            << "pixel " << i << ": " << e2e::describe(written[i]) << " where " << e2e::describe(expected[i])
            << " was expected (stored " << e2e::describe(stored[i]) << ")";
    }
    if (!c.solid.empty() && c.converted) {
        EXPECT_NEAR(static_cast<int>(written.front().red), 234, 1) << "Adobe RGB red 200 in sRGB";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, StripMetadataColours,
    testing::Values(StripCase{"adobe_rgb_red", fixtures::adobeRgbProfile, {200, 0, 0}, true},
                    StripCase{"adobe_rgb_gradient", fixtures::adobeRgbProfile, {}, true},
                    StripCase{"display_p3", [] { return QColorSpace(QColorSpace::DisplayP3).iccProfile(); }, {}, true},
                    StripCase{"srgb_kept_as_it_is", [] { return QColorSpace(QColorSpace::SRgb).iccProfile(); }, {},
                              false}),
    [](const testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

// A grey page whose profile has another tone curve (gamma 1.8) takes the sRGB tone curve.
TEST(StripMetadataColours, GreyPageTakesTheSrgbToneCurve)
{
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    const cmsFloat64Number srgbParameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* srgbCurve = cmsBuildParametricToneCurve(nullptr, 4, srgbParameters);
    const cmsHPROFILE own = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    const cmsHPROFILE screen = cmsCreateGrayProfile(cmsD50_xyY(), srgbCurve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(own, nullptr, &size);
    QByteArray profile(static_cast<qsizetype>(size), '\0');
    cmsSaveProfileToMem(own, profile.data(), &size);
    const cmsHTRANSFORM transform = cmsCreateTransform(own, TYPE_GRAY_8, screen, TYPE_GRAY_8,
                                                       INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);

    Sandbox box;
    const TiffVariant variant{QStringLiteral("grey"), PHOTOMETRIC_MINISBLACK, 8, 1};
    TiffExtras extras;
    extras.iccProfile = profile;
    ASSERT_TRUE(fixtures::writeTiffVariant(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/grey.tif"), variant,
                                           pageWidth, pageHeight, extras));
    const e2e::ConvertedPage plain = e2e::convertPage(box, QStringLiteral("grey"), QStringLiteral("kept"), {});
    const e2e::ConvertedPage stripped =
        e2e::convertPage(box, QStringLiteral("grey"), QStringLiteral("stripped"), {QStringLiteral("--strip-metadata")});
    ASSERT_TRUE(plain.image && stripped.image) << stripped.run.err.constData();
    const std::vector<fixtures::Rgb> stored = e2e::pixelsOf(plain.image);
    const std::vector<fixtures::Rgb> written = e2e::pixelsOf(stripped.image);
    ASSERT_EQ(written.size(), stored.size());
    int changed = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const auto in = static_cast<std::uint8_t>(stored[i].red);
        std::uint8_t out = 0;
        cmsDoTransform(transform, &in, &out, 1);
        ASSERT_TRUE(e2e::near(written[i], {out, out, out}, 1))
            << "pixel " << i << ": " << e2e::describe(written[i]) << " where " << int{out} << " was expected";
        changed += stored[i].red != written[i].red ? 1 : 0;
    }
    EXPECT_GT(changed, 0) << "a gamma 1.8 page differs from sRGB";
    cmsDeleteTransform(transform);
    cmsCloseProfile(screen);
    cmsCloseProfile(own);
    cmsFreeToneCurve(srgbCurve);
    cmsFreeToneCurve(gamma);
}

// An RGB profile is not written onto grey pixels (PNG writers refuse that outright): the page is
// still written, without the profile.
TEST(MetadataKept, ProfileOfAnotherColourSpaceIsLeftOut)
{
    Sandbox box;
    const TiffVariant variant{QStringLiteral("scan"), PHOTOMETRIC_RGB, 8, 3};
    ASSERT_TRUE(fixtures::writeTiffVariant(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/scan.tif"), variant,
                                           pageWidth, pageHeight, scanExtras()));
    const e2e::ConvertedPage page = e2e::convertPage(box, QStringLiteral("scan"), QStringLiteral("grey"),
                                                     {QStringLiteral("--png-bpp=8"), QStringLiteral("--greyscale")});
    ASSERT_TRUE(page.image) << page.run.out.constData();
    EXPECT_EQ(FreeImage_GetColorType(page.image.get()), FIC_MINISBLACK);
    EXPECT_TRUE(pngProfile(box.path(QStringLiteral("out/grey/scan.png")), 1000).isEmpty());
}

// A page stored turned (Orientation 6: rows run down the right side) comes out upright, and no
// tag of the output asks for the turn again.
TEST(MetadataKept, OrientationIsAppliedOnceAndNotWrittenBack)
{
    Sandbox box;
    const TiffVariant variant{QStringLiteral("turned"), PHOTOMETRIC_RGB, 8, 3};
    TiffExtras extras;
    extras.orientation = ORIENTATION_RIGHTTOP;
    ASSERT_TRUE(fixtures::writeTiffVariant(box.makeFolder(QStringLiteral("in")) + QStringLiteral("/turned.tif"),
                                           variant, pageWidth, pageHeight, extras));
    box.makeFolder(QStringLiteral("out"));
    box.run({"-q", "-i", "in/turned.tif", "-o", "out", "-c", "tiff"});
    const QString out = box.path(QStringLiteral("out/turned.tiff"));
    const Bitmap image = e2e::loadImage(out);
    ASSERT_TRUE(image);
    ASSERT_EQ(image.width(), static_cast<unsigned>(pageHeight));
    ASSERT_EQ(image.height(), static_cast<unsigned>(pageWidth));
    // The upright picture's top-left corner is the stored bottom-left pixel.
    RGBQUAD corner{};
    FreeImage_GetPixelColor(image.get(), 0, image.height() - 1, &corner);
    EXPECT_EQ(corner.rgbRed, fixtures::sampleValue(variant, 0, pageHeight - 1, 0));
    EXPECT_EQ(corner.rgbGreen, fixtures::sampleValue(variant, 0, pageHeight - 1, 1));
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(out).constData(), "r"));
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    EXPECT_EQ(orientation, ORIENTATION_TOPLEFT);
}

} // namespace

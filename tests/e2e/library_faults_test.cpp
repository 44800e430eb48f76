// Valid TIFFs on which a decoder built on libtiff has faulted in memory: an IPTC block whose
// length is not what its declared type implies, and an ICC profile beside an EXIF directory. Each
// is converted by the real executable, so a crash, an abort from a sanitizer report or a page
// written from stray memory fails the test instead of the test process.
#include "support/converted_page.h"
#include "support/libtiff_reference.h"
#include "support/tiff_variants.h"

#include <gtest/gtest.h>

#include <QFile>

#include <tiffio.h>

#include <memory>

namespace {

using e2e::Sandbox;
using fixtures::TiffVariant;

constexpr int pageWidth = 40;
constexpr int pageHeight = 32;

// An IPTC record set of exactly `size` bytes: one caption (record 2, dataset 120) filling it.
QByteArray iptcBlock(int size)
{
    const int text = size - 5;
    QByteArray block("\x1C\x02\x78", 3);
    block.append(static_cast<char>(text >> 8)).append(static_cast<char>(text & 0xFF));
    block.append(QByteArray(text, 'c'));
    return block;
}

// Gives the page's IPTC tag (33723) the type LONG with `count` values, as some editors write
// it, leaving its bytes where they are. False when the tag is not in the first directory.
bool declareIptcAsLong(const QString& path, std::uint32_t count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return false;
    }
    QByteArray bytes = file.readAll();
    const bool big = bytes.startsWith("MM");
    const auto read = [&](qsizetype at, int width) {
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes.at(at + (big ? i : width - 1 - i)));
            value = (value << 8) | byte;
        }
        return value;
    };
    const auto write = [&](qsizetype at, int width, std::uint32_t value) {
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (big ? width - 1 - i : i);
            bytes[at + i] = static_cast<char>((value >> shift) & 0xFF);
        }
    };
    const qsizetype directory = read(4, 4);
    const std::uint32_t entries = read(directory, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const qsizetype entry = directory + 2 + 12 * static_cast<qsizetype>(i);
        if (read(entry, 2) == TIFFTAG_RICHTIFFIPTC) {
            write(entry + 2, 2, TIFF_LONG);
            write(entry + 4, 4, count);
            return file.seek(0) && file.write(bytes) == bytes.size();
        }
    }
    return false;
}

// Writes an RGB page with an IPTC block of `size` bytes; declared as LONG values when asLong.
bool writeIptcPage(const QString& path, bool bigEndian, int size, bool asLong)
{
    TiffVariant variant{QStringLiteral("iptc"), PHOTOMETRIC_RGB, 8, 3};
    variant.bigEndian = bigEndian;
    if (!fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight)) {
        return false;
    }
    {
        const std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(TIFFOpen(QFile::encodeName(path).constData(), "r+"),
                                                               &TIFFClose);
        const QByteArray block = iptcBlock(size);
        if (!tiff ||
            !TIFFSetField(tiff.get(), TIFFTAG_RICHTIFFIPTC, static_cast<std::uint32_t>(block.size()),
                          block.constData()) ||
            !TIFFRewriteDirectory(tiff.get())) {
            return false;
        }
    }
    return !asLong || declareIptcAsLong(path, static_cast<std::uint32_t>(size / 4));
}

// Converts in/<name>.tif to PNG and checks that the run ended normally with the page written as
// libtiff's own RGBA reading of it, within `tolerance` levels. Returns the PNG read back.
Bitmap convertAsLibtiffReads(const Sandbox& box, const QString& name, int tolerance)
{
    e2e::ConvertedPage png = e2e::convertPage(box, name, QStringLiteral("png"), {});
    EXPECT_EQ(png.run.signal, 0);
    EXPECT_EQ(png.run.exitCode, 0) << png.run.out.constData() << png.run.err.constData();
    if (!png.image) {
        ADD_FAILURE() << "no PNG written for " << name.toStdString();
        return {};
    }
    const QString path = box.path(QStringLiteral("in/") + name + QStringLiteral(".tif"));
    // 16-bit samples are compared at 8 bits, as libtiff's RGBA reading gives them.
    const Bitmap eightBits(FreeImage_GetImageType(png.image.get()) == FIT_BITMAP
                               ? FreeImage_Clone(png.image.get())
                               : FreeImage_ConvertTo24Bits(png.image.get()));
    EXPECT_EQ(fixtures::firstDifference(fixtures::premultipliedPixels(eightBits),
                                        fixtures::libtiffRgba(path, pageWidth, pageHeight), tolerance, pageWidth),
              "");
    return std::move(png.image);
}

struct IptcCase {
    const char* name;
    bool bigEndian;
    int size;    // bytes of the IPTC block
    bool asLong; // declared as LONG values instead of undefined bytes
    friend void PrintTo(const IptcCase& c, std::ostream* os) { *os << c.name; }
};

class IptcBlock : public testing::TestWithParam<IptcCase> {};

// A reader that takes the tag's byte count for a count of 32-bit words reads (and, in a file of the
// other byte order, swaps in place) four times the block: past the end of its buffer.
TEST_P(IptcBlock, PageConvertsWithoutAFault)
{
    const IptcCase& param = GetParam();
    Sandbox box;
    const QString path = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/iptc.tif");
    ASSERT_TRUE(writeIptcPage(path, param.bigEndian, param.size, param.asLong));
    convertAsLibtiffReads(box, QStringLiteral("iptc"), 0);
}

INSTANTIATE_TEST_SUITE_P(Declarations, IptcBlock,
                         testing::Values(IptcCase{"odd_bytes_motorola", true, 283, false},
                                         IptcCase{"odd_bytes_intel", false, 283, false},
                                         IptcCase{"long_values_motorola", true, 284, true},
                                         IptcCase{"long_values_intel", false, 284, true}),
                         [](const testing::TestParamInfo<IptcCase>& info) { return std::string(info.param.name); });

// A camera's page: an ICC profile and an EXIF directory. A reader that keeps the profile's
// pointer while it reads the EXIF directory copies the profile from freed memory. The page
// converts, with its pixels and its profile intact.
TEST(ColourProfileBesideExif, PageConvertsWithItsProfile)
{
    struct Case {
        std::uint16_t bits;
        bool bigEndian;
    };
    for (const Case c : {Case{8, false}, Case{8, true}, Case{16, false}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, big-endian " << c.bigEndian);
        TiffVariant variant{QStringLiteral("camera"), PHOTOMETRIC_RGB, c.bits, 3};
        variant.compression = COMPRESSION_ADOBE_DEFLATE;
        variant.bigEndian = c.bigEndian;
        fixtures::TiffExtras extras;
        extras.iccProfile = fixtures::adobeRgbProfile();
        extras.exifDirectory = true;
        Sandbox box;
        const QString path = box.makeFolder(QStringLiteral("in")) + QStringLiteral("/camera.tif");
        ASSERT_TRUE(fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight, extras));
        convertAsLibtiffReads(box, QStringLiteral("camera"), 1);
        // The PNG reader here does not hand over profiles; a JPEG carries it as well.
        box.makeFolder(QStringLiteral("out/jpg"));
        const e2e::RunResult jpegRun = box.run({"-q", "-i", "in/camera.tif", "-o", "out/jpg", "-c", "jpg"});
        EXPECT_EQ(jpegRun.exitCode, 0) << jpegRun.out.constData() << jpegRun.err.constData();
        const Bitmap jpeg = e2e::loadImage(box.path(QStringLiteral("out/jpg/camera.jpg")));
        ASSERT_TRUE(jpeg);
        const FIICCPROFILE* profile = FreeImage_GetICCProfile(jpeg.get());
        EXPECT_EQ(QByteArray(static_cast<const char*>(profile->data), static_cast<qsizetype>(profile->size)),
                  extras.iccProfile);
    }
}

} // namespace

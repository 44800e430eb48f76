// Reduced copies of pages read without decoding the whole page: every n-th row and column equals
// the pixel the full page has there, whatever the layout; a reduced-resolution copy the file
// carries is read instead when there is one; a damaged or abandoned read gives nothing.
#include "engine/decode/page_loader.h"
#include "engine/decode/tiff_reduced_page.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_variants.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using fixtures::TiffVariant;

// The bits of pixel (x, y), counted from the top-left, of a bitmap of any depth.
std::string pixelBits(const Bitmap& page, unsigned x, unsigned y)
{
    const unsigned bpp = page.bpp();
    const BYTE* row = FreeImage_GetScanLine(page.get(), static_cast<int>(page.height() - 1 - y));
    if (bpp < 8) {
        const unsigned bit = x * bpp;
        return std::to_string((row[bit / 8] >> (8 - bpp - bit % 8)) & ((1U << bpp) - 1U));
    }
    return {reinterpret_cast<const char*>(row + std::size_t{x} * bpp / 8), bpp / 8};
}

// The first pixel of `reduced` that is not pixel (x * step, y * step) of `full`, as text.
std::string firstMismatch(const Bitmap& reduced, const Bitmap& full, unsigned step)
{
    for (unsigned y = 0; y < reduced.height(); ++y) {
        for (unsigned x = 0; x < reduced.width(); ++x) {
            if (pixelBits(reduced, x, y) != pixelBits(full, x * step, y * step)) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return {};
}

struct Layout {
    TiffVariant variant;
    std::uint16_t orientation = 0;
};

TiffVariant variant(const char* name, std::uint16_t photometric, std::uint16_t bits, std::uint16_t samples)
{
    return TiffVariant{QString::fromLatin1(name), photometric, bits, samples};
}

std::vector<Layout> layouts()
{
    std::vector<Layout> all;
    all.push_back({variant("strips-rgb8-lzw", PHOTOMETRIC_RGB, 8, 3)});
    all.back().variant.compression = COMPRESSION_LZW;
    // One strip for the whole page: rows are decoded one after another up to each wanted row.
    all.push_back({variant("one-strip-rgb8-deflate", PHOTOMETRIC_RGB, 8, 3)});
    all.back().variant.compression = COMPRESSION_ADOBE_DEFLATE;
    all.back().variant.rowsPerStrip = 1000;
    all.push_back({variant("tiles-rgb8", PHOTOMETRIC_RGB, 8, 3)});
    all.back().variant.tiled = true;
    all.push_back({variant("bilevel", PHOTOMETRIC_MINISBLACK, 1, 1)});
    all.push_back({variant("bilevel-tiles-miniswhite", PHOTOMETRIC_MINISWHITE, 1, 1)});
    all.back().variant.tiled = true;
    all.push_back({variant("palette4", PHOTOMETRIC_PALETTE, 4, 1)});
    all.push_back({variant("palette8-tiles", PHOTOMETRIC_PALETTE, 8, 1)});
    all.back().variant.tiled = true;
    all.push_back({variant("rgba8", PHOTOMETRIC_RGB, 8, 3)});
    all.back().variant.alpha = true;
    all.push_back({variant("planar-rgb16-lzw", PHOTOMETRIC_RGB, 16, 3)});
    all.back().variant.separatePlanes = true;
    all.back().variant.compression = COMPRESSION_LZW;
    // Turned on its side: the reduced copy is turned as the page is.
    all.push_back({variant("rgb8-right-top", PHOTOMETRIC_RGB, 8, 3), ORIENTATION_RIGHTTOP});
    return all;
}

class ReducedPageLayouts : public testing::TestWithParam<Layout> {};

// 101 x 71 read with a longer side of at least 20: every 5th row and column, from the first to the
// last (100 and 70 are multiples of 5, so a page turned on its side is sampled on the same grid).
TEST_P(ReducedPageLayouts, EveryNthPixelOfTheFullPage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(GetParam().variant.name + QStringLiteral(".tif"));
    fixtures::TiffExtras extras;
    extras.orientation = GetParam().orientation;
    ASSERT_TRUE(fixtures::writeTiffVariant(path, GetParam().variant, 101, 71, extras));
    const InputDocument document(path);
    const LoadedPage full = document.loadPage(0);
    ASSERT_EQ(full.status, PageStatus::Loaded);

    const ReducedPage reduced = readReducedPage(path, 0, document.headers(), 20);
    ASSERT_TRUE(reduced.image);
    EXPECT_EQ(reduced.step, 5U);
    EXPECT_FALSE(reduced.fromReducedResolutionPage);
    EXPECT_EQ(reduced.image.bpp(), full.image.bpp());
    EXPECT_EQ(FreeImage_GetImageType(reduced.image.get()), FreeImage_GetImageType(full.image.get()));
    EXPECT_EQ(reduced.image.width(), (full.image.width() - 1) / 5 + 1);
    EXPECT_EQ(reduced.image.height(), (full.image.height() - 1) / 5 + 1);
    if (FreeImage_GetPalette(full.image.get()) != nullptr) {
        EXPECT_EQ(std::memcmp(FreeImage_GetPalette(reduced.image.get()), FreeImage_GetPalette(full.image.get()),
                              FreeImage_GetColorsUsed(full.image.get()) * sizeof(RGBQUAD)),
                  0);
    }
    EXPECT_EQ(firstMismatch(reduced.image, full.image, 5), "");
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReducedPageLayouts, testing::ValuesIn(layouts()),
                         [](const testing::TestParamInfo<Layout>& info) {
                             QString name = info.param.variant.name;
                             return name.replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
                         });

// A page of one grey level and, after it or as its sub-directories, copies of other grey levels.
struct StoredCopy {
    std::uint32_t width;
    std::uint32_t height;
    std::uint8_t level;
    bool reduced = true; // NewSubfileType bit 0
    bool subIfd = false; // a sub-directory of the page rather than a following page
};

bool writeDirectory(TIFF* tiff, std::uint32_t width, std::uint32_t height, std::uint8_t level, std::uint32_t type)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
    if (type != 0) {
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, type);
    }
    std::vector<std::uint8_t> row(width, level);
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFWriteScanline(tiff, row.data(), y, 0) < 0) {
            return false;
        }
    }
    return true;
}

bool writePyramid(const QString& path, std::uint32_t width, std::uint32_t height, const std::vector<StoredCopy>& copies)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    std::vector<std::uint64_t> subOffsets;
    for (const StoredCopy& copy : copies) {
        if (copy.subIfd) {
            subOffsets.push_back(0);
        }
    }
    if (!subOffsets.empty()) {
        // libtiff writes the next directories as the page's sub-directories and fills in their offsets.
        TIFFSetField(tiff, TIFFTAG_SUBIFD, static_cast<std::uint16_t>(subOffsets.size()), subOffsets.data());
    }
    bool written = writeDirectory(tiff, width, height, 10, 0) && TIFFWriteDirectory(tiff) != 0;
    for (const bool sub : {true, false}) {
        for (const StoredCopy& copy : copies) {
            if (copy.subIfd == sub) {
                written = written &&
                          writeDirectory(tiff, copy.width, copy.height, copy.level,
                                         copy.reduced ? FILETYPE_REDUCEDIMAGE : 0) &&
                          TIFFWriteDirectory(tiff) != 0;
            }
        }
    }
    TIFFClose(tiff);
    return written;
}

struct PyramidCase {
    const char* name;
    std::vector<StoredCopy> copies;
    std::uint8_t level;  // of what the reduced copy shows
    std::uint32_t width; // of the reduced copy
};

class ReducedResolutionCopies : public testing::TestWithParam<PyramidCase> {};

// The page is 400 x 300 and the copy wanted at least 90 pixels on its longer side.
TEST_P(ReducedResolutionCopies, TheSmallestLargeEnoughCopyIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pyramid.tif"));
    ASSERT_TRUE(writePyramid(path, 400, 300, GetParam().copies));
    const ReducedPage reduced = readReducedPage(path, 0, readTiffPageHeaders(path), 90);
    ASSERT_TRUE(reduced.image);
    EXPECT_EQ(reduced.fromReducedResolutionPage, GetParam().level != 10);
    EXPECT_EQ(reduced.image.width(), GetParam().width);
    EXPECT_EQ(pixelBits(reduced.image, 0, 0), std::string(1, static_cast<char>(GetParam().level)));
    EXPECT_EQ(pixelBits(reduced.image, reduced.image.width() - 1, reduced.image.height() - 1),
              std::string(1, static_cast<char>(GetParam().level)));
}

INSTANTIATE_TEST_SUITE_P(Copies, ReducedResolutionCopies,
                         testing::Values(
                             // Following pages, largest first as pyramids store them: 100 x 75 is the smallest >= 90.
                             PyramidCase{"following", {{200, 150, 20}, {100, 75, 30}, {50, 38, 40}}, 30, 100},
                             PyramidCase{
                                 "subdirectories", {{200, 150, 20, true, true}, {100, 75, 30, true, true}}, 30, 100},
                             // Every copy smaller than wanted: the largest, as it is.
                             PyramidCase{"all small", {{50, 38, 40}, {25, 19, 50}}, 40, 50},
                             // A copy far larger than wanted is itself read reduced: every 2nd pixel of 200 x 150.
                             PyramidCase{"large copy", {{200, 150, 20, true, true}}, 20, 100},
                             // A page that is not marked as a reduced copy, or has other proportions, is not one.
                             PyramidCase{"unmarked", {{100, 75, 30, false}}, 10, 100},
                             PyramidCase{"other proportions", {{100, 40, 30, true, true}}, 10, 100}),
                         [](const testing::TestParamInfo<PyramidCase>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// Damaged pixels where the reduced copy reads them give no copy, never one with made-up rows; a
// read that is abandoned gives nothing either.
TEST(ReducedPage, DamagedOrAbandonedReadsGiveNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.tif"));
    // 60 x 40 grey, a strip per row, the rows from 20 on missing; every 2nd row is read.
    ASSERT_TRUE(fixtures::writeCutShortTiff(path, 60, 1, 40, 20));
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(path);
    EXPECT_FALSE(readReducedPage(path, 0, headers, 30).image);

    const QString whole = dir.filePath(QStringLiteral("whole.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(whole, variant("grey", PHOTOMETRIC_MINISBLACK, 8, 1), 60, 40));
    int asked = 0;
    const auto abandonLater = [&asked] { return ++asked > 1; };
    EXPECT_FALSE(readReducedPage(whole, 0, readTiffPageHeaders(whole), 30, abandonLater).image);
    EXPECT_TRUE(readReducedPage(whole, 0, readTiffPageHeaders(whole), 30).image);
}

} // namespace

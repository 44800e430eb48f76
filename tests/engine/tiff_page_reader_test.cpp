// A page read straight from the file must be exactly the page FreeImage's multi-page container
// hands out: the pipeline reads pages this way to avoid copying each one.
#include "engine/decode/tiff_page_reader.h"
#include "support/tiff_fixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool samePixels(FIBITMAP* a, FIBITMAP* b)
{
    if (FreeImage_GetImageType(a) != FreeImage_GetImageType(b) || FreeImage_GetBPP(a) != FreeImage_GetBPP(b) ||
        FreeImage_GetWidth(a) != FreeImage_GetWidth(b) || FreeImage_GetHeight(a) != FreeImage_GetHeight(b) ||
        FreeImage_GetColorType(a) != FreeImage_GetColorType(b) ||
        FreeImage_GetDotsPerMeterX(a) != FreeImage_GetDotsPerMeterX(b)) {
        return false;
    }
    const unsigned lineBytes = FreeImage_GetLine(a);
    for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y) {
        if (std::memcmp(FreeImage_GetScanLine(a, static_cast<int>(y)), FreeImage_GetScanLine(b, static_cast<int>(y)),
                        lineBytes) != 0) {
            return false;
        }
    }
    return true;
}

// A page read straight from the file is the page the multi-page container hands out, for every kind
// of page and every position in the file.
TEST(TiffPageReader, DecodesEachPageAsTheContainerDoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.tif"));
    std::vector<Bitmap> pages;
    for (const fixtures::PageKind kind :
         {fixtures::PageKind::Rgb24, fixtures::PageKind::Bilevel, fixtures::PageKind::Grey16,
          fixtures::PageKind::Rgba32, fixtures::PageKind::Rgb48, fixtures::PageKind::Grey8}) {
        pages.push_back(fixtures::makePage(kind, 37 + static_cast<int>(pages.size()) * 5, 23));
    }
    ASSERT_TRUE(fixtures::writeTiff(path, pages));

    FIMULTIBITMAP* container =
        FreeImage_OpenMultiBitmap(FIF_TIFF, QFile::encodeName(path).constData(), FALSE, TRUE, TRUE, 0);
    ASSERT_NE(container, nullptr);
    ASSERT_EQ(FreeImage_GetPageCount(container), static_cast<int>(pages.size()));
    for (int index = 0; index < static_cast<int>(pages.size()); ++index) {
        FIBITMAP* locked = FreeImage_LockPage(container, index);
        ASSERT_NE(locked, nullptr);
        const Bitmap direct = decodeTiffPage(path, index);
        ASSERT_TRUE(direct) << "page " << index;
        EXPECT_TRUE(samePixels(locked, direct.get())) << "page " << index;
        FreeImage_UnlockPage(container, locked, FALSE);
    }
    FreeImage_CloseMultiBitmap(container, 0);
    EXPECT_FALSE(decodeTiffPage(path, static_cast<int>(pages.size()))) << "there is no such page";
    EXPECT_FALSE(decodeTiffPage(dir.filePath(QStringLiteral("missing.tif")), 0));
}

// Two small RGB pages written by libtiff in the given mode ("w" little-endian, "b" big-endian,
// "8" BigTIFF), each page a different colour.
bool writeTwoPages(const QString& path, const char* mode)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), mode);
    if (tiff == nullptr) {
        return false;
    }
    constexpr std::uint32_t width = 9;
    constexpr std::uint32_t height = 5;
    bool ok = true;
    for (int page = 0; page < 2; ++page) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
        std::vector<unsigned char> line(width * 3);
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t i = 0; i < line.size(); ++i) {
                line[i] = static_cast<unsigned char>(page * 100 + y * 10 + i);
            }
            ok = ok && TIFFWriteScanline(tiff, line.data(), y, 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) != 0;
    }
    TIFFClose(tiff);
    return ok;
}

TEST(TiffPageReader, FindsPagesInEveryHeaderLayout)
{
    QTemporaryDir dir;
    for (const char* mode : {"w", "wb", "w8", "w8b"}) {
        const QString path = dir.filePath(QStringLiteral("layout-%1.tif").arg(QLatin1String(mode)));
        ASSERT_TRUE(writeTwoPages(path, mode)) << mode;
        FIMULTIBITMAP* container =
            FreeImage_OpenMultiBitmap(FIF_TIFF, QFile::encodeName(path).constData(), FALSE, TRUE, TRUE, 0);
        ASSERT_NE(container, nullptr) << mode;
        for (int index = 0; index < 2; ++index) {
            FIBITMAP* locked = FreeImage_LockPage(container, index);
            ASSERT_NE(locked, nullptr) << mode;
            const Bitmap direct = decodeTiffPage(path, index);
            EXPECT_TRUE(direct && samePixels(locked, direct.get())) << mode << " page " << index;
            FreeImage_UnlockPage(container, locked, FALSE);
        }
        FreeImage_CloseMultiBitmap(container, 0);
    }
}

} // namespace

#include "engine/steps/row_resize.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using fixtures::bandsOf;

// --- Pages ------------------------------------------------------------------------------------

// The kinds of page the resizer reads differently: by depth, and for palettes by what FreeImage
// makes of the palette (index as level, its complement, a looked-up grey, colour, transparency).
enum class Kind {
    Bilevel,         // 1 bit, black then white
    BilevelReversed, // 1 bit, white then black
    BilevelColour,   // 1 bit, two colours
    Palette4,        // 4 bits, colours
    Grey4,           // 4 bits, the usual 16 greys (0, 17, ... 255): read through the palette
    Grey8,           // 8 bits, index = level
    Grey8Reversed,   // 8 bits, index = 255 - level
    Grey8Shuffled,   // 8 bits, greys in no order: read through the palette
    Palette8,        // 8 bits, colours
    Palette8Alpha,   // 8 bits, colours, a transparency table for the first 100 entries
    Rgb24,
    Rgba32,
};

const char* kindName(Kind kind)
{
    static const char* const names[] = {"Bilevel",  "BilevelReversed", "BilevelColour", "Palette4",
                                        "Grey4",    "Grey8",           "Grey8Reversed", "Grey8Shuffled",
                                        "Palette8", "Palette8Alpha",   "Rgb24",         "Rgba32"};
    return names[static_cast<int>(kind)];
}

unsigned bppOf(Kind kind)
{
    switch (kind) {
    case Kind::Bilevel:
    case Kind::BilevelReversed:
    case Kind::BilevelColour:
        return 1;
    case Kind::Palette4:
    case Kind::Grey4:
        return 4;
    case Kind::Rgb24:
        return 24;
    case Kind::Rgba32:
        return 32;
    default:
        return 8;
    }
}

void setGrey(RGBQUAD& entry, unsigned level)
{
    entry.rgbRed = entry.rgbGreen = entry.rgbBlue = static_cast<BYTE>(level);
}

void fillPalette(FIBITMAP* page, Kind kind, std::mt19937& random)
{
    RGBQUAD* palette = FreeImage_GetPalette(page);
    const unsigned size = 1U << bppOf(kind);
    for (unsigned i = 0; i < size; ++i) {
        switch (kind) {
        case Kind::Bilevel:
        case Kind::Grey8:
            setGrey(palette[i], i * 255 / (size - 1));
            break;
        case Kind::BilevelReversed:
        case Kind::Grey8Reversed:
            setGrey(palette[i], 255 - i * 255 / (size - 1));
            break;
        case Kind::Grey4:
            setGrey(palette[i], i * 17);
            break;
        case Kind::Grey8Shuffled:
            setGrey(palette[i], (i * 97 + 13) % 256);
            break;
        default:
            palette[i] =
                RGBQUAD{static_cast<BYTE>(random()), static_cast<BYTE>(random()), static_cast<BYTE>(random()), 0};
        }
    }
    if (kind == Kind::Palette8Alpha) {
        std::vector<BYTE> alpha(100);
        std::generate(alpha.begin(), alpha.end(), [&] { return static_cast<BYTE>(random()); });
        FreeImage_SetTransparencyTable(page, alpha.data(), static_cast<int>(alpha.size()));
    }
}

// A page of noise: every level from 0 to 255 side by side, so the sharper kernels overshoot and
// clamp, and any slip in a weight or the order of a sum shows in some byte.
Bitmap noisePage(Kind kind, int width, int height, unsigned seed = 7)
{
    Bitmap page(FreeImage_Allocate(width, height, static_cast<int>(bppOf(kind))));
    std::mt19937 random(seed);
    if (bppOf(kind) <= 8) {
        fillPalette(page.get(), kind, random);
    }
    const unsigned bytes = (static_cast<unsigned>(width) * bppOf(kind) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(page.get(), y);
        std::generate(line, line + bytes, [&] { return static_cast<BYTE>(random()); });
    }
    return page;
}

// --- Comparing with FreeImage_Rescale -------------------------------------------------------

// A bitmap's rows from the top, without the padding at the end of each scan line.
using Rows = std::vector<std::vector<BYTE>>;

void appendRows(const Bitmap& bitmap, Rows& rows)
{
    const unsigned bytes = (bitmap.width() * bitmap.bpp() + 7) / 8;
    for (unsigned y = bitmap.height(); y-- > 0;) {
        const BYTE* line = FreeImage_GetScanLine(bitmap.get(), static_cast<int>(y));
        rows.emplace_back(line, line + bytes);
    }
}

// The palette's bytes, empty for a bitmap without one.
std::vector<BYTE> paletteOf(const Bitmap& bitmap)
{
    const auto* palette = reinterpret_cast<const BYTE*>(FreeImage_GetPalette(bitmap.get()));
    return palette == nullptr ? std::vector<BYTE>{}
                              : std::vector<BYTE>(palette, palette + FreeImage_GetColorsUsed(bitmap.get()) * 4);
}

struct Streamed {
    Rows rows;
    Bitmap firstBand; // a copy of the first band handed out, for its depth and palette
    bool finished = false;
};

Streamed streamed(const Bitmap& page, const RowResize& resize, unsigned bandRows)
{
    Streamed result;
    RowResizer resizer(page, resize, [&](const Bitmap& band) {
        if (result.firstBand.empty()) {
            result.firstBand.reset(FreeImage_Clone(band.get()));
        }
        appendRows(band, result.rows);
        return true;
    });
    EXPECT_TRUE(resizer.valid());
    for (const Bitmap& band : bandsOf(page, bandRows)) {
        EXPECT_TRUE(resizer.pushBand(band));
    }
    result.finished = resizer.finish();
    return result;
}

// The streamed resize of `page` in bands of bandRows rows equals FreeImage_Rescale's: depth,
// palette and every byte of every row.
void expectSameAsRescale(const Bitmap& page, int targetWidth, int targetHeight, FREE_IMAGE_FILTER filter,
                         unsigned bandRows)
{
    const RowResize resize{static_cast<int>(page.width()), static_cast<int>(page.height()), targetWidth, targetHeight,
                           filter};
    SCOPED_TRACE(std::to_string(page.width()) + "x" + std::to_string(page.height()) + " to " +
                 std::to_string(targetWidth) + "x" + std::to_string(targetHeight) + " in bands of " +
                 std::to_string(bandRows));
    ASSERT_TRUE(rowResizerTakes(page, resize));
    const Bitmap expected(FreeImage_Rescale(page.get(), targetWidth, targetHeight, filter));
    ASSERT_FALSE(expected.empty());
    Rows expectedRows;
    appendRows(expected, expectedRows);

    const Streamed result = streamed(page, resize, bandRows);
    EXPECT_TRUE(result.finished);
    ASSERT_FALSE(result.firstBand.empty());
    EXPECT_EQ(result.firstBand.bpp(), expected.bpp());
    EXPECT_EQ(paletteOf(result.firstBand), paletteOf(expected));
    EXPECT_EQ(paletteOf(rowResizedBand(page, targetWidth, 1)), paletteOf(expected));
    ASSERT_EQ(result.rows.size(), expectedRows.size());
    for (std::size_t row = 0; row < expectedRows.size(); ++row) {
        ASSERT_EQ(result.rows[row], expectedRows[row]) << "target row " << row << " from the top";
    }
}

// --- Byte for byte ---------------------------------------------------------------------------

const FREE_IMAGE_FILTER allFilters[] = {FILTER_BOX,     FILTER_BILINEAR,   FILTER_BSPLINE,
                                        FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3};

struct Size {
    int width;
    int height;
};

// Targets for a width x height page: both axes down by half and by a third, up by half, one axis
// only either way, the two mixed orders (FreeImage filters the columns first when the page
// widens), and a single pixel.
std::vector<Size> targetsFor(int width, int height)
{
    const auto part = [](int length, int numerator, int denominator) {
        return std::max(1, length * numerator / denominator);
    };
    return {{part(width, 1, 2), part(height, 1, 2)},
            {part(width, 1, 3), part(height, 1, 3)},
            {part(width, 3, 2), part(height, 3, 2)},
            {part(width, 1, 2), height},
            {width, part(height, 3, 2)},
            {part(width, 3, 2), part(height, 1, 3)},
            {part(width, 1, 2), part(height, 2, 1)},
            {1, 1}};
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Kind, FREE_IMAGE_FILTER>>& info)
{
    // In FREE_IMAGE_FILTER's order.
    static const char* const filterNames[] = {"Box", "Bicubic", "Bilinear", "BSpline", "CatmullRom", "Lanczos3"};
    return std::string(kindName(std::get<0>(info.param))) + "_" + filterNames[std::get<1>(info.param)];
}

class RowResizeMatchesRescale : public ::testing::TestWithParam<std::tuple<Kind, FREE_IMAGE_FILTER>> {};

TEST_P(RowResizeMatchesRescale, ForEverySizeScaleAndBandHeight)
{
    const auto [kind, filter] = GetParam();
    for (const Size page : {Size{53, 41}, Size{7, 300}, Size{300, 7}}) {
        const Bitmap source = noisePage(kind, page.width, page.height);
        for (const Size target : targetsFor(page.width, page.height)) {
            for (const unsigned bandRows : {1U, 5U, static_cast<unsigned>(page.height)}) {
                expectSameAsRescale(source, target.width, target.height, filter, bandRows);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(KindsAndFilters, RowResizeMatchesRescale,
                         ::testing::Combine(::testing::Values(Kind::Bilevel, Kind::BilevelReversed, Kind::BilevelColour,
                                                              Kind::Palette4, Kind::Grey4, Kind::Grey8,
                                                              Kind::Grey8Reversed, Kind::Grey8Shuffled, Kind::Palette8,
                                                              Kind::Palette8Alpha, Kind::Rgb24, Kind::Rgba32),
                                            ::testing::ValuesIn(allFilters)),
                         caseName);

// A page much wider than its target keeps a window many rows deep; the rows it holds must still be
// the right ones when bands arrive in heights that do not divide the page.
TEST(RowResize, DeepWindowsMatchRescale)
{
    const Bitmap page = noisePage(Kind::Rgb24, 37, 611, 11);
    for (const unsigned bandRows : {3U, 64U, 611U}) {
        expectSameAsRescale(page, 5, 19, FILTER_LANCZOS3, bandRows);
        expectSameAsRescale(page, 74, 7, FILTER_CATMULLROM, bandRows);
    }
}

// --- What stays in memory ---------------------------------------------------------------------

// A 1-bit page whose two greys are not black and white.
Bitmap greyishBilevel(int width, int height)
{
    Bitmap page = noisePage(Kind::Bilevel, width, height);
    RGBQUAD* palette = FreeImage_GetPalette(page.get());
    setGrey(palette[0], 60);
    setGrey(palette[1], 200);
    return page;
}

TEST(RowResize, TakesOnlyWhatStreamsWithRescalesBytes)
{
    const Bitmap rgb = noisePage(Kind::Rgb24, 4, 4);
    const Bitmap greyish = greyishBilevel(4, 4);
    Bitmap linearGrey4 = noisePage(Kind::Grey4, 4, 4);
    for (unsigned i = 0; i < 16; ++i) {
        setGrey(FreeImage_GetPalette(linearGrey4.get())[i], i);
    }
    const Bitmap rgb565(FreeImage_Allocate(4, 4, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK));
    const Bitmap grey16(FreeImage_AllocateT(FIT_UINT16, 4, 4, 16));
    struct Case {
        const char* what;
        const Bitmap& format;
        RowResize resize;
        bool takes;
    };
    const Case cases[] = {
        {"RGB halved", rgb, {600, 400, 300, 200, FILTER_BICUBIC}, true},
        {"already the target size", rgb, {600, 400, 600, 400, FILTER_BICUBIC}, false},
        {"no target", rgb, {600, 400, 0, 200, FILTER_BICUBIC}, false},
        {"unknown filter", rgb, {600, 400, 300, 200, static_cast<FREE_IMAGE_FILTER>(6)}, false},
        {"16-bit 565", rgb565, {600, 400, 300, 200, FILTER_BICUBIC}, false},
        {"16-bit grey", grey16, {600, 400, 300, 200, FILTER_BICUBIC}, false},
        {"4-bit linear grey", linearGrey4, {600, 400, 300, 200, FILTER_BICUBIC}, false},
        {"greyish 1-bit, rows first", greyish, {600, 400, 300, 200, FILTER_BICUBIC}, true},
        {"greyish 1-bit, width kept", greyish, {600, 400, 600, 200, FILTER_BICUBIC}, false},
        {"greyish 1-bit, widened", greyish, {600, 400, 900, 200, FILTER_BICUBIC}, false},
        {"greyish 1-bit, widened, height kept", greyish, {600, 400, 900, 400, FILTER_BICUBIC}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rowResizerTakes(c.format, c.resize), c.takes) << c.what;
        EXPECT_EQ(rowResizerHeldBytes(c.format, c.resize) > 0, c.takes) << c.what;
        EXPECT_EQ(RowResizer(c.format, c.resize, [](const Bitmap&) { return true; }).valid(), c.takes) << c.what;
    }
}

TEST(RowResize, GreyishBilevelMatchesRescaleWhereTaken)
{
    const Bitmap page = greyishBilevel(53, 41);
    for (const FREE_IMAGE_FILTER filter : allFilters) {
        expectSameAsRescale(page, 26, 20, filter, 5);
        expectSameAsRescale(page, 80, 41, filter, 5);
    }
}

// --- Streaming ---------------------------------------------------------------------------------

TEST(RowResize, HandsOutEachTargetRowOnceItsWindowHasArrived)
{
    const Bitmap page = noisePage(Kind::Grey8, 64, 400);
    unsigned sourceRowsIn = 0;
    std::vector<unsigned> arrivedBefore; // per target row: the source rows pushed when it came out
    RowResizer resizer(page, RowResize{64, 400, 32, 200, FILTER_BILINEAR}, [&](const Bitmap& band) {
        arrivedBefore.insert(arrivedBefore.end(), band.height(), sourceRowsIn);
        return true;
    });
    for (const Bitmap& band : bandsOf(page, 1)) {
        ++sourceRowsIn;
        ASSERT_TRUE(resizer.pushBand(band));
    }
    ASSERT_TRUE(resizer.finish());
    ASSERT_EQ(arrivedBefore.size(), 200U);
    // Halving with the bilinear kernel reaches two source rows beyond a target row's centre.
    for (unsigned row = 0; row < 200; ++row) {
        EXPECT_LE(arrivedBefore[row], 2 * row + 4) << "target row " << row;
    }
}

TEST(RowResize, HoldsAWindowOfRowsNotThePage)
{
    const Bitmap rgb = noisePage(Kind::Rgb24, 2, 2);
    const std::uint64_t pageBytes = 20000ULL * 15000 * 3;
    const std::uint64_t halved = rowResizerHeldBytes(rgb, RowResize{20000, 15000, 10000, 7500, FILTER_LANCZOS3});
    EXPECT_GT(halved, 0U);
    EXPECT_LT(halved, 8ULL << 20);
    // A target one row high draws on every source row: the count says so rather than hide it.
    const std::uint64_t oneRow = rowResizerHeldBytes(rgb, RowResize{20000, 15000, 20000, 1, FILTER_BOX});
    EXPECT_GE(oneRow, pageBytes);
}

// --- Failures ----------------------------------------------------------------------------------

TEST(RowResize, RefusesBandsThatDoNotBelongToThePage)
{
    const Bitmap page = noisePage(Kind::Rgb24, 20, 10);
    const Bitmap narrower = noisePage(Kind::Rgb24, 19, 2);
    const Bitmap deeper = noisePage(Kind::Rgba32, 20, 2);
    const Bitmap tooTall = noisePage(Kind::Rgb24, 20, 11);
    for (const Bitmap* wrong : {&narrower, &deeper, &tooTall}) {
        unsigned bandsOut = 0;
        RowResizer resizer(page, RowResize{20, 10, 10, 5, FILTER_BOX}, [&](const Bitmap&) {
            ++bandsOut;
            return true;
        });
        EXPECT_FALSE(resizer.pushBand(*wrong));
        // Once refused, the resizer takes nothing more, not even the right rows.
        EXPECT_FALSE(resizer.pushBand(page));
        EXPECT_FALSE(resizer.finish());
        EXPECT_EQ(bandsOut, 0U);
    }
}

TEST(RowResize, StopsWhenTheSinkFailsAndIsUnfinishedWithoutEveryRow)
{
    const Bitmap page = noisePage(Kind::Grey8, 20, 10);
    const std::vector<Bitmap> bands = bandsOf(page, 2);

    unsigned bandsOut = 0;
    RowResizer refused(page, RowResize{20, 10, 10, 5, FILTER_BOX}, [&](const Bitmap&) {
        ++bandsOut;
        return false;
    });
    EXPECT_FALSE(refused.pushBand(bands[0]));
    EXPECT_FALSE(refused.pushBand(bands[1]));
    EXPECT_EQ(bandsOut, 1U);
    EXPECT_FALSE(refused.finish());

    RowResizer partial(page, RowResize{20, 10, 10, 5, FILTER_BOX}, [](const Bitmap&) { return true; });
    EXPECT_TRUE(partial.pushBand(bands[0]));
    EXPECT_FALSE(partial.finish());
}

} // namespace

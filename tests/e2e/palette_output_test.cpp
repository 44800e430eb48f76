// Palette pages in colour keep their colours: converted at Auto, an 8-bit palette page is written
// in colour by the writers whose 8 bits are grey, and a two-colour 1-bit page keeps its palette in
// the formats that hold one.
#include "engine/write/jxr_writer.h"
#include "support/converted_page.h"
#include "support/pixel_probe.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fixtures::Rgb;

constexpr int kBlock = 16;

// 200 colours, the first four pure, the rest spread over the colour cube.
std::vector<Rgb> twoHundredColours()
{
    std::vector<Rgb> colours{{255, 0, 0}, {0, 200, 0}, {0, 0, 255}, {255, 220, 0}};
    for (unsigned i = static_cast<unsigned>(colours.size()); i < 200; ++i) {
        colours.push_back({(i * 53) % 256, (i * 97 + 80) % 256, (i * 151 + 160) % 256});
    }
    return colours;
}

// The centre of block k of a page made by fixtures::makePalettePage, `blocksPerRow` blocks wide.
std::pair<int, int> blockCentre(int k, int blocksPerRow)
{
    return {(k % blocksPerRow) * kBlock + kBlock / 2, (k / blocksPerRow) * kBlock + kBlock / 2};
}

Bitmap readOutput(const e2e::Sandbox& box, const QString& relative, const QString& key)
{
    const QString path = box.path(relative);
    return key == QLatin1String("jxr") ? readJxr(path) : e2e::loadImage(path);
}

e2e::RunResult convert(const e2e::Sandbox& box, const QString& input, const QString& key,
                       const QStringList& options = {})
{
    box.makeFolder(QStringLiteral("out"));
    return box.run(QStringList{QStringLiteral("-q"), QStringLiteral("-i"), input, QStringLiteral("-o"),
                               QStringLiteral("out"), QStringLiteral("-c"), key} +
                   options);
}

struct PaletteCase {
    const char* name;
    const char* key;
    QStringList options;
    int scale; // 2 when the options halve the page
};

void PrintTo(const PaletteCase& c, std::ostream* os)
{
    *os << c.name;
}

class EightBitPalette : public testing::TestWithParam<PaletteCase> {};

// Auto picks 8 bits for these writers; the page is written in colour, as its palette says, also
// when a step on the way has made it a 24-bit page.
TEST_P(EightBitPalette, IsWrittenInColour)
{
    const PaletteCase& c = GetParam();
    const QString key = QString::fromLatin1(c.key);
    const e2e::Sandbox box;
    const std::vector<Rgb> colours = twoHundredColours();
    const int blocksPerRow = 20;
    const Bitmap page = fixtures::makePalettePage(colours, blocksPerRow * kBlock, 10 * kBlock, kBlock);
    ASSERT_EQ(page.bpp(), 8u);
    e2e::writePage(box, QStringLiteral("palette"), page);

    const e2e::RunResult run = convert(box, QStringLiteral("in/palette.tif"), key, c.options);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const Bitmap written = readOutput(box, QStringLiteral("out/palette.") + key, key);
    ASSERT_TRUE(written);
    for (const int k : {0, 1, 2, 3, 57, 123, 199}) {
        auto [x, y] = blockCentre(k, blocksPerRow);
        x /= c.scale;
        y /= c.scale;
        const Rgb found = fixtures::colourAt(written, x, y);
        // Lossy codecs move a flat block's colour a little, grey would move it a lot.
        EXPECT_TRUE(e2e::near(found, colours[static_cast<std::size_t>(k)], 24))
            << "block " << k << ": " << e2e::describe(found) << " for "
            << e2e::describe(colours[static_cast<std::size_t>(k)]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    GreyEightWriters, EightBitPalette,
    testing::Values(PaletteCase{"jpg", "jpg", {}, 1}, PaletteCase{"jp2", "jp2", {}, 1},
                    PaletteCase{"j2k", "j2k", {}, 1}, PaletteCase{"jxr", "jxr", {}, 1},
                    PaletteCase{"jpgResized",
                                "jpg",
                                {"--width=50", "--width-unit=percent", "--height=50", "--height-unit=percent"},
                                2},
                    PaletteCase{"jpgFramed", "jpg", {"--fr-solid-left=2", "--fr-solid-left-color=000000"}, 1}),
    [](const testing::TestParamInfo<PaletteCase>& info) { return std::string(info.param.name); });

class TwoColourPalette : public testing::TestWithParam<const char*> {};

// A red-and-blue 1-bit page stays a red-and-blue 1-bit page, not a dithered black-and-white one.
TEST_P(TwoColourPalette, KeepsItsTwoColours)
{
    const QString key = QString::fromLatin1(GetParam());
    const e2e::Sandbox box;
    const std::vector<Rgb> redAndBlue{{255, 0, 0}, {0, 0, 255}};
    const Bitmap page = fixtures::makePalettePage(redAndBlue, 5 * kBlock, 3 * kBlock, kBlock);
    ASSERT_EQ(page.bpp(), 1u);
    e2e::writePage(box, QStringLiteral("red-blue"), page);

    const e2e::RunResult run = convert(box, QStringLiteral("in/red-blue.tif"), key);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const Bitmap written = readOutput(box, QStringLiteral("out/red-blue.") + key, key);
    ASSERT_TRUE(written);
    EXPECT_EQ(written.bpp(), 1u);
    EXPECT_EQ(e2e::pixelsOf(written), e2e::pixelsOf(page));
}

INSTANTIATE_TEST_SUITE_P(PaletteFormats, TwoColourPalette, testing::Values("png", "bmp", "tiff"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace

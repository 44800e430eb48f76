// What comes out is what went in: 16-bit samples written at 48 or 64 bits keep their low bytes, a
// page with alpha keeps it, a 16-bit grey page stays grey, a 1-bit page keeps its own two colours,
// and JPEG 2000 takes pages with a side under 32 pixels. Each written file is read back by another
// decoder than the writer's: libpng through Qt for PNG, BMP and ICO, libtiff for TIFF, OpenJPEG
// (through FreeImage's reader) for JPEG 2000.
#include "support/converted_page.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// Samples of one pixel in the written file's own scale (0..255 or 0..65535); alpha -1: not checked.
struct Samples {
    int red = 0, green = 0, blue = 0, alpha = -1;
};

std::string describe(const Samples& s)
{
    return "(" + std::to_string(s.red) + "," + std::to_string(s.green) + "," + std::to_string(s.blue) + "," +
           std::to_string(s.alpha) + ")";
}

// What a written file holds, as its own decoder reads it.
struct WrittenImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;        // as the file declares it
    std::vector<Samples> pixels; // top row first

    const Samples& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// ---- Source pages, written as TIFF by FreeImage.

enum class Source {
    Rgb48,         // 16-bit RGB, one colour with low bytes that are not 0, and white blue
    Rgba64,        // the same colour, half transparent
    Grey16Thirds,  // 16-bit grey in three bands: 0x1000, 0x8000, 0xF000
    TwoLightGreys, // 1 bit, palette 200 and 230, in 8-pixel blocks
    SmallRgb,      // 24-bit RGB of one colour, of the case's own size
};

constexpr int sourceWidth = 24;
constexpr int sourceHeight = 16;
constexpr std::array<WORD, 4> colour16{0x1234, 0xABCD, 0xFFFF, 0x8001};

Bitmap makeSource(Source source, int width, int height)
{
    switch (source) {
    case Source::Rgb48:
    case Source::Rgba64: {
        const bool alpha = source == Source::Rgba64;
        Bitmap page(FreeImage_AllocateT(alpha ? FIT_RGBA16 : FIT_RGB16, width, height));
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<WORD*>(FreeImage_GetScanLine(page.get(), y));
            const int samples = alpha ? 4 : 3;
            for (int x = 0; x < width; ++x) {
                std::memcpy(line + x * samples, colour16.data(), sizeof(WORD) * samples);
            }
        }
        return page;
    }
    case Source::Grey16Thirds: {
        Bitmap page(FreeImage_AllocateT(FIT_UINT16, width, height));
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<WORD*>(FreeImage_GetScanLine(page.get(), y));
            for (int x = 0; x < width; ++x) {
                line[x] = x < width / 3 ? 0x1000 : x < 2 * width / 3 ? 0x8000 : 0xF000;
            }
        }
        return page;
    }
    case Source::TwoLightGreys:
        return fixtures::makePalettePage({{200, 200, 200}, {230, 230, 230}}, width, height, 8);
    case Source::SmallRgb:
        return fixtures::makeSolidPage(width, height, 40, 120, 200);
    }
    return {};
}

// ---- Readers.

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

unsigned littleEndian16(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t littleEndian32(const QByteArray& bytes, qsizetype at)
{
    return littleEndian16(bytes, at) | (littleEndian16(bytes, at + 2) << 16);
}

// The depth the file's header declares.
int declaredBitsPerPixel(const QByteArray& bytes, const QString& key)
{
    if (key == u"png" && bytes.size() > 26) {
        // IHDR: bit depth at 24, colour type at 25 (0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA).
        static constexpr int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const int type = static_cast<unsigned char>(bytes[25]);
        return static_cast<unsigned char>(bytes[24]) * (type <= 6 ? channels[type] : 0);
    }
    if (key == u"bmp" && bytes.size() > 30) {
        return static_cast<int>(littleEndian16(bytes, 28));
    }
    if (key == u"ico" && bytes.size() > 22) {
        // The first entry's image: a BITMAPINFOHEADER whose bit count is at 14.
        const std::uint32_t offset = littleEndian32(bytes, 18);
        return bytes.size() > qsizetype(offset) + 16 ? static_cast<int>(littleEndian16(bytes, offset + 14)) : 0;
    }
    if (key == u"tga" && bytes.size() > 17) {
        return static_cast<unsigned char>(bytes[16]);
    }
    return 0;
}

// PNG, BMP and ICO through Qt's readers (libpng for PNG); 16-bit PNG samples stay 16-bit.
std::optional<WrittenImage> readWithQt(const QString& path, const QString& key)
{
    const QImage image(path);
    if (image.isNull()) {
        return std::nullopt;
    }
    WrittenImage written{image.width(), image.height(), declaredBitsPerPixel(fileBytes(path), key), {}};
    const bool sixteen = written.bitsPerPixel == 48 || written.bitsPerPixel == 64;
    const bool alpha = image.hasAlphaChannel();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (sixteen) {
                const QRgba64 p = image.pixelColor(x, y).rgba64();
                written.pixels.push_back({p.red(), p.green(), p.blue(), alpha ? p.alpha() : -1});
            } else {
                const QRgb p = image.pixel(x, y);
                written.pixels.push_back({qRed(p), qGreen(p), qBlue(p), alpha ? qAlpha(p) : -1});
            }
        }
    }
    return written;
}

// TIFF through libtiff: contiguous 8- or 16-bit samples as stored.
std::optional<WrittenImage> readWithLibtiff(const QString& path)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (tiff == nullptr) {
        return std::nullopt;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 0;
    std::uint16_t samples = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    WrittenImage written{static_cast<int>(width), static_cast<int>(height), bits * samples, {}};
    std::vector<unsigned char> line(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
    for (std::uint32_t y = 0; y < height && (bits == 8 || bits == 16) && samples >= 3; ++y) {
        if (TIFFReadScanline(tiff, line.data(), y) < 0) {
            TIFFClose(tiff);
            return std::nullopt;
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto sample = [&](unsigned c) {
                const std::size_t i = std::size_t{x} * samples + c;
                return bits == 16 ? reinterpret_cast<const std::uint16_t*>(line.data())[i] : line[i];
            };
            written.pixels.push_back({sample(0), sample(1), sample(2), samples > 3 ? sample(3) : -1});
        }
    }
    TIFFClose(tiff);
    return written;
}

// TGA and JPEG 2000 through FreeImage's readers (OpenJPEG for JPEG 2000, which our small-page
// writer does not share with FreeImage's writer).
std::optional<WrittenImage> readWithFreeImage(const QString& path, const QString& key)
{
    const Bitmap image = e2e::loadImage(path);
    if (!image) {
        return std::nullopt;
    }
    const int declared = declaredBitsPerPixel(fileBytes(path), key);
    WrittenImage written{static_cast<int>(image.width()),
                         static_cast<int>(image.height()),
                         declared != 0 ? declared : static_cast<int>(image.bpp()),
                         {}};
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
    for (int y = 0; y < written.height; ++y) {
        const int row = written.height - 1 - y;
        for (int x = 0; x < written.width; ++x) {
            if (type == FIT_RGB16 || type == FIT_RGBA16) {
                const auto* line = reinterpret_cast<const WORD*>(FreeImage_GetScanLine(image.get(), row));
                const int n = type == FIT_RGBA16 ? 4 : 3;
                const WORD* p = line + x * n;
                written.pixels.push_back({p[0], p[1], p[2], n == 4 ? p[3] : -1});
            } else {
                RGBQUAD p{};
                if (image.bpp() <= 8) {
                    BYTE index = 0;
                    FreeImage_GetPixelIndex(image.get(), x, row, &index);
                    p = FreeImage_GetPalette(image.get())[index];
                } else {
                    FreeImage_GetPixelColor(image.get(), x, row, &p);
                }
                written.pixels.push_back({p.rgbRed, p.rgbGreen, p.rgbBlue, image.bpp() == 32 ? p.rgbReserved : -1});
            }
        }
    }
    return written;
}

std::optional<WrittenImage> readWritten(const QString& path, const QString& key)
{
    if (key == u"tiff") {
        return readWithLibtiff(path);
    }
    if (key == u"png" || key == u"bmp" || key == u"ico") {
        return readWithQt(path, key);
    }
    return readWithFreeImage(path, key);
}

// ---- The table.

struct Probe {
    int x = -1, y = -1; // in the written image; -1: its middle
    Samples want;
};

struct PixelCase {
    const char* name;
    Source source;
    QString key;
    QStringList options;
    int bitsPerPixel; // the written file's depth
    std::vector<Probe> probes;
    int tolerance = 0; // in the file's own levels
    // When not empty: every pixel is one of these colours, and each of them occurs.
    std::vector<Samples> onlyColours = {};
    int width = sourceWidth;
    int height = sourceHeight;
};

void PrintTo(const PixelCase& c, std::ostream* os)
{
    *os << c.name;
}

// Widened the way an 8-bit step's result must be: 255 becomes 65535.
constexpr int wide(int level)
{
    return level * 257;
}

const QStringList halved{QStringLiteral("--width=50"), QStringLiteral("--width-unit=percent"),
                         QStringLiteral("--height=50"), QStringLiteral("--height-unit=percent")};

// levelOf16 of colour16: 0x1234 -> 18, 0xABCD -> 171, 0xFFFF -> 255, 0x8001 -> 128.
const Samples colour16Rgb{0x1234, 0xABCD, 0xFFFF};
const Samples colour16Rgba{0x1234, 0xABCD, 0xFFFF, 0x8001};

const PixelCase pixelCases[] = {
    // 16-bit samples through the steps that work on them.
    {"rgb48ToPngAuto", Source::Rgb48, "png", {}, 48, {{-1, -1, colour16Rgb}}},
    {"rgb48TurnedHalvedFlipped",
     Source::Rgb48,
     "png",
     QStringList{"--rotation=90", "--flip-horizontal", "--flip-vertical"} + halved,
     48,
     {{-1, -1, colour16Rgb}},
     1},
    {"rgb48TurnedSimple30ToTiff",
     Source::Rgb48,
     "tiff",
     {"--rotation=30", "--rotation-back-color=FF8000"},
     48,
     {{-1, -1, colour16Rgb}, {0, 0, {65535, wide(128), 0}}},
     1},
    {"rgb48Framed",
     Source::Rgb48,
     "png",
     {"--fr-solid-left=3", "--fr-solid-left-color=FF0000"},
     48,
     {{-1, -1, colour16Rgb}, {0, sourceHeight / 2, {65535, 0, 0}}}},
    // Opacity 50 of 255: each sample keeps 205/255 of itself under a black frame.
    {"rgb48FramedPartlyOpaque",
     Source::Rgb48,
     "png",
     {"--fr-solid-left=3", "--fr-solid-left-color=000000", "--fr-solid-opacity=50"},
     48,
     {{0, sourceHeight / 2, {0x1234 * 205 / 255, 0xABCD * 205 / 255, 0xFFFF * 205 / 255}}},
     1},
    // An 8-bit step (inversion) widens its result by 257: black becomes 65535, not 65280.
    {"rgb48InvertedIsWidened",
     Source::Rgb48,
     "png",
     {"--invert"},
     48,
     {{-1, -1, {wide(255 - 18), wide(255 - 171), 0}}}},
    {"rgb48TurnedAdvancedIsWidened",
     Source::Rgb48,
     "png",
     {"--rotation=90", "--rotation-type=advanced"},
     48,
     {{-1, -1, {wide(18), wide(171), wide(255)}}},
     1},
    // Alpha is kept: Auto picks 16-bit RGBA where the writer has it, rotation keeps it at any depth.
    {"rgba64ToPngAuto", Source::Rgba64, "png", {}, 64, {{-1, -1, colour16Rgba}}},
    {"rgba64ToTiffAuto", Source::Rgba64, "tiff", {}, 64, {{-1, -1, colour16Rgba}}},
    {"rgba64TurnedToPng32",
     Source::Rgba64,
     "png",
     {"--rotation=90", "--png-bpp=32"},
     32,
     {{-1, -1, {18, 171, 255, 128}}},
     1},
    {"rgba64TurnedSimple30ToPngAuto",
     Source::Rgba64,
     "png",
     {"--rotation=30"},
     64,
     {{-1, -1, colour16Rgba}, {0, 0, {0, 0, 0, 0}}},
     1},
    {"rgba64Turned30ToPng32",
     Source::Rgba64,
     "png",
     {"--rotation=30", "--png-bpp=32"},
     32,
     {{-1, -1, {18, 171, 255, 128}}, {0, 0, {0, 0, 0, 0}}},
     1},
    // 16-bit grey stays grey: at 48 bits unchanged, at Auto never 16-bit colour.
    {"grey16ToPng48",
     Source::Grey16Thirds,
     "png",
     {"--png-bpp=48"},
     48,
     {{4, 8, {0x1000, 0x1000, 0x1000}}, {12, 8, {0x8000, 0x8000, 0x8000}}, {20, 8, {0xF000, 0xF000, 0xF000}}}},
    {"grey16ToBmpAuto",
     Source::Grey16Thirds,
     "bmp",
     {},
     24,
     {{4, 8, {0, 0, 0}}, {12, 8, {128, 128, 128}}, {20, 8, {255, 255, 255}}}},
    {"grey16ToTgaAuto",
     Source::Grey16Thirds,
     "tga",
     {},
     24,
     {{4, 8, {0, 0, 0}}, {12, 8, {128, 128, 128}}, {20, 8, {255, 255, 255}}}},
    {"grey16ToIcoAuto",
     Source::Grey16Thirds,
     "ico",
     {},
     24,
     {{4, 8, {0, 0, 0}}, {12, 8, {128, 128, 128}}, {20, 8, {255, 255, 255}}}},
    // A 1-bit page of two light greys, resized, keeps those two colours and no black.
    {"twoLightGreysHalvedToPng",
     Source::TwoLightGreys,
     "png",
     halved,
     1,
     {},
     0,
     {{200, 200, 200}, {230, 230, 230}},
     64,
     32},
    {"twoLightGreysHalvedToBmp",
     Source::TwoLightGreys,
     "bmp",
     halved,
     1,
     {},
     0,
     {{200, 200, 200}, {230, 230, 230}},
     64,
     32},
    // JPEG 2000 pages with a side under 32 pixels (lossy at 16:1: a few levels off).
    {"smallToJp2", Source::SmallRgb, "jp2", {}, 24, {{-1, -1, {40, 120, 200}}}, 3, {}, 20, 12},
    {"stripToJ2k", Source::SmallRgb, "j2k", {}, 24, {{-1, -1, {40, 120, 200}}}, 3, {}, 300, 5},
    {"onePixelToJ2k", Source::SmallRgb, "j2k", {}, 24, {{0, 0, {40, 120, 200}}}, 3, {}, 1, 1},
    {"small16BitRgbaToJp2Auto", Source::Rgba64, "jp2", {}, 64, {{-1, -1, colour16Rgba}}, 0x300, {}, 8, 8},
};

class WrittenSamples : public testing::TestWithParam<PixelCase> {};

TEST_P(WrittenSamples, AreWhatWentIn)
{
    const PixelCase& c = GetParam();
    const e2e::Sandbox box;
    ASSERT_TRUE(box.isValid());
    const Bitmap source = makeSource(c.source, c.width, c.height);
    ASSERT_TRUE(source);
    e2e::writePage(box, QStringLiteral("page"), source);
    box.makeFolder(QStringLiteral("out"));
    const e2e::RunResult run = box.run(QStringList{"-q", "-i", "in/page.tif", "-o", "out", "-c", c.key} + c.options);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();

    const std::optional<WrittenImage> written = readWritten(box.path(QStringLiteral("out/page.") + c.key), c.key);
    ASSERT_TRUE(written.has_value());
    ASSERT_FALSE(written->pixels.empty());
    EXPECT_EQ(written->bitsPerPixel, c.bitsPerPixel);

    for (const Probe& probe : c.probes) {
        const int x = probe.x < 0 ? written->width / 2 : probe.x;
        const int y = probe.y < 0 ? written->height / 2 : probe.y;
        const Samples& got = written->at(x, y);
        const auto near = [&c](int a, int b) { return std::abs(a - b) <= c.tolerance; };
        EXPECT_TRUE(near(got.red, probe.want.red) && near(got.green, probe.want.green) &&
                    near(got.blue, probe.want.blue) && (probe.want.alpha < 0 || near(got.alpha, probe.want.alpha)))
            << "at (" << x << "," << y << "): " << describe(got) << ", want " << describe(probe.want);
    }

    if (!c.onlyColours.empty()) {
        std::set<std::size_t> seen;
        for (const Samples& got : written->pixels) {
            std::size_t match = c.onlyColours.size();
            for (std::size_t i = 0; i < c.onlyColours.size(); ++i) {
                const Samples& want = c.onlyColours[i];
                if (got.red == want.red && got.green == want.green && got.blue == want.blue) {
                    match = i;
                }
            }
            ASSERT_LT(match, c.onlyColours.size()) << "a colour the page never had: " << describe(got);
            seen.insert(match);
        }
        EXPECT_EQ(seen.size(), c.onlyColours.size());
    }
}

INSTANTIATE_TEST_SUITE_P(PixelCases, WrittenSamples, testing::ValuesIn(pixelCases),
                         [](const testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

} // namespace

#include "app/settings.h"
#include "engine/formats/format_catalogue.h"
#include "engine/steps/bit_depth.h"
#include "engine/write/devil_writer.h"
#include "engine/write/image_writer.h"
#include "engine/write/jxr_writer.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// The 23-format round trip: every fixture kind into every output format, with Auto and with each
// permitted depth, read back by an independent decoder.

namespace {

using fixtures::PageKind;

constexpr int kWidth = 48; // JPEG 2000 needs 32 pixels on each side for its resolution levels
constexpr int kHeight = 32;

struct FixtureKind {
    PageKind kind;
    const char* name;
    int loadedBpp;
};

const FixtureKind kKinds[] = {
    {PageKind::Bilevel, "bilevel", 1}, {PageKind::Grey8, "grey8", 8},    {PageKind::Grey16, "grey16", 16},
    {PageKind::Rgb24, "rgb24", 24},    {PageKind::Rgba32, "rgba32", 32}, {PageKind::Rgb48, "rgb48", 48},
};

Settings defaultSettings()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

JobState jobFor(const QString& key, int depth, int sourceBpp, const Settings& settings)
{
    JobState job;
    job.outputKey = key;
    job.run.formatId = findOutputFormat(key) ? findOutputFormat(key)->formatId : -1;
    job.run.autoBpp = depth == 0 ? 1 : 0;
    job.run.targetBpp = depth;
    job.file.sourceBpp = sourceBpp;
    job.run.saveFlags = computeSaveFlags(key, settings);
    return job;
}

// What a decoder that is not ours says about a written file.
struct ReadBack {
    bool ok = false;
    std::string format;
    unsigned width = 0;
    unsigned height = 0;
    unsigned bpp = 0;
    Bitmap pixels; // for the pixel comparison, when FreeImage can decode it
};

std::string magicOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray head = file.read(4);
    if (head.startsWith("DDS ")) {
        return "dds";
    }
    if (head.startsWith("8BPS")) {
        return "psd";
    }
    if (!head.isEmpty() && head[0] == '\x0A') {
        return "pcx";
    }
    // Plain or raw portable any-maps.
    if (head.startsWith("P1") || head.startsWith("P4")) {
        return "pbm";
    }
    if (head.startsWith("P2") || head.startsWith("P5")) {
        return "pgm";
    }
    if (head.startsWith("P3") || head.startsWith("P6")) {
        return "ppm";
    }
    // WBMP has no signature: type 0 and a zero fixed header.
    if (head.startsWith(QByteArray("\0\0", 2))) {
        return "wbmp";
    }
    return {};
}

ReadBack readBack(const QString& key, const QString& path)
{
    ReadBack result;
    const QByteArray name = QFile::encodeName(path);
    if (isDevilOutputFormat(key)) {
        const DevilImageInfo info = readDevilImageInfo(path);
        result.ok = info.loaded;
        result.format = magicOf(path);
        result.width = static_cast<unsigned>(info.width);
        result.height = static_cast<unsigned>(info.height);
        result.bpp = static_cast<unsigned>(info.bitsPerPixel);
        if (key == QLatin1String("dds") && info.mipmaps == 0) {
            result.ok = false; // the DDS writer builds mipmaps
        }
        result.pixels.reset(FreeImage_Load(FreeImage_GetFileType(name.constData()), name.constData()));
        return result;
    }
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(name.constData());
    if (key == QLatin1String("jxr")) {
        result.format = fif == FIF_JXR ? "jxr" : "?";
        result.pixels = readJxr(path);
    } else if (magicOf(path) == key.toStdString()) {
        // FreeImage does not tell the any-map kinds apart and cannot identify WBMP at all.
        result.format = magicOf(path);
        result.pixels.reset(
            FreeImage_Load(static_cast<FREE_IMAGE_FORMAT>(findOutputFormat(key)->formatId), name.constData()));
    } else {
        const auto expected = static_cast<FREE_IMAGE_FORMAT>(findOutputFormat(key)->formatId);
        result.format = fif == expected ? key.toStdString() : "fif " + std::to_string(fif);
        result.pixels.reset(FreeImage_Load(fif, name.constData()));
    }
    result.ok = static_cast<bool>(result.pixels);
    result.width = result.pixels.width();
    result.height = result.pixels.height();
    result.bpp = result.pixels.bpp();
    return result;
}

// A comparable 24-bit view of an image; empty for float images (compared separately).
Bitmap as24(const Bitmap& image)
{
    if (!image || FreeImage_GetImageType(image.get()) == FIT_RGBF) {
        return {};
    }
    return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
}

// Largest channel difference at the four corners and the centre (orientation and channel order).
int cornerDifference(const Bitmap& a, const Bitmap& b)
{
    const int w = static_cast<int>(a.width());
    const int h = static_cast<int>(a.height());
    int worst = 0;
    for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}) {
        const fixtures::Rgb p = fixtures::pixelAt(a, x, y);
        const fixtures::Rgb q = fixtures::pixelAt(b, x, y);
        worst = std::max({worst, std::abs(int(p.red) - int(q.red)), std::abs(int(p.green) - int(q.green)),
                          std::abs(int(p.blue) - int(q.blue))});
    }
    return worst;
}

// Largest difference of the mean colours of the four quadrants: lossy codecs blur single pixels,
// but a flipped image or swapped channels still shows.
int quadrantDifference(const Bitmap& a, const Bitmap& b)
{
    const int w = static_cast<int>(a.width());
    const int h = static_cast<int>(a.height());
    int worst = 0;
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const int x0 = (quadrant % 2) * w / 2;
        const int y0 = (quadrant / 2) * h / 2;
        long sums[2][3] = {};
        for (int y = y0; y < y0 + h / 2; ++y) {
            for (int x = x0; x < x0 + w / 2; ++x) {
                const fixtures::Rgb p = fixtures::pixelAt(a, x, y);
                const fixtures::Rgb q = fixtures::pixelAt(b, x, y);
                sums[0][0] += p.red, sums[0][1] += p.green, sums[0][2] += p.blue;
                sums[1][0] += q.red, sums[1][1] += q.green, sums[1][2] += q.blue;
            }
        }
        const long count = static_cast<long>(w / 2) * (h / 2);
        for (int c = 0; c < 3; ++c) {
            worst = std::max(worst, static_cast<int>(std::abs(sums[0][c] - sums[1][c]) / count));
        }
    }
    return worst;
}

// Largest relative error at the corners of two float images (half floats, RGBE and JPEG XR's
// float format all round).
double floatCornerError(const Bitmap& a, const Bitmap& b)
{
    if (FreeImage_GetImageType(a.get()) != FIT_RGBF || FreeImage_GetImageType(b.get()) != FIT_RGBF) {
        return 1.0;
    }
    const unsigned w = a.width();
    const unsigned h = a.height();
    double worst = 0.0;
    for (const auto& [x, y] : {std::pair{0U, 0U}, {w - 1, 0U}, {0U, h - 1}, {w - 1, h - 1}}) {
        const auto* p = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(a.get(), static_cast<int>(y))) + x;
        const auto* q = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(b.get(), static_cast<int>(y))) + x;
        // RGBE shares one exponent per pixel, so errors are measured against the brightest channel.
        const double scale =
            std::max({std::abs(double(p->red)), std::abs(double(p->green)), std::abs(double(p->blue))});
        for (const auto& [u, v] : {std::pair{p->red, q->red}, {p->green, q->green}, {p->blue, q->blue}}) {
            worst = std::max(worst, std::abs(double(u) - double(v)) / (scale + 0.01));
        }
    }
    return worst;
}

bool isLossy(const QString& key)
{
    // JPEG family, DXT1-compressed DDS, and FreeImage's default JPEG 2000 rate.
    for (const char* lossy : {"jpg", "jng", "dds", "j2k", "jp2"}) {
        if (key == QLatin1String(lossy)) {
            return true;
        }
    }
    return false;
}

// The depth a decoder reports for a file written at `depth`. Writers drop an alpha channel that is
// opaque everywhere (png, webp), and FreeImage reads an XPM of up to 256 colours as a palette image.
bool depthAsExpected(const QString& key, int depth, PageKind kind, unsigned readBpp)
{
    if (static_cast<int>(readBpp) == depth) {
        return true;
    }
    const bool opaque = kind != PageKind::Rgba32;
    if ((key == QLatin1String("png") || key == QLatin1String("webp")) && depth == 32 && opaque) {
        return readBpp == 24;
    }
    return key == QLatin1String("xpm") && readBpp == 8;
}

class EncodeAllFormats : public testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite()
    {
        folder_ = new QTemporaryDir;
        pages_ = new std::map<PageKind, Bitmap>;
        for (const FixtureKind& kind : kKinds) {
            const QString path = folder_->filePath(QString::fromLatin1(kind.name) + QStringLiteral(".tif"));
            ASSERT_TRUE(fixtures::writeTiff(path, kind.kind, kWidth, kHeight));
            Bitmap page(FreeImage_Load(FIF_TIFF, QFile::encodeName(path).constData()));
            ASSERT_TRUE(page);
            ASSERT_EQ(static_cast<int>(page.bpp()), kind.loadedBpp) << kind.name;
            (*pages_)[kind.kind] = std::move(page);
        }
    }
    static void TearDownTestSuite()
    {
        delete pages_;
        delete folder_;
    }
    static QTemporaryDir* folder_;
    static std::map<PageKind, Bitmap>* pages_;
};

QTemporaryDir* EncodeAllFormats::folder_ = nullptr;
std::map<PageKind, Bitmap>* EncodeAllFormats::pages_ = nullptr;

TEST_P(EncodeAllFormats, WritesEveryFixtureAtAutoAndEveryPermittedDepth)
{
    const QString key = QString::fromLatin1(GetParam());
    const Settings settings = defaultSettings();
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    std::vector<int> depths{0};
    for (const int depth : permittedBitDepths(key)) {
        depths.push_back(depth);
    }
    int written = 0;
    for (const FixtureKind& kind : kKinds) {
        for (const int depth : depths) {
            SCOPED_TRACE(std::string(kind.name) + " -> " + GetParam() + " at " +
                         (depth == 0 ? std::string("Auto") : std::to_string(depth)));
            const JobState job = jobFor(key, depth, kind.loadedBpp, settings);
            const int expectedBpp = effectiveTargetBpp(job);
            Bitmap source(FreeImage_Clone(pages_->at(kind.kind).get()));
            Bitmap converted = convertBitDepth(std::move(source), job);
            ASSERT_TRUE(converted);
            ASSERT_EQ(static_cast<int>(converted.bpp()), expectedBpp);

            const QString path =
                out.filePath(QStringLiteral("%1_%2.%3").arg(QLatin1String(kind.name)).arg(depth).arg(key));
            ASSERT_TRUE(saveImage(converted, path, settings, job));
            ++written;
            const ReadBack back = readBack(key, path);
            ASSERT_TRUE(back.ok);
            EXPECT_EQ(back.format, key.toStdString());
            EXPECT_EQ(back.width, unsigned(kWidth));
            EXPECT_EQ(back.height, unsigned(kHeight));
            EXPECT_PRED4(depthAsExpected, key, expectedBpp, kind.kind, back.bpp);
            const Bitmap before = as24(converted);
            const Bitmap after = as24(back.pixels);
            if (before && after) {
                if (isLossy(key)) {
                    EXPECT_LE(quadrantDifference(before, after), 24);
                } else {
                    EXPECT_EQ(cornerDifference(before, after), 0);
                    EXPECT_EQ(quadrantDifference(before, after), 0);
                }
            } else {
                EXPECT_LE(floatCornerError(converted, back.pixels), 0.02);
            }
        }
    }
    // Only the outputs: no temporary file stays behind.
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), written);
}

INSTANTIATE_TEST_SUITE_P(OutputFormats, EncodeAllFormats,
                         testing::Values("bmp", "dds", "exr", "gif", "hdr", "ico", "j2k", "jng", "jp2", "jpg", "jxr",
                                         "pbm", "pcx", "pfm", "pgm", "png", "ppm", "psd", "tga", "tiff", "wbmp", "webp",
                                         "xpm"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// The automatic depth of the catalogue's lists, from the depth of the page as loaded and what its
// samples are: 16-bit alpha gets 64 bits where the writer keeps it, 16-bit grey never 16-bit colour.
struct AutoCase {
    const char* key;
    int sourceBpp;
    int expected;
    SourceSamples samples = SourceSamples::Standard;
};

class AutoDepth : public testing::TestWithParam<AutoCase> {};

TEST_P(AutoDepth, PicksFirstPermittedDepthAtLeastTheSourceOrTheLargest)
{
    EXPECT_EQ(autoBitDepth(QString::fromLatin1(GetParam().key), GetParam().sourceBpp, GetParam().samples),
              GetParam().expected);
}

constexpr auto grey16 = SourceSamples::SixteenGrey;
constexpr auto rgba16 = SourceSamples::SixteenRgba;

INSTANTIATE_TEST_SUITE_P(
    Table, AutoDepth,
    testing::Values(AutoCase{"png", 1, 1}, AutoCase{"png", 16, 24}, AutoCase{"jpg", 32, 24}, AutoCase{"jpg", 24, 24},
                    AutoCase{"jpg", 1, 8}, AutoCase{"tiff", 64, 96}, AutoCase{"tiff", 48, 48}, AutoCase{"gif", 24, 8},
                    AutoCase{"jxr", 4, 8}, AutoCase{"ppm", 1, 24}, AutoCase{"exr", 1, 96}, AutoCase{"nope", 8, 0},
                    AutoCase{"bmp", 16, 16}, AutoCase{"png", 64, 64, rgba16}, AutoCase{"tiff", 64, 64, rgba16},
                    AutoCase{"jp2", 64, 64, rgba16}, AutoCase{"jxr", 64, 64, rgba16}, AutoCase{"ppm", 64, 48, rgba16},
                    AutoCase{"bmp", 64, 32, rgba16}, AutoCase{"jpg", 64, 24, rgba16}, AutoCase{"bmp", 16, 24, grey16},
                    AutoCase{"tga", 16, 24, grey16}, AutoCase{"ico", 16, 24, grey16}, AutoCase{"jxr", 16, 24, grey16},
                    AutoCase{"png", 16, 24, grey16}));

// Writer flags for the settings that influence them.
struct FlagCase {
    const char* name;
    const char* key;
    void (*change)(OutputSettings&);
    int expected;
};

class SaveFlags : public testing::TestWithParam<FlagCase> {};

TEST_P(SaveFlags, CombineTheFormatsOptions)
{
    Settings settings = defaultSettings();
    if (GetParam().change) {
        GetParam().change(settings.output);
    }
    EXPECT_EQ(computeSaveFlags(QString::fromLatin1(GetParam().key), settings), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SaveFlags,
    testing::Values(FlagCase{"JpgDefaults", "jpg", nullptr, 95 | 0x10000},
                    FlagCase{"PngDefaults", "png", nullptr, 0x100}, FlagCase{"TiffDefaults", "tiff", nullptr, 0x800},
                    FlagCase{"BmpDefaults", "bmp", nullptr, 0}, FlagCase{"JxrLossless", "jxr", nullptr, 100},
                    FlagCase{"WebpLossless", "webp", nullptr, 0x100}, FlagCase{"GifNone", "gif", nullptr, 0},
                    FlagCase{"DdsNone", "dds", nullptr, 0}, FlagCase{"ExrDefaults", "exr", nullptr, 0x2},
                    FlagCase{"JpgAllOptions", "jpg",
                             [](OutputSettings& o) {
                                 o.jpgQuality = 80;
                                 o.jpgChroma = 2;
                                 o.jpgSaveAs = 3;
                             },
                             80 | 0x4000 | 0x2000},
                    FlagCase{"JpgBaselineLowChroma", "jpg",
                             [](OutputSettings& o) {
                                 o.jpgChroma = 3;
                                 o.jpgSaveAs = 1;
                             },
                             95 | 0x1000 | 0x40000},
                    FlagCase{"JpgQualityOutOfRange", "jpg", [](OutputSettings& o) { o.jpgQuality = 101; }, 0x10000},
                    FlagCase{"PngBestInterlaced", "png",
                             [](OutputSettings& o) {
                                 o.pngCompression = 3;
                                 o.pngInterlaced = 1;
                             },
                             9 | 0x200},
                    FlagCase{"TiffLzwCmyk", "tiff",
                             [](OutputSettings& o) {
                                 o.tiffCompression = 6;
                                 o.tiffColorModel = 1;
                             },
                             0x4000 | 0x1},
                    FlagCase{"TiffLabIsRgb", "tiff", [](OutputSettings& o) { o.tiffColorModel = 2; }, 0x800},
                    FlagCase{"TiffCompressionOutOfRange", "tiff", [](OutputSettings& o) { o.tiffCompression = 9; }, 0},
                    FlagCase{"ExrB44", "exr", [](OutputSettings& o) { o.exrCompression = 4; }, 0x20},
                    FlagCase{"ExrOutOfRange", "exr", [](OutputSettings& o) { o.exrCompression = 5; }, 0},
                    FlagCase{"BmpRle", "bmp", [](OutputSettings& o) { o.bmpCompression = 1; }, 1},
                    FlagCase{"TgaRle", "tga", [](OutputSettings& o) { o.tgaCompression = 1; }, 2}),
    [](const testing::TestParamInfo<FlagCase>& info) { return std::string(info.param.name); });

} // namespace

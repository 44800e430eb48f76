#include "app/settings.h"
#include "engine/core/library_messages.h"
#include "engine/formats/format_catalogue.h"
#include "engine/steps/bit_depth.h"
#include "engine/write/image_writer.h"
#include "support/pixel_probe.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <FreeImage.h>
#include <tiffio.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

using fixtures::PageKind;

Settings defaultSettings()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

JobState jobFor(const char* key, int depth, const Settings& settings)
{
    JobState job;
    job.outputKey = QString::fromLatin1(key);
    job.run.formatId = findOutputFormat(job.outputKey)->formatId;
    job.run.targetBpp = depth;
    job.file.sourceBpp = depth;
    job.run.saveFlags = computeSaveFlags(job.outputKey, settings);
    return job;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 u32At(const QByteArray& bytes, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<quint8>(bytes[offset + i]);
    }
    return value;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// An 8-bit palette image whose pixels use the indices 0..highest, each index its own colour.
Bitmap paletteImage(int width, int height, int highest)
{
    Bitmap image(FreeImage_Allocate(width, height, 8));
    RGBQUAD* palette = FreeImage_GetPalette(image.get());
    for (int i = 0; i < 256; ++i) {
        palette[i] = RGBQUAD{static_cast<BYTE>(i * 3), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0};
    }
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image.get(), y);
        for (int x = 0; x < width; ++x) {
            line[x] = static_cast<BYTE>((x + y * width) % (highest + 1));
        }
    }
    return image;
}

// The rows of an 8-bit bitmap as stored (bottom-up), without their padding.
QByteArray storedRows(const Bitmap& image)
{
    QByteArray rows;
    for (unsigned y = 0; y < image.height(); ++y) {
        rows.append(reinterpret_cast<const char*>(FreeImage_GetScanLine(image.get(), static_cast<int>(y))),
                    static_cast<qsizetype>(image.width()));
    }
    return rows;
}

// Decodes an RLE8 pixel stream into rows as stored; empty when the stream is malformed or a pad
// byte after an odd literal run is not 0 (a file whose bytes depend on leftover memory).
QByteArray rle8Rows(const QByteArray& stream, int width, int height)
{
    QByteArray rows(static_cast<qsizetype>(width) * height, '\0');
    int x = 0;
    int y = 0;
    qsizetype at = 0;
    const auto byte = [&stream](qsizetype i) { return static_cast<unsigned char>(stream.at(i)); };
    while (at + 1 < stream.size()) {
        const int count = byte(at);
        const int code = byte(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width && y < height; ++i) {
                rows[y * width + x++] = static_cast<char>(code);
            }
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return rows;
        } else if (code == 2 || at + code + (code & 1) > stream.size()) {
            return {};
        } else {
            for (int i = 0; i < code && x < width && y < height; ++i) {
                rows[y * width + x++] = stream.at(at + i);
            }
            at += code;
            if ((code & 1) != 0 && byte(at++) != 0) {
                return {};
            }
        }
    }
    return {};
}

// ---- exact colour table BMP ----------------------------------------------------------------

struct ExactCase {
    const char* name;
    int highestIndex;
    int compression;
};

class ExactColourBmp : public testing::TestWithParam<ExactCase> {};

TEST_P(ExactColourBmp, TrimsThePaletteToTheHighestIndexUsed)
{
    const ExactCase& c = GetParam();
    QTemporaryDir dir;
    Settings settings = defaultSettings();
    settings.output.bmpColorTable = 1;
    settings.output.bmpCompression = c.compression;
    const JobState job = jobFor("bmp", 8, settings);
    const Bitmap image = paletteImage(33, 9, c.highestIndex);
    const QString path = dir.filePath(QStringLiteral("exact.bmp"));
    ASSERT_TRUE(saveImage(image, path, settings, job));

    const QByteArray bytes = readAll(path);
    const quint32 count = static_cast<quint32>(c.highestIndex) + 1;
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(u32At(bytes, 2), static_cast<quint32>(bytes.size()));
    EXPECT_EQ(u32At(bytes, 10), 54 + 4 * count);
    EXPECT_EQ(u32At(bytes, 14 + 16), static_cast<quint32>(c.compression));
    EXPECT_EQ(u32At(bytes, 14 + 20), static_cast<quint32>(bytes.size()) - (54 + 4 * count));
    EXPECT_EQ(u32At(bytes, 14 + 32), count);
    EXPECT_EQ(u32At(bytes, 14 + 36), count);

    if (c.compression == 1) {
        // FreeImage cannot read RLE bitmaps back: the stream is decoded here.
        EXPECT_EQ(rle8Rows(bytes.mid(54 + 4 * count), 33, 9), storedRows(image));
        return;
    }
    // Any BMP reader sees the same pixels and colours.
    Bitmap back(FreeImage_Load(FIF_BMP, QFile::encodeName(path).constData()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back.bpp(), 8u);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 33; ++x) {
            RGBQUAD expected{};
            RGBQUAD actual{};
            FreeImage_GetPixelColor(image.get(), x, y, &expected);
            FreeImage_GetPixelColor(back.get(), x, y, &actual);
            ASSERT_EQ(expected.rgbRed, actual.rgbRed) << x << "," << y;
            ASSERT_EQ(expected.rgbGreen, actual.rgbGreen);
            ASSERT_EQ(expected.rgbBlue, actual.rgbBlue);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExactColourBmp,
                         testing::Values(ExactCase{"TenColours", 9, 0}, ExactCase{"TenColoursRle", 9, 1},
                                         ExactCase{"OneColour", 0, 0}, ExactCase{"FullPalette", 255, 0}),
                         [](const testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.name); });

TEST(ExactColourBmp, TenColoursGiveDataOffset94)
{
    QTemporaryDir dir;
    Settings settings = defaultSettings();
    settings.output.bmpColorTable = 1;
    const QString path = dir.filePath(QStringLiteral("ten.bmp"));
    ASSERT_TRUE(saveImage(paletteImage(10, 1, 9), path, settings, jobFor("bmp", 8, settings)));
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(u32At(bytes, 10), 94u);
    EXPECT_EQ(u32At(bytes, 46), 10u);
}

TEST(ExactColourBmp, AutoColourTableKeepsFreeImagesFullPalette)
{
    QTemporaryDir dir;
    const Settings settings = defaultSettings(); // Output/BMP Color Table 0 (Auto)
    const QString path = dir.filePath(QStringLiteral("auto.bmp"));
    ASSERT_TRUE(saveImage(paletteImage(10, 1, 9), path, settings, jobFor("bmp", 8, settings)));
    EXPECT_EQ(u32At(readAll(path), 10), 1078u);
}

TEST(RleBmp, PadBytesAreZeroSoThePageAlwaysGivesTheSameFile)
{
    // Runs of 33 different indices: every row is one literal run of odd length, which the encoder
    // pads with a byte it never sets.
    const Bitmap image = paletteImage(33, 9, 200);
    for (const int colourTable : {0, 1}) {
        QTemporaryDir dir;
        Settings settings = defaultSettings();
        settings.output.bmpColorTable = colourTable;
        settings.output.bmpCompression = 1;
        const QString path = dir.filePath(QStringLiteral("rle.bmp"));
        ASSERT_TRUE(saveImage(image, path, settings, jobFor("bmp", 8, settings)));
        const QByteArray bytes = readAll(path);
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(u32At(bytes, 14 + 16), 1u) << "BI_RLE8";
        EXPECT_EQ(rle8Rows(bytes.mid(u32At(bytes, 10)), 33, 9), storedRows(image)) << "colour table " << colourTable;
    }
}

// ---- atomic saves --------------------------------------------------------------------------

struct WriterCase {
    const char* key;
    int depth;
    bool exactBmp;
};

const WriterCase kWriters[] = {
    {"png", 24, false}, {"dds", 32, false}, {"pcx", 24, false},  {"jxr", 24, false},
    {"ico", 24, false}, {"bmp", 8, true},   {"tiff", 24, false},
};

Bitmap pageFor(const WriterCase& c, int width, int height)
{
    JobState job;
    job.outputKey = QString::fromLatin1(c.key);
    job.run.targetBpp = c.depth;
    return convertBitDepth(fixtures::makePage(PageKind::Rgb24, width, height), job);
}

class AtomicSave : public testing::TestWithParam<WriterCase> {};

TEST_P(AtomicSave, UnwritableFolderFailsWithoutAnyFile)
{
    QTemporaryDir dir;
    Settings settings = defaultSettings();
    settings.output.bmpColorTable = GetParam().exactBmp ? 1 : 0;
    // A folder that cannot take files even for root: its name is taken by a plain file.
    const QString blocker = dir.filePath(QStringLiteral("blocked"));
    QFile block(blocker);
    ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    block.close();
    const QString path = blocker + QStringLiteral("/out.") + QString::fromLatin1(GetParam().key);
    EXPECT_FALSE(
        saveImage(pageFor(GetParam(), 20, 20), path, settings, jobFor(GetParam().key, GetParam().depth, settings)));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("blocked")});
    if (geteuid() != 0) {
        // The ordinary case: a folder without write permission.
        const QString locked = dir.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkdir(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(saveImage(pageFor(GetParam(), 20, 20), locked + QStringLiteral("/out.x"), settings,
                               jobFor(GetParam().key, GetParam().depth, settings)));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_TRUE(filesIn(locked).isEmpty());
    }
}

TEST_P(AtomicSave, ReplacesAReadOnlyFileAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    Settings settings = defaultSettings();
    settings.output.bmpColorTable = GetParam().exactBmp ? 1 : 0;
    const QString path = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(GetParam().key));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    ASSERT_TRUE(
        saveImage(pageFor(GetParam(), 20, 20), path, settings, jobFor(GetParam().key, GetParam().depth, settings)));
    EXPECT_NE(readAll(path), QByteArray("old contents"));
    EXPECT_GT(QFileInfo(path).size(), 12);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
}

INSTANTIATE_TEST_SUITE_P(Writers, AtomicSave, testing::ValuesIn(kWriters),
                         [](const testing::TestParamInfo<WriterCase>& info) {
                             return std::string(info.param.key) + (info.param.exactBmp ? "Exact" : "");
                         });

// A page its writer cannot take: the save fails and the earlier file is untouched.
struct RefusedCase {
    const char* key;
    PageKind kind;
};

class RefusedSave : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedSave, KeepsTheEarlierFile)
{
    QTemporaryDir dir;
    const Settings settings = defaultSettings();
    const QString path = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(GetParam().key));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier");
    old.close();
    JobState job = jobFor(GetParam().key, 0, settings);
    EXPECT_FALSE(saveImage(fixtures::makePage(GetParam().kind, 16, 16), path, settings, job));
    EXPECT_EQ(readAll(path), QByteArray("earlier"));
    EXPECT_EQ(filesIn(dir.path()).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Writers, RefusedSave,
                         testing::Values(RefusedCase{"wbmp", PageKind::Rgb24}, RefusedCase{"dds", PageKind::Grey8},
                                         RefusedCase{"hdr", PageKind::Rgb24}, RefusedCase{"gif", PageKind::Rgb24},
                                         RefusedCase{"jpg", PageKind::RgbFloat}, RefusedCase{"exr", PageKind::Rgb24}),
                         [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.key); });

TEST(AtomicSave, EmptyImageWritesNothing)
{
    QTemporaryDir dir;
    const Settings settings = defaultSettings();
    EXPECT_FALSE(saveImage(Bitmap(), dir.filePath(QStringLiteral("a.png")), settings, jobFor("png", 24, settings)));
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}

// ---- icons of every size -------------------------------------------------------------------

struct IconCase {
    int width;
    int height;
    int depth;
};

class IconSizes : public testing::TestWithParam<IconCase> {};

TEST_P(IconSizes, AreWrittenAtTheirOwnSize)
{
    const IconCase& c = GetParam();
    QTemporaryDir dir;
    const Settings settings = defaultSettings();
    const JobState job = jobFor("ico", c.depth, settings);
    Bitmap page = convertBitDepth(fixtures::makePage(PageKind::Rgba32, c.width, c.height), job);
    ASSERT_TRUE(page);
    const QString path = dir.filePath(QStringLiteral("icon.ico"));
    ASSERT_TRUE(saveImage(page, path, settings, job));
    const QByteArray name = QFile::encodeName(path);
    EXPECT_EQ(FreeImage_GetFileType(name.constData()), FIF_ICO);
    Bitmap back(FreeImage_Load(FIF_ICO, name.constData()));
    ASSERT_TRUE(back);
    EXPECT_EQ(static_cast<int>(back.width()), c.width);
    EXPECT_EQ(static_cast<int>(back.height()), c.height);
    EXPECT_EQ(static_cast<int>(back.bpp()), c.depth);
    // Top-left and bottom-right keep their colours (orientation and channel order).
    Bitmap a(FreeImage_ConvertTo24Bits(page.get()));
    Bitmap b(FreeImage_ConvertTo24Bits(back.get()));
    EXPECT_EQ(fixtures::pixelAt(a, 0, 0), fixtures::pixelAt(b, 0, 0));
    EXPECT_EQ(fixtures::pixelAt(a, c.width - 1, c.height - 1), fixtures::pixelAt(b, c.width - 1, c.height - 1));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconSizes,
                         testing::Values(IconCase{100, 50, 32}, IconCase{10, 10, 24}, IconCase{100, 50, 8},
                                         IconCase{7, 3, 1}, IconCase{33, 17, 4}, IconCase{50, 100, 16},
                                         IconCase{64, 64, 32}, IconCase{128, 128, 24}));

TEST(IconSizes, KeepsAlphaOfOurOwnIcons)
{
    QTemporaryDir dir;
    const Settings settings = defaultSettings();
    const Bitmap page = fixtures::makePage(PageKind::Rgba32, 40, 20);
    const QString path = dir.filePath(QStringLiteral("alpha.ico"));
    ASSERT_TRUE(saveImage(page, path, settings, jobFor("ico", 32, settings)));
    Bitmap back(FreeImage_Load(FIF_ICO, QFile::encodeName(path).constData()));
    ASSERT_TRUE(back);
    EXPECT_EQ(FreeImage_GetScanLine(back.get(), 0)[FI_RGBA_ALPHA], FreeImage_GetScanLine(page.get(), 0)[FI_RGBA_ALPHA]);
}

// ---- bit-depth conversion ------------------------------------------------------------------

TEST(ConvertBitDepth, SixteenBitsAre555ForIcoAndTgaAnd565Otherwise)
{
    for (const auto& [key, red, green] : {std::tuple{"bmp", FI16_565_RED_MASK, FI16_565_GREEN_MASK},
                                          std::tuple{"tga", FI16_555_RED_MASK, FI16_555_GREEN_MASK},
                                          std::tuple{"ico", FI16_555_RED_MASK, FI16_555_GREEN_MASK}}) {
        JobState job;
        job.outputKey = QString::fromLatin1(key);
        job.run.targetBpp = 16;
        const Bitmap page = convertBitDepth(fixtures::makePage(PageKind::Rgb24, 8, 8), job);
        ASSERT_EQ(page.bpp(), 16u) << key;
        EXPECT_EQ(FreeImage_GetRedMask(page.get()), unsigned(red)) << key;
        EXPECT_EQ(FreeImage_GetGreenMask(page.get()), unsigned(green)) << key;
        // A page already at 16 bits in the other layout is converted, not passed on.
        job.outputKey = QString::fromLatin1(std::string(key) == "bmp" ? "tga" : "bmp");
        const Bitmap other = convertBitDepth(Bitmap(FreeImage_Clone(page.get())), job);
        EXPECT_NE(FreeImage_GetGreenMask(other.get()), unsigned(green)) << key;
    }
}

TEST(ConvertBitDepth, EightBitsAreGreyForTheGreyKeysAndAPaletteOtherwise)
{
    for (const char* key : {"jpg", "j2k", "jp2", "jxr", "pgm"}) {
        JobState job;
        job.outputKey = QString::fromLatin1(key);
        job.run.targetBpp = 8;
        EXPECT_EQ(FreeImage_GetColorType(convertBitDepth(fixtures::makePage(PageKind::Rgb24, 8, 8), job).get()),
                  FIC_MINISBLACK)
            << key;
    }
    JobState job;
    job.outputKey = QStringLiteral("png");
    job.run.targetBpp = 8;
    const Bitmap quantised = convertBitDepth(fixtures::makePage(PageKind::Rgb24, 8, 8), job);
    EXPECT_EQ(quantised.bpp(), 8u);
    EXPECT_EQ(FreeImage_GetColorType(quantised.get()), FIC_PALETTE);
}

// Every pixel of `page` has the colour of the same pixel of `source`.
bool sameColours(const Bitmap& page, const Bitmap& source)
{
    for (int y = 0; y < static_cast<int>(source.height()); ++y) {
        for (int x = 0; x < static_cast<int>(source.width()); ++x) {
            if (!(fixtures::colourAt(page, x, y) == fixtures::colourAt(source, x, y))) {
                return false;
            }
        }
    }
    return true;
}

bool isGrey(const Bitmap& page)
{
    for (int y = 0; y < static_cast<int>(page.height()); ++y) {
        for (int x = 0; x < static_cast<int>(page.width()); ++x) {
            const fixtures::Rgb colour = fixtures::colourAt(page, x, y);
            if (colour.red != colour.green || colour.green != colour.blue) {
                return false;
            }
        }
    }
    return true;
}

const std::vector<fixtures::Rgb> kRedAndBlue{{255, 0, 0}, {0, 0, 255}};

struct PaletteCase {
    const char* key;
    int depth;          // the depth asked for
    int sourceColours;  // entries of the page's palette, all of them in colour
    unsigned resultBpp; // what the writer gets
    bool keepsColour;   // false: the format's form turns it black and white or grey
};

void PrintTo(const PaletteCase& c, std::ostream* os)
{
    *os << c.sourceColours << " colours to " << c.key << " at " << c.depth;
}

class ColourPalette : public testing::TestWithParam<PaletteCase> {};

// A palette page in colour keeps its colours wherever the format can hold them: pages at the
// target depth keep their palette, the grey keys take them as 24 bits. Only formats without a
// palette (pbm, wbmp, 1-bit jxr) and pgm, which holds grey only, lose the colour.
TEST_P(ColourPalette, KeepsItsColoursWhereTheFormatHoldsThem)
{
    const PaletteCase& c = GetParam();
    std::vector<fixtures::Rgb> colours = kRedAndBlue;
    for (int i = 2; i < c.sourceColours; ++i) {
        colours.push_back(
            {static_cast<unsigned>(i), static_cast<unsigned>(255 - i), static_cast<unsigned>(i * 7 % 256)});
    }
    const Bitmap source = fixtures::makePalettePage(colours, 40, 20, 2);
    ASSERT_TRUE(source);
    JobState job;
    job.outputKey = QString::fromLatin1(c.key);
    job.run.targetBpp = c.depth;
    const Bitmap result = convertBitDepth(Bitmap(FreeImage_Clone(source.get())), job);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), c.resultBpp);
    if (c.keepsColour) {
        EXPECT_TRUE(sameColours(result, source));
    } else {
        EXPECT_TRUE(isGrey(result));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ColourPalette,
                         testing::Values(PaletteCase{"jpg", 8, 200, 24, true}, PaletteCase{"j2k", 8, 200, 24, true},
                                         PaletteCase{"jp2", 8, 200, 24, true}, PaletteCase{"jxr", 8, 200, 24, true},
                                         PaletteCase{"jpg", 8, 2, 24, true}, PaletteCase{"pgm", 8, 200, 8, false},
                                         PaletteCase{"png", 8, 200, 8, true}, PaletteCase{"png", 1, 2, 1, true},
                                         PaletteCase{"bmp", 1, 2, 1, true}, PaletteCase{"tiff", 1, 2, 1, true},
                                         PaletteCase{"ico", 1, 2, 1, true}, PaletteCase{"pbm", 1, 2, 1, false},
                                         PaletteCase{"wbmp", 1, 2, 1, false}, PaletteCase{"jxr", 1, 2, 1, false}),
                         [](const testing::TestParamInfo<PaletteCase>& info) {
                             return std::string(info.param.key) + "At" + std::to_string(info.param.depth) + "From" +
                                    std::to_string(info.param.sourceColours) + "Colours";
                         });

// Auto picks 8 bits for a palette source; a step on the way (resize, frame, watermark) may have
// made the page 24-bit. A colour page stays colour then, a grey one becomes 8-bit grey.
TEST(ConvertBitDepth, AutoKeepsAColourPageInColourForTheGreyKeys)
{
    const Bitmap colour = fixtures::makePage(PageKind::Rgb24, 12, 8);
    const Bitmap grey(FreeImage_ConvertTo24Bits(fixtures::makePage(PageKind::Grey8, 12, 8).get()));
    for (const char* key : {"jpg", "j2k", "jp2", "jxr", "pgm"}) {
        const bool greyOnly = std::string(key) == "pgm";
        JobState job;
        job.outputKey = QString::fromLatin1(key);
        job.run.autoBpp = 1;
        job.file.sourceBpp = 8;
        ASSERT_EQ(effectiveTargetBpp(job), 8) << key;
        const Bitmap fromColour = convertBitDepth(Bitmap(FreeImage_Clone(colour.get())), job);
        EXPECT_EQ(fromColour.bpp(), greyOnly ? 8u : 24u) << key;
        EXPECT_TRUE(greyOnly ? isGrey(fromColour) : sameColours(fromColour, colour)) << key;
        const Bitmap fromGrey = convertBitDepth(Bitmap(FreeImage_Clone(grey.get())), job);
        EXPECT_EQ(FreeImage_GetColorType(fromGrey.get()), FIC_MINISBLACK) << key;
        EXPECT_TRUE(sameColours(fromGrey, grey)) << key;
    }
}

TEST(ConvertBitDepth, PaletteOfGreysStaysGreyForTheGreyKeys)
{
    // Greys in no particular order: the indices are resolved to their levels.
    const std::vector<fixtures::Rgb> greys{{200, 200, 200}, {10, 10, 10},    {90, 90, 90}, {255, 255, 255}, {0, 0, 0},
                                           {30, 30, 30},    {160, 160, 160}, {60, 60, 60}, {120, 120, 120}, {1, 1, 1},
                                           {2, 2, 2},       {3, 3, 3},       {4, 4, 4},    {5, 5, 5},       {6, 6, 6},
                                           {7, 7, 7},       {8, 8, 8}};
    const Bitmap source = fixtures::makePalettePage(greys, 20, 20, 2);
    ASSERT_EQ(source.bpp(), 8u);
    for (const char* key : {"jpg", "j2k", "jp2", "jxr"}) {
        JobState job;
        job.outputKey = QString::fromLatin1(key);
        job.run.targetBpp = 8;
        const Bitmap result = convertBitDepth(Bitmap(FreeImage_Clone(source.get())), job);
        EXPECT_EQ(FreeImage_GetColorType(result.get()), FIC_MINISBLACK) << key;
        EXPECT_TRUE(sameColours(result, source)) << key;
    }
}

TEST(ConvertBitDepth, AutoUsesTheDepthOfThePageAsLoaded)
{
    JobState job;
    job.outputKey = QStringLiteral("png");
    job.run.autoBpp = 1;
    job.file.sourceBpp = 16; // a 16-bit grey page, already 8-bit grey after loading
    EXPECT_EQ(effectiveTargetBpp(job), 24);
    EXPECT_EQ(convertBitDepth(fixtures::makePage(PageKind::Grey8, 8, 8), job).bpp(), 24u);
}

TEST(ConvertBitDepth, UnsupportedDepthOrEmptyPageGivesAnEmptyImage)
{
    JobState job;
    job.outputKey = QStringLiteral("png");
    // 64 is a depth (16-bit RGBA, which only the automatic depth picks); 128 is none.
    for (const int depth : {0, 2, 7, 128}) {
        job.run.targetBpp = depth;
        EXPECT_FALSE(convertBitDepth(fixtures::makePage(PageKind::Rgb24, 8, 8), job)) << depth;
    }
    job.run.targetBpp = 24;
    EXPECT_FALSE(convertBitDepth(Bitmap(), job));
}

TEST(ConvertBitDepth, SameDepthReturnsThePageItself)
{
    JobState job;
    job.outputKey = QStringLiteral("png");
    job.run.targetBpp = 24;
    Bitmap page = fixtures::makePage(PageKind::Rgb24, 8, 8);
    FIBITMAP* original = page.get();
    EXPECT_EQ(convertBitDepth(std::move(page), job).get(), original);
}

// ---- library messages ----------------------------------------------------------------------

// Runs `action` with standard error redirected to a file and returns what was written there.
template <typename Action> std::string stderrOf(Action action)
{
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    action();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::rewind(capture);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, capture)) {
        text += buffer;
    }
    std::fclose(capture);
    return text;
}

TEST(LibraryMessages, GoToTheSinkOnlyAndNeverToTheTerminal)
{
    QTemporaryDir dir;
    QStringList lines;
    const std::string terminal = stderrOf([&] {
        const LibraryMessageScope scope([&](const QString& line) { lines.append(line); });
        // libtiff reports a missing file through its error handler ...
        TIFF* tiff = TIFFOpen(QFile::encodeName(dir.filePath(QStringLiteral("missing.tif"))).constData(), "r");
        EXPECT_EQ(tiff, nullptr);
        // ... and FreeImage its refusals through its output message.
        Bitmap oblong(FreeImage_Allocate(100, 50, 24));
        EXPECT_FALSE(FreeImage_Save(FIF_ICO, oblong.get(),
                                    QFile::encodeName(dir.filePath(QStringLiteral("x.ico"))).constData(), 0));
    });
    EXPECT_EQ(terminal, "");
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.filter(QStringLiteral("libtiff error")).size() >= 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("Unsupported icon size")).size() == 1) << lines.join('\n').toStdString();

    // Outside the scope the messages are dropped, still silently.
    const qsizetype before = lines.size();
    const std::string afterwards =
        stderrOf([&] { TIFFOpen(QFile::encodeName(dir.filePath(QStringLiteral("missing.tif"))).constData(), "r"); });
    EXPECT_EQ(afterwards, "");
    EXPECT_EQ(lines.size(), before);
}

TEST(LibraryMessages, OrdinaryTiffsStayQuiet)
{
    // Debian's libtiff complains about every EXIF tag FreeImage asks for, on writing and reading.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.tif"));
    int messages = 0;
    const std::string terminal = stderrOf([&] {
        const LibraryMessageScope scope([&](const QString&) { ++messages; });
        EXPECT_TRUE(fixtures::writeTiff(path, PageKind::Rgb24, 8, 8));
        Bitmap loaded(FreeImage_Load(FIF_TIFF, QFile::encodeName(path).constData(), 0));
        EXPECT_TRUE(loaded);
    });
    EXPECT_EQ(terminal, "");
    EXPECT_GT(messages, 0);
}

} // namespace

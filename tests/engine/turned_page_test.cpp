#include "engine/decode/page_loader.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/page_path.h"
#include "engine/run/pipeline.h"
#include "engine/run/streamed_page.h"
#include "support/console_run.h"
#include "support/drawing_fixtures.h"
#include "support/libtiff_reference.h"
#include "support/report_reader.h"
#include "support/tiff_variants.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

using fixtures::TiffVariant;

namespace {

// Odd sizes: edge tiles, a short last strip, a last scratch slab narrower than the others.
constexpr int pageWidth = 45;
constexpr int pageHeight = 37;

TiffVariant variant(const char* name, std::uint16_t photometric, std::uint16_t bits, std::uint16_t samples, bool alpha,
                    bool tiled)
{
    TiffVariant v{
        .name = QString::fromLatin1(name), .photometric = photometric, .bitsPerSample = bits, .colourSamples = samples};
    v.alpha = alpha;
    v.tiled = tiled;
    v.compression = COMPRESSION_LZW;
    v.rowsPerStrip = 5;
    return v;
}

// 1-bit and 8-bit grey, RGB and RGBA, in strips (turned through the scratch file) and in tiles.
const TiffVariant pages[] = {
    variant("bilevel_strips", PHOTOMETRIC_MINISWHITE, 1, 1, false, false),
    variant("bilevel_tiles", PHOTOMETRIC_MINISBLACK, 1, 1, false, true),
    variant("grey_strips", PHOTOMETRIC_MINISBLACK, 8, 1, false, false),
    variant("grey_tiles", PHOTOMETRIC_MINISWHITE, 8, 1, false, true),
    variant("rgb_strips", PHOTOMETRIC_RGB, 8, 3, false, false),
    variant("rgb_tiles", PHOTOMETRIC_RGB, 8, 3, false, true),
    variant("rgba_strips", PHOTOMETRIC_RGB, 8, 3, true, false),
    variant("rgba_tiles", PHOTOMETRIC_RGB, 8, 3, true, true),
};

struct Chain {
    const char* name;
    std::function<void(Settings&)> apply;
};

// A resize to percentages of the turned page's sides.
void resizePercent(Settings& s, int width, int height)
{
    s.transform.doImageResize = 1;
    s.transform.imageWidth = width;
    s.transform.imageWidthUnit = 1;
    s.transform.imageHeight = height;
    s.transform.imageHeightUnit = 1;
}

// What follows the turn: nothing, both flips, a resize to other proportions (the columns filtered
// first), a resize with a flip and greyscale, and a frame with a watermark.
const Chain chains[] = {
    {"turned", [](Settings&) {}},
    {"flipped",
     [](Settings& s) {
         s.transform.doImageFlipHorizontal = 1;
         s.transform.doImageFlipVertical = 1;
     }},
    {"resized", [](Settings& s) { resizePercent(s, 150, 60); }},
    {"halved_flipped_grey",
     [](Settings& s) {
         resizePercent(s, 50, 50);
         s.transform.doImageFlipHorizontal = 1;
         s.adjustment.doImageGreyscale = 1;
     }},
    // The frame and the watermark drawn on the turned bands, each band at its row of the turned page.
    {"framed_marked",
     [](Settings& s) {
         fixtures::useFrame(s, 3, 5, 2, 4);
         s.watermark.doWatermark = 1;
         s.watermark.text = QStringLiteral("Turn");
         s.watermark.font = QStringLiteral("Liberation Sans");
         s.watermark.fontSize = 8;
         s.watermark.textPosition = 4;
     }},
};

void turn(Settings& settings, int angle)
{
    settings.transform.doImageRotation = 1;
    settings.transform.imageRotationType = 0;
    settings.transform.imageRotation = angle;
}

// A console run with the system's temporary folder of its own (where the scratch file goes), the
// smallest bands the page allows, and the page written to TIFF (LZW) unless the test says otherwise.
class TurnedRun : public ConsoleRun {
  protected:
    void SetUp() override
    {
        ConsoleRun::SetUp();
        ASSERT_TRUE(temp.isValid());
        savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", temp.path().toUtf8());
    }
    void TearDown() override
    {
        if (savedTemp.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", savedTemp);
        }
    }

    void prepare(const char* key = "tiff", int tiffBpp = 0)
    {
        settings.output.tiffCompression = 6;
        settings.output.tiffBpp = tiffBpp;
        useFormat(QString::fromLatin1(key));
        job.run.streamBandBytes = 1;
    }

    std::optional<EncodedPage> streamed(const QString& input)
    {
        job.file.inputPath = input;
        job.run.streamAbove = 0;
        RunContext context{settings, job};
        return encodeStreamedPage(0, readTiffPageHeaders(input).at(0), PagePlacement{}, context);
    }

    // The streamed file, then the in-memory file under the same name: the same bytes.
    void compareWithInMemory(const QString& input)
    {
        std::optional<EncodedPage> page = streamed(input);
        ASSERT_TRUE(page.has_value()) << "the page did not stream";
        ASSERT_FALSE(page->failure) << describeFailure(page->failure).toStdString();
        const QByteArray streamedBytes = reports::fileContent(page->encodedPath);
        ASSERT_FALSE(streamedBytes.isEmpty());
        QFile::remove(page->encodedPath);
        EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "a scratch file is left";

        job.run.streamAbove = std::numeric_limits<std::uint64_t>::max();
        RunContext context{settings, job};
        ASSERT_TRUE(processCurrentFile(context)) << describeFailure(context.failure).toStdString();
        const QByteArray inMemory = reports::fileContent(job.file.outputPath);
        ASSERT_EQ(streamedBytes.size(), inMemory.size());
        const auto differs = std::mismatch(streamedBytes.begin(), streamedBytes.end(), inMemory.begin()).first;
        EXPECT_TRUE(differs == streamedBytes.end()) << "first difference at byte " << differs - streamedBytes.begin();
        QFile::remove(job.file.outputPath);
    }

    QTemporaryDir temp;
    QByteArray savedTemp;
};

class TurnedFile : public TurnedRun, public ::testing::WithParamInterface<TiffVariant> {};

struct Writer {
    const char* key;
    int tiffBpp;
};

// TIFF at the page's own depth (a grey page turned at 24 bits then needs a palette of its colours,
// which only the whole page gives, unless the chain makes it grey), TIFF at 24 bits, and PGM, which
// takes the turned page's grey levels pixel by pixel.
const Writer writers[] = {{"tiff", 0}, {"tiff", 24}, {"pgm", 0}};

// Every right angle and every chain after it: the streamed file is the in-memory file, with each
// writer that streams the page (at least one for every turn and chain).
TEST_P(TurnedFile, IsTheInMemoryFileByteForByte)
{
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    fixtures::TiffExtras extras;
    extras.dpi = 150;
    ASSERT_TRUE(fixtures::writeTiffVariant(input, GetParam(), pageWidth, pageHeight, extras));
    const TiffPageHeader header = readTiffPageHeaders(input).at(0);
    for (const int angle : {90, 180, 270}) {
        for (const Chain& chain : chains) {
            int streamedWriters = 0;
            for (const Writer& writer : writers) {
                SCOPED_TRACE(std::to_string(angle) + " degrees, " + chain.name + ", " + writer.key + " " +
                             std::to_string(writer.tiffBpp));
                resetToDefaults(settings, true);
                turn(settings, angle);
                chain.apply(settings);
                prepare(writer.key, writer.tiffBpp);
                job.run.streamAbove = 0;
                if (choosePagePath(header, settings, job) == PagePath::Streamed) {
                    ++streamedWriters;
                    compareWithInMemory(input);
                }
            }
            EXPECT_GT(streamedWriters, 0) << angle << " degrees, " << chain.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TurnedFile, ::testing::ValuesIn(pages),
                         [](const ::testing::TestParamInfo<TiffVariant>& info) {
                             return info.param.name.toStdString();
                         });

// Pixels by an independent decoder: libtiff's RGBA reading of the source, turned by hand a quarter
// turn counter-clockwise (the top row of the turned page is the source's rightmost column), is
// libtiff's reading of the streamed file.
TEST_F(TurnedRun, QuarterTurnMovesEveryPixelCounterClockwise)
{
    for (const TiffVariant& page : {pages[4], pages[5]}) {
        SCOPED_TRACE(page.name.toStdString());
        const QString input = dir.filePath(page.name + QStringLiteral(".tif"));
        ASSERT_TRUE(fixtures::writeTiffVariant(input, page, pageWidth, pageHeight));
        resetToDefaults(settings, true);
        turn(settings, 90);
        prepare();
        std::optional<EncodedPage> turned = streamed(input);
        ASSERT_TRUE(turned.has_value());
        ASSERT_FALSE(turned->failure);
        const std::vector<fixtures::RgbaLevels> source = fixtures::libtiffRgba(input, pageWidth, pageHeight);
        const std::vector<fixtures::RgbaLevels> got = fixtures::libtiffRgba(turned->encodedPath, pageHeight, pageWidth);
        ASSERT_EQ(source.size(), got.size());
        std::vector<fixtures::RgbaLevels> want(source.size());
        for (int y = 0; y < pageWidth; ++y) {
            for (int x = 0; x < pageHeight; ++x) {
                want[static_cast<std::size_t>(y * pageHeight + x)] =
                    source[static_cast<std::size_t>(x * pageWidth + (pageWidth - 1 - y))];
            }
        }
        EXPECT_EQ(fixtures::firstDifference(got, want, 0, pageHeight), "");
        QFile::remove(turned->encodedPath);
    }
}

// Overwrites the LZW data of the page's blocks from the third one on with codes no table holds.
bool damageBlocks(const QString& path)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> blocks; // offset, size
    if (TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        const std::uint32_t count = TIFFIsTiled(tiff) != 0 ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
        for (std::uint32_t block = 2; block < count; ++block) {
            blocks.emplace_back(TIFFGetStrileOffset(tiff, block), TIFFGetStrileByteCount(tiff, block));
        }
        TIFFClose(tiff);
    }
    QByteArray bytes = reports::fileContent(path);
    for (const auto& [offset, size] : blocks) {
        if (offset + size > static_cast<std::uint64_t>(bytes.size())) {
            return false;
        }
        std::memset(bytes.data() + offset, 0xFF, static_cast<std::size_t>(size));
    }
    QFile file(path);
    return !blocks.empty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A damaged strip or tile fails the turned page as damaged, by its number, and leaves no file,
// output, temporary or scratch.
TEST_F(TurnedRun, DamagedPageFailsAndLeavesNoFile)
{
    for (const TiffVariant& page : {pages[4], pages[5]}) {
        for (const int angle : {90, 180, 270}) {
            SCOPED_TRACE(page.name.toStdString() + " turned " + std::to_string(angle));
            const QString input = dir.filePath(QStringLiteral("damaged.tif"));
            ASSERT_TRUE(fixtures::writeTiffVariant(input, page, pageWidth, pageHeight));
            ASSERT_TRUE(damageBlocks(input));
            resetToDefaults(settings, true);
            turn(settings, angle);
            prepare();
            job.run.streamAbove = 0;
            job.file.inputPath = input;
            RunContext context{settings, job};
            EXPECT_FALSE(processCurrentFile(context));
            EXPECT_EQ(describeFailure(context.failure),
                      describeFailure({FileFailureKind::Damaged, QStringLiteral("page 1")}));
            EXPECT_EQ(outputs(), QStringList());
            EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        }
    }
}

// Without a writable temporary folder a page in strips cannot be turned in bands: it is converted
// in memory instead, to the same file; a tiled page needs no scratch and still streams.
TEST_F(TurnedRun, UnwritableTemporaryFolderFallsBackToMemory)
{
    qputenv("TMPDIR", dir.filePath(QStringLiteral("missing")).toUtf8());
    for (const TiffVariant& page : {pages[2], pages[3]}) {
        SCOPED_TRACE(page.name.toStdString());
        const QString input = dir.filePath(page.name + QStringLiteral(".tif"));
        ASSERT_TRUE(fixtures::writeTiffVariant(input, page, pageWidth, pageHeight));
        resetToDefaults(settings, true);
        turn(settings, 270);
        prepare();
        std::optional<EncodedPage> attempt = streamed(input);
        EXPECT_EQ(attempt.has_value(), page.tiled);
        if (attempt) {
            QFile::remove(attempt->encodedPath);
        }
        RunContext context{settings, job};
        job.run.streamAbove = 0;
        EXPECT_TRUE(processCurrentFile(context)) << describeFailure(context.failure).toStdString();
        const QByteArray converted = reports::fileContent(job.file.outputPath);
        job.run.streamAbove = std::numeric_limits<std::uint64_t>::max();
        ASSERT_TRUE(processCurrentFile(context));
        EXPECT_EQ(converted, reports::fileContent(job.file.outputPath));
        QFile::remove(job.file.outputPath);
    }
}

// Other angles, and Advanced rotation (which keeps the page's size), stay with the whole page; so
// does a half turn of a page in one large compressed strip, which cannot be read bottom-up cheaply.
TEST_F(TurnedRun, OtherRotationsStayInMemory)
{
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    TiffVariant oneStrip = pages[4];
    oneStrip.rowsPerStrip = pageHeight;
    ASSERT_TRUE(fixtures::writeTiffVariant(input, oneStrip, pageWidth, pageHeight));
    TiffPageHeader header = readTiffPageHeaders(input).at(0);
    struct Case {
        int angle;
        int type;
        bool flipped;
        bool streams;
    };
    header.rowsPerStrip = 1U << 20; // as if the strip were larger than a band read bottom-up may be
    for (const Case c : {Case{45, 0, false, false}, Case{90, 1, false, false}, Case{180, 0, false, false},
                         Case{180, 0, true, true}, Case{270, 0, false, true}}) {
        SCOPED_TRACE(std::to_string(c.angle) + " type " + std::to_string(c.type));
        resetToDefaults(settings, true);
        turn(settings, c.angle);
        settings.transform.imageRotationType = c.type;
        settings.transform.doImageFlipVertical = c.flipped ? 1 : 0;
        prepare();
        job.run.streamAbove = 0;
        EXPECT_EQ(choosePagePath(header, settings, job) == PagePath::Streamed, c.streams);
    }
}

} // namespace

// A turned page holds a few bands, not the page: its column of tiles or scratch slab, the turned
// band and the steps' copies, at the run's band size.
TEST_F(TurnedRun, HugePageHoldsAFewBands)
{
    for (const TiffVariant& page : {pages[4], pages[5]}) {
        const QString input = dir.filePath(page.name + QStringLiteral(".tif"));
        ASSERT_TRUE(fixtures::writeTiffVariant(input, page, pageWidth, pageHeight));
        TiffPageHeader header = readTiffPageHeaders(input).at(0);
        header.width = 20000; // as if the page were this large
        header.height = 15000;
        for (const int angle : {90, 180, 270}) {
            SCOPED_TRACE(page.name.toStdString() + " turned " + std::to_string(angle));
            resetToDefaults(settings, true);
            turn(settings, angle);
            prepare("jpg");
            job.run.streamBandBytes = std::uint64_t{4} << 20;
            const std::uint64_t held = streamedPageMemory(header, settings, job);
            EXPECT_GT(held, job.run.streamBandBytes);
            EXPECT_LT(held, std::uint64_t{64} << 20);
        }
    }
}

// Copying a page in strips for a quarter turn reads the whole page before its first band: the run
// is asked between the bands of the copy too, and a stop there abandons the page and leaves no file.
TEST_F(TurnedRun, StopWhileCopyingForTheTurnLeavesNoFile)
{
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(input, pages[4], pageWidth, pageHeight)); // 8 strips
    turn(settings, 90);
    prepare();
    job.run.streamAbove = 0;
    job.file.inputPath = input;
    for (const int stopAt : {0, 4}) {
        SCOPED_TRACE(stopAt == 0 ? "not stopped" : "stopped");
        RunContext context{settings, job};
        int gates = 0;
        context.gate = [&] {
            ++gates;
            return stopAt == 0 || gates < stopAt;
        };
        if (stopAt == 0) {
            EXPECT_TRUE(processCurrentFile(context));
            // One gate before the page, one between each two strips of the copy, then the bands.
            EXPECT_GT(gates, 8);
            QFile::remove(job.file.outputPath);
        } else {
            EXPECT_FALSE(processCurrentFile(context));
            EXPECT_EQ(context.failure.kind, FileFailureKind::Abandoned);
            // The stop in the copy, then the gate before the page is named.
            EXPECT_EQ(gates, stopAt + 1) << "the copy went on after the stop";
            EXPECT_EQ(outputs(), QStringList());
        }
    }
}

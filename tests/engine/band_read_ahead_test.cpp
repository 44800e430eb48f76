#include "engine/decode/page_loader.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/run/band_read_ahead.h"
#include "engine/run/conversion_run.h"
#include "engine/run/memory_budget.h"
#include "engine/run/page_path.h"
#include "engine/run/pipeline.h"
#include "support/console_run.h"
#include "support/drawing_fixtures.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_variants.h"

#include <QFile>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <atomic>
#include <functional>
#include <limits>
#include <mutex>
#include <ostream>
#include <span>
#include <thread>
#include <vector>

using fixtures::TiffVariant;

namespace {

// --- the read-ahead on its own ------------------------------------------------------------------

// A band of one pixel whose value is its number, as a stand-in for a decoded band.
Bitmap numberedBand(int band)
{
    Bitmap bitmap(FreeImage_Allocate(1, 1, 8));
    if (bitmap) {
        *FreeImage_GetBits(bitmap.get()) = static_cast<BYTE>(band);
    }
    return bitmap;
}

// What the read function saw: the bands asked for, on which threads, and how far ahead of the
// caller it ever got.
struct Reads {
    std::mutex lock;
    std::vector<int> bands;
    std::vector<std::thread::id> threads;
    std::atomic<int> taken{0}; // bands the caller holds or held
    int mostAhead = 0;         // the most bands read beyond those taken

    BandReadAhead::ReadBand reader(int failAt)
    {
        return [this, failAt](int band) {
            const std::lock_guard hold(lock);
            bands.push_back(band);
            threads.push_back(std::this_thread::get_id());
            mostAhead = std::max(mostAhead, static_cast<int>(bands.size()) - taken.load());
            return band == failAt ? Bitmap() : numberedBand(band);
        };
    }
};

struct OrderCase {
    const char* name;
    int count;
    bool bottomUp;
    int failAt;                // the band that cannot be read, -1 none
    std::vector<int> expected; // the bands handed out whole, in order
};

void PrintTo(const OrderCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadAheadOrder : public ::testing::TestWithParam<OrderCase> {};

// Bands come out in the page's order, read on another thread, never more than one beyond the band
// the caller holds; a band that cannot be read ends the page and nothing after it is read.
TEST_P(ReadAheadOrder, HandsOutBandsInOrderOneAhead)
{
    const OrderCase& c = GetParam();
    Reads reads;
    std::vector<int> handedOut;
    {
        std::unique_ptr<BandReadAhead> ahead = BandReadAhead::start(reads.reader(c.failAt), c.count, c.bottomUp);
        ASSERT_NE(ahead, nullptr);
        while (const Bitmap band = ahead->next()) {
            handedOut.push_back(*FreeImage_GetBits(band.get()));
            ++reads.taken;
        }
        EXPECT_FALSE(ahead->next()) << "a band after the end or after a failed band";
    }
    EXPECT_EQ(handedOut, c.expected);
    std::vector<int> read = c.expected;
    if (c.failAt >= 0) {
        read.push_back(c.failAt);
    }
    EXPECT_EQ(reads.bands, read) << "bands read beyond a failed one, or out of order";
    EXPECT_LE(reads.mostAhead, 2) << "more than one band waited beside the one the caller holds";
    for (const std::thread::id& thread : reads.threads) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadAheadOrder,
                         ::testing::Values(OrderCase{"top_down", 5, false, -1, {0, 1, 2, 3, 4}},
                                           OrderCase{"bottom_up", 4, true, -1, {3, 2, 1, 0}},
                                           OrderCase{"one_band", 1, false, -1, {0}},
                                           OrderCase{"no_band", 0, false, -1, {}},
                                           OrderCase{"damaged_in_the_middle", 6, false, 2, {0, 1}},
                                           OrderCase{"damaged_first_bottom_up", 3, true, 2, {}},
                                           OrderCase{"damaged_last", 3, false, 2, {0, 1}}),
                         [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

// Given up after a few bands of many (the run abandoned, a writer failed): the thread reads at
// most the band after the last one taken, and is joined by the time the read-ahead is gone.
TEST(ReadAhead, StopsReadingWhenGivenUp)
{
    for (const int taken : {0, 1, 3}) {
        SCOPED_TRACE(taken);
        Reads reads;
        {
            std::unique_ptr<BandReadAhead> ahead = BandReadAhead::start(reads.reader(-1), 200, false);
            ASSERT_NE(ahead, nullptr);
            for (int i = 0; i < taken; ++i) {
                ASSERT_TRUE(ahead->next());
            }
        }
        const std::lock_guard hold(reads.lock);
        EXPECT_LE(reads.bands.size(), static_cast<std::size_t>(taken + 1));
    }
}

// --- streamed pages read ahead: the same files, the same failures --------------------------------

constexpr int pageWidth = 61;
constexpr int pageHeight = 53;

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A page of the variant, its strip or tile `damagedStrile` pointing past the end of the file
// (none when negative).
bool writePage(const QString& path, const TiffVariant& variant, int damagedStrile)
{
    if (!fixtures::writeTiffVariant(path, variant, pageWidth, pageHeight)) {
        return false;
    }
    if (damagedStrile < 0) {
        return true;
    }
    QByteArray bytes = fileBytes(path);
    return fixtures::patchStrile(bytes, 0, damagedStrile, false, static_cast<std::uint32_t>(bytes.size()) * 2) &&
           writeBytes(path, bytes);
}

TiffVariant rgb(std::uint16_t compression, bool tiled = false, std::uint32_t rowsPerStrip = 4)
{
    TiffVariant variant{
        .name = QStringLiteral("page"), .photometric = PHOTOMETRIC_RGB, .bitsPerSample = 8, .colourSamples = 3};
    variant.compression = compression;
    variant.tiled = tiled;
    variant.rowsPerStrip = rowsPerStrip;
    return variant;
}

TiffVariant grey(std::uint16_t compression, std::uint32_t rowsPerStrip = 4)
{
    TiffVariant variant{
        .name = QStringLiteral("page"), .photometric = PHOTOMETRIC_MINISBLACK, .bitsPerSample = 8, .colourSamples = 1};
    variant.compression = compression;
    variant.rowsPerStrip = rowsPerStrip;
    return variant;
}

struct PageCase {
    const char* name;
    std::function<bool(const QString&)> write;
    const char* format;
    std::function<void(Settings&)> chain = {};
    int gatesBeforeAbandon = -1; // the run's gate says stop after this many calls; -1 never
    bool fails = false;
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name;
}

const PageCase pageCases[] = {
    {"lzw_strips_to_jpg", [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW), -1); }, "jpg"},
    {"deflate_tiles_to_tiff", [](const QString& p) { return writePage(p, rgb(COMPRESSION_ADOBE_DEFLATE, true), -1); },
     "tiff"},
    // One strip the height of the page, read a few rows at a time.
    {"one_lzw_strip_to_ppm", [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW, false, pageHeight), -1); },
     "ppm"},
    {"flipped_bottom_up_to_png", [](const QString& p) { return writePage(p, grey(COMPRESSION_PACKBITS), -1); }, "png",
     [](Settings& s) {
         s.transform.doImageFlipVertical = 1;
         s.transform.doImageFlipHorizontal = 1;
     }},
    {"resized_to_jpg", [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW), -1); }, "jpg",
     [](Settings& s) {
         s.transform.doImageResize = 1;
         s.transform.imageWidth = 70;
         s.transform.imageWidthUnit = 1;
         s.transform.imageHeight = 45;
         s.transform.imageHeightUnit = 1;
         s.transform.imageResizeAlgorithm = 3;
     }},
    // Turned bands (from a scratch copy of the strips, from columns of tiles) are read ahead too.
    {"quarter_turn_of_strips_to_jpg", [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW), -1); }, "jpg",
     [](Settings& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 90;
     }},
    {"framed_three_quarter_turn_of_tiles_to_tiff",
     [](const QString& p) { return writePage(p, rgb(COMPRESSION_ADOBE_DEFLATE, true), -1); }, "tiff",
     [](Settings& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 270;
         fixtures::useFrame(s, 3, 2, 5, 1);
     }},
    {"damaged_middle_strip",
     [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW), 6); },
     "tiff",
     {},
     -1,
     true},
    {"damaged_middle_tile",
     [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW, true), 9); },
     "jpg",
     {},
     -1,
     true},
    {"damaged_first_band_read_bottom_up", [](const QString& p) { return writePage(p, grey(COMPRESSION_NONE), 13); },
     "pgm", [](Settings& s) { s.transform.doImageFlipVertical = 1; }, -1, true},
    {"cut_short",
     [](const QString& p) { return writeBytes(p, fixtures::cutShortTiff(pageWidth, 4, 12, 7)); },
     "png",
     {},
     -1,
     true},
    {"abandoned_after_two_bands",
     [](const QString& p) { return writePage(p, rgb(COMPRESSION_LZW), -1); },
     "tiff",
     {},
     4,
     true},
};

// The outcome of converting the file in hand: whether it succeeded, why not, the files it left and
// their bytes, and how often the run's gate was asked.
struct Outcome {
    bool converted = false;
    QString failure;
    QStringList outputs;
    std::vector<QByteArray> bytes;
    int gates = 0;
};

class ReadAheadPage : public ConsoleRun, public ::testing::WithParamInterface<PageCase> {
  protected:
    Outcome convert(int spareThreads, int gatesBeforeAbandon)
    {
        job.run.spareThreads = spareThreads;
        Outcome outcome;
        RunContext context{settings, job};
        context.gate = [&outcome, gatesBeforeAbandon] {
            return ++outcome.gates <= gatesBeforeAbandon || gatesBeforeAbandon < 0;
        };
        outcome.converted = processCurrentFile(context);
        outcome.failure = outcome.converted ? QString() : describeFailure(context.failure);
        outcome.outputs = outputs();
        for (const QString& name : outcome.outputs) {
            outcome.bytes.push_back(fileBytes(job.outputFolder + name));
            QFile::remove(job.outputFolder + name);
        }
        return outcome;
    }
};

// Every streamed page converts to the same file, or fails the same way and leaves nothing, whether
// its bands are read ahead on a spare core or by the worker itself.
TEST_P(ReadAheadPage, GivesTheSameFileOrTheSameFailure)
{
    const PageCase& c = GetParam();
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(c.write(input));
    if (c.chain) {
        c.chain(settings);
    }
    useFormat(QString::fromLatin1(c.format));
    job.run.streamAbove = 0;
    job.run.streamBandBytes = 1; // the smallest bands the page allows: many of them
    job.file.inputPath = input;
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input);
    ASSERT_EQ(headers.size(), 1U);
    ASSERT_EQ(choosePagePath(headers[0], settings, job), PagePath::Streamed);

    const Outcome alone = convert(0, c.gatesBeforeAbandon);
    const Outcome ahead = convert(1, c.gatesBeforeAbandon);
    EXPECT_EQ(alone.converted, !c.fails) << alone.failure.toStdString();
    EXPECT_EQ(ahead.converted, alone.converted);
    EXPECT_EQ(ahead.failure, alone.failure);
    EXPECT_EQ(ahead.outputs, alone.outputs);
    EXPECT_TRUE(ahead.bytes == alone.bytes) << "the file read ahead differs";
    EXPECT_EQ(ahead.gates, alone.gates) << "the gate was asked at other points";
    if (c.fails) {
        EXPECT_EQ(alone.outputs, QStringList()) << "a failed page left a file";
    } else {
        ASSERT_EQ(alone.bytes.size(), 1U);
        EXPECT_FALSE(alone.bytes[0].isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ReadAheadPage, ::testing::ValuesIn(pageCases),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

class ReadAheadBudget : public ConsoleRun {};

// The budget counts the band decoded ahead: at least what the page's reader holds in one band,
// and only when the page reads ahead.
TEST_F(ReadAheadBudget, CountsTheBandReadAhead)
{
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(input, rgb(COMPRESSION_LZW, false, 16), 900, 700));
    useFormat(QStringLiteral("jpg"));
    job.run.streamAbove = 0;
    job.run.streamBandBytes = std::uint64_t{64} << 10;
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input);
    ASSERT_EQ(headers.size(), 1U);
    ASSERT_EQ(choosePagePath(headers[0], settings, job), PagePath::Streamed);
    const std::unique_ptr<TiffBandSource> source = TiffBandSource::open(input, 0, headers[0], job.run.streamBandBytes);
    ASSERT_NE(source, nullptr);
    const Bitmap band = source->readBand(0);
    ASSERT_TRUE(band);
    const std::uint64_t bandBytes = std::uint64_t{FreeImage_GetPitch(band.get())} * band.height();

    job.run.spareThreads = 0;
    const std::uint64_t alone = fileMemoryEstimate(std::span(headers), settings, job);
    job.run.spareThreads = 1;
    const std::uint64_t ahead = fileMemoryEstimate(std::span(headers), settings, job);
    EXPECT_GE(ahead, alone + bandBytes);
    EXPECT_LT(ahead, alone + 2 * bandBytes);
}

} // namespace

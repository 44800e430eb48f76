#include "engine/decode/page_loader.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/conversion_run.h"
#include "engine/run/memory_budget.h"
#include "engine/run/page_memory.h"
#include "engine/run/page_path.h"
#include "engine/run/pipeline.h"
#include "engine/run/streamed_page.h"
#include "engine/steps/watermark.h"
#include "engine/write/row_writer_dispatch.h"
#include "support/console_run.h"
#include "support/drawing_fixtures.h"
#include "support/freeimage_tiff_page.h"
#include "support/gui_app.h"
#include "support/tiff_fixtures.h"
#include "support/tiff_variants.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <span>

using fixtures::TiffVariant;

namespace {

// Odd sizes: rows with padding, edge tiles and a short last strip.
constexpr int pageWidth = 45;
constexpr int pageHeight = 37;

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// --- the pages --------------------------------------------------------------------------------

struct Page {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t bitsPerSample;
    std::uint16_t colourSamples;
    bool alpha = false;
    bool tiled = false;
    bool bigEndian = false;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t rowsPerStrip = 5;
};

// Strips and tiles, every plain layout, both byte orders, a few codecs.
const Page pages[] = {
    {"grey_strips_le", PHOTOMETRIC_MINISBLACK, 8, 1},
    {"grey_tiles_be_lzw", PHOTOMETRIC_MINISBLACK, 8, 1, false, true, true, COMPRESSION_LZW},
    {"white_grey_strips_be", PHOTOMETRIC_MINISWHITE, 8, 1, false, false, true},
    {"rgb_strips_be_lzw", PHOTOMETRIC_RGB, 8, 3, false, false, true, COMPRESSION_LZW},
    {"rgb_tiles_le_deflate", PHOTOMETRIC_RGB, 8, 3, false, true, false, COMPRESSION_ADOBE_DEFLATE},
    {"rgb_one_strip_lzw", PHOTOMETRIC_RGB, 8, 3, false, false, false, COMPRESSION_LZW, pageHeight},
    {"rgba_strips_le", PHOTOMETRIC_RGB, 8, 3, true},
    {"rgba_tiles_be", PHOTOMETRIC_RGB, 8, 3, true, true, true},
    {"bilevel_strips_le", PHOTOMETRIC_MINISBLACK, 1, 1},
    {"bilevel_white_tiles_be_packbits", PHOTOMETRIC_MINISWHITE, 1, 1, false, true, true, COMPRESSION_PACKBITS},
};

TiffVariant variantOf(const Page& page)
{
    TiffVariant variant{.name = QString::fromLatin1(page.name),
                        .photometric = page.photometric,
                        .bitsPerSample = page.bitsPerSample,
                        .colourSamples = page.colourSamples};
    variant.alpha = page.alpha;
    variant.tiled = page.tiled;
    variant.bigEndian = page.bigEndian;
    variant.compression = page.compression;
    variant.rowsPerStrip = page.rowsPerStrip;
    return variant;
}

fixtures::TiffExtras atDpi(float dpi)
{
    fixtures::TiffExtras extras;
    extras.dpi = dpi;
    return extras;
}

void PrintTo(const Page& page, std::ostream* out)
{
    *out << page.name;
}

std::string pageName(const ::testing::TestParamInfo<Page>& info)
{
    return info.param.name;
}

// --- bands stitched together are FreeImage's page -----------------------------------------------

class BandSource : public ::testing::TestWithParam<Page> {
  protected:
    QTemporaryDir dir;
};

// Reads every band of the page (the smallest bands it allows: one strip, one row of tiles, or one
// row of a large strip), in the order given, into one bitmap.
Bitmap stitch(TiffBandSource& source, const Bitmap& layout, bool bottomUp)
{
    Bitmap page(FreeImage_Allocate(static_cast<int>(source.width()), static_cast<int>(source.height()),
                                   static_cast<int>(layout.bpp())));
    const unsigned line = FreeImage_GetLine(page.get());
    for (int i = 0; i < source.bandCount(); ++i) {
        const int band = bottomUp ? source.bandCount() - 1 - i : i;
        const Bitmap rows = source.readBand(band);
        if (!rows || FreeImage_GetLine(rows.get()) != line) {
            return {};
        }
        // Band rows bottom-up; the band's last scan line is page row band * bandRows from the top.
        const unsigned top = static_cast<unsigned>(band) * source.bandRows();
        for (unsigned r = 0; r < rows.height(); ++r) {
            const unsigned pageRowFromTop = top + r;
            std::memcpy(FreeImage_GetScanLine(page.get(), static_cast<int>(source.height() - 1 - pageRowFromTop)),
                        FreeImage_GetScanLine(rows.get(), static_cast<int>(rows.height() - 1 - r)), line);
        }
        if (band == 0) {
            // The band's palette, resolution and profile are the page's.
            const unsigned colours = FreeImage_GetColorsUsed(rows.get());
            if (colours != FreeImage_GetColorsUsed(layout.get()) ||
                (colours > 0 && std::memcmp(FreeImage_GetPalette(rows.get()), FreeImage_GetPalette(layout.get()),
                                            colours * sizeof(RGBQUAD)) != 0) ||
                FreeImage_GetDotsPerMeterX(rows.get()) != FreeImage_GetDotsPerMeterX(layout.get())) {
                return {};
            }
        }
    }
    return page;
}

TEST_P(BandSource, BandsStitchedInEitherOrderAreFreeImagesPage)
{
    const QString path = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(path, variantOf(GetParam()), pageWidth, pageHeight, atDpi(150)));
    const Bitmap whole = decodeTiffPage(path, 0);
    const Bitmap layout = decodeTiffPage(path, 0, FIF_LOAD_NOPIXELS);
    ASSERT_TRUE(whole);
    ASSERT_TRUE(layout);
    for (const bool bottomUp : {false, true}) {
        std::unique_ptr<TiffBandSource> source = TiffBandSource::open(path, 0, readTiffPageHeaders(path).at(0), 1);
        ASSERT_NE(source, nullptr);
        ASSERT_GT(source->bandCount(), 1);
        const Bitmap stitched = stitch(*source, layout, bottomUp);
        ASSERT_TRUE(stitched) << "a band could not be read, or its palette or resolution differ";
        ASSERT_EQ(stitched.bpp(), whole.bpp());
        const unsigned line = FreeImage_GetLine(whole.get());
        for (unsigned y = 0; y < whole.height(); ++y) {
            const BYTE* ours = FreeImage_GetScanLine(stitched.get(), static_cast<int>(y));
            const BYTE* theirs = FreeImage_GetScanLine(whole.get(), static_cast<int>(y));
            const auto at = std::mismatch(ours, ours + line, theirs).first - ours;
            ASSERT_EQ(at, line) << "scan line " << y << (bottomUp ? ", bands read bottom-up" : "") << ": byte " << at
                                << " is " << int{ours[at]} << ", FreeImage has " << int{theirs[at]};
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BandSource, ::testing::ValuesIn(pages), pageName);

// --- streamed file == in-memory file ------------------------------------------------------------

// Resize to half the width and height (percent units).
void halve(Settings& s)
{
    s.transform.doImageResize = 1;
    s.transform.imageWidth = 50;
    s.transform.imageWidthUnit = 1;
    s.transform.imageHeight = 50;
    s.transform.imageHeightUnit = 1;
}

// A picture watermark larger than the test pages.
const QString& markPicture()
{
    static const QTemporaryDir folder;
    static const QString path = fixtures::writeMarkPicture(folder.filePath(QStringLiteral("mark.png")));
    return path;
}

struct Chain {
    const char* name;
    std::function<void(Settings&)> apply;
};

const Chain chains[] = {
    {"none", [](Settings&) {}},
    {"flips",
     [](Settings& s) {
         s.transform.doImageFlipHorizontal = 1;
         s.transform.doImageFlipVertical = 1;
     }},
    {"colours",
     [](Settings& s) {
         s.adjustment.doImageColorCorrection = 1;
         s.adjustment.imageBrightness = 12;
         s.adjustment.imageContrast = -20;
         s.adjustment.imageGamma = 1.4F;
         s.adjustment.imageInvert = 1;
     }},
    {"greyscale", [](Settings& s) { s.adjustment.doImageGreyscale = 1; }},
    {"threshold",
     [](Settings& s) {
         s.adjustment.doImageThreshold = 1;
         s.adjustment.imageThreshold = 100;
     }},
    {"stripped_metadata", [](Settings& s) { s.advanced.stripMetadata = 1; }},
    {"halved_bicubic",
     [](Settings& s) {
         halve(s);
         s.transform.imageResizeAlgorithm = 3;
     }},
    // Wider and shorter: FreeImage filters the columns first; the flip and greyscale follow it.
    {"stretched_lanczos_flipped_grey",
     [](Settings& s) {
         s.transform.doImageResize = 1;
         s.transform.imageWidth = 150;
         s.transform.imageWidthUnit = 1;
         s.transform.imageHeight = 70;
         s.transform.imageHeightUnit = 1;
         s.transform.imageResizeAlgorithm = 5;
         s.transform.doImageFlipHorizontal = 1;
         s.adjustment.doImageGreyscale = 1;
     }},
    {"box_to_pixels_threshold",
     [](Settings& s) {
         s.transform.doImageResize = 1;
         s.transform.imageWidth = 23;
         s.transform.imageHeight = 61;
         s.transform.imageResizeAlgorithm = 0;
         s.adjustment.doImageThreshold = 1;
         s.adjustment.imageThreshold = 128;
     }},
    {"frame",
     [](Settings& s) {
         fixtures::useFrame(s, 4, 9, 6, 11);
         s.frame.solidOpacity = 180;
     }},
    // Bands that overlap on a small page, over flipped and corrected colours.
    {"wide_frame_flipped_colours",
     [](Settings& s) {
         fixtures::useFrame(s, 30, 20, 25, 17);
         s.transform.doImageFlipHorizontal = 1;
         s.transform.doImageFlipVertical = 1;
         s.adjustment.doImageColorCorrection = 1;
         s.adjustment.imageContrast = 30;
     }},
    // Two lines, turned, crossing several bands.
    {"text_watermark",
     [](Settings& s) {
         s.watermark.doWatermark = 1;
         s.watermark.text = QStringLiteral("Mark %filename%%eol%two");
         s.watermark.font = QStringLiteral("Liberation Sans");
         s.watermark.fontSize = 9;
         s.watermark.textAntialiasing = 1;
         s.watermark.backOpacity = 140;
         s.watermark.textPosition = 7;
         s.watermark.textRotation = 20;
     }},
    // Larger than the page: turned, cut to the page and placed at the top right.
    {"picture_watermark_larger_than_the_page",
     [](Settings& s) {
         s.watermark.doWatermark = 2;
         s.watermark.image = markPicture();
         s.watermark.imageOpacity = 200;
         s.watermark.imagePosition = 2;
         s.watermark.imageRotation = 200;
     }},
    // The frame and the watermark placed on the resized page, the watermark inside the frame.
    {"halved_framed_grey_picture",
     [](Settings& s) {
         halve(s);
         fixtures::useFrame(s, 3, 2, 4, 1);
         s.watermark.doWatermark = 2;
         s.watermark.image = markPicture();
         s.watermark.imageGreyscale = 1;
         s.watermark.imageBoundary = 1;
         s.watermark.imagePosition = 4;
     }},
};

struct Writer {
    const char* name;
    const char* key;
    int tiffCompression = 0; // index into the TIFF Compression choices
    int bpp = 0;             // the format's BPP setting, 0 Auto
};

const Writer writers[] = {
    {"pgm", "pgm"},
    {"ppm", "ppm"},
    {"pbm", "pbm"},
    {"tiff_none", "tiff", 0},
    {"tiff_fax4", "tiff", 2},
    {"tiff_packbits", "tiff", 3},
    {"tiff_deflate", "tiff", 4},
    {"tiff_lzw", "tiff", 6},
    {"tiff_lzw_24", "tiff", 6, 24},
    {"tiff_none_8", "tiff", 0, 8},
    {"jpg", "jpg"},
    {"png", "png"},
};

void PrintTo(const Writer& writer, std::ostream* out)
{
    *out << writer.name;
}

using StreamCase = std::tuple<Page, Writer>;

// A console run prepared for one writer, streaming in bands as small as the page allows.
class StreamedRun : public ConsoleRun {
  protected:
    static void SetUpTestSuite() { testsupport::ensureGuiApplication(); }

    void prepare(const Writer& writer)
    {
        settings.output.tiffCompression = writer.tiffCompression;
        settings.output.tiffBpp = writer.bpp;
        useFormat(QString::fromLatin1(writer.key));
        job.run.streamBandBytes = 1;
    }

    // The streamed file of the page with the settings in hand, then the in-memory file under the
    // same name; they must be the same bytes.
    void compareWithInMemory(const QString& input)
    {
        job.file.inputPath = input;
        RunContext context{settings, job};
        const WatermarkAssetsResult watermark = loadWatermarkAssets(settings);
        ASSERT_EQ(watermark.problem, WatermarkProblem::None);
        context.watermark = &watermark.assets;
        job.run.streamAbove = 0;
        std::optional<EncodedPage> streamed =
            encodeStreamedPage(0, readTiffPageHeaders(job.file.inputPath).at(0), PagePlacement{}, context);
        ASSERT_TRUE(streamed.has_value()) << "the row writer declined the page's header";
        ASSERT_FALSE(streamed->failure) << describeFailure(streamed->failure).toStdString();
        const QByteArray streamedBytes = fileBytes(streamed->encodedPath);
        ASSERT_FALSE(streamedBytes.isEmpty());
        const QString streamedName = streamed->outputPath;
        QFile::remove(streamed->encodedPath);

        job.run.streamAbove = std::numeric_limits<std::uint64_t>::max();
        ASSERT_TRUE(processCurrentFile(context)) << describeFailure(context.failure).toStdString();
        EXPECT_EQ(job.file.outputPath, streamedName);
        const QByteArray inMemory = fileBytes(job.file.outputPath);
        ASSERT_EQ(streamedBytes.size(), inMemory.size());
        const auto differs = std::mismatch(streamedBytes.begin(), streamedBytes.end(), inMemory.begin()).first;
        EXPECT_TRUE(differs == streamedBytes.end()) << "first difference at byte " << differs - streamedBytes.begin();
    }
};

class StreamedFile : public StreamedRun, public ::testing::WithParamInterface<StreamCase> {};

// Every row-local chain the page and the writer stream with; the chains whose bit-depth step needs
// the whole page (a palette of the page's colours, dithering) are converted in memory and left out.
TEST_P(StreamedFile, IsTheInMemoryFileByteForByte)
{
    const auto& [page, writer] = GetParam();
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(input, variantOf(page), pageWidth, pageHeight, atDpi(200)));
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input);
    ASSERT_EQ(headers.size(), 1U);
    int streamedChains = 0;
    for (const Chain& chain : chains) {
        SCOPED_TRACE(chain.name);
        resetToDefaults(settings, true);
        chain.apply(settings);
        prepare(writer);
        job.run.streamAbove = 0;
        if (choosePagePath(headers[0], settings, job) != PagePath::Streamed) {
            continue;
        }
        ++streamedChains;
        compareWithInMemory(input);
    }
    if (streamedChains == 0) {
        const RowWriterKind kind = outputFormatFor(job.outputKey).rowWriter;
        GTEST_SKIP() << (kind == RowWriterKind::Png && headers[0].bitsPerPixel == 32
                             ? "a 32-bit PNG is written with or without alpha as every pixel says"
                             : "every chain needs the whole page for this page and depth");
    }
}

std::string streamCaseName(const ::testing::TestParamInfo<StreamCase>& info)
{
    const auto& [page, writer] = info.param;
    return std::string(page.name) + "_" + writer.name;
}

INSTANTIATE_TEST_SUITE_P(PagesWriters, StreamedFile,
                         ::testing::Combine(::testing::ValuesIn(pages), ::testing::ValuesIn(writers)), streamCaseName);

// The profile, XMP packet, text tags and resolution come out as they do in memory, also where a
// step changes what the profile may describe (greyscale drops an RGB profile).
TEST_F(StreamedRun, CarriesTheSameMetadata)
{
    const QString input = dir.filePath(QStringLiteral("profiled.tif"));
    fixtures::TiffExtras extras = atDpi(300);
    extras.iccProfile = fixtures::adobeRgbProfile();
    extras.xmpPacket = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><dc:title>Survey</dc:title></x:xmpmeta>";
    extras.description = "Sheet 12";
    extras.artist = "Survey office";
    extras.copyright = "Public domain";
    extras.dateTime = "2024:05:06 07:08:09";
    ASSERT_TRUE(fixtures::writeTiffVariant(input, variantOf(pages[4]), pageWidth, pageHeight, extras));
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input);
    ASSERT_EQ(headers.size(), 1U);
    for (const Writer& writer : {Writer{"tiff_lzw", "tiff", 6}, Writer{"ppm", "ppm"}}) {
        for (const bool grey : {false, true}) {
            SCOPED_TRACE(std::string(writer.name) + (grey ? " greyscale" : ""));
            resetToDefaults(settings, true);
            settings.adjustment.doImageGreyscale = grey ? 1 : 0;
            prepare(writer);
            job.run.streamAbove = 0;
            ASSERT_EQ(choosePagePath(headers[0], settings, job), PagePath::Streamed);
            compareWithInMemory(input);
        }
    }
}

// An 8-bit grey map sheet georeferenced with GeoTIFF tags (key directory, pixel scale, tie point,
// ASCII parameters), written with libtiff.
bool writeGeoTiff(const QString& path)
{
    static const TIFFFieldInfo geoFields[] = {
        {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelPixelScale")},
        {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelTiepoint")},
        {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
        {34737, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoAsciiParams")},
    };
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    for (const TIFFFieldInfo& field : geoFields) {
        if (TIFFFindField(tiff, field.field_tag, TIFF_ANY) == nullptr) {
            TIFFMergeFieldInfo(tiff, &field, 1);
        }
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t{pageWidth});
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t{pageHeight});
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
    const std::uint16_t keys[] = {1, 1, 0, 3, 1024, 0, 1, 1, 1025, 0, 1, 1, 3072, 0, 1, 32633};
    const double scale[] = {0.5, 0.5, 0.0};
    const double tiePoint[] = {0.0, 0.0, 0.0, 500000.0, 4649776.0, 0.0};
    TIFFSetField(tiff, 34735, 16, keys);
    TIFFSetField(tiff, 33550, 3, scale);
    TIFFSetField(tiff, 33922, 6, tiePoint);
    TIFFSetField(tiff, 34737, "WGS 84 / UTM zone 33N|");
    std::vector<std::uint8_t> row(pageWidth);
    bool written = true;
    for (int y = 0; y < pageHeight && written; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x * 5 + y * 3);
        }
        written = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) >= 0;
    }
    TIFFClose(tiff);
    return written;
}

// Map sheets keep their georeferencing: the streamed TIFF carries the GeoTIFF tags as the
// in-memory one does.
TEST_F(StreamedRun, KeepsGeoTiffTags)
{
    const QString input = dir.filePath(QStringLiteral("sheet.tif"));
    ASSERT_TRUE(writeGeoTiff(input));
    prepare({"tiff_lzw", "tiff", 6});
    const std::vector<TiffPageHeader> headers = readTiffPageHeaders(input);
    ASSERT_EQ(headers.size(), 1U);
    job.run.streamAbove = 0;
    ASSERT_EQ(choosePagePath(headers[0], settings, job), PagePath::Streamed);
    compareWithInMemory(input);
    const Bitmap written = decodeTiffPage(job.file.outputPath, 0, FIF_LOAD_NOPIXELS);
    ASSERT_TRUE(written);
    EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_GEOTIFF, written.get()), 4U);
}

// An RGB page with a small preview in a sub-directory, as scanning and photo software write them.
bool writePageWithThumbnail(const QString& path)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    bool written = true;
    for (const int width : {pageWidth, 8}) {
        const int height = width == pageWidth ? pageHeight : 6;
        if (width == pageWidth) {
            std::uint64_t subDirectories[] = {0}; // libtiff fills in where the preview lands
            TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, subDirectories);
        }
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
        for (int y = 0; y < height && written; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                row[i] = static_cast<std::uint8_t>(i * 3 + static_cast<std::size_t>(y) * 7);
            }
            written = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) >= 0;
        }
        written = written && TIFFWriteDirectory(tiff) != 0;
    }
    TIFFClose(tiff);
    return written;
}

// FreeImage loads the preview as the page's thumbnail and its TIFF writer stores it again; the
// TIFF row writer does not, so such a page is converted in memory, and the file is the same.
TEST_F(StreamedRun, PageWithAThumbnailFallsBackToMemory)
{
    const QString input = dir.filePath(QStringLiteral("preview.tif"));
    ASSERT_TRUE(writePageWithThumbnail(input));
    const Bitmap layout = decodeTiffPage(input, 0, FIF_LOAD_NOPIXELS);
    ASSERT_TRUE(layout);
    ASSERT_NE(FreeImage_GetThumbnail(layout.get()), nullptr);
    prepare({"tiff_lzw", "tiff", 6});
    job.file.inputPath = input;
    job.run.streamAbove = 0;
    RunContext context{settings, job};
    EXPECT_FALSE(
        encodeStreamedPage(0, readTiffPageHeaders(job.file.inputPath).at(0), PagePlacement{}, context).has_value());
    EXPECT_EQ(outputs(), QStringList());

    QByteArray files[2];
    for (const bool streamed : {false, true}) {
        job.run.streamAbove = streamed ? 0 : std::numeric_limits<std::uint64_t>::max();
        ASSERT_TRUE(processCurrentFile(context)) << describeFailure(context.failure).toStdString();
        files[streamed ? 1 : 0] = fileBytes(job.file.outputPath);
    }
    EXPECT_FALSE(files[0].isEmpty());
    EXPECT_TRUE(files[1] == files[0]);
}

// Through the whole file loop: every page of a multi-page file streamed under its numbered name,
// reported as saved, the same files as in memory. The run's gate is asked between the bands.
TEST_F(StreamedRun, ConvertsEveryPageOfAFileUnderItsName)
{
    const QString input = dir.filePath(QStringLiteral("atlas.tif"));
    std::vector<Bitmap> sheets;
    sheets.push_back(fixtures::makePage(fixtures::PageKind::Rgb24, 60, 50));
    sheets.push_back(fixtures::makePage(fixtures::PageKind::Grey8, 70, 40));
    ASSERT_TRUE(fixtures::writeTiff(input, sheets, TIFF_LZW));
    prepare({"tiff_packbits", "tiff", 3});
    std::vector<QByteArray> files[2];
    int gates[2] = {0, 0};
    for (const int streamed : {0, 1}) {
        job.run.streamAbove = streamed != 0 ? 0 : std::numeric_limits<std::uint64_t>::max();
        job.file.inputPath = input;
        QStringList saved;
        RunContext context{settings, job};
        context.onSaved = [&saved](const QString& path) { saved << path; };
        context.gate = [&gates, streamed] { return ++gates[streamed] > 0; };
        ASSERT_TRUE(processCurrentFile(context)) << describeFailure(context.failure).toStdString();
        ASSERT_EQ(saved, QStringList({job.outputFolder + QStringLiteral("atlas[1].tiff"),
                                      job.outputFolder + QStringLiteral("atlas[2].tiff")}));
        EXPECT_EQ(outputs(), QStringList({QStringLiteral("atlas[1].tiff"), QStringLiteral("atlas[2].tiff")}));
        for (const QString& path : saved) {
            files[streamed].push_back(fileBytes(path));
            QFile::remove(path);
        }
    }
    EXPECT_EQ(files[1], files[0]);
    EXPECT_GT(gates[1], gates[0] + 4);
}

// --- the choice of path ------------------------------------------------------------------------

TiffPageHeader plainGreyHeader()
{
    TiffPageHeader header;
    header.width = 3000;
    header.height = 2000;
    header.bitsPerPixel = 8;
    header.bitsPerSample = 8;
    header.samplesPerPixel = 1;
    header.photometric = PHOTOMETRIC_MINISBLACK;
    header.compression = COMPRESSION_LZW;
    header.rowsPerStrip = 16;
    return header;
}

TiffPageHeader plainRgbHeader()
{
    TiffPageHeader header = plainGreyHeader();
    header.bitsPerPixel = 24;
    header.samplesPerPixel = 3;
    header.photometric = PHOTOMETRIC_RGB;
    return header;
}

struct ChoiceCase {
    const char* name;
    const char* key;
    PagePath expected;
    std::function<void(TiffPageHeader&)> page = {}; // changes to the plain page
    std::function<void(Settings&)> chain = {};
    std::function<void(JobState&)> run = {};
    bool rgb = false; // the plain page is RGB, not grey
};

void PrintTo(const ChoiceCase& c, std::ostream* out)
{
    *out << c.name;
}

const ChoiceCase choiceCases[] = {
    {"grey_to_pgm", "pgm", PagePath::Streamed},
    {"rgb_to_tiff", "tiff", PagePath::Streamed, {}, {}, {}, true},
    {"rgba_to_tiff",
     "tiff",
     PagePath::Streamed,
     [](TiffPageHeader& h) {
         h.bitsPerPixel = 32;
         h.samplesPerPixel = 4;
         h.extraSamples = 1;
         h.alphaSample = EXTRASAMPLE_UNASSALPHA;
     },
     {},
     {},
     true},
    {"bilevel_white_to_pbm", "pbm", PagePath::Streamed,
     [](TiffPageHeader& h) {
         h.bitsPerPixel = 1;
         h.bitsPerSample = 1;
         h.photometric = PHOTOMETRIC_MINISWHITE;
     }},
    {"below_the_threshold",
     "pgm",
     PagePath::InMemory,
     {},
     {},
     [](JobState& j) { j.run.streamAbove = std::uint64_t{1} << 40; }},
    {"no_row_writer", "bmp", PagePath::InMemory},
    {"cmyk", "tiff", PagePath::InMemory,
     [](TiffPageHeader& h) {
         h.photometric = PHOTOMETRIC_SEPARATED;
         h.cmyk = true;
         h.samplesPerPixel = 4;
         h.bitsPerPixel = 32;
     }},
    {"turned_by_its_orientation", "tiff", PagePath::InMemory, [](TiffPageHeader& h) { h.orientation = 3; }},
    {"separate_planes", "tiff", PagePath::InMemory, [](TiffPageHeader& h) { h.separatePlanes = true; }, {}, {}, true},
    {"sixteen_bit_grey", "tiff", PagePath::InMemory,
     [](TiffPageHeader& h) {
         h.bitsPerSample = 16;
         h.bitsPerPixel = 16;
     }},
    {"palette", "tiff", PagePath::InMemory, [](TiffPageHeader& h) { h.photometric = PHOTOMETRIC_PALETTE; }},
    {"grey_with_alpha", "tiff", PagePath::InMemory,
     [](TiffPageHeader& h) {
         h.samplesPerPixel = 2;
         h.bitsPerPixel = 16;
         h.extraSamples = 1;
     }},
    // Read like any other page: its profile beside an EXIF directory is no reason to hold it whole.
    {"profile_beside_exif", "tiff", PagePath::Streamed,
     [](TiffPageHeader& h) {
         h.colourProfile = true;
         h.colourProfileAndExif = true;
     }},
    {"old_style_jpeg", "tiff", PagePath::InMemory, [](TiffPageHeader& h) { h.compression = 6; }},
    {"rotation",
     "tiff",
     PagePath::InMemory,
     {},
     [](Settings& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 90;
     }},
    {"resize", "tiff", PagePath::Streamed, {}, halve},
    // The page is read bottom-up for the flip, and a resize of rows read upside down sums them in
    // another order.
    {"resize_and_vertical_flip",
     "tiff",
     PagePath::InMemory,
     {},
     [](Settings& s) {
         halve(s);
         s.transform.doImageFlipVertical = 1;
     }},
    {"resize_beyond_the_page_limit",
     "tiff",
     PagePath::InMemory,
     {},
     [](Settings& s) {
         s.transform.doImageResize = 1;
         s.transform.imageWidth = 1000000;
         s.transform.imageHeight = 1000000;
     }},
    {"icon_size_cap", "ico", PagePath::InMemory},
    {"frame", "tiff", PagePath::Streamed, {}, [](Settings& s) { s.frame.doFrame = 1; }, {}, true},
    {"watermark", "jpg", PagePath::Streamed, {}, [](Settings& s) { s.watermark.doWatermark = 2; }, {}, true},
    // The automatic depth looks for colour in the whole drawn page before it keeps a grey page grey.
    {"watermarked_grey_page_to_automatic_depth",
     "jpg",
     PagePath::InMemory,
     {},
     [](Settings& s) { s.watermark.doWatermark = 2; }},
    // Drawn in colour, the grey page is brought back to the 8 bits of its source with a palette of
    // its own colours: a step that needs the whole page.
    {"framed_grey_page_to_its_own_depth", "tiff", PagePath::InMemory, {}, [](Settings& s) { s.frame.doFrame = 1; }},
    {"stripped_profiled_page", "tiff", PagePath::InMemory, [](TiffPageHeader& h) { h.colourProfile = true; },
     [](Settings& s) { s.advanced.stripMetadata = 1; }},
    {"stripped_page_without_profile",
     "tiff",
     PagePath::Streamed,
     {},
     [](Settings& s) { s.advanced.stripMetadata = 1; }},
    {"quantised_to_8_bits", "tiff", PagePath::InMemory, {}, [](Settings& s) { s.output.tiffBpp = 8; }, {}, true},
    {"dithered_to_1_bit", "pbm", PagePath::InMemory},
    {"thresholded_to_1_bit", "pbm", PagePath::Streamed, {}, [](Settings& s) { s.adjustment.doImageThreshold = 1; }},
    {"colour_to_grey_levels", "pgm", PagePath::Streamed, {}, {}, {}, true},
    {"to_48_bits", "tiff", PagePath::InMemory, {}, [](Settings& s) { s.output.tiffBpp = 48; }, {}, true},
    {"jpeg_compressed_tiff", "tiff", PagePath::InMemory, {}, [](Settings& s) { s.output.tiffCompression = 7; }},
    {"cmyk_tiff", "tiff", PagePath::InMemory, {}, [](Settings& s) { s.output.tiffColorModel = 1; }, {}, true},
    {"ascii_pnm", "pgm", PagePath::InMemory, {}, {}, [](JobState& j) { j.run.saveFlags = PNM_SAVE_ASCII; }},
    {"flipped_over_one_large_strip", "tiff", PagePath::InMemory,
     [](TiffPageHeader& h) {
         h.width = 20000;
         h.height = 15000;
         h.rowsPerStrip = h.height;
     },
     [](Settings& s) { s.transform.doImageFlipVertical = 1; }},
    {"flipped_over_tiles", "tiff", PagePath::Streamed,
     [](TiffPageHeader& h) {
         h.tiled = true;
         h.tileWidth = 256;
         h.tileLength = 256;
     },
     [](Settings& s) { s.transform.doImageFlipVertical = 1; }},
    {"flipped_uncompressed_strip", "tiff", PagePath::Streamed,
     [](TiffPageHeader& h) {
         h.rowsPerStrip = h.height;
         h.compression = COMPRESSION_NONE;
     },
     [](Settings& s) { s.transform.doImageFlipVertical = 1; }},
};

class PathChoice : public StreamedRun, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(PathChoice, StreamsOnlyWhatGivesTheSameFile)
{
    const ChoiceCase& c = GetParam();
    TiffPageHeader header = c.rgb ? plainRgbHeader() : plainGreyHeader();
    if (c.page) {
        c.page(header);
    }
    if (c.chain) {
        c.chain(settings);
    }
    useFormat(QString::fromLatin1(c.key));
    job.run.streamAbove = 0;
    if (c.run) {
        c.run(job);
    }
    EXPECT_EQ(choosePagePath(header, settings, job), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PathChoice, ::testing::ValuesIn(choiceCases),
                         [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

// --- memory -----------------------------------------------------------------------------------

// A map scan of 20000 x 15000 RGB pixels in LZW strips: held whole it takes about 900 MB; streamed,
// a few bands and the writer's buffers.
TEST_F(StreamedRun, BudgetCountsAStreamedPageByWhatItHolds)
{
    TiffPageHeader header = plainRgbHeader();
    header.width = 20000;
    header.height = 15000;
    useFormat(QStringLiteral("tiff"));
    const std::uint64_t whole = pageMemoryEstimate(header, settings, job);
    ASSERT_GT(whole, std::uint64_t{850} << 20);
    ASSERT_EQ(choosePagePath(header, settings, job), PagePath::Streamed);
    const std::uint64_t streamed = fileMemoryEstimate(std::span(&header, 1), settings, job);
    EXPECT_LT(streamed, std::uint64_t{64} << 20);
    EXPECT_GT(streamed, std::uint64_t{4} << 20); // at least a band

    job.run.streamAbove = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(fileMemoryEstimate(std::span(&header, 1), settings, job), whole);
}

// The frame and the watermark keep the page streamed: a band's part of the frame and the rendered
// watermark are counted, far below the page held whole.
TEST_F(StreamedRun, BudgetCountsTheFrameAndTheRenderedWatermark)
{
    TiffPageHeader header = plainRgbHeader();
    header.width = 20000;
    header.height = 15000;
    useFormat(QStringLiteral("jpg"));
    const std::uint64_t plain = fileMemoryEstimate(std::span(&header, 1), settings, job);
    fixtures::useFrame(settings, 40, 40, 40, 40);
    const std::uint64_t framed = fileMemoryEstimate(std::span(&header, 1), settings, job);
    settings.watermark.doWatermark = 2;
    settings.watermark.image = markPicture();
    settings.watermark.imageRotation = 45;
    const std::uint64_t marked = fileMemoryEstimate(std::span(&header, 1), settings, job);
    ASSERT_EQ(choosePagePath(header, settings, job), PagePath::Streamed);
    EXPECT_GT(framed, plain);
    EXPECT_GT(marked, framed);
    EXPECT_LT(marked, std::uint64_t{64} << 20);
    job.run.streamAbove = std::numeric_limits<std::uint64_t>::max();
    EXPECT_GT(fileMemoryEstimate(std::span(&header, 1), settings, job), std::uint64_t{850} << 20);
}

// --- failures ---------------------------------------------------------------------------------

// An RGB page whose later strips lie beyond the end of the file, as in a copy cut short: its
// directory still reads, the first strips decode, the rest cannot be read.
QByteArray cutShortTiff(const QString& path)
{
    TiffVariant variant{
        .name = QStringLiteral("cut"), .photometric = PHOTOMETRIC_RGB, .bitsPerSample = 8, .colourSamples = 3};
    variant.rowsPerStrip = 8;
    if (!fixtures::writeTiffVariant(path, variant, 48, 40)) {
        return {};
    }
    std::vector<std::uint32_t> offsets;
    if (TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        std::uint64_t* stored = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &stored) != 0) {
            offsets.assign(stored, stored + TIFFNumberOfStrips(tiff));
        }
        TIFFClose(tiff);
    }
    QByteArray bytes = fileBytes(path);
    const QByteArray table(reinterpret_cast<const char*>(offsets.data()),
                           static_cast<qsizetype>(offsets.size() * sizeof(std::uint32_t)));
    const qsizetype at = table.isEmpty() ? -1 : bytes.indexOf(table);
    if (offsets.size() != 5 || at < 0) {
        return {};
    }
    const std::uint32_t beyond = static_cast<std::uint32_t>(bytes.size()) + 4096;
    for (std::size_t strip = 3; strip < offsets.size(); ++strip) {
        std::memcpy(bytes.data() + at + static_cast<qsizetype>(strip * sizeof beyond), &beyond, sizeof beyond);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return {};
    }
    return bytes;
}

// FreeImage's loader keeps going past strips it cannot read (with the rows of the last strip it
// did read); the streamed path stops, names the damage and leaves no file, partial or temporary.
TEST_F(StreamedRun, PageCutShortFailsAsDamagedAndLeavesNoFile)
{
    const QString input = dir.filePath(QStringLiteral("cut.tif"));
    ASSERT_FALSE(cutShortTiff(input).isEmpty());
    prepare({"tiff_lzw", "tiff", 6});
    job.run.streamAbove = 0;
    job.file.inputPath = input;
    RunContext context{settings, job};
    EXPECT_FALSE(processCurrentFile(context));
    EXPECT_EQ(context.failure.kind, FileFailureKind::Damaged);
    EXPECT_EQ(describeFailure(context.failure), describeFailure({FileFailureKind::Damaged, QStringLiteral("page 1")}));
    EXPECT_EQ(outputs(), QStringList());
}

// The run may abandon the file between two bands: nothing is left of the page.
TEST_F(StreamedRun, AbandonedBetweenBandsLeavesNoFile)
{
    const QString input = dir.filePath(QStringLiteral("page.tif"));
    ASSERT_TRUE(fixtures::writeTiffVariant(input, variantOf(pages[3]), pageWidth, pageHeight));
    prepare({"ppm", "ppm"});
    job.run.streamAbove = 0;
    job.file.inputPath = input;
    RunContext context{settings, job};
    int gates = 0;
    bool passedABand = false;
    context.gate = [&] {
        ++gates;
        // Let the page start and its first band through, then stop.
        passedABand = gates > 3;
        return gates <= 3;
    };
    EXPECT_FALSE(processCurrentFile(context));
    EXPECT_TRUE(passedABand);
    EXPECT_EQ(context.failure.kind, FileFailureKind::Abandoned);
    EXPECT_EQ(outputs(), QStringList());
}

} // namespace

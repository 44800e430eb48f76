#include "app/setting_choices.h"
#include "app/settings.h"
#include "engine/formats/format_catalogue.h"
#include "engine/formats/save_flags.h"
#include "engine/write/image_writer.h"
#include "engine/write/png_row_writer.h"
#include "engine/write/row_writer_dispatch.h"
#include "support/writer_pages.h"

#include <gtest/gtest.h>

#include <FreeImage.h>
#include <QTemporaryDir>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// The PNG writer against FreeImage's: every chunk but the image data the same, and the image data
// inflating to the bytes libpng compressed in FreeImage's file (the same filtered rows, so the
// same pixels). Its own bytes do not depend on the threads that compressed them, on the bands it
// was given, nor on whether the page came whole (in memory) or band by band (streamed).

namespace {

using namespace writer_pages;

struct Chunk {
    std::string type;
    Bytes data;
    bool operator==(const Chunk&) const = default;
};

// A PNG file taken apart: its chunks but the image data, and the image data joined. Fails the
// test on a bad signature, a chunk past the end or a wrong CRC.
struct PngParts {
    std::vector<Chunk> chunks; // IDAT left out, its place kept by one empty IDAT
    Bytes imageData;
};

std::uint32_t bigEndian(const std::uint8_t* at)
{
    return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | at[3];
}

PngParts partsOf(const Bytes& file)
{
    PngParts parts;
    static constexpr std::uint8_t signature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    EXPECT_TRUE(file.size() >= 8 && std::equal(signature, signature + 8, file.begin()));
    for (std::size_t at = 8; at < file.size();) {
        if (file.size() - at < 12 || file.size() - at - 12 < bigEndian(&file[at])) {
            ADD_FAILURE() << "a chunk runs past the end at " << at;
            break;
        }
        const std::size_t size = bigEndian(&file[at]);
        const std::string type(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8);
        const std::uint8_t* data = &file[at + 8];
        const uLong crc = crc32(crc32(0, &file[at + 4], 4), data, static_cast<uInt>(size));
        EXPECT_EQ(crc, bigEndian(data + size)) << type << " at " << at;
        if (type == "IDAT") {
            if (parts.chunks.empty() || parts.chunks.back().type != "IDAT") {
                parts.chunks.push_back({type, {}});
            }
            parts.imageData.insert(parts.imageData.end(), data, data + size);
        } else {
            parts.chunks.push_back({type, Bytes(data, data + size)});
        }
        at += 12 + size;
    }
    return parts;
}

// The image data inflated whole; fails the test unless it is one complete zlib stream (its
// Adler-32 checked by zlib) with nothing after it.
Bytes inflated(const Bytes& stream)
{
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    Bytes out;
    std::uint8_t buffer[65536];
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    }
    EXPECT_EQ(result, Z_STREAM_END) << (z.msg != nullptr ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&z);
    return out;
}

// The image data of a file of 1 or 4 bits a pixel, not interlaced (so unfiltered), with the bits
// past each row's last pixel cleared.
Bytes withoutPadding(Bytes data, const Bytes& header)
{
    const std::uint32_t width = bigEndian(header.data());
    const unsigned depth = header[8];
    const unsigned used = width * depth % 8;
    if (depth >= 8 || used == 0) {
        return data;
    }
    const std::size_t row = (std::size_t{width} * depth + 7) / 8 + 1;
    for (std::size_t end = row; end <= data.size(); end += row) {
        data[end - 1] &= static_cast<std::uint8_t>(0xFF00u >> used);
    }
    return data;
}

// Expects `written` to be FreeImage's file but for the compression of its image data and the
// bits past the last pixel of a row, which FreeImage's file takes from the page's memory and
// ours leaves clear.
void expectAsFreeImage(const Bytes& written, const Bytes& freeImages)
{
    const PngParts ours = partsOf(written);
    const PngParts theirs = partsOf(freeImages);
    EXPECT_TRUE(ours.chunks == theirs.chunks) << "chunks other than the image data differ";
    ASSERT_FALSE(ours.chunks.empty());
    const Bytes& header = ours.chunks.front().data;
    const Bytes data = inflated(ours.imageData);
    EXPECT_TRUE(data == withoutPadding(data, header)) << "bits past the last pixel are not clear";
    EXPECT_EQ(data.size(), inflated(theirs.imageData).size());
    EXPECT_TRUE(data == withoutPadding(inflated(theirs.imageData), header)) << "filtered rows differ";
}

PageAlpha alphaOf(Kind kind)
{
    return kind == Kind::RgbaOpaque        ? PageAlpha::Opaque
           : kind == Kind::RgbaTranslucent ? PageAlpha::Translucent
                                           : PageAlpha::Unknown;
}

// The page written band by band; empty when the writer refused a step.
Bytes savedInBands(const Bitmap& page, int flags, PageAlpha alpha, const PngWriterOptions& options, unsigned bandHeight)
{
    const File file(std::tmpfile());
    const std::unique_ptr<RowWriter> writer = openPngRowWriter(flags, headerOf(page), file.get(), alpha, options);
    if (!writer) {
        return {};
    }
    for (unsigned top = 0; top < page.height(); top += bandHeight) {
        if (!writer->writeBand(rowsOf(page, top, std::min(top + bandHeight, page.height())))) {
            return {};
        }
    }
    return writer->finish() ? contentsOf(file.get()) : Bytes{};
}

Settings defaultSettings()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

// Every compression the PNG settings produce, not interlaced, and no flags at all.
std::vector<int> pngFlagSets()
{
    Settings settings = defaultSettings();
    std::vector<int> flags;
    for (std::size_t compression = 0; compression < pngCompressions.size(); ++compression) {
        settings.output.pngCompression = static_cast<std::int32_t>(compression);
        settings.output.pngInterlaced = 0;
        flags.push_back(pngSaveFlags(settings.output));
    }
    flags.push_back(0);
    return flags;
}

// Writes the page with each flag set: in bands of 1, 7 and all its rows, on one thread with the
// writer's own groups (one group for a page this small), and on one and on three threads with
// groups of a few rows (so that a group ends within a band and the last group is short). Each
// file is FreeImage's but for its compression; the files with small groups are all the same.
void expectFreeImagesPixels(const Bitmap& page, PageAlpha alpha)
{
    for (const int flags : pngFlagSets()) {
        const Bytes expected = savedByFreeImage(FIF_PNG, page, flags);
        ASSERT_FALSE(expected.empty());
        Bytes grouped;
        for (const unsigned bandHeight : {1u, 7u, page.height()}) {
            for (const PngWriterOptions options :
                 {PngWriterOptions{}, PngWriterOptions{1, 97}, PngWriterOptions{3, 97}}) {
                SCOPED_TRACE("flags 0x" + (std::ostringstream() << std::hex << flags).str() + ", bands of " +
                             std::to_string(bandHeight) + ", threads " + std::to_string(options.threads) +
                             ", group bytes " + std::to_string(options.groupBytes));
                const Bytes written = savedInBands(page, flags, alpha, options, bandHeight);
                ASSERT_FALSE(written.empty());
                expectAsFreeImage(written, expected);
                if (options.groupBytes == 0) {
                    continue;
                }
                if (grouped.empty()) {
                    grouped = written;
                }
                EXPECT_TRUE(written == grouped) << "the bytes depend on the threads or the bands";
            }
        }
    }
}

struct PageCase {
    const char* name;
    Kind kind;
    Extras extras;
};

class PngWriterPages : public testing::TestWithParam<PageCase> {};

TEST_P(PngWriterPages, WriteFreeImagesPixelsAndChunksWhateverTheThreads)
{
    const Bitmap page = makePage(GetParam().kind);
    addExtras(page, GetParam().extras, greyKind(GetParam().kind));
    ASSERT_TRUE(pngRowWriterTakes(0, headerOf(page), alphaOf(GetParam().kind)));
    expectFreeImagesPixels(page, alphaOf(GetParam().kind));
}

INSTANTIATE_TEST_SUITE_P(Pages, PngWriterPages,
                         testing::Values(PageCase{"Grey", Kind::Grey8, Extras::None},
                                         PageCase{"GreyWithEverything", Kind::Grey8, Extras::Everything},
                                         PageCase{"ReversedGrey", Kind::ReversedGrey8, Extras::Resolution},
                                         PageCase{"Palette", Kind::Palette8, Extras::Everything},
                                         PageCase{"TransparentPalette", Kind::TransparentPalette8, Extras::None},
                                         PageCase{"FourBitPalette", Kind::Palette4, Extras::Resolution},
                                         PageCase{"Bilevel", Kind::Bilevel, Extras::Resolution},
                                         PageCase{"ReversedBilevel", Kind::ReversedBilevel, Extras::None},
                                         PageCase{"TransparentBilevel", Kind::TransparentBilevel, Extras::None},
                                         PageCase{"Rgb", Kind::Rgb24, Extras::None},
                                         PageCase{"RgbWithEverything", Kind::Rgb24, Extras::Everything},
                                         PageCase{"RgbWithLongText", Kind::Rgb24, Extras::LongMarkers},
                                         PageCase{"RgbaTranslucent", Kind::RgbaTranslucent, Extras::Everything},
                                         PageCase{"RgbaOpaque", Kind::RgbaOpaque, Extras::Resolution},
                                         PageCase{"Grey16", Kind::Grey16, Extras::Resolution},
                                         PageCase{"Rgb16", Kind::Rgb16, Extras::None},
                                         PageCase{"Rgba16", Kind::Rgba16, Extras::None}),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

// A page of one row or one column cannot use every filter, and a small page's stream has a
// narrower window: both as libpng has them.
TEST(PngWriter, WritesThinPagesAsFreeImageDoes)
{
    struct Size {
        unsigned width;
        unsigned height;
    };
    for (const Kind kind : {Kind::Grey8, Kind::Rgb24, Kind::Bilevel, Kind::Rgb16}) {
        for (const Size size : {Size{1, 1}, Size{37, 1}, Size{1, 23}, Size{3, 700}}) {
            SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height) + ", kind " +
                         std::to_string(static_cast<int>(kind)));
            expectFreeImagesPixels(makePage(kind, size.width, size.height), PageAlpha::Unknown);
        }
    }
}

Bytes fileBytes(const QString& path)
{
    std::ifstream file(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The pixels of a PNG file as libpng's simplified reader gives them (8-bit RGBA, top row first).
Bytes decodedRgba(const Bytes& file, unsigned& width, unsigned& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Bytes pixels;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) != 0) {
        image.format = PNG_FORMAT_RGBA;
        pixels.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
            pixels.clear();
        }
    }
    EXPECT_FALSE(pixels.empty()) << image.message;
    width = image.width;
    height = image.height;
    png_image_free(&image);
    return pixels;
}

// The page's own pixels as 8-bit RGBA, top row first.
Bytes pageRgba(const Bitmap& page)
{
    const Bitmap rgba(FreeImage_ConvertTo32Bits(page.get()));
    Bytes pixels;
    for (unsigned y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const RGBQUAD*>(
            FreeImage_GetScanLine(rgba.get(), static_cast<int>(page.height() - 1 - y)));
        for (unsigned x = 0; x < page.width(); ++x) {
            pixels.insert(pixels.end(), {row[x].rgbRed, row[x].rgbGreen, row[x].rgbBlue, row[x].rgbReserved});
        }
    }
    return pixels;
}

// A page of several groups gives the same file whether it is written whole by the in-memory path
// or band by band by the streamed path, on one thread or with a spare one: FreeImage's file but for
// the compressed image data, and libpng reads back the page's pixels. (A 32-bit page is not
// streamed: whether it is written with alpha depends on all of its pixels.)
TEST(PngWriter, GivesTheSameFileByEitherPathAndThreadCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Settings settings = defaultSettings();
    // 24-bit rows of 211 pixels: three groups of rows and a short one.
    for (const Kind kind : {Kind::Rgb24, Kind::RgbaTranslucent, Kind::RgbaOpaque, Kind::Palette8, Kind::Bilevel}) {
        SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)));
        const Bitmap page = makePage(kind, 211, 2900);
        JobState job;
        job.outputKey = QStringLiteral("png");
        job.run.formatId = FIF_PNG;
        job.run.saveFlags = computeSaveFlags(job.outputKey, settings);
        std::vector<Bytes> files;
        for (const int spare : {0, 1}) {
            job.run.spareThreads = spare;
            const QString path = dir.filePath(QStringLiteral("whole-%1.png").arg(spare));
            ASSERT_EQ(saveImageStatus(page, path, settings, job), SaveStatus::Saved);
            files.push_back(fileBytes(path));
            const File file(std::tmpfile());
            const std::unique_ptr<RowWriter> writer =
                openRowWriter(RowWriterKind::Png, job.run.saveFlags, headerOf(page), file.get(), encoderThreads(job));
            if (page.bpp() == 32) {
                ASSERT_EQ(writer, nullptr);
                continue;
            }
            ASSERT_NE(writer, nullptr);
            for (unsigned top = 0; top < page.height(); top += 256) {
                ASSERT_TRUE(writer->writeBand(rowsOf(page, top, std::min(top + 256, page.height()))));
            }
            ASSERT_TRUE(writer->finish());
            files.push_back(contentsOf(file.get()));
        }
        for (const Bytes& file : files) {
            EXPECT_TRUE(file == files.front());
        }
        expectAsFreeImage(files.front(), savedByFreeImage(FIF_PNG, page, job.run.saveFlags));
        unsigned width = 0;
        unsigned height = 0;
        const Bytes decoded = decodedRgba(files.front(), width, height);
        EXPECT_EQ(width, page.width());
        EXPECT_EQ(height, page.height());
        EXPECT_TRUE(decoded == pageRgba(page)) << "pixels differ from the page's";
    }
}

// The memory estimate counts the groups a second thread keeps in flight.
TEST(PngWriter, CountsTheGroupsInFlight)
{
    const Bitmap page = makePage(Kind::Rgb24, 20000, 1);
    const PageHeader header = headerOf(page);
    const std::size_t one = pngRowWriterBytes(0, header, 1);
    const std::size_t two = pngRowWriterBytes(0, header, 2);
    // A row of 60001 filtered bytes; each group of rows is at least that, raw and compressed.
    EXPECT_GT(one, std::size_t{2} * 60000);
    EXPECT_GT(two, one + std::size_t{4} * 60000);
}

} // namespace

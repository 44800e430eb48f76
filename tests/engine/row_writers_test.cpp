#include "app/setting_choices.h"
#include "app/settings.h"
#include "engine/formats/save_flags.h"
#include "engine/write/jpeg_row_writer.h"
#include "engine/write/png_row_writer.h"
#include "support/writer_pages.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The streamed JPEG writer against FreeImage's own: the same page written whole by FreeImage and
// band by band by the row writer gives the same bytes. Which pages the JPEG and PNG writers take,
// and how they fail. (The PNG writer's files: png_writer_test.cpp.)

namespace {

using namespace writer_pages;

using Opener = std::function<std::unique_ptr<RowWriter>(int flags, const PageHeader& header, std::FILE* file)>;

// The page written through a row writer in bands of `bandHeight` rows, top band first; empty when
// the writer refused a step.
Bytes savedInBands(const Opener& open, const Bitmap& page, int flags, unsigned bandHeight)
{
    const PageHeader header = headerOf(page);
    const File file(std::tmpfile());
    std::unique_ptr<RowWriter> writer = open(flags, header, file.get());
    if (!writer) {
        return {};
    }
    for (unsigned top = 0; top < page.height(); top += bandHeight) {
        const unsigned bottom = std::min(top + bandHeight, page.height());
        const Bitmap band = rowsOf(page, top, bottom);
        if (!writer->writeBand(band)) {
            return {};
        }
    }
    if (!writer->finish()) {
        return {};
    }
    return contentsOf(file.get());
}

// Writes the page with each of `flagSets` in bands of 1, 7 and all its rows, expecting
// FreeImage's file every time.
void expectSameBytes(FREE_IMAGE_FORMAT format, const Opener& open, const Bitmap& page, const std::vector<int>& flagSets)
{
    for (const int flags : flagSets) {
        const Bytes expected = savedByFreeImage(format, page, flags);
        ASSERT_FALSE(expected.empty()) << "flags " << std::hex << flags;
        for (const unsigned bandHeight : {1u, 7u, page.height()}) {
            SCOPED_TRACE("flags 0x" + (std::ostringstream() << std::hex << flags).str() + ", bands of " +
                         std::to_string(bandHeight));
            const Bytes written = savedInBands(open, page, flags, bandHeight);
            ASSERT_EQ(written.size(), expected.size());
            EXPECT_TRUE(written == expected);
        }
    }
}

Settings defaultSettings()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

// Every flag combination the JPEG settings produce: each chroma subsampling with each encoding,
// at a few qualities.
std::vector<int> jpegFlagSets()
{
    Settings settings = defaultSettings();
    std::vector<int> flags;
    for (std::size_t chroma = 0; chroma < chromaSubsamplings.size(); ++chroma) {
        for (std::size_t encoding = 0; encoding < jpegEncodings.size(); ++encoding) {
            settings.output.jpgChroma = static_cast<std::int32_t>(chroma);
            settings.output.jpgSaveAs = static_cast<std::int32_t>(encoding);
            settings.output.jpgQuality = chroma == encoding ? 100 : 95;
            flags.push_back(jpegSaveFlags(settings.output));
        }
    }
    settings.output.jpgQuality = 1;
    flags.push_back(jpegSaveFlags(settings.output));
    flags.push_back(0); // nothing set: the library's defaults (quality 75, 4:2:0)
    flags.push_back(JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_420);
    return flags;
}

struct PageCase {
    const char* name;
    Kind kind;
    Extras extras;
};

std::string caseName(const testing::TestParamInfo<PageCase>& info)
{
    return info.param.name;
}

class JpegRowWriterTest : public testing::TestWithParam<PageCase> {};

TEST_P(JpegRowWriterTest, WritesFreeImagesBytesBandByBand)
{
    const Bitmap page = makePage(GetParam().kind);
    addExtras(page, GetParam().extras, greyKind(GetParam().kind));
    ASSERT_TRUE(jpegRowWriterTakes(0, headerOf(page)));
    expectSameBytes(FIF_JPEG, openJpegRowWriter, page, jpegFlagSets());
}

INSTANTIATE_TEST_SUITE_P(Pages, JpegRowWriterTest,
                         testing::Values(PageCase{"Grey", Kind::Grey8, Extras::None},
                                         PageCase{"GreyWithEverything", Kind::Grey8, Extras::Everything},
                                         PageCase{"ReversedGrey", Kind::ReversedGrey8, Extras::Resolution},
                                         PageCase{"Palette", Kind::Palette8, Extras::Resolution},
                                         PageCase{"Rgb", Kind::Rgb24, Extras::None},
                                         PageCase{"RgbWithEverything", Kind::Rgb24, Extras::Everything},
                                         PageCase{"RgbWithLongMarkers", Kind::Rgb24, Extras::LongMarkers},
                                         PageCase{"Cmyk", Kind::Cmyk32, Extras::Everything}),
                         caseName);

Opener pngOpener(PageAlpha alpha, const PngWriterOptions& options = {})
{
    return [alpha, options](int flags, const PageHeader& header, std::FILE* file) {
        return openPngRowWriter(flags, header, file, alpha, options);
    };
}

struct TakesCase {
    const char* what;
    bool jpeg;
    Kind kind;
    int flags;
    PageAlpha alpha;
    bool takes;
};

// The streamed writers take what they can write with FreeImage's bytes and leave the rest to
// the in-memory path.
TEST(RowWritersTest, TakeThePagesTheyCanWriteAsFreeImageDoes)
{
    const std::vector<TakesCase> cases{
        {"JPEG, 24-bit progressive", true, Kind::Rgb24, JPEG_PROGRESSIVE, PageAlpha::Unknown, true},
        {"JPEG, 24-bit optimised", true, Kind::Rgb24, JPEG_OPTIMIZE, PageAlpha::Unknown, true},
        {"JPEG, CMYK", true, Kind::Cmyk32, 0, PageAlpha::Unknown, true},
        {"JPEG, 32-bit RGBA", true, Kind::RgbaTranslucent, 0, PageAlpha::Translucent, false},
        {"JPEG, 1-bit", true, Kind::Bilevel, 0, PageAlpha::Unknown, false},
        {"JPEG, 4-bit", true, Kind::Palette4, 0, PageAlpha::Unknown, false},
        {"JPEG, 16-bit grey", true, Kind::Grey16, 0, PageAlpha::Unknown, false},
        {"PNG, interlaced", false, Kind::Rgb24, PNG_INTERLACED, PageAlpha::Unknown, false},
        {"PNG, 32-bit, alpha unknown", false, Kind::RgbaOpaque, 0, PageAlpha::Unknown, false},
        {"PNG, 32-bit, opaque", false, Kind::RgbaOpaque, 0, PageAlpha::Opaque, true},
        {"PNG, CMYK", false, Kind::Cmyk32, 0, PageAlpha::Opaque, false},
        {"PNG, 16-bit RGBA", false, Kind::Rgba16, PNG_Z_BEST_COMPRESSION, PageAlpha::Unknown, true},
    };
    for (const TakesCase& test : cases) {
        const PageHeader header = headerOf(makePage(test.kind));
        const bool takes =
            test.jpeg ? jpegRowWriterTakes(test.flags, header) : pngRowWriterTakes(test.flags, header, test.alpha);
        EXPECT_EQ(takes, test.takes) << test.what;
        const File file(std::tmpfile());
        const bool opens = test.jpeg ? openJpegRowWriter(test.flags, header, file.get()) != nullptr
                                     : openPngRowWriter(test.flags, header, file.get(), test.alpha) != nullptr;
        EXPECT_EQ(opens, test.takes) << test.what;
        if (test.takes) {
            EXPECT_GT(test.jpeg ? jpegRowWriterBytes(test.flags, header) : pngRowWriterBytes(test.flags, header), 0u)
                << test.what;
        }
    }
}

// Progressive and optimised files keep every coefficient until the end; the budget must hear of it.
TEST(RowWritersTest, CountTheWholePagesCoefficientsForProgressiveJpeg)
{
    const PageHeader header = headerOf(makePage(Kind::Rgb24));
    const std::size_t baseline = jpegRowWriterBytes(JPEG_SUBSAMPLING_444, header);
    const std::size_t progressive = jpegRowWriterBytes(JPEG_SUBSAMPLING_444 | JPEG_PROGRESSIVE, header);
    // 4:4:4 keeps three blocks of 64 two-byte coefficients per 8 x 8 pixels: 6 bytes a pixel.
    EXPECT_GE(progressive - baseline, std::size_t{6} * pageWidth * pageHeight);
    EXPECT_GT(jpegRowWriterBytes(JPEG_SUBSAMPLING_444 | JPEG_OPTIMIZE, header), baseline);
}

struct FailureCase {
    const char* what;
    bool jpeg;
    Kind kind;
    PageAlpha alpha;
    // What goes wrong: the file cannot take the bytes (buffered or not), a band of another
    // width, a row too many or too few, or alpha other than the caller said.
    enum { FullDisk, FullDiskUnbuffered, NarrowBand, RowTooMany, RowsMissing, AlphaNotAsTold } fault;
};

// A writer that cannot write its file, or is fed what is not its page, says so and leaves
// nothing behind (the sanitizer pass checks the leaks). The PNG writer fails so on one thread and
// on three, with groups of a few rows, so that the failure finds groups in flight.
TEST(RowWritersTest, FailCleanly)
{
    const std::vector<FailureCase> cases{
        {"JPEG to a full disk", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDisk},
        {"JPEG to a full disk, unbuffered", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDiskUnbuffered},
        {"PNG to a full disk", false, Kind::Rgb24, PageAlpha::Unknown, FailureCase::FullDisk},
        {"PNG to a full disk, unbuffered", false, Kind::Grey8, PageAlpha::Unknown, FailureCase::FullDiskUnbuffered},
        {"JPEG, narrow band", true, Kind::Grey8, PageAlpha::Unknown, FailureCase::NarrowBand},
        {"PNG, narrow band", false, Kind::Palette8, PageAlpha::Unknown, FailureCase::NarrowBand},
        {"JPEG, a row too many", true, Kind::Rgb24, PageAlpha::Unknown, FailureCase::RowTooMany},
        {"PNG, a row too many", false, Kind::Rgb24, PageAlpha::Unknown, FailureCase::RowTooMany},
        {"JPEG, rows missing", true, Kind::Palette8, PageAlpha::Unknown, FailureCase::RowsMissing},
        {"PNG, rows missing", false, Kind::Bilevel, PageAlpha::Unknown, FailureCase::RowsMissing},
        {"PNG, told opaque", false, Kind::RgbaTranslucent, PageAlpha::Opaque, FailureCase::AlphaNotAsTold},
        {"PNG, told translucent", false, Kind::RgbaOpaque, PageAlpha::Translucent, FailureCase::AlphaNotAsTold},
    };
    for (const FailureCase& test : cases) {
        for (const unsigned threads : {1u, 3u}) {
            if (test.jpeg && threads > 1) {
                continue;
            }
            SCOPED_TRACE(std::string(test.what) + ", threads " + std::to_string(threads));
            const Bitmap page = makePage(test.kind);
            addExtras(page, Extras::Everything, greyKind(test.kind));
            const PageHeader header = headerOf(page);
            const bool fullDisk = test.fault == FailureCase::FullDisk || test.fault == FailureCase::FullDiskUnbuffered;
            const File file(fullDisk ? std::fopen("/dev/full", "wb") : std::tmpfile());
            ASSERT_NE(file, nullptr);
            if (test.fault == FailureCase::FullDiskUnbuffered) {
                std::setvbuf(file.get(), nullptr, _IONBF, 0);
            }
            const Opener open = test.jpeg
                                    ? Opener(openJpegRowWriter)
                                    : pngOpener(test.alpha, PngWriterOptions{.threads = threads, .groupBytes = 97});
            const std::unique_ptr<RowWriter> writer = open(0, header, file.get());
            if (!writer) {
                // Only a write that fails at once may stop the writer before its first row.
                EXPECT_EQ(test.fault, FailureCase::FullDiskUnbuffered);
                continue;
            }
            const unsigned rows = test.fault == FailureCase::RowsMissing ? pageHeight - 1 : pageHeight;
            bool written = true;
            for (unsigned top = 0; top < rows && written; top += 5) {
                Bitmap band = rowsOf(page, top, std::min(top + 5, rows));
                if (test.fault == FailureCase::NarrowBand) {
                    band = Bitmap(FreeImage_Copy(band.get(), 0, 0, pageWidth - 1, 1));
                }
                written = writer->writeBand(band);
            }
            if (written && test.fault == FailureCase::RowTooMany) {
                written = writer->writeBand(rowsOf(page, 0, 1));
            }
            const bool finished = written && writer->finish();
            EXPECT_FALSE(finished);
            // A failed writer stays failed.
            EXPECT_FALSE(writer->writeBand(rowsOf(page, 0, 1)));
            EXPECT_FALSE(writer->finish());
        }
    }
}

} // namespace

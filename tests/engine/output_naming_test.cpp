#include "engine/core/output_naming.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char* label;
    const char* mask;
    const char* inputPath;
    const char* outputKey;
    std::int32_t counter;
    std::int32_t random;
    const char* expected;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.label;
}

class OutputFileNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(OutputFileNameTest, ReplacesPlaceholdersOfTheLowerCasedMask)
{
    const NameCase& c = GetParam();
    Settings settings;
    settings.advanced.filenameMask = QString::fromUtf8(c.mask);
    JobState job;
    job.file.inputPath = QString::fromUtf8(c.inputPath);
    job.outputKey = QString::fromUtf8(c.outputKey);
    job.file.counterValue = c.counter;
    job.file.randomValue = c.random;
    job.file.pageBpp = 24;
    job.file.imageWidth = 640;
    job.file.imageHeight = 480;
    EXPECT_EQ(outputFileName(settings, job), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Masks, OutputFileNameTest,
    testing::Values(
        NameCase{"default mask", "%filename%.%ext%", "/in/Scan 01.tif", "png", 1, 1, "Scan 01.png"},
        NameCase{"empty mask", "", "/in/Scan 01.tif", "png", 1, 1, "Scan 01.png"},
        NameCase{"literal text lower-cased, placeholders in any case", "IMG_%N%.%EXT%", "/in/a.tif", "png", 1, 1,
                 "img_00001.png"},
        NameCase{"title and upper case", "%filename[t]%.%ext[u]%", "/in/my PHOTO.tiff", "jpg", 1, 1, "My photo.JPG"},
        NameCase{"upper, lower and title extension", "%FILENAME[U]%_%filename[l]%.%ext[t]%", "/in/my PHOTO.tiff", "jpg",
                 1, 1, "MY PHOTO_my photo.Jpg"},
        NameCase{"title case of a non-ASCII name", "%filename[t]%", "/in/éCLAIR.tif", "png", 1, 1, "Éclair"},
        NameCase{"depth and size", "%bpp%bit_%width%x%height%.%ext%", "/in/a.tif", "png", 1, 1, "24bit_640x480.png"},
        NameCase{"counter cut to five digits, no extension", "%n%", "/in/a.tif", "png", 123456, 1, "12345"},
        NameCase{"random padded", "r%rnd%.%ext%", "/in/a.tif", "bmp", 1, 42, "r00042.bmp"},
        NameCase{"only the last dot ends the name", "%filename%.%ext%", "/in/sub/a.b.tif", "png", 1, 1, "a.b.png"},
        NameCase{"backslash also ends the folder", "%filename%", "/in/x\\y.tif", "png", 1, 1, "y"},
        NameCase{"name without extension", "%filename%.%ext%", "/in/plain", "tga", 1, 1, "plain.tga"},
        NameCase{"inserted value holding a later placeholder", "%filename%-%n%", "/in/%N%.tif", "png", 7, 1,
                 "00007-00007"},
        NameCase{"inserted value holding the extension placeholder", "%filename%", "/in/%ext%.tif", "webp", 1, 1,
                 "webp"},
        NameCase{"every occurrence replaced", "%n%_%N%_%n%", "/in/a.tif", "png", 3, 1, "00003_00003_00003"},
        NameCase{"unknown placeholder stays", "%foo%_%n%", "/in/a.tif", "png", 2, 1, "%foo%_00002"}));

TEST(OutputFileName, DatePlaceholdersReadTheLocalClock)
{
    Settings settings;
    settings.advanced.filenameMask = QStringLiteral("%yyyy%-%mm%-%dd%_%hh%%ii%%ss%.%ext%");
    JobState job;
    job.file.inputPath = QStringLiteral("/in/a.tif");
    job.outputKey = QStringLiteral("png");

    QDateTime before = QDateTime::currentDateTime();
    before.setTime(QTime(before.time().hour(), before.time().minute(), before.time().second()));
    const QString name = outputFileName(settings, job);
    const QDateTime after = QDateTime::currentDateTime();

    ASSERT_TRUE(name.endsWith(QStringLiteral(".png"))) << name.toStdString();
    const QDateTime stamped = QDateTime::fromString(name.chopped(4), QStringLiteral("yyyy-MM-dd_HHmmss"));
    ASSERT_TRUE(stamped.isValid()) << name.toStdString();
    EXPECT_LE(before, stamped);
    EXPECT_LE(stamped, after);
}

TEST(OutputFilePath, AddsTheSubfolderOnlyWhenKeepingSubfolders)
{
    Settings settings;
    settings.advanced.filenameMask = QStringLiteral("%filename%.%ext%");
    JobState job;
    job.file.inputPath = QStringLiteral("/photos/2019/May/a.tif");
    job.outputFolder = QStringLiteral("/out/");
    job.file.subfolder = QStringLiteral("2019/May/");
    job.outputKey = QStringLiteral("jpg");

    settings.advanced.keepSubfolders = 0;
    EXPECT_EQ(outputFilePath(settings, job), QStringLiteral("/out/a.jpg"));
    settings.advanced.keepSubfolders = 1;
    EXPECT_EQ(outputFilePath(settings, job), QStringLiteral("/out/2019/May/a.jpg"));
}

struct WatermarkCase {
    const char* label;
    const char* text;
    const char* inputPath;
    const char* expected;
};

void PrintTo(const WatermarkCase& c, std::ostream* os)
{
    *os << c.label;
}

class ExpandWatermarkTextTest : public testing::TestWithParam<WatermarkCase> {};

TEST_P(ExpandWatermarkTextTest, KeepsLiteralCase)
{
    const WatermarkCase& c = GetParam();
    Settings settings;
    settings.watermark.text = QString::fromUtf8(c.text);
    JobState job;
    job.file.inputPath = QString::fromUtf8(c.inputPath);
    job.outputKey = QStringLiteral("png");
    job.file.counterValue = 12;
    EXPECT_EQ(expandWatermarkText(settings, job), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExpandWatermarkTextTest,
    testing::Values(WatermarkCase{"name and counter", "%FILENAME% (%n%)", "/in/Scan 01.tif", "Scan 01 (00012)"},
                    WatermarkCase{"literal case kept", "ACME Corp: %Filename[U]%", "/in/Scan.tif", "ACME Corp: SCAN"},
                    WatermarkCase{"a single percent sign", "100% Scan %n", "/in/a.tif", "100% Scan %n"},
                    WatermarkCase{"no percent sign", "Plain Text", "/in/a.tif", "Plain Text"},
                    WatermarkCase{"line break marker left alone", "Top%eol%Bottom", "/in/a.tif", "Top%eol%Bottom"},
                    // Only placeholders of the text as written are replaced, not those an inserted value brings.
                    WatermarkCase{"inserted placeholder not expanded", "%filename%!", "/in/%n%.tif", "%n%!"},
                    WatermarkCase{"empty text", "", "/in/a.tif", ""}));

} // namespace

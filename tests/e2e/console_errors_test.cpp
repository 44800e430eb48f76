// Every "Error: " line of the command line and the console run, reached by the input that
// triggers it: one line on standard error, exit status 1, nothing converted.
#include "support/run_tessaline.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

struct ErrorCase {
    const char* name;
    QStringList arguments;
    const char* error;
};

class ConsoleErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ConsoleErrors, WriteOneErrorLineAndConvertNothing)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.writeFile(QStringLiteral("empty.tif"), "");
    box.writeFile(QStringLiteral("logo.png"), "");
    box.makeFolder(QStringLiteral("photos.2019"));
    box.makeFolder(QStringLiteral("out"));
    box.writeFile(QStringLiteral("file"), "x");
    box.writeFile(QStringLiteral("limits.ini"), "[CLI]\n--MEMORY = a lot\n");

    const RunResult run = box.run(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 1);
    // Besides the one error line and the line after it that says where and why, standard error
    // holds only the warnings of values that are out of range.
    QStringList errors;
    const QStringList lines = run.errLines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(u"Error: ")) {
            errors << lines[i];
            ASSERT_LT(i + 1, lines.size()) << "no line after " << lines[i].toStdString();
            EXPECT_TRUE(lines[i + 1].startsWith(u"  ") && lines[i + 1].size() > 10) << lines[i + 1].toStdString();
            ++i;
        } else {
            EXPECT_TRUE(lines[i].startsWith(u"Warning: ")) << lines[i].toStdString();
        }
    }
    EXPECT_EQ(errors, QStringList{QStringLiteral("Error: ") + QString::fromUtf8(GetParam().error)});
    for (const QString& line : run.outLines()) {
        EXPECT_FALSE(line.startsWith(u"Error")) << "errors go to standard error only";
        EXPECT_NE(line, QStringLiteral("Importing...")) << "nothing is collected after an error";
    }
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList());
    EXPECT_EQ(box.filesBelow(QStringLiteral("in")), QStringList{"a.tif"});
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ConsoleErrors,
    testing::Values(
        ErrorCase{"InputLast", {"-o", "out", "-i"}, "Incorrect number of parameters"},
        ErrorCase{"InputThenOption", {"-i", "-x"}, "Incorrect number of parameters"},
        ErrorCase{"WidthAlone", {"-i", "in", "--width"}, "Incorrect number of parameters"},
        ErrorCase{"WidthEmpty", {"-i", "in", "--width="}, "Incorrect number of parameters"},
        ErrorCase{"WidthSeparate", {"-i", "in", "--width", "100"}, "Incorrect number of parameters"},
        ErrorCase{"QuietDoesNotSilence", {"-q", "-i", "in", "--brightness=--30"}, "Incorrect number of parameters"},
        ErrorCase{"MissingProfile", {"-i", "in", "--profile=none.ini"}, "Invalid profile file"},
        ErrorCase{"FolderAsProfile", {"-i", "in", "--profile=out"}, "Invalid profile file"},
        ErrorCase{"MemoryText", {"-i", "in", "-o", "out", "--memory=lots"}, "Invalid memory value"},
        ErrorCase{"MemoryZero", {"-i", "in", "-o", "out", "--memory=0"}, "Invalid memory value"},
        ErrorCase{"MemoryUnit", {"-i", "in", "-o", "out", "--memory=2X"}, "Invalid memory value"},
        ErrorCase{"MemoryNegative", {"-i", "in", "-o", "out", "--memory=-1G"}, "Invalid memory value"},
        ErrorCase{"MemoryInProfile", {"-i", "in", "-o", "out", "--profile=limits.ini"}, "Invalid memory value"},
        ErrorCase{"MemoryWithoutValue", {"-i", "in", "-o", "out", "--memory="}, "Incorrect number of parameters"},
        ErrorCase{"MissingFile", {"-i", "in/b.tif", "-o", "out"}, "Invalid input file"},
        ErrorCase{"EmptyFile", {"-i", "empty.tif", "-o", "out"}, "Invalid input file"},
        ErrorCase{"FolderWithADot", {"-i", "photos.2019", "-o", "out"}, "Invalid input file"},
        ErrorCase{"ParentFolder", {"-i", "../in", "-o", "out"}, "Incorrect input folder"},
        ErrorCase{"MissingFolder", {"-i", "nothere", "-o", "out"}, "Invalid input folder"},
        ErrorCase{"ParentOutput", {"-i", "in", "-o", "../out"}, "Incorrect output folder"},
        ErrorCase{"MissingOutput", {"-i", "in", "-o", "nothere"}, "Invalid output folder"},
        ErrorCase{"FileAsOutput", {"-i", "in", "-o", "file"}, "Invalid output folder"},
        ErrorCase{"UpperCaseFormat", {"-i", "in", "-o", "out", "-c", "JPG"}, "Invalid conversion type"},
        ErrorCase{"UnknownFormat", {"-i", "in", "-o", "out", "-c", "heic"}, "Invalid conversion type"},
        ErrorCase{"PngDepth", {"-i", "in", "-o", "out", "-c", "png", "--png-bpp=16"}, "Invalid png-bpp value"},
        ErrorCase{"DefaultFormatDepth", {"-i", "in", "-o", "out", "--bmp-bpp=2"}, "Invalid bmp-bpp value"},
        ErrorCase{"DdsDepth", {"-i", "in", "-o", "out", "-c", "dds", "--dds-bpp=24"}, "Invalid dds-bpp value"},
        ErrorCase{"XpmDepth", {"-i", "in", "-o", "out", "-c", "xpm", "--xpm-bpp=-1"}, "Invalid xpm-bpp value"},
        ErrorCase{"JpgQuality", {"-i", "in", "-o", "out", "-c", "jpg", "--jpg-quality=0"}, "Invalid jpg-quality value"},
        ErrorCase{
            "JpgQualityHigh", {"-i", "in", "-o", "out", "-c", "jpg", "--jpg-quality=101"}, "Invalid jpg-quality value"},
        ErrorCase{"Width", {"-i", "in", "-o", "out", "--width=0"}, "Invalid width value"},
        ErrorCase{"HeightOnly", {"-i", "in", "-o", "out", "--height=20"}, "Invalid width value"},
        ErrorCase{"Height", {"-i", "in", "-o", "out", "--width=20", "--keep-aspect-ratio"}, "Invalid height value"},
        ErrorCase{"Brightness", {"-i", "in", "-o", "out", "--brightness=150"}, "Invalid brightness value"},
        ErrorCase{"Contrast", {"-i", "in", "-o", "out", "--contrast=-101"}, "Invalid contrast value"},
        ErrorCase{"Gamma", {"-i", "in", "-o", "out", "--gamma=10"}, "Invalid gamma value"},
        ErrorCase{"GammaText", {"-i", "in", "-o", "out", "--gamma=abc"}, "Invalid gamma value"},
        ErrorCase{"GammaNaN", {"-i", "in", "-o", "out", "--gamma=NaN"}, "Invalid gamma value"},
        ErrorCase{
            "InvertKeepsGammaChecked", {"-i", "in", "-o", "out", "--invert", "--gamma=0.001"}, "Invalid gamma value"},
        ErrorCase{"WatermarkFont",
                  {"-i", "in", "-o", "out", "--wm-text=x", "--wm-font=NoSuchFont123"},
                  "Invalid watermark font"},
        ErrorCase{"WatermarkImageMissing", {"-i", "in", "-o", "out", "--wm-image=none.png"}, "Invalid watermark image"},
        ErrorCase{"WatermarkImageEmpty", {"-i", "in", "-o", "out", "--wm-image=logo.png"}, "Invalid watermark image"},
        ErrorCase{"WatermarkImageFolder", {"-i", "in", "-o", "out", "--wm-image=out"}, "Invalid watermark image"},
        ErrorCase{"MaskAbsolute",
                  {"-i", "in", "-o", "out", "--filename-mask=/tmp/%filename%.%ext%"},
                  "Invalid filename mask"},
        // The first failing check wins.
        ErrorCase{"OrderOfChecks", {"-i", "in", "-o", "nothere", "-c", "JPG", "--width=0"}, "Invalid output folder"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

struct EchoStopCase {
    const char* name;
    QStringList arguments;
    const char* lastEchoLine;
};

class DebugEchoBeforeAnError : public testing::TestWithParam<EchoStopCase> {};

// With -d, the echo shows every value up to the one that failed its check, and nothing after it.
TEST_P(DebugEchoBeforeAnError, EndsWithTheValueThatFailed)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run(QStringList{"-q", "-d"} + GetParam().arguments);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.errLines().filter(QRegularExpression(QStringLiteral("^Error: "))).size(), 1);
    ASSERT_FALSE(run.outLines().isEmpty());
    EXPECT_EQ(run.outLines().first(), QStringLiteral("Input: ") + GetParam().arguments.at(1));
    EXPECT_EQ(run.outLines().last(), QString::fromUtf8(GetParam().lastEchoLine)) << run.out.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, DebugEchoBeforeAnError,
    testing::Values(EchoStopCase{"Input", {"-i", "nothere", "-o", "out"}, "Input: nothere"},
                    EchoStopCase{"Output", {"-i", "in", "-o", "nothere"}, "Output: nothere"},
                    EchoStopCase{"Conversion", {"-i", "in", "-o", "out", "-c", "heic"}, "Conversion: heic"},
                    EchoStopCase{"Depth", {"-i", "in", "-o", "out", "-c", "png", "--png-bpp=16"}, "PNG Interlaced: 0"},
                    EchoStopCase{"Width", {"-i", "in", "-o", "out", "--rotation=90", "--width=0"}, "Width: 0 pixels"},
                    EchoStopCase{"Height", {"-i", "in", "-o", "out", "--width=20"}, "Height: 0 pixels"},
                    EchoStopCase{"Brightness", {"-i", "in", "-o", "out", "--brightness=150"}, "Brightness: 150"},
                    EchoStopCase{"Contrast", {"-i", "in", "-o", "out", "--contrast=-101"}, "Contrast: -101"},
                    EchoStopCase{"Gamma", {"-i", "in", "-o", "out", "--gamma=10"}, "Gamma: 10.00"},
                    EchoStopCase{"Font",
                                 {"-i", "in", "-o", "out", "--wm-text=x", "--wm-font=NoSuchFont123"},
                                 "Watermark size/mode: fixed"},
                    EchoStopCase{"Mask",
                                 {"-i", "in", "-o", "out", "--filename-mask=../%filename%.%ext%"},
                                 "Filename Mask: ../%filename%.%ext%"}),
    [](const testing::TestParamInfo<EchoStopCase>& info) { return std::string(info.param.name); });

TEST(ConsoleErrorsAreNotChecksOfOtherFormats, JpgQualityIsCheckedForJpgOnly)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("a.tif"));
    const RunResult run = box.run({"-q", "-i", "a.tif", "-c", "png", "--jpg-quality=0", "--width=-5", "--height=10"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
}

TEST(ConsoleErrorsWithPause, WaitWithoutAPrompt)
{
    Sandbox box;
    auto running = box.start({"-p", "-i"}, {.terminalInput = true});
    // Nothing is printed but the error; the process waits for the key.
    running->pressKey();
    const RunResult run = running->finish(30000);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
    EXPECT_EQ(run.errLines(),
              (QStringList{"Error: Incorrect number of parameters", "  -i needs a value after it: -i FILE"}));
}

} // namespace

#include "app/message_catalogue.h"
#include "app/settings.h"
#include "engine/inputs/input_file_list.h"
#include "engine/run/run_checks.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

Settings consoleDefaults()
{
    Settings settings;
    resetToDefaults(settings, true);
    return settings;
}

TEST(RunChecks, OutputFolderIsCompletedOrNamedInTheProblem)
{
    loadMessageCatalogue();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    JobState job;

    EXPECT_EQ(checkOutputFolder(job, root.path()).kind, RunProblemKind::EmptyOutputFolder);

    job.outputFolder = root.path();
    EXPECT_FALSE(checkOutputFolder(job, QStringLiteral("/")));
    EXPECT_EQ(job.outputFolder, root.path() + u'/') << "a folder is used with its trailing slash";

    job.outputFolder = QStringLiteral("missing");
    const RunProblem missing = checkOutputFolder(job, root.path());
    EXPECT_EQ(missing.kind, RunProblemKind::InvalidOutputFolder);
    EXPECT_EQ(missing.argument, root.path() + QStringLiteral("/missing/"));
    EXPECT_TRUE(runProblemMessage(missing).contains(root.path() + QStringLiteral("/missing/")));

    job.outputFolder = QStringLiteral("../up");
    EXPECT_EQ(checkOutputFolder(job, root.path()).kind, RunProblemKind::IncorrectOutputFolder);
}

TEST(RunChecks, InputPathNamesAFileOrAFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("in")));

    JobState job;
    job.inputFolder = QStringLiteral("in");
    EXPECT_FALSE(checkInputPath(job, root.path()));
    EXPECT_EQ(job.inputFolder, root.path() + QStringLiteral("/in/"));
    EXPECT_TRUE(job.file.inputPath.isEmpty());

    job = JobState{};
    job.inputFolder = root.path() + QStringLiteral("/a.tif");
    EXPECT_EQ(checkInputPath(job, root.path()).kind, RunProblemKind::InvalidInputFile);
    EXPECT_EQ(job.file.inputPath, root.path() + QStringLiteral("/a.tif"));
    EXPECT_TRUE(job.inputFolder.isEmpty());

    InputFileList list;
    EXPECT_EQ(checkInputList(list).kind, RunProblemKind::EmptyInputList);
}

struct SettingsCase {
    const char* name;
    void (*change)(Settings&);
    const char* outputKey;
    RunProblemKind expected;
};

class SettingsChecks : public testing::TestWithParam<SettingsCase> {};

// The checks of the settings, run in the console's order; the first problem is the one reported.
TEST_P(SettingsChecks, FindTheFirstProblem)
{
    Settings settings = consoleDefaults();
    GetParam().change(settings);
    RunProblem problem = checkOutputFormat(settings, QString::fromLatin1(GetParam().outputKey));
    if (!problem) {
        problem = checkResize(settings);
    }
    if (!problem) {
        problem = checkColourCorrection(settings);
    }
    EXPECT_EQ(problem.kind, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsChecks,
    testing::Values(
        SettingsCase{"Defaults", [](Settings&) {}, "bmp", RunProblemKind::None},
        SettingsCase{"UpperCaseKey", [](Settings&) {}, "BMP", RunProblemKind::InvalidConversionType},
        SettingsCase{"DepthNotPermitted", [](Settings& s) { s.output.pngBpp = 16; }, "png",
                     RunProblemKind::InvalidBitDepth},
        SettingsCase{"DepthOfAnotherFormat", [](Settings& s) { s.output.pngBpp = 16; }, "bmp", RunProblemKind::None},
        SettingsCase{"JpgQuality", [](Settings& s) { s.output.jpgQuality = 0; }, "jpg",
                     RunProblemKind::InvalidJpgQuality},
        SettingsCase{"JpgQualityForPng", [](Settings& s) { s.output.jpgQuality = 0; }, "png", RunProblemKind::None},
        SettingsCase{"ResizeOffIgnoresSizes", [](Settings& s) { s.transform.imageWidth = 0; }, "bmp",
                     RunProblemKind::None},
        SettingsCase{"WidthZero",
                     [](Settings& s) {
                         s.transform.doImageResize = 1;
                         s.transform.imageHeight = 5;
                     },
                     "bmp", RunProblemKind::InvalidWidth},
        SettingsCase{"NegativeWidthPasses",
                     [](Settings& s) {
                         s.transform.doImageResize = 1;
                         s.transform.imageWidth = -5;
                         s.transform.imageHeight = 5;
                     },
                     "bmp", RunProblemKind::None},
        SettingsCase{"HeightZero",
                     [](Settings& s) {
                         s.transform.doImageResize = 1;
                         s.transform.imageWidth = 5;
                     },
                     "bmp", RunProblemKind::InvalidHeight},
        SettingsCase{"CorrectionOffIgnoresBrightness", [](Settings& s) { s.adjustment.imageBrightness = 500; }, "bmp",
                     RunProblemKind::None},
        SettingsCase{"Brightness",
                     [](Settings& s) {
                         s.adjustment.doImageColorCorrection = 1;
                         s.adjustment.imageBrightness = 101;
                     },
                     "bmp", RunProblemKind::InvalidBrightness},
        SettingsCase{"Contrast",
                     [](Settings& s) {
                         s.adjustment.doImageColorCorrection = 1;
                         s.adjustment.imageContrast = -101;
                     },
                     "bmp", RunProblemKind::InvalidContrast},
        SettingsCase{"Gamma",
                     [](Settings& s) {
                         s.adjustment.doImageColorCorrection = 1;
                         s.adjustment.imageGamma = 0.0F;
                     },
                     "bmp", RunProblemKind::InvalidGamma}),
    [](const testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST(RunChecks, WindowedConvertChecksListFolderSizesAndWatermarkInThatOrder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    Settings settings;
    resetToDefaults(settings, false);
    settings.transform.doImageResize = 1;
    settings.watermark.doWatermark = 2;
    JobState job;
    job.outputFolder = root.path() + QStringLiteral("/missing");
    InputFileList list;
    WatermarkAssets assets;

    EXPECT_EQ(checkWindowedConversion(settings, job, list, assets).kind, RunProblemKind::EmptyInputList);
    list.insert(QStringLiteral("/a.tif"), QString());
    EXPECT_EQ(checkWindowedConversion(settings, job, list, assets).kind, RunProblemKind::InvalidOutputFolder);
    job.outputFolder = root.path();
    EXPECT_EQ(checkWindowedConversion(settings, job, list, assets).kind, RunProblemKind::InvalidWidth);
    settings.transform.imageWidth = 10;
    settings.transform.imageHeight = 10;
    EXPECT_EQ(checkWindowedConversion(settings, job, list, assets).kind, RunProblemKind::EmptyWatermarkImage);
    settings.watermark.doWatermark = 0;
    settings.advanced.filenameMask = QStringLiteral("../%filename%.%ext%");
    EXPECT_EQ(checkWindowedConversion(settings, job, list, assets).kind, RunProblemKind::InvalidFilenameMask);
    settings.advanced.filenameMask.clear();
    EXPECT_FALSE(checkWindowedConversion(settings, job, list, assets));
    EXPECT_EQ(job.outputFolder, root.path() + u'/');
}

// A mask whose names would leave the output folder is refused, and the problem says why; names in
// subfolders of it, and dots that are no ".." component, are fine.
TEST(RunChecks, FilenameMaskKeepsNamesInsideTheOutputFolder)
{
    struct Case {
        const char* mask;
        const char* why; // in the problem's argument; empty: the mask passes
    };
    const Case cases[] = {
        {"", ""},
        {"%filename%.%ext%", ""},
        {"sub/%filename%.%ext%", ""},
        {"./%filename%.%ext%", ""},
        {"..%filename%.%ext%", ""},
        {"%filename%..%ext%", ""},
        {"a/.../%n%.%ext%", ""},
        {"../../x_%filename%.%ext%", "has a \"..\" component"},
        {"sub/../../%filename%.%ext%", "has a \"..\" component"},
        {"%FILENAME%/..", "has a \"..\" component"},
        {"/tmp/%filename%.%ext%", "begins with \"/\""},
        {"%yyyy%/../%n%", "has a \"..\" component"},
    };
    for (const Case& c : cases) {
        Settings settings = consoleDefaults();
        settings.advanced.filenameMask = QString::fromLatin1(c.mask);
        const RunProblem problem = checkFilenameMask(settings);
        if (*c.why == '\0') {
            EXPECT_FALSE(problem) << c.mask << ": " << problem.argument.toStdString();
            continue;
        }
        EXPECT_EQ(problem.kind, RunProblemKind::InvalidFilenameMask) << c.mask;
        EXPECT_TRUE(problem.argument.contains(QString::fromLatin1(c.why))) << problem.argument.toStdString();
        EXPECT_TRUE(problem.argument.contains(QString::fromLatin1(c.mask))) << problem.argument.toStdString();
        EXPECT_TRUE(problem.argument.endsWith(QStringLiteral("names made from it would leave the output folder")));
    }
}

TEST(RunChecks, WindowMessagesComeFromTheCatalogue)
{
    loadMessageCatalogue();
    EXPECT_EQ(runProblemMessage({RunProblemKind::InvalidHeight, {}}), QStringLiteral("Invalid resize height value!"));
    EXPECT_EQ(runProblemMessage({RunProblemKind::InvalidWatermarkFont, QStringLiteral("NoSuchFont123")}),
              QStringLiteral("Unable to load selected font for a watermark: NoSuchFont123"));
    EXPECT_TRUE(runProblemMessage({RunProblemKind::InvalidBrightness, {}}).isEmpty());
    EXPECT_EQ(runProblemMessage({RunProblemKind::InvalidFilenameMask, QStringLiteral("why")}),
              QStringLiteral("Invalid filename mask\r\nwhy"));
}

} // namespace

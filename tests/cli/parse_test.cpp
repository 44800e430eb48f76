#include "app/settings.h"
#include "cli/command_line.h"
#include "cli/option_table.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Parsed {
    ParseOutcome outcome;
    Settings settings;
    JobState job;
};

Parsed parse(const QStringList& parameters)
{
    Parsed parsed;
    resetToDefaults(parsed.settings, true);
    parsed.outcome = parseOptions(parameters, parsed.settings, parsed.job);
    return parsed;
}

struct RefusedCase {
    const char* name;
    QStringList parameters;
};

class RefusedValues : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedValues, EndTheParseWithIncorrectNumberOfParameters)
{
    const Parsed parsed = parse(GetParam().parameters);
    EXPECT_EQ(parsed.outcome.error, QStringLiteral("Incorrect number of parameters"));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RefusedValues,
    testing::Values(RefusedCase{"InputLast", {"-i"}}, RefusedCase{"InputThenOption", {"-i", "-x"}},
                    RefusedCase{"LongInputWithoutValue", {"--input"}}, RefusedCase{"EmptyLongInput", {"--input="}},
                    RefusedCase{"OutputLast", {"-i", "a.tif", "-o"}},
                    RefusedCase{"ConversionDashValue", {"-c", "-png"}}, RefusedCase{"WidthAlone", {"--width"}},
                    RefusedCase{"WidthEmpty", {"--width="}}, RefusedCase{"WidthSeparateValue", {"--width", "100"}},
                    RefusedCase{"DoubleDashNumber", {"--brightness=--30"}},
                    RefusedCase{"ProfileWithoutValue", {"--profile"}},
                    RefusedCase{"KeywordEmpty", {"-i", "a.tif", "--jpg-chroma="}}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST(ParseOptions, InputSetsTheConsoleRunEvenWhenItsValueIsRefused)
{
    EXPECT_EQ(parse({"-i"}).job.consoleRun, 1);
    const Parsed parsed = parse({"-d", "--jpg-quality=80"});
    EXPECT_EQ(parsed.job.consoleRun, 0) << "no -i: the windowed mode starts";
    EXPECT_TRUE(parsed.outcome.error.isEmpty());
}

TEST(ParseOptions, ValueRulesOfTheMainOptions)
{
    Parsed parsed = parse({"-I", "in.tif", "--Output=/out", "-c", "\"JPG\""});
    EXPECT_EQ(parsed.job.inputFolder, QStringLiteral("in.tif"));
    EXPECT_EQ(parsed.job.outputFolder, QStringLiteral("/out"));
    EXPECT_EQ(parsed.job.outputKey, QStringLiteral("JPG")) << "kept in the letter case given, quotes removed";

    parsed = parse({"--input=/a=b/x.tif"});
    EXPECT_EQ(parsed.job.inputFolder, QStringLiteral("/a=b/x.tif"));

    parsed = parse({"-i=x.tif"});
    EXPECT_EQ(parsed.job.consoleRun, 0) << "-i=x.tif is no option";
    EXPECT_TRUE(parsed.job.inputFolder.isEmpty());
}

TEST(ParseOptions, QuotedValuesAreJoinedAcrossParameters)
{
    Parsed parsed = parse({"-i", "\"my", "holiday", "photos\"", "-o", "\"/out put\""});
    EXPECT_EQ(parsed.job.inputFolder, QStringLiteral("my holiday photos"));
    EXPECT_EQ(parsed.job.outputFolder, QStringLiteral("/out put"));

    parsed = parse({"--wm-text=\"Made", "by", "me\"", "-i", "a.tif"});
    EXPECT_EQ(parsed.settings.watermark.text, QStringLiteral("Made by me"));
    EXPECT_EQ(parsed.job.inputFolder, QStringLiteral("a.tif"));

    // An unterminated quote takes the rest of the list, and nothing more.
    parsed = parse({"--filename-mask=\"x", "-q"});
    EXPECT_EQ(parsed.settings.advanced.filenameMask, QStringLiteral("x -q"));
    EXPECT_FALSE(parsed.outcome.quiet);
}

TEST(ParseOptions, OptionsSetTheirSettingsAndTheStepsTheyImply)
{
    const Parsed parsed = parse({"--JPG-QUALITY=95",
                                 "--jpg-chroma=high",
                                 "--tiff-compression=deflate",
                                 "--png-compression=zlib1",
                                 "--rotation=90",
                                 "--width=$40",
                                 "--height=%11",
                                 "--brightness=-30",
                                 "--gamma=1.5",
                                 "--threshold=128",
                                 "--fr-solid-top=4",
                                 "--fr-solid-opacity=60",
                                 "--fr-solid-left-color=FF0000",
                                 "--wm-image=logo.png",
                                 "--file-timestamp=Custom",
                                 "--file-timestamp-custom=1000",
                                 "--no-subfolders",
                                 "--png-interlaced=0",
                                 "--raw-load-as=48hs",
                                 "--tiff-color-model=lab",
                                 "--rotation-type=advanced"});
    const Settings& s = parsed.settings;
    EXPECT_TRUE(parsed.outcome.error.isEmpty());
    EXPECT_EQ(s.output.jpgQuality, 95);
    EXPECT_EQ(s.output.jpgChroma, 3);
    EXPECT_EQ(s.output.tiffCompression, 4);
    EXPECT_EQ(s.output.pngCompression, 1);
    EXPECT_EQ(s.output.pngInterlaced, 1) << "a switch ignores its value";
    EXPECT_EQ(s.output.tiffColorModel, 2);
    EXPECT_EQ(s.input.rawLoadAs, 4);
    EXPECT_EQ(s.transform.doImageRotation, 1);
    EXPECT_EQ(s.transform.imageRotation, 90);
    EXPECT_EQ(s.transform.imageRotationType, 1);
    EXPECT_EQ(s.transform.doImageResize, 1);
    EXPECT_EQ(s.transform.imageWidth, 64);
    EXPECT_EQ(s.transform.imageHeight, 3);
    EXPECT_EQ(s.adjustment.doImageColorCorrection, 1);
    EXPECT_EQ(s.adjustment.imageBrightness, -30);
    EXPECT_FLOAT_EQ(s.adjustment.imageGamma, 1.5F);
    EXPECT_EQ(s.adjustment.doImageThreshold, 1);
    EXPECT_EQ(s.adjustment.imageThreshold, 128);
    EXPECT_EQ(s.frame.doFrame, 1);
    EXPECT_EQ(s.frame.solidTop, 4);
    EXPECT_EQ(s.frame.solidOpacity, 60);
    EXPECT_EQ(s.frame.solidLeftColor, QStringLiteral("FF0000"));
    EXPECT_EQ(s.watermark.doWatermark, 2);
    EXPECT_EQ(s.watermark.image, QStringLiteral("logo.png"));
    EXPECT_EQ(s.advanced.fileTimestamp, 2);
    EXPECT_EQ(s.advanced.customTimestamp, 1000);
    EXPECT_EQ(s.advanced.keepSubfolders, 0);
}

TEST(ParseOptions, ColourOptionsAloneDoNotSwitchTheFrameOn)
{
    const Parsed parsed = parse({"--fr-solid-left-color=00FF00", "--fr-solid-opacity=50", "--invert=0"});
    EXPECT_EQ(parsed.settings.frame.doFrame, 0);
    EXPECT_EQ(parsed.settings.adjustment.doImageColorCorrection, 1) << "--invert turns colour correction on";
    EXPECT_EQ(parsed.settings.adjustment.imageInvert, 1);
}

TEST(ParseOptions, LaterOptionsWin)
{
    Parsed parsed = parse({"--wm-text=hello", "--wm-image=a.png"});
    EXPECT_EQ(parsed.settings.watermark.doWatermark, 2);
    parsed = parse({"--wm-image=a.png", "--wm-text=hello", "--jpg-quality=10", "--jpg-quality=20"});
    EXPECT_EQ(parsed.settings.watermark.doWatermark, 1);
    EXPECT_EQ(parsed.settings.output.jpgQuality, 20);
}

TEST(ParseOptions, UnknownOptionsKeywordsAndStrayNamesAreIgnored)
{
    const Parsed parsed = parse({"stray.tif", "--no-such-option=1", "-x", "--jpg-chroma=highest", "-v", "--gamma=abc"});
    EXPECT_TRUE(parsed.outcome.error.isEmpty());
    EXPECT_EQ(parsed.settings.output.jpgChroma, 0);
    EXPECT_EQ(parsed.settings.adjustment.imageGamma, 0.0F) << "text that is no number reads as 0";
}

TEST(ParseOptions, FlagsOfTheRun)
{
    Parsed parsed = parse({"-q", "--DEBUG", "-P"});
    EXPECT_TRUE(parsed.outcome.quiet);
    EXPECT_TRUE(parsed.outcome.pause);
    EXPECT_EQ(parsed.job.mode, QStringLiteral("DEBUG"));

    parsed = parse({"-p", "--width", "-q"});
    EXPECT_TRUE(parsed.outcome.pause) << "pause seen before the error";
    EXPECT_FALSE(parsed.outcome.quiet) << "nothing after the error is read";
}

TEST(ParseOptions, EightBitSettingsKeepTheLowEightBits)
{
    const Parsed parsed = parse({"--rotation-type=advanced", "--wm-font-style=bolditalic"});
    EXPECT_EQ(parsed.settings.watermark.fontStyle, 3);
}

TEST(ParseOptions, ProfileActsAtItsPlace)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("p.ini"));
    QFile file(profile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[CLI]\r\n--JPG-QUALITY = 90\r\n--WIDTH = 300\r\n");
    file.close();

    Parsed parsed = parse({"--jpg-quality=50", "--profile=" + profile});
    EXPECT_EQ(parsed.settings.output.jpgQuality, 90);
    EXPECT_EQ(parsed.settings.transform.doImageResize, 1);
    parsed = parse({"--profile=" + profile, "--jpg-quality=50"});
    EXPECT_EQ(parsed.settings.output.jpgQuality, 50);

    parsed = parse({"--profile=" + dir.filePath(QStringLiteral("missing.ini")), "-i", "a.tif"});
    EXPECT_EQ(parsed.outcome.error, QStringLiteral("Invalid profile file"));
    EXPECT_EQ(parsed.job.consoleRun, 0);
}

TEST(ParseOptions, LongListsAreRefusedAsAWhole)
{
    QStringList parameters(maxParameterCount, QStringLiteral("--greyscale"));
    EXPECT_TRUE(parse(parameters).outcome.error.isEmpty());
    parameters << QStringLiteral("-i") << QStringLiteral("a.tif");
    const Parsed parsed = parse(parameters);
    EXPECT_EQ(parsed.outcome.error, QStringLiteral("Too many parameters (at most 128)"));
    EXPECT_EQ(parsed.job.consoleRun, 0);
}

TEST(ParseOptions, HugeParametersAreTakenWhole)
{
    const QString huge(10 * 1024 * 1024, u'a');
    const Parsed parsed = parse({"--wm-text=" + huge, "-i", huge + ".tif"});
    EXPECT_TRUE(parsed.outcome.error.isEmpty());
    EXPECT_EQ(parsed.settings.watermark.text.size(), huge.size());
    EXPECT_EQ(parsed.job.inputFolder.size(), huge.size() + 4);
}

TEST(FirstParameter, SwitchesActOnlyFirst)
{
    EXPECT_EQ(firstParameterSwitch({"-v"}), FirstSwitch::Version);
    EXPECT_EQ(firstParameterSwitch({"--Version"}), FirstSwitch::Version);
    EXPECT_EQ(firstParameterSwitch({"-?"}), FirstSwitch::Help);
    EXPECT_EQ(firstParameterSwitch({"--help=x"}), FirstSwitch::Help);
    EXPECT_EQ(firstParameterSwitch({"-H"}), FirstSwitch::Help);
    EXPECT_EQ(firstParameterSwitch({"-u"}), FirstSwitch::Uninstall);
    EXPECT_EQ(firstParameterSwitch({"-T", "/tmp"}), FirstSwitch::Screenshot);
    EXPECT_EQ(firstParameterSwitch({"-i", "-v"}), FirstSwitch::None);
    EXPECT_EQ(firstParameterSwitch({"-version"}), FirstSwitch::None);
}

// The windowed start and the hidden modes are outcomes for the process entry to start; the
// command line itself shows no window.
TEST(CommandLineOutcomes, HandTheDesktopModesBack)
{
    int argc = 1;
    char name[] = "tessaline";
    char* argv[] = {name, nullptr};
    using Next = CommandLineOutcome::Next;

    const CommandLineOutcome screenshots = runCommandLine(argc, argv, {"-T", " /tmp/shots "});
    EXPECT_EQ(screenshots.next, Next::StartScreenshots);
    EXPECT_EQ(screenshots.screenshotFolder, QStringLiteral("/tmp/shots"));
    EXPECT_EQ(runCommandLine(argc, argv, {"-u"}).next, Next::StartUninstallPage);
    EXPECT_EQ(runCommandLine(argc, argv, {"--jpg-quality=80"}).next, Next::StartWindowed);
    EXPECT_EQ(runCommandLine(argc, argv, {"-i", "-T"}).next, Next::Exit) << "-T only acts first";
    const CommandLineOutcome refused = runCommandLine(argc, argv, {"--width"});
    EXPECT_EQ(refused.next, Next::Exit);
    EXPECT_EQ(refused.exitStatus, 1);
}

TEST(Usage, ThirtyNineLinesWithTheProgramName)
{
    const QStringList lines = usageLines(QStringLiteral("tessaline"));
    ASSERT_EQ(lines.size(), 39);
    EXPECT_EQ(lines[0], QStringLiteral(" "));
    EXPECT_EQ(lines[1], QStringLiteral("Usage: tessaline -i <filename> [options]"));
    EXPECT_EQ(lines[3], QStringLiteral("  tessaline -i example.tiff"));
    EXPECT_EQ(lines[8], QStringLiteral("  tessaline -i /tmp/ -o /data/converted -c bmp --jpg-quality=95"));
    EXPECT_EQ(lines[29], QStringLiteral("  --strip-metadata          Write no colour profile or metadata"));
    EXPECT_EQ(lines[38], QStringLiteral("  -v, --version             Display version information and exit"));
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(u'%')) << line.toStdString();
    }
}

TEST(OptionTable, NamesAreUniqueAndProfileKeysResolve)
{
    QStringList names;
    QSet<const SettingDescriptor*> settings;
    for (const OptionSpec& option : optionTable()) {
        names << option.longName;
        if (!option.shortName.isEmpty()) {
            names << option.shortName;
        }
        EXPECT_EQ(findOption(option.longName), &option);
        if (option.isSetting()) {
            EXPECT_EQ(findProfileKey(option.profileName()), &option);
            EXPECT_NE(option.setting, nullptr) << option.longName.toStdString();
            EXPECT_FALSE(settings.contains(option.setting)) << "one option per setting";
            settings.insert(option.setting);
        }
    }
    EXPECT_EQ(names.removeDuplicates(), 0);
    EXPECT_EQ(findProfileKey(u"--FR-SOLID-OPACITY"), nullptr);
    EXPECT_EQ(findProfileKey(u"--WM-SOLID-OPACITY")->longName, QLatin1StringView("--FR-SOLID-OPACITY"));
    EXPECT_EQ(findProfileKey(u"--INPUT"), nullptr);
    EXPECT_EQ(findProfileKey(u"-Q"), nullptr);
}

} // namespace

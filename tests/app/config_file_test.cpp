#include "app/config_file.h"
#include "app/local_time.h"
#include "app/settings.h"
#include "app/settings_table.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

constexpr std::int32_t fixedDate = 1796810400; // 2026-12-09 10:00 local

// The full file a default windowed configuration writes on a 1920 x 1080 desktop, line by line.
const char* const defaultLines[] = {
    "",
    "[General]",
    "CFG = 17",
    "Language = en",
    "Update Range = 2",
    "Update Date = 1796810400",
    "Save Window Position = 1",
    "; ",
    "[Window]",
    "IsMaximized = 0",
    "Width = 510",
    "Height = 330",
    "X = 705",
    "Y = 375",
    "; ",
    "[Interface]",
    "UI Theme = handdrawn",
    "UI Size = 2",
    "; ",
    "[Input]",
    "Format = tiff",
    "TIFF Frame Loading = 0",
    "; ",
    "[Output]",
    "Format = bmp",
    "BMP BPP = 0",
    "BMP Compression = 0",
    "BMP Color Table = 0",
    "DDS BPP = 0",
    "EXR BPP = 0",
    "EXR Compression = 0",
    "GIF BPP = 0",
    "HDR BPP = 0",
    "ICO BPP = 0",
    "J2K BPP = 0",
    "JNG BPP = 0",
    "JP2 BPP = 0",
    "JPG BPP = 0",
    "JPG Quality = 95",
    "JPG Chroma = 0",
    "JPG Save As = 0",
    "JXR BPP = 0",
    "PBM BPP = 0",
    "PCX BPP = 0",
    "PFM BPP = 0",
    "PGM BPP = 0",
    "PNG BPP = 0",
    "PNG Compression = 0",
    "PNG Interlaced = 0",
    "PPM BPP = 0",
    "PSD BPP = 0",
    "TGA BPP = 0",
    "TGA Compression = 0",
    "TIFF BPP = 0",
    "TIFF Compression = 0",
    "TIFF Color Model = 0",
    "WBMP BPP = 0",
    "WEBP BPP = 0",
    "XPM BPP = 0",
    "; ",
    "[Transform]",
    "Do Image Rotation = 0",
    "Image Rotation Type = 0",
    "Image Rotation = 0",
    "Image Rotation Back Color = 000000",
    "Do Image Resize = 0",
    "Image Width = 0",
    "Image Width Unit = 0",
    "Image Height = 0",
    "Image Height Unit = 0",
    "Keep Aspect Ratio = 1",
    "Image Resize Type = 0",
    "Image Resize Algorithm = 3",
    "Do Image Flip Horizontal = 0",
    "Do Image Flip Vertical = 0",
    "; ",
    "[Adjustment]",
    "Do Image Color Correction = 0",
    "Image Brightness = 0",
    "Image Contrast = 0",
    "Image Gamma = 1.000000",
    "Image Invert = 0",
    "Do Image Greyscale = 0",
    "Do Image Threshold = 0",
    "Image Threshold = 0",
    "; ",
    "[Frame]",
    "Do Frame = 0",
    "Solid Left = 0",
    "Solid Right = 0",
    "Solid Top = 0",
    "Solid Bottom = 0",
    "Solid Left Color = 000000",
    "Solid Right Color = 000000",
    "Solid Top Color = 000000",
    "Solid Bottom Color = 000000",
    "Solid Opacity = 255",
    "; ",
    "[Watermark]",
    "Do Watermark = 0",
    "Text = Copyright \xC2\xA9 2025-2026 Morvane",
    "Fonts = Arial,Tahoma,Verdana",
    "Font = Arial",
    "Font Size = 14",
    "Font Leading = 0",
    "Font Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
    "Font Color = FFFFFF",
    "Font Style = 0",
    "Font Effect = 0",
    "Text Antialiasing = 0",
    "Text Alignment = 0",
    "Text Padding = 0",
    "Text Opacity = 255",
    "Back Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
    "Back Color = 000000",
    "Back Opacity = 1",
    "Text Boundary = 0",
    "Text Position = 8",
    "Text X Offset = 10",
    "Text Y Offset = 10",
    "Text Rotation = 0",
    "Text Size = 0",
    "Text Scale = 10",
    "Image = ",
    "Image Greyscale = 0",
    "Image Opacity = 255",
    "Image Boundary = 0",
    "Image Position = 8",
    "Image X Offset = 10",
    "Image Y Offset = 10",
    "Image Rotation = 0",
    "Image Size = 0",
    "Image Scale = 10",
    "; ",
    "[Advanced]",
    "Filename Mask = %filename%.%ext%",
    "File Timestamp = 0",
    "Custom Timestamp = 1796810400",
    "Out Folders History = 1",
    "Out Folders Number = 5",
    "Keep Subfolders = 1",
    "; ",
    "[File]",
    "Recent Out Folders = ",
    "Recent Files = ",
    "; ",
    "[Privacy]",
    "Clean Recent Files = 0",
    "; ",
};

QByteArray expectedDefaultFile()
{
    QByteArray bytes("\xEF\xBB\xBF");
    for (const char* line : defaultLines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

Settings windowedDefaults()
{
    Settings settings;
    resetToDefaults(settings, false, QSize(1920, 1080));
    settings.general.updateDate = fixedDate;
    settings.advanced.customTimestamp = fixedDate;
    return settings;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Settings loadedFrom(const QByteArray& bytes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    EXPECT_TRUE(writeFile(path, bytes));
    Settings settings;
    loadConfiguration(settings, path, QSize(1920, 1080));
    return settings;
}

QString valueOf(const Settings& settings, const char* group, const char* key)
{
    const SettingDescriptor* setting = findSetting(QString::fromLatin1(group), QString::fromLatin1(key));
    EXPECT_NE(setting, nullptr) << group << "/" << key;
    return setting != nullptr ? settingToText(settings, *setting) : QString();
}

TEST(SaveConfiguration, DefaultsGiveTheExactLayout)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(saveConfiguration(windowedDefaults(), path));
    const QByteArray written = readAll(path);
    // Compared line by line first so that a difference names its line.
    const QList<QByteArray> lines = written.split('\n');
    const QList<QByteArray> expected = expectedDefaultFile().split('\n');
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i) {
        ASSERT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(written, expectedDefaultFile());
}

TEST(SaveConfiguration, WindowGroupIsEmptyWithoutSaveWindowPosition)
{
    Settings settings = windowedDefaults();
    settings.general.saveWindowPosition = 0;
    settings.window.isMaximized = 1;
    const QByteArray written = serialiseConfiguration(settings);
    EXPECT_TRUE(written.contains("Save Window Position = 0\r\n; \r\n[Window]\r\n; \r\n[Interface]\r\n"));
    EXPECT_FALSE(written.contains("IsMaximized"));

    // Read back, the main window opens at 100, 100 in its default size.
    const Settings loaded = loadedFrom(written);
    EXPECT_EQ(loaded.window.x, 100);
    EXPECT_EQ(loaded.window.y, 100);
    EXPECT_EQ(loaded.window.width, 510);
    EXPECT_EQ(loaded.window.height, 330);
    EXPECT_EQ(loaded.window.isMaximized, 0);
}

TEST(SaveConfiguration, AlwaysWritesTheCurrentLayoutNumber)
{
    Settings settings = windowedDefaults();
    settings.general.cfg = 10;
    EXPECT_TRUE(serialiseConfiguration(settings).contains("\r\n[General]\r\nCFG = 17\r\n"));
}

TEST(SaveConfiguration, TextsAreUtf8AndRealsUsePercentF)
{
    Settings settings = windowedDefaults();
    settings.watermark.text = QString::fromUtf8("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7");
    settings.adjustment.imageGamma = 2.5F;
    const QByteArray written = serialiseConfiguration(settings);
    EXPECT_TRUE(written.contains("\r\nText = \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7\r\n"));
    EXPECT_TRUE(written.contains("\r\nImage Gamma = 2.500000\r\n"));
    settings.adjustment.imageGamma = -std::numeric_limits<float>::infinity();
    EXPECT_TRUE(serialiseConfiguration(settings).contains("\r\nImage Gamma = -Infinity\r\n"));
}

// Every written setting gets a value unlike its default; a save and a load give it back.
TEST(SaveConfiguration, EveryWrittenSettingRoundTrips)
{
    Settings settings = windowedDefaults();
    int n = 0;
    for (const SettingDescriptor& setting : settingsTable()) {
        if (setting.write == WriteRule::Never || setting.write == WriteRule::LayoutVersion) {
            continue;
        }
        ++n;
        const bool isText = setting.kind == SettingKind::Text || setting.kind == SettingKind::Colour;
        setSettingFromText(settings, setting,
                           isText ? QStringLiteral("v%1 \u00E9\tx").arg(n) : QString::number(n % 2 == 0 ? -n : n));
    }
    settings.general.saveWindowPosition = 1;
    settings.adjustment.imageGamma = 0.37F;

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(saveConfiguration(settings, path));
    Settings loaded;
    loadConfiguration(loaded, path);
    for (const SettingDescriptor& setting : settingsTable()) {
        if (setting.write != WriteRule::Never && setting.write != WriteRule::LayoutVersion) {
            EXPECT_EQ(settingToText(loaded, setting), settingToText(settings, setting)) << setting.key;
        }
    }
    EXPECT_EQ(loaded.general.cfg, 17);
    EXPECT_FLOAT_EQ(loaded.adjustment.imageGamma, 0.37F);
}

TEST(SaveConfiguration, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    const QByteArray old("\xEF\xBB\xBF\r\n[Output]\r\nJPG Quality = 42\r\n; \r\n");
    ASSERT_TRUE(writeFile(path, old));

    // A file size limit makes the write itself fail, even for root; the signal it raises is
    // ignored so the write reports the error instead.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 256;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = saveConfiguration(windowedDefaults(), path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.ini")})
        << "no temporary file is left behind";
}

TEST(SaveConfiguration, UnwritablePlaceReportsFailureAndCreatesNothing)
{
    QTemporaryDir folder;
    EXPECT_FALSE(saveConfiguration(windowedDefaults(), folder.filePath(QStringLiteral("missing/config.ini"))));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("missing"))));
    // A folder in the way of the file stays a folder.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("config.ini")));
    EXPECT_FALSE(saveConfiguration(windowedDefaults(), folder.filePath(QStringLiteral("config.ini"))));
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("config.ini"))).isDir());
}

struct LoadCase {
    const char* name;
    QByteArray file;
    const char* group;
    const char* key;
    const char* value; // as settingToText gives it, UTF-8
};

void PrintTo(const LoadCase& loadCase, std::ostream* out)
{
    *out << loadCase.name;
}

class LoadConfiguration : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadConfiguration, ReadsTheValue)
{
    const Settings settings = loadedFrom(GetParam().file);
    EXPECT_EQ(valueOf(settings, GetParam().group, GetParam().key), QString::fromUtf8(GetParam().value));
}

const QByteArray bom("\xEF\xBB\xBF");

INSTANTIATE_TEST_SUITE_P(
    ConfigFile, LoadConfiguration,
    testing::Values(
        LoadCase{"written form", bom + "\r\n[Output]\r\nJPG Quality = 80\r\n; \r\n", "Output", "JPG Quality", "80"},
        LoadCase{"no blanks", "[Output]\r\nJPG Quality=80", "Output", "JPG Quality", "80"},
        LoadCase{"lower case", "[output]\njpg quality = 80", "Output", "JPG Quality", "80"},
        LoadCase{"blanks after value", "[Output]\nJPG Quality = 80 \t ", "Output", "JPG Quality", "80"},
        LoadCase{"indented with tabs", " \t[Output]\n\t JPG Quality\t=\t80", "Output", "JPG Quality", "80"},
        LoadCase{"CR line ends", "[Output]\rJPG Quality = 80\r", "Output", "JPG Quality", "80"},
        LoadCase{"blank lines", "\n\n[Output]\n\n\r\n   \nJPG Quality = 80\n\n", "Output", "JPG Quality", "80"},
        LoadCase{"letters only read 0", "[Adjustment]\nImage Brightness = abc", "Adjustment", "Image Brightness", "0"},
        LoadCase{"digits then letters", "[Adjustment]\nImage Brightness = -12px", "Adjustment", "Image Brightness",
                 "-12"},
        LoadCase{"empty number reads 0", "[Output]\nJPG Quality =", "Output", "JPG Quality", "0"},
        LoadCase{"8-bit wrap", "[Advanced]\nOut Folders Number = 300", "Advanced", "Out Folders Number", "44"},
        LoadCase{"first key wins", "[Output]\nJPG Quality = 70\njpg QUALITY = 80", "Output", "JPG Quality", "70"},
        LoadCase{"repeated group unseen", "[Output]\nJPG Quality = 70\n[OUTPUT]\nJPG BPP = 24", "Output", "JPG BPP",
                 "0"},
        LoadCase{"entries before a group", "JPG Quality = 70\n[Output]\n", "Output", "JPG Quality", "95"},
        LoadCase{"header without bracket", "[Output\nJPG Quality = 70", "Output", "JPG Quality", "70"},
        LoadCase{"text after header", "[Output] ; old\nJPG Quality = 70", "Output", "JPG Quality", "70"},
        LoadCase{"blanks inside header", "[ Output ]\nJPG Quality = 70", "Output", "JPG Quality", "95"},
        LoadCase{"comments skipped", "; [Output]\n[Output]\n  ;JPG Quality = 1\nJPG Quality = 70", "Output",
                 "JPG Quality", "70"},
        LoadCase{"unknown keys ignored", "[Output]\nJPG Qualityy = 1\n[Nowhere]\nJPG Quality = 2", "Output",
                 "JPG Quality", "95"},
        LoadCase{"key without equals", "[General]\nCFG = 17\n[Advanced]\nFilename Mask\n", "Advanced", "Filename Mask",
                 ""},
        LoadCase{"second equals in value", "[Watermark]\nText = a = b", "Watermark", "Text", "a = b"},
        LoadCase{"text trimmed", "[Watermark]\nFont =  Courier New \t", "Watermark", "Font", "Courier New"},
        LoadCase{"unknown format kept", "[Output]\nFormat = XYZ", "Output", "Format", "XYZ"},
        LoadCase{"no range check", "[Output]\nJPG Quality = 1000", "Output", "JPG Quality", "1000"},
        LoadCase{"gamma", "[Adjustment]\nImage Gamma = 0.5", "Adjustment", "Image Gamma", "0.500000"},
        LoadCase{"gamma infinity", "[Adjustment]\nImage Gamma = +INFINITY", "Adjustment", "Image Gamma", "+Infinity"},
        LoadCase{"gamma nan", "[Adjustment]\nImage Gamma = nan", "Adjustment", "Image Gamma", "NaN"},
        LoadCase{"ISO 8859-1 without mark", "[Watermark]\nFont = Caf\xE9", "Watermark", "Font", "Caf\xC3\xA9"},
        LoadCase{"UTF-8 with mark", bom + "[Watermark]\nFont = Caf\xC3\xA9", "Watermark", "Font", "Caf\xC3\xA9"},
        LoadCase{"UTF-8 without mark", "[Watermark]\nFont = Caf\xC3\xA9", "Watermark", "Font", "Caf\xC3\x83\xC2\xA9"},
        LoadCase{"broken UTF-8 with mark", bom + "[Watermark]\nFont = Caf\xE9", "Watermark", "Font", "Caf\xEF\xBF\xBD"},
        LoadCase{"mark not at start", "\n" + bom + "[Output]\nJPG Quality = 70", "Output", "JPG Quality", "95"},
        LoadCase{"delimiter TAB", "[File]\nCsvDelimiter = TAB", "File", "CsvDelimiter", "\t"},
        LoadCase{"delimiter space", "[File]\nCsvDelimiter = Space", "File", "CsvDelimiter", " "},
        LoadCase{"delimiter crlf", "[File]\nCsvDelimiter = cRlF", "File", "CsvDelimiter", "\r\n"},
        LoadCase{"delimiter other", "[File]\nCsvDelimiter = ;", "File", "CsvDelimiter", ";"},
        LoadCase{"unwritten keys are read", "[Window]\nShow Password List = 0\n[Input]\nRAW Tone Mapping = 4", "Input",
                 "RAW Tone Mapping", "4"},
        LoadCase{"missing X", "[Window]\nY = 5", "Window", "X", "100"},
        LoadCase{"missing CFG", "[General]\nLanguage = de", "General", "CFG", "0"},
        LoadCase{"missing keep aspect", "[Transform]\n", "Transform", "Keep Aspect Ratio", "1"},
        LoadCase{"missing format", "[Output]\n", "Output", "Format", "bmp"}),
    [](const testing::TestParamInfo<LoadCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

struct UpgradeCase {
    const char* cfgLine; // empty: no CFG key
    const char* mask;
    int rawLoadAs;
    const char* upgradedMask;
    int upgradedRawLoadAs;
};

class LayoutUpgrade : public testing::TestWithParam<UpgradeCase> {};

TEST_P(LayoutUpgrade, OlderLayoutsAreBroughtUpToDate)
{
    const UpgradeCase& upgrade = GetParam();
    const QByteArray file = QByteArray("[General]\n") + upgrade.cfgLine +
                            "\n[Advanced]\nFilename Mask = " + upgrade.mask +
                            "\n[Input]\nRAW Load As = " + QByteArray::number(upgrade.rawLoadAs) + "\n";
    const Settings settings = loadedFrom(file);
    EXPECT_EQ(settings.advanced.filenameMask, QString::fromUtf8(upgrade.upgradedMask));
    EXPECT_EQ(settings.input.rawLoadAs, upgrade.upgradedRawLoadAs);
}

INSTANTIATE_TEST_SUITE_P(ConfigFile, LayoutUpgrade,
                         testing::Values(UpgradeCase{"CFG = 10", "%filename%", 1, "%filename%.%ext%", 3},
                                         UpgradeCase{"CFG = 10", "%filename%.%ext%", 0, "%filename%.%ext%", 0},
                                         UpgradeCase{"CFG = 10", "%EXT%", 1, "%EXT%.%ext%", 3},
                                         UpgradeCase{"CFG = 11", "%filename%", 1, "%filename%", 3},
                                         UpgradeCase{"CFG = 13", "%filename%", 1, "%filename%", 3},
                                         UpgradeCase{"CFG = 13", "%filename%", -2, "%filename%", 0},
                                         UpgradeCase{"CFG = 14", "%filename%", 1, "%filename%", 1},
                                         UpgradeCase{"CFG = 17", "%filename%", 1, "%filename%", 1},
                                         UpgradeCase{"", "%filename%", 1, "%filename%.%ext%", 3},
                                         UpgradeCase{"CFG = x", "%filename%", 2, "%filename%.%ext%", 4}));

TEST(LoadConfiguration, EmptyFileIsAFileWithoutEntries)
{
    const std::int32_t before = localSecondsNow();
    const Settings settings = loadedFrom(QByteArray());
    EXPECT_EQ(settings.general.cfg, 0);
    EXPECT_EQ(settings.window.x, 100);
    EXPECT_EQ(settings.window.y, 100);
    EXPECT_EQ(settings.window.width, 510);
    EXPECT_GE(settings.general.updateDate, before);
    EXPECT_GE(settings.advanced.customTimestamp, before);
    EXPECT_EQ(settings.transform.keepAspectRatio, 1);
    // Both upgrades ran; the default mask already holds "%ext%" and raw loading is 0.
    EXPECT_EQ(settings.advanced.filenameMask, QStringLiteral("%filename%.%ext%"));
    EXPECT_EQ(settings.input.rawLoadAs, 0);
    EXPECT_EQ(settings.output.format, QStringLiteral("bmp"));
    EXPECT_EQ(settings.input.format, QStringLiteral("tiff"));
}

TEST(LoadConfiguration, MissingFileGivesTheWindowedDefaults)
{
    QTemporaryDir folder;
    Settings settings;
    loadConfiguration(settings, folder.filePath(QStringLiteral("config.ini")), QSize(1920, 1080));
    Settings expected = windowedDefaults();
    settings.general.updateDate = fixedDate;
    settings.advanced.customTimestamp = fixedDate;
    EXPECT_EQ(serialiseConfiguration(settings), serialiseConfiguration(expected));
    EXPECT_EQ(settings.window.x, 705);
    EXPECT_EQ(settings.general.cfg, 17);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("config.ini")))) << "loading creates nothing";
}

TEST(LoadConfiguration, FolderInPlaceOfTheFileGivesTheDefaults)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("config.ini")));
    Settings settings;
    loadConfiguration(settings, path, QSize(800, 600));
    EXPECT_EQ(settings.general.cfg, 17);
    EXPECT_EQ(settings.window.x, 145);
    EXPECT_EQ(settings.window.y, 135);
    EXPECT_EQ(settings.output.jpgQuality, 95);
}

TEST(LoadConfiguration, HugeLineDoesNotHideTheRest)
{
    QByteArray file("[Watermark]\nText = ");
    file += QByteArray(8 * 1024 * 1024, 'w');
    file += "\n[Output]\nJPG Quality = 70\n";
    const Settings settings = loadedFrom(file);
    EXPECT_EQ(settings.watermark.text.size(), 8 * 1024 * 1024);
    EXPECT_EQ(settings.output.jpgQuality, 70);
}

// Random bytes, with and without the byte order mark, load without harm into settings that
// save and load again to the same file.
TEST(LoadConfiguration, RandomBytesLoadSomethingStable)
{
    // Mostly pieces of the syntax, so that groups, keys and values occur among the noise.
    const QByteArray pieces[] = {
        "[Output]", "[window]", "[General]", "[Adjustment]", "[",    "]",   "JPG Quality", "X",  "CFG", "Image Gamma",
        " = ",      "=",        "\r\n",      "\n",           "\r",   "; ",  " ",           "\t", "300", "-7",
        "1e999",    "NaN",      "abc",       "\xEF\xBB\xBF", "\xC3", "\xE9"};
    QRandomGenerator random(20260209);
    for (int round = 0; round < 40; ++round) {
        QByteArray file;
        const int count = random.bounded(1, 4000);
        for (int i = 0; i < count; ++i) {
            if (random.bounded(3) == 0) {
                file += static_cast<char>(random.bounded(256));
            } else {
                file += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
            }
        }
        if (round % 2 == 1) {
            file.prepend(bom);
        }
        Settings settings = loadedFrom(file);
        const QByteArray saved = serialiseConfiguration(settings);
        EXPECT_TRUE(saved.startsWith(bom + "\r\n[General]\r\nCFG = 17\r\n"));
        Settings again = loadedFrom(saved);
        again.general.cfg = settings.general.cfg;
        EXPECT_EQ(serialiseConfiguration(again), saved) << "round " << round;
    }
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : name_(name), hadValue_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnvironment() { hadValue_ ? qputenv(name_, old_) : qunsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    bool hadValue_;
    QByteArray old_;
};

TEST(ConfigurationPath, FollowsXdgConfigHomeAndCreatesTheFolders)
{
    QTemporaryDir folder;
    const ScopedEnvironment config("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    const QString path = configurationPath();
    EXPECT_EQ(path, folder.path() + QStringLiteral("/Morvane/tessaline/config.ini"));
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("Morvane/tessaline"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(path));

    Settings settings = windowedDefaults();
    settings.output.format = QStringLiteral("png");
    ASSERT_TRUE(saveConfiguration(settings, path));
    Settings loaded;
    loadConfiguration(loaded, configurationPath());
    EXPECT_EQ(loaded.output.format, QStringLiteral("png"));
}

TEST(ConfigurationPath, FallsBackToDotConfigInHome)
{
    QTemporaryDir home;
    const ScopedEnvironment config("XDG_CONFIG_HOME", QByteArray());
    const ScopedEnvironment homeVariable("HOME", QFile::encodeName(home.path()));
    EXPECT_EQ(configurationPath(), home.path() + QStringLiteral("/.config/Morvane/tessaline/config.ini"));
    // A fresh account without ~/.config still gets a place to save.
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral(".config/Morvane/tessaline"))).isDir());
}

TEST(ConfigurationPath, FileInPlaceOfTheFolderIsLeftAlone)
{
    QTemporaryDir folder;
    const ScopedEnvironment config("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("Morvane")), "not a folder"));
    const QString path = configurationPath();
    EXPECT_EQ(readAll(folder.filePath(QStringLiteral("Morvane"))), QByteArray("not a folder"));
    Settings settings;
    loadConfiguration(settings, path, QSize(1920, 1080));
    EXPECT_EQ(settings.window.x, 705);
    EXPECT_FALSE(saveConfiguration(settings, path));
}

} // namespace

#include "app/local_time.h"
#include "app/message_catalogue.h"
#include "app/settings.h"
#include "app/settings_table.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QSet>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>

namespace {

QString valueOf(const Settings& settings, const char* group, const char* key)
{
    const SettingDescriptor* setting = findSetting(QString::fromLatin1(group), QString::fromLatin1(key));
    EXPECT_NE(setting, nullptr) << group << "/" << key;
    return setting != nullptr ? settingToText(settings, *setting) : QString();
}

const void* addressOf(Settings& settings, const SettingDescriptor& setting)
{
    return std::visit([&](auto access) -> const void* { return &access(settings); }, setting.access);
}

// The storage width each kind must have; a mismatch would wrap or truncate values wrongly.
std::size_t expectedAlternative(SettingKind kind)
{
    switch (kind) {
    case SettingKind::Flag:
    case SettingKind::Choice8:
    case SettingKind::Int8:
        return 0;
    case SettingKind::Choice:
    case SettingKind::Int:
    case SettingKind::Date:
    case SettingKind::Bpp:
        return 1;
    case SettingKind::Real:
        return 2;
    case SettingKind::Text:
    case SettingKind::Colour:
        return 3;
    }
    return 99;
}

TEST(SettingsTable, EverySettingOnceWithTheWidthOfItsKind)
{
    Settings settings;
    std::set<const void*> members;
    std::set<std::string> names;
    for (const SettingDescriptor& setting : settingsTable()) {
        const std::string name = std::string(setting.group) + "/" + setting.key;
        EXPECT_EQ(setting.access.index(), expectedAlternative(setting.kind)) << name;
        EXPECT_TRUE(members.insert(addressOf(settings, setting)).second) << name << " shares a member";
        EXPECT_TRUE(names.insert(name).second) << name << " listed twice";
    }
    // Every member of the record: 5 General, 10 Window, 2 Interface, 10 Input, 35 Output,
    // 14 Transform, 8 Adjustment, 10 Frame, 34 Watermark, 7 Advanced, 4 File, 1 Privacy.
    EXPECT_EQ(settingsTable().size(), 140U);
}

TEST(SettingRanges, DefaultsLieInTheirRangesAndEveryChoiceHasOne)
{
    for (const bool consoleMode : {false, true}) {
        Settings settings;
        resetToDefaults(settings, consoleMode);
        for (const SettingDescriptor& setting : settingsTable()) {
            const std::string name = std::string(setting.group) + "/" + setting.key;
            EXPECT_TRUE(settingInRange(settings, setting)) << name;
            if (setting.kind == SettingKind::Choice || setting.kind == SettingKind::Choice8) {
                EXPECT_TRUE(setting.valid.declared()) << name << " lists meanings but no range";
            }
        }
    }
}

bool isChoice(const SettingDescriptor& setting)
{
    return setting.kind == SettingKind::Choice || setting.kind == SettingKind::Choice8;
}

// The last value of each choice setting's range, as the settings model gives it: the list read by
// the range, the dialog, the options and the echo must neither lose nor gain a meaning.
TEST(ChoiceLists, GiveEveryChoiceSettingItsRange)
{
    const std::map<std::string, int> lastValues{
        {"General/Update Range", 5},
        {"Interface/UI Size", 4},
        {"Input/DDS Load As", 2},
        {"Input/GIF Frame Loading", 4},
        {"Input/ICO Frame Loading", 4},
        {"Input/TIFF Frame Loading", 4},
        {"Input/RAW Load As", 5},
        {"Input/RAW Tone Mapping", 4},
        {"Output/BMP Compression", 1},
        {"Output/BMP Color Table", 1},
        {"Output/EXR Compression", 4},
        {"Output/JPG Chroma", 3},
        {"Output/JPG Save As", 3},
        {"Output/PNG Compression", 3},
        {"Output/TGA Compression", 1},
        {"Output/TIFF Compression", 8},
        {"Output/TIFF Color Model", 1},
        {"Transform/Image Rotation Type", 1},
        {"Transform/Image Width Unit", 1},
        {"Transform/Image Height Unit", 1},
        {"Transform/Image Resize Type", 1},
        {"Transform/Image Resize Algorithm", 5},
        {"Frame/Do Frame", 1},
        {"Watermark/Do Watermark", 2},
        {"Watermark/Font Style", 3},
        {"Watermark/Font Effect", 2},
        {"Watermark/Text Alignment", 2},
        {"Watermark/Text Boundary", 1},
        {"Watermark/Text Position", 8},
        {"Watermark/Text Size", 0},
        {"Watermark/Image Boundary", 1},
        {"Watermark/Image Position", 8},
        {"Watermark/Image Size", 0},
        {"Advanced/File Timestamp", 2},
        {"Advanced/Out Folders History", 1},
    };
    std::size_t choices = 0;
    for (const SettingDescriptor& setting : settingsTable()) {
        const std::string name = std::string(setting.group) + "/" + setting.key;
        // A list belongs to a choice setting and every choice setting has one.
        ASSERT_EQ(setting.valid.choices.empty(), !isChoice(setting)) << name;
        if (!isChoice(setting)) {
            continue;
        }
        ++choices;
        ASSERT_TRUE(lastValues.contains(name)) << name;
        EXPECT_EQ(setting.valid.minimum, 0) << name;
        EXPECT_EQ(setting.valid.maximum, lastValues.at(name)) << name;
    }
    EXPECT_EQ(choices, lastValues.size());
}

// The dialog shows each entry's catalogue text and the command line reads each keyword: a key the
// catalogue lacks would show "%NO_STRING_ERROR%", a keyword in two rows would hide the second, and
// an offered row after one the dialog leaves out would be shown at the wrong place.
TEST(ChoiceLists, RowsNameCatalogueTextsAndDistinctKeywords)
{
    for (const SettingDescriptor& setting : settingsTable()) {
        const std::string name = std::string(setting.group) + "/" + setting.key;
        QSet<QString> keywords;
        bool offering = true;
        for (const Choice& choice : setting.valid.choices) {
            const QString keyword = QString::fromLatin1(choice.keyword);
            EXPECT_EQ(keyword, keyword.toUpper()) << name;
            EXPECT_TRUE(keyword.isEmpty() || !keywords.contains(keyword)) << name << " " << choice.keyword;
            keywords << keyword;
            const bool offered = choice.entry[0] != '\0';
            EXPECT_TRUE(offering || !offered) << name << " offers " << choice.entry << " after a row it does not";
            offering = offering && offered;
            if (offered) {
                EXPECT_NE(message(QStringLiteral("Preferences"), QLatin1String(choice.entry)).toStdString(),
                          "%NO_STRING_ERROR%")
                    << name << " " << choice.entry;
            }
        }
        // Either every row has a keyword or none does (a list no option sets).
        EXPECT_TRUE(keywords.size() <= 1 || !keywords.contains(QString())) << name;
    }
}

struct RangeCase {
    const char* group;
    const char* key;
    const char* value;
    bool inRange;
};

class SettingRangeEdges : public testing::TestWithParam<RangeCase> {};

TEST_P(SettingRangeEdges, IncludeBothEnds)
{
    const RangeCase& c = GetParam();
    Settings settings;
    resetToDefaults(settings, true);
    const SettingDescriptor& setting = *findSetting(QString::fromLatin1(c.group), QString::fromLatin1(c.key));
    setSettingFromText(settings, setting, QString::fromLatin1(c.value));
    EXPECT_EQ(settingInRange(settings, setting), c.inRange) << c.key << " = " << c.value;
}

INSTANTIATE_TEST_SUITE_P(Values, SettingRangeEdges,
                         testing::Values(RangeCase{"Adjustment", "Image Brightness", "-100", true},
                                         RangeCase{"Adjustment", "Image Brightness", "101", false},
                                         RangeCase{"Adjustment", "Image Contrast", "-101", false},
                                         // Compared as 32-bit reals: the float nearest 0.01 is inside, not just below.
                                         RangeCase{"Adjustment", "Image Gamma", "0.01", true},
                                         RangeCase{"Adjustment", "Image Gamma", "9.99", true},
                                         RangeCase{"Adjustment", "Image Gamma", "9.991", false},
                                         RangeCase{"Adjustment", "Image Gamma", "NaN", false},
                                         RangeCase{"Output", "JPG Quality", "0", false},
                                         RangeCase{"Output", "JPG Quality", "100", true},
                                         RangeCase{"Advanced", "Out Folders Number", "51", false},
                                         // Settings without a declared range take any value.
                                         RangeCase{"Transform", "Image Width", "-5", true}));

TEST(SettingsTable, GroupsAreContiguousInFileOrder)
{
    const QStringList expected = {"General",    "Window", "Interface", "Input",    "Output", "Transform",
                                  "Adjustment", "Frame",  "Watermark", "Advanced", "File",   "Privacy"};
    QStringList groups;
    for (const SettingDescriptor& setting : settingsTable()) {
        if (groups.isEmpty() || groups.last() != QLatin1String(setting.group)) {
            groups << QLatin1String(setting.group);
        }
    }
    EXPECT_EQ(groups, expected);
}

TEST(SettingsTable, FindIgnoresAsciiCaseOnly)
{
    const SettingDescriptor* quality = findSetting("OUTPUT", "jpg quality");
    ASSERT_NE(quality, nullptr);
    EXPECT_STREQ(quality->key, "JPG Quality");
    // The same key in two groups means two settings.
    EXPECT_NE(findSetting("Transform", "Image Rotation"), findSetting("Watermark", "Image Rotation"));
    EXPECT_EQ(findSetting("Output", "JPG  Quality"), nullptr);
    EXPECT_EQ(findSetting("Nowhere", "Format"), nullptr);
    // U+0130 and U+212A fold to ASCII under Unicode rules; they must not match here.
    const QString kelvinKeep = QString::fromUtf8("\xE2\x84\xAA"
                                                 "eep Aspect Ratio");
    ASSERT_EQ(kelvinKeep.compare(QStringLiteral("Keep Aspect Ratio"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(findSetting("Transform", kelvinKeep), nullptr);
    EXPECT_EQ(findSetting(QString::fromUtf8("Pr\xC4\xB0vacy"), "Clean Recent Files"), nullptr);
}

// Defaults that the written configuration file does not show (the layout test covers those).
struct DefaultCase {
    const char* group;
    const char* key;
    const char* value;
};

class UnwrittenDefaults : public testing::TestWithParam<DefaultCase> {};

TEST_P(UnwrittenDefaults, ResetSetsThem)
{
    Settings settings;
    resetToDefaults(settings, false);
    EXPECT_EQ(valueOf(settings, GetParam().group, GetParam().key), QString::fromUtf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UnwrittenDefaults,
    testing::Values(DefaultCase{"Window", "Hide Passwords", "0"}, DefaultCase{"Window", "Show Single Password", "1"},
                    DefaultCase{"Window", "Show Password List", "1"}, DefaultCase{"Window", "Show Character Set", "1"},
                    DefaultCase{"Window", "Show Advanced Options", "1"}, DefaultCase{"Input", "DDS Load As", "0"},
                    DefaultCase{"Input", "GIF Frame Loading", "0"}, DefaultCase{"Input", "RAW Load As", "0"},
                    DefaultCase{"Input", "RAW Tone Mapping", "2"},
                    DefaultCase{"File", "TxtFields", "username,password,firstname,lastname,title,sex,notes"},
                    DefaultCase{"File", "CsvDelimiter", ","}));

TEST(ResetToDefaults, ConsoleModeDiffersOnlyInKeepAspectRatio)
{
    Settings windowed;
    Settings console;
    resetToDefaults(windowed, false);
    resetToDefaults(console, true);
    EXPECT_EQ(windowed.transform.keepAspectRatio, 1);
    EXPECT_EQ(console.transform.keepAspectRatio, 0);
    for (const SettingDescriptor& setting : settingsTable()) {
        if (setting.rule == DefaultRule::Now || QLatin1String(setting.key) == QLatin1String("Keep Aspect Ratio")) {
            continue;
        }
        EXPECT_EQ(settingToText(windowed, setting), settingToText(console, setting)) << setting.key;
    }
}

TEST(ResetToDefaults, OverwritesEveryValue)
{
    Settings settings;
    for (const SettingDescriptor& setting : settingsTable()) {
        setSettingFromText(settings, setting, QStringLiteral("77"));
    }
    resetToDefaults(settings, false);
    Settings fresh;
    resetToDefaults(fresh, false);
    for (const SettingDescriptor& setting : settingsTable()) {
        if (setting.rule != DefaultRule::Now) {
            EXPECT_EQ(settingToText(settings, setting), settingToText(fresh, setting)) << setting.key;
        }
    }
}

struct DesktopCase {
    QSize desktop;
    int x;
    int y;
};

class CentredWindow : public testing::TestWithParam<DesktopCase> {};

TEST_P(CentredWindow, PositionFollowsThePrimaryScreen)
{
    Settings settings;
    resetToDefaults(settings, false, GetParam().desktop);
    EXPECT_EQ(settings.window.x, GetParam().x);
    EXPECT_EQ(settings.window.y, GetParam().y);
    EXPECT_EQ(settings.window.width, 510);
    EXPECT_EQ(settings.window.height, 330);
}

INSTANTIATE_TEST_SUITE_P(Settings, CentredWindow,
                         testing::Values(DesktopCase{QSize(1920, 1080), 705, 375},
                                         DesktopCase{QSize(400, 300), 100, 100}, DesktopCase{QSize(510, 330), 100, 100},
                                         DesktopCase{QSize(511, 332), 0, 1}, DesktopCase{QSize(1920, 200), 705, 100},
                                         DesktopCase{QSize(), 100, 100}));

TEST(ResetToDefaults, DatesAreTheCurrentLocalTime)
{
    Settings settings;
    const std::int32_t before = localSecondsNow();
    resetToDefaults(settings, true);
    const std::int32_t after = localSecondsNow();
    EXPECT_GE(settings.general.updateDate, before);
    EXPECT_LE(settings.general.updateDate, after);
    EXPECT_GE(settings.advanced.customTimestamp, before);
    EXPECT_LE(settings.advanced.customTimestamp, after);
}

TEST(LocalTime, WallClockIsStoredAsIfUtc)
{
    const QDateTime local(QDate(2026, 12, 9), QTime(10, 0));
    const std::int32_t stored = localSecondsFrom(local);
    EXPECT_EQ(stored, 1796810400); // 2026-12-09 10:00:00 read as UTC
    EXPECT_EQ(localDateTimeFrom(stored), local);
    EXPECT_EQ(localDateTimeFrom(stored).timeSpec(), Qt::LocalTime);

    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_EQ(localDateTimeFrom(localSecondsFrom(now)),
              QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second())));
}

struct HexCase {
    const char* hex;
    std::uint32_t colour;
};

class ColourFromHex : public testing::TestWithParam<HexCase> {};

TEST_P(ColourFromHex, ReadsRedGreenBluePairs)
{
    EXPECT_EQ(colourFromHex(QString::fromUtf8(GetParam().hex)), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Settings, ColourFromHex,
                         testing::Values(HexCase{"FF8000", 0x0080FFU}, HexCase{"ff8000", 0x0080FFU},
                                         HexCase{"0000fF", 0xFF0000U}, HexCase{"00FF00", 0x00FF00U},
                                         HexCase{"FFFFFF", 0xFFFFFFU},
                                         // any other length is black
                                         HexCase{"FFFFF", 0}, HexCase{"FFFFFFF", 0}, HexCase{"", 0},
                                         HexCase{"#FF8000", 0},
                                         // a pair reads up to its first non-hexadecimal character
                                         HexCase{"GG0000", 0}, HexCase{"5G0000", 0x000005U}, HexCase{"00z900", 0},
                                         HexCase{"0000 A", 0}, HexCase{"0000A ", 0x0A0000U},
                                         HexCase{"\xC3\xA9"
                                                 "A0000",
                                                 0}));

TEST(HexFromColour, WritesUpperCasePairsAndRoundTrips)
{
    EXPECT_EQ(hexFromColour(0x0080FFU), QStringLiteral("FF8000"));
    EXPECT_EQ(hexFromColour(0), QStringLiteral("000000"));
    EXPECT_EQ(hexFromColour(0x030201U), QStringLiteral("010203"));
    EXPECT_EQ(hexFromColour(0xABCDEFU), QStringLiteral("EFCDAB"));
    // Bits above the blue byte are not part of a colour.
    EXPECT_EQ(hexFromColour(0xFF0080FFU), QStringLiteral("FF8000"));
    for (std::uint32_t colour = 0; colour <= 0xFFFFFFU; colour += 0x010101U * 7 + 13) {
        EXPECT_EQ(colourFromHex(hexFromColour(colour)), colour);
    }
}

struct IntegerCase {
    const char* text;
    std::int32_t value;
};

class ParseInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseInteger, ReadsLeadingDecimalDigits)
{
    EXPECT_EQ(parseInteger(QString::fromUtf8(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Settings, ParseInteger,
                         testing::Values(IntegerCase{"42", 42}, IntegerCase{"  -7", -7}, IntegerCase{"\t+5", 5},
                                         IntegerCase{"abc", 0}, IntegerCase{"12abc", 12}, IntegerCase{"", 0},
                                         IntegerCase{"-", 0}, IntegerCase{"- 5", 0}, IntegerCase{"1 2", 1},
                                         IntegerCase{"0x1F", 0}, IntegerCase{"2147483647", 2147483647},
                                         // beyond 32 bits the low 32 bits remain
                                         IntegerCase{"2147483648", std::numeric_limits<std::int32_t>::min()},
                                         IntegerCase{"4294967297", 1},
                                         IntegerCase{"99999999999999999999999999999999", -1},
                                         // Arabic-Indic digits are not decimal digits here
                                         IntegerCase{"\xD9\xA3", 0}));

struct EightBitCase {
    const char* text;
    int stored;
};

class EightBitSetting : public testing::TestWithParam<EightBitCase> {};

TEST_P(EightBitSetting, KeepsTheLowEightBitsSigned)
{
    Settings settings;
    setSettingFromText(settings, *findSetting("Advanced", "Out Folders Number"), QString::fromUtf8(GetParam().text));
    EXPECT_EQ(settings.advanced.outFoldersNumber, GetParam().stored);
    setSettingFromText(settings, *findSetting("Frame", "Do Frame"), QString::fromUtf8(GetParam().text));
    EXPECT_EQ(settings.frame.doFrame, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Settings, EightBitSetting,
                         testing::Values(EightBitCase{"300", 44}, EightBitCase{"127", 127}, EightBitCase{"128", -128},
                                         EightBitCase{"255", -1}, EightBitCase{"256", 0}, EightBitCase{"-129", 127},
                                         EightBitCase{"-128", -128}));

struct RealCase {
    const char* text;
    float value;
};

class ParseReal : public testing::TestWithParam<RealCase> {};

TEST_P(ParseReal, ReadsDecimalsAndTheSpecialWords)
{
    const float value = parseReal(QString::fromUtf8(GetParam().text));
    if (std::isnan(GetParam().value)) {
        EXPECT_TRUE(std::isnan(value)) << value;
    } else {
        EXPECT_EQ(value, GetParam().value);
    }
}

constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Settings, ParseReal,
    testing::Values(RealCase{"1.5", 1.5F}, RealCase{"  2.25  ", 2.25F}, RealCase{"-0.5", -0.5F}, RealCase{".5", 0.5F},
                    RealCase{"3.", 3.0F}, RealCase{"7", 7.0F}, RealCase{"2.5xyz", 2.5F}, RealCase{"1,5", 1.0F},
                    RealCase{"abc", 0.0F}, RealCase{"", 0.0F}, RealCase{".", 0.0F}, RealCase{"1e2", 100.0F},
                    RealCase{"1e", 1.0F}, RealCase{"1e999", infinity}, RealCase{"-1e999", -infinity},
                    RealCase{"1e-999", 0.0F}, RealCase{"+Infinity", infinity}, RealCase{"+INFINITY", infinity},
                    RealCase{"-infinity", -infinity}, RealCase{"NaN", notANumber}, RealCase{"nan", notANumber},
                    RealCase{"inf", 0.0F}, RealCase{"Infinity", 0.0F}));

TEST(FormatReal, IsPercentFWithTheSpecialWords)
{
    EXPECT_EQ(formatReal(1.0F), QStringLiteral("1.000000"));
    EXPECT_EQ(formatReal(-0.25F), QStringLiteral("-0.250000"));
    EXPECT_EQ(formatReal(0.01F), QStringLiteral("0.010000"));
    EXPECT_EQ(formatReal(9.99F), QStringLiteral("9.990000"));
    EXPECT_EQ(formatReal(infinity), QStringLiteral("+Infinity"));
    EXPECT_EQ(formatReal(-infinity), QStringLiteral("-Infinity"));
    EXPECT_EQ(formatReal(notANumber), QStringLiteral("NaN"));
    EXPECT_EQ(formatReal(1e20F), QStringLiteral("100000002004087734272.000000"));
    for (const float value : {0.01F, 1.0F, 2.2F, 9.99F, -3.75F, infinity, -infinity}) {
        EXPECT_EQ(parseReal(formatReal(value)), value);
    }
}

TEST(SettingText, TextsLoseOnlyBlanksAndTabsAtBothEnds)
{
    Settings settings;
    const SettingDescriptor& font = *findSetting("Watermark", "Font");
    setSettingFromText(settings, font, QStringLiteral(" \t Courier  New\t "));
    EXPECT_EQ(settings.watermark.font, QStringLiteral("Courier  New"));
    setSettingFromText(settings, font,
                       QString::fromUtf8("\xC2\xA0"
                                         "Arial"));
    EXPECT_EQ(settings.watermark.font, QString::fromUtf8("\xC2\xA0"
                                                         "Arial"));
}

} // namespace

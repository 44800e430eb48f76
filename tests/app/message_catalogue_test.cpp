#include "app/message_catalogue.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string notFound = "%NO_STRING_ERROR%";

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

// Compared as UTF-8 so that a failure prints readable text.
std::string utf8(const QString& text)
{
    return text.toStdString();
}

TEST(MessageCatalogueTable, HoldsEveryGroupWithItsEntryCountInTableOrder)
{
    const std::pair<const char*, std::size_t> expected[] = {
        {"Menu", 32}, {"General", 10},         {"Msg", 42},      {"Dialog", 16},  {"Preferences", 214},
        {"About", 4}, {"Custom-Converter", 4}, {"Uninstall", 3}, {"Preview", 26},
    };
    const auto groups = builtInMessageGroups();
    ASSERT_EQ(groups.size(), std::size(expected));
    std::size_t total = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        EXPECT_STREQ(groups[i].name, expected[i].first);
        EXPECT_EQ(groups[i].entries.size(), expected[i].second) << groups[i].name;
        total += groups[i].entries.size();
    }
    EXPECT_EQ(total, 351u);
}

TEST(MessageCatalogueTable, PreferencesEntriesFollowTheirThreePatterns)
{
    const MessageGroup& preferences = builtInMessageGroups()[4];
    int sameAsKey = 0;
    int keyWithColon = 0;
    int ownText = 0;
    int mediums = 0;
    for (const MessageEntry& entry : preferences.entries) {
        const std::string key = entry.key;
        const std::string text = entry.text;
        if (text == key) {
            ++sameAsKey;
        } else if (text == key + ":") {
            ++keyWithColon;
        } else {
            ++ownText;
        }
        if (key == "Medium") {
            ++mediums;
            EXPECT_EQ(text, "Medium");
        }
    }
    EXPECT_EQ(sameAsKey, 92);
    EXPECT_EQ(keyWithColon, 60);
    EXPECT_EQ(ownText, 62);
    EXPECT_EQ(mediums, 2);
}

TEST(MessageCatalogueTable, TextsAreAsciiWithoutStrayBlanksAndOnlyCrLfBreaks)
{
    for (const MessageGroup& group : builtInMessageGroups()) {
        for (const MessageEntry& entry : group.entries) {
            const QString key = latin(entry.key);
            const QString text = latin(entry.text);
            SCOPED_TRACE(std::string(group.name) + "/" + entry.key);
            EXPECT_FALSE(key.isEmpty());
            EXPECT_FALSE(text.isEmpty());
            EXPECT_EQ(utf8(key), utf8(key.trimmed()));
            EXPECT_EQ(utf8(text), utf8(text.trimmed()));
            EXPECT_FALSE(key.contains(QLatin1Char('/')));
            // Every line feed belongs to a CR LF pair and no backslash survived transcription.
            EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
            EXPECT_EQ(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));
            EXPECT_FALSE(text.contains(QLatin1Char('\\')));
            for (const QChar c : key + text) {
                EXPECT_TRUE(c.unicode() < 128) << "non-ASCII character";
            }
        }
    }
}

// Every entry, looked up with its group and key in several letter cases, gives its own text:
// the sorted index finds keys that are prefixes of others and equal keys in other groups.
TEST(MessageLookup, EveryEntryResolvesToItsOwnTextInAnyLetterCase)
{
    for (const MessageGroup& group : builtInMessageGroups()) {
        const QString name = latin(group.name);
        for (const MessageEntry& entry : group.entries) {
            const QString key = latin(entry.key);
            const QString text = latin(entry.text);
            SCOPED_TRACE(std::string(group.name) + "/" + entry.key);
            EXPECT_EQ(utf8(message(name, key)), utf8(text));
            EXPECT_EQ(utf8(message(name.toLower(), key.toUpper())), utf8(text));
            EXPECT_EQ(utf8(message(name.toUpper(), key.toLower())), utf8(text));
            EXPECT_EQ(utf8(message(name + QLatin1Char('/') + key)), utf8(text));
        }
    }
}

struct LookupCase {
    const char* group;
    const char* key;
    const char* expected; // nullptr: not found
};

void PrintTo(const LookupCase& c, std::ostream* out)
{
    *out << c.group << "/" << c.key;
}

class MessageLookupCases : public testing::TestWithParam<LookupCase> {};

TEST_P(MessageLookupCases, ReturnsTheTextOrTheMissingMarker)
{
    const LookupCase& c = GetParam();
    const std::string expected = c.expected ? c.expected : notFound;
    EXPECT_EQ(utf8(message(latin(c.group), latin(c.key))), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, MessageLookupCases,
    testing::Values(
        LookupCase{"Preferences", "Check For Updates", "Check for Updates:"},
        LookupCase{"PREFERENCES", "check for updates", "Check for Updates:"},
        LookupCase{"preferences", "CHECK FOR UPDATES", "Check for Updates:"},
        LookupCase{"Msg", "Check for Updates", "Check for Updates"}, LookupCase{"About", "Title", "About..."},
        LookupCase{"Preferences", "Title", "Preferences..."},
        LookupCase{"Custom-Converter", "Title", "Find a File Converter"},
        LookupCase{"custom-converter", "search", "Search"}, LookupCase{"Uninstall", "Title", "Uninstall"},
        LookupCase{"Uninstall", "Uninstall Text", "Full Uninstall - Visit Uninstall Center"},
        LookupCase{"Menu", "Select Input File", "Add Input File..."},
        LookupCase{"Menu", "Select Input Files", "Add Input Files..."},
        LookupCase{"General", "Input File", "Input File:"}, LookupCase{"General", "Input Files", "Input Files:"},
        LookupCase{"Preferences", "Medium", "Medium"}, LookupCase{"Preferences", "Bytes", "bytes"},
        LookupCase{"Preferences", "Save window position", "Save Window's Coords:"},
        LookupCase{"Preferences", "Catmullrom", "Catmull-Rom Spline"},
        LookupCase{"Preferences", "Strikeout", "Strikethrough"}, LookupCase{"Preferences", "X-Offset", "X-Offset:"},
        LookupCase{"Preferences", "Bold Italic", "Bold Italic"},
        LookupCase{"Preferences", "Clean Recent Files", "Clean Recent Files List on Exit"},
        LookupCase{"Msg", "Progress", "(%s1%/%s2%)"},
        LookupCase{"Msg", "Files converted", "Files converted: %s1% of %s2%"},
        LookupCase{"Msg", "Ask overwrite file", "The file already exist. Do you want to overwrite it?"},
        LookupCase{"Msg", "Empty input folder",
                   "The input folder's field is empty. Please, check the existed input folder and try again!"},
        LookupCase{"Msg", "Ask continue to find",
                   "No matches of %s1% found!\r\n\r\nDo you want to search from the start of the list?"},
        LookupCase{"Dialog", "All Supported Files", "All Supported Files"},
        LookupCase{"Dialog", "Import Input Files", "Import Input Files From A List"},
        LookupCase{"Dialog", "Import Progress", "Importing"}, LookupCase{"General", "Importing", "Importing..."},
        // Not in the catalogue.
        LookupCase{"Msg", "No such key", nullptr}, LookupCase{"NoSuchGroup", "Title", nullptr},
        LookupCase{"Menu", "", nullptr}, LookupCase{"", "File", nullptr}, LookupCase{"", "", nullptr},
        LookupCase{"Menu", "Fil", nullptr}, LookupCase{"Menu", "Files", nullptr}, LookupCase{"Menu", "File ", nullptr},
        LookupCase{"Menu", " File", nullptr}, LookupCase{"Menu ", "File", nullptr},
        LookupCase{"Custom", "Title", nullptr}, LookupCase{"General", "Title", nullptr},
        LookupCase{"_GROUP_", "Menu", nullptr}, LookupCase{"Msg", "Title", nullptr}));

TEST(MessageLookup, KeysAboveLatinOneAreNotFound)
{
    EXPECT_EQ(utf8(message(QStringLiteral("Menu"), QString(QChar(0x20AC)) + QStringLiteral("File"))), notFound);
}

TEST(MessageLookup, AlternatingGroupsWithEqualKeysDoNotInterfere)
{
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(utf8(message(QStringLiteral("About"), QStringLiteral("Title"))), "About...");
        EXPECT_EQ(utf8(message(QStringLiteral("Preferences"), QStringLiteral("Title"))), "Preferences...");
        EXPECT_EQ(utf8(message(QStringLiteral("Nowhere"), QStringLiteral("Title"))), notFound);
        EXPECT_EQ(utf8(message(QStringLiteral("Custom-Converter"), QStringLiteral("Title"))), "Find a File Converter");
    }
}

TEST(MessageLookup, CombinedNameSplitsAtTheFirstSlash)
{
    EXPECT_EQ(utf8(message(QStringLiteral("Msg/Ask break conversion"))), "Do you want to break the conversion?");
    EXPECT_EQ(utf8(message(QStringLiteral("custom-converter/to"))), "To:");
    EXPECT_EQ(utf8(message(QStringLiteral("Msg"))), notFound);
    EXPECT_EQ(utf8(message(QStringLiteral("Msg/Warning/"))), notFound);
    EXPECT_EQ(utf8(message(QString())), notFound);
}

// Catalogue texts that other parts of the program name, by group.
struct NamedKeys {
    const char* group;
    std::vector<const char*> keys;
};

const NamedKeys keysNamedElsewhere[] = {
    {"Menu",
     {"About",
      "Batch Convert",
      "Check For New Version",
      "Convert",
      "Converter",
      "Copy",
      "Custom Converter",
      "Delete",
      "Delete Input Files",
      "Edit",
      "Exit",
      "Export Input Files",
      "File",
      "Help",
      "Import Input Files",
      "Manual",
      "New",
      "Open",
      "Output Format Options",
      "Preferences",
      "Save As",
      "Select All",
      "Select Input File",
      "Select Input Files",
      "Select Input Folder",
      "Select Output Folder",
      "Send Feedback",
      "Visit Homepage"}},
    {"General",
     {"Convert", "Converting", "Filename", "Importing", "Input File", "Input Files", "Output Folder", "Output Format",
      "Preparing", "Ready"}},
    {"Msg",
     {"Ask break conversion",
      "Ask break export",
      "Ask break import",
      "Ask check for updates",
      "Ask clean recent files",
      "Ask continue to find",
      "Ask overwrite file",
      "Ask reset to defaults",
      "Check for Updates",
      "Clean recent files",
      "Conversion complete",
      "Conversion is not complete",
      "Empty extensions",
      "Empty input files",
      "Empty input folder",
      "Empty output folder",
      "Empty watermark image",
      "Error",
      "Export complete",
      "Export is not complete",
      "Files converted",
      "Import complete",
      "Import is not complete",
      "Insufficient memory",
      "Internet connection problems",
      "Invalid conversion type",
      "Invalid height",
      "Invalid input folder",
      "Invalid output folder",
      "Invalid watermark font",
      "Invalid watermark image",
      "Invalid width",
      "New Update",
      "New Update Text",
      "No Update",
      "No Update Text",
      "Progress",
      "Reset to Defaults",
      "Unable to open file",
      "Unable to save file",
      "Warning"}},
    {"Dialog",
     {"All Files", "All Supported Files", "Cancel", "Convert Progress", "Defaults", "Export Input Files",
      "Export Progress", "Help", "Import Input Files", "Import Progress", "OK", "Select Input Files",
      "Select Input Folder", "Select Output Folder", "Select Watermark Image", "Text Files"}},
    {"Preferences", {"Advanced",      "Clean Recent Files",
                     "Color",         "Csv",
                     "Csv Delimiter", "Csv Export",
                     "Export",        "Extra Large",
                     "Fill",          "Fit",
                     "General",       "Huge",
                     "LAB",           "Large",
                     "Medium",        "Privacy",
                     "Proportional",  "Small",
                     "Title",         "Txt",
                     "Txt Export"}},
    {"About", {"Email", "Title", "Version", "Website"}},
    {"Custom-Converter", {"From", "Search", "Title", "To"}},
    {"Uninstall", {"Next", "Title", "Uninstall Text"}},
};
// Labels, list entries and page names of the Preferences dialog.
const char* const preferencesDialogKeys[] = {"Language",
                                             "Check For Updates",
                                             "Every day",
                                             "Every week",
                                             "Every month",
                                             "Every 3 months",
                                             "Every 6 months",
                                             "Never",
                                             "Save window position",
                                             "UI Theme",
                                             "None",
                                             "UI Size",
                                             "Small",
                                             "Medium",
                                             "Large",
                                             "Extra Large",
                                             "Huge",
                                             "Input Format",
                                             "Frame Loading",
                                             "All Frames",
                                             "First Frame",
                                             "Middle Frame",
                                             "Last Frame",
                                             "Random Frame",
                                             "Load As",
                                             "Auto",
                                             "BGRA",
                                             "RGBA",
                                             "RGB8",
                                             "RGB16",
                                             "RGB24",
                                             "RGB48HS",
                                             "RGB48",
                                             "Header Size",
                                             "Bytes",
                                             "bytes",
                                             "Image Width",
                                             "Pixels",
                                             "pixels",
                                             "Image Height",
                                             "Tone Mapping",
                                             "Linear",
                                             "Adaptive Logarithmic",
                                             "DR Reduction",
                                             "Gradient Domain",
                                             "Output Format",
                                             "Bits Per Pixel",
                                             "Compression",
                                             "RLE",
                                             "Color Table",
                                             "Exact",
                                             "ZIP",
                                             "PIZ",
                                             "PXR24",
                                             "B44",
                                             "Image Quality",
                                             "Chroma Subsampling",
                                             "Low",
                                             "High",
                                             "Save As",
                                             "Baseline Standard",
                                             "Baseline Simple",
                                             "Baseline Optimized",
                                             "Progressive",
                                             "ZLIB1",
                                             "ZLIB6",
                                             "ZLIB9",
                                             "Interlaced",
                                             "CCITTFAX3",
                                             "CCITTFAX4",
                                             "PACKBITS",
                                             "DEFLATE",
                                             "ADOBEDEFLATE",
                                             "LZW",
                                             "JPEG",
                                             "LOGLUV",
                                             "Color Model",
                                             "RGB",
                                             "CMYK",
                                             "Image Rotation",
                                             "Rotation Type",
                                             "Simple Rotation",
                                             "Advanced Rotation",
                                             "Advanced",
                                             "Rotation Angle",
                                             "Background Color",
                                             "Image Resize",
                                             "Percent",
                                             "Keep Aspect Ratio",
                                             "Resize Type",
                                             "All Images",
                                             "Large Images",
                                             "Resize Algorithm",
                                             "Box",
                                             "Bilinear",
                                             "Bspline",
                                             "Bicubic",
                                             "Catmullrom",
                                             "Lanczos",
                                             "Image Flip Horizontal",
                                             "Image Flip Vertical",
                                             "Image Brightness",
                                             "Image Contrast",
                                             "Image Gamma",
                                             "Image Invert",
                                             "Image Greyscale",
                                             "Image Threshold",
                                             "Threshold Level",
                                             "Frame Type",
                                             "Frame Solid",
                                             "Left",
                                             "Right",
                                             "Top",
                                             "Bottom",
                                             "Left Color",
                                             "Right Color",
                                             "Top Color",
                                             "Bottom Color",
                                             "Opacity",
                                             "Watermark Type",
                                             "Watermark Text",
                                             "Text",
                                             "Watermark Image",
                                             "Image",
                                             "Font",
                                             "Font Size",
                                             "Points",
                                             "points",
                                             "Font Leading",
                                             "Font Color",
                                             "Font Style",
                                             "Regular",
                                             "Bold",
                                             "Italic",
                                             "Bold Italic",
                                             "Font Effect",
                                             "Underline",
                                             "Strikeout",
                                             "Antialiasing",
                                             "Text Alignment",
                                             "Align Left",
                                             "Align Center",
                                             "Align Right",
                                             "Text Padding",
                                             "Text Opacity",
                                             "Background Opacity",
                                             "Boundary",
                                             "Bound Image",
                                             "Bound Frame",
                                             "Frame",
                                             "Position",
                                             "Top-Left",
                                             "Top-Center",
                                             "Top-Right",
                                             "Middle-Left",
                                             "Middle-Center",
                                             "Middle-Right",
                                             "Bottom-Left",
                                             "Bottom-Center",
                                             "Bottom-Right",
                                             "X-Offset",
                                             "Y-Offset",
                                             "Size",
                                             "Fixed",
                                             "Scale",
                                             "Filename Mask",
                                             "File Timestamp",
                                             "Current",
                                             "Original",
                                             "Custom",
                                             "Custom Timestamp",
                                             "Out Folders History",
                                             "Clean On Exit",
                                             "Clean on Exit",
                                             "Keep Folders",
                                             "Out Folders Number",
                                             "Keep Subfolders",
                                             "Black",
                                             "Silver",
                                             "Gray",
                                             "White",
                                             "Maroon",
                                             "Red",
                                             "Purple",
                                             "Fuchsia",
                                             "Green",
                                             "Lime",
                                             "Olive",
                                             "Yellow",
                                             "Navy",
                                             "Blue",
                                             "Teal",
                                             "Aqua",
                                             "Orange",
                                             "Brown",
                                             "Violet",
                                             "Color",
                                             "General",
                                             "Interface",
                                             "Input",
                                             "Output",
                                             "Transform",
                                             "Adjustment",
                                             "Watermark"};

// Every catalogue text that another part of the program names resolves.
TEST(MessageLookup, EveryKeyNamedElsewhereResolves)
{
    for (const NamedKeys& named : keysNamedElsewhere) {
        for (const char* key : named.keys) {
            EXPECT_NE(utf8(message(latin(named.group), latin(key))), notFound) << named.group << "/" << key;
        }
    }
    for (const char* key : preferencesDialogKeys) {
        EXPECT_NE(utf8(message(QStringLiteral("Preferences"), latin(key))), notFound) << key;
    }
}

struct SubstituteCase {
    const char* name;
    const char* text;
    const char* s1;
    const char* s2;
    const char* s3;
    const char* s4;
    const char* expected;
};

void PrintTo(const SubstituteCase& c, std::ostream* out)
{
    *out << c.name;
}

class SubstituteMessageCases : public testing::TestWithParam<SubstituteCase> {};

TEST_P(SubstituteMessageCases, ReplacesPlaceholdersInOrder)
{
    const SubstituteCase& c = GetParam();
    EXPECT_EQ(utf8(substituteMessage(latin(c.text), latin(c.s1), latin(c.s2), latin(c.s3), latin(c.s4))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Substitution, SubstituteMessageCases,
    testing::Values(
        SubstituteCase{"BothValues", "Files converted: %s1% of %s2%", "3", "10", "", "", "Files converted: 3 of 10"},
        SubstituteCase{"FirstOnly", "Files converted: %s1% of %s2%", "3", "", "", "", "Files converted: 3 of %s2%"},
        SubstituteCase{"SecondOnly", "(%s1%/%s2%)", "", "7", "", "", "(%s1%/7)"},
        SubstituteCase{"AllFour", "%s4%-%s3%-%s2%-%s1%", "a", "b", "c", "d", "d-c-b-a"},
        SubstituteCase{"AnyLetterCase", "%S1% and %s1% and %S2%", "x", "y", "", "", "x and x and y"},
        SubstituteCase{"ChainedFirstIntoSecond", "<%s1%>", "%s2%!", "two", "", "", "<two!>"},
        SubstituteCase{"LaterValueNotRescannedForEarlier", "<%s2%>", "one", "%s1%", "", "", "<%s1%>"},
        SubstituteCase{"NoPlaceholder", "Conversion complete", "1", "2", "3", "4", "Conversion complete"},
        SubstituteCase{"EmptyText", "", "1", "2", "", "", ""},
        SubstituteCase{"NoValues", "%s1% %s2% %s3% %s4%", "", "", "", "", "%s1% %s2% %s3% %s4%"},
        SubstituteCase{"ValueWithPercent", "%s1%", "50%", "", "", "", "50%"},
        SubstituteCase{"UnnumberedPlaceholderStays", "%s5% %s0% %s1%", "v", "", "", "", "%s5% %s0% v"}),
    [](const testing::TestParamInfo<SubstituteCase>& info) { return std::string(info.param.name); });

TEST(SubstituteMessage, PutsTheFolderOnALineOfItsOwn)
{
    const QString text = substituteMessage(message(QStringLiteral("Msg"), QStringLiteral("Invalid output folder")),
                                           QStringLiteral("/home/user/out put/"));
    EXPECT_EQ(utf8(text), "The following output folder is invalid or doesn't exist:\r\n"
                          "/home/user/out put/\r\n\r\n"
                          "Please, correct the output path and try again!");
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(utf8(lines[1]), "/home/user/out put/");
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST(SubstituteMessage, FillsCatalogueTextsWithNumbers)
{
    EXPECT_EQ(utf8(substituteMessage(message(QStringLiteral("Msg/Files converted")), QString::number(3),
                                     QString::number(10))),
              "Files converted: 3 of 10");
    EXPECT_EQ(utf8(substituteMessage(message(QStringLiteral("Msg/Import complete")), QString::number(0))),
              "Import complete, new files added: 0");
}

} // namespace

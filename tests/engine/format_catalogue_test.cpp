#include "engine/formats/format_catalogue.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QSet>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

// Compared as UTF-8 so that a failure prints readable text.
std::string utf8(const QString& text)
{
    return text.toStdString();
}

std::string joined(const QStringList& list)
{
    return list.join(QLatin1Char(',')).toStdString();
}

std::string joined(const std::vector<const char*>& texts)
{
    std::string text;
    for (const char* part : texts) {
        text += (text.empty() ? "" : ",") + std::string(part);
    }
    return text;
}

QStringList latinList(const std::vector<const char*>& texts)
{
    QStringList list;
    for (const char* text : texts) {
        list.append(latin(text));
    }
    return list;
}

// The table's 45 rows list 79 distinct extensions.
TEST(InputFormatTable, Holds79ExtensionsIn16GroupsAnd45Descriptions)
{
    const InputFormatTable& table = inputFormatTable();
    EXPECT_EQ(table.size(), 79u);
    QSet<QString> groups;
    QSet<QString> descriptions;
    for (const auto& [extension, entry] : table) {
        EXPECT_EQ(utf8(extension), utf8(extension.toLower()));
        groups.insert(entry.group);
        descriptions.insert(entry.description);
        // Every group is the principal extension of its family and describes itself.
        ASSERT_NE(findInputFormat(entry.group), nullptr) << entry.group.toStdString();
        EXPECT_EQ(utf8(findInputFormat(entry.group)->group), utf8(entry.group));
    }
    EXPECT_EQ(groups.size(), 16);
    EXPECT_EQ(descriptions.size(), 45);
}

struct InputCase {
    const char* extension;
    const char* group; // nullptr: not in the table
    const char* description;
};

void PrintTo(const InputCase& c, std::ostream* out)
{
    *out << "\"" << c.extension << "\"";
}

class InputFormatCases : public testing::TestWithParam<InputCase> {};

TEST_P(InputFormatCases, LooksUpGroupAndDescriptionByExactExtension)
{
    const InputCase& c = GetParam();
    const InputFormat* entry = findInputFormat(latin(c.extension));
    if (!c.group) {
        EXPECT_EQ(entry, nullptr);
        return;
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(utf8(entry->group), c.group);
    EXPECT_EQ(utf8(entry->description), c.description);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, InputFormatCases,
    testing::Values(
        InputCase{"tif", "tiff", "Tagged Image File Format"}, InputCase{"tiff", "tiff", "Tagged Image File Format"},
        InputCase{"dib", "bmp", "Windows or OS/2 Bitmap"}, InputCase{"dds", "dds", "DirectDraw Surface File"},
        InputCase{"emz", "emf", "Enhanced Metafile Format"}, InputCase{"hdri", "hdr", "High Dynamic Range File"},
        InputCase{"jif", "jpg", "JPEG File"}, InputCase{"ppcd", "pcd", "Kodak PhotoCD File"},
        InputCase{"pct", "pic", "Macintosh PICT"}, InputCase{"targa", "tga", "Truevision Targa"},
        InputCase{"wmz", "wmf", "Windows Metafile Format"}, InputCase{"apm", "wmf", "Aldus Placeable Metafile"},
        InputCase{"raw2", "raw", "Camera RAW Image"}, InputCase{"3fr", "raw", "Hasselblad Camera RAW Image"},
        InputCase{"cr2", "raw", "Canon Camera RAW Image"}, InputCase{"dcs", "raw", "Kodak Camera RAW Image"},
        InputCase{"sti", "raw", "Sinar RAW Image"}, InputCase{"qtk", "raw", "Apple Quicktake Camera RAW Image"},
        InputCase{"rdc", "raw", "Digital Foto Maker RAW Image"}, InputCase{"rwl", "raw", "Leica Camera RAW Image"},
        InputCase{"TIF", nullptr, nullptr}, InputCase{"Tiff", nullptr, nullptr}, InputCase{"", nullptr, nullptr},
        InputCase{"tif ", nullptr, nullptr}, InputCase{"jxr", nullptr, nullptr}, InputCase{"webp", nullptr, nullptr}));

TEST(InputLists, AcceptOnlyTheTiffGroup)
{
    EXPECT_EQ(joined(inputFormatList()), "tiff");
    EXPECT_EQ(joined(inputExtensionList()), "tif,tiff");
    // The same result every time it is rebuilt (the New command rebuilds it).
    EXPECT_EQ(joined(rebuildInputExtensionList(inputFormatList(), inputFormatTable())), "tif,tiff");
}

TEST(InputLists, AcceptanceIsExactAgainstTheExtensionList)
{
    for (const char* accepted : {"tif", "tiff"}) {
        EXPECT_TRUE(isInputExtension(latin(accepted))) << accepted;
    }
    // Described by the input table but not accepted; upper case is the caller's to lower.
    for (const char* refused : {"png", "jpg", "cr2", "bmp", "TIF", "Tiff", "", "tif ", "tiffs", "ti"}) {
        EXPECT_FALSE(isInputExtension(latin(refused))) << refused;
    }
    EXPECT_NE(findInputFormat(QStringLiteral("png")), nullptr);
    EXPECT_TRUE(isInputExtension(QStringLiteral("TIF").toLower()));
}

struct RebuildCase {
    std::vector<const char*> groups;
    std::vector<const char*> extensions;
};

void PrintTo(const RebuildCase& c, std::ostream* out)
{
    *out << "groups {" << joined(c.groups) << "}";
}

class RebuildInputExtensionCases : public testing::TestWithParam<RebuildCase> {};

TEST_P(RebuildInputExtensionCases, ListsGroupsInOrderAndExtensionsInStorageOrder)
{
    EXPECT_EQ(joined(rebuildInputExtensionList(latinList(GetParam().groups), inputFormatTable())),
              joined(GetParam().extensions));
}

INSTANTIATE_TEST_SUITE_P(Groups, RebuildInputExtensionCases,
                         testing::Values(RebuildCase{{"tiff"}, {"tif", "tiff"}}, RebuildCase{{}, {}},
                                         RebuildCase{{"TIFF"}, {}}, RebuildCase{{"nosuch"}, {}},
                                         RebuildCase{{"wmf", "jpg"},
                                                     {"apm", "wmf", "wmz", "jif", "jpe", "jpeg", "jpg"}},
                                         RebuildCase{{"tiff", "tiff"}, {"tif", "tiff", "tif", "tiff"}}));

TEST(InputFileFilter, IsExactlyTheTiffFilter)
{
    EXPECT_EQ(utf8(inputFileFilter()),
              "All Supported Files|*.tif;*.tiff|Tagged Image File Format|*.tiff;*.tif|All Files (*.*)|*.*");
}

struct FilterCase {
    const char* name;
    std::vector<const char*> extensions;
    const char* filter;
};

void PrintTo(const FilterCase& c, std::ostream* out)
{
    *out << c.name;
}

class InputFileFilterCases : public testing::TestWithParam<FilterCase> {};

TEST_P(InputFileFilterCases, JoinsPatternsOfOneDescriptionNewestFirst)
{
    EXPECT_EQ(utf8(inputFileFilter(latinList(GetParam().extensions), inputFormatTable())), GetParam().filter);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, InputFileFilterCases,
    testing::Values(
        FilterCase{"Empty", {}, "All Supported Files||All Files (*.*)|*.*"},
        FilterCase{
            "TwoDescriptions",
            {"jpg", "jpeg", "png", "tif"},
            "All Supported Files|*.jpg;*.jpeg;*.png;*.tif|JPEG File|*.jpeg;*.jpg|Portable Network Graphics|*.png|"
            "Tagged Image File Format|*.tif|All Files (*.*)|*.*"},
        FilterCase{"OneGroupTwoDescriptions",
                   {"apm", "wmf", "wmz"},
                   "All Supported Files|*.apm;*.wmf;*.wmz|Aldus Placeable Metafile|*.apm|"
                   "Windows Metafile Format|*.wmz;*.wmf|All Files (*.*)|*.*"}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

struct OutputCase {
    const char* key;
    int formatId;
    const char* description;
    std::vector<int> bitDepths;
};

void PrintTo(const OutputCase& c, std::ostream* out)
{
    *out << c.key;
}

class OutputFormatCases : public testing::TestWithParam<OutputCase> {};

TEST_P(OutputFormatCases, HoldsIdDescriptionAndPermittedDepths)
{
    const OutputCase& c = GetParam();
    const OutputFormat* format = findOutputFormat(latin(c.key));
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(utf8(format->key), c.key);
    EXPECT_EQ(utf8(format->extension), c.key);
    EXPECT_EQ(format->formatId, c.formatId);
    EXPECT_EQ(utf8(format->description), c.description);
    EXPECT_EQ(permittedBitDepths(latin(c.key)), c.bitDepths);
    EXPECT_EQ(isDevilOutputFormat(format->key), format->formatId > 1000);
    if (format->formatId < 1000) {
        // The library agrees that files with this extension are its format.
        const std::string name = "page." + std::string(c.key);
        EXPECT_EQ(FreeImage_GetFIFFromFilename(name.c_str()), c.formatId);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OutputFormatCases,
    testing::Values(
        OutputCase{"bmp", FIF_BMP, "Windows or OS/2 Bitmap", {1, 4, 8, 16, 24, 32}},
        OutputCase{"dds", 0x0437, "DirectDraw Surface", {32}}, OutputCase{"exr", FIF_EXR, "ILM OpenEXR", {96}},
        OutputCase{"gif", FIF_GIF, "Graphics Interchange Format", {8}},
        OutputCase{"hdr", FIF_HDR, "High Dynamic Range Image", {96}},
        OutputCase{"ico", FIF_ICO, "Windows Icon", {1, 4, 8, 16, 24, 32}},
        OutputCase{"j2k", FIF_J2K, "JPEG-2000 Codestream", {8, 24, 32, 48}},
        OutputCase{"jng", FIF_JNG, "JPEG Network Graphics", {24, 32}},
        OutputCase{"jp2", FIF_JP2, "JPEG-2000 File Format", {8, 24, 32, 48}},
        OutputCase{"jpg", FIF_JPEG, "JPEG File Format", {8, 24}},
        OutputCase{"jxr", FIF_JXR, "JPEG XR Image Format", {1, 8, 16, 24, 32, 48, 96}},
        OutputCase{"pbm", FIF_PBM, "Portable Bitmap", {1}}, OutputCase{"pcx", 0x0428, "ZSoft Paintbrush", {24}},
        OutputCase{"pfm", FIF_PFM, "Portable Floatmap", {96}}, OutputCase{"pgm", FIF_PGM, "Portable Greymap", {8}},
        OutputCase{"png", FIF_PNG, "Portable Network Graphics", {1, 4, 8, 24, 32, 48}},
        OutputCase{"ppm", FIF_PPM, "Portable Pixelmap", {24, 48}}, OutputCase{"psd", 0x0439, "Adobe Photoshop", {32}},
        OutputCase{"tga", FIF_TARGA, "Truevision Targa", {8, 16, 24, 32}},
        OutputCase{"tiff", FIF_TIFF, "Tagged Image File Format", {1, 4, 8, 24, 32, 48, 96}},
        OutputCase{"wbmp", FIF_WBMP, "Wireless Bitmap", {1}},
        OutputCase{"webp", FIF_WEBP, "Google WebP Image Format", {24, 32}},
        OutputCase{"xpm", FIF_XPM, "X11 Pixmap Format", {24}}),
    [](const testing::TestParamInfo<OutputCase>& info) { return std::string(info.param.key); });

TEST(OutputFormatTable, ListsThe23FormatsInDisplayOrder)
{
    const QStringList expected =
        latinList({"bmp", "dds", "exr", "gif", "hdr", "ico", "j2k", "jng",  "jp2",  "jpg",  "jxr", "pbm",
                   "pcx", "pfm", "pgm", "png", "ppm", "psd", "tga", "tiff", "wbmp", "webp", "xpm"});
    EXPECT_EQ(joined(outputFormatList()), joined(expected));
    ASSERT_EQ(outputFormatTable().size(), 23u);
    for (std::size_t i = 0; i < outputFormatTable().size(); ++i) {
        EXPECT_EQ(utf8(outputFormatTable()[i].key), utf8(expected[static_cast<qsizetype>(i)]));
    }
}

TEST(OutputFormatTable, DepthListsAreAscendingAndNeverAbove96)
{
    for (const OutputFormat& format : outputFormatTable()) {
        const std::vector<int> depths = readBitDepths(format.bitDepths);
        SCOPED_TRACE(format.key.toStdString());
        ASSERT_FALSE(depths.empty());
        EXPECT_FALSE(format.bitDepths.contains(QLatin1Char(' ')));
        EXPECT_TRUE(std::is_sorted(depths.begin(), depths.end()));
        EXPECT_EQ(std::adjacent_find(depths.begin(), depths.end()), depths.end());
        for (int depth : depths) {
            EXPECT_TRUE(depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32 ||
                        depth == 48 || depth == 96)
                << depth;
        }
    }
}

TEST(OutputFormatTable, UnknownOrUpperCaseKeysFindNothing)
{
    for (const char* key : {"PNG", "Tiff", "tif", "jpeg", "", "raw", "png "}) {
        EXPECT_EQ(findOutputFormat(latin(key)), nullptr) << key;
        EXPECT_TRUE(permittedBitDepths(latin(key)).empty()) << key;
    }
}

struct DepthTextCase {
    const char* text;
    std::vector<int> values;
};

void PrintTo(const DepthTextCase& c, std::ostream* out)
{
    *out << "\"" << c.text << "\"";
}

class ReadBitDepthsCases : public testing::TestWithParam<DepthTextCase> {};

TEST_P(ReadBitDepthsCases, CountsCommasPlusOne)
{
    EXPECT_EQ(readBitDepths(latin(GetParam().text)), GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadBitDepthsCases,
                         testing::Values(DepthTextCase{"1,4,8,16,24,32", {1, 4, 8, 16, 24, 32}},
                                         DepthTextCase{"96", {96}}, DepthTextCase{"", {0}},
                                         DepthTextCase{"8,,24", {8, 0, 24}}, DepthTextCase{"24,", {24, 0}}));

struct LabelCase {
    const char* key;
    bool withDescription;
    const char* label;
};

void PrintTo(const LabelCase& c, std::ostream* out)
{
    *out << c.key << (c.withDescription ? " with description" : "");
}

class OutputFormatLabelCases : public testing::TestWithParam<LabelCase> {};

TEST_P(OutputFormatLabelCases, UpperCaseKeyWithOptionalDescription)
{
    EXPECT_EQ(utf8(outputFormatLabel(latin(GetParam().key), GetParam().withDescription)), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Labels, OutputFormatLabelCases,
                         testing::Values(LabelCase{"png", true, "PNG (Portable Network Graphics)"},
                                         LabelCase{"png", false, "PNG"},
                                         LabelCase{"tiff", true, "TIFF (Tagged Image File Format)"},
                                         LabelCase{"dds", true, "DDS (DirectDraw Surface)"},
                                         LabelCase{"bmp", true, "BMP (Windows or OS/2 Bitmap)"},
                                         LabelCase{"wbmp", false, "WBMP"}, LabelCase{"abc", true, "ABC"}));

TEST(FormatCatalogue, TheSameFormatCarriesADescriptionPerTable)
{
    EXPECT_EQ(utf8(findInputFormat(QStringLiteral("dds"))->description), "DirectDraw Surface File");
    EXPECT_EQ(utf8(findOutputFormat(QStringLiteral("dds"))->description), "DirectDraw Surface");
    EXPECT_EQ(utf8(findInputFormat(QStringLiteral("pcx"))->description), "ZSoft Paintbrush File");
    EXPECT_EQ(utf8(findOutputFormat(QStringLiteral("pcx"))->description), "ZSoft Paintbrush");
}

TEST(FormatCatalogue, BuildingIsIdempotentAndKeepsAddresses)
{
    const OutputFormat* before = findOutputFormat(QStringLiteral("jpg"));
    buildFormatTables();
    buildFormatTables();
    EXPECT_EQ(findOutputFormat(QStringLiteral("jpg")), before);
    EXPECT_EQ(joined(inputExtensionList()), "tif,tiff");
}

} // namespace

namespace {

// Every output setting but the format itself is reached from exactly one catalogue row: its depth
// setting or one of its encoder settings, named after the row's key.
TEST(OutputFormatRows, ReachEveryOutputSettingOnce)
{
    QSet<const SettingDescriptor*> reached;
    for (const OutputFormat& format : outputFormatTable()) {
        const QString prefix = format.key.toUpper() + u' ';
        ASSERT_NE(format.bitDepthSetting, nullptr) << utf8(format.key);
        EXPECT_EQ(QLatin1String(format.bitDepthSetting->key), prefix + QStringLiteral("BPP"));
        EXPECT_EQ(format.bitDepthSetting->kind, SettingKind::Bpp);
        reached.insert(format.bitDepthSetting);
        for (const FormatSetting& setting : format.encoderSettings) {
            ASSERT_NE(setting.setting, nullptr) << utf8(format.key);
            EXPECT_TRUE(QLatin1String(setting.setting->key).startsWith(prefix)) << setting.setting->key;
            EXPECT_FALSE(reached.contains(setting.setting)) << setting.setting->key << " in two rows";
            reached.insert(setting.setting);
        }
    }
    for (const SettingDescriptor& setting : settingsTable()) {
        if (qstrcmp(setting.group, "Output") == 0 && qstrcmp(setting.key, "Format") != 0) {
            EXPECT_TRUE(reached.contains(&setting)) << setting.key << " belongs to no format";
        }
    }
}

TEST(OutputFormatRows, DepthAndFlagsAreReadThroughTheRow)
{
    Settings settings;
    resetToDefaults(settings, true);
    settings.output.tiffBpp = 48;
    settings.output.tiffCompression = 6;
    settings.output.tiffColorModel = 1;
    EXPECT_EQ(formatBitDepthSetting(settings, QStringLiteral("tiff")), 48);
    EXPECT_EQ(formatBitDepthSetting(settings, QStringLiteral("png")), 0);
    EXPECT_EQ(computeSaveFlags(QStringLiteral("tiff"), settings), TIFF_LZW | TIFF_CMYK);
    EXPECT_EQ(computeSaveFlags(QStringLiteral("gif"), settings), 0);
    EXPECT_EQ(computeSaveFlags(QStringLiteral("nope"), settings), 0);
}

} // namespace

#pragma once

#include "app/settings.h"
#include "app/settings_table.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <vector>

// The program's fixed knowledge of image formats: what it reads, what it writes and how.
// Every table is constant data, built once on first use and read-only afterwards, so the
// conversion worker reads it without locking. Keys and extensions are lower case; every lookup
// compares exactly, so callers lower-case an extension before asking.

// One extension the program can describe (not necessarily accept) as input.
struct InputFormat {
    QString group;       // principal extension of the format family: "tiff" for "tif" and "tiff"
    QString description; // text shown in file dialogs
};

// Extension -> entry. Stored sorted by extension; that storage order is the enumeration order
// the extension list and the file filter are built in ("tif" before "tiff").
using InputFormatTable = std::map<QString, InputFormat>;

// The library that writes a format.
enum class OutputWriter : std::uint8_t { FreeImage, Devil };

// How the console echo shows an encoder setting's value.
enum class EchoStyle : std::uint8_t {
    Number,  // decimal
    Flag,    // 0 or 1
    Keyword, // the keyword of the value, in lower case
};

// One encoder setting of an output format (its Output group row), with the label the console echo
// gives it.
struct FormatSetting {
    const SettingDescriptor* setting = nullptr;
    QString echoLabel; // "JPG Chroma Subsampling"
    EchoStyle echo = EchoStyle::Number;
};

// One format a conversion can write, with everything that is particular to it: its writer, the
// setting of its bit depth, its encoder settings (in the order the echo and the options list them)
// and how they become the writer's flags.
struct OutputFormat {
    QString key;               // lower-case extension written to output files
    std::int32_t formatId = 0; // FreeImage FREE_IMAGE_FORMAT, or a DevIL image type (above 1000)
    QString extension;         // same as key
    QString description;       // human-readable format name
    QString bitDepths;         // permitted bits per pixel, ascending, comma-separated: "1,4,8,24,32,48"
    OutputWriter writer = OutputWriter::FreeImage;
    const SettingDescriptor* bitDepthSetting = nullptr; // Output/<KEY> BPP
    std::vector<FormatSetting> encoderSettings{};
    // The names the echo gives the values of the format's compression setting, by value
    // ("NONE", "RLE"); empty for a format without one.
    QStringList compressionKeywords{};
    // The writer flags of the Output settings; nullptr for a format without options (flags 0).
    int (*saveFlags)(const OutputSettings& output) = nullptr;

    // The value of the format's own bit-depth setting (Output/BMP BPP for "bmp", ...).
    int bitDepthOf(const Settings& settings) const;
};

// The 23 output formats in display order (the order of the format boxes).
using OutputFormatTable = std::vector<OutputFormat>;

// The DevIL image types of the three formats written through DevIL.
inline constexpr std::int32_t devilDdsFormatId = 0x0437;
inline constexpr std::int32_t devilPcxFormatId = 0x0428;
inline constexpr std::int32_t devilPsdFormatId = 0x0439;

// Touches every table once so that they are built during start-up, before any worker runs.
void buildFormatTables();

const InputFormatTable& inputFormatTable();   // 80 extensions in 16 groups
const OutputFormatTable& outputFormatTable(); // 23 formats in OutputFormatList order

// Input groups this program accepts: exactly {"tiff"}. Its first entry is the default of Input/Format.
const QStringList& inputFormatList();
// The 23 output keys in display order. Its first entry is the default of Output/Format.
const QStringList& outputFormatList();

// Every extension of the table whose group is in `groups`, group by group, in table storage order.
QStringList rebuildInputExtensionList(const QStringList& groups, const InputFormatTable& table);
// The accepted input extensions, rebuilt from the two constant tables: {"tif", "tiff"}.
const QStringList& inputExtensionList();

// Entry of an input extension, or nullptr.
const InputFormat* findInputFormat(const QString& extension);
// Whether `extension` is in the accepted input extension list (exact comparison).
bool isInputExtension(const QString& extension);

// Entry of an output key, or nullptr.
const OutputFormat* findOutputFormat(const QString& key);
// Whether the key is written through DevIL ("dds", "pcx", "psd") rather than FreeImage.
bool isDevilOutputFormat(const QString& key);

// The value of the output format's own bit-depth setting; 0 (Auto) for an unknown key.
int formatBitDepthSetting(const Settings& settings, const QString& outputKey);

// Values of a bitDepths text in list order. Like the original reading, the count is the number of
// commas plus one and a field that is not a number reads as 0.
std::vector<int> readBitDepths(const QString& bitDepths);
// Bit depths permitted for an output key, ascending; empty for an unknown key.
std::vector<int> permittedBitDepths(const QString& key);

// Filter text of the file-open dialog for input files, as description|patterns pairs each ended
// by "|": "All Supported Files|*.tif;*.tiff|Tagged Image File Format|*.tiff;*.tif|All Files (*.*)|*.*".
QString inputFileFilter();
// The same algorithm over any extension list (patterns of one description are joined newest first).
QString inputFileFilter(const QStringList& extensions, const InputFormatTable& table);

// "PNG", or with the description "PNG (Portable Network Graphics)". An unknown key gives its
// upper-case form only.
QString outputFormatLabel(const QString& key, bool withDescription);

#pragma once

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

// One format a conversion can write.
struct OutputFormat {
    QString key;               // lower-case extension written to output files
    std::int32_t formatId = 0; // FreeImage FREE_IMAGE_FORMAT, or a DevIL image type (above 1000)
    QString extension;         // same as key
    QString description;       // human-readable format name
    QString bitDepths;         // permitted bits per pixel, ascending, comma-separated: "1,4,8,24,32,48"
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

#pragma once

// engine/formats: the format catalogue. Every per-format fact is a column of its format's row
// (writer, depths, encoder settings, save flags, writer layout, size cap, memory factor, metadata
// carried), so no other file compares a format key; save_flags.h holds the flag functions the
// rows name. Includes only engine/core.

#include "app/settings.h"
#include "app/settings_table.h"
#include "engine/core/job_state.h"
#include "engine/core/page_metadata.h"

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

// Who encodes a format.
enum class OutputWriter : std::uint8_t {
    FreeImage, // FreeImage's encoder
    Devil,     // DevIL's (formats Debian's FreeImage cannot write)
    JpegXr,    // jxrlib: Debian's FreeImage cannot encode JPEG XR ("Invalid instruction", a broken file)
    Icon,      // FreeImage's for squares of 16 to 256 pixels, our own for every other page
    Jpeg2000,  // FreeImage's for pages whose sides are all 32 pixels or more, our own for smaller ones
};

// The writer that takes a page a band of rows at a time and writes the file the format's FreeImage
// writer would write for the whole page (engine/write/row_writer.h); None: the page is written whole.
enum class RowWriterKind : std::uint8_t { None, Pnm, Tiff, Jpeg, Png };

// What index 1 of a 1-bit page means in the file. FreeImage's writers of these formats store the
// palette indices as they are, so a page whose palette runs the other way is flipped first.
enum class BilevelIndex : std::uint8_t { AsStored, OneIsBlack, OneIsWhite };

// The form a writer expects a page in where formats differ; the bit-depth step brings it there.
struct WriterLayout {
    bool rgb555 = false;     // 16 bits are 5-5-5, not 5-6-5
    bool greyEight = false;  // 8 bits are grey levels, not palette indices
    bool greyOnly = false;   // holds nothing but grey: 8 bits turn a colour page grey even at Auto
    bool bilevelOne = false; // 1 bit is black and white: the format has no palette
    BilevelIndex bilevelIndex = BilevelIndex::AsStored;
};

// One encoder setting of an output format (its Output group row), with the label the console echo
// gives it. The echo shows a choice by its keyword, a flag as 0 or 1 and anything else as a number.
struct FormatSetting {
    const SettingDescriptor* setting = nullptr;
    QString echoLabel; // "JPG Chroma Subsampling"
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
    // The compression a writer without a choice always uses, as a Preferences catalogue key
    // ("RLE"), shown but not stored; nullptr for the others.
    const char* fixedCompression = nullptr;
    // The writer flags of the Output settings; nullptr for a format without options (flags 0).
    int (*saveFlags)(const OutputSettings& output) = nullptr;

    // How the page is written.
    bool devilMipmaps = false; // DevIL writes the chain of mipmaps below the page
    // The setting that, at 1 (Exact), sends 8-bit pages to our own writer, which keeps the page's
    // colour table as it is; nullptr when FreeImage always writes the format.
    const SettingDescriptor* exactColourTable = nullptr;
    WriterLayout layout{};
    // Pages larger than sizeCap x sizeCap are scaled to exactly that first (icons); 0: no cap.
    int sizeCap = 0;
    // Memory the encoder holds besides the page it is given, per pixel of that page: its own
    // converted copy (DevIL's buffer, OpenJPEG's 32-bit samples, WebP's planes, float copies).
    // 0 for the writers that encode line by line.
    double writerBytesPerPixel = 0;

    CarriedMetadata metadata{};
    // The writer stores 16-bit red, green, blue and alpha: the automatic depth writes a page with
    // 16-bit alpha at 64 bits (a depth no setting offers) rather than dropping its alpha.
    bool sixteenBitAlpha = false;
    // The streamed form of the writer, for pages too large to hold whole.
    RowWriterKind rowWriter = RowWriterKind::None;
    // The save flag that writes CMYK, 0 for a format without CMYK: with it set, CMYK pages keep
    // their CMYK decode.
    int cmykSaveFlag = 0;
    // The encoder setting a run refuses outside its declared range (before anything is converted);
    // nullptr when none is checked.
    const SettingDescriptor* checkedSetting = nullptr;

    // Whether a page of this size is scaled down to the size cap before it is written.
    bool beyondSizeCap(double width, double height) const
    {
        return sizeCap > 0 && (width > sizeCap || height > sizeCap);
    }

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
// The extensions of an input group in the order its rows list them: "bmp", "rle", "dib".
QStringList inputGroupExtensions(const QString& group);

// The input groups a watermark picture may be, in the order the picture's file dialog lists
// them: {"png", "bmp", "jpg"}.
const QStringList& watermarkPictureGroups();
// Whether a picture of the format Qt's image reader names (lower case: "png", "jpeg") is one of
// the watermark picture groups.
bool isWatermarkPictureFormat(const QString& readerFormat);
// Whether `extension` is in the accepted input extension list (exact comparison).
bool isInputExtension(const QString& extension);

// Entry of an output key, or nullptr.
const OutputFormat* findOutputFormat(const QString& key);
// Entry of an output key; for an unknown key a row without any particular fact (no bit depths,
// FreeImage's writer, no flags, no cap, no metadata).
const OutputFormat& outputFormatFor(const QString& key);
// Whether the key is written through DevIL ("dds", "pcx", "psd") rather than FreeImage.
bool isDevilOutputFormat(const QString& key);

// The value of the output format's own bit-depth setting; 0 (Auto) for an unknown key.
int formatBitDepthSetting(const Settings& settings, const QString& outputKey);

// Values of a bitDepths text in list order. Like the original reading, the count is the number of
// commas plus one and a field that is not a number reads as 0.
std::vector<int> readBitDepths(const QString& bitDepths);
// Bit depths permitted for an output key, ascending; empty for an unknown key.
std::vector<int> permittedBitDepths(const QString& key);

// The depth Auto picks: the first permitted depth of the format that is at least sourceBpp, or
// the format's largest depth when none is. 0 for an unknown key. What the samples are refines it:
// a page with 16-bit alpha gets 64 bits where the writer stores them (sixteenBitAlpha), and a page
// whose 16 bits are one grey sample never gets the 16-bit colour depth (5-5-5 or 5-6-5), which
// would tint its greys and keep only 32 to 64 levels of them.
int autoBitDepth(const QString& outputKey, int sourceBpp, SourceSamples samples = SourceSamples::Standard);

// The writer flags of an output format, computed once per run from the Output settings by the
// format's catalogue row: FreeImage's save flags for the FreeImage formats (jpg 95 |
// JPEG_SUBSAMPLING_444 by default, png PNG_Z_NO_COMPRESSION, tiff TIFF_NONE), JXR_LOSSLESS for jxr,
// 0 for keys without options.
int computeSaveFlags(const QString& outputKey, const Settings& settings);

// Filter text of the file-open dialog for input files, as description|patterns pairs each ended
// by "|": "All Supported Files|*.tif;*.tiff|Tagged Image File Format|*.tiff;*.tif|All Files (*.*)|*.*".
QString inputFileFilter();
// The same algorithm over any extension list (patterns of one description are joined newest first).
QString inputFileFilter(const QStringList& extensions, const InputFormatTable& table);

// "PNG", or with the description "PNG (Portable Network Graphics)". An unknown key gives its
// upper-case form only.
QString outputFormatLabel(const QString& key, bool withDescription);

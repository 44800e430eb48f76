#include "cli/option_table.h"

#include "cli/option_values.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/memory_budget.h"

#include <algorithm>
#include <vector>

namespace {

// The settings row of a "Group/Key" name; every name of the tables below is one.
const SettingDescriptor* S(const char* name)
{
    const QString text = QString::fromLatin1(name);
    const qsizetype slash = text.indexOf(u'/');
    const SettingDescriptor* setting = findSetting(text.left(slash), text.mid(slash + 1));
    Q_ASSERT(setting != nullptr);
    return setting;
}

constexpr QLatin1StringView operator""_n(const char* text, std::size_t size)
{
    return QLatin1StringView(text, static_cast<qsizetype>(size));
}

using K = OptionKind;
using G = OptionGroup;

// clang-format off
// The options before the output formats' own.
std::vector<OptionSpec> leadingOptions()
{
    return {
    OptionSpec{.shortName = "-I"_n, .longName = "--INPUT"_n, .kind = K::Input, .group = G::Main,
               .help = "Input: a TIFF file, a list file (.txt or .lst, one path per line) or a folder (converted with its subfolders)", .valueHint = "FILE"},
    OptionSpec{.shortName = "-O"_n, .longName = "--OUTPUT"_n, .kind = K::Output, .group = G::Main,
               .help = "Output folder (must exist)", .valueHint = "PATH", .defaultText = "the folder of the input"},
    OptionSpec{.shortName = "-C"_n, .longName = "--CONVERSION"_n, .kind = K::Conversion, .group = G::Main,
               .help = "Output format, in lower case", .valueHint = "STR", .defaultText = outputFormatList().value(0)},

    OptionSpec{.longName = "--DDS-LOAD-AS"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/DDS Load As"),
               .help = "Channel order of DDS input"},
    OptionSpec{.longName = "--GIF-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/GIF Frame Loading"),
               .help = "Frames of GIF input to convert"},
    OptionSpec{.longName = "--ICO-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/ICO Frame Loading"),
               .help = "Frames of ICO input to convert"},
    OptionSpec{.longName = "--RAW-LOAD-AS"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/RAW Load As"),
               .help = "Depth of camera RAW input"},
    OptionSpec{.longName = "--RAW-HEADER-SIZE"_n, .kind = K::Number, .group = G::Input, .setting = S("Input/RAW Header Size"),
               .help = "Header size of RAW input in bytes"},
    OptionSpec{.longName = "--RAW-WIDTH"_n, .kind = K::Number, .group = G::Input, .setting = S("Input/RAW Image Width"),
               .help = "Width of RAW input in pixels"},
    OptionSpec{.longName = "--RAW-HEIGHT"_n, .kind = K::Number, .group = G::Input, .setting = S("Input/RAW Image Height"),
               .help = "Height of RAW input in pixels"},
    OptionSpec{.longName = "--RAW-TONE-MAPPING"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/RAW Tone Mapping"),
               .help = "Tone mapping of RAW input"},
    OptionSpec{.longName = "--TIFF-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .setting = S("Input/TIFF Frame Loading"),
               .help = "Pages of a multi-page TIFF to convert (each page becomes its own numbered file)"},
    };
}

// The encoder options of the output formats; each sets one encoder setting of a catalogue row.
std::vector<OptionSpec> encoderOptions()
{
    return {
    OptionSpec{.longName = "--BMP-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/BMP Compression"),
               .help = "BMP compression"},
    OptionSpec{.longName = "--BMP-COLOR-TABLE"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/BMP Color Table"),
               .help = "BMP colour table"},
    OptionSpec{.longName = "--EXR-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/EXR Compression"),
               .help = "EXR compression"},
    OptionSpec{.longName = "--JPG-QUALITY"_n, .kind = K::Number, .group = G::Output, .setting = S("Output/JPG Quality"), .help = "JPG quality"},
    OptionSpec{.longName = "--JPG-CHROMA"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/JPG Chroma"),
               .help = "JPG chroma subsampling"},
    OptionSpec{.longName = "--JPG-SAVE-AS"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/JPG Save As"),
               .help = "JPG encoding"},
    OptionSpec{.longName = "--PNG-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/PNG Compression"),
               .help = "PNG compression"},
    OptionSpec{.longName = "--PNG-INTERLACED"_n, .kind = K::Switch, .group = G::Output, .setting = S("Output/PNG Interlaced"), .help = "Write interlaced PNG"},
    OptionSpec{.longName = "--TGA-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/TGA Compression"),
               .help = "TGA compression"},
    OptionSpec{.longName = "--TIFF-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/TIFF Compression"),
               .help = "TIFF compression"},
    OptionSpec{.longName = "--TIFF-COLOR-MODEL"_n, .kind = K::Keyword, .group = G::Output, .setting = S("Output/TIFF Color Model"),
               .help = "TIFF colour model (LAB is written as RGB)"},
    };
}

// The options after the output formats' own.
std::vector<OptionSpec> trailingOptions()
{
    return {
    OptionSpec{.longName = "--ROTATION-TYPE"_n, .kind = K::Keyword, .group = G::Transform, .setting = S("Transform/Image Rotation Type"),
               .help = "Rotation method: SIMPLE (the page grows to hold the turned image) or ADVANCED (the page keeps its size, its corners filled from the image)"},
    OptionSpec{.longName = "--ROTATION"_n, .kind = K::Number, .group = G::Transform, .setting = S("Transform/Image Rotation"),
               .enables = S("Transform/Do Image Rotation"), .help = "Rotate by NUM degrees (turns rotation on)"},
    OptionSpec{.longName = "--ROTATION-BACK-COLOR"_n, .kind = K::Text, .group = G::Transform, .setting = S("Transform/Image Rotation Back Color"),
               .help = "Background colour of the corners a simple rotation uncovers", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WIDTH"_n, .kind = K::Number, .group = G::Transform, .setting = S("Transform/Image Width"),
               .enables = S("Transform/Do Image Resize"), .help = "Output width (turns resizing on; 0 is refused)"},
    OptionSpec{.longName = "--WIDTH-UNIT"_n, .kind = K::Keyword, .group = G::Transform, .setting = S("Transform/Image Width Unit"),
               .help = "Unit of --width"},
    OptionSpec{.longName = "--HEIGHT"_n, .kind = K::Number, .group = G::Transform, .setting = S("Transform/Image Height"),
               .enables = S("Transform/Do Image Resize"), .help = "Output height (turns resizing on; 0 is refused)"},
    OptionSpec{.longName = "--HEIGHT-UNIT"_n, .kind = K::Keyword, .group = G::Transform, .setting = S("Transform/Image Height Unit"),
               .help = "Unit of --height"},
    OptionSpec{.longName = "--KEEP-ASPECT-RATIO"_n, .kind = K::Switch, .group = G::Transform, .setting = S("Transform/Keep Aspect Ratio"),
               .help = "Keep the aspect ratio when resizing"},
    OptionSpec{.longName = "--RESIZE-TYPE"_n, .kind = K::Keyword, .group = G::Transform, .setting = S("Transform/Image Resize Type"),
               .help = "Resize every image, or only images larger than the size given"},
    OptionSpec{.longName = "--RESIZE-ALGORITHM"_n, .kind = K::Keyword, .group = G::Transform, .setting = S("Transform/Image Resize Algorithm"),
               .help = "Resampling filter"},
    OptionSpec{.longName = "--FLIP-HORIZONTAL"_n, .kind = K::Switch, .group = G::Transform, .setting = S("Transform/Do Image Flip Horizontal"),
               .help = "Flip the output image horizontally"},
    OptionSpec{.longName = "--FLIP-VERTICAL"_n, .kind = K::Switch, .group = G::Transform, .setting = S("Transform/Do Image Flip Vertical"),
               .help = "Flip the output image vertically"},

    OptionSpec{.longName = "--BRIGHTNESS"_n, .kind = K::Number, .group = G::Adjustment, .setting = S("Adjustment/Image Brightness"),
               .enables = S("Adjustment/Do Image Color Correction"), .help = "Brightness (turns colour correction on)"},
    OptionSpec{.longName = "--CONTRAST"_n, .kind = K::Number, .group = G::Adjustment, .setting = S("Adjustment/Image Contrast"),
               .enables = S("Adjustment/Do Image Color Correction"), .help = "Contrast (turns colour correction on)"},
    OptionSpec{.longName = "--GAMMA"_n, .kind = K::Real, .group = G::Adjustment, .setting = S("Adjustment/Image Gamma"),
               .enables = S("Adjustment/Do Image Color Correction"), .help = "Gamma, with \".\" as decimal point (turns colour correction on)"},
    OptionSpec{.longName = "--INVERT"_n, .kind = K::Switch, .group = G::Adjustment, .setting = S("Adjustment/Image Invert"),
               .enables = S("Adjustment/Do Image Color Correction"), .help = "Invert the colours (turns colour correction on)"},
    OptionSpec{.longName = "--GREYSCALE"_n, .kind = K::Switch, .group = G::Adjustment, .setting = S("Adjustment/Do Image Greyscale"),
               .help = "Convert to greyscale"},
    OptionSpec{.longName = "--THRESHOLD"_n, .kind = K::Number, .group = G::Adjustment, .setting = S("Adjustment/Image Threshold"),
               .enables = S("Adjustment/Do Image Threshold"), .help = "Convert to black and white at threshold NUM"},

    OptionSpec{.longName = "--FR-SOLID-LEFT"_n, .kind = K::Number, .group = G::Frame, .setting = S("Frame/Solid Left"),
               .enables = S("Frame/Do Frame"), .help = "Left frame width in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-RIGHT"_n, .kind = K::Number, .group = G::Frame, .setting = S("Frame/Solid Right"),
               .enables = S("Frame/Do Frame"), .help = "Right frame width in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-TOP"_n, .kind = K::Number, .group = G::Frame, .setting = S("Frame/Solid Top"),
               .enables = S("Frame/Do Frame"), .help = "Top frame height in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-BOTTOM"_n, .kind = K::Number, .group = G::Frame, .setting = S("Frame/Solid Bottom"),
               .enables = S("Frame/Do Frame"), .help = "Bottom frame height in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-LEFT-COLOR"_n, .kind = K::Text, .group = G::Frame, .setting = S("Frame/Solid Left Color"),
               .help = "Left frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-RIGHT-COLOR"_n, .kind = K::Text, .group = G::Frame, .setting = S("Frame/Solid Right Color"),
               .help = "Right frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-TOP-COLOR"_n, .kind = K::Text, .group = G::Frame, .setting = S("Frame/Solid Top Color"),
               .help = "Top frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-BOTTOM-COLOR"_n, .kind = K::Text, .group = G::Frame, .setting = S("Frame/Solid Bottom Color"),
               .help = "Bottom frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-OPACITY"_n, .kind = K::Number, .group = G::Frame, .setting = S("Frame/Solid Opacity"),
               .profileKey = "--WM-SOLID-OPACITY"_n, .help = "Frame opacity (255 = opaque)"},

    OptionSpec{.longName = "--WM-TEXT"_n, .kind = K::Text, .group = G::Watermark, .setting = S("Watermark/Text"),
               .enables = S("Watermark/Do Watermark"), .help = "Text watermark (turns the text watermark on)", .valueHint = "TEXT"},
    OptionSpec{.longName = "--WM-FONT"_n, .kind = K::Text, .group = G::Watermark, .setting = S("Watermark/Font"),
               .help = "Font family of the text watermark", .valueHint = "NAME"},
    OptionSpec{.longName = "--WM-FONT-SIZE"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Font Size"), .help = "Font size in points"},
    OptionSpec{.longName = "--WM-FONT-LEADING"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Font Leading"), .help = "Extra space between lines in pixels"},
    OptionSpec{.longName = "--WM-FONT-COLOR"_n, .kind = K::Text, .group = G::Watermark, .setting = S("Watermark/Font Color"),
               .help = "Text colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WM-FONT-STYLE"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Font Style"),
               .help = "Font style"},
    OptionSpec{.longName = "--WM-FONT-EFFECT"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Font Effect"),
               .help = "Font effect"},
    OptionSpec{.longName = "--WM-TEXT-ANTIALIASING"_n, .kind = K::Switch, .group = G::Watermark, .setting = S("Watermark/Text Antialiasing"),
               .help = "Draw the text anti-aliased"},
    OptionSpec{.longName = "--WM-TEXT-ALIGNMENT"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Text Alignment"),
               .help = "Alignment of the text lines"},
    OptionSpec{.longName = "--WM-TEXT-PADDING"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Text Padding"), .help = "Padding around the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Text Opacity"), .help = "Text opacity (255 = opaque)"},
    OptionSpec{.longName = "--WM-BACK-COLOR"_n, .kind = K::Text, .group = G::Watermark, .setting = S("Watermark/Back Color"),
               .help = "Background colour behind the text", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WM-BACK-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Back Opacity"), .help = "Opacity of the box behind the text"},
    OptionSpec{.longName = "--WM-TEXT-BOUNDARY"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Text Boundary"),
               .help = "Place the text within the image or within the frame"},
    OptionSpec{.longName = "--WM-TEXT-POSITION"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Text Position"),
               .help = "Position of the text"},
    OptionSpec{.longName = "--WM-TEXT-X-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Text X Offset"), .help = "Horizontal offset of the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-Y-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Text Y Offset"), .help = "Vertical offset of the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-ROTATION"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Text Rotation"), .help = "Rotation of the text in degrees"},
    OptionSpec{.longName = "--WM-TEXT-SIZE"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Text Size"),
               .help = "Size mode of the text"},
    OptionSpec{.longName = "--WM-IMAGE"_n, .kind = K::Text, .group = G::Watermark, .setting = S("Watermark/Image"),
               .enables = S("Watermark/Do Watermark"), .enableValue = 2, .help = "Picture watermark, a PNG or JPEG file (turns the picture watermark on)", .valueHint = "FILE"},
    OptionSpec{.longName = "--WM-IMAGE-GREYSCALE"_n, .kind = K::Switch, .group = G::Watermark, .setting = S("Watermark/Image Greyscale"),
               .help = "Draw the picture in greyscale"},
    OptionSpec{.longName = "--WM-IMAGE-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Image Opacity"), .help = "Picture opacity (255 = opaque)"},
    OptionSpec{.longName = "--WM-IMAGE-BOUNDARY"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Image Boundary"),
               .help = "Place the picture within the image or within the frame"},
    OptionSpec{.longName = "--WM-IMAGE-POSITION"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Image Position"),
               .help = "Position of the picture"},
    OptionSpec{.longName = "--WM-IMAGE-X-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Image X Offset"), .help = "Horizontal offset of the picture in pixels"},
    OptionSpec{.longName = "--WM-IMAGE-Y-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Image Y Offset"), .help = "Vertical offset of the picture in pixels"},
    OptionSpec{.longName = "--WM-IMAGE-ROTATION"_n, .kind = K::Number, .group = G::Watermark, .setting = S("Watermark/Image Rotation"), .help = "Rotation of the picture in degrees"},
    OptionSpec{.longName = "--WM-IMAGE-SIZE"_n, .kind = K::Keyword, .group = G::Watermark, .setting = S("Watermark/Image Size"),
               .help = "Size mode of the picture"},

    OptionSpec{.longName = "--FILENAME-MASK"_n, .kind = K::Text, .group = G::Advanced, .setting = S("Advanced/Filename Mask"),
               .help = "Output file name, with placeholders such as %filename% and %ext%", .valueHint = "STR"},
    OptionSpec{.longName = "--FILE-TIMESTAMP"_n, .kind = K::Keyword, .group = G::Advanced, .setting = S("Advanced/File Timestamp"),
               .help = "Modification time of the output files"},
    OptionSpec{.longName = "--FILE-TIMESTAMP-CUSTOM"_n, .kind = K::Number, .group = G::Advanced, .setting = S("Advanced/Custom Timestamp"),
               .help = "The time for --file-timestamp=custom: local time as seconds since 1970-01-01 00:00:00",
               .readOnlyWhen = S("Advanced/File Timestamp"), .readOnlyWhenValue = 2},
    OptionSpec{.longName = "--NO-SUBFOLDERS"_n, .kind = K::Switch, .group = G::Advanced, .setting = S("Advanced/Keep Subfolders"), .switchValue = 0,
               .help = "Write every output file into the output folder itself, not into subfolders mirroring the input folder"},
    OptionSpec{.longName = "--STRIP-METADATA"_n, .kind = K::Switch, .group = G::Advanced, .setting = S("Advanced/Strip Metadata"),
               .help = "Write no colour profile, XMP, EXIF or text tags (smaller files for the web)"},
    OptionSpec{.longName = "--PROFILE"_n, .kind = K::Profile, .group = G::Advanced,
               .help = "Apply the [CLI] group of a profile file at this place of the command line", .valueHint = "FILE"},

    OptionSpec{.longName = "--DRY-RUN"_n, .kind = K::DryRun, .group = G::Batches,
               .help = "Print the plan (one line per output: input, output, and whether it exists, collides or would replace an input); convert and write nothing; exit 1 on a collision"},
    OptionSpec{.longName = "--REPORT"_n, .kind = K::Report, .group = G::Batches,
               .help = "After the run, write one record per input file (status, reason, outputs, bytes, time): JSON Lines for .jsonl or .json, CSV for .csv", .valueHint = "FILE"},
    OptionSpec{.longName = "--UPDATE"_n, .kind = K::Update, .group = G::Batches,
               .help = "Skip an input whose every output exists and is not older than the input"},
    OptionSpec{.longName = "--SHARD"_n, .kind = K::Shard, .group = G::Batches,
               .help = "Convert only shard K of N: the files whose position in the list, from 0, modulo N is K-1", .valueHint = "K/N"},

    OptionSpec{.shortName = "-D"_n, .longName = "--DEBUG"_n, .kind = K::Debug, .group = G::Other, .help = "Print every effective setting and each file's result"},
    OptionSpec{.shortName = "-Q"_n, .longName = "--QUIET"_n, .kind = K::Quiet, .group = G::Other, .help = "Print only errors, the debug lines and the stop messages"},
    OptionSpec{.longName = "--THREADS"_n, .kind = K::Threads, .group = G::Other,
               .help = "How many files are converted at once (1 converts one after the other)", .valueHint = "N", .defaultText = "one per core"},
    OptionSpec{.longName = "--MEMORY"_n, .kind = K::Memory, .group = G::Other,
               .help = "Memory the pages being converted may take at once, in bytes or with K, M, G or T (512M, 2G); files wait for room, and a page larger than this is converted alone", .valueHint = "SIZE", .defaultText = "half of the memory"},
    OptionSpec{.longName = "--STRICT"_n, .kind = K::Strict, .group = G::Other,
               .help = "Treat every warning as an error: each is written as an \"Error: \" line and nothing is converted (exit 1); for scripts and scheduled jobs"},
    OptionSpec{.shortName = "-P"_n, .longName = "--PAUSE"_n, .kind = K::Pause, .group = G::Other, .help = "Wait for a key at exit (only when run from a terminal)"},
    };
}
// clang-format on

// The bit-depth option of an output format, named and described from its catalogue row.
OptionSpec bitDepthOption(const OutputFormat& format)
{
    return OptionSpec{.longName = QStringLiteral("--") + format.key.toUpper() + QStringLiteral("-BPP"),
                      .kind = K::Number,
                      .group = G::Output,
                      .setting = format.bitDepthSetting,
                      .help = format.key.toUpper() + QStringLiteral(" bit depth (0: automatic)")};
}

std::vector<OptionSpec> makeOptionTable()
{
    std::vector<OptionSpec> table = leadingOptions();
    const std::vector<OptionSpec> encoder = encoderOptions();
    for (const OutputFormat& format : outputFormatTable()) {
        table.push_back(bitDepthOption(format));
        for (const FormatSetting& setting : format.encoderSettings) {
            const auto option = std::find_if(encoder.begin(), encoder.end(), [&setting](const OptionSpec& candidate) {
                return candidate.setting == setting.setting;
            });
            Q_ASSERT(option != encoder.end());
            if (option != encoder.end()) {
                table.push_back(*option);
            }
        }
    }
    for (OptionSpec& option : trailingOptions()) {
        table.push_back(std::move(option));
    }
    return table;
}

const std::vector<OptionSpec>& options()
{
    static const std::vector<OptionSpec> table = makeOptionTable();
    return table;
}

} // namespace

bool OptionSpec::takesValue() const
{
    switch (kind) {
    case OptionKind::Switch:
    case OptionKind::Debug:
    case OptionKind::Quiet:
    case OptionKind::Pause:
    case OptionKind::DryRun:
    case OptionKind::Update:
    case OptionKind::Strict:
        return false;
    default:
        return true;
    }
}

QString OptionSpec::valueName() const
{
    if (!valueHint.isEmpty()) {
        return valueHint;
    }
    switch (kind) {
    case OptionKind::Number:
    case OptionKind::Real:
    case OptionKind::Threads:
        return QStringLiteral("NUM");
    case OptionKind::Keyword:
        return QStringLiteral("KEY");
    default:
        return QStringLiteral("TEXT");
    }
}

bool OptionSpec::isSetting() const
{
    switch (kind) {
    case OptionKind::Keyword:
    case OptionKind::Number:
    case OptionKind::Real:
    case OptionKind::Text:
    case OptionKind::Switch:
        return true;
    default:
        return false;
    }
}

bool OptionSpec::isRunLimit() const
{
    return kind == OptionKind::Threads || kind == OptionKind::Memory || kind == OptionKind::Strict;
}

ConsoleError applyRunLimit(const OptionSpec& option, QStringView value, RunLimits& limits)
{
    const QString given = option.longName.toLower() + u'=' + value.toString();
    if (option.kind == OptionKind::Threads) {
        limits.threads = readNumber(value);
        if (limits.threads < 1) {
            return {QStringLiteral("Invalid threads value"),
                    QStringLiteral("  %1: give a whole number from 1 up, as in --threads=4").arg(given)};
        }
    } else if (option.kind == OptionKind::Memory) {
        const std::optional<std::uint64_t> bytes = readMemorySize(value);
        limits.memoryBudget = bytes.value_or(0);
        if (!bytes) {
            return {QStringLiteral("Invalid memory value"),
                    QStringLiteral("  %1: give a size in bytes or with K, M, G or T, as in --memory=512M or "
                                   "--memory=2G")
                        .arg(given)};
        }
    } else if (option.kind == OptionKind::Strict) {
        // A switch: present is on, whatever the value.
        limits.strict = true;
    }
    return {};
}

std::span<const OptionSpec> optionTable()
{
    return options();
}

const OptionSpec* findOption(QStringView upperName)
{
    if (upperName.isEmpty()) {
        return nullptr;
    }
    for (const OptionSpec& option : options()) {
        if (upperName == option.longName || (!option.shortName.isEmpty() && upperName == option.shortName)) {
            return &option;
        }
    }
    return nullptr;
}

const OptionSpec* findProfileKey(QStringView upperKey)
{
    for (const OptionSpec& option : options()) {
        if ((option.isSetting() || option.isRunLimit()) && upperKey == option.profileName()) {
            return &option;
        }
    }
    return nullptr;
}

const OutputFormat* optionFormat(const OptionSpec& option)
{
    if (option.setting == nullptr) {
        return nullptr;
    }
    for (const OutputFormat& format : outputFormatTable()) {
        if (format.bitDepthSetting == option.setting) {
            return &format;
        }
        for (const FormatSetting& setting : format.encoderSettings) {
            if (setting.setting == option.setting) {
                return &format;
            }
        }
    }
    return nullptr;
}

ChoiceList optionChoices(const OptionSpec& option)
{
    return option.kind == OptionKind::Keyword && option.setting != nullptr ? option.setting->valid.choices
                                                                           : ChoiceList();
}

QStringList optionKeywords(const OptionSpec& option)
{
    return keywordNames(optionChoices(option));
}

std::int32_t optionKeywordValue(const OptionSpec& option, QStringView keyword)
{
    return keywordValue(optionChoices(option), keyword);
}

void applySetting(const OptionSpec& option, const QString& value, Settings& settings)
{
    if (option.setting == nullptr) {
        return;
    }
    switch (option.kind) {
    case OptionKind::Keyword:
        setSettingNumber(settings, *option.setting, optionKeywordValue(option, value));
        break;
    case OptionKind::Number:
        setSettingNumber(settings, *option.setting, readNumber(value));
        break;
    case OptionKind::Real:
        setSettingReal(settings, *option.setting, readReal(value));
        break;
    case OptionKind::Text:
        setSettingText(settings, *option.setting, value);
        break;
    case OptionKind::Switch:
        setSettingNumber(settings, *option.setting, option.switchValue);
        break;
    default:
        return;
    }
    if (option.enables != nullptr) {
        setSettingNumber(settings, *option.enables, option.enableValue);
    }
}

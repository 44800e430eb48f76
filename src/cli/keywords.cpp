#include "cli/keywords.h"

#include "engine/formats/format_catalogue.h"

#include <span>

namespace {

struct Keyword {
    const char* name;
    std::int32_t value;
};

constexpr Keyword ddsLoad[] = {{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}};
constexpr Keyword rawLoad[] = {{"AUTO", 0}, {"8", 1}, {"16", 2}, {"24", 3}, {"48HS", 4}, {"48", 5}};
constexpr Keyword frameSelection[] = {{"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}};
constexpr Keyword toneMapping[] = {{"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}};
// Every compression option accepts every keyword; what the echo calls a stored value is the
// format's own (its catalogue row names them).
constexpr Keyword compression[] = {
    {"NONE", 0},    {"RLE", 1},          {"ZIP", 1},   {"PIZ", 2},       {"PXR24", 3},     {"B44", 4},
    {"ZLIB1", 1},   {"ZLIB6", 2},        {"ZLIB9", 3}, {"CCITTFAX3", 1}, {"CCITTFAX4", 2}, {"PACKBITS", 3},
    {"DEFLATE", 4}, {"ADOBEDEFLATE", 5}, {"LZW", 6},   {"JPEG", 7},      {"LOGLUV", 8},
};
constexpr Keyword colourTable[] = {{"AUTO", 0}, {"EXACT", 1}};
constexpr Keyword colourModel[] = {{"RGB", 0}, {"CMYK", 1}, {"LAB", 2}};
constexpr Keyword chroma[] = {{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}};
constexpr Keyword jpegSaveMode[] = {{"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}};
constexpr Keyword rotationType[] = {{"SIMPLE", 0}, {"ADVANCED", 1}};
constexpr Keyword unit[] = {{"PIXELS", 0}, {"PERCENT", 1}};
constexpr Keyword resizeType[] = {{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}};
constexpr Keyword resizeAlgorithm[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                       {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
constexpr Keyword fontStyle[] = {{"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}};
// "STRIKETHROUGHT" is the keyword users have always typed; it stays as it is.
constexpr Keyword fontEffect[] = {{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}};
constexpr Keyword alignment[] = {{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}};
constexpr Keyword boundary[] = {{"IMAGE", 0}, {"FRAME", 1}};
constexpr Keyword position[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
constexpr Keyword sizeMode[] = {{"FIXED", 0}};
constexpr Keyword timestamp[] = {{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}};
constexpr Keyword frame[] = {{"NONE", 0}, {"SOLID", 1}};
constexpr Keyword watermark[] = {{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}};

std::span<const Keyword> keywordsOf(KeywordTable table)
{
    switch (table) {
    case KeywordTable::DdsLoad:
        return ddsLoad;
    case KeywordTable::RawLoad:
        return rawLoad;
    case KeywordTable::FrameSelection:
        return frameSelection;
    case KeywordTable::ToneMapping:
        return toneMapping;
    case KeywordTable::Compression:
        return compression;
    case KeywordTable::ColourTable:
        return colourTable;
    case KeywordTable::ColourModel:
        return colourModel;
    case KeywordTable::Chroma:
        return chroma;
    case KeywordTable::JpegSaveMode:
        return jpegSaveMode;
    case KeywordTable::RotationType:
        return rotationType;
    case KeywordTable::Unit:
        return unit;
    case KeywordTable::ResizeType:
        return resizeType;
    case KeywordTable::ResizeAlgorithm:
        return resizeAlgorithm;
    case KeywordTable::FontStyle:
        return fontStyle;
    case KeywordTable::FontEffect:
        return fontEffect;
    case KeywordTable::Alignment:
        return alignment;
    case KeywordTable::Boundary:
        return boundary;
    case KeywordTable::Position:
        return position;
    case KeywordTable::SizeMode:
        return sizeMode;
    case KeywordTable::Timestamp:
        return timestamp;
    case KeywordTable::Frame:
        return frame;
    case KeywordTable::Watermark:
        return watermark;
    }
    return {};
}

} // namespace

std::int32_t keywordValue(KeywordTable table, QStringView text)
{
    const QString upper = text.toString().toUpper();
    for (const Keyword& keyword : keywordsOf(table)) {
        if (upper == QLatin1StringView(keyword.name)) {
            return keyword.value;
        }
    }
    return 0;
}

QString keywordText(KeywordTable table, std::int32_t value, QStringView formatKey)
{
    if (table == KeywordTable::Compression) {
        const OutputFormat* format = findOutputFormat(formatKey.toString());
        return format != nullptr && value >= 0 && value < format->compressionKeywords.size()
                   ? format->compressionKeywords.at(value).toLower()
                   : QString();
    }
    for (const Keyword& keyword : keywordsOf(table)) {
        if (keyword.value == value) {
            return QString::fromLatin1(keyword.name).toLower();
        }
    }
    return {};
}

QStringList keywordNames(KeywordTable table)
{
    QStringList names;
    for (const Keyword& keyword : keywordsOf(table)) {
        names << QString::fromLatin1(keyword.name);
    }
    return names;
}

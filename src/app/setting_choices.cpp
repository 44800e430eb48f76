#include "app/setting_choices.h"

// Only for the constants of the writer flags and resampling filters some rows hand on; nothing here
// calls the library.
#include <FreeImage.h>

namespace {

// clang-format off
// Days between two automatic update checks; 0 never checks.
constexpr Choice updateIntervalRows[] = {
    {"", "Every day", 1}, {"", "Every week", 7}, {"", "Every month", 30}, {"", "Every 3 months", 90},
    {"", "Every 6 months", 180}, {"", "Never", 0},
};
// Toolbar icons, square, in pixels.
constexpr Choice toolbarSizeRows[] = {
    {"", "Small", 16}, {"", "Medium", 24}, {"", "Large", 32}, {"", "Extra Large", 48}, {"", "Huge", 64},
};
constexpr Choice ddsChannelOrderRows[] = {{"AUTO", "Auto"}, {"BGRA", "BGRA"}, {"RGBA", "RGBA"}};
constexpr Choice frameSelectionRows[] = {
    {"ALL", "All Frames"}, {"FIRST", "First Frame"}, {"MIDDLE", "Middle Frame"}, {"LAST", "Last Frame"},
    {"RANDOM", "Random Frame"},
};
constexpr Choice rawDepthRows[] = {
    {"AUTO", "Auto"}, {"8", "RGB8"}, {"16", "RGB16"}, {"24", "RGB24"}, {"48HS", "RGB48HS"}, {"48", "RGB48"},
};
constexpr Choice toneMappingRows[] = {
    {"NONE", "None"}, {"LINEAR", "Linear"}, {"AL", "Adaptive Logarithmic"}, {"DRR", "DR Reduction"},
    {"GD", "Gradient Domain"},
};

constexpr Choice bmpCompressionRows[] = {{"NONE", "None", 0}, {"RLE", "RLE", BMP_SAVE_RLE}};
constexpr Choice colourTableRows[] = {{"AUTO", "Auto"}, {"EXACT", "Exact"}};
constexpr Choice exrCompressionRows[] = {
    {"NONE", "None", EXR_NONE}, {"ZIP", "ZIP", EXR_ZIP}, {"PIZ", "PIZ", EXR_PIZ}, {"PXR24", "PXR24", EXR_PXR24},
    {"B44", "B44", EXR_B44},
};
constexpr Choice chromaSubsamplingRows[] = {
    {"NONE", "None", JPEG_SUBSAMPLING_444}, {"LOW", "Low", JPEG_SUBSAMPLING_422},
    {"MEDIUM", "Medium", JPEG_SUBSAMPLING_420}, {"HIGH", "High", JPEG_SUBSAMPLING_411},
};
constexpr Choice jpegEncodingRows[] = {
    {"STANDARD", "Baseline Standard", 0}, {"SIMPLE", "Baseline Simple", JPEG_BASELINE},
    {"OPTIMIZED", "Baseline Optimized", JPEG_OPTIMIZE}, {"PROGRESSIVE", "Progressive", JPEG_PROGRESSIVE},
};
constexpr Choice pngCompressionRows[] = {
    {"NONE", "None", PNG_Z_NO_COMPRESSION}, {"ZLIB1", "ZLIB1", PNG_Z_BEST_SPEED},
    {"ZLIB6", "ZLIB6", PNG_Z_DEFAULT_COMPRESSION}, {"ZLIB9", "ZLIB9", PNG_Z_BEST_COMPRESSION},
};
constexpr Choice tgaCompressionRows[] = {{"NONE", "None", 0}, {"RLE", "RLE", TARGA_SAVE_RLE}};
constexpr Choice tiffCompressionRows[] = {
    {"NONE", "None", TIFF_NONE}, {"CCITTFAX3", "CCITTFAX3", TIFF_CCITTFAX3},
    {"CCITTFAX4", "CCITTFAX4", TIFF_CCITTFAX4}, {"PACKBITS", "PACKBITS", TIFF_PACKBITS},
    {"DEFLATE", "DEFLATE", TIFF_DEFLATE}, {"ADOBEDEFLATE", "ADOBEDEFLATE", TIFF_ADOBE_DEFLATE},
    {"LZW", "LZW", TIFF_LZW}, {"JPEG", "JPEG", TIFF_JPEG}, {"LOGLUV", "LOGLUV", TIFF_LOGLUV},
};
// LAB is the command line's alone; the writer has no LAB and writes such pages as RGB.
constexpr Choice tiffColourModelRows[] = {{"RGB", "RGB", 0}, {"CMYK", "CMYK", TIFF_CMYK}, {"LAB", "", 0}};

constexpr Choice rotationTypeRows[] = {{"SIMPLE", "Simple Rotation"}, {"ADVANCED", "Advanced Rotation"}};
constexpr Choice sizeUnitRows[] = {{"PIXELS", "Pixels"}, {"PERCENT", "Percent"}};
constexpr Choice resizeTypeRows[] = {{"ALLIMAGES", "All Images"}, {"LARGEIMAGES", "Large Images"}};
constexpr Choice resizeFilterRows[] = {
    {"BOX", "Box", FILTER_BOX}, {"BILINEAR", "Bilinear", FILTER_BILINEAR}, {"BSPLINE", "Bspline", FILTER_BSPLINE},
    {"BICUBIC", "Bicubic", FILTER_BICUBIC}, {"CATMULLROM", "Catmullrom", FILTER_CATMULLROM},
    {"LANCZOS", "Lanczos", FILTER_LANCZOS3},
};

constexpr Choice frameTypeRows[] = {{"NONE", "None"}, {"SOLID", "Frame Solid"}};
constexpr Choice watermarkTypeRows[] = {{"NONE", "None"}, {"TEXT", "Watermark Text"}, {"IMAGE", "Watermark Image"}};
constexpr Choice fontStyleRows[] = {
    {"REGULAR", "Regular"}, {"BOLD", "Bold"}, {"ITALIC", "Italic"}, {"BOLDITALIC", "Bold Italic"},
};
// "STRIKETHROUGHT" is the keyword users have always typed; it stays as it is.
constexpr Choice fontEffectRows[] = {{"NONE", "None"}, {"UNDERLINE", "Underline"}, {"STRIKETHROUGHT", "Strikeout"}};
constexpr Choice textAlignmentRows[] = {{"LEFT", "Align Left"}, {"CENTER", "Align Center"}, {"RIGHT", "Align Right"}};
constexpr Choice watermarkBoundRows[] = {{"IMAGE", "Bound Image"}, {"FRAME", "Bound Frame"}};
constexpr Choice watermarkAnchorRows[] = {
    {"TOPLEFT", "Top-Left"},       {"TOPCENTER", "Top-Center"},       {"TOPRIGHT", "Top-Right"},
    {"MIDDLELEFT", "Middle-Left"}, {"MIDDLECENTER", "Middle-Center"}, {"MIDDLERIGHT", "Middle-Right"},
    {"BOTTOMLEFT", "Bottom-Left"}, {"BOTTOMCENTER", "Bottom-Center"}, {"BOTTOMRIGHT", "Bottom-Right"},
};
constexpr Choice watermarkSizeModeRows[] = {{"FIXED", "Fixed"}};

constexpr Choice timestampSourceRows[] = {{"CURRENT", "Current"}, {"ORIGINAL", "Original"}, {"CUSTOM", "Custom"}};
constexpr Choice folderHistoryModeRows[] = {{"", "Clean On Exit"}, {"", "Keep Folders"}};
// clang-format on

} // namespace

// Constant-initialised, so they hold their rows before any other code runs.
constinit const ChoiceList updateIntervals{updateIntervalRows};
constinit const ChoiceList toolbarSizes{toolbarSizeRows};
constinit const ChoiceList ddsChannelOrders{ddsChannelOrderRows};
constinit const ChoiceList frameSelections{frameSelectionRows};
constinit const ChoiceList rawDepths{rawDepthRows};
constinit const ChoiceList toneMappings{toneMappingRows};
constinit const ChoiceList bmpCompressions{bmpCompressionRows};
constinit const ChoiceList colourTables{colourTableRows};
constinit const ChoiceList exrCompressions{exrCompressionRows};
constinit const ChoiceList chromaSubsamplings{chromaSubsamplingRows};
constinit const ChoiceList jpegEncodings{jpegEncodingRows};
constinit const ChoiceList pngCompressions{pngCompressionRows};
constinit const ChoiceList tgaCompressions{tgaCompressionRows};
constinit const ChoiceList tiffCompressions{tiffCompressionRows};
constinit const ChoiceList tiffColourModels{tiffColourModelRows};
constinit const ChoiceList rotationTypes{rotationTypeRows};
constinit const ChoiceList sizeUnits{sizeUnitRows};
constinit const ChoiceList resizeTypes{resizeTypeRows};
constinit const ChoiceList resizeFilters{resizeFilterRows};
constinit const ChoiceList frameTypes{frameTypeRows};
constinit const ChoiceList watermarkTypes{watermarkTypeRows};
constinit const ChoiceList fontStyles{fontStyleRows};
constinit const ChoiceList fontEffects{fontEffectRows};
constinit const ChoiceList textAlignments{textAlignmentRows};
constinit const ChoiceList watermarkBounds{watermarkBoundRows};
constinit const ChoiceList watermarkAnchors{watermarkAnchorRows};
constinit const ChoiceList watermarkSizeModes{watermarkSizeModeRows};
constinit const ChoiceList timestampSources{timestampSourceRows};
constinit const ChoiceList folderHistoryModes{folderHistoryModeRows};

std::int32_t offeredChoices(ChoiceList choices)
{
    std::int32_t offered = 0;
    while (offered < static_cast<std::int32_t>(choices.size()) &&
           choices[static_cast<std::size_t>(offered)].entry[0] != '\0') {
        ++offered;
    }
    return offered;
}

std::int32_t choiceValue(ChoiceList choices, std::int32_t stored, std::int32_t outside)
{
    return stored >= 0 && static_cast<std::size_t>(stored) < choices.size()
               ? choices[static_cast<std::size_t>(stored)].value
               : outside;
}

QStringList choiceEntries(ChoiceList choices)
{
    QStringList entries;
    for (const Choice& choice : choices.first(static_cast<std::size_t>(offeredChoices(choices)))) {
        entries << QString::fromLatin1(choice.entry);
    }
    return entries;
}

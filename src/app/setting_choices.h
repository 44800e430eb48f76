#pragma once

#include <QStringList>

#include <cstdint>
#include <span>

// The lists of choices. A choice setting stores the place of one row of its list, 0 for the first.
// The row says how the command line names the choice, how the Preferences dialog shows it and what
// the code acting on it takes for it. The setting's range, the console keywords, the option
// reference, the echo, the writer flags and the Preferences lists all read these rows, so a choice is
// added by adding one row.

struct Choice {
    // The command line's keyword, in upper case; the echo shows it in lower case. Empty in a list that
    // no option sets.
    const char* keyword = "";
    // The Preferences catalogue key of the list entry. Empty for a choice the dialog does not offer;
    // such rows come last, and the setting's range ends before them.
    const char* entry = "";
    // What the code acting on the choice takes for it, where the place alone does not say it: a
    // writer flag, a resampling filter, a number of days, a size in pixels. 0 in the other lists.
    std::int32_t value = 0;
};

using ChoiceList = std::span<const Choice>;

extern const ChoiceList updateIntervals;    // General/Update Range
extern const ChoiceList toolbarSizes;       // Interface/UI Size
extern const ChoiceList ddsChannelOrders;   // Input/DDS Load As
extern const ChoiceList frameSelections;    // Input/GIF, ICO and TIFF Frame Loading
extern const ChoiceList rawDepths;          // Input/RAW Load As
extern const ChoiceList toneMappings;       // Input/RAW Tone Mapping
extern const ChoiceList bmpCompressions;    // Output/BMP Compression
extern const ChoiceList colourTables;       // Output/BMP Color Table
extern const ChoiceList exrCompressions;    // Output/EXR Compression
extern const ChoiceList chromaSubsamplings; // Output/JPG Chroma
extern const ChoiceList jpegEncodings;      // Output/JPG Save As
extern const ChoiceList pngCompressions;    // Output/PNG Compression
extern const ChoiceList tgaCompressions;    // Output/TGA Compression
extern const ChoiceList tiffCompressions;   // Output/TIFF Compression
extern const ChoiceList tiffColourModels;   // Output/TIFF Color Model
extern const ChoiceList rotationTypes;      // Transform/Image Rotation Type
extern const ChoiceList sizeUnits;          // Transform/Image Width Unit and Image Height Unit
extern const ChoiceList resizeTypes;        // Transform/Image Resize Type
extern const ChoiceList resizeFilters;      // Transform/Image Resize Algorithm
extern const ChoiceList frameTypes;         // Frame/Do Frame
extern const ChoiceList watermarkTypes;     // Watermark/Do Watermark
extern const ChoiceList fontStyles;         // Watermark/Font Style
extern const ChoiceList fontEffects;        // Watermark/Font Effect
extern const ChoiceList textAlignments;     // Watermark/Text Alignment
extern const ChoiceList watermarkBounds;    // Watermark/Text Boundary and Image Boundary
extern const ChoiceList watermarkAnchors;   // Watermark/Text Position and Image Position
extern const ChoiceList watermarkSizeModes; // Watermark/Text Size and Image Size
extern const ChoiceList timestampSources;   // Advanced/File Timestamp
extern const ChoiceList folderHistoryModes; // Advanced/Out Folders History

// How many choices the Preferences dialog offers: the rows up to the first without an entry.
std::int32_t offeredChoices(ChoiceList choices);

// What the code acting on a stored number takes for it; `outside` for a number that names no row.
std::int32_t choiceValue(ChoiceList choices, std::int32_t stored, std::int32_t outside = 0);

// The catalogue keys of the entries the Preferences dialog offers, in list order.
QStringList choiceEntries(ChoiceList choices);

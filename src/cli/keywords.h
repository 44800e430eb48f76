#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>

// The keyword tables of the command line. A keyword names a small integer value of a setting;
// keywords are compared in upper case and an unknown keyword silently means 0.
enum class KeywordTable {
    DdsLoad,
    RawLoad,
    FrameSelection,
    ToneMapping,
    Compression, // shared by the five compression options; numbering restarts per format group
    ColourTable,
    ColourModel,
    Chroma,
    JpegSaveMode,
    RotationType,
    Unit,
    ResizeType,
    ResizeAlgorithm,
    FontStyle,
    FontEffect,
    Alignment,
    Boundary,
    Position,
    SizeMode,
    Timestamp,
    Frame,     // echo only: Frame/Do Frame
    Watermark, // echo only: Watermark/Do Watermark
};

// "high" -> 3 for Chroma; any keyword not in the table -> 0.
std::int32_t keywordValue(KeywordTable table, QStringView text);

// The lower-case keyword of a value, empty for a value the table does not name. For the
// compression table the keyword is the one the catalogue row of the output format named by
// formatKey gives the value ("bmp", "exr", "png", "tga", "tiff"): value 1 of "png" is "zlib1".
QString keywordText(KeywordTable table, std::int32_t value, QStringView formatKey = {});

// Every keyword of a table in upper case, in table order (usage reference and README).
QStringList keywordNames(KeywordTable table);

#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// What the directory of one TIFF page says, read with libtiff without decoding any pixels: the one
// description of a page that the memory estimate, the path choice and the preview ask.
struct TiffPageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitsPerPixel = 0;
    int compression = 0;
    std::uint64_t jpegOffset = 0; // old-style JPEG: JPEGInterchangeFormat, 0 when absent
    std::uint64_t jpegLength = 0; // old-style JPEG: JPEGInterchangeFormatLength, 0 when absent
    bool cmyk = false;            // PhotometricInterpretation separated, ink set CMYK
    bool separatePlanes = false;  // PlanarConfiguration 2
    int bitsPerSample = 1;
    int samplesPerPixel = 1;
    int sampleFormat = 1;              // SampleFormat: 1 unsigned, 2 signed, 3 floating point
    int photometric = -1;              // PhotometricInterpretation (assumed when absent), -1 unread
    int orientation = 1;               // Orientation, 1 (top-left) to 8
    bool colourProfileAndExif = false; // an ICC profile and an EXIF directory
    bool colourProfile = false;        // an ICC profile
    int extraSamples = 0;              // ExtraSamples count (alpha and the like)
    int alphaSample = 0;               // the first extra sample's kind: 1 associated alpha, 2 unassociated, 0 other
    bool bigEndian = false;            // Motorola byte order
    bool tiled = false;
    std::uint32_t rowsPerStrip = 0; // strips: RowsPerStrip as stored (the height when absent)
    std::uint32_t tileWidth = 0;    // tiles: their size
    std::uint32_t tileLength = 0;
    std::uint32_t subfileType = 0; // NewSubfileType: bit 0 marks a reduced-resolution copy of another page
};

struct tiff;

// The header of the current directory of `tiff`.
TiffPageHeader readTiffPageHeader(tiff* handle);

// The page headers of a TIFF file in page order; empty when libtiff cannot read the file.
std::vector<TiffPageHeader> readTiffPageHeaders(const QString& path);

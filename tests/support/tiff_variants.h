#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// TIFF layouts that scanners, print workflows, GIS tools and image editors write and that a
// plain FreeImage load gets wrong or refuses: separate colour planes, odd grey depths, 32-bit
// integer samples, CMYK with black, CIELab, JPEG-compressed YCbCr and CMYK. Written with libtiff
// itself, so each file is what libtiff (and any reader built on it) takes as valid.
namespace fixtures {

struct TiffVariant {
    QString name;              // file stem, unique in tiffVariants()
    std::uint16_t photometric; // PHOTOMETRIC_*
    std::uint16_t bitsPerSample;
    std::uint16_t colourSamples;   // samples per pixel without alpha
    bool alpha = false;            // one extra sample: unassociated alpha
    bool separatePlanes = false;   // PlanarConfiguration 2
    bool tiled = false;            // 16 x 16 tiles instead of strips
    std::uint16_t compression = 1; // COMPRESSION_*
    bool lossy = false;            // JPEG: compare with a tolerance
    std::uint32_t rowsPerStrip = 16;
    bool bigEndian = false; // Motorola byte order instead of Intel
    // Every pixel gets these samples (colour samples, then alpha) instead of the gradient.
    std::vector<std::uint32_t> solid = {};
    // SAMPLEFORMAT_*: signed samples are stored as sampleValue - 2^(bits-1), floating-point ones
    // (32 or 64 bits) as sampleValue / (2^bits - 1) of 8-bit levels, i.e. level / 255.
    std::uint16_t sampleFormat = 1;
    std::uint16_t alphaKind = 2;                 // EXTRASAMPLE_* of the alpha sample
    std::uint16_t otherSamples = 0;              // further extra samples (EXTRASAMPLE_UNSPECIFIED) after alpha
    std::vector<std::uint32_t> absentTiles = {}; // tiles left unwritten: offset and byte count 0
};

// The value a floating-point variant stores for `level` (0 to 255).
inline double floatSample(std::uint32_t level)
{
    return level / 255.0;
}

// What else the file carries, written into the page's IFD when set.
struct TiffExtras {
    QByteArray iccProfile;
    QByteArray xmpPacket;
    QByteArray photoshopResources; // tag 34377
    QByteArray description;        // ImageDescription
    QByteArray artist;
    QByteArray copyright;
    QByteArray dateTime;           // "YYYY:MM:DD HH:MM:SS"
    float dpi = 0;                 // X and Y resolution in dots per inch, 0: no resolution tags
    std::uint16_t orientation = 0; // 0: no Orientation tag
    bool exifDirectory = false;    // an EXIF sub-directory (with the capture date) linked from the page
    // ExposureTime (33434) and FNumber (33437) in the page's own directory, as some cameras write
    // them: libtiff knows them only inside an EXIF directory and reports them as unknown here.
    bool cameraTagsInPage = false;
};

// Sample `channel` (colour samples, then alpha) of pixel (x, y) from the top-left: a gradient that
// differs per channel, deeper samples with low bits that vary too, so a reader that drops or
// misplaces them shows.
std::uint32_t sampleValue(const TiffVariant& variant, int x, int y, int channel);

// The colour map of a palette variant (PHOTOMETRIC_PALETTE): 2^bits entries of red, green and
// blue at 16 bits, in TIFF's order (every red, then every green, then every blue).
std::vector<std::uint16_t> paletteOf(int bits);

// One variant of every category, small (40 x 32) and with a gradient in every channel.
std::vector<TiffVariant> tiffVariants();

// Writes the variant as a single-page TIFF of width x height. False when libtiff refused.
bool writeTiffVariant(const QString& path, const TiffVariant& variant, int width, int height,
                      const TiffExtras& extras = {});

// Adds the variant to the end of an existing TIFF as its next page.
bool appendTiffVariant(const QString& path, const TiffVariant& variant, int width, int height);

// A valid ICC profile (Adobe RGB 1998 as Qt builds it), so writers that check profiles accept it.
QByteArray adobeRgbProfile();

} // namespace fixtures

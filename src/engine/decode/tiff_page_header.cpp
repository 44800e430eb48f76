#include "engine/decode/tiff_page_header.h"

#include "engine/decode/tiff_file.h"

namespace {

constexpr int oldStyleJpegCompression = 6; // COMPRESSION_OJPEG

// How the pixels are stored: strips or tiles, their size, the byte order and extra samples.
void readLayout(TIFF* tiff, TiffPageHeader& header)
{
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) != 0) {
        header.extraSamples = extraCount;
        if (extraCount > 0 && (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA)) {
            header.alphaSample = extraKinds[0];
        }
    }
    header.bigEndian = TIFFIsBigEndian(tiff) != 0;
    header.tiled = TIFFIsTiled(tiff) != 0;
    if (header.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &header.tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &header.tileLength);
    } else {
        header.rowsPerStrip = header.height;
        TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &header.rowsPerStrip);
    }
}

} // namespace

TiffPageHeader readTiffPageHeader(TIFF* tiff)
{
    TiffPageHeader header;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &header.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &header.height);
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t compression = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    header.bitsPerPixel = bitsPerSample * samplesPerPixel;
    header.bitsPerSample = bitsPerSample;
    header.samplesPerPixel = samplesPerPixel;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    header.separatePlanes = planar == PLANARCONFIG_SEPARATE;
    header.compression = compression;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    header.sampleFormat = sampleFormat;
    std::uint16_t photometric = 0;
    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 0) {
        header.photometric = photometric;
    } else {
        // A page without the tag (scientific float pages often leave it out) is read as libtiff's
        // RGBA reader reads it: three samples or more are RGB, fewer are grey.
        header.photometric = samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    header.cmyk = header.photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && samplesPerPixel >= 4;
    std::uint32_t profileSize = 0;
    void* profile = nullptr;
    std::uint64_t exifOffset = 0;
    header.colourProfile = TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) != 0;
    header.colourProfileAndExif = header.colourProfile && TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifOffset) != 0;
    readLayout(tiff, header);
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    header.orientation = orientation;
    TIFFGetField(tiff, TIFFTAG_SUBFILETYPE, &header.subfileType);
    if (compression == oldStyleJpegCompression) {
        // The old-style JPEG codec keeps these two as 64-bit values.
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        if (TIFFGetField(tiff, TIFFTAG_JPEGIFOFFSET, &offset) != 0) {
            header.jpegOffset = offset;
        }
        if (TIFFGetField(tiff, TIFFTAG_JPEGIFBYTECOUNT, &length) != 0) {
            header.jpegLength = length;
        }
    }
    return header;
}

std::vector<TiffPageHeader> readTiffPageHeaders(const QString& path)
{
    std::vector<TiffPageHeader> headers;
    const std::unique_ptr<TiffFile> file = TiffFile::open(path);
    if (!file) {
        return headers;
    }
    do {
        headers.push_back(readTiffPageHeader(file->handle()));
    } while (TIFFReadDirectory(file->handle()) != 0);
    return headers;
}

// Writes one photo-like RGB page of any size as TIFF, a row at a time, so that pages far larger
// than memory can be made: make-huge-page FILE WIDTH HEIGHT [none|lzw]. The streaming benchmark
// (bench/streaming.sh) converts it.
#include "photo_field.h"

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

bool writePage(const char* path, int width, int height, bool lzw)
{
    const std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path, "w8"));
    if (!tiff) {
        return false;
    }
    TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, lzw ? COMPRESSION_LZW : COMPRESSION_NONE);
    if (lzw) {
        TIFFSetField(tiff.get(), TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    }
    TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff.get(), 0));
    TIFFSetField(tiff.get(), TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tiff.get(), TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tiff.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    Noise noise(photoNoiseSeed(1));
    for (int y = 0; y < height; ++y) {
        photoRow(row.data(), y, width, height, 1, noise, {0, 1, 2});
        if (TIFFWriteScanline(tiff.get(), row.data(), static_cast<std::uint32_t>(y), 0) < 0) {
            return false;
        }
    }
    return TIFFFlush(tiff.get()) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: make-huge-page FILE WIDTH HEIGHT [none|lzw]\n");
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    const bool lzw = argc == 5 && std::string(argv[4]) == "lzw";
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "make-huge-page: WIDTH and HEIGHT must be positive\n");
        return 2;
    }
    if (!writePage(argv[1], width, height, lzw)) {
        std::fprintf(stderr, "make-huge-page: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

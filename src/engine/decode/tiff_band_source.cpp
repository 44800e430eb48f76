#include "engine/decode/tiff_band_source.h"

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace {

// The stored layouts FreeImage's loader copies as plain rows (its generic strip and tile loaders):
// 1- and 8-bit grey, 8-bit RGB and RGBA, one plane.
bool plainRows(TIFF* tiff, unsigned freeImageBpp)
{
    std::uint16_t photometric = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samples = 1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) == 0) {
        return false;
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (planar != PLANARCONFIG_CONTIG) {
        return false;
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    if (grey) {
        return samples == 1 && (bitsPerSample == 1 || bitsPerSample == 8) && freeImageBpp == bitsPerSample;
    }
    return photometric == PHOTOMETRIC_RGB && bitsPerSample == 8 && (samples == 3 || samples == 4) &&
           freeImageBpp == 8U * samples;
}

// FreeImage keeps colour pixels blue first; TIFF stores them red first.
void swapRedBlue(FIBITMAP* band)
{
    const unsigned bytesPerPixel = FreeImage_GetBPP(band) / 8;
    if (bytesPerPixel < 3) {
        return;
    }
    const unsigned width = FreeImage_GetWidth(band);
    const unsigned height = FreeImage_GetHeight(band);
    for (unsigned y = 0; y < height; ++y) {
        BYTE* pixel = FreeImage_GetScanLine(band, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, pixel += bytesPerPixel) {
            std::swap(pixel[0], pixel[2]);
        }
    }
}

} // namespace

std::unique_ptr<TiffBandSource> TiffBandSource::open(const QString& path, int index, const Bitmap& layout,
                                                     std::uint64_t bandBytes)
{
    if (!layout || index < 0) {
        return nullptr;
    }
    // "m": no memory mapping, so a huge file is read where its rows are, as it is needed.
    TIFF* handle = TIFFOpen(QFile::encodeName(path).constData(), "rm");
    if (handle == nullptr) {
        return nullptr;
    }
    std::unique_ptr<TiffBandSource> source(new TiffBandSource(handle, layout.get()));
    if (TIFFSetDirectory(handle, static_cast<tdir_t>(index)) == 0) {
        return nullptr;
    }
    TIFFGetField(handle, TIFFTAG_IMAGEWIDTH, &source->width_);
    TIFFGetField(handle, TIFFTAG_IMAGELENGTH, &source->height_);
    if (!plainRows(handle, source->bpp_) || source->width_ != layout.width() || source->height_ != layout.height() ||
        source->width_ == 0 || source->height_ == 0) {
        return nullptr;
    }
    source->rowBytes_ = static_cast<std::size_t>(TIFFScanlineSize64(handle));
    if (source->rowBytes_ == 0 || source->rowBytes_ > FreeImage_GetLine(layout.get())) {
        return nullptr;
    }
    if (TIFFIsTiled(handle) != 0) {
        if (TIFFGetField(handle, TIFFTAG_TILEWIDTH, &source->tileWidth_) == 0 ||
            TIFFGetField(handle, TIFFTAG_TILELENGTH, &source->tileLength_) == 0 || source->tileWidth_ == 0 ||
            source->tileLength_ == 0) {
            return nullptr;
        }
        const tmsize_t tileSize = TIFFTileSize(handle);
        if (tileSize <= 0) {
            return nullptr;
        }
        source->tileBuffer_ = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(tileSize));
        source->bandRows_ = source->tileLength_;
    } else {
        // Whole strips per band where they are small; rows of one strip where it is large (libtiff
        // decodes a strip row by row, so a page stored as one strip is still read a band at a time).
        std::uint32_t rowsPerStrip = source->height_;
        TIFFGetFieldDefaulted(handle, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, source->height_);
        source->rowsPerStrip_ = rowsPerStrip;
        const std::uint64_t stripBytes = std::uint64_t{rowsPerStrip} * source->rowBytes_;
        const std::uint64_t rows =
            stripBytes <= std::max<std::uint64_t>(bandBytes, 1)
                ? rowsPerStrip * std::max<std::uint64_t>(1, std::max<std::uint64_t>(bandBytes, 1) / stripBytes)
                : std::max<std::uint64_t>(1, std::max<std::uint64_t>(bandBytes, 1) / source->rowBytes_);
        source->bandRows_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(rows, source->height_));
    }
    return source;
}

TiffBandSource::TiffBandSource(TIFF* handle, FIBITMAP* layout)
    : tiff_(handle), bpp_(FreeImage_GetBPP(layout)), dotsPerMeterX_(FreeImage_GetDotsPerMeterX(layout)),
      dotsPerMeterY_(FreeImage_GetDotsPerMeterY(layout))
{
    const RGBQUAD* palette = FreeImage_GetPalette(layout);
    if (palette != nullptr) {
        palette_.assign(palette, palette + FreeImage_GetColorsUsed(layout));
    }
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(layout);
    if (profile->data != nullptr && profile->size > 0) {
        const auto* bytes = static_cast<const BYTE*>(profile->data);
        profile_.assign(bytes, bytes + profile->size);
    }
}

TiffBandSource::~TiffBandSource()
{
    TIFFClose(tiff_);
}

std::uint64_t TiffBandSource::bandBytes() const
{
    const std::uint64_t band = std::uint64_t{bandRows_} * ((std::uint64_t{width_} * bpp_ + 31) / 32 * 4);
    const std::uint64_t buffer = tileBuffer_ ? static_cast<std::uint64_t>(TIFFTileSize64(tiff_))
                                             : static_cast<std::uint64_t>(TIFFStripSize64(tiff_));
    return band + buffer;
}

Bitmap TiffBandSource::allocateBand(std::uint32_t rows) const
{
    Bitmap band(FreeImage_Allocate(static_cast<int>(width_), static_cast<int>(rows), static_cast<int>(bpp_)));
    if (!band) {
        return band;
    }
    if (!palette_.empty()) {
        std::copy(palette_.begin(), palette_.end(), FreeImage_GetPalette(band.get()));
    }
    FreeImage_SetDotsPerMeterX(band.get(), dotsPerMeterX_);
    FreeImage_SetDotsPerMeterY(band.get(), dotsPerMeterY_);
    if (!profile_.empty()) {
        // FreeImage only reads the profile it is given.
        FreeImage_CreateICCProfile(band.get(), const_cast<BYTE*>(profile_.data()), static_cast<long>(profile_.size()));
    }
    return band;
}

Bitmap TiffBandSource::readBand(int band)
{
    if (band < 0 || band >= bandCount()) {
        return {};
    }
    const std::uint32_t first = static_cast<std::uint32_t>(band) * bandRows_;
    const std::uint32_t rows = std::min(bandRows_, height_ - first);
    Bitmap bitmap = allocateBand(rows);
    if (!bitmap) {
        return {};
    }
    const bool read = tileBuffer_ ? readTileRows(first, rows, bitmap.get()) : readStripRows(first, rows, bitmap.get());
    if (!read) {
        return {};
    }
    swapRedBlue(bitmap.get());
    return bitmap;
}

bool TiffBandSource::readStripRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* band)
{
    // Most codecs cannot skip rows: libtiff decodes a strip from its start up to the wanted row.
    // Bands read bottom-up, or rows skipped within a strip, are reached by decoding the rows
    // before them.
    if (first != nextRow_) {
        const std::uint32_t stripStart = first / rowsPerStrip_ * rowsPerStrip_;
        std::uint32_t row = nextRow_ >= stripStart && nextRow_ < first ? nextRow_ : stripStart;
        if (row < first && !skippedRow_) {
            skippedRow_ = std::make_unique<std::uint8_t[]>(rowBytes_);
        }
        for (; row < first; ++row) {
            if (TIFFReadScanline(tiff_, skippedRow_.get(), row, 0) < 0) {
                return false;
            }
        }
    }
    nextRow_ = first + rows;
    for (std::uint32_t row = 0; row < rows; ++row) {
        // The band's top row is its last scan line.
        BYTE* line = FreeImage_GetScanLine(band, static_cast<int>(rows - 1 - row));
        if (TIFFReadScanline(tiff_, line, first + row, 0) < 0) {
            return false;
        }
    }
    return true;
}

bool TiffBandSource::readTileRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* band)
{
    const auto tileRowBytes = static_cast<std::size_t>(TIFFTileRowSize64(tiff_));
    std::size_t offset = 0; // of the tile column in a row of the page
    for (std::uint32_t x = 0; x < width_; x += tileWidth_, offset += tileRowBytes) {
        if (TIFFReadTile(tiff_, tileBuffer_.get(), x, first, 0, 0) < 0) {
            return false;
        }
        const std::size_t bytes = std::min(tileRowBytes, rowBytes_ - offset);
        for (std::uint32_t row = 0; row < rows; ++row) {
            BYTE* line = FreeImage_GetScanLine(band, static_cast<int>(rows - 1 - row));
            std::memcpy(line + offset, tileBuffer_.get() + row * tileRowBytes, bytes);
        }
    }
    return true;
}

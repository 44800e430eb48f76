#pragma once

#include "engine/core/bitmap.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct tiff;

// One TIFF page read a band of rows at a time with libtiff, for pages too large to hold whole.
// Each band is laid out exactly as FreeImage's TIFF loader lays out the same rows of the whole page
// (its rows bottom-up, blue before red, the loader's palette for 1- and 8-bit grey including
// min-is-white, its resolution and ICC profile), so stitching the bands gives FreeImage's decoded page byte for
// byte. It reads what FreeImage reads as plain rows: contiguous 8-bit grey, RGB and RGBA and
// 1-bit grey, in strips or tiles, either byte order, any codec libtiff has.
class TiffBandSource {
  public:
    // Opens page `index` (0-based) of `path`. `layout` is FreeImage's header-only load of that page
    // (decodeTiffPage with FIF_LOAD_NOPIXELS): the depth, palette and resolution every band gets.
    // A band holds whole strips (or one row of tiles) up to about `bandBytes` of rows, at least one
    // strip; a strip larger than that is read in bands of rows. nullptr when libtiff cannot open
    // the page or its layout is not one of the above.
    static std::unique_ptr<TiffBandSource> open(const QString& path, int index, const Bitmap& layout,
                                                std::uint64_t bandBytes);

    ~TiffBandSource();
    TiffBandSource(const TiffBandSource&) = delete;
    TiffBandSource& operator=(const TiffBandSource&) = delete;

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    // Rows in every band but possibly the last.
    std::uint32_t bandRows() const { return bandRows_; }
    int bandCount() const { return static_cast<int>((height_ + bandRows_ - 1) / bandRows_); }
    // Bytes one band holds while it is read: the band and libtiff's buffer for it.
    std::uint64_t bandBytes() const;

    // Band `band` (0 is the top one): its rows in FreeImage's order. Empty when the rows cannot be
    // read (a truncated or damaged file): unlike FreeImage's loader, which keeps going with
    // whatever its buffer held, a page is never written from rows that were not read.
    Bitmap readBand(int band);

  private:
    TiffBandSource(tiff* handle, FIBITMAP* layout);
    bool readStripRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* band);
    bool readTileRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* band);
    Bitmap allocateBand(std::uint32_t rows) const;

    tiff* tiff_ = nullptr;
    unsigned bpp_ = 0;
    std::vector<RGBQUAD> palette_;
    std::vector<BYTE> profile_; // the ICC profile FreeImage attaches to the page
    unsigned dotsPerMeterX_ = 0;
    unsigned dotsPerMeterY_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t bandRows_ = 1;
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileLength_ = 0;
    std::size_t rowBytes_ = 0; // bytes of one stored row
    std::uint32_t rowsPerStrip_ = 0;
    std::uint32_t nextRow_ = 0; // the row libtiff decodes next without starting its strip again
    std::unique_ptr<std::uint8_t[]> skippedRow_;
    std::unique_ptr<std::uint8_t[]> tileBuffer_;
};

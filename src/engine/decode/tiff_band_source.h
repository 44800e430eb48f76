#pragma once

#include "engine/core/bitmap.h"
#include "engine/decode/band_reader.h"
#include "engine/decode/tiff_file.h"
#include "engine/decode/tiff_row_layout.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct TiffPageHeader;

// One TIFF page whose rows are copied into the bitmap (tiff_row_layout.h), read a band of rows at a
// time for pages too large to hold whole, or all at once for the page held in memory: both read
// the same strips and tiles the same way, so they agree on every pixel and on every damaged block.
// Strips or tiles, one plane or separate planes, either byte order, any codec libtiff has; absent
// blocks of a sparse file read as zeros.
class TiffBandSource : public BandReader {
  public:
    // Opens page `index` (0-based) of `path`, whose header is `header`. A band holds whole strips
    // (or one row of tiles) up to about `bandBytes` of rows, at least one strip; a strip larger
    // than that is read in bands of rows. nullptr when libtiff cannot open the page or its pixels
    // are not copied as rows.
    static std::unique_ptr<TiffBandSource> open(const QString& path, int index, const TiffPageHeader& header,
                                                std::uint64_t bandBytes);

    // The current directory of `file` (a page or a sub-directory), without a thumbnail.
    static std::unique_ptr<TiffBandSource> openCurrent(std::unique_ptr<TiffFile> file, const TiffPageHeader& header,
                                                       std::uint64_t bandBytes);

    ~TiffBandSource() override;
    TiffBandSource(const TiffBandSource&) = delete;
    TiffBandSource& operator=(const TiffBandSource&) = delete;

    // The page without pixels: type, depth, palette, resolution, ICC profile, metadata and the
    // preview of its first sub-directory as its thumbnail.
    const Bitmap& layout() const override { return layout_; }
    std::uint32_t width() const override { return width_; }
    std::uint32_t height() const override { return height_; }
    // Rows in every band but possibly the last.
    std::uint32_t bandRows() const { return bandRows_; }
    int bandCount() const override { return static_cast<int>((height_ + bandRows_ - 1) / bandRows_); }
    // Bytes one band holds while it is read: the band and libtiff's buffers for it.
    std::uint64_t bandBytes() const;

    // Band `band` (0 is the top one): its rows in the bitmap's order (bottom-up), with the page's
    // palette, resolution and ICC profile. Empty when the rows cannot be read whole (a truncated or
    // damaged file): a page is never made of rows that were not read.
    Bitmap readBand(int band) override;

    // Whether the page is stored in tiles, and how wide they are (0 for strips).
    std::uint32_t tileWidth() const { return tileWidth_; }

    // Of a tiled page, the columns from `x` (the left edge of a tile) on, `columns` of them (whole
    // tiles but at the page's right edge), all rows: one column of tiles or more, as a bitmap of
    // that width in the layout's type, depth and palette, with the page's resolution. Empty for a
    // page in strips, and when a tile cannot be read whole.
    Bitmap readColumns(std::uint32_t x, std::uint32_t columns);

    // The whole page with its metadata; empty when any of its rows cannot be read whole, or when
    // `abandoned` (asked every few hundred rows) says the page is no longer wanted.
    Bitmap readPage(const std::function<bool()>& abandoned = {});

  private:
    TiffBandSource() = default;
    void attachThumbnail(const QString& path, int index);
    bool readRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine);
    bool readStripRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine);
    bool readScanlines(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine);
    bool readTileRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine);
    // The tiles of the row of tiles at `first` that cover columns [left, right), into `target` from
    // its column 0 on.
    bool readTileBlock(std::uint32_t first, std::uint32_t rows, std::uint32_t left, std::uint32_t right,
                       FIBITMAP* target, std::uint32_t firstLine);
    bool loadStrip(std::uint32_t strip);
    Bitmap allocate(std::uint32_t rows, std::uint32_t columns = 0) const;

    static constexpr int maxPlanes = 4;

    std::unique_ptr<TiffFile> file_;
    TIFF* tiff_ = nullptr;
    RowLayout rows_;
    Bitmap layout_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t bandRows_ = 1;
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileLength_ = 0;
    std::uint64_t storedRowBytes_ = 0; // one stored row of the page, in one plane
    std::uint64_t blockBytes_ = 0;     // one strip or tile, in one plane
    std::uint32_t rowsPerStrip_ = 0;
    std::uint32_t stripsPerPlane_ = 0;
    bool byScanline_ = false;       // strips larger than a band are read a row at a time
    std::int64_t loadedStrip_ = -1; // the strip the buffers hold
    std::uint32_t nextRow_ = 0;     // the row libtiff decodes next without starting its strip again
    std::array<std::unique_ptr<std::uint8_t[]>, maxPlanes> buffers_;
};

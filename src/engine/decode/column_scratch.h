#pragma once

#include "engine/core/bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>

class BandReader;

// A page in strips copied into a scratch file laid out by columns, so that a few columns of every
// row can be read back at once without decoding the page again: what a quarter turn of a page in
// strips reads. The file is uncompressed, holds the bitmap's own bytes (1, 8, 24 or 32 bits a
// pixel) in slabs of `slabColumns` columns, one slab after the other, each slab's rows top row
// first, and lives in the system's temporary folder without a name: it is unlinked as soon as it
// is made, and goes when the scratch is destroyed, however the page ends.
class ColumnScratch {
  public:
    enum class Fill : std::uint8_t {
        Done,
        Damaged,    // a band of the page could not be read whole
        Unwritable, // the scratch file could not be made or written (errno says why)
        Stopped,    // goOn said stop between two bands
    };

    // Copies every band of `page` (a multiple of 8 columns a slab, at least 8) into a new scratch
    // file, asking `goOn` between two bands (it may wait while the run is paused). `fill` says how
    // it went; the scratch is of use only when it is Done.
    static std::unique_ptr<ColumnScratch> copy(BandReader& page, std::uint32_t slabColumns,
                                               const std::function<bool()>& goOn, Fill& fill);

    ~ColumnScratch();
    ColumnScratch(const ColumnScratch&) = delete;
    ColumnScratch& operator=(const ColumnScratch&) = delete;

    std::uint32_t slabColumns() const { return slabColumns_; }
    int slabCount() const { return static_cast<int>((width_ + slabColumns_ - 1) / slabColumns_); }

    // Every row of slab `slab` (0 is the leftmost), as a bitmap of the page's type, depth and
    // palette as wide as the slab; empty when the file cannot be read back.
    Bitmap readSlab(int slab) const;

    // Bytes the scratch holds in memory while it copies the page or reads a slab back.
    static std::uint64_t heldBytes(std::uint32_t width, std::uint32_t height, int bpp, std::uint32_t bandRows,
                                   std::uint32_t slabColumns);

  private:
    ColumnScratch() = default;
    std::uint64_t sliceBytes(int slab) const;
    std::uint64_t slabOffset(int slab) const;
    bool writeBand(const Bitmap& band, std::uint32_t top, std::uint8_t* buffer) const;

    int fd_ = -1;
    Bitmap format_; // the page's type, depth and palette
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t slabColumns_ = 8;
    unsigned bpp_ = 0;
};

#pragma once

#include "engine/core/bitmap.h"

#include <cstdint>

// A page handed out a band of rows at a time, top band first or in any other order: the page as
// stored (TiffBandSource), or the page as a step before the row steps leaves it (turned, say).
class BandReader {
  public:
    BandReader() = default;
    virtual ~BandReader() = default;
    BandReader(const BandReader&) = delete;
    BandReader& operator=(const BandReader&) = delete;

    // The page without pixels, as its bands are: type, depth, palette, resolution, ICC profile,
    // metadata and the thumbnail the page carries.
    virtual const Bitmap& layout() const = 0;
    virtual std::uint32_t width() const = 0;
    virtual std::uint32_t height() const = 0;
    virtual int bandCount() const = 0;

    // Band `band` (0 is the top one): its rows in the bitmap's order (bottom-up), with the page's
    // palette and resolution. Empty when its rows cannot be read whole (a truncated or damaged
    // file): a page is never made of rows that were not read.
    virtual Bitmap readBand(int band) = 0;
};

#pragma once

#include "app/settings.h"
#include "engine/decode/band_reader.h"

#include <cstdint>
#include <functional>
#include <memory>

class TiffBandSource;
struct TiffPageHeader;

// A right-angle turn of a streamed page: the rotate step's own pixels, a band at a time. The rotate
// step (transform.h) turns 1- and 8-bit pages at 24 bits, as FreeImage_Rotate moves every pixel
// without changing it by 90, 180 or 270 degrees: a band of the turned page is the turn of a part of
// the page. A quarter turn makes a band of a few columns of every row (90 degrees, counter-clockwise:
// the rightmost columns give the top band; 270: the leftmost), read as a column of tiles where the
// page is tiled and from a scratch file laid out by columns where it is in strips. A half turn is
// the page's bands from the bottom up, each turned.

// The turn the streamed path makes of a page: 90, 180 or 270 for Simple rotation by one of those
// angles, 0 for no rotation and for every rotation that stays with the whole page (other angles,
// Advanced rotation, which fills a turned rectangle with mirrored content).
int bandTurn(const TransformSettings& transform);

// Where the turned page's bands come from: `page` itself when `turn` is 0, otherwise the turned
// page, with `bandBytes` of source pixels to a band. Empty when the scratch file a page in strips
// needs cannot be had (a full disk, an unwritable temporary folder): the page is then converted in
// memory. Copying a page in strips into that file reads the whole page: `goOn` is asked between
// two of its bands. A page whose strips are damaged, or whose copy was stopped, gives a reader
// whose every band is empty.
std::unique_ptr<BandReader> turnedBands(std::unique_ptr<TiffBandSource> page, int turn, std::uint64_t bandBytes,
                                        const std::function<bool()>& goOn);

// What the turned reader holds at its peak besides the band it hands out (a column of tiles or a
// scratch slab, and the copies the turn makes), and the rows of its bands.
struct TurnedBandsMemory {
    std::uint64_t heldBytes = 0;
    std::uint64_t bandRows = 0;
};
TurnedBandsMemory turnedBandsMemory(const TiffPageHeader& header, int turn, std::uint64_t bandBytes);

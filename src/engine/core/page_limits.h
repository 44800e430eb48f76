#pragma once

#include <cstdint>

// A page whose header claims more pixels than this is refused before any pixel buffer is
// allocated. 2^30 pixels (32768 x 32768) is more than ten times an A0 sheet scanned at 600 dpi,
// yet keeps a 24-bit page at 3 GiB, so a forged or corrupt header cannot make one file exhaust
// the machine. The decoders, the failure diagnosis, the steps that make a page larger and the
// memory estimate all hold pages to it.
inline constexpr std::uint64_t kMaxPagePixels = std::uint64_t{1} << 30;

// A strip or tile is read into one buffer, by libtiff and by us. A header that makes one larger
// than this (thousands of samples per pixel, tiles far wider than the page) is refused before
// anything is allocated: the largest page allowed, stored as one strip of 16-bit samples per
// plane, needs 2 GiB.
inline constexpr std::uint64_t kMaxBlockBytes = std::uint64_t{2} << 30;

// True when width x height stays within kMaxPagePixels (and neither side is 0).
constexpr bool pageSizeAllowed(std::uint64_t width, std::uint64_t height)
{
    // Both factors are checked first so the product cannot overflow.
    return width > 0 && height > 0 && width <= kMaxPagePixels && height <= kMaxPagePixels &&
           width * height <= kMaxPagePixels;
}

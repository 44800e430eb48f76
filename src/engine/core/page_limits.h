#pragma once

#include <cstdint>

// A page whose header claims more pixels than this is refused before any pixel buffer is
// allocated. 2^30 pixels (32768 x 32768) is more than ten times an A0 sheet scanned at 600 dpi,
// yet keeps a 24-bit page at 3 GiB, so a forged or corrupt header cannot make one file exhaust
// the machine. The decoders, the failure diagnosis, the steps that make a page larger and the
// memory estimate all hold pages to it.
inline constexpr std::uint64_t kMaxPagePixels = std::uint64_t{1} << 30;

// True when width x height stays within kMaxPagePixels (and neither side is 0).
constexpr bool pageSizeAllowed(std::uint64_t width, std::uint64_t height)
{
    // Both factors are checked first so the product cannot overflow.
    return width > 0 && height > 0 && width <= kMaxPagePixels && height <= kMaxPagePixels &&
           width * height <= kMaxPagePixels;
}

#pragma once

#include "engine/core/bitmap.h"

#include <cstdint>

// One 16-bit sample as an 8-bit level: value x 255 / 65535, rounded.
constexpr std::uint8_t levelOf16(std::uint32_t value)
{
    return static_cast<std::uint8_t>((value * 255U + 32767U) / 65535U);
}

// Brings a page of more than 8 bits per sample to an ordinary bitmap before any colour step:
// - 16-bit RGB and RGBA (48 and 64 bits) linearly, each sample with levelOf16, to 24 and 32 bits;
// - 16-bit grey stretched from its darkest to its lightest value to 8-bit grey, except that a page
//   of one single value keeps that value (as levelOf16); floating-point grey and other single-
//   channel types through the library's own linear scaling;
// - floating-point RGB and RGBA tone-mapped (Drago 2003, gamma 1, exposure 0) to 24 bits.
// Standard bitmaps come back as they are. Empty when a conversion fails.
Bitmap toEightBitsPerSample(Bitmap image);

// The same conversion into a new bitmap, leaving `image` as it is (a standard bitmap is cloned).
Bitmap eightBitsPerSampleOf(FIBITMAP* image);

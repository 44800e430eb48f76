#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"
#include "engine/decode/page_loader.h"

#include <cstdint>

// One 16-bit sample as an 8-bit level: value x 255 / 65535, rounded.
constexpr std::uint8_t levelOf16(std::uint32_t value)
{
    return static_cast<std::uint8_t>((value * 255U + 32767U) / 65535U);
}

// One 8-bit level as a 16-bit sample: level x 257, so 255 becomes 65535 (a shift would leave
// white at 65280 and every low byte 0).
constexpr std::uint16_t sixteenOf8(std::uint32_t level)
{
    return static_cast<std::uint16_t>(level * 257U);
}

// What the samples of a decoded page are. A 16-bit RGBA page that holds CMYK inks is Standard.
SourceSamples sourceSamplesOf(FIBITMAP* page);
// The same from the page's TIFF header, before any pixel is read: what the page will decode to.
SourceSamples sourceSamplesOf(const TiffPageHeader& header);

// A page with 16-bit samples in the form the 16-bit steps work on: 16-bit grey becomes 16-bit RGB
// (each sample the grey value, unchanged); 16-bit RGB and RGBA come back as they are.
Bitmap toSixteenBitColour(Bitmap image);

// A page at 16 bits per sample: 16-bit RGBA when withAlpha, else 16-bit RGB. 16-bit pages keep
// their samples (alpha is dropped, or added opaque); standard bitmaps, which a step working on 8
// bits left, are widened with sixteenOf8 (palette pages through their palette, a 32-bit page's
// alpha kept). Empty when the conversion fails.
Bitmap toSixteenBitsPerSample(Bitmap image, bool withAlpha);

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

#include "engine/decode/tiff_row_layout.h"

#include "engine/core/page_header.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_metadata.h"
#include "engine/decode/tiff_page_header.h"

#include <cmath>
#include <cstring>

namespace {

bool isGrey(int photometric)
{
    return photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
}

// 1, 4 and 8-bit grey get a ramp of 2, 16 or 256 levels (white first for min-is-white); a mask
// page is black where it is 0 and white where it is 1.
std::vector<RGBQUAD> greyRamp(int bits, bool whiteIsZero)
{
    const int count = 1 << bits;
    const int step = 255 / (count - 1);
    std::vector<RGBQUAD> ramp(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto level = static_cast<BYTE>(whiteIsZero ? 255 - i * step : i * step);
        ramp[static_cast<std::size_t>(i)] = RGBQUAD{level, level, level, 0};
    }
    return ramp;
}

// The colour map at 8 bits: maps written at 16 bits are scaled down (truncating); maps whose
// entries all fit 8 bits were written by programs that put 8-bit values in, and are kept.
std::vector<RGBQUAD> colourMap(TIFF* tiff, int bits)
{
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) == 0 || red == nullptr) {
        return {};
    }
    const int count = 1 << bits;
    bool sixteenBits = false;
    for (int i = 0; i < count; ++i) {
        sixteenBits = sixteenBits || red[i] > 255 || green[i] > 255 || blue[i] > 255;
    }
    const auto level = [sixteenBits](std::uint16_t value) {
        return static_cast<BYTE>(sixteenBits ? value * 255L / 65535L : value);
    };
    std::vector<RGBQUAD> palette(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        palette[static_cast<std::size_t>(i)] = RGBQUAD{level(blue[i]), level(green[i]), level(red[i]), 0};
    }
    return palette;
}

// Grey, mask and palette pages of one sample of 1, 4 or 8 bits (extra samples that are not alpha
// are left out).
std::optional<RowLayout> indexedLayout(TIFF* tiff, const TiffPageHeader& header, RowLayout layout)
{
    const int bits = header.bitsPerSample;
    if (bits != 1 && bits != 4 && bits != 8) {
        return std::nullopt;
    }
    if (header.samplesPerPixel > 1 && (bits != 8 || header.alphaSample != 0)) {
        return std::nullopt;
    }
    layout.bpp = static_cast<unsigned>(bits);
    if (header.photometric == PHOTOMETRIC_PALETTE) {
        layout.palette = colourMap(tiff, bits);
        if (layout.palette.empty()) {
            return std::nullopt;
        }
    } else if (header.photometric == PHOTOMETRIC_MASK) {
        if (bits != 1) {
            return std::nullopt;
        }
        layout.palette = greyRamp(1, false);
    } else {
        layout.palette = greyRamp(bits, header.photometric == PHOTOMETRIC_MINISWHITE);
    }
    return layout;
}

std::optional<RowLayout> floatLayout(const TiffPageHeader& header, RowLayout layout)
{
    const int bits = header.bitsPerSample;
    if (bits != 16 && bits != 32 && bits != 64) {
        return std::nullopt;
    }
    layout.conversion = bits == 16   ? SampleConversion::HalfToFloat
                        : bits == 64 ? SampleConversion::DoubleToFloat
                                     : SampleConversion::Copy;
    const bool rgb = header.photometric == PHOTOMETRIC_RGB && header.samplesPerPixel >= 3;
    if (!rgb) {
        // The first sample is the grey; a single 64-bit sample stays double.
        if (bits == 64 && header.samplesPerPixel == 1) {
            layout.conversion = SampleConversion::Copy;
            layout.type = FIT_DOUBLE;
            layout.bpp = 64;
        } else {
            layout.type = FIT_FLOAT;
            layout.bpp = 32;
        }
        layout.kept = 1;
        return layout;
    }
    const bool alpha = header.samplesPerPixel >= 4 && header.alphaSample == EXTRASAMPLE_UNASSALPHA;
    layout.kept = alpha ? 4 : 3;
    layout.type = alpha ? FIT_RGBAF : FIT_RGBF;
    layout.bpp = 32U * layout.kept;
    return layout;
}

std::optional<RowLayout> integerLayout(TIFF* tiff, const TiffPageHeader& header, RowLayout layout)
{
    const int bits = header.bitsPerSample;
    const bool grey = isGrey(header.photometric);
    const bool rgb = header.photometric == PHOTOMETRIC_RGB && header.samplesPerPixel >= 3;
    const bool signedSamples = header.sampleFormat == SAMPLEFORMAT_INT;
    if (header.photometric == PHOTOMETRIC_PALETTE || header.photometric == PHOTOMETRIC_MASK || (grey && bits <= 8)) {
        return signedSamples || layout.separate ? std::nullopt : indexedLayout(tiff, header, layout);
    }
    if (grey) {
        // Grey with more samples than one (with alpha, or white-is-zero at 16 bits) needs unpacking.
        if (header.samplesPerPixel != 1 || header.photometric == PHOTOMETRIC_MINISWHITE) {
            return std::nullopt;
        }
        if (bits == 16) {
            layout.type = FIT_UINT16;
            layout.conversion = signedSamples ? SampleConversion::SignedToOffset : SampleConversion::Copy;
        } else if (bits == 32) {
            layout.type = signedSamples ? FIT_INT32 : FIT_UINT32;
        } else {
            return std::nullopt;
        }
        layout.bpp = static_cast<unsigned>(bits);
        return layout;
    }
    if (!rgb || header.samplesPerPixel > 4) {
        return std::nullopt;
    }
    // A fourth sample is alpha only when the page says so; associated alpha needs unpremultiplying.
    const bool extra = header.samplesPerPixel == 4;
    if (extra && header.alphaSample == EXTRASAMPLE_ASSOCALPHA) {
        return std::nullopt;
    }
    layout.kept = extra && header.alphaSample == EXTRASAMPLE_UNASSALPHA ? 4 : 3;
    if (bits == 8 && !signedSamples) {
        layout.bpp = 8U * layout.kept;
        layout.swapRedBlue = true;
        return layout;
    }
    if (bits == 16) {
        layout.type = layout.kept == 4 ? FIT_RGBA16 : FIT_RGB16;
        layout.bpp = 16U * layout.kept;
        layout.conversion = signedSamples ? SampleConversion::SignedToOffset : SampleConversion::Copy;
        return layout;
    }
    return std::nullopt;
}

float halfToFloat(std::uint16_t half)
{
    const int exponent = (half >> 10) & 0x1F;
    const int mantissa = half & 0x3FF;
    float value = 0;
    if (exponent == 0) {
        value = std::ldexp(static_cast<float>(mantissa), -24);
    } else if (exponent == 31) {
        value = mantissa == 0 ? INFINITY : NAN;
    } else {
        value = std::ldexp(static_cast<float>(mantissa + 1024), exponent - 25);
    }
    return (half & 0x8000) != 0 ? -value : value;
}

} // namespace

std::optional<RowLayout> rowLayoutOf(TIFF* tiff, const TiffPageHeader& header)
{
    if (header.compression == COMPRESSION_OJPEG || header.bitsPerSample == 0 || header.samplesPerPixel == 0) {
        return std::nullopt;
    }
    RowLayout layout;
    layout.bits = static_cast<std::uint16_t>(header.bitsPerSample);
    layout.samples = static_cast<std::uint16_t>(header.samplesPerPixel);
    layout.separate = header.separatePlanes && header.samplesPerPixel > 1;
    // Separate planes are copied a sample at a time: only whole bytes.
    if (layout.separate && header.bitsPerSample % 8 != 0) {
        return std::nullopt;
    }
    if (header.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        const bool greyOrRgb = header.photometric == PHOTOMETRIC_MINISBLACK || header.photometric == PHOTOMETRIC_RGB;
        return greyOrRgb ? floatLayout(header, layout) : std::nullopt;
    }
    if (header.sampleFormat == SAMPLEFORMAT_UINT || header.sampleFormat == SAMPLEFORMAT_INT) {
        return integerLayout(tiff, header, layout);
    }
    return std::nullopt;
}

Bitmap layoutHeader(TIFF* tiff, const RowLayout& layout, std::uint32_t width, std::uint32_t height)
{
    const auto w = static_cast<int>(width);
    const auto h = static_cast<int>(height);
    Bitmap header = allocatePageHeader(layout.type, w, h, static_cast<int>(layout.bpp));
    if (!header) {
        return header;
    }
    if (!layout.palette.empty() && FreeImage_GetPalette(header.get()) != nullptr) {
        std::memcpy(FreeImage_GetPalette(header.get()), layout.palette.data(),
                    std::min<std::size_t>(layout.palette.size(), FreeImage_GetColorsUsed(header.get())) *
                        sizeof(RGBQUAD));
    }
    attachRowPageMetadata(tiff, header);
    return header;
}

void copyRow(const RowLayout& layout, const std::uint8_t* const* planes, std::uint8_t* target, std::uint32_t pixels)
{
    if (layout.bits < 8) {
        std::memcpy(target, planes[0], static_cast<std::size_t>(layout.storedRowBytes(pixels)));
        return;
    }
    const unsigned sampleBytes = layout.bits / 8U;
    const unsigned stride = layout.separate ? sampleBytes : sampleBytes * layout.samples;
    const bool plain = !layout.separate && layout.kept == layout.samples && layout.conversion == SampleConversion::Copy;
    if (plain) {
        std::memcpy(target, planes[0], std::size_t{pixels} * stride);
    } else {
        const unsigned targetBytes =
            layout.conversion == SampleConversion::Copy || layout.conversion == SampleConversion::SignedToOffset
                ? sampleBytes
                : 4U;
        std::uint8_t* out = target;
        for (std::uint32_t x = 0; x < pixels; ++x) {
            for (unsigned s = 0; s < layout.kept; ++s, out += targetBytes) {
                const std::uint8_t* in = layout.separate ? planes[s] + std::size_t{x} * stride
                                                         : planes[0] + std::size_t{x} * stride + s * sampleBytes;
                switch (layout.conversion) {
                case SampleConversion::Copy:
                    std::memcpy(out, in, sampleBytes);
                    break;
                case SampleConversion::SignedToOffset: {
                    std::uint16_t word = 0;
                    std::memcpy(&word, in, 2);
                    word ^= 0x8000U;
                    std::memcpy(out, &word, 2);
                    break;
                }
                case SampleConversion::HalfToFloat: {
                    std::uint16_t half = 0;
                    std::memcpy(&half, in, 2);
                    const float value = halfToFloat(half);
                    std::memcpy(out, &value, 4);
                    break;
                }
                case SampleConversion::DoubleToFloat: {
                    double wide = 0;
                    std::memcpy(&wide, in, 8);
                    const auto value = static_cast<float>(wide);
                    std::memcpy(out, &value, 4);
                    break;
                }
                }
            }
        }
    }
    if (layout.swapRedBlue) {
        const unsigned bytes = layout.bpp / 8U;
        for (std::uint32_t x = 0; x < pixels; ++x) {
            std::swap(target[std::size_t{x} * bytes], target[std::size_t{x} * bytes + 2]);
        }
    }
}

void attachRowPageMetadata(TIFF* tiff, const Bitmap& page)
{
    // The resolution too: 300 dpi when the page says nothing, as pages read as rows always had.
    attachTiffMetadata(tiff, page, true);
}

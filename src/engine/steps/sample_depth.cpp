#include "engine/steps/sample_depth.h"

#include <tiffio.h>

#include <algorithm>

namespace {

// What the conversions below would otherwise drop: resolution, metadata models, ICC profile.
void carryOver(FIBITMAP* from, FIBITMAP* to)
{
    FreeImage_SetDotsPerMeterX(to, FreeImage_GetDotsPerMeterX(from));
    FreeImage_SetDotsPerMeterY(to, FreeImage_GetDotsPerMeterY(from));
    FreeImage_CloneMetadata(to, from);
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(from);
    if (profile != nullptr && profile->data != nullptr && profile->size > 0) {
        FreeImage_CreateICCProfile(to, profile->data, profile->size);
    }
}

// A scanner's 16-bit photo is an ordinary picture with finer steps, not a high-dynamic-range
// scene: each sample keeps its place on the scale. Tone mapping it washed it out and shifted
// hues where channels meet (a red-to-blue gradient grew a magenta band).
template <typename Pixel, bool withAlpha> Bitmap scaleLinearly(FIBITMAP* source)
{
    const unsigned width = FreeImage_GetWidth(source);
    const unsigned height = FreeImage_GetHeight(source);
    Bitmap result(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), withAlpha ? 32 : 24,
                                     FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!result) {
        return {};
    }
    constexpr unsigned bytes = withAlpha ? 4 : 3;
    for (unsigned y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const Pixel*>(FreeImage_GetScanLine(source, static_cast<int>(y)));
        BYTE* out = FreeImage_GetScanLine(result.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, out += bytes) {
            out[FI_RGBA_RED] = levelOf16(in[x].red);
            out[FI_RGBA_GREEN] = levelOf16(in[x].green);
            out[FI_RGBA_BLUE] = levelOf16(in[x].blue);
            if constexpr (withAlpha) {
                out[FI_RGBA_ALPHA] = levelOf16(in[x].alpha);
            }
        }
    }
    carryOver(source, result.get());
    return result;
}

// An 8-bit grey bitmap of the page's size, its palette a ramp from black to white.
Bitmap greyLike(FIBITMAP* source)
{
    Bitmap grey(FreeImage_Allocate(static_cast<int>(FreeImage_GetWidth(source)),
                                   static_cast<int>(FreeImage_GetHeight(source)), 8));
    if (grey) {
        RGBQUAD* palette = FreeImage_GetPalette(grey.get());
        for (int level = 0; level < 256; ++level) {
            const auto entry = static_cast<BYTE>(level);
            palette[level] = RGBQUAD{entry, entry, entry, 0};
        }
    }
    return grey;
}

// 16-bit grey from its darkest value (black) to its lightest (white). The library's own stretch
// starts from 255 at the highest, so a page whose darkest value is above 255 is not stretched to
// black; and a page of one single value has nothing to stretch (the library turned it white): that
// value keeps its place on the scale.
Bitmap stretchGrey16(FIBITMAP* source)
{
    const unsigned width = FreeImage_GetWidth(source);
    const unsigned height = FreeImage_GetHeight(source);
    std::uint32_t darkest = 0xFFFF;
    std::uint32_t lightest = 0;
    for (unsigned y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const WORD*>(FreeImage_GetScanLine(source, static_cast<int>(y)));
        const auto [low, high] = std::minmax_element(line, line + width);
        darkest = std::min<std::uint32_t>(darkest, *low);
        lightest = std::max<std::uint32_t>(lightest, *high);
    }
    Bitmap grey = greyLike(source);
    if (!grey || width == 0) {
        return grey;
    }
    const std::uint32_t range = lightest - darkest;
    for (unsigned y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const WORD*>(FreeImage_GetScanLine(source, static_cast<int>(y)));
        BYTE* out = FreeImage_GetScanLine(grey.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) {
            out[x] = range == 0 ? levelOf16(in[x]) : static_cast<BYTE>(((in[x] - darkest) * 255U + range / 2) / range);
        }
    }
    carryOver(source, grey.get());
    return grey;
}

// Other grey types (floating point, 32-bit integers) keep the library's stretch.
Bitmap stretchGrey(FIBITMAP* source)
{
    if (FreeImage_GetImageType(source) == FIT_UINT16) {
        return stretchGrey16(source);
    }
    return Bitmap(FreeImage_ConvertToStandardType(source, TRUE));
}

// A standard bitmap widened to 16 bits per sample, each level with sixteenOf8.
template <typename Pixel, bool withAlpha> Bitmap widenLevels(FIBITMAP* source)
{
    const Bitmap rgba(FreeImage_ConvertTo32Bits(source));
    if (!rgba) {
        return {};
    }
    const unsigned width = FreeImage_GetWidth(source);
    const unsigned height = FreeImage_GetHeight(source);
    Bitmap result(
        FreeImage_AllocateT(withAlpha ? FIT_RGBA16 : FIT_RGB16, static_cast<int>(width), static_cast<int>(height)));
    if (!result) {
        return {};
    }
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* in = FreeImage_GetScanLine(rgba.get(), static_cast<int>(y));
        auto* out = reinterpret_cast<Pixel*>(FreeImage_GetScanLine(result.get(), static_cast<int>(y)));
        for (unsigned x = 0; x < width; ++x, in += 4) {
            out[x].red = sixteenOf8(in[FI_RGBA_RED]);
            out[x].green = sixteenOf8(in[FI_RGBA_GREEN]);
            out[x].blue = sixteenOf8(in[FI_RGBA_BLUE]);
            if constexpr (withAlpha) {
                out[x].alpha = sixteenOf8(in[FI_RGBA_ALPHA]);
            }
        }
    }
    carryOver(source, result.get());
    return result;
}

// The converted page, or an empty handle for a standard bitmap, which needs no conversion.
Bitmap converted(FIBITMAP* dib)
{
    switch (FreeImage_GetImageType(dib)) {
    case FIT_BITMAP:
        return {};
    case FIT_RGB16:
        return scaleLinearly<FIRGB16, false>(dib);
    case FIT_RGBA16:
        return scaleLinearly<FIRGBA16, true>(dib);
    case FIT_RGBF:
    case FIT_RGBAF:
        return Bitmap(FreeImage_TmoDrago03(dib, 1.0, 0.0));
    default:
        return stretchGrey(dib);
    }
}

} // namespace

Bitmap toEightBitsPerSample(Bitmap image)
{
    if (image.empty() || FreeImage_GetImageType(image.get()) == FIT_BITMAP) {
        return image;
    }
    return converted(image.get());
}

Bitmap eightBitsPerSampleOf(FIBITMAP* image)
{
    if (image == nullptr) {
        return {};
    }
    if (FreeImage_GetImageType(image) == FIT_BITMAP) {
        return Bitmap(FreeImage_Clone(image));
    }
    return converted(image);
}

SourceSamples sourceSamplesOf(FIBITMAP* page)
{
    switch (page != nullptr ? FreeImage_GetImageType(page) : FIT_UNKNOWN) {
    case FIT_UINT16:
        return SourceSamples::SixteenGrey;
    case FIT_RGB16:
        return SourceSamples::SixteenRgb;
    case FIT_RGBA16:
        return FreeImage_GetColorType(page) == FIC_RGBALPHA ? SourceSamples::SixteenRgba : SourceSamples::Standard;
    default:
        return SourceSamples::Standard;
    }
}

SourceSamples sourceSamplesOf(const TiffPageHeader& header)
{
    // The layouts the reader decodes into 16-bit pixel types; it reads the others at 8 bits per
    // sample.
    if (header.bitsPerSample != 16 || header.cmyk || header.separatePlanes || header.compression == 6) {
        return SourceSamples::Standard;
    }
    if (header.photometric == PHOTOMETRIC_MINISBLACK && header.samplesPerPixel == 1) {
        return SourceSamples::SixteenGrey;
    }
    if (header.photometric != PHOTOMETRIC_RGB) {
        return SourceSamples::Standard;
    }
    if (header.samplesPerPixel == 3) {
        return SourceSamples::SixteenRgb;
    }
    return header.samplesPerPixel == 4 && header.extraSamples > 0 ? SourceSamples::SixteenRgba
                                                                  : SourceSamples::Standard;
}

Bitmap toSixteenBitColour(Bitmap image)
{
    if (!image || FreeImage_GetImageType(image.get()) != FIT_UINT16) {
        return image;
    }
    Bitmap colour(FreeImage_ConvertToRGB16(image.get()));
    if (colour) {
        carryOver(image.get(), colour.get());
    }
    return colour;
}

Bitmap toSixteenBitsPerSample(Bitmap image, bool withAlpha)
{
    if (!image) {
        return {};
    }
    FIBITMAP* dib = image.get();
    const FREE_IMAGE_TYPE wanted = withAlpha ? FIT_RGBA16 : FIT_RGB16;
    switch (FreeImage_GetImageType(dib)) {
    case FIT_BITMAP:
        return withAlpha ? widenLevels<FIRGBA16, true>(dib) : widenLevels<FIRGB16, false>(dib);
    case FIT_UINT16:
    case FIT_RGB16:
    case FIT_RGBA16: {
        if (FreeImage_GetImageType(dib) == wanted) {
            return image;
        }
        Bitmap result(withAlpha ? FreeImage_ConvertToRGBA16(dib) : FreeImage_ConvertToRGB16(dib));
        if (result) {
            carryOver(dib, result.get());
        }
        return result;
    }
    default: {
        Bitmap standard = toEightBitsPerSample(std::move(image));
        return standard ? toSixteenBitsPerSample(std::move(standard), withAlpha) : Bitmap();
    }
    }
}

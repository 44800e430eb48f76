#include "engine/sample_depth.h"

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
template <typename Pixel, bool withAlpha>
Bitmap scaleLinearly(FIBITMAP* source)
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

// The one value of a 16-bit grey page whose every pixel is the same, or -1.
int singleGreyValue(FIBITMAP* grey)
{
    const unsigned width = FreeImage_GetWidth(grey);
    const unsigned height = FreeImage_GetHeight(grey);
    if (width == 0 || height == 0) {
        return -1;
    }
    const auto first = *reinterpret_cast<const WORD*>(FreeImage_GetScanLine(grey, 0));
    for (unsigned y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const WORD*>(FreeImage_GetScanLine(grey, static_cast<int>(y)));
        if (std::any_of(line, line + width, [first](WORD value) { return value != first; })) {
            return -1;
        }
    }
    return first;
}

// Stretching a page of one value has no darkest and lightest to stretch between (the library
// turns it white): the value keeps its place on the scale instead.
Bitmap flatGrey(FIBITMAP* source, int value)
{
    Bitmap result(FreeImage_Allocate(static_cast<int>(FreeImage_GetWidth(source)),
                                     static_cast<int>(FreeImage_GetHeight(source)), 8));
    if (!result) {
        return {};
    }
    RGBQUAD* palette = FreeImage_GetPalette(result.get());
    for (int level = 0; level < 256; ++level) {
        const auto entry = static_cast<BYTE>(level);
        palette[level] = RGBQUAD{entry, entry, entry, 0};
    }
    const BYTE level = levelOf16(static_cast<std::uint32_t>(value));
    for (unsigned y = 0; y < FreeImage_GetHeight(source); ++y) {
        std::fill_n(FreeImage_GetScanLine(result.get(), static_cast<int>(y)), FreeImage_GetWidth(source), level);
    }
    carryOver(source, result.get());
    return result;
}

Bitmap stretchGrey(FIBITMAP* source)
{
    if (FreeImage_GetImageType(source) == FIT_UINT16) {
        const int value = singleGreyValue(source);
        if (value >= 0) {
            return flatGrey(source, value);
        }
    }
    return Bitmap(FreeImage_ConvertToStandardType(source, TRUE));
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

Bitmap eightBitsPerSampleOf(const Bitmap& image)
{
    if (image.empty()) {
        return {};
    }
    if (FreeImage_GetImageType(image.get()) == FIT_BITMAP) {
        return Bitmap(FreeImage_Clone(image.get()));
    }
    return converted(image.get());
}

#include "engine/steps/bit_depth.h"

#include "engine/formats/format_catalogue.h"
#include "engine/steps/sample_depth.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixel type a depth stands for: 48 and 96 bits are 16-bit and float RGB, the rest bitmaps.
FREE_IMAGE_TYPE typeOfDepth(int bpp)
{
    switch (bpp) {
    case 96:
        return FIT_RGBF;
    case 48:
        return FIT_RGB16;
    case 64:
        return FIT_RGBA16;
    default:
        return FIT_BITMAP;
    }
}

bool hasMasks555(FIBITMAP* dib)
{
    return FreeImage_GetRedMask(dib) == FI16_555_RED_MASK && FreeImage_GetGreenMask(dib) == FI16_555_GREEN_MASK &&
           FreeImage_GetBlueMask(dib) == FI16_555_BLUE_MASK;
}

bool isBlackAndWhite(FIBITMAP* dib)
{
    const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(dib);
    return colour == FIC_MINISBLACK || colour == FIC_MINISWHITE;
}

// Whether a page that already has the target depth is in the form its writer expects: 16-bit
// pages in the channel layout of the key, 8-bit pages of the grey keys grey, 1-bit pages of the
// formats without a palette black and white. Every other palette page keeps its palette.
bool alreadyWritable(FIBITMAP* dib, int target, const WriterLayout& form)
{
    switch (target) {
    case 16:
        return hasMasks555(dib) == form.rgb555;
    case 8:
        return !form.greyEight || FreeImage_GetColorType(dib) == FIC_MINISBLACK;
    case 1:
        return !form.bilevelOne || isBlackAndWhite(dib);
    default:
        return true;
    }
}

// A palette page (1, 4 or 8 bits) with at least one entry that is not grey.
bool isColourPalettePage(FIBITMAP* dib)
{
    if (FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) > 8) {
        return false;
    }
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    const unsigned colours = FreeImage_GetColorsUsed(dib);
    for (unsigned i = 0; i < colours; ++i) {
        if (palette[i].rgbRed != palette[i].rgbGreen || palette[i].rgbGreen != palette[i].rgbBlue) {
            return true;
        }
    }
    return false;
}

// Whether a page of 16 bits or more has a pixel whose channels differ.
bool hasColourPixels(FIBITMAP* dib)
{
    if (FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) < 16) {
        return false;
    }
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            RGBQUAD pixel{};
            FreeImage_GetPixelColor(dib, x, y, &pixel);
            if (pixel.rgbRed != pixel.rgbGreen || pixel.rgbGreen != pixel.rgbBlue) {
                return true;
            }
        }
    }
    return false;
}

// FreeImage converts most depths only from standard bitmaps. Loaded pages that are not (16-bit
// grey, 48/64-bit RGB, float) are brought to an 8-, 24- or 32-bit bitmap first, the way the
// pipeline's normalisation does.
Bitmap toStandardBitmap(Bitmap image)
{
    return toEightBitsPerSample(std::move(image));
}

// Like FreeImage_ConvertTo24Bits, also for pages that are not standard bitmaps.
Bitmap to24Bits(Bitmap image)
{
    Bitmap standard = toStandardBitmap(std::move(image));
    if (!standard) {
        return {};
    }
    if (standard.bpp() == 24) {
        return standard;
    }
    return Bitmap(FreeImage_ConvertTo24Bits(standard.get()));
}

// 8 bits for the keys whose 8-bit form is grey: colour becomes grey, and a palette that is not
// a plain black-to-white ramp is resolved, since those writers store the indices as grey levels.
Bitmap toGrey8(Bitmap image)
{
    Bitmap standard = toStandardBitmap(std::move(image));
    if (!standard) {
        return {};
    }
    Bitmap grey(FreeImage_ConvertTo8Bits(standard.get()));
    if (grey && FreeImage_GetColorType(grey.get()) != FIC_MINISBLACK) {
        grey.reset(FreeImage_ConvertToGreyscale(grey.get()));
    }
    return grey;
}

// 8 bits for the grey keys. Their writers would store a palette page's indices as grey levels, so
// a page with a coloured palette is expanded to 24 bits and keeps its colours. The automatic
// depth keeps colour too: it picks 8 for a palette source, and a step on the way (resize, frame,
// watermark) may have made that page 24-bit. Only a depth of 8 chosen for a colour page of more
// bits means grey, and a grey-only format (PGM) holds nothing but grey.
Bitmap toGreyEightForm(Bitmap image, bool greyOnly, bool automatic)
{
    Bitmap standard = toStandardBitmap(std::move(image));
    if (!standard) {
        return {};
    }
    const bool keepColour =
        !greyOnly && (isColourPalettePage(standard.get()) || (automatic && hasColourPixels(standard.get())));
    return keepColour ? to24Bits(std::move(standard)) : toGrey8(std::move(standard));
}

double luminance(const RGBQUAD& colour)
{
    return 0.299 * colour.rgbRed + 0.587 * colour.rgbGreen + 0.114 * colour.rgbBlue;
}

bool isBlack(const RGBQUAD& c)
{
    return c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0;
}

bool isWhite(const RGBQUAD& c)
{
    return c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
}

// Each pixel's place between the two colours (0 the dark one, 255 the light one) as a grey level,
// dithered, and the two levels drawn in the two colours. A page the steps left in those colours
// (a resize blends them) comes back in them and nothing else, never black.
Bitmap ditherBetween(Bitmap image, const BilevelColours& own)
{
    const Bitmap rgb = to24Bits(std::move(image));
    if (!rgb) {
        return {};
    }
    const unsigned width = rgb.width();
    const unsigned height = rgb.height();
    Bitmap grey(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 8));
    if (!grey) {
        return {};
    }
    RGBQUAD* ramp = FreeImage_GetPalette(grey.get());
    for (int level = 0; level < 256; ++level) {
        ramp[level] = RGBQUAD{static_cast<BYTE>(level), static_cast<BYTE>(level), static_cast<BYTE>(level), 0};
    }
    const double dr = double(own.light.rgbRed) - own.dark.rgbRed;
    const double dg = double(own.light.rgbGreen) - own.dark.rgbGreen;
    const double db = double(own.light.rgbBlue) - own.dark.rgbBlue;
    const double span = dr * dr + dg * dg + db * db;
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* in = FreeImage_GetScanLine(rgb.get(), static_cast<int>(y));
        BYTE* out = FreeImage_GetScanLine(grey.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, in += 3) {
            const double along = (in[FI_RGBA_RED] - own.dark.rgbRed) * dr +
                                 (in[FI_RGBA_GREEN] - own.dark.rgbGreen) * dg +
                                 (in[FI_RGBA_BLUE] - own.dark.rgbBlue) * db;
            const double place = span > 0 ? std::clamp(along / span, 0.0, 1.0) : 0.0;
            out[x] = static_cast<BYTE>(std::lround(place * 255));
        }
    }
    Bitmap bilevel(FreeImage_Dither(grey.get(), FID_FS));
    if (bilevel) {
        RGBQUAD* palette = FreeImage_GetPalette(bilevel.get());
        palette[0] = own.dark;
        palette[1] = own.light;
        FreeImage_SetDotsPerMeterX(bilevel.get(), FreeImage_GetDotsPerMeterX(rgb.get()));
        FreeImage_SetDotsPerMeterY(bilevel.get(), FreeImage_GetDotsPerMeterY(rgb.get()));
        FreeImage_CloneMetadata(bilevel.get(), rgb.get());
    }
    return bilevel;
}

Bitmap toQuantised8(Bitmap image)
{
    Bitmap rgb = to24Bits(std::move(image));
    if (!rgb) {
        return {};
    }
    return Bitmap(FreeImage_ColorQuantizeEx(rgb.get(), FIQ_WUQUANT, 256, 0, nullptr));
}

} // namespace

std::optional<BilevelColours> ownBilevelColours(FIBITMAP* page)
{
    if (page == nullptr || FreeImage_GetImageType(page) != FIT_BITMAP || FreeImage_GetBPP(page) != 1) {
        return std::nullopt;
    }
    const RGBQUAD* palette = FreeImage_GetPalette(page);
    const RGBQUAD first = palette[0];
    const RGBQUAD second = palette[1];
    if ((isBlack(first) && isWhite(second)) || (isWhite(first) && isBlack(second))) {
        return std::nullopt;
    }
    return luminance(second) < luminance(first) ? BilevelColours{second, first} : BilevelColours{first, second};
}

int effectiveTargetBpp(const JobState& job)
{
    return job.run.autoBpp != 0 ? autoBitDepth(job.outputKey, job.file.sourceBpp, job.file.sourceSamples)
                                : job.run.targetBpp;
}

bool keepsSixteenBitSamples(const JobState& job)
{
    if (job.file.sourceSamples == SourceSamples::Standard) {
        return false;
    }
    const int target = effectiveTargetBpp(job);
    return target == 48 || target == 64;
}

Bitmap convertBitDepth(Bitmap image, const JobState& job, const std::optional<BilevelColours>& own)
{
    if (!image) {
        return {};
    }
    const int target = effectiveTargetBpp(job);
    const WriterLayout& form = outputFormatFor(job.outputKey).layout;

    if (static_cast<int>(image.bpp()) == target && FreeImage_GetImageType(image.get()) == typeOfDepth(target) &&
        alreadyWritable(image.get(), target, form)) {
        return image;
    }

    FIBITMAP* dib = image.get();
    switch (target) {
    case 96: {
        Bitmap result(FreeImage_ConvertToRGBF(dib));
        return result ? std::move(result) : Bitmap(FreeImage_ConvertToRGBF(to24Bits(std::move(image)).get()));
    }
    case 64:
        return toSixteenBitsPerSample(std::move(image), true);
    case 48: {
        if (keepsSixteenBitSamples(job)) {
            return toSixteenBitsPerSample(std::move(image), false);
        }
        Bitmap result(FreeImage_ConvertToRGB16(dib));
        return result ? std::move(result) : Bitmap(FreeImage_ConvertToRGB16(to24Bits(std::move(image)).get()));
    }
    case 32: {
        Bitmap standard = toStandardBitmap(std::move(image));
        return standard ? Bitmap(FreeImage_ConvertTo32Bits(standard.get())) : Bitmap();
    }
    case 24:
        return to24Bits(std::move(image));
    case 16: {
        Bitmap standard = toStandardBitmap(std::move(image));
        if (!standard) {
            return {};
        }
        if (standard.bpp() > 32) {
            standard = to24Bits(std::move(standard));
        }
        return Bitmap(form.rgb555 ? FreeImage_ConvertTo16Bits555(standard.get())
                                  : FreeImage_ConvertTo16Bits565(standard.get()));
    }
    case 8:
        return form.greyEight ? toGreyEightForm(std::move(image), form.greyOnly, job.run.autoBpp != 0)
                              : toQuantised8(std::move(image));
    case 4: {
        Bitmap standard = toStandardBitmap(std::move(image));
        return standard ? Bitmap(FreeImage_ConvertTo4Bits(standard.get())) : Bitmap();
    }
    case 1: {
        if (own && !form.bilevelOne) {
            return ditherBetween(std::move(image), *own);
        }
        Bitmap standard = toStandardBitmap(std::move(image));
        return standard ? Bitmap(FreeImage_Dither(standard.get(), FID_FS)) : Bitmap();
    }
    default:
        return {};
    }
}

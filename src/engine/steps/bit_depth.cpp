#include "engine/steps/bit_depth.h"

#include "engine/formats/format_catalogue.h"
#include "engine/steps/sample_depth.h"

namespace {

// The pixel type a depth stands for: 48 and 96 bits are 16-bit and float RGB, the rest bitmaps.
FREE_IMAGE_TYPE typeOfDepth(int bpp)
{
    switch (bpp) {
    case 96:
        return FIT_RGBF;
    case 48:
        return FIT_RGB16;
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
    const bool keepColour = !greyOnly &&
                            (isColourPalettePage(standard.get()) || (automatic && hasColourPixels(standard.get())));
    return keepColour ? to24Bits(std::move(standard)) : toGrey8(std::move(standard));
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

int effectiveTargetBpp(const JobState& job)
{
    return job.run.autoBpp != 0 ? autoBitDepth(job.outputKey, job.file.sourceBpp) : job.run.targetBpp;
}

Bitmap convertBitDepth(Bitmap image, const JobState& job)
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
    case 48: {
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
        Bitmap standard = toStandardBitmap(std::move(image));
        return standard ? Bitmap(FreeImage_Dither(standard.get(), FID_FS)) : Bitmap();
    }
    default:
        return {};
    }
}

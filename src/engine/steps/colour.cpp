#include "engine/steps/colour.h"

#include "engine/steps/sample_depth.h"

#include <algorithm>

namespace {

// FreeImage's greyscale and threshold conversions take standard bitmaps of at most 32 bits.
Bitmap atMost32Bits(Bitmap image)
{
    if (image.bpp() > 32) {
        return convertTo24Bits(image);
    }
    return image;
}

} // namespace

Bitmap convertTo24Bits(const Bitmap& image)
{
    if (image.empty() || FreeImage_GetImageType(image.get()) == FIT_UNKNOWN) {
        return {};
    }
    if (FreeImage_GetImageType(image.get()) == FIT_BITMAP) {
        return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    }
    // Deep pages the way the pipeline brings them to 8 bits per sample, whichever step meets them first.
    Bitmap standard = eightBitsPerSampleOf(image.get());
    if (!standard || standard.bpp() == 24) {
        return standard;
    }
    return Bitmap(FreeImage_ConvertTo24Bits(standard.get()));
}

Bitmap adjustColours(Bitmap image, const Settings& settings)
{
    const AdjustmentSettings& a = settings.adjustment;
    if (image.empty() || a.doImageColorCorrection == 0) {
        return image;
    }
    if (FreeImage_GetImageType(image.get()) != FIT_BITMAP) {
        // A page that kept its 16-bit samples is adjusted at 8 bits per sample, alpha kept.
        image = toEightBitsPerSample(std::move(image));
    }
    if (!image.empty() && image.bpp() < 8) {
        image = convertTo24Bits(image);
    }
    if (image.empty()) {
        return image;
    }
    FreeImage_AdjustColors(image.get(), static_cast<double>(a.imageBrightness), static_cast<double>(a.imageContrast),
                           static_cast<double>(a.imageGamma), a.imageInvert != 0 ? TRUE : FALSE);
    return image;
}

Bitmap toGreyscale(Bitmap image, const Settings& settings)
{
    if (image.empty() || settings.adjustment.doImageGreyscale == 0) {
        return image;
    }
    image = atMost32Bits(std::move(image));
    if (image.empty()) {
        return image;
    }
    return Bitmap(FreeImage_ConvertToGreyscale(image.get()));
}

Bitmap applyThreshold(Bitmap image, const Settings& settings)
{
    if (image.empty() || settings.adjustment.doImageThreshold == 0) {
        return image;
    }
    image = atMost32Bits(std::move(image));
    if (image.empty()) {
        return image;
    }
    const auto level = static_cast<BYTE>(std::clamp(settings.adjustment.imageThreshold, 0, 255));
    return Bitmap(FreeImage_Threshold(image.get(), level));
}

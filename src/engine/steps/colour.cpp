#include "engine/steps/colour.h"

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
    switch (FreeImage_GetImageType(image.get())) {
    case FIT_BITMAP:
    case FIT_RGB16:
    case FIT_RGBA16:
        return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    case FIT_RGBF:
    case FIT_RGBAF:
        return Bitmap(FreeImage_TmoDrago03(image.get(), 1.0, 0.0));
    case FIT_UNKNOWN:
        return {};
    default: {
        const Bitmap standard(FreeImage_ConvertToStandardType(image.get(), TRUE));
        return standard ? Bitmap(FreeImage_ConvertTo24Bits(standard.get())) : Bitmap();
    }
    }
}

Bitmap adjustColours(Bitmap image, const Settings& settings)
{
    const AdjustmentSettings& a = settings.adjustment;
    if (image.empty() || a.doImageColorCorrection == 0) {
        return image;
    }
    if (image.bpp() < 8 || image.bpp() > 32) {
        image = convertTo24Bits(image);
        if (image.empty()) {
            return image;
        }
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

#include "engine/steps/transform.h"

#include "app/setting_choices.h"
#include "engine/core/page_limits.h"
#include "engine/steps/colour.h"
#include "engine/steps/sample_depth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Percent targets round to the nearest integer with ties to the even one (801 at 50 % is 400).
int targetFromSetting(int value, int unit, int current)
{
    switch (unit) {
    case 0:
        return value;
    case 1:
        return static_cast<int>(std::nearbyint(value / 100.0 * current));
    default:
        return 0;
    }
}

RGBQUAD backgroundColour(const Settings& settings)
{
    const std::uint32_t colour = colourFromHex(settings.transform.imageRotationBackColor);
    RGBQUAD quad{};
    quad.rgbRed = static_cast<BYTE>(colour & 0xFF);
    quad.rgbGreen = static_cast<BYTE>((colour >> 8) & 0xFF);
    quad.rgbBlue = static_cast<BYTE>((colour >> 16) & 0xFF);
    quad.rgbReserved = 0;
    return quad;
}

bool hasSixteenBitColour(const Bitmap& image)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
    return type == FIT_RGB16 || type == FIT_RGBA16;
}

// The background of a 16-bit page: the colour widened, transparent like the 32-bit background.
FIRGBA16 sixteenBitBackground(const Settings& settings)
{
    const RGBQUAD colour = backgroundColour(settings);
    return FIRGBA16{sixteenOf8(colour.rgbRed), sixteenOf8(colour.rgbGreen), sixteenOf8(colour.rgbBlue), 0};
}

// The page as a 24- or 32-bit bitmap: deeper pages at 8 bits per sample, alpha kept.
Bitmap rotatableBitmap(Bitmap image)
{
    image = toEightBitsPerSample(std::move(image));
    if (image && image.bpp() != 24 && image.bpp() != 32) {
        image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    }
    return image;
}

} // namespace

FREE_IMAGE_FILTER resizeFilter(int algorithm)
{
    return static_cast<FREE_IMAGE_FILTER>(choiceValue(resizeFilters, algorithm, FILTER_BICUBIC));
}

Bitmap rotate(Bitmap image, const Settings& settings, bool sixteenBitSamples)
{
    const TransformSettings& t = settings.transform;
    const int angle = t.imageRotation;
    if (image.empty() || t.doImageRotation == 0 || angle < 1 || angle > 359) {
        return image;
    }
    if (sixteenBitSamples && t.imageRotationType == 0 && hasSixteenBitColour(image)) {
        const FIRGBA16 background = sixteenBitBackground(settings);
        return Bitmap(FreeImage_Rotate(image.get(), angle, &background));
    }
    if (FreeImage_GetImageType(image.get()) != FIT_BITMAP || image.bpp() <= 16 || image.bpp() > 32) {
        image = rotatableBitmap(std::move(image));
        if (image.empty()) {
            return image;
        }
    }
    switch (t.imageRotationType) {
    case 0: {
        const RGBQUAD background = backgroundColour(settings);
        return Bitmap(FreeImage_Rotate(image.get(), angle, &background));
    }
    case 1: {
        const double centreX = image.width() / 2.0;
        const double centreY = image.height() / 2.0;
        return Bitmap(FreeImage_RotateEx(image.get(), angle, 0.0, 0.0, centreX, centreY, FALSE));
    }
    default:
        return image;
    }
}

ResizeTarget resizeTarget(int width, int height, const Settings& settings)
{
    const TransformSettings& t = settings.transform;
    const ResizeTarget unchanged{width, height};
    if (t.doImageResize == 0 || width < 1 || height < 1) {
        return unchanged;
    }
    ResizeTarget target{targetFromSetting(t.imageWidth, t.imageWidthUnit, width),
                        targetFromSetting(t.imageHeight, t.imageHeightUnit, height)};
    if (target.width < 1 || target.height < 1 || target == unchanged) {
        return unchanged;
    }
    if (t.imageResizeType == 1 && width < target.width && height < target.height) {
        return unchanged;
    }
    if (t.keepAspectRatio != 0) {
        // The longer side decides which target stays; the ratio is single precision on purpose,
        // and the other side rounds halves away from zero. A sliver of a page still keeps one pixel.
        if (width >= height) {
            const float ratio = static_cast<float>(width) / static_cast<float>(height);
            target.height = std::max(1, static_cast<int>(std::lround(target.width / static_cast<double>(ratio))));
        } else {
            const float ratio = static_cast<float>(height) / static_cast<float>(width);
            target.width = std::max(1, static_cast<int>(std::lround(target.height / static_cast<double>(ratio))));
        }
    }
    return target;
}

Bitmap resize(Bitmap image, int width, int height, const Settings& settings)
{
    if (image.empty()) {
        return image;
    }
    const ResizeTarget target = resizeTarget(width, height, settings);
    if (target == ResizeTarget{width, height}) {
        return image;
    }
    // A target beyond the page-size limit would only exhaust memory; the page fails instead.
    if (!pageSizeAllowed(static_cast<std::uint64_t>(target.width), static_cast<std::uint64_t>(target.height))) {
        return Bitmap();
    }
    return Bitmap(FreeImage_Rescale(image.get(), target.width, target.height,
                                    resizeFilter(settings.transform.imageResizeAlgorithm)));
}

void flip(Bitmap& image, const Settings& settings)
{
    if (image.empty()) {
        return;
    }
    if (settings.transform.doImageFlipHorizontal != 0) {
        FreeImage_FlipHorizontal(image.get());
    }
    if (settings.transform.doImageFlipVertical != 0) {
        FreeImage_FlipVertical(image.get());
    }
}

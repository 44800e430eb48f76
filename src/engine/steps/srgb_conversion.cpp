#include "engine/steps/srgb_conversion.h"

#include "engine/core/lcms_handles.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The pixel layout Little CMS reads a page in, by FreeImage's memory layout (little-endian: 8-bit
// pages are stored blue first); 0 for layouts that are not converted.
cmsUInt32Number pixelFormatOf(FIBITMAP* page, cmsColorSpaceSignature space)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(page);
    const unsigned bpp = FreeImage_GetBPP(page);
    if (space == cmsSigRgbData) {
        if (type == FIT_BITMAP && bpp == 24) {
            return TYPE_BGR_8;
        }
        if (type == FIT_BITMAP && bpp == 32) {
            return TYPE_BGRA_8;
        }
        if (type == FIT_RGB16) {
            return TYPE_RGB_16;
        }
        return type == FIT_RGBA16 ? TYPE_RGBA_16 : 0;
    }
    if (space == cmsSigGrayData) {
        if (type == FIT_BITMAP && bpp == 8 && FreeImage_GetColorType(page) == FIC_MINISBLACK) {
            return TYPE_GRAY_8;
        }
        return type == FIT_UINT16 ? TYPE_GRAY_16 : 0;
    }
    return 0;
}

// sRGB, or for grey pages a grey profile with sRGB's white and tone curve.
LcmsProfile screenProfile(cmsColorSpaceSignature space)
{
    if (space == cmsSigRgbData) {
        return LcmsProfile(cmsCreate_sRGBProfile());
    }
    // IEC 61966-2-1: a power of 2.4 with a linear segment below 0.04045.
    const cmsFloat64Number srgbCurve[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    const LcmsToneCurve curve(cmsBuildParametricToneCurve(nullptr, 4, srgbCurve));
    if (!curve) {
        return {};
    }
    return LcmsProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve.get()));
}

// Whether a transform leaves every 8-bit colour within one level: the profile is sRGB in all but
// name (profiles of sRGB differ in their curves' encodings by that much), and converting would
// only add rounding.
bool leavesColoursAlone(void* transform, cmsColorSpaceSignature space)
{
    constexpr int step = 15; // 0, 15, ..., 255 in each channel
    std::vector<std::uint8_t> in;
    if (space == cmsSigRgbData) {
        for (int r = 0; r <= 255; r += step) {
            for (int g = 0; g <= 255; g += step) {
                for (int b = 0; b <= 255; b += step) {
                    in.insert(in.end(), {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                                         static_cast<std::uint8_t>(r)});
                }
            }
        }
    } else {
        for (int v = 0; v <= 255; ++v) {
            in.push_back(static_cast<std::uint8_t>(v));
        }
    }
    std::vector<std::uint8_t> out(in.size());
    const int channels = space == cmsSigRgbData ? 3 : 1;
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size() / channels));
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (std::abs(int{in[i]} - int{out[i]}) > 1) {
            return false;
        }
    }
    return true;
}

LcmsTransform makeTransform(void* from, void* to, cmsUInt32Number format, cmsUInt32Number flags = 0)
{
    return LcmsTransform(cmsCreateTransform(from, format, to, format, INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_BLACKPOINTCOMPENSATION | flags));
}

} // namespace

Bitmap convertToSrgb(Bitmap page)
{
    const FIICCPROFILE* icc = page ? FreeImage_GetICCProfile(page.get()) : nullptr;
    if (icc == nullptr || icc->data == nullptr || icc->size <= 0) {
        return page;
    }
    const LcmsProfile own(cmsOpenProfileFromMem(icc->data, static_cast<cmsUInt32Number>(icc->size)));
    if (!own) {
        return page;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(own.get());
    const cmsUInt32Number format = pixelFormatOf(page.get(), space);
    const LcmsProfile screen = format != 0 ? screenProfile(space) : LcmsProfile();
    if (!screen) {
        return page;
    }
    const cmsUInt32Number probeFormat = space == cmsSigRgbData ? TYPE_BGR_8 : TYPE_GRAY_8;
    const LcmsTransform probe = makeTransform(own.get(), screen.get(), probeFormat);
    if (!probe || leavesColoursAlone(probe.get(), space)) {
        return page;
    }
    // Alpha is not colour: it is copied as it is.
    const LcmsTransform transform =
        makeTransform(own.get(), screen.get(), format, T_EXTRA(format) != 0 ? cmsFLAGS_COPY_ALPHA : 0);
    if (!transform) {
        return page;
    }
    const unsigned width = FreeImage_GetWidth(page.get());
    for (unsigned y = 0; y < FreeImage_GetHeight(page.get()); ++y) {
        BYTE* row = FreeImage_GetScanLine(page.get(), static_cast<int>(y));
        cmsDoTransform(transform.get(), row, row, width);
    }
    FreeImage_DestroyICCProfile(page.get());
    return page;
}

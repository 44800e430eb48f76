#include "engine/decode/cmyk_profile.h"

#include <lcms2.h>

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

} // namespace

CmykProfileTransform::CmykProfileTransform(TIFF* tiff)
{
    std::uint32_t size = 0;
    void* data = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &data) == 0 || size == 0 || data == nullptr) {
        return;
    }
    const ProfileHandle ink(cmsOpenProfileFromMem(data, size));
    if (!ink || cmsGetColorSpace(ink.get()) != cmsSigCmykData) {
        return;
    }
    const ProfileHandle screen(cmsCreate_sRGBProfile());
    if (!screen) {
        return;
    }
    transform_ = cmsCreateTransform(ink.get(), TYPE_CMYK_8, screen.get(), TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                    cmsFLAGS_BLACKPOINTCOMPENSATION);
}

CmykProfileTransform::~CmykProfileTransform()
{
    if (transform_ != nullptr) {
        cmsDeleteTransform(transform_);
    }
}

void CmykProfileTransform::toRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, std::uint32_t pixels) const
{
    cmsDoTransform(transform_, cmyk, rgb, pixels);
}

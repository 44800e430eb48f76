#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>

// Turns CMYK ink into sRGB through the ICC profile a CMYK page carries (Little CMS, relative
// colorimetric with black point compensation), so a press profile's black and ink limits show as
// the print would. Without a usable CMYK profile the caller keeps the plain ink-to-light formula.
class CmykProfileTransform {
  public:
    // From the current directory's ICC profile; not valid when there is none, it is not a CMYK
    // profile, or Little CMS cannot build a transform from it.
    explicit CmykProfileTransform(TIFF* tiff);
    ~CmykProfileTransform();
    CmykProfileTransform(const CmykProfileTransform&) = delete;
    CmykProfileTransform& operator=(const CmykProfileTransform&) = delete;

    bool valid() const { return transform_ != nullptr; }

    // `pixels` pixels of 8-bit C, M, Y, K (0: no ink) into 8-bit R, G, B.
    void toRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, std::uint32_t pixels) const;

  private:
    void* transform_ = nullptr; // cmsHTRANSFORM
};

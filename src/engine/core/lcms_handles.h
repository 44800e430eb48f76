#pragma once

#include <lcms2.h>

#include <memory>

// Owning handles for Little CMS profiles, transforms and tone curves.

struct LcmsProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using LcmsProfile = std::unique_ptr<void, LcmsProfileCloser>;

struct LcmsTransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using LcmsTransform = std::unique_ptr<void, LcmsTransformDeleter>;

struct LcmsCurveDeleter {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using LcmsToneCurve = std::unique_ptr<cmsToneCurve, LcmsCurveDeleter>;

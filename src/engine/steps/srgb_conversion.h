#pragma once

#include "engine/core/bitmap.h"

// A page written without its colour profile is shown as sRGB by every viewer. When the profile a
// page carries describes other colours (Adobe RGB, ProPhoto, a scanner's own, a grey profile with
// another tone curve), dropping it alone shifts them: a red stored as 200 in Adobe RGB shows as
// 200 in sRGB where it is 234. This converts the pixels first (Little CMS, relative colorimetric
// with black point compensation, as the CMYK path converts ink).

// The page with its pixels converted to sRGB (grey pages to grey with the sRGB tone curve) and its
// profile removed, when it carries a well-formed RGB or grey profile that is not sRGB; otherwise
// the page as it came. Handles 24- and 32-bit pages, 48- and 64-bit RGB pages, and 8- and 16-bit
// grey pages; other layouts come back unconverted.
Bitmap convertToSrgb(Bitmap page);

#pragma once

#include "engine/core/bitmap.h"
#include "engine/decode/tiff_page_header.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// A reduced copy of one page, made without decoding the whole page: the file's own
// reduced-resolution copy of the page when it carries one (a sub-directory or a following page
// marked by NewSubfileType bit 0, as pyramidal files store them), or else every n-th row and
// column of the page itself, read a band at a time by the band source so the page is never held
// whole, and strips holding no wanted row never decoded.
struct ReducedPage {
    Bitmap image;                           // of the page's own type, depth and palette; turned upright
    std::uint32_t step = 0;                 // every step-th row and column of what was read
    bool fromReducedResolutionPage = false; // read from the file's own reduced copy
};

// The reduced copy of page `index` of `path` (headers: the file's page headers in order), whose
// longer side is at least `longestSide` wherever the page is larger. `abandoned` (when given) is
// asked between bands. An empty image when the page's pixels are not copied as rows (CMYK, YCbCr,
// old-style JPEG and the like: those are decoded whole), when a band that was read is damaged, or
// when the work was abandoned: a reduced copy is never made of rows that were not read whole.
ReducedPage readReducedPage(const QString& path, int index, const std::vector<TiffPageHeader>& headers,
                            std::uint32_t longestSide, const std::function<bool()>& abandoned = {});

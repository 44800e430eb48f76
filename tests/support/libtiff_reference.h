#pragma once

#include "engine/core/bitmap.h"
#include "support/tiff_variants.h"

#include <QString>

#include <string>
#include <vector>

// An independent decoder to compare our pages with: libtiff's own RGBA reading, or where that
// gives up, the samples the fixture generator wrote.
namespace fixtures {

// One pixel at 8 bits per channel, alpha premultiplied (as libtiff's RGBA reading gives it).
struct RgbaLevels {
    int red = 0, green = 0, blue = 0, alpha = 255;
};

// libtiff's RGBA reading of the first page, top row first. Empty when its RGBA interface does not
// take the layout (depths other than 1, 2, 4, 8 and 16, most separate planes, 32-bit samples).
std::vector<RgbaLevels> libtiffRgba(const QString& path, int width, int height);

// The samples writeTiffVariant wrote for `variant`, each scaled to 8 bits with rounding, ink turned
// into light the way libtiff does it, alpha premultiplied.
std::vector<RgbaLevels> scaledSamples(const TiffVariant& variant, int width, int height);

// Every pixel of a page of any standard depth, top row first, alpha premultiplied.
std::vector<RgbaLevels> premultipliedPixels(const Bitmap& image);

// The first pixel of `got` more than `tolerance` levels off `want`, as text; empty when all match.
std::string firstDifference(const std::vector<RgbaLevels>& got, const std::vector<RgbaLevels>& want, int tolerance,
                            int width);

} // namespace fixtures

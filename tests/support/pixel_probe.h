#pragma once

#include "engine/core/bitmap.h"
#include "support/tiff_fixtures.h"

// The colour of pixel (x, y), counted from the top-left corner, of a page of any standard depth:
// palette pages (1, 4, 8 bits) through their palette, 16 to 32 bits directly.
namespace fixtures {

inline Rgb colourAt(const Bitmap& page, int x, int y)
{
    const auto column = static_cast<unsigned>(x);
    const unsigned row = page.height() - 1 - static_cast<unsigned>(y);
    if (page.bpp() <= 8) {
        BYTE index = 0;
        FreeImage_GetPixelIndex(page.get(), column, row, &index);
        const RGBQUAD entry = FreeImage_GetPalette(page.get())[index];
        return Rgb{entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
    }
    return pixelAt(page, x, y);
}

} // namespace fixtures

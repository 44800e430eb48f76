#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// JPEG XR through jxrlib (Debian's FreeImage cannot encode it). Writes the page losslessly:
// 1-bit black and white, 8-bit grey, 16-bit 5-5-5 / 5-6-5 RGB or 16-bit grey, 24-bit BGR, 32-bit
// BGRA (planar alpha) and 48-bit RGB; 96-bit float RGB keeps JPEG XR's float precision (relative
// error about 1e-4). Colour palettes are written as grey (1 and 8 bits).
bool writeJxr(const Bitmap& image, const QString& path);

// Decodes a JPEG XR file with jxrlib into a FreeImage bitmap of the matching type and depth
// (the inverse of writeJxr); empty when it cannot be read.
Bitmap readJxr(const QString& path);

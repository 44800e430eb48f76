#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// A Windows icon of one image at any size: an icon directory with one entry whose payload is a
// BMP (1, 4, 8, 16, 24 or 32 bits; 32-bit pixels keep their alpha). FreeImage's own icon writer
// accepts only squares of 16 to 256 pixels; this one writes what it refuses (100 x 50, 10 x 10).
bool writeIcon(const Bitmap& image, const QString& path);

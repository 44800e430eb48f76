#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// An 8-bit BMP whose colour table holds only the entries up to the highest palette index a pixel
// uses (an image using indices 0..9 gets 10 colours and pixel data at offset 94). `saveFlags` are
// FreeImage's BMP flags (BMP_SAVE_RLE compresses). False for anything but an 8-bit palette image,
// or when writing fails.
bool writeExactColourBmp(const Bitmap& image, const QString& path, int saveFlags);

#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// An 8-bit BMP of a palette image. With `exactColourTable` its colour table holds only the entries
// up to the highest palette index a pixel uses (an image using indices 0..9 gets 10 colours and
// pixel data at offset 94); without it, the full table FreeImage's encoder writes. `saveFlags` are
// FreeImage's BMP flags (BMP_SAVE_RLE compresses; the pad byte after an odd run of literal bytes,
// which the encoder leaves unset, is written as 0, so the same page always gives the same file).
// False for anything but an 8-bit palette image, or when writing fails.
bool writeColourBmp(const Bitmap& image, const QString& path, int saveFlags, bool exactColourTable);

#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// FreeImage's own TIFF loader, for comparison in tests only: the program never hands it a user's
// file. Decodes page `index` (0-based) of a TIFF file as FreeImage's loader lays it out. FreeImage's
// single-image loader always reads the first page, so it is handed the file through a stream
// whose header names the wanted page's directory as the first one. Empty when the page cannot be
// found or decoded. `flags` are FreeImage's load flags: FIF_LOAD_NOPIXELS gives the page as
// FreeImage lays it out (size, depth, palette, resolution, ICC profile, metadata) without pixels.
Bitmap decodeTiffPage(const QString& path, int index, int flags = 0);

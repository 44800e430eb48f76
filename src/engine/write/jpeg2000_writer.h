#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// FreeImage's JPEG 2000 encoder always asks OpenJPEG for six resolution levels, which needs every
// side of the page to be at least 32 pixels: a thumbnail or a narrow strip fails. Pages it takes
// go to it; the others are written here with as many levels as the page's shorter side allows and
// otherwise the same encoding (8-bit grey, RGB and RGBA, 16-bit grey, RGB and RGBA; one quality
// layer at a 16:1 rate, the colour transform for three components).
bool takesJpeg2000Page(const Bitmap& image);

// Writes the page as a JPEG 2000 codestream (j2k) or, with fileFormat, a JP2 file.
bool writeJpeg2000(const Bitmap& image, const QString& path, bool fileFormat);

// The number of resolution levels a page of this size can be encoded with: six, or fewer for a
// side under 32 pixels (each level halves the page; the smallest must keep a pixel).
int jpeg2000ResolutionLevels(unsigned width, unsigned height);

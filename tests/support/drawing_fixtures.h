#pragma once

#include "app/settings.h"

#include <QString>

// What the frame and watermark tests draw with, made by code.
namespace fixtures {

// Writes a 90 x 70 PNG picture with a colour gradient, varied alpha and a transparent top-left
// corner (larger than the small test pages both ways). Returns its path, or empty on failure.
QString writeMarkPicture(const QString& path);

// Turns the solid frame on with the given widths: left red, right green, top blue, bottom yellow.
void useFrame(Settings& settings, int left, int right, int top, int bottom);

} // namespace fixtures

#pragma once

#include "engine/steps/draw/canvas.h"

#include <QString>

#include <optional>

namespace draw {

struct Picture {
    Canvas canvas;
    // 32 when the file carries an alpha channel (also a palette with a transparent entry), 24 for
    // colour without alpha, else the file's own depth (8 grey, 1 bilevel).
    int depth = 0;
};

// Reads a BMP, PNG or JPEG file (recognised by content) into a canvas, keeping its alpha channel.
std::optional<Picture> loadPicture(const QString& path);

} // namespace draw

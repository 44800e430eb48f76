#pragma once

#include "engine/core/bitmap.h"

#include <QString>

// DevIL and ILU keep global state: initialised once at start-up, shut down at exit.
class DevilLibrary {
  public:
    DevilLibrary();
    ~DevilLibrary();
    DevilLibrary(const DevilLibrary&) = delete;
    DevilLibrary& operator=(const DevilLibrary&) = delete;
};

enum class DevilWriteResult {
    Written,
    Failed,
    OutOfMemory, // the pixel buffer could not be allocated
};

// Writes a 24-bit (BGR) or 32-bit (BGRA) page through DevIL as image type `ilType` (IL_DDS,
// IL_PSD, IL_PCX) to `path`, building ILU mipmaps first when asked. Other depths fail. DevIL's
// state is global, so calls are serialised; DevIL is initialised on first use when no
// DevilLibrary exists yet.
DevilWriteResult writeDevilImage(const Bitmap& image, const QString& path, int ilType, bool buildMipmaps);

// What DevIL reads back from a file: for checking written files.
struct DevilImageInfo {
    bool loaded = false;
    int type = 0; // IL_DDS, IL_PSD, ... as DevIL determined it
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int mipmaps = 0;
};
DevilImageInfo readDevilImageInfo(const QString& path);

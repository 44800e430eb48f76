#include "engine/write/devil_writer.h"

#include <QFile>

#include <IL/il.h>
#include <IL/ilu.h>

#include <memory>
#include <mutex>
#include <new>

namespace {

// DevIL keeps one current image and one error stack for the whole process.
std::mutex& devilMutex()
{
    static std::mutex mutex;
    return mutex;
}

void initialiseDevil()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ilInit();
        iluInit();
    });
}

// One DevIL image name, deleted on every exit path.
class DevilImage {
  public:
    DevilImage()
    {
        ilGenImages(1, &name_);
        ilBindImage(name_);
    }
    ~DevilImage() { ilDeleteImages(1, &name_); }
    DevilImage(const DevilImage&) = delete;
    DevilImage& operator=(const DevilImage&) = delete;

  private:
    ILuint name_ = 0;
};

void clearDevilErrors()
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

} // namespace

DevilLibrary::DevilLibrary()
{
    const std::lock_guard lock(devilMutex());
    initialiseDevil();
}

DevilLibrary::~DevilLibrary()
{
    const std::lock_guard lock(devilMutex());
    ilShutDown();
}

DevilWriteResult writeDevilImage(const Bitmap& image, const QString& path, int ilType, bool buildMipmaps)
{
    if (!image || FreeImage_GetImageType(image.get()) != FIT_BITMAP || (image.bpp() != 24 && image.bpp() != 32)) {
        return DevilWriteResult::Failed;
    }
    const bool withAlpha = image.bpp() == 32;
    const unsigned channels = withAlpha ? 4 : 3;
    const ILenum format = withAlpha ? IL_BGRA : IL_BGR;
    const unsigned width = image.width();
    const unsigned height = image.height();
    const size_t pitch = static_cast<size_t>(width) * channels;

    std::unique_ptr<BYTE[]> pixels(new (std::nothrow) BYTE[pitch * height]);
    if (!pixels) {
        return DevilWriteResult::OutOfMemory;
    }
    // FreeImage rows are bottom-up, which is also where DevIL puts the origin of a new image.
    FreeImage_ConvertToRawBits(pixels.get(), image.get(), static_cast<int>(pitch), image.bpp(), 0xFF0000, 0x00FF00,
                               0x0000FF, FALSE);

    const std::lock_guard lock(devilMutex());
    initialiseDevil();
    clearDevilErrors();
    ilEnable(IL_FILE_OVERWRITE);
    DevilImage devilImage;
    const ILint depth = ilGetInteger(IL_IMAGE_DEPTH);
    if (!ilTexImage(width, height, static_cast<ILuint>(depth > 0 ? depth : 1), static_cast<ILubyte>(channels), format,
                    IL_UNSIGNED_BYTE, pixels.get())) {
        return DevilWriteResult::Failed;
    }
    if (buildMipmaps && !iluBuildMipmaps()) {
        return DevilWriteResult::Failed;
    }
    const QByteArray fileName = QFile::encodeName(path);
    const bool saved = ilSave(static_cast<ILenum>(ilType), fileName.constData()) == IL_TRUE;
    clearDevilErrors();
    return saved ? DevilWriteResult::Written : DevilWriteResult::Failed;
}

DevilImageInfo readDevilImageInfo(const QString& path)
{
    const std::lock_guard lock(devilMutex());
    initialiseDevil();
    clearDevilErrors();
    DevilImageInfo info;
    const QByteArray fileName = QFile::encodeName(path);
    DevilImage devilImage;
    info.type = static_cast<int>(ilDetermineType(fileName.constData()));
    if (info.type == IL_TYPE_UNKNOWN || !ilLoad(static_cast<ILenum>(info.type), fileName.constData())) {
        clearDevilErrors();
        return info;
    }
    info.loaded = true;
    info.width = ilGetInteger(IL_IMAGE_WIDTH);
    info.height = ilGetInteger(IL_IMAGE_HEIGHT);
    info.bitsPerPixel = ilGetInteger(IL_IMAGE_BPP) * 8;
    info.mipmaps = ilGetInteger(IL_NUM_MIPMAPS);
    return info;
}

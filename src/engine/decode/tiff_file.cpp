#include "engine/decode/tiff_file.h"

#include "engine/core/page_limits.h"

#include <QFile>

#include <array>
#include <cstring>

namespace {

constexpr const char* clientKey = "tessaline-file";

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Codec warnings after which part of a strip or tile was never decoded: the codec ran out of
// input and left the rest of its output as it was. Other warnings (an LZW strip without its end
// code whose rows are all there, extraneous bytes in a JPEG stream, unknown tags) leave the
// pixels whole.
bool meansMissingData(const char* message)
{
    static constexpr std::array<const char*, 3> missing = {
        "Premature",    // fax lines and streams cut short; JPEG "Premature end of JPEG file"
        "lack of data", // PackBits
        "Not enough data",
    };
    for (const char* text : missing) {
        if (std::strstr(message, text) != nullptr) {
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<TiffFile> TiffFile::open(const QString& path)
{
    std::unique_ptr<TiffFile> file(new TiffFile);
    const std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) {
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &TiffFile::onError, file.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &TiffFile::onWarning, file.get());
    // libtiff sizes its strip buffers from the header: a forged one must not make it allocate
    // more than we would ourselves.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(kMaxBlockBytes));
    // "m": no memory mapping, so a huge or damaged file is only read where its structures point.
    file->tiff_ = TIFFOpenExt(QFile::encodeName(path).constData(), "rm", options.get());
    if (file->tiff_ == nullptr) {
        return nullptr;
    }
    TIFFSetClientInfo(file->tiff_, file.get(), clientKey);
    file->damaged_ = false;
    return file;
}

TiffFile::~TiffFile()
{
    if (tiff_ != nullptr) {
        TIFFClose(tiff_);
    }
}

bool TiffFile::setPage(int index)
{
    if (index < 0 || index > 0xFFFF) {
        return false;
    }
    const bool set = TIFFCurrentDirectory(tiff_) == static_cast<tdir_t>(index) ||
                     TIFFSetDirectory(tiff_, static_cast<tdir_t>(index)) != 0;
    damaged_ = false;
    return set;
}

TiffFile* TiffFile::of(TIFF* tiff)
{
    return tiff == nullptr ? nullptr : static_cast<TiffFile*>(TIFFGetClientInfo(tiff, clientKey));
}

int TiffFile::onError(TIFF*, void* self, const char*, const char*, va_list)
{
    static_cast<TiffFile*>(self)->damaged_ = true;
    return 1; // handled: nothing goes to the process-wide handler
}

int TiffFile::onWarning(TIFF*, void* self, const char*, const char* format, va_list args)
{
    std::array<char, 512> message{};
    std::vsnprintf(message.data(), message.size(), format, args);
    if (meansMissingData(message.data())) {
        static_cast<TiffFile*>(self)->damaged_ = true;
    }
    return 1;
}

bool strileAbsent(TIFF* tiff, std::uint32_t index)
{
    int failed = 0;
    const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, index, &failed);
    if (failed != 0) {
        return false;
    }
    const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(tiff, index, &failed);
    return failed == 0 && offset == 0 && bytes == 0;
}

bool readStrile(TIFF* tiff, std::uint32_t index, void* buffer, std::uint64_t size, std::uint64_t expected)
{
    const bool tiled = TIFFIsTiled(tiff) != 0;
    const std::uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    if (index >= count || expected > size) {
        return false;
    }
    if (strileAbsent(tiff, index)) {
        std::memset(buffer, 0, static_cast<std::size_t>(size));
        return true;
    }
    const auto bytes = static_cast<tmsize_t>(size);
    const tmsize_t read =
        tiled ? TIFFReadEncodedTile(tiff, index, buffer, bytes) : TIFFReadEncodedStrip(tiff, index, buffer, bytes);
    return read >= 0 && static_cast<std::uint64_t>(read) >= expected && !tiffDamaged(tiff);
}

bool tiffDamaged(TIFF* tiff)
{
    const TiffFile* file = TiffFile::of(tiff);
    return file != nullptr && file->damaged();
}

#include "engine/write/row_writer_support.h"

#include <memory>

FITAG* findTag(const PageHeader& page, FREE_IMAGE_MDMODEL model, const char* key)
{
    FITAG* tag = nullptr;
    return FreeImage_GetMetadata(model, page.get(), key, &tag) ? tag : nullptr;
}

TagBytes tagBytes(const FITAG* tag)
{
    // FreeImage's accessors take a non-const tag but leave it as it is.
    auto* mutableTag = const_cast<FITAG*>(tag);
    const void* value = mutableTag != nullptr ? FreeImage_GetTagValue(mutableTag) : nullptr;
    if (value == nullptr) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(value), FreeImage_GetTagLength(mutableTag)};
}

TagBytes iccProfileBytes(const PageHeader& page)
{
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(page.get());
    if (profile == nullptr || profile->data == nullptr || profile->size <= 0) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(profile->data), static_cast<std::size_t>(profile->size)};
}

void forEachTag(const PageHeader& page, FREE_IMAGE_MDMODEL model, const std::function<void(FITAG*)>& visit)
{
    struct Closer {
        void operator()(FIMETADATA* search) const { FreeImage_FindCloseMetadata(search); }
    };
    FITAG* tag = nullptr;
    const std::unique_ptr<FIMETADATA, Closer> search(FreeImage_FindFirstMetadata(model, page.get(), &tag));
    if (!search) {
        return;
    }
    do {
        visit(tag);
    } while (FreeImage_FindNextMetadata(search.get(), &tag));
}

BandRows::BandRows(const PageHeader& page)
    : type_(FreeImage_GetImageType(page.get())), bpp_(page.bpp()), width_(page.width()), height_(page.height())
{
}

bool BandRows::take(const Bitmap& band)
{
    if (!band || FreeImage_GetImageType(band.get()) != type_ || band.bpp() != bpp_ || band.width() != width_ ||
        band.height() > height_ - taken_) {
        return false;
    }
    taken_ += band.height();
    return true;
}

std::uint8_t* BandRows::row(const Bitmap& band, unsigned index)
{
    return FreeImage_GetScanLine(band.get(), static_cast<int>(band.height() - 1 - index));
}

bool writeAll(std::FILE* file, const void* bytes, std::size_t size)
{
    return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

bool flushedCleanly(std::FILE* file)
{
    return std::fflush(file) == 0 && std::ferror(file) == 0;
}

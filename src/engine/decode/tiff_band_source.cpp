#include "engine/decode/tiff_band_source.h"

#include "engine/core/page_limits.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_page_header.h"
#include "engine/decode/tiff_raster.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

void copyPalette(const Bitmap& from, FIBITMAP* to)
{
    const RGBQUAD* palette = FreeImage_GetPalette(from.get());
    if (palette != nullptr && FreeImage_GetPalette(to) != nullptr) {
        std::memcpy(FreeImage_GetPalette(to), palette, FreeImage_GetColorsUsed(to) * sizeof(RGBQUAD));
    }
}

} // namespace

std::unique_ptr<TiffBandSource> TiffBandSource::open(const QString& path, int index, const TiffPageHeader& header,
                                                     std::uint64_t bandBytes)
{
    std::unique_ptr<TiffFile> file = TiffFile::open(path);
    if (!file || !file->setPage(index)) {
        return nullptr;
    }
    std::unique_ptr<TiffBandSource> source = openCurrent(std::move(file), header, bandBytes);
    if (source) {
        source->attachThumbnail(path, index);
    }
    return source;
}

std::unique_ptr<TiffBandSource> TiffBandSource::openCurrent(std::unique_ptr<TiffFile> file,
                                                            const TiffPageHeader& header, std::uint64_t bandBytes)
{
    std::unique_ptr<TiffBandSource> source(new TiffBandSource);
    source->file_ = std::move(file);
    TIFF* tiff = source->file_->handle();
    source->tiff_ = tiff;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &source->width_);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &source->height_);
    std::optional<RowLayout> rows = rowLayoutOf(tiff, header);
    if (!rows || source->width_ == 0 || source->height_ == 0 || source->width_ != header.width ||
        source->height_ != header.height || rows->planes() > maxPlanes) {
        return nullptr;
    }
    source->rows_ = std::move(*rows);
    const RowLayout& layout = source->rows_;
    source->storedRowBytes_ = layout.storedRowBytes(source->width_);
    if (TIFFIsTiled(tiff) != 0) {
        if (TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &source->tileWidth_) == 0 ||
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &source->tileLength_) == 0 || source->tileWidth_ == 0 ||
            source->tileLength_ == 0 || source->tileWidth_ > source->width_ + 65536U ||
            source->tileLength_ > source->height_ + 65536U) {
            return nullptr;
        }
        source->blockBytes_ = layout.storedRowBytes(source->tileWidth_) * source->tileLength_;
        source->bandRows_ = std::min(source->tileLength_, source->height_);
    } else {
        std::uint32_t rowsPerStrip = source->height_;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, source->height_);
        source->rowsPerStrip_ = rowsPerStrip;
        source->stripsPerPlane_ = (source->height_ - 1) / rowsPerStrip + 1;
        if (TIFFNumberOfStrips(tiff) <
            std::uint64_t{source->stripsPerPlane_} * (layout.separate ? layout.samples : 1U)) {
            return nullptr;
        }
        source->blockBytes_ = std::uint64_t{rowsPerStrip} * source->storedRowBytes_;
        const std::uint64_t budget = std::max<std::uint64_t>(bandBytes, 1);
        // Whole strips per band where they are small; rows of one strip where it is large (libtiff
        // decodes a strip row by row, so a page stored as one strip is still read a band at a time).
        source->byScanline_ = source->blockBytes_ > budget && !layout.separate;
        const std::uint64_t bandRows = source->byScanline_
                                           ? std::max<std::uint64_t>(1, budget / source->storedRowBytes_)
                                           : rowsPerStrip * std::max<std::uint64_t>(1, budget / source->blockBytes_);
        source->bandRows_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(bandRows, source->height_));
        if (source->byScanline_) {
            source->blockBytes_ = source->storedRowBytes_;
        }
    }
    // Zeroed: the fax codecs write a row's pixels bit by bit and leave the bits past its last pixel
    // as the buffer held them, and writers copy those bits into the file.
    for (int p = 0; p < layout.planes(); ++p) {
        source->buffers_[static_cast<std::size_t>(p)] = allocateBuffer(source->blockBytes_, true);
        if (!source->buffers_[static_cast<std::size_t>(p)]) {
            return nullptr;
        }
    }
    source->layout_ = layoutHeader(tiff, layout, source->width_, source->height_);
    if (!source->layout_) {
        return nullptr;
    }
    return source;
}

TiffBandSource::~TiffBandSource() = default;

std::uint64_t TiffBandSource::bandBytes() const
{
    const std::uint64_t band = std::uint64_t{bandRows_} * FreeImage_GetPitch(layout_.get());
    return band + blockBytes_ * rows_.planes();
}

Bitmap TiffBandSource::allocate(std::uint32_t rows, std::uint32_t columns) const
{
    const std::uint32_t width = columns == 0 ? width_ : columns;
    Bitmap bitmap(FreeImage_AllocateT(rows_.type, static_cast<int>(width), static_cast<int>(rows),
                                      static_cast<int>(rows_.bpp), FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                      FI_RGBA_BLUE_MASK));
    if (bitmap) {
        copyPalette(layout_, bitmap.get());
    }
    return bitmap;
}

Bitmap TiffBandSource::readBand(int band)
{
    if (band < 0 || band >= bandCount()) {
        return {};
    }
    const std::uint32_t first = static_cast<std::uint32_t>(band) * bandRows_;
    const std::uint32_t rows = std::min(bandRows_, height_ - first);
    Bitmap bitmap = allocate(rows);
    if (!bitmap || !readRows(first, rows, bitmap.get(), rows - 1)) {
        return {};
    }
    FreeImage_SetDotsPerMeterX(bitmap.get(), FreeImage_GetDotsPerMeterX(layout_.get()));
    FreeImage_SetDotsPerMeterY(bitmap.get(), FreeImage_GetDotsPerMeterY(layout_.get()));
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(layout_.get());
    if (profile->data != nullptr && profile->size > 0) {
        FreeImage_CreateICCProfile(bitmap.get(), profile->data, profile->size);
    }
    return bitmap;
}

// A page's first sub-directory is a smaller copy of it, as editors and scanners write previews: the
// page carries it as its thumbnail, and writers that keep thumbnails store it again. A preview that
// cannot be read leaves the page without one.
void TiffBandSource::attachThumbnail(const QString& path, int index)
{
    std::uint16_t count = 0;
    std::uint64_t* offsets = nullptr;
    if (TIFFGetField(tiff_, TIFFTAG_SUBIFD, &count, &offsets) == 0 || count == 0 || offsets == nullptr) {
        return;
    }
    std::unique_ptr<TiffFile> file = TiffFile::open(path);
    if (!file || !file->setPage(index) || TIFFSetSubDirectory(file->handle(), offsets[0]) == 0) {
        return;
    }
    const TiffPageHeader header = readTiffPageHeader(file->handle());
    if (header.width == 0 || header.height == 0 || !pageSizeAllowed(header.width, header.height)) {
        return;
    }
    const std::unique_ptr<TiffBandSource> preview =
        openCurrent(std::move(file), header, std::numeric_limits<std::uint64_t>::max());
    if (preview) {
        const Bitmap thumbnail = preview->readPage();
        if (thumbnail) {
            FreeImage_SetThumbnail(layout_.get(), thumbnail.get());
        }
    }
}

Bitmap TiffBandSource::readPage(const std::function<bool()>& abandoned)
{
    Bitmap page = allocate(height_);
    if (!page) {
        return {};
    }
    // Strip rows may be read in any grouping; tile rows only a row of tiles at a time.
    const std::uint32_t chunk = abandoned && tileLength_ == 0 ? std::min<std::uint32_t>(bandRows_, 256) : bandRows_;
    for (std::uint32_t first = 0; first < height_; first += chunk) {
        const std::uint32_t rows = std::min(chunk, height_ - first);
        if ((abandoned && abandoned()) || !readRows(first, rows, page.get(), height_ - 1 - first)) {
            return {};
        }
    }
    attachRowPageMetadata(tiff_, page);
    if (FIBITMAP* thumbnail = FreeImage_GetThumbnail(layout_.get())) {
        FreeImage_SetThumbnail(page.get(), thumbnail);
    }
    return page;
}

bool TiffBandSource::readRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine)
{
    file_->clearDamage();
    if (tileLength_ != 0) {
        return readTileRows(first, rows, target, firstLine);
    }
    return byScanline_ ? readScanlines(first, rows, target, firstLine) : readStripRows(first, rows, target, firstLine);
}

bool TiffBandSource::loadStrip(std::uint32_t strip)
{
    if (loadedStrip_ == strip) {
        return true;
    }
    loadedStrip_ = -1;
    const std::uint32_t rows = std::min(rowsPerStrip_, height_ - strip * rowsPerStrip_);
    for (int p = 0; p < rows_.planes(); ++p) {
        if (!readStrile(tiff_, strip + static_cast<std::uint32_t>(p) * stripsPerPlane_,
                        buffers_[static_cast<std::size_t>(p)].get(), blockBytes_, rows * storedRowBytes_)) {
            return false;
        }
    }
    loadedStrip_ = strip;
    return true;
}

bool TiffBandSource::readStripRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine)
{
    std::array<const std::uint8_t*, maxPlanes> planes{};
    for (std::uint32_t row = 0; row < rows; ++row) {
        const std::uint32_t y = first + row;
        const std::uint32_t strip = y / rowsPerStrip_;
        if (!loadStrip(strip)) {
            return false;
        }
        const std::uint64_t offset = std::uint64_t{y - strip * rowsPerStrip_} * storedRowBytes_;
        for (int p = 0; p < rows_.planes(); ++p) {
            planes[static_cast<std::size_t>(p)] = buffers_[static_cast<std::size_t>(p)].get() + offset;
        }
        copyRow(rows_, planes.data(), FreeImage_GetScanLine(target, static_cast<int>(firstLine - row)), width_);
    }
    return true;
}

bool TiffBandSource::readScanlines(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine)
{
    std::uint8_t* buffer = buffers_[0].get();
    const std::uint8_t* planes[1] = {buffer};
    const auto absent = [this](std::uint32_t y) { return strileAbsent(tiff_, y / rowsPerStrip_); };
    // Most codecs cannot skip rows: libtiff decodes a strip from its start up to the wanted row.
    // Bands read bottom-up, or rows skipped within a strip, are reached by decoding the rows
    // before them.
    if (first != nextRow_ && !absent(first)) {
        const std::uint32_t stripStart = first / rowsPerStrip_ * rowsPerStrip_;
        for (std::uint32_t y = nextRow_ >= stripStart && nextRow_ < first ? nextRow_ : stripStart; y < first; ++y) {
            if (TIFFReadScanline(tiff_, buffer, y, 0) < 0 || file_->damaged()) {
                return false;
            }
        }
    }
    nextRow_ = first + rows;
    for (std::uint32_t row = 0; row < rows; ++row) {
        const std::uint32_t y = first + row;
        if (absent(y)) {
            std::memset(buffer, 0, static_cast<std::size_t>(storedRowBytes_));
        } else if (TIFFReadScanline(tiff_, buffer, y, 0) < 0 || file_->damaged()) {
            return false;
        }
        copyRow(rows_, planes, FreeImage_GetScanLine(target, static_cast<int>(firstLine - row)), width_);
    }
    return true;
}

bool TiffBandSource::readTileRows(std::uint32_t first, std::uint32_t rows, FIBITMAP* target, std::uint32_t firstLine)
{
    return readTileBlock(first, rows, 0, width_, target, firstLine);
}

Bitmap TiffBandSource::readColumns(std::uint32_t x, std::uint32_t columns)
{
    if (tileWidth_ == 0 || x % tileWidth_ != 0 || x >= width_ || columns == 0 || columns > width_ - x) {
        return {};
    }
    Bitmap bitmap = allocate(height_, columns);
    if (!bitmap) {
        return {};
    }
    file_->clearDamage();
    for (std::uint32_t first = 0; first < height_; first += tileLength_) {
        const std::uint32_t rows = std::min(tileLength_, height_ - first);
        if (!readTileBlock(first, rows, x, x + columns, bitmap.get(), height_ - 1 - first)) {
            return {};
        }
    }
    FreeImage_SetDotsPerMeterX(bitmap.get(), FreeImage_GetDotsPerMeterX(layout_.get()));
    FreeImage_SetDotsPerMeterY(bitmap.get(), FreeImage_GetDotsPerMeterY(layout_.get()));
    return bitmap;
}

bool TiffBandSource::readTileBlock(std::uint32_t first, std::uint32_t rows, std::uint32_t left, std::uint32_t right,
                                   FIBITMAP* target, std::uint32_t firstLine)
{
    std::array<const std::uint8_t*, maxPlanes> planes{};
    const std::uint64_t tileRowBytes = rows_.storedRowBytes(tileWidth_);
    for (std::uint32_t x = left; x < right; x += tileWidth_) {
        for (int p = 0; p < rows_.planes(); ++p) {
            const std::uint32_t tile = TIFFComputeTile(tiff_, x, first, 0, static_cast<std::uint16_t>(p));
            if (!readStrile(tiff_, tile, buffers_[static_cast<std::size_t>(p)].get(), blockBytes_, blockBytes_)) {
                return false;
            }
        }
        const std::uint32_t pixels = std::min(tileWidth_, right - x);
        const std::uint64_t targetOffset = std::uint64_t{x - left} * rows_.bpp / 8;
        for (std::uint32_t row = 0; row < rows; ++row) {
            for (int p = 0; p < rows_.planes(); ++p) {
                planes[static_cast<std::size_t>(p)] = buffers_[static_cast<std::size_t>(p)].get() + row * tileRowBytes;
            }
            BYTE* line = FreeImage_GetScanLine(target, static_cast<int>(firstLine - row));
            copyRow(rows_, planes.data(), line + targetOffset, pixels);
        }
    }
    return true;
}

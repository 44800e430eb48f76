#include "engine/decode/column_scratch.h"

#include "engine/decode/band_reader.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A file in the temporary folder that no other process can open by name: unlinked at once.
int anonymousScratchFile()
{
    // Qt gives no folder at all when TMPDIR names one that does not exist.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    QByteArray name = QFile::encodeName(folder + QStringLiteral("/tessaline-scratch-XXXXXX"));
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(name.constData());
    }
    return fd;
}

bool writeAll(int fd, const std::uint8_t* bytes, std::uint64_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::uint64_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool readAll(int fd, std::uint8_t* bytes, std::uint64_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::uint64_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::uint64_t bitsToBytes(std::uint64_t pixels, unsigned bpp)
{
    return (pixels * bpp + 7) / 8;
}

} // namespace

std::unique_ptr<ColumnScratch> ColumnScratch::copy(BandReader& page, std::uint32_t slabColumns,
                                                   const std::function<bool()>& goOn, Fill& fill)
{
    fill = Fill::Unwritable;
    std::unique_ptr<ColumnScratch> scratch(new ColumnScratch);
    scratch->width_ = page.width();
    scratch->height_ = page.height();
    scratch->slabColumns_ = std::max<std::uint32_t>(8, slabColumns / 8 * 8);
    scratch->bpp_ = page.layout().bpp();
    scratch->format_ = Bitmap(FreeImage_Clone(page.layout().get()));
    if (!scratch->format_ || scratch->width_ == 0 || scratch->height_ == 0) {
        errno = ENOMEM;
        return nullptr;
    }
    scratch->fd_ = anonymousScratchFile();
    if (scratch->fd_ < 0) {
        return nullptr;
    }
    // Room for the whole page up front: a full disk shows before a band is read.
    const std::uint64_t total = scratch->slabOffset(scratch->slabCount());
    const int reserved = ::posix_fallocate(scratch->fd_, 0, static_cast<off_t>(total));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
        errno = reserved;
        return nullptr;
    }
    std::vector<std::uint8_t> buffer;
    for (int band = 0, top = 0; band < page.bandCount(); ++band) {
        if (band > 0 && goOn && !goOn()) {
            fill = Fill::Stopped;
            return nullptr;
        }
        const Bitmap rows = page.readBand(band);
        if (!rows || rows.width() != scratch->width_ || rows.bpp() != scratch->bpp_) {
            fill = Fill::Damaged;
            return nullptr;
        }
        const std::uint64_t needed = std::uint64_t{rows.height()} * scratch->sliceBytes(0);
        if (buffer.size() < needed) {
            buffer.resize(static_cast<std::size_t>(needed));
        }
        if (!scratch->writeBand(rows, static_cast<std::uint32_t>(top), buffer.data())) {
            return nullptr;
        }
        top += static_cast<int>(rows.height());
    }
    fill = Fill::Done;
    return scratch;
}

ColumnScratch::~ColumnScratch()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::uint64_t ColumnScratch::sliceBytes(int slab) const
{
    const std::uint32_t left = static_cast<std::uint32_t>(slab) * slabColumns_;
    return bitsToBytes(std::min(slabColumns_, width_ - left), bpp_);
}

std::uint64_t ColumnScratch::slabOffset(int slab) const
{
    // Every slab before the last is a full one.
    const std::uint64_t fullSlab = std::uint64_t{height_} * bitsToBytes(slabColumns_, bpp_);
    const int full = std::min(slab, slabCount() - 1);
    std::uint64_t offset = static_cast<std::uint64_t>(full) * fullSlab;
    if (slab == slabCount()) {
        offset += std::uint64_t{height_} * sliceBytes(slabCount() - 1);
    }
    return offset;
}

// Each slab's part of the band's rows, gathered and written in one piece.
bool ColumnScratch::writeBand(const Bitmap& band, std::uint32_t top, std::uint8_t* buffer) const
{
    const unsigned rows = band.height();
    for (int slab = 0; slab < slabCount(); ++slab) {
        const std::uint64_t slice = sliceBytes(slab);
        const std::uint64_t from = bitsToBytes(std::uint64_t{static_cast<std::uint32_t>(slab) * slabColumns_}, bpp_);
        for (unsigned r = 0; r < rows; ++r) {
            const BYTE* line = FreeImage_GetScanLine(band.get(), static_cast<int>(rows - 1 - r));
            std::memcpy(buffer + r * slice, line + from, static_cast<std::size_t>(slice));
        }
        if (!writeAll(fd_, buffer, rows * slice, slabOffset(slab) + std::uint64_t{top} * slice)) {
            return false;
        }
    }
    return true;
}

Bitmap ColumnScratch::readSlab(int slab) const
{
    if (slab < 0 || slab >= slabCount()) {
        return {};
    }
    const std::uint32_t left = static_cast<std::uint32_t>(slab) * slabColumns_;
    const std::uint32_t columns = std::min(slabColumns_, width_ - left);
    FIBITMAP* format = format_.get();
    Bitmap bitmap(FreeImage_AllocateT(FreeImage_GetImageType(format), static_cast<int>(columns),
                                      static_cast<int>(height_), static_cast<int>(bpp_), FreeImage_GetRedMask(format),
                                      FreeImage_GetGreenMask(format), FreeImage_GetBlueMask(format)));
    const std::uint64_t slice = sliceBytes(slab);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(slice * height_)]);
    if (!bitmap || !bytes || !readAll(fd_, bytes.get(), slice * height_, slabOffset(slab))) {
        return {};
    }
    if (FreeImage_GetPalette(format) != nullptr) {
        std::copy_n(FreeImage_GetPalette(format), FreeImage_GetColorsUsed(format), FreeImage_GetPalette(bitmap.get()));
    }
    for (std::uint32_t r = 0; r < height_; ++r) {
        std::memcpy(FreeImage_GetScanLine(bitmap.get(), static_cast<int>(height_ - 1 - r)), bytes.get() + r * slice,
                    static_cast<std::size_t>(slice));
    }
    FreeImage_SetDotsPerMeterX(bitmap.get(), FreeImage_GetDotsPerMeterX(format));
    FreeImage_SetDotsPerMeterY(bitmap.get(), FreeImage_GetDotsPerMeterY(format));
    return bitmap;
}

std::uint64_t ColumnScratch::heldBytes(std::uint32_t width, std::uint32_t height, int bpp, std::uint32_t bandRows,
                                       std::uint32_t slabColumns)
{
    const auto pitch = [bpp](std::uint64_t pixels) { return (pixels * static_cast<unsigned>(bpp) + 31) / 32 * 4; };
    const std::uint32_t columns = std::min(width, std::max<std::uint32_t>(8, slabColumns / 8 * 8));
    const std::uint64_t copying = std::uint64_t{bandRows} * (pitch(width) + pitch(columns));
    const std::uint64_t reading = std::uint64_t{height} * 2 * pitch(columns);
    return std::max(copying, reading);
}

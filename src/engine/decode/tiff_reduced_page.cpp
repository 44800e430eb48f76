#include "engine/decode/tiff_reduced_page.h"

#include "engine/core/page_limits.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/decode/tiff_file.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A band of a single row of stored bytes (or one strip, or one row of tiles): the source then
// decodes only the strips that hold a wanted row.
constexpr std::uint64_t smallestBand = 1;

// Where a candidate directory is: a page of the file, or a sub-directory of a page.
struct Directory {
    int page = 0;
    std::uint64_t subOffset = 0; // 0: the page itself
    TiffPageHeader header;
};

std::unique_ptr<TiffBandSource> openDirectory(const QString& path, const Directory& directory)
{
    std::unique_ptr<TiffFile> file = TiffFile::open(path);
    if (!file || !file->setPage(directory.page) ||
        (directory.subOffset != 0 && TIFFSetSubDirectory(file->handle(), directory.subOffset) == 0)) {
        return nullptr;
    }
    return TiffBandSource::openCurrent(std::move(file), directory.header, smallestBand);
}

// The sub-directories of page `index` and the pages right after it that say they are a
// reduced-resolution copy of a page, and keep the page's proportions (within a pixel each way).
std::vector<Directory> reducedCopies(const QString& path, int index, const std::vector<TiffPageHeader>& headers)
{
    const TiffPageHeader& page = headers[static_cast<std::size_t>(index)];
    const auto fits = [&page](const TiffPageHeader& copy) {
        if ((copy.subfileType & FILETYPE_REDUCEDIMAGE) == 0 || copy.width == 0 || copy.height == 0 ||
            copy.width >= page.width || copy.height >= page.height || copy.orientation != page.orientation) {
            return false;
        }
        const double across = static_cast<double>(copy.width) / page.width;
        const double down = static_cast<double>(copy.height) / page.height;
        return std::abs(across - down) <= 1.0 / std::min(copy.width, copy.height);
    };
    std::vector<Directory> found;
    for (std::size_t next = static_cast<std::size_t>(index) + 1;
         next < headers.size() && (headers[next].subfileType & FILETYPE_REDUCEDIMAGE) != 0; ++next) {
        if (fits(headers[next])) {
            found.push_back({static_cast<int>(next), 0, headers[next]});
        }
    }
    const std::unique_ptr<TiffFile> file = TiffFile::open(path);
    std::uint16_t count = 0;
    std::uint64_t* offsets = nullptr;
    if (file && file->setPage(index) && TIFFGetField(file->handle(), TIFFTAG_SUBIFD, &count, &offsets) != 0 &&
        offsets != nullptr) {
        // The offsets belong to the page's directory, which the walk below leaves.
        const std::vector<std::uint64_t> subs(offsets, offsets + count);
        for (const std::uint64_t offset : subs) {
            if (offset != 0 && TIFFSetSubDirectory(file->handle(), offset) != 0) {
                const TiffPageHeader header = readTiffPageHeader(file->handle());
                if (fits(header)) {
                    found.push_back({index, offset, header});
                }
            }
        }
    }
    return found;
}

// Copies every step-th pixel of a bitmap row, from the first.
void copyEveryNth(const BYTE* from, BYTE* to, unsigned bpp, std::uint32_t pixels, std::uint32_t step)
{
    if (bpp >= 8) {
        const unsigned bytes = bpp / 8;
        for (std::uint32_t x = 0; x < pixels; ++x) {
            std::memcpy(to + std::size_t{x} * bytes, from + std::size_t{x} * step * bytes, bytes);
        }
        return;
    }
    // Packed pixels, the leftmost in the high bits of a byte.
    const unsigned perByte = 8 / bpp;
    const unsigned mask = (1U << bpp) - 1U;
    std::memset(to, 0, (std::size_t{pixels} * bpp + 7) / 8);
    for (std::uint32_t x = 0; x < pixels; ++x) {
        const std::size_t source = std::size_t{x} * step;
        const unsigned value = (from[source / perByte] >> ((perByte - 1 - source % perByte) * bpp)) & mask;
        to[x / perByte] |= static_cast<BYTE>(value << ((perByte - 1 - x % perByte) * bpp));
    }
}

// Every step-th row and column of the source, from the top-left pixel, read band by band.
Bitmap everyNth(TiffBandSource& source, std::uint32_t step, const std::function<bool()>& abandoned)
{
    const std::uint32_t width = (source.width() - 1) / step + 1;
    const std::uint32_t height = (source.height() - 1) / step + 1;
    const Bitmap& layout = source.layout();
    Bitmap reduced(FreeImage_AllocateT(FreeImage_GetImageType(layout.get()), static_cast<int>(width),
                                       static_cast<int>(height), static_cast<int>(layout.bpp()), FI_RGBA_RED_MASK,
                                       FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!reduced) {
        return {};
    }
    if (const RGBQUAD* palette = FreeImage_GetPalette(layout.get())) {
        std::memcpy(FreeImage_GetPalette(reduced.get()), palette,
                    FreeImage_GetColorsUsed(reduced.get()) * sizeof(RGBQUAD));
    }
    std::uint32_t wanted = 0; // the next reduced row, counted from the top
    for (int band = 0; band < source.bandCount() && wanted < height; ++band) {
        const std::uint32_t first = static_cast<std::uint32_t>(band) * source.bandRows();
        const std::uint32_t rows = std::min(source.bandRows(), source.height() - first);
        if (wanted * step >= first + rows) {
            continue;
        }
        if (abandoned && abandoned()) {
            return {};
        }
        const Bitmap rowsRead = source.readBand(band);
        if (!rowsRead) {
            return {};
        }
        for (; wanted < height && wanted * step < first + rows; ++wanted) {
            const std::uint32_t inBand = wanted * step - first;
            copyEveryNth(FreeImage_GetScanLine(rowsRead.get(), static_cast<int>(rows - 1 - inBand)),
                         FreeImage_GetScanLine(reduced.get(), static_cast<int>(height - 1 - wanted)), layout.bpp(),
                         width, step);
        }
    }
    FreeImage_SetDotsPerMeterX(reduced.get(), FreeImage_GetDotsPerMeterX(layout.get()) / step);
    FreeImage_SetDotsPerMeterY(reduced.get(), FreeImage_GetDotsPerMeterY(layout.get()) / step);
    return reduced;
}

std::uint32_t stepFor(const TiffPageHeader& header, std::uint32_t longestSide)
{
    const std::uint32_t side = std::max(header.width, header.height);
    return std::max<std::uint32_t>(1, side / std::max<std::uint32_t>(1, longestSide));
}

// Whether the copy is read as the same kind of bitmap as the page, so that the chain treats it
// the way it treats the page.
bool sameKind(const TiffBandSource& copy, const TiffBandSource& page)
{
    return FreeImage_GetImageType(copy.layout().get()) == FreeImage_GetImageType(page.layout().get()) &&
           copy.layout().bpp() == page.layout().bpp();
}

} // namespace

ReducedPage readReducedPage(const QString& path, int index, const std::vector<TiffPageHeader>& headers,
                            std::uint32_t longestSide, const std::function<bool()>& abandoned)
{
    if (index < 0 || static_cast<std::size_t>(index) >= headers.size()) {
        return {};
    }
    const TiffPageHeader& header = headers[static_cast<std::size_t>(index)];
    if (header.width == 0 || header.height == 0 || !pageSizeAllowed(header.width, header.height)) {
        return {};
    }
    const std::unique_ptr<TiffBandSource> page = openDirectory(path, {index, 0, header});
    if (!page) {
        return {};
    }
    // The smallest reduced copy that is still at least longestSide, else the largest there is.
    std::vector<Directory> copies = reducedCopies(path, index, headers);
    std::sort(copies.begin(), copies.end(), [](const Directory& a, const Directory& b) {
        return std::uint64_t{a.header.width} * a.header.height < std::uint64_t{b.header.width} * b.header.height;
    });
    const auto largeEnough = std::find_if(copies.begin(), copies.end(), [longestSide](const Directory& copy) {
        return std::max(copy.header.width, copy.header.height) >= longestSide;
    });
    std::optional<Directory> chosen;
    if (largeEnough != copies.end()) {
        chosen = *largeEnough;
    } else if (!copies.empty()) {
        chosen = copies.back();
    }
    ReducedPage reduced;
    if (chosen) {
        // A copy that cannot be read, or is of another kind, leaves the page itself to be sampled.
        const std::unique_ptr<TiffBandSource> copy = openDirectory(path, *chosen);
        if (copy && sameKind(*copy, *page)) {
            reduced.step = stepFor(chosen->header, longestSide);
            reduced.image = everyNth(*copy, reduced.step, abandoned);
            reduced.fromReducedResolutionPage = true;
        }
        if (!reduced.image && abandoned && abandoned()) {
            return {};
        }
    }
    if (!reduced.image) {
        reduced.step = stepFor(header, longestSide);
        reduced.image = everyNth(*page, reduced.step, abandoned);
        reduced.fromReducedResolutionPage = false;
    }
    if (!reduced.image) {
        return {};
    }
    reduced.image = applyTiffOrientation(std::move(reduced.image), header.orientation);
    return reduced;
}

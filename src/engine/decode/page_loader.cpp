#include "engine/decode/page_loader.h"

#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/decode/tiff_page_decoder.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <tiffio.h>

#include <limits>
#include <memory>

namespace {

constexpr int oldStyleJpegCompression = 6; // COMPRESSION_OJPEG

struct MemoryCloser {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};
using MemoryHandle = std::unique_ptr<FIMEMORY, MemoryCloser>;

} // namespace

PageRange selectPages(int frameLoading, int pageCount)
{
    if (pageCount < 1) {
        return {};
    }
    switch (frameLoading) {
    case 1:
        return {0, 0};
    case 2: {
        const int middle = (pageCount + 1) / 2 - 1;
        return {middle, middle};
    }
    case 3:
        return {pageCount - 1, pageCount - 1};
    case 4: {
        const int page = QRandomGenerator::global()->bounded(pageCount);
        return {page, page};
    }
    default:
        return {0, pageCount - 1};
    }
}

qsizetype findJpegStart(const QByteArray& data)
{
    const qsizetype at = data.indexOf(QByteArrayView("\xFF\xD8", 2));
    return at < 0 ? 0 : at;
}

Bitmap decodeJpegStream(const QByteArray& data)
{
    if (data.isEmpty()) {
        return {};
    }
    // FreeImage only reads from the buffer; the cast is what its memory API asks for.
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(data.constData()));
    MemoryHandle memory(FreeImage_OpenMemory(bytes, static_cast<DWORD>(data.size())));
    if (!memory) {
        return {};
    }
    const Bitmap header(FreeImage_LoadFromMemory(FIF_JPEG, memory.get(), FIF_LOAD_NOPIXELS));
    if (header.empty() || !pageSizeAllowed(header.width(), header.height())) {
        return {};
    }
    FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
    return Bitmap(FreeImage_LoadFromMemory(FIF_JPEG, memory.get(), JPEG_ACCURATE | JPEG_EXIFROTATE));
}

InputDocument::InputDocument(const QString& path, bool keepCmyk)
    : path_(path), keepCmyk_(keepCmyk), headers_(readTiffPageHeaders(path))
{
}

LoadedPage InputDocument::loadPage(int index, const std::function<bool()>& abandoned) const
{
    LoadedPage page;
    const TiffPageHeader* header = this->header(index);
    if (header == nullptr) {
        return page;
    }
    page.sourceBpp = header->bitsPerPixel;
    if (header->width == 0 || header->height == 0) {
        page.status = PageStatus::Skipped;
        return page;
    }
    if (!pageSizeAllowed(header->width, header->height)) {
        return page;
    }
    page.image = decodePage(index, *header, abandoned);
    if (page.image.empty()) {
        return page;
    }
    if (header->compression != oldStyleJpegCompression) {
        page.sourceBpp = static_cast<int>(page.image.bpp());
    }
    page.status = page.image.width() == 0 || page.image.height() == 0 ? PageStatus::Skipped : PageStatus::Loaded;
    return page;
}

const TiffPageHeader* InputDocument::header(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < headers_.size() ? &headers_[static_cast<std::size_t>(index)]
                                                                           : nullptr;
}

Bitmap InputDocument::decodePage(int index, const TiffPageHeader& header, const std::function<bool()>& abandoned) const
{
    if (header.compression == oldStyleJpegCompression) {
        Bitmap stream = decodeOldStyleJpeg(header);
        return stream ? std::move(stream) : decodeTiffPageWithLibtiff(path_, index, keepCmyk_);
    }
    Bitmap page;
    // Pages whose rows are copied are read exactly as the streamed path reads them; a page it
    // opens but cannot read whole is damaged, not a page for another decoder.
    if (const std::unique_ptr<TiffBandSource> source =
            TiffBandSource::open(path_, index, header, std::numeric_limits<std::uint64_t>::max())) {
        page = source->readPage(abandoned);
    } else {
        page = decodeTiffPageWithLibtiff(path_, index, keepCmyk_);
    }
    return page ? applyTiffOrientation(std::move(page), header.orientation) : Bitmap{};
}

// Old scanner drivers wrote whole JPEG files into the TIFF; libtiff cannot always make sense of
// them, so the embedded stream is decoded as a JPEG of its own. The page's JPEGInterchangeFormat
// tag says where its stream starts; without it the first JPEG start marker of the file is used.
Bitmap InputDocument::decodeOldStyleJpeg(const TiffPageHeader& header) const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    if (header.jpegOffset > 0 && header.jpegOffset < fileSize) {
        std::uint64_t length = fileSize - header.jpegOffset;
        if (header.jpegLength > 0 && header.jpegLength < length) {
            length = header.jpegLength;
        }
        if (file.seek(static_cast<qint64>(header.jpegOffset))) {
            return decodeJpegStream(file.read(static_cast<qint64>(length)));
        }
        return {};
    }
    const QByteArray data = file.readAll();
    return decodeJpegStream(data.mid(findJpegStart(data)));
}

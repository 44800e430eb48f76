#include "engine/decode/page_loader.h"

#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_page_decoder.h"
#include "engine/decode/tiff_page_reader.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <tiffio.h>

#include <memory>

namespace {

constexpr int oldStyleJpegCompression = 6; // COMPRESSION_OJPEG

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct MemoryCloser {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};
using MemoryHandle = std::unique_ptr<FIMEMORY, MemoryCloser>;

// How the pixels are stored: strips or tiles, their size, the byte order and extra samples.
void readLayout(TIFF* tiff, TiffPageHeader& header)
{
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) != 0) {
        header.extraSamples = extraCount;
    }
    header.bigEndian = TIFFIsBigEndian(tiff) != 0;
    header.tiled = TIFFIsTiled(tiff) != 0;
    if (header.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &header.tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &header.tileLength);
    } else {
        header.rowsPerStrip = header.height;
        TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &header.rowsPerStrip);
    }
}

TiffPageHeader readHeader(TIFF* tiff)
{
    TiffPageHeader header;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &header.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &header.height);
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t compression = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    header.bitsPerPixel = bitsPerSample * samplesPerPixel;
    header.bitsPerSample = bitsPerSample;
    header.samplesPerPixel = samplesPerPixel;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    header.separatePlanes = planar == PLANARCONFIG_SEPARATE;
    header.compression = compression;
    std::uint16_t photometric = 0;
    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 0) {
        header.photometric = photometric;
    }
    header.cmyk = header.photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && samplesPerPixel >= 4;
    std::uint32_t profileSize = 0;
    void* profile = nullptr;
    std::uint64_t exifOffset = 0;
    header.colourProfile = TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) != 0;
    header.colourProfileAndExif = header.colourProfile && TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifOffset) != 0;
    readLayout(tiff, header);
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    header.orientation = orientation;
    if (compression == oldStyleJpegCompression) {
        // The old-style JPEG codec keeps these two as 64-bit values.
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        if (TIFFGetField(tiff, TIFFTAG_JPEGIFOFFSET, &offset) != 0) {
            header.jpegOffset = offset;
        }
        if (TIFFGetField(tiff, TIFFTAG_JPEGIFBYTECOUNT, &length) != 0) {
            header.jpegLength = length;
        }
    }
    return header;
}

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

bool freeImageDecodesRight(const TiffPageHeader& header)
{
    const bool grey = header.photometric == PHOTOMETRIC_MINISBLACK || header.photometric == PHOTOMETRIC_MINISWHITE;
    const bool wholeBytes = header.bitsPerSample % 8 == 0;
    return (!header.separatePlanes || wholeBytes) && !header.colourProfileAndExif &&
           !(grey && header.samplesPerPixel > 1) &&
           !(header.photometric == PHOTOMETRIC_MINISWHITE && header.bitsPerSample == 16);
}

std::vector<TiffPageHeader> readTiffPageHeaders(const QString& path)
{
    std::vector<TiffPageHeader> headers;
    // "m": no memory mapping, so a huge or damaged file is only read where its directories are.
    TiffHandle tiff(TIFFOpen(QFile::encodeName(path).constData(), "rm"));
    if (!tiff) {
        return headers;
    }
    do {
        headers.push_back(readHeader(tiff.get()));
    } while (TIFFReadDirectory(tiff.get()) != 0);
    return headers;
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

InputDocument::InputDocument(const QString& path, bool keepCmyk) : path_(path), keepCmyk_(keepCmyk)
{
    file_ = openFile(path, "rb");
    if (!file_) {
        return;
    }
    headers_ = readTiffPageHeaders(path);
    container_ = FreeImage_OpenMultiBitmapFromHandle(FIF_TIFF, stdioFreeImageIO(), file_.get(), 0);
    if (container_ != nullptr) {
        pageCount_ = FreeImage_GetPageCount(container_);
        return;
    }
    // The single-image fallback decodes the first page: not when FreeImage must not decode it.
    if (headers_.empty() || freeImageDecodesRight(headers_.front())) {
        loadSingleImage();
    }
    // Without FreeImage, libtiff may still read the pages.
    pageCount_ = singleImage_ ? 1 : static_cast<int>(headers_.size());
}

void InputDocument::loadSingleImage()
{
    // Its header is checked before the pixels are decoded.
    std::rewind(file_.get());
    const Bitmap header(FreeImage_LoadFromHandle(FIF_TIFF, stdioFreeImageIO(), file_.get(), FIF_LOAD_NOPIXELS));
    if (!header.empty() && pageSizeAllowed(header.width(), header.height())) {
        std::rewind(file_.get());
        single_ = Bitmap(FreeImage_LoadFromHandle(FIF_TIFF, stdioFreeImageIO(), file_.get(), 0));
    }
    singleImage_ = !single_.empty();
    singleBpp_ = static_cast<int>(single_.bpp());
}

InputDocument::~InputDocument()
{
    if (container_ != nullptr) {
        FreeImage_CloseMultiBitmap(container_, 0);
    }
}

LoadedPage InputDocument::loadPage(int index)
{
    LoadedPage page;
    if (index < 0 || index >= pageCount_) {
        return page;
    }
    if (singleImage_) {
        page.sourceBpp = singleBpp_;
        page.image = std::move(single_);
        page.status = page.image ? PageStatus::Loaded : PageStatus::Failed;
        return page;
    }
    // Without a header the page size cannot be checked, so the page is not decoded.
    if (static_cast<std::size_t>(index) >= headers_.size()) {
        return page;
    }
    const TiffPageHeader& header = headers_[static_cast<std::size_t>(index)];
    page.sourceBpp = header.bitsPerPixel;
    if (header.width == 0 || header.height == 0) {
        page.status = PageStatus::Skipped;
        return page;
    }
    if (!pageSizeAllowed(header.width, header.height)) {
        return page;
    }
    page.image = decodePage(index, header);
    if (page.image.empty()) {
        return page;
    }
    if (header.compression != oldStyleJpegCompression) {
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

Bitmap InputDocument::decodePage(int index, const TiffPageHeader& header)
{
    if (header.compression == oldStyleJpegCompression) {
        Bitmap stream = decodeOldStyleJpeg(index, header);
        return stream ? std::move(stream) : decodeTiffPageWithLibtiff(path_, index);
    }
    // FreeImage turns CMYK into RGB as if there were no black ink.
    const bool freeImageDecodes = container_ != nullptr && freeImageDecodesRight(header) && (!header.cmyk || keepCmyk_);
    Bitmap page = freeImageDecodes ? decodeWithFreeImage(index) : Bitmap{};
    if (!page) {
        page = decodeTiffPageWithLibtiff(path_, index);
    }
    return applyTiffOrientation(std::move(page), header.orientation);
}

Bitmap InputDocument::decodeWithFreeImage(int index)
{
    // Straight from the file: a page taken out of the container would be decoded and then copied.
    if (Bitmap page = decodeTiffPage(path_, index)) {
        return page;
    }
    FIBITMAP* locked = FreeImage_LockPage(container_, index);
    if (locked == nullptr) {
        return {};
    }
    // An independent copy, so the container can drop its decoded page right away.
    Bitmap copy(FreeImage_Clone(locked));
    FreeImage_UnlockPage(container_, locked, FALSE);
    return copy;
}

// Old scanner drivers wrote whole JPEG files into the TIFF; libtiff cannot always make sense of
// them, so the embedded stream is decoded as a JPEG of its own. The page's JPEGInterchangeFormat
// tag says where its stream starts; without it the first JPEG start marker of the file is used.
Bitmap InputDocument::decodeOldStyleJpeg(int index, const TiffPageHeader& header)
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return container_ != nullptr && freeImageDecodesRight(header) ? decodeWithFreeImage(index) : Bitmap{};
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

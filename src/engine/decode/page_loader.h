#pragma once

// engine/decode: TIFF pages in. Page headers and page selection, the input document handing out
// one decoded page at a time (FreeImage first, libtiff for what FreeImage refuses or gets wrong),
// CMYK with its profile, and why an input could not be decoded (input_diagnosis.h). Includes
// engine/core and engine/formats.

#include "engine/core/bitmap.h"
#include "engine/core/freeimage_file.h"
#include "engine/core/page_limits.h"

#include <FreeImage.h>
#include <QString>

#include <cstdint>
#include <vector>

// The 0-based page indices Input/TIFF Frame Loading selects from pageCount pages: 1 First,
// 2 Middle, 3 Last, 4 Random (uniform), 0 All and any other value every page. Empty (last <
// first) when there are no pages.
struct PageRange {
    int first = 0;
    int last = -1;
    bool operator==(const PageRange&) const = default;
};
PageRange selectPages(int frameLoading, int pageCount);

enum class PageStatus {
    Loaded,  // image holds the decoded page
    Skipped, // the page is 0 x 0: nothing is written for it
    Failed,  // unreadable, undecodable or refused by the size limit: counts as a failed save
};

struct LoadedPage {
    PageStatus status = PageStatus::Failed;
    Bitmap image;
    int sourceBpp = 0; // bits per pixel of the page as stored, before any step
};

// What the header of one TIFF page says, read with libtiff without decoding any pixels.
struct TiffPageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitsPerPixel = 0;
    int compression = 0;
    std::uint64_t jpegOffset = 0; // old-style JPEG: JPEGInterchangeFormat, 0 when absent
    std::uint64_t jpegLength = 0; // old-style JPEG: JPEGInterchangeFormatLength, 0 when absent
    bool cmyk = false;            // PhotometricInterpretation separated, ink set CMYK
    bool separatePlanes = false;  // PlanarConfiguration 2
    int bitsPerSample = 1;
    int samplesPerPixel = 1;
    int photometric = -1;          // PhotometricInterpretation, -1 when absent
    int orientation = 1;           // Orientation, 1 (top-left) to 8
    bool colourProfileAndExif = false; // an ICC profile and an EXIF directory
    bool colourProfile = false;        // an ICC profile
    int extraSamples = 0;              // ExtraSamples count (alpha and the like)
    bool bigEndian = false;            // Motorola byte order
    bool tiled = false;
    std::uint32_t rowsPerStrip = 0;    // strips: RowsPerStrip as stored (the height when absent)
    std::uint32_t tileWidth = 0;       // tiles: their size
    std::uint32_t tileLength = 0;
};

// Whether FreeImage's TIFF loader decodes the page right and safely. It does not for:
// - separate planes of fewer than 8 bits per sample (its loader copies whole bytes per sample and
//   aborts the process);
// - an ICC profile beside an EXIF directory (it keeps the profile's pointer, reads the EXIF
//   directory, which frees the page's fields, and then copies the profile from freed memory);
// - grey with alpha (at 16 bits it copies the raw bytes of each pixel as if they were four 8-bit
//   samples of red, green, blue and alpha, so a grey page turns lavender; at 8 bits it drops the
//   alpha, or in tiles mixes up the grey; at 4 bits the levels are wrong);
// - white-is-zero grey at 16 bits (it ignores the inversion: white comes out black).
bool freeImageDecodesRight(const TiffPageHeader& header);

// The page headers of a TIFF file in page order; empty when libtiff cannot read the file.
std::vector<TiffPageHeader> readTiffPageHeaders(const QString& path);

// The input file of one conversion, always read as TIFF: opened as a multi-page image (page
// cache in memory, read-only) or, when that fails, loaded as a single image; when FreeImage cannot
// open it at all (or must not decode its first page), its pages are counted and decoded with
// libtiff. Owns the container and hands
// out one independent page at a time, so a caller holds one decoded page.
class InputDocument {
  public:
    // keepCmyk: the pages go to a CMYK TIFF, so FreeImage's CMYK decode is kept for them.
    explicit InputDocument(const QString& path, bool keepCmyk = false);
    ~InputDocument();
    InputDocument(const InputDocument&) = delete;
    InputDocument& operator=(const InputDocument&) = delete;

    // 0 when the file could not be opened or loaded.
    int pageCount() const { return pageCount_; }

    // Decodes page `index` (0-based). Pages stored as old-style JPEG (compression 6) are decoded
    // from their embedded JPEG stream with EXIF rotation. Pages FreeImage cannot decode or does
    // not decode right (freeImageDecodesRight), and CMYK pages (FreeImage loses their black), are
    // decoded with libtiff. Every page but an embedded
    // JPEG stream is then turned upright as its Orientation tag says. A single-image input hands
    // over its image, so each index can be loaded once.
    LoadedPage loadPage(int index);

    // What libtiff read from the header of page `index`; nullptr when it could not.
    const TiffPageHeader* header(int index) const;
    // Whether the pages are decoded by FreeImage page by page (not held whole as a single image).
    bool decodesPageByPage() const { return container_ != nullptr; }

  private:
    void loadSingleImage();
    Bitmap decodePage(int index, const TiffPageHeader& header);
    Bitmap decodeWithFreeImage(int index);
    Bitmap decodeOldStyleJpeg(int index, const TiffPageHeader& header);

    QString path_;
    FileHandle file_; // the stream the container reads; closed after the container
    FIMULTIBITMAP* container_ = nullptr;
    Bitmap single_;
    bool singleImage_ = false; // single_ is the one page
    int singleBpp_ = 0;
    int pageCount_ = 0;
    bool keepCmyk_ = false;
    std::vector<TiffPageHeader> headers_;
};

// Decodes the JPEG stream in `data` (JPEG_ACCURATE | JPEG_EXIFROTATE), refusing streams whose
// header claims more than kMaxPagePixels. Empty when it cannot be decoded.
Bitmap decodeJpegStream(const QByteArray& data);

// The offset of the first 0xFF 0xD8 pair in `data`, 0 when there is none.
qsizetype findJpegStart(const QByteArray& data);

#pragma once

// engine/decode: TIFF pages in, through one reader of our own on libtiff. Page headers and page
// selection, the input document handing out one decoded page at a time, the band source both paths
// read rows with, CMYK with its profile, and why an input could not be decoded
// (input_diagnosis.h). Includes engine/core and engine/formats.

#include "engine/core/bitmap.h"
#include "engine/core/page_limits.h"
#include "engine/decode/tiff_page_header.h"

#include <FreeImage.h>
#include <QString>

#include <cstdint>
#include <functional>
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

// The input file of one conversion, always read as TIFF with our own reader on libtiff: its page
// headers are read once when it is opened, and each page is decoded on its own when it is asked
// for, so a caller holds one decoded page.
class InputDocument {
  public:
    // keepCmyk: the pages go to a CMYK TIFF, so CMYK pages are turned into light by the plain
    // ink-to-light formula, not through their profile.
    explicit InputDocument(const QString& path, bool keepCmyk = false);

    // 0 when the file could not be opened or read as a TIFF.
    int pageCount() const { return static_cast<int>(headers_.size()); }

    // Decodes page `index` (0-based). Pages stored as old-style JPEG (compression 6) are decoded
    // from their embedded JPEG stream with EXIF rotation. Pages whose rows are copied as stored
    // (tiff_band_source.h) are read by the same band source the streamed path reads; the others are
    // unpacked sample by sample or through libtiff's RGBA interface (tiff_page_decoder.h). Every
    // page but an embedded JPEG stream is then turned upright as its Orientation tag says. A page
    // any of whose strips or tiles could not be read whole fails.
    // `abandoned` (when given) is asked while the rows are read, and a true answer ends the reading
    // with a failed page.
    LoadedPage loadPage(int index, const std::function<bool()>& abandoned = {}) const;

    // What libtiff read from the header of page `index`; nullptr when there is no such page.
    const TiffPageHeader* header(int index) const;
    const std::vector<TiffPageHeader>& headers() const { return headers_; }

  private:
    Bitmap decodePage(int index, const TiffPageHeader& header, const std::function<bool()>& abandoned) const;
    Bitmap decodeOldStyleJpeg(const TiffPageHeader& header) const;

    QString path_;
    bool keepCmyk_ = false;
    std::vector<TiffPageHeader> headers_;
};

// Decodes the JPEG stream in `data` (JPEG_ACCURATE | JPEG_EXIFROTATE), refusing streams whose
// header claims more than kMaxPagePixels. Empty when it cannot be decoded.
Bitmap decodeJpegStream(const QByteArray& data);

// The offset of the first 0xFF 0xD8 pair in `data`, 0 when there is none.
qsizetype findJpegStart(const QByteArray& data);

#pragma once

#include "engine/core/bitmap.h"

#include <QString>

#include <tiffio.h>

#include <cstdint>

// What a page carries besides its pixels: the FreeImage metadata models (TIFF text tags, EXIF,
// XMP, IPTC), the resolution and the ICC colour profile.

// Where a writer keeps the TIFF text tags (description, author, copyright, date).
enum class TextTagCarrier : std::uint8_t {
    None,
    PngKeywords, // one PNG text chunk per tag, under its PNG keyword
    JpegComment, // one JPEG comment: the description
    TiffTags,    // the tags themselves, written into the finished file (writeTiffTextTags)
};

// What an output format's files can carry beyond what every FreeImage writer takes from the
// models; a column of each format's catalogue row.
struct CarriedMetadata {
    TextTagCarrier textTags = TextTagCarrier::None;
    bool cmykProfile = false; // a CMYK page keeps its CMYK colour profile
};

// Turns `page`, decoded in stored order, upright as its TIFF Orientation (1 to 8) says.
Bitmap applyTiffOrientation(Bitmap page, int orientation);

// FreeImage's TIFF writer leaves out the text tags: this puts the ImageDescription, Artist,
// Copyright and DateTime that `image` carries into the TIFF FreeImage wrote at `path`.
bool writeTiffTextTags(const Bitmap& image, const QString& path);

// The metadata of a page as loaded, kept aside while the steps replace its pixels, and put on the
// bitmap that is finally written: the one place where metadata crosses the steps.
class PageMetadata {
  public:
    PageMetadata() = default;
    explicit PageMetadata(const Bitmap& page);

    // Copies the kept metadata onto `image` for a writer whose files carry `carried`. The ICC
    // profile goes along only when it is well-formed and describes the image's colours (RGB,
    // grey, or CMYK where the format keeps a CMYK profile); orientation tags are set to upright,
    // since the pixels already are; the TIFF text tags also become the comments of the writers
    // that store them as comments.
    void applyTo(const Bitmap& image, const CarriedMetadata& carried) const;

  private:
    Bitmap carrier_; // a 1 x 1 bitmap holding the copies
};

// Removes the ICC profile from `image`.
void stripColourProfile(const Bitmap& image);

// Removes every metadata model and the ICC profile from `image`.
void stripMetadata(const Bitmap& image);

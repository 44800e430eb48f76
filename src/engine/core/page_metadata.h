#pragma once

#include "engine/core/bitmap.h"

#include <QString>

#include <tiffio.h>

// What a page carries besides its pixels: the FreeImage metadata models (TIFF text tags, EXIF,
// XMP, IPTC), the resolution and the ICC colour profile.

// Puts the resolution, ICC profile (when withColourProfile), XMP packet and text tags of the
// current directory of `tiff` on `page`, in the models FreeImage fills when it loads a TIFF page.
void attachTiffMetadata(TIFF* tiff, const Bitmap& page, bool withColourProfile);

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

    // Copies the kept metadata onto `image` for a writer of `outputKey`. The ICC profile goes
    // along only when it is well-formed and describes the image's colours (RGB, grey, or CMYK for
    // a CMYK TIFF); orientation tags are set to upright, since the pixels already are; for PNG and
    // JPEG the TIFF text tags also become the comments those writers store.
    void applyTo(const Bitmap& image, const QString& outputKey) const;

  private:
    Bitmap carrier_; // a 1 x 1 bitmap holding the copies
};

// Removes the ICC profile from `image`.
void stripColourProfile(const Bitmap& image);

// Removes every metadata model and the ICC profile from `image`.
void stripMetadata(const Bitmap& image);

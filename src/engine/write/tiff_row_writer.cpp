#include "engine/write/tiff_row_writer.h"

#include <tiffio.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// libtiff on the caller's stdio stream, which stays open: the caller closes it and checks that.
tmsize_t readStream(thandle_t file, void* buffer, tmsize_t size)
{
    return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<std::size_t>(size), static_cast<std::FILE*>(file)));
}

tmsize_t writeStream(thandle_t file, void* buffer, tmsize_t size)
{
    return static_cast<tmsize_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(size), static_cast<std::FILE*>(file)));
}

toff_t seekStream(thandle_t file, toff_t offset, int whence)
{
    auto* stream = static_cast<std::FILE*>(file);
    if (fseeko(stream, static_cast<off_t>(offset), whence) != 0) {
        return static_cast<toff_t>(-1);
    }
    return static_cast<toff_t>(ftello(stream));
}

int keepStreamOpen(thandle_t /*file*/)
{
    return 0;
}

toff_t streamSize(thandle_t file)
{
    auto* stream = static_cast<std::FILE*>(file);
    const off_t here = ftello(stream);
    fseeko(stream, 0, SEEK_END);
    const off_t size = ftello(stream);
    fseeko(stream, here, SEEK_SET);
    return static_cast<toff_t>(size);
}

int noMapping(thandle_t /*file*/, void** /*base*/, toff_t* /*size*/)
{
    return 0;
}

void noUnmapping(thandle_t /*file*/, void* /*base*/, toff_t /*size*/) {}

// The compression the writer's flags name, in the order FreeImage's writer tests them; 0 for JPEG,
// which this writer leaves to FreeImage.
std::uint16_t compressionOf(int flags, unsigned bpp)
{
    const auto has = [flags](int flag) { return (flags & flag) == flag; };
    if (has(TIFF_PACKBITS)) {
        return COMPRESSION_PACKBITS;
    }
    if (has(TIFF_DEFLATE)) {
        return COMPRESSION_DEFLATE;
    }
    if (has(TIFF_ADOBE_DEFLATE)) {
        return COMPRESSION_ADOBE_DEFLATE;
    }
    if (has(TIFF_NONE)) {
        return COMPRESSION_NONE;
    }
    if (bpp == 1 && has(TIFF_CCITTFAX3)) {
        return COMPRESSION_CCITTFAX3;
    }
    if (bpp == 1 && has(TIFF_CCITTFAX4)) {
        return COMPRESSION_CCITTFAX4;
    }
    if (has(TIFF_LZW)) {
        return COMPRESSION_LZW;
    }
    if (has(TIFF_JPEG)) {
        return 0;
    }
    // No compression flag: FreeImage's own choice.
    return bpp == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
}

std::uint16_t photometricOf(FIBITMAP* page)
{
    switch (FreeImage_GetColorType(page)) {
    case FIC_MINISWHITE:
        return PHOTOMETRIC_MINISWHITE;
    case FIC_PALETTE:
        return PHOTOMETRIC_PALETTE;
    case FIC_RGB:
    case FIC_RGBALPHA:
        return PHOTOMETRIC_RGB;
    default:
        return PHOTOMETRIC_MINISBLACK;
    }
}

// The first tag of `model` on the page that `wanted` picks; nullptr when there is none.
template <typename Wanted> FITAG* findTag(FIBITMAP* page, FREE_IMAGE_MDMODEL model, Wanted wanted)
{
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(model, page, &tag);
    if (search == nullptr) {
        return nullptr;
    }
    bool found = false;
    do {
        found = wanted(tag);
    } while (!found && FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
    return found ? tag : nullptr;
}

// Tags of an EXIF sub-directory (exposure, capture dates, flash ...) found among the page's main
// tags: FreeImage's writer copies those it knows into the page's directory.
bool hasExifDirectoryTags(FIBITMAP* page)
{
    return findTag(page, FIMD_EXIF_MAIN, [](FITAG* tag) {
               const WORD id = FreeImage_GetTagID(tag);
               return id == 0x829A || id == 0x829D || (id >= 0x8822 && id <= 0x8828) || id >= 0x9000;
           }) != nullptr;
}

// The GeoTIFF tags FreeImage's TIFF loader keeps (its GEOTIFF model) and its writer writes back,
// in the order it sets them: georeferencing of map scans and aerial photographs. libtiff writes
// them once they are declared on the handle (FreeImage declares them for every handle of the
// process; they are declared here where that has not happened).
const TIFFFieldInfo geoTiffFields[] = {
    {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelPixelScale")},
    {33920, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("IntergraphMatrix")},
    {34264, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelTransformation")},
    {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelTiepoint")},
    {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
    {34736, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoDoubleParams")},
    {34737, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoAsciiParams")},
    {34263, 1, 1, TIFF_LONG, FIELD_CUSTOM, 1, 1, const_cast<char*>("JplCartoIfd")},
};

const TIFFFieldInfo* geoTiffField(WORD id)
{
    for (const TIFFFieldInfo& field : geoTiffFields) {
        if (field.field_tag == id) {
            return &field;
        }
    }
    return nullptr;
}

// Whether every GeoTIFF tag the page carries is one of the above, of its type.
bool knownGeoTiffTags(FIBITMAP* page)
{
    return findTag(page, FIMD_GEOTIFF, [](FITAG* tag) {
               const TIFFFieldInfo* field = geoTiffField(FreeImage_GetTagID(tag));
               return field == nullptr ||
                      static_cast<int>(field->field_type) != static_cast<int>(FreeImage_GetTagType(tag));
           }) == nullptr;
}

// In the order of the table: libtiff writes the values of these tags in the order they were set.
void setGeoTiffTags(TIFF* tiff, FIBITMAP* page)
{
    for (const TIFFFieldInfo& field : geoTiffFields) {
        FITAG* tag = findTag(page, FIMD_GEOTIFF,
                             [&field](FITAG* candidate) { return FreeImage_GetTagID(candidate) == field.field_tag; });
        if (tag == nullptr) {
            continue;
        }
        if (TIFFFindField(tiff, field.field_tag, TIFF_ANY) == nullptr) {
            TIFFMergeFieldInfo(tiff, &field, 1);
        }
        if (field.field_type == TIFF_ASCII) {
            TIFFSetField(tiff, field.field_tag, FreeImage_GetTagValue(tag));
        } else {
            TIFFSetField(tiff, field.field_tag, static_cast<std::uint32_t>(FreeImage_GetTagCount(tag)),
                         FreeImage_GetTagValue(tag));
        }
    }
}

void setColourMap(TIFF* tiff, FIBITMAP* page)
{
    const unsigned colours = FreeImage_GetColorsUsed(page);
    const RGBQUAD* palette = FreeImage_GetPalette(page);
    std::vector<std::uint16_t> map(std::size_t{colours} * 3);
    for (unsigned i = 0; i < colours; ++i) {
        map[i] = static_cast<std::uint16_t>(palette[i].rgbRed * 257U);
        map[colours + i] = static_cast<std::uint16_t>(palette[i].rgbGreen * 257U);
        map[2 * colours + i] = static_cast<std::uint16_t>(palette[i].rgbBlue * 257U);
    }
    TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data() + colours, map.data() + 2 * colours);
}

void setCompression(TIFF* tiff, std::uint16_t compression, std::uint16_t photometric, unsigned bpp)
{
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW) {
        // Horizontal differencing for 8-bit samples of grey and colour, none for palettes and bits.
        const bool differencing = bpp >= 8 && photometric != PHOTOMETRIC_PALETTE;
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, differencing ? 2 : 1);
    } else if (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) {
        std::uint32_t length = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, length);
        if (compression == COMPRESSION_CCITTFAX3) {
            TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS);
            TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        }
    }
}

// Every tag FreeImage's writer sets for this page, in its order (libtiff's default strip size
// depends on the tags set before it).
void setTags(TIFF* tiff, FIBITMAP* page, int flags)
{
    const unsigned bpp = FreeImage_GetBPP(page);
    const std::uint16_t samples = bpp == 24 ? 3 : bpp == 32 ? 4 : 1;
    const std::uint16_t photometric = photometricOf(page);
    if (bpp == 32) {
        const std::uint16_t unassociatedAlpha[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, unassociatedAlpha);
    }
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(page);
    if (profile->size != 0 && profile->data != nullptr) {
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, profile->size, profile->data);
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, FreeImage_GetWidth(page));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, FreeImage_GetHeight(page));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bpp / samples));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, static_cast<std::uint32_t>(-1)));
    // Whole dots per inch, as FreeImage rounds them.
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION,
                 static_cast<double>(static_cast<unsigned long>(0.5 + 0.0254 * FreeImage_GetDotsPerMeterX(page))));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION,
                 static_cast<double>(static_cast<unsigned long>(0.5 + 0.0254 * FreeImage_GetDotsPerMeterY(page))));
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, std::uint32_t{0});
    if (photometric == PHOTOMETRIC_PALETTE) {
        setColourMap(tiff, page);
    }
    setCompression(tiff, compressionOf(flags, bpp), photometric, bpp);
    FITAG* xmp = nullptr;
    if (FreeImage_GetMetadata(FIMD_XMP, page, "XMLPacket", &xmp) && FreeImage_GetTagValue(xmp) != nullptr) {
        TIFFSetField(tiff, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(FreeImage_GetTagLength(xmp)),
                     FreeImage_GetTagValue(xmp));
    }
    setGeoTiffTags(tiff, page);
}

class TiffRowWriter final : public RowWriter {
  public:
    TiffRowWriter(TiffHandle tiff, const PageHeader& page)
        : tiff_(std::move(tiff)), width_(page.width()), height_(page.height()), bpp_(page.bpp()),
          row_(FreeImage_GetPitch(page.get()))
    {
    }

    bool writeBand(const Bitmap& band) override
    {
        if (!tiff_ || band.width() != width_ || band.bpp() != bpp_ || written_ + band.height() > height_) {
            return false;
        }
        const unsigned rows = band.height();
        for (unsigned row = 0; row < rows; ++row, ++written_) {
            std::memcpy(row_.data(), FreeImage_GetScanLine(band.get(), static_cast<int>(rows - 1 - row)),
                        FreeImage_GetLine(band.get()));
            if (bpp_ >= 24) {
                // TIFF stores red first.
                const unsigned step = bpp_ / 8;
                for (unsigned x = 0; x < width_; ++x) {
                    std::swap(row_[std::size_t{x} * step], row_[std::size_t{x} * step + 2]);
                }
            }
            if (TIFFWriteScanline(tiff_.get(), row_.data(), written_, 0) < 0) {
                return false;
            }
        }
        return true;
    }

    bool finish() override
    {
        if (!tiff_ || written_ != height_) {
            return false;
        }
        // The directory goes after the strips, written as the handle closes.
        const bool flushed = TIFFFlush(tiff_.get()) != 0;
        tiff_.reset();
        return flushed;
    }

  private:
    TiffHandle tiff_;
    unsigned width_;
    unsigned height_;
    unsigned bpp_;
    std::uint32_t written_ = 0;
    std::vector<BYTE> row_;
};

} // namespace

bool tiffRowWriterTakes(int flags, const PageHeader& page)
{
    if (!page || FreeImage_GetImageType(page.get()) != FIT_BITMAP) {
        return false;
    }
    FIBITMAP* dib = page.get();
    const unsigned bpp = page.bpp();
    const bool depth = bpp == 1 || bpp == 8 || bpp == 24 || bpp == 32;
    const bool cmyk = (flags & TIFF_CMYK) == TIFF_CMYK ||
                      (FreeImage_GetICCProfile(dib)->flags & FIICC_COLOR_IS_CMYK) == FIICC_COLOR_IS_CMYK;
    return depth && !cmyk && compressionOf(flags, bpp) != 0 && !(bpp == 8 && FreeImage_IsTransparent(dib)) &&
           FreeImage_GetThumbnail(dib) == nullptr && FreeImage_GetMetadataCount(FIMD_IPTC, dib) == 0 &&
           knownGeoTiffTags(dib) && !hasExifDirectoryTags(dib);
}

std::unique_ptr<RowWriter> openTiffRowWriter(int flags, const PageHeader& page, std::FILE* file)
{
    if (file == nullptr || !tiffRowWriterTakes(flags, page)) {
        return nullptr;
    }
    TiffHandle tiff(TIFFClientOpen("", "w", file, readStream, writeStream, seekStream, keepStreamOpen, streamSize,
                                   noMapping, noUnmapping));
    if (!tiff) {
        return nullptr;
    }
    setTags(tiff.get(), page.get(), flags);
    return std::make_unique<TiffRowWriter>(std::move(tiff), page);
}

#include "engine/decode/tiff_page_decoder.h"

#include "engine/core/page_limits.h"
#include "engine/core/page_metadata.h"
#include "engine/decode/tiff_metadata.h"
#include "engine/decode/tiff_file.h"
#include "engine/decode/tiff_raster.h"

#include <algorithm>

namespace {

// Bands of the RGBA path hold at most this many pixels (64 MiB), whatever the strips say.
constexpr std::uint64_t maxBandPixels = std::uint64_t{1} << 24;

struct RgbaImage {
    TIFFRGBAImage image{};
    bool begun = false;
    ~RgbaImage()
    {
        if (begun) {
            TIFFRGBAImageEnd(&image);
        }
    }
};

// The rows libtiff decodes in one go: a strip or a row of tiles, capped at maxBandPixels.
std::uint32_t bandRows(TIFF* tiff, std::uint32_t width, std::uint32_t height)
{
    std::uint32_t rows = height;
    if (TIFFIsTiled(tiff) != 0) {
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &rows);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows);
    }
    const auto capped = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, maxBandPixels / width));
    return std::clamp<std::uint32_t>(rows, 1, std::min(height, capped));
}

// libtiff's RGBA interface: every photometric, subsampling and codec it knows (YCbCr, CIELab,
// palettes, old-style JPEG), 8 bits per sample, alpha premultiplied.
Bitmap decodeRgba(TIFF* tiff, std::uint32_t width, std::uint32_t height)
{
    // One sample per pixel is one plane, however the page declares it; the RGBA interface would
    // read a page declared as separate planes as if it had one plane per colour.
    std::uint16_t samples = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (samples == 1) {
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    }
    char message[1024] = {};
    if (TIFFRGBAImageOK(tiff, message) == 0) {
        return {};
    }
    RgbaImage rgba;
    rgba.begun = TIFFRGBAImageBegin(&rgba.image, tiff, 1, message) != 0;
    if (!rgba.begun) {
        return {};
    }
    // Rows in stored order, top row first, so the band offsets count from the top.
    rgba.image.req_orientation = ORIENTATION_TOPLEFT;
    rgba.image.orientation = ORIENTATION_TOPLEFT;
    const bool alpha = rgba.image.alpha != 0;
    const bool grey = !alpha && (rgba.image.photometric == PHOTOMETRIC_MINISBLACK ||
                                 rgba.image.photometric == PHOTOMETRIC_MINISWHITE);
    PageCanvas canvas(width, height, alpha ? PagePixels::Rgba : grey ? PagePixels::Grey : PagePixels::Rgb);
    const std::uint32_t rows = bandRows(tiff, width, height);
    const ByteBuffer band = allocateBuffer(std::uint64_t{width} * rows * sizeof(std::uint32_t));
    if (!canvas.valid() || !band) {
        return {};
    }
    auto* raster = reinterpret_cast<std::uint32_t*>(band.get());
    for (std::uint32_t y0 = 0; y0 < height; y0 += rows) {
        const std::uint32_t bandHeight = std::min(rows, height - y0);
        rgba.image.row_offset = static_cast<int>(y0);
        rgba.image.col_offset = 0;
        if (TIFFRGBAImageGet(&rgba.image, raster, width, bandHeight) == 0) {
            return {};
        }
        for (std::uint32_t row = 0; row < bandHeight; ++row) {
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint32_t packed = raster[std::uint64_t{row} * width + x];
                const std::uint32_t a = TIFFGetA(packed);
                Rgba8 colour{static_cast<std::uint8_t>(TIFFGetR(packed)), static_cast<std::uint8_t>(TIFFGetG(packed)),
                             static_cast<std::uint8_t>(TIFFGetB(packed)), static_cast<std::uint8_t>(a)};
                if (alpha) {
                    colour = {unpremultiply(colour.red, a), unpremultiply(colour.green, a),
                              unpremultiply(colour.blue, a), colour.alpha};
                }
                canvas.put(x, y0 + row, colour);
            }
        }
    }
    return canvas.take();
}

bool isCmyk(TIFF* tiff)
{
    std::uint16_t photometric = 0;
    return TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 0 && photometric == PHOTOMETRIC_SEPARATED;
}

} // namespace

Bitmap decodeTiffPageWithLibtiff(const QString& path, int index, bool keepCmyk)
{
    const std::unique_ptr<TiffFile> file = TiffFile::open(path);
    if (!file || !file->setPage(index)) {
        return {};
    }
    TIFF* tiff = file->handle();
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    if (!pageSizeAllowed(width, height)) {
        return {};
    }
    Bitmap page =
        canUnpackSamples(tiff) ? unpackSamples(tiff, width, height, !keepCmyk) : decodeRgba(tiff, width, height);
    // Whatever libtiff reported while the pixels were read means some of them were not.
    if (!page || file->damaged()) {
        return {};
    }
    // A CMYK profile does not describe the RGB the inks were turned into.
    attachTiffMetadata(tiff, page, !isCmyk(tiff));
    return page;
}

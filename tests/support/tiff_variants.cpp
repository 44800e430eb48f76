#include "support/tiff_variants.h"

#include <QColorSpace>
#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace fixtures {
namespace {

constexpr int tileSide = 16;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

int channelCount(const TiffVariant& variant)
{
    return variant.colourSamples + (variant.alpha ? 1 : 0) + variant.otherSamples;
}

} // namespace

std::uint32_t sampleValue(const TiffVariant& variant, int x, int y, int channel)
{
    if (!variant.solid.empty()) {
        return variant.solid[static_cast<std::size_t>(channel)];
    }
    const bool isAlpha = variant.alpha && channel == variant.colourSamples;
    if (variant.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        // Floating-point samples hold 8-bit levels (see floatSample).
        return static_cast<std::uint32_t>(isAlpha ? 255 - x * 3 : std::min(255, x * 4 + y * 3 + channel * 30));
    }
    const auto level = static_cast<std::uint32_t>(isAlpha ? 255 - x * 3 : std::min(255, x * 4 + y * 3 + channel * 30));
    const int bits = variant.bitsPerSample;
    if (bits <= 8) {
        return level >> (8 - bits);
    }
    const std::uint64_t lowMask = (std::uint64_t{1} << (bits - 8)) - 1;
    return static_cast<std::uint32_t>((std::uint64_t{level} << (bits - 8)) | ((x * 7 + y) & lowMask));
}

namespace {

// Packs samples most significant bit first, as TIFF stores depths that are not whole bytes.
class BitPacker {
  public:
    explicit BitPacker(QByteArray& out) : out_(out) {}
    void put(std::uint32_t value, int bits)
    {
        for (int bit = bits - 1; bit >= 0; --bit) {
            current_ = static_cast<unsigned char>((current_ << 1) | ((value >> bit) & 1U));
            if (++filled_ == 8) {
                flush();
            }
        }
    }
    void endRow()
    {
        if (filled_ > 0) {
            current_ = static_cast<unsigned char>(current_ << (8 - filled_));
            flush();
        }
    }

  private:
    void flush()
    {
        out_.append(static_cast<char>(current_));
        current_ = 0;
        filled_ = 0;
    }
    QByteArray& out_;
    unsigned char current_ = 0;
    int filled_ = 0;
};

void appendNative(QByteArray& out, std::uint32_t value, const TiffVariant& variant)
{
    const int bits = variant.bitsPerSample;
    if (variant.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        if (bits == 64) {
            const double wide = floatSample(value);
            out.append(reinterpret_cast<const char*>(&wide), sizeof wide);
        } else {
            const auto narrow = static_cast<float>(floatSample(value));
            out.append(reinterpret_cast<const char*>(&narrow), sizeof narrow);
        }
        return;
    }
    if (variant.sampleFormat == SAMPLEFORMAT_INT) {
        // Two's complement of value - 2^(bits-1): the top bit flipped.
        value ^= 1U << (bits - 1);
    }
    if (bits == 16) {
        const auto word = static_cast<std::uint16_t>(value);
        out.append(reinterpret_cast<const char*>(&word), sizeof word);
    } else {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
}

// The samples of a block of pixels in the layout libtiff expects for one strip or tile: all
// channels interleaved, or only `plane` when the planes are separate.
QByteArray packBlock(const TiffVariant& variant, int x0, int y0, int blockWidth, int rows, int plane)
{
    QByteArray out;
    const int bits = variant.bitsPerSample;
    const bool wholeWords = bits == 16 || bits == 32 || bits == 64;
    BitPacker packer(out);
    for (int y = y0; y < y0 + rows; ++y) {
        for (int x = x0; x < x0 + blockWidth; ++x) {
            const int first = plane < 0 ? 0 : plane;
            const int last = plane < 0 ? channelCount(variant) - 1 : plane;
            for (int channel = first; channel <= last; ++channel) {
                const std::uint32_t value = sampleValue(variant, x, y, channel);
                if (wholeWords) {
                    appendNative(out, value, variant);
                } else {
                    packer.put(value, bits);
                }
            }
        }
        if (!wholeWords) {
            packer.endRow();
        }
    }
    return out;
}

void setLayoutTags(TIFF* tiff, const TiffVariant& variant, int width, int height)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, variant.bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(channelCount(variant)));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, variant.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, variant.compression);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, variant.photometric);
    // After BitsPerSample: libtiff sizes the colour map by it.
    if (variant.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<std::uint16_t> map = paletteOf(variant.bitsPerSample);
        const std::size_t entries = map.size() / 3;
        TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data() + entries, map.data() + 2 * entries);
    }
    if (variant.photometric == PHOTOMETRIC_SEPARATED) {
        TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);
    }
    std::vector<std::uint16_t> extra;
    if (variant.alpha) {
        extra.push_back(variant.alphaKind);
    }
    for (int other = 0; other < variant.otherSamples; ++other) {
        extra.push_back(EXTRASAMPLE_UNSPECIFIED);
    }
    if (!extra.empty()) {
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data());
    }
    if (variant.sampleFormat != SAMPLEFORMAT_UINT) {
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, variant.sampleFormat);
    }
    if (variant.compression == COMPRESSION_JPEG) {
        TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
        if (variant.photometric == PHOTOMETRIC_YCBCR) {
            // libtiff converts the RGB we hand it to subsampled YCbCr.
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    if (variant.compression == COMPRESSION_CCITTFAX3) {
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS);
    }
    if (variant.compression == COMPRESSION_LZW || variant.compression == COMPRESSION_ADOBE_DEFLATE) {
        const int bits = variant.bitsPerSample;
        // libtiff 4.5 does not read back the floating-point predictor it wrote into a big-endian file.
        const bool floating = variant.sampleFormat == SAMPLEFORMAT_IEEEFP;
        TIFFSetField(tiff, TIFFTAG_PREDICTOR,
                     floating && variant.bigEndian           ? PREDICTOR_NONE
                     : floating                              ? PREDICTOR_FLOATINGPOINT
                     : bits == 8 || bits == 16 || bits == 32 ? PREDICTOR_HORIZONTAL
                                                             : PREDICTOR_NONE);
    }
    if (variant.tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(tileSide));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(tileSide));
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, variant.rowsPerStrip);
    }
}

void setExtraTags(TIFF* tiff, const TiffExtras& extras)
{
    if (!extras.iccProfile.isEmpty()) {
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(extras.iccProfile.size()),
                     extras.iccProfile.constData());
    }
    if (!extras.xmpPacket.isEmpty()) {
        TIFFSetField(tiff, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(extras.xmpPacket.size()),
                     extras.xmpPacket.constData());
    }
    if (!extras.photoshopResources.isEmpty()) {
        TIFFSetField(tiff, TIFFTAG_PHOTOSHOP, static_cast<std::uint32_t>(extras.photoshopResources.size()),
                     extras.photoshopResources.constData());
    }
    const std::pair<std::uint32_t, const QByteArray*> texts[] = {{TIFFTAG_IMAGEDESCRIPTION, &extras.description},
                                                                 {TIFFTAG_ARTIST, &extras.artist},
                                                                 {TIFFTAG_COPYRIGHT, &extras.copyright},
                                                                 {TIFFTAG_DATETIME, &extras.dateTime}};
    for (const auto& [tag, text] : texts) {
        if (!text->isEmpty()) {
            TIFFSetField(tiff, tag, text->constData());
        }
    }
    if (extras.dpi > 0) {
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, extras.dpi);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, extras.dpi);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (extras.orientation != 0) {
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, extras.orientation);
    }
    if (extras.cameraTagsInPage) {
        static const TIFFFieldInfo cameraTags[] = {
            {33434, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("ExposureTime")},
            {33437, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("FNumber")},
        };
        TIFFMergeFieldInfo(tiff, cameraTags, 2);
        TIFFSetField(tiff, 33434, 1.0 / 125);
        TIFFSetField(tiff, 33437, 2.8);
    }
}

bool writeStrips(TIFF* tiff, const TiffVariant& variant, int width, int height)
{
    const int planes = variant.separatePlanes ? channelCount(variant) : 1;
    const auto rowsPerStrip = static_cast<int>(variant.rowsPerStrip);
    const int stripsPerPlane = (height + rowsPerStrip - 1) / rowsPerStrip;
    for (int plane = 0; plane < planes; ++plane) {
        for (int strip = 0; strip < stripsPerPlane; ++strip) {
            const int y0 = strip * rowsPerStrip;
            const int rows = std::min(rowsPerStrip, height - y0);
            QByteArray data = packBlock(variant, 0, y0, width, rows, variant.separatePlanes ? plane : -1);
            const auto index = static_cast<std::uint32_t>(plane * stripsPerPlane + strip);
            if (TIFFWriteEncodedStrip(tiff, index, data.data(), data.size()) < 0) {
                return false;
            }
        }
    }
    return true;
}

bool writeTiles(TIFF* tiff, const TiffVariant& variant, int width, int height)
{
    const int planes = variant.separatePlanes ? channelCount(variant) : 1;
    for (int plane = 0; plane < planes; ++plane) {
        for (int y0 = 0; y0 < height; y0 += tileSide) {
            for (int x0 = 0; x0 < width; x0 += tileSide) {
                QByteArray data = packBlock(variant, x0, y0, tileSide, tileSide, variant.separatePlanes ? plane : -1);
                const auto sample = static_cast<std::uint16_t>(plane);
                const std::uint32_t tile =
                    TIFFComputeTile(tiff, static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y0), 0, sample);
                if (std::find(variant.absentTiles.begin(), variant.absentTiles.end(), tile) !=
                    variant.absentTiles.end()) {
                    continue;
                }
                if (TIFFWriteEncodedTile(tiff, tile, data.data(), data.size()) < 0) {
                    return false;
                }
            }
        }
    }
    return true;
}

TiffVariant variant(const char* name, std::uint16_t photometric, std::uint16_t bits, std::uint16_t samples)
{
    return TiffVariant{QString::fromLatin1(name), photometric, bits, samples};
}

} // namespace

std::vector<TiffVariant> tiffVariants()
{
    std::vector<TiffVariant> all;
    const auto add = [&all](TiffVariant v, auto&& adjust) {
        adjust(v);
        all.push_back(std::move(v));
    };
    // Separate colour planes: stripped and tiled, 8 and 16 bits, with and without alpha.
    add(variant("planar-strip-rgb8", PHOTOMETRIC_RGB, 8, 3), [](TiffVariant& v) { v.separatePlanes = true; });
    add(variant("planar-strip-rgba8-lzw", PHOTOMETRIC_RGB, 8, 3), [](TiffVariant& v) {
        v.separatePlanes = v.alpha = true;
        v.compression = COMPRESSION_LZW;
    });
    add(variant("planar-strip-rgb16-lzw", PHOTOMETRIC_RGB, 16, 3), [](TiffVariant& v) {
        v.separatePlanes = true;
        v.compression = COMPRESSION_LZW;
    });
    add(variant("planar-tile-rgb8-lzw", PHOTOMETRIC_RGB, 8, 3), [](TiffVariant& v) {
        v.separatePlanes = v.tiled = true;
        v.compression = COMPRESSION_LZW;
    });
    add(variant("planar-tile-rgba8", PHOTOMETRIC_RGB, 8, 3),
        [](TiffVariant& v) { v.separatePlanes = v.tiled = v.alpha = true; });
    add(variant("planar-tile-rgba16-lzw", PHOTOMETRIC_RGB, 16, 3), [](TiffVariant& v) {
        v.separatePlanes = v.tiled = v.alpha = true;
        v.compression = COMPRESSION_LZW;
    });
    // Separate planes under 8 bits: FreeImage's loader for separate planes aborted the whole
    // process on the grey ones (one sample, PlanarConfiguration 2, as some scanners write).
    add(variant("planar-strip-rgb4", PHOTOMETRIC_RGB, 4, 3), [](TiffVariant& v) { v.separatePlanes = true; });
    add(variant("planar-bilevel", PHOTOMETRIC_MINISWHITE, 1, 1), [](TiffVariant& v) {
        v.separatePlanes = true;
        v.compression = COMPRESSION_ADOBE_DEFLATE;
    });
    add(variant("planar-grey4", PHOTOMETRIC_MINISBLACK, 4, 1), [](TiffVariant& v) { v.separatePlanes = true; });
    // Grey at depths FreeImage has no loader for, both polarities.
    for (const std::uint16_t bits : {2, 4, 12}) {
        for (const std::uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
            const QString name = QStringLiteral("grey%1-%2")
                                     .arg(bits)
                                     .arg(photometric == PHOTOMETRIC_MINISBLACK ? QStringLiteral("minisblack")
                                                                                : QStringLiteral("miniswhite"));
            all.push_back(TiffVariant{name, photometric, bits, 1});
        }
    }
    add(variant("grey12-tile-lzw", PHOTOMETRIC_MINISBLACK, 12, 1), [](TiffVariant& v) {
        v.tiled = true;
        v.compression = COMPRESSION_LZW;
    });
    // 32-bit unsigned integer samples.
    add(variant("rgb32", PHOTOMETRIC_RGB, 32, 3), [](TiffVariant&) {});
    add(variant("rgb32-planar-deflate", PHOTOMETRIC_RGB, 32, 3), [](TiffVariant& v) {
        v.separatePlanes = true;
        v.compression = COMPRESSION_ADOBE_DEFLATE;
    });
    // CMYK with a black channel, plain and JPEG-compressed; CIELab; YCbCr JPEG.
    add(variant("cmyk8", PHOTOMETRIC_SEPARATED, 8, 4), [](TiffVariant&) {});
    add(variant("cmyk8-jpeg", PHOTOMETRIC_SEPARATED, 8, 4), [](TiffVariant& v) {
        v.compression = COMPRESSION_JPEG;
        v.lossy = true;
    });
    add(variant("cmyk16-planar", PHOTOMETRIC_SEPARATED, 16, 4), [](TiffVariant& v) { v.separatePlanes = true; });
    add(variant("cielab8", PHOTOMETRIC_CIELAB, 8, 3), [](TiffVariant&) {});
    add(variant("ycbcr-jpeg", PHOTOMETRIC_YCBCR, 8, 3), [](TiffVariant& v) {
        v.compression = COMPRESSION_JPEG;
        v.lossy = true;
    });
    return all;
}

namespace {

// Writes an EXIF directory where the page's directory will follow it, and returns its offset
// (0 when libtiff refused). The page's fields are set afresh afterwards.
std::uint64_t writeExifDirectory(TIFF* tiff)
{
    std::uint64_t offset = 0;
    if (TIFFCreateEXIFDirectory(tiff) != 0 ||
        TIFFSetField(tiff, EXIFTAG_DATETIMEORIGINAL, "2026:12:10 09:30:00") == 0 ||
        TIFFWriteCustomDirectory(tiff, &offset) == 0) {
        return 0;
    }
    TIFFFreeDirectory(tiff);
    TIFFCreateDirectory(tiff);
    return offset;
}

bool writePage(const QString& path, const char* mode, const TiffVariant& variant, int width, int height,
               const TiffExtras& extras)
{
    const char* order = variant.bigEndian ? "b" : "l";
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFOpen(QFile::encodeName(path).constData(), (QByteArray(mode) + order).constData()));
    if (!tiff) {
        return false;
    }
    if (extras.exifDirectory) {
        const std::uint64_t exif = writeExifDirectory(tiff.get());
        if (exif == 0) {
            return false;
        }
        TIFFSetField(tiff.get(), TIFFTAG_EXIFIFD, exif);
    }
    setLayoutTags(tiff.get(), variant, width, height);
    setExtraTags(tiff.get(), extras);
    const bool written = variant.tiled ? writeTiles(tiff.get(), variant, width, height)
                                       : writeStrips(tiff.get(), variant, width, height);
    return written && TIFFWriteDirectory(tiff.get()) != 0;
}

} // namespace

bool writeTiffVariant(const QString& path, const TiffVariant& variant, int width, int height, const TiffExtras& extras)
{
    return writePage(path, "w", variant, width, height, extras);
}

bool appendTiffVariant(const QString& path, const TiffVariant& variant, int width, int height)
{
    return writePage(path, "a", variant, width, height, {});
}

std::vector<std::uint16_t> paletteOf(int bits)
{
    const int entries = 1 << bits;
    std::vector<std::uint16_t> map(static_cast<std::size_t>(entries) * 3);
    for (int i = 0; i < entries; ++i) {
        // Spread over the scale whatever the depth, and unlike in each channel.
        const int spread = i * 255 / std::max(1, entries - 1);
        const auto level = [](int value) { return static_cast<std::uint16_t>((value % 256) * 257); };
        map[static_cast<std::size_t>(i)] = level(spread);
        map[static_cast<std::size_t>(entries + i)] = level(255 - spread);
        map[static_cast<std::size_t>(2 * entries + i)] = level(spread * 7 + 40);
    }
    return map;
}

QByteArray adobeRgbProfile()
{
    return QColorSpace(QColorSpace::AdobeRgb).iccProfile();
}

} // namespace fixtures

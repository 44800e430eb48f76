#include "engine/formats/save_flags.h"

#include "app/settings_table.h"

#include <FreeImage.h>

#include <array>

namespace {

// Looks a choice up in its row of the flag table; a value outside the row adds nothing.
template <std::size_t N> int flagOf(const std::array<int, N>& row, int value)
{
    return value >= 0 && static_cast<std::size_t>(value) < N ? row[static_cast<std::size_t>(value)] : 0;
}

} // namespace

int bmpSaveFlags(const OutputSettings& output)
{
    return flagOf(std::array<int, 2>{0, BMP_SAVE_RLE}, output.bmpCompression);
}

int exrSaveFlags(const OutputSettings& output)
{
    return flagOf(std::array<int, 5>{EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44}, output.exrCompression);
}

int jpegSaveFlags(const OutputSettings& output)
{
    static constexpr std::array<int, 4> chroma{JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_420,
                                               JPEG_SUBSAMPLING_411};
    static constexpr std::array<int, 4> saveAs{0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE};
    // A quality outside its declared range adds nothing, so the library's default quality applies.
    static const SettingRange& qualities = findSetting(QStringLiteral("Output"), QStringLiteral("JPG Quality"))->valid;
    const int quality =
        output.jpgQuality >= qualities.minimum && output.jpgQuality <= qualities.maximum ? output.jpgQuality : 0;
    return quality | flagOf(chroma, output.jpgChroma) | flagOf(saveAs, output.jpgSaveAs);
}

int jxrSaveFlags(const OutputSettings& /*output*/)
{
    return JXR_LOSSLESS;
}

int pngSaveFlags(const OutputSettings& output)
{
    static constexpr std::array<int, 4> compression{PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED, PNG_Z_DEFAULT_COMPRESSION,
                                                    PNG_Z_BEST_COMPRESSION};
    return flagOf(compression, output.pngCompression) | (output.pngInterlaced != 0 ? PNG_INTERLACED : 0);
}

int tgaSaveFlags(const OutputSettings& output)
{
    return flagOf(std::array<int, 2>{0, TARGA_SAVE_RLE}, output.tgaCompression);
}

int tiffSaveFlags(const OutputSettings& output)
{
    static constexpr std::array<int, 9> compression{TIFF_NONE,     TIFF_CCITTFAX3, TIFF_CCITTFAX4,
                                                    TIFF_PACKBITS, TIFF_DEFLATE,   TIFF_ADOBE_DEFLATE,
                                                    TIFF_LZW,      TIFF_JPEG,      TIFF_LOGLUV};
    // Colour model 2 (LAB, command line only) is written like RGB.
    return flagOf(compression, output.tiffCompression) | (output.tiffColorModel == 1 ? TIFF_CMYK : 0);
}

int webpSaveFlags(const OutputSettings& /*output*/)
{
    return WEBP_LOSSLESS;
}

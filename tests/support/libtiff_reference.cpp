#include "support/libtiff_reference.h"

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace fixtures {
namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

int premultiplied(int colour, int alpha)
{
    return (colour * alpha + 127) / 255;
}

std::string text(const RgbaLevels& c)
{
    return "(" + std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue) + "," +
           std::to_string(c.alpha) + ")";
}

} // namespace

std::vector<RgbaLevels> libtiffRgba(const QString& path, int width, int height)
{
    // Its complaints about layouts it does not take are expected.
    const TIFFErrorHandler previous = TIFFSetErrorHandler(nullptr);
    const std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(path).constData(), "r"));
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const bool read = tiff && TIFFReadRGBAImageOriented(tiff.get(), static_cast<std::uint32_t>(width),
                                                        static_cast<std::uint32_t>(height), raster.data(),
                                                        ORIENTATION_TOPLEFT, 1) != 0;
    TIFFSetErrorHandler(previous);
    std::vector<RgbaLevels> pixels;
    if (!read) {
        return pixels;
    }
    for (const std::uint32_t packed : raster) {
        pixels.push_back({static_cast<int>(TIFFGetR(packed)), static_cast<int>(TIFFGetG(packed)),
                          static_cast<int>(TIFFGetB(packed)), static_cast<int>(TIFFGetA(packed))});
    }
    return pixels;
}

std::vector<RgbaLevels> scaledSamples(const TiffVariant& variant, int width, int height)
{
    const double maxValue = variant.bitsPerSample == 32 ? 4294967295.0 : (1U << variant.bitsPerSample) - 1.0;
    const auto level = [&](int x, int y, int channel) {
        return static_cast<int>(sampleValue(variant, x, y, channel) * 255.0 / maxValue + 0.5);
    };
    std::vector<RgbaLevels> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            RgbaLevels colour;
            if (variant.colourSamples == 1) {
                const int grey = level(x, y, 0);
                const int light = variant.photometric == PHOTOMETRIC_MINISWHITE ? 255 - grey : grey;
                colour = {light, light, light, 255};
            } else {
                colour = {level(x, y, 0), level(x, y, 1), level(x, y, 2), 255};
            }
            if (variant.colourSamples == 4) {
                const int white = 255 - level(x, y, 3);
                colour = {white * (255 - colour.red) / 255, white * (255 - colour.green) / 255,
                          white * (255 - colour.blue) / 255, 255};
            }
            if (variant.alpha) {
                colour.alpha = level(x, y, variant.colourSamples);
                colour = {premultiplied(colour.red, colour.alpha), premultiplied(colour.green, colour.alpha),
                          premultiplied(colour.blue, colour.alpha), colour.alpha};
            }
            pixels.push_back(colour);
        }
    }
    return pixels;
}

std::vector<RgbaLevels> premultipliedPixels(const Bitmap& image)
{
    std::vector<RgbaLevels> pixels;
    const unsigned height = image.height();
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < image.width(); ++x) {
            RGBQUAD colour{};
            if (image.bpp() <= 8) {
                BYTE index = 0;
                FreeImage_GetPixelIndex(image.get(), x, height - 1 - y, &index);
                colour = FreeImage_GetPalette(image.get())[index];
                colour.rgbReserved = 255;
            } else {
                FreeImage_GetPixelColor(image.get(), x, height - 1 - y, &colour);
                if (image.bpp() != 32) {
                    colour.rgbReserved = 255;
                }
            }
            const int alpha = colour.rgbReserved;
            pixels.push_back({premultiplied(colour.rgbRed, alpha), premultiplied(colour.rgbGreen, alpha),
                              premultiplied(colour.rgbBlue, alpha), alpha});
        }
    }
    return pixels;
}

std::string firstDifference(const std::vector<RgbaLevels>& got, const std::vector<RgbaLevels>& want, int tolerance,
                            int width)
{
    if (got.size() != want.size()) {
        return "size " + std::to_string(got.size()) + " instead of " + std::to_string(want.size());
    }
    for (std::size_t i = 0; i < got.size(); ++i) {
        const RgbaLevels& a = got[i];
        const RgbaLevels& b = want[i];
        const int worst = std::max({std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue),
                                    std::abs(a.alpha - b.alpha)});
        if (worst > tolerance) {
            const auto column = static_cast<int>(i % static_cast<std::size_t>(width));
            const auto row = static_cast<int>(i / static_cast<std::size_t>(width));
            return "pixel (" + std::to_string(column) + "," + std::to_string(row) + ") is " + text(a) +
                   ", expected " + text(b);
        }
    }
    return {};
}

} // namespace fixtures

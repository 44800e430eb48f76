#include "engine/decode/tiff_raster.h"

#include "engine/decode/cmyk_profile.h"
#include "engine/decode/tiff_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::uint16_t maxSamples = 8;

// How the samples of a page are laid out and what they mean.
struct SampleLayout {
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t bits = 8;
    std::uint16_t samples = 1;       // samples per pixel, alpha and other extras included
    std::uint16_t colourSamples = 1; // 1 grey, 3 RGB, 4 CMYK
    int alphaIndex = -1;             // the sample that holds alpha, -1 without
    bool associatedAlpha = false;    // colours premultiplied by alpha
    bool separate = false;           // one plane per sample
    std::uint32_t maxValue = 255;
    // Palette pages: the colour map at 8 bits per channel, red, green and blue of each index.
    std::vector<std::array<std::uint8_t, 3>> colourMap;

    int planes() const { return separate ? samples : 1; }
    // Bytes of `pixels` pixels of one row in one buffer (each row starts on a byte boundary).
    std::uint64_t rowBytes(std::uint64_t pixels) const { return (pixels * (separate ? 1U : samples) * bits + 7) / 8; }
};

int colourSamplesOf(TIFF* tiff, std::uint16_t photometric)
{
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_PALETTE:
        return 1;
    case PHOTOMETRIC_RGB:
        return 3;
    case PHOTOMETRIC_SEPARATED: {
        std::uint16_t inkSet = INKSET_CMYK;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
        return inkSet == INKSET_CMYK ? 4 : 0;
    }
    default:
        return 0;
    }
}

// Maps whose entries all fit 8 bits were written by programs that put 8-bit values in; the others
// are scaled down, as libtiff's RGBA reading does.
bool readColourMap(TIFF* tiff, SampleLayout& layout)
{
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (layout.bits > 8 || TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) == 0 || red == nullptr) {
        return false;
    }
    const std::size_t count = std::size_t{1} << layout.bits;
    bool sixteenBits = false;
    for (std::size_t i = 0; i < count; ++i) {
        sixteenBits = sixteenBits || red[i] > 255 || green[i] > 255 || blue[i] > 255;
    }
    const auto level = [sixteenBits](std::uint16_t value) {
        return static_cast<std::uint8_t>(sixteenBits ? value >> 8 : value);
    };
    layout.colourMap.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        layout.colourMap[i] = {level(red[i]), level(green[i]), level(blue[i])};
    }
    return true;
}

bool readLayout(TIFF* tiff, SampleLayout& layout)
{
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric) == 0) {
        return false;
    }
    const int colourSamples = colourSamplesOf(tiff, layout.photometric);
    // Old-style JPEG and JPEG with YCbCr need libtiff's colour conversion, not raw samples.
    if (colourSamples == 0 || sampleFormat != SAMPLEFORMAT_UINT || compression == COMPRESSION_OJPEG ||
        layout.samples < colourSamples || layout.samples > maxSamples) {
        return false;
    }
    if (layout.bits == 0 || (layout.bits > 16 && layout.bits != 32)) {
        return false;
    }
    if (layout.photometric == PHOTOMETRIC_PALETTE && !readColourMap(tiff, layout)) {
        return false;
    }
    layout.colourSamples = static_cast<std::uint16_t>(colourSamples);
    layout.separate = planar == PLANARCONFIG_SEPARATE && layout.samples > 1;
    layout.maxValue = layout.bits == 32 ? 0xFFFFFFFFU : (1U << layout.bits) - 1U;
    std::uint16_t extraCount = 0;
    std::uint16_t* extras = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) != 0 && extraCount > 0 &&
        layout.samples > colourSamples &&
        (extras[0] == EXTRASAMPLE_ASSOCALPHA || extras[0] == EXTRASAMPLE_UNASSALPHA)) {
        layout.alphaIndex = colourSamples;
        layout.associatedAlpha = extras[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return true;
}

// Sample `index` of a row: whole 8, 16 or 32-bit words as libtiff hands them over (in machine
// order), every other depth packed most significant bit first.
std::uint32_t readSample(const std::uint8_t* row, std::uint64_t index, std::uint16_t bits)
{
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        std::uint16_t word = 0;
        std::memcpy(&word, row + index * 2, sizeof word);
        return word;
    }
    case 32: {
        std::uint32_t word = 0;
        std::memcpy(&word, row + index * 4, sizeof word);
        return word;
    }
    default:
        break;
    }
    const std::uint64_t firstBit = index * bits;
    const std::uint8_t* byte = row + firstBit / 8;
    const auto skip = static_cast<unsigned>(firstBit % 8);
    const unsigned byteCount = (skip + bits + 7) / 8; // at most 3 for 16 bits
    std::uint32_t gathered = 0;
    for (unsigned i = 0; i < byteCount; ++i) {
        gathered = (gathered << 8) | byte[i];
    }
    return (gathered >> (byteCount * 8 - skip - bits)) & ((1U << bits) - 1U);
}

std::uint8_t toLevel(std::uint32_t value, std::uint32_t maxValue)
{
    return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + maxValue / 2) / maxValue);
}

using Levels = std::array<std::uint8_t, maxSamples>;

Levels levelsOf(const SampleLayout& layout, const std::array<std::uint32_t, maxSamples>& samples)
{
    Levels level{};
    for (std::size_t i = 0; i < layout.samples; ++i) {
        level[i] = toLevel(samples[i], layout.maxValue);
    }
    if (!layout.colourMap.empty()) {
        // The index, not its level: the colour map says the colour.
        level[0] = static_cast<std::uint8_t>(samples[0]);
    }
    return level;
}

// The colour from the levels of one pixel; `rgb`, when given, is the colour part already
// converted (CMYK through the page's profile).
Rgba8 colourOf(const SampleLayout& layout, const Levels& level, const std::uint8_t* rgb = nullptr)
{
    Rgba8 colour;
    if (rgb != nullptr) {
        colour = {rgb[0], rgb[1], rgb[2], 255};
    } else if (!layout.colourMap.empty()) {
        const std::array<std::uint8_t, 3>& entry = layout.colourMap[level[0]];
        colour = {entry[0], entry[1], entry[2], 255};
    } else if (layout.colourSamples == 1) {
        const std::uint8_t grey = layout.photometric == PHOTOMETRIC_MINISWHITE ? 255 - level[0] : level[0];
        colour = {grey, grey, grey, 255};
    } else if (layout.colourSamples == 3) {
        colour = {level[0], level[1], level[2], 255};
    } else {
        // Ink to light, the way libtiff's RGBA interface does it: the black ink darkens every channel.
        const unsigned white = 255U - level[3];
        const auto channel = [white](std::uint8_t ink) {
            return static_cast<std::uint8_t>(white * (255U - ink) / 255U);
        };
        colour = {channel(level[0]), channel(level[1]), channel(level[2]), 255};
    }
    if (layout.alphaIndex >= 0) {
        colour.alpha = level[static_cast<std::size_t>(layout.alphaIndex)];
        if (layout.associatedAlpha) {
            colour.red = unpremultiply(colour.red, colour.alpha);
            colour.green = unpremultiply(colour.green, colour.alpha);
            colour.blue = unpremultiply(colour.blue, colour.alpha);
        }
    }
    return colour;
}

// One strip, or one tile, of every plane, placed at (x0, y0) of the page.
struct SampleBlock {
    std::array<const std::uint8_t*, maxSamples> planes{};
    std::uint64_t rowBytes = 0;
    std::uint32_t x0 = 0, y0 = 0, width = 0, rows = 0;
};

std::uint32_t sampleAt(const SampleLayout& layout, const SampleBlock& block, std::uint64_t rowStart,
                       std::uint32_t column, std::uint16_t sample)
{
    return layout.separate
               ? readSample(block.planes[sample] + rowStart, column, layout.bits)
               : readSample(block.planes[0] + rowStart, std::uint64_t{column} * layout.samples + sample, layout.bits);
}

// Grey and RGB pages of 16 bits per sample keep their samples; CMYK goes to 8 bits on its way
// through the profile.
bool keepsSixteenBits(const SampleLayout& layout)
{
    return layout.bits == 16 && layout.colourSamples != 4 && layout.colourMap.empty();
}

Rgba16 colour16Of(const SampleLayout& layout, const std::array<std::uint32_t, maxSamples>& samples)
{
    const auto word = [](std::uint32_t value) { return static_cast<std::uint16_t>(value); };
    Rgba16 colour;
    if (layout.colourSamples == 1) {
        const std::uint16_t grey =
            word(layout.photometric == PHOTOMETRIC_MINISWHITE ? 0xFFFFU - samples[0] : samples[0]);
        colour = {grey, grey, grey, 0xFFFF};
    } else {
        colour = {word(samples[0]), word(samples[1]), word(samples[2]), 0xFFFF};
    }
    if (layout.alphaIndex >= 0) {
        colour.alpha = word(samples[static_cast<std::size_t>(layout.alphaIndex)]);
        if (layout.associatedAlpha) {
            colour.red = unpremultiply16(colour.red, colour.alpha);
            colour.green = unpremultiply16(colour.green, colour.alpha);
            colour.blue = unpremultiply16(colour.blue, colour.alpha);
        }
    }
    return colour;
}

void paintBlock16(const SampleLayout& layout, const SampleBlock& block, PageCanvas& canvas, std::uint32_t rows,
                  std::uint32_t columns)
{
    std::array<std::uint32_t, maxSamples> samples{};
    for (std::uint32_t row = 0; row < rows; ++row) {
        const std::uint64_t rowStart = row * block.rowBytes;
        for (std::uint32_t column = 0; column < columns; ++column) {
            for (std::uint16_t s = 0; s < layout.samples; ++s) {
                samples[s] = sampleAt(layout, block, rowStart, column, s);
            }
            canvas.put16(block.x0 + column, block.y0 + row, colour16Of(layout, samples));
        }
    }
}

// Paints the block's pixels; CMYK goes through `profile` a row at a time when it is valid.
void paintBlock(const SampleLayout& layout, const SampleBlock& block, PageCanvas& canvas, std::uint32_t pageWidth,
                std::uint32_t pageHeight, const CmykProfileTransform* profile)
{
    std::array<std::uint32_t, maxSamples> samples{};
    const std::uint32_t rows = std::min(block.rows, pageHeight - block.y0);
    const std::uint32_t columns = std::min(block.width, pageWidth - block.x0);
    if (keepsSixteenBits(layout)) {
        paintBlock16(layout, block, canvas, rows, columns);
        return;
    }
    const bool throughProfile = profile != nullptr && profile->valid() && layout.colourSamples == 4;
    std::vector<Levels> levels(columns);
    std::vector<std::uint8_t> inks(throughProfile ? columns * 4U : 0U);
    std::vector<std::uint8_t> rgb(throughProfile ? columns * 3U : 0U);
    for (std::uint32_t row = 0; row < rows; ++row) {
        const std::uint64_t rowStart = row * block.rowBytes;
        for (std::uint32_t column = 0; column < columns; ++column) {
            for (std::uint16_t s = 0; s < layout.samples; ++s) {
                samples[s] = sampleAt(layout, block, rowStart, column, s);
            }
            levels[column] = levelsOf(layout, samples);
            if (throughProfile) {
                std::copy_n(levels[column].begin(), 4, inks.begin() + column * 4);
            }
        }
        if (throughProfile) {
            profile->toRgb(inks.data(), rgb.data(), columns);
        }
        for (std::uint32_t column = 0; column < columns; ++column) {
            const std::uint8_t* converted = throughProfile ? rgb.data() + column * 3U : nullptr;
            canvas.put(block.x0 + column, block.y0 + row, colourOf(layout, levels[column], converted));
        }
    }
}

PagePixels pixelsFor(const SampleLayout& layout)
{
    if (keepsSixteenBits(layout)) {
        // Grey with alpha becomes RGBA, as FreeImage has no grey-with-alpha type.
        return layout.alphaIndex >= 0      ? PagePixels::Rgba16
               : layout.colourSamples == 1 ? PagePixels::Grey16
                                           : PagePixels::Rgb16;
    }
    if (layout.alphaIndex >= 0) {
        return PagePixels::Rgba;
    }
    return layout.colourSamples == 1 && layout.colourMap.empty() ? PagePixels::Grey : PagePixels::Rgb;
}

// Every plane's buffer for blocks of `bytes` bytes; false when memory is short.
bool allocatePlanes(std::array<ByteBuffer, maxSamples>& buffers, int planes, std::uint64_t bytes)
{
    for (int p = 0; p < planes; ++p) {
        buffers[static_cast<std::size_t>(p)] = allocateBuffer(bytes);
        if (!buffers[static_cast<std::size_t>(p)]) {
            return false;
        }
    }
    return true;
}

bool unpackStrips(TIFF* tiff, const SampleLayout& layout, PageCanvas& canvas, std::uint32_t width, std::uint32_t height,
                  const CmykProfileTransform* profile)
{
    std::uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, height);
    const std::uint32_t stripsPerPlane = (height - 1) / rowsPerStrip + 1;
    if (TIFFNumberOfStrips(tiff) < std::uint64_t{stripsPerPlane} * static_cast<std::uint64_t>(layout.planes())) {
        return false;
    }
    SampleBlock block;
    block.rowBytes = layout.rowBytes(width);
    block.width = width;
    const std::uint64_t stripBytes = block.rowBytes * rowsPerStrip;
    std::array<ByteBuffer, maxSamples> buffers;
    if (!allocatePlanes(buffers, layout.planes(), stripBytes)) {
        return false;
    }
    for (std::uint32_t strip = 0; strip < stripsPerPlane; ++strip) {
        block.y0 = strip * rowsPerStrip;
        block.rows = std::min(rowsPerStrip, height - block.y0);
        for (int p = 0; p < layout.planes(); ++p) {
            const auto index = static_cast<std::uint32_t>(static_cast<std::uint64_t>(p) * stripsPerPlane + strip);
            std::uint8_t* buffer = buffers[static_cast<std::size_t>(p)].get();
            if (!readStrile(tiff, index, buffer, stripBytes, block.rowBytes * block.rows)) {
                return false;
            }
            block.planes[static_cast<std::size_t>(p)] = buffer;
        }
        paintBlock(layout, block, canvas, width, height, profile);
    }
    return true;
}

bool unpackTiles(TIFF* tiff, const SampleLayout& layout, PageCanvas& canvas, std::uint32_t width, std::uint32_t height,
                 const CmykProfileTransform* profile)
{
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    // A tile may overhang the page, but not by more than a page: a forged size is refused here.
    if (tileWidth == 0 || tileHeight == 0 || tileWidth > width + 65536U || tileHeight > height + 65536U) {
        return false;
    }
    SampleBlock block;
    block.rowBytes = layout.rowBytes(tileWidth);
    block.width = tileWidth;
    block.rows = tileHeight;
    const std::uint64_t tileBytes = block.rowBytes * tileHeight;
    std::array<ByteBuffer, maxSamples> buffers;
    if (!allocatePlanes(buffers, layout.planes(), tileBytes)) {
        return false;
    }
    for (block.y0 = 0; block.y0 < height; block.y0 += tileHeight) {
        for (block.x0 = 0; block.x0 < width; block.x0 += tileWidth) {
            for (int p = 0; p < layout.planes(); ++p) {
                const std::uint32_t tile = TIFFComputeTile(tiff, block.x0, block.y0, 0, static_cast<std::uint16_t>(p));
                std::uint8_t* buffer = buffers[static_cast<std::size_t>(p)].get();
                if (!readStrile(tiff, tile, buffer, tileBytes, tileBytes)) {
                    return false;
                }
                block.planes[static_cast<std::size_t>(p)] = buffer;
            }
            paintBlock(layout, block, canvas, width, height, profile);
        }
    }
    return true;
}

} // namespace

bool canUnpackSamples(TIFF* tiff)
{
    SampleLayout layout;
    return readLayout(tiff, layout);
}

Bitmap unpackSamples(TIFF* tiff, std::uint32_t width, std::uint32_t height, bool throughProfile)
{
    SampleLayout layout;
    if (!readLayout(tiff, layout)) {
        return {};
    }
    PageCanvas canvas(width, height, pixelsFor(layout));
    if (!canvas.valid()) {
        return {};
    }
    const std::unique_ptr<CmykProfileTransform> profile =
        layout.colourSamples == 4 && throughProfile ? std::make_unique<CmykProfileTransform>(tiff) : nullptr;
    const bool unpacked = TIFFIsTiled(tiff) != 0 ? unpackTiles(tiff, layout, canvas, width, height, profile.get())
                                                 : unpackStrips(tiff, layout, canvas, width, height, profile.get());
    return unpacked ? canvas.take() : Bitmap{};
}

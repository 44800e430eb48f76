#include "engine/write/png_row_writer.h"

#include "engine/write/row_writer_support.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// How a page's rows become PNG rows: the colour type and depth FreeImage's writer picks from
// the page's type, depth, palette, transparency and (at 32 bits) alpha.
struct PngLayout {
    int colourType = PNG_COLOR_TYPE_GRAY;
    int bitDepth = 8;
    bool invertMono = false; // 0 is white in the page: the file has 0 black
    bool bgr = false;        // 8-bit colour channels stored blue first
    bool dropAlpha = false;  // an opaque 32-bit page written as RGB
    bool transparent = false;
};

bool isCmyk(const PageHeader& page)
{
    return (FreeImage_GetICCProfile(page.get())->flags & FIICC_COLOR_IS_CMYK) == FIICC_COLOR_IS_CMYK;
}

std::optional<PngLayout> bitmapLayout(const PageHeader& page, PageAlpha alpha)
{
    PngLayout layout;
    const unsigned bpp = page.bpp();
    if (bpp == 24 || bpp == 32) {
        if (bpp == 32 && (isCmyk(page) || alpha == PageAlpha::Unknown)) {
            return std::nullopt;
        }
        layout.dropAlpha = bpp == 32 && alpha == PageAlpha::Opaque;
        layout.colourType = bpp == 24 || layout.dropAlpha ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
        layout.bgr = true;
        return layout;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8) {
        return std::nullopt;
    }
    layout.bitDepth = static_cast<int>(bpp);
    layout.transparent = FreeImage_IsTransparent(page.get()) && FreeImage_GetTransparencyCount(page.get()) > 0;
    const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(page.get());
    // A grey page with transparency keeps its palette, where the transparency table belongs.
    if ((colour == FIC_MINISBLACK || colour == FIC_MINISWHITE) && !layout.transparent) {
        layout.colourType = PNG_COLOR_TYPE_GRAY;
        layout.invertMono = colour == FIC_MINISWHITE;
    } else {
        layout.colourType = PNG_COLOR_TYPE_PALETTE;
    }
    return layout;
}

std::optional<PngLayout> layoutOf(const PageHeader& page, PageAlpha alpha)
{
    if (!page) {
        return std::nullopt;
    }
    PngLayout layout;
    layout.bitDepth = 16;
    switch (FreeImage_GetImageType(page.get())) {
    case FIT_BITMAP:
        return bitmapLayout(page, alpha);
    case FIT_UINT16:
        layout.colourType = PNG_COLOR_TYPE_GRAY;
        layout.invertMono = FreeImage_GetColorType(page.get()) == FIC_MINISWHITE;
        return layout;
    case FIT_RGB16:
        layout.colourType = PNG_COLOR_TYPE_RGB;
        return layout;
    case FIT_RGBA16:
        if (isCmyk(page)) {
            return std::nullopt;
        }
        layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        return layout;
    default:
        return std::nullopt;
    }
}

std::size_t pngRowBytes(const PngLayout& layout, unsigned width)
{
    const std::size_t channels = layout.colourType == PNG_COLOR_TYPE_RGB         ? 3
                                 : layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                                 : 1;
    return (channels * static_cast<std::size_t>(layout.bitDepth) * width + 7) / 8;
}

// A palette page's colours, as many as its depth can index.
std::vector<png_color> paletteOf(const PageHeader& page, const PngLayout& layout)
{
    std::vector<png_color> palette;
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
        const RGBQUAD* entries = FreeImage_GetPalette(page.get());
        palette.resize(std::size_t{1} << layout.bitDepth);
        std::transform(entries, entries + palette.size(), palette.begin(), [](const RGBQUAD& entry) {
            return png_color{entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
        });
    }
    return palette;
}

// The comments, each under its own keyword, then the XMP packet: uncompressed iTXt chunks. They
// point into the page's tags.
std::vector<png_text> textsOf(const PageHeader& page)
{
    std::vector<png_text> texts;
    const auto add = [&texts](const char* key, FITAG* tag) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(key);
        text.text = static_cast<png_charp>(const_cast<void*>(FreeImage_GetTagValue(tag)));
        text.text_length = FreeImage_GetTagLength(tag);
        text.itxt_length = FreeImage_GetTagLength(tag);
        texts.push_back(text);
    };
    forEachTag(page, FIMD_COMMENTS, [&add](FITAG* tag) { add(FreeImage_GetTagKey(tag), tag); });
    if (FITAG* xmp = findTag(page, FIMD_XMP, xmpPacketKey); xmp != nullptr && FreeImage_GetTagLength(xmp) > 0) {
        add("XML:com.adobe.xmp", xmp);
    }
    return texts;
}

class PngRowWriter final : public RowWriter {
  public:
    PngRowWriter(const PageHeader& page, const PngLayout& layout, PageAlpha alpha, std::FILE* file);
    ~PngRowWriter() override { png_destroy_write_struct(&png_, &info_); }

    // Sets libpng up as FreeImage's writer does and writes every chunk before the pixels.
    bool start(int flags, const PageHeader& page);
    bool writeBand(const Bitmap& band) override;
    bool finish() override;

  private:
    // A writer whose libpng structure could not be made has no jump buffer to return to.
    template <typename Call> bool guarded(Call&& call)
    {
        return !failed_ && callGuarded(png_jmpbuf(png_), failed_, call);
    }

    void describe(int flags, const PageHeader& page, const std::vector<png_color>& palette,
                  const std::vector<png_text>& texts);
    bool alphaAsTold(const Bitmap& band);
    void writeRows(const Bitmap& band);

    static void onError(png_structp png, png_const_charp message);
    static void onWarning(png_structp, png_const_charp) {}
    static void onWrite(png_structp png, png_bytep data, png_size_t size);
    static void onFlush(png_structp) {}

    PngLayout layout_;
    PageAlpha alpha_;
    std::FILE* file_;
    unsigned width_;
    BandRows rows_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    bool failed_ = false;
    bool translucentSeen_ = false;
    std::vector<png_byte> converted_; // one 32-bit row without its alpha
};

PngRowWriter::PngRowWriter(const PageHeader& page, const PngLayout& layout, PageAlpha alpha, std::FILE* file)
    : layout_(layout), alpha_(alpha), file_(file), width_(page.width()), rows_(page)
{
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
    info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    failed_ = info_ == nullptr;
    if (layout_.dropAlpha) {
        converted_.resize(std::size_t{width_} * 3);
    }
}

void PngRowWriter::onError(png_structp png, png_const_charp message)
{
    // Where the in-memory save reports libpng's messages: the run's library message sink.
    FreeImage_OutputMessageProc(FIF_PNG, "%s", message);
    png_longjmp(png, 1);
}

void PngRowWriter::onWrite(png_structp png, png_bytep data, png_size_t size)
{
    // FreeImage's own writer lets a failed write pass unseen, and with it a truncated file.
    const auto* writer = static_cast<const PngRowWriter*>(png_get_io_ptr(png));
    if (!writeAll(writer->file_, data, size)) {
        png_error(png, "Write error");
    }
}

bool PngRowWriter::start(int flags, const PageHeader& page)
{
    // libpng copies both when they are set, so neither needs to outlive this call.
    const std::vector<png_color> palette = paletteOf(page, layout_);
    const std::vector<png_text> texts = textsOf(page);
    return guarded([&] {
        png_set_write_fn(png_, this, onWrite, onFlush);
        describe(flags, page, palette, texts);
        png_write_info(png_, info_);
        if (layout_.bitDepth == 16) {
            // FreeImage keeps 16-bit samples in the machine's order; PNG stores them big-endian.
            png_set_swap(png_);
        }
    });
}

// The chunks before the pixels, set in the order FreeImage's writer sets them.
void PngRowWriter::describe(int flags, const PageHeader& page, const std::vector<png_color>& palette,
                            const std::vector<png_text>& texts)
{
    const png_uint_32 resolutionX = FreeImage_GetDotsPerMeterX(page.get());
    const png_uint_32 resolutionY = FreeImage_GetDotsPerMeterY(page.get());
    if (resolutionX > 0 && resolutionY > 0) {
        png_set_pHYs(png_, info_, resolutionX, resolutionY, PNG_RESOLUTION_METER);
    }
    // The level in the low four bits, else no compression if asked, else libpng's default (6).
    const int level = flags & 0x0F;
    if (level >= 1 && level <= 9) {
        png_set_compression_level(png_, level);
    } else if ((flags & PNG_Z_NO_COMPRESSION) == PNG_Z_NO_COMPRESSION) {
        png_set_compression_level(png_, Z_NO_COMPRESSION);
    }
    // The filter choice follows the page's depth in memory, even for an opaque 32-bit page
    // written as 24-bit RGB.
    if (page.bpp() >= 16) {
        png_set_compression_strategy(png_, Z_FILTERED);
        png_set_filter(png_, 0, PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_PAETH);
    } else {
        png_set_compression_strategy(png_, Z_DEFAULT_STRATEGY);
    }
    if (layout_.invertMono) {
        png_set_invert_mono(png_);
    }
    png_set_IHDR(png_, info_, page.width(), page.height(), layout_.bitDepth, layout_.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!palette.empty()) {
        png_set_PLTE(png_, info_, palette.data(), static_cast<int>(palette.size()));
    }
    if (layout_.bgr) {
        png_set_bgr(png_);
    }
    if (const TagBytes profile = iccProfileBytes(page); !profile.empty()) {
        // The profile goes in as it is, as FreeImage writes it, whatever libpng thinks of it.
        png_set_option(png_, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
        png_set_iCCP(png_, info_, "Embedded Profile", 0, profile.data(), static_cast<png_uint_32>(profile.size()));
    }
    for (const png_text& text : texts) {
        png_set_text(png_, info_, &text, 1);
    }
    if (const TagBytes dateTime = tagBytes(findTag(page, FIMD_EXIF_MAIN, "DateTime")); !dateTime.empty()) {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        if (std::sscanf(reinterpret_cast<const char*>(dateTime.data()), "%4d:%02d:%02d %2d:%02d:%02d", &year, &month,
                        &day, &hour, &minute, &second) == 6) {
            png_time stamp{static_cast<png_uint_16>(year), static_cast<png_byte>(month),
                           static_cast<png_byte>(day),     static_cast<png_byte>(hour),
                           static_cast<png_byte>(minute),  static_cast<png_byte>(second)};
            png_set_tIME(png_, info_, &stamp);
        }
    }
    if (layout_.transparent) {
        png_set_tRNS(png_, info_, FreeImage_GetTransparencyTable(page.get()),
                     FreeImage_GetTransparencyCount(page.get()), nullptr);
    }
    if (RGBQUAD background{}; FreeImage_GetBackgroundColor(page.get(), &background)) {
        png_color_16 colour{};
        colour.index = background.rgbReserved;
        colour.red = background.rgbRed;
        colour.green = background.rgbGreen;
        colour.blue = background.rgbBlue;
        png_set_bKGD(png_, info_, &colour);
    }
}

// Whether the band's alpha agrees with what the writer was told of the page.
bool PngRowWriter::alphaAsTold(const Bitmap& band)
{
    if (alpha_ == PageAlpha::Unknown || translucentSeen_) {
        return true;
    }
    for (unsigned index = 0; index < band.height() && !translucentSeen_; ++index) {
        const auto* pixels = reinterpret_cast<const RGBQUAD*>(BandRows::row(band, index));
        translucentSeen_ =
            std::any_of(pixels, pixels + width_, [](const RGBQUAD& pixel) { return pixel.rgbReserved != 0xFF; });
    }
    return !(translucentSeen_ && alpha_ == PageAlpha::Opaque);
}

void PngRowWriter::writeRows(const Bitmap& band)
{
    for (unsigned index = 0; index < band.height(); ++index) {
        png_bytep row = BandRows::row(band, index);
        if (layout_.dropAlpha) {
            FreeImage_ConvertLine32To24(converted_.data(), row, static_cast<int>(width_));
            row = converted_.data();
        }
        png_write_row(png_, row);
    }
}

bool PngRowWriter::writeBand(const Bitmap& band)
{
    if (failed_ || !rows_.take(band) || !alphaAsTold(band)) {
        failed_ = true;
        return false;
    }
    return guarded([this, &band] { writeRows(band); });
}

bool PngRowWriter::finish()
{
    // A page said to be translucent that never was would have been written as RGB in memory.
    if (failed_ || !rows_.complete() || (alpha_ == PageAlpha::Translucent && !translucentSeen_)) {
        failed_ = true;
        return false;
    }
    return guarded([this] { png_write_end(png_, info_); }) && flushedCleanly(file_);
}

} // namespace

bool pngRowWriterTakes(int flags, const PageHeader& page, PageAlpha alpha)
{
    return (flags & PNG_INTERLACED) != PNG_INTERLACED && layoutOf(page, alpha).has_value();
}

std::size_t pngRowWriterBytes(int flags, const PageHeader& page)
{
    // The estimate does not depend on what the alpha turns out to be: take the wider row.
    const std::optional<PngLayout> layout = layoutOf(page, PageAlpha::Translucent);
    if ((flags & PNG_INTERLACED) == PNG_INTERLACED || !layout) {
        return 0;
    }
    // libpng keeps the row being filtered, the row above it and a trial row per filter; zlib's
    // deflate state at the default window and memory level is about 256 KiB.
    constexpr std::size_t filterRows = 6;
    constexpr std::size_t deflateState = std::size_t{1} << 18;
    constexpr std::size_t compressedBuffer = std::size_t{1} << 13;
    return filterRows * (pngRowBytes(*layout, page.width()) + 1) + deflateState + compressedBuffer;
}

std::unique_ptr<RowWriter> openPngRowWriter(int flags, const PageHeader& page, std::FILE* file, PageAlpha alpha)
{
    const std::optional<PngLayout> layout = layoutOf(page, alpha);
    if (file == nullptr || (flags & PNG_INTERLACED) == PNG_INTERLACED || !layout) {
        return nullptr;
    }
    auto writer = std::make_unique<PngRowWriter>(page, *layout, alpha, file);
    if (!writer->start(flags, page)) {
        return nullptr;
    }
    return writer;
}

#include "engine/write/png_row_writer.h"

#include "engine/write/png_idat_encoder.h"
#include "engine/write/row_writer_support.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
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

std::size_t pixelBytesOf(const PngLayout& layout)
{
    const std::size_t channels = layout.colourType == PNG_COLOR_TYPE_RGB         ? 3
                                 : layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                                 : 1;
    return std::max<std::size_t>(1, channels * static_cast<std::size_t>(layout.bitDepth) / 8);
}

// How the image data is filtered and compressed, as FreeImage sets libpng up: the level in the
// low four bits, else no compression if asked, else zlib's default (6). The filters follow the
// page's depth in memory, even for an opaque 32-bit page written as 24-bit RGB; below 16 bits
// they are libpng's own choice: none for a palette or less than a byte a pixel, else all five.
PngIdatLayout idatLayoutOf(int flags, const PageHeader& page, const PngLayout& layout, std::size_t groupBytes)
{
    PngIdatLayout idat;
    idat.rowBytes = pngRowBytes(layout, page.width());
    idat.pixelBytes = static_cast<unsigned>(pixelBytesOf(layout));
    idat.height = page.height();
    idat.groupBytes = groupBytes;
    const int level = flags & 0x0F;
    idat.level = level >= 1 && level <= 9                                 ? level
                 : (flags & PNG_Z_NO_COMPRESSION) == PNG_Z_NO_COMPRESSION ? Z_NO_COMPRESSION
                                                                          : 6;
    unsigned filters = PNG_ALL_FILTERS;
    if (page.bpp() >= 16) {
        idat.strategy = Z_FILTERED;
        filters = PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_PAETH;
    } else {
        idat.strategy = Z_DEFAULT_STRATEGY;
        if (layout.colourType == PNG_COLOR_TYPE_PALETTE || layout.bitDepth < 8) {
            filters = PNG_FILTER_NONE;
        }
    }
    idat.filters = pngFiltersFor(filters, page.width(), page.height());
    return idat;
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

    // Writes every chunk before the image data through libpng, as FreeImage's writer sets it up,
    // and readies the image data's encoder.
    bool start(int flags, const PageHeader& page, const PngWriterOptions& options);
    bool writeBand(const Bitmap& band) override;
    bool finish() override;

  private:
    // A writer whose libpng structure could not be made has no jump buffer to return to.
    template <typename Call> bool guarded(Call&& call)
    {
        return !failed_ && callGuarded(png_jmpbuf(png_), failed_, call);
    }

    void describe(const PageHeader& page, const std::vector<png_color>& palette, const std::vector<png_text>& texts);
    bool alphaAsTold(const Bitmap& band);
    void storeRow(const std::uint8_t* row, std::uint8_t* stored) const;

    static void onError(png_structp png, png_const_charp message);
    static void onWarning(png_structp, png_const_charp) {}
    static void onWrite(png_structp png, png_bytep data, png_size_t size);
    static void onFlush(png_structp) {}

    PngLayout layout_;
    PageAlpha alpha_;
    std::FILE* file_;
    unsigned width_;
    std::size_t rowBytes_;
    BandRows rows_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::unique_ptr<PngIdatEncoder> encoder_;
    bool failed_ = false;
    bool translucentSeen_ = false;
};

PngRowWriter::PngRowWriter(const PageHeader& page, const PngLayout& layout, PageAlpha alpha, std::FILE* file)
    : layout_(layout), alpha_(alpha), file_(file), width_(page.width()), rowBytes_(pngRowBytes(layout, page.width())),
      rows_(page)
{
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
    info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    failed_ = info_ == nullptr;
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

bool PngRowWriter::start(int flags, const PageHeader& page, const PngWriterOptions& options)
{
    // libpng copies both when they are set, so neither needs to outlive this call.
    const std::vector<png_color> palette = paletteOf(page, layout_);
    const std::vector<png_text> texts = textsOf(page);
    const bool described = guarded([&] {
        png_set_write_fn(png_, this, onWrite, onFlush);
        describe(page, palette, texts);
        png_write_info(png_, info_);
    });
    if (!described) {
        return false;
    }
    try {
        std::FILE* file = file_;
        encoder_ = std::make_unique<PngIdatEncoder>(
            idatLayoutOf(flags, page, layout_, options.groupBytes), std::max(options.threads, 1u),
            [file](std::span<const std::uint8_t> bytes) { return writeAll(file, bytes.data(), bytes.size()); });
    } catch (...) {
        failed_ = true; // no memory or no thread for the encoder
    }
    return !failed_;
}

// The chunks before the image data, set in the order FreeImage's writer sets them.
void PngRowWriter::describe(const PageHeader& page, const std::vector<png_color>& palette,
                            const std::vector<png_text>& texts)
{
    const png_uint_32 resolutionX = FreeImage_GetDotsPerMeterX(page.get());
    const png_uint_32 resolutionY = FreeImage_GetDotsPerMeterY(page.get());
    if (resolutionX > 0 && resolutionY > 0) {
        png_set_pHYs(png_, info_, resolutionX, resolutionY, PNG_RESOLUTION_METER);
    }
    png_set_IHDR(png_, info_, page.width(), page.height(), layout_.bitDepth, layout_.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!palette.empty()) {
        png_set_PLTE(png_, info_, palette.data(), static_cast<int>(palette.size()));
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

// A row of the page as the file stores it: colour channels red first, 16-bit samples big-endian,
// a page with 0 as white inverted, an opaque page's alpha dropped.
void PngRowWriter::storeRow(const std::uint8_t* row, std::uint8_t* stored) const
{
    if (layout_.bgr) {
        const unsigned source = layout_.colourType == PNG_COLOR_TYPE_RGB_ALPHA || layout_.dropAlpha ? 4 : 3;
        const unsigned target = layout_.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
        for (unsigned x = 0; x < width_; ++x, row += source, stored += target) {
            stored[0] = row[FI_RGBA_RED];
            stored[1] = row[FI_RGBA_GREEN];
            stored[2] = row[FI_RGBA_BLUE];
            if (target == 4) {
                stored[3] = row[FI_RGBA_ALPHA];
            }
        }
        return;
    }
    if (layout_.bitDepth == 16) {
        // FreeImage keeps 16-bit samples in the machine's order; PNG stores them big-endian.
        for (std::size_t at = 0; at + 1 < rowBytes_; at += 2) {
            std::uint16_t sample = 0;
            std::memcpy(&sample, row + at, 2);
            stored[at] = static_cast<std::uint8_t>(sample >> 8);
            stored[at + 1] = static_cast<std::uint8_t>(sample & 0xFF);
        }
    } else {
        std::memcpy(stored, row, rowBytes_);
    }
    if (layout_.invertMono) {
        std::transform(stored, stored + rowBytes_, stored, [](std::uint8_t value) { return ~value; });
    }
    // The bits past the last pixel of a 1- or 4-bit row are whatever the page's memory held: they
    // are written as zeros, so that the same pixels always give the same file.
    if (const unsigned used = (width_ * static_cast<unsigned>(layout_.bitDepth)) % 8; used != 0) {
        stored[rowBytes_ - 1] &= static_cast<std::uint8_t>(0xFF00u >> used);
    }
}

bool PngRowWriter::writeBand(const Bitmap& band)
{
    if (failed_ || !rows_.take(band) || !alphaAsTold(band)) {
        failed_ = true;
        return false;
    }
    for (unsigned index = 0; index < band.height() && !failed_; ++index) {
        std::uint8_t* stored = encoder_->nextRow();
        if (stored == nullptr) {
            failed_ = true;
            break;
        }
        storeRow(BandRows::row(band, index), stored);
        failed_ = !encoder_->rowDone();
    }
    return !failed_;
}

bool PngRowWriter::finish()
{
    // A page said to be translucent that never was would have been written as RGB in memory.
    if (failed_ || !rows_.complete() || (alpha_ == PageAlpha::Translucent && !translucentSeen_)) {
        failed_ = true;
        return false;
    }
    static constexpr std::array<std::uint8_t, 12> end{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    failed_ = !encoder_->finish() || !writeAll(file_, end.data(), end.size()) || !flushedCleanly(file_);
    return !failed_;
}

// Whether every pixel of a 32-bit page is opaque.
PageAlpha alphaOfPage(const Bitmap& page)
{
    if (page.bpp() != 32 || FreeImage_GetImageType(page.get()) != FIT_BITMAP) {
        return PageAlpha::Unknown;
    }
    for (unsigned y = 0; y < page.height(); ++y) {
        const auto* pixels = reinterpret_cast<const RGBQUAD*>(FreeImage_GetScanLine(page.get(), static_cast<int>(y)));
        if (std::any_of(pixels, pixels + page.width(),
                        [](const RGBQUAD& pixel) { return pixel.rgbReserved != 0xFF; })) {
            return PageAlpha::Translucent;
        }
    }
    return PageAlpha::Opaque;
}

} // namespace

bool pngRowWriterTakes(int flags, const PageHeader& page, PageAlpha alpha)
{
    return (flags & PNG_INTERLACED) != PNG_INTERLACED && layoutOf(page, alpha).has_value();
}

std::size_t pngRowWriterBytes(int flags, const PageHeader& page, unsigned threads)
{
    // The estimate does not depend on what the alpha turns out to be: take the wider row.
    const std::optional<PngLayout> layout = layoutOf(page, PageAlpha::Translucent);
    if ((flags & PNG_INTERLACED) == PNG_INTERLACED || !layout) {
        return 0;
    }
    return pngIdatEncoderBytes(idatLayoutOf(flags, page, *layout, 0), threads);
}

std::unique_ptr<RowWriter> openPngRowWriter(int flags, const PageHeader& page, std::FILE* file, PageAlpha alpha,
                                            const PngWriterOptions& options)
{
    const std::optional<PngLayout> layout = layoutOf(page, alpha);
    if (file == nullptr || (flags & PNG_INTERLACED) == PNG_INTERLACED || !layout) {
        return nullptr;
    }
    auto writer = std::make_unique<PngRowWriter>(page, *layout, alpha, file);
    if (!writer->start(flags, page, options)) {
        return nullptr;
    }
    return writer;
}

bool pngWriterTakesPage(int flags, const Bitmap& page)
{
    return page && pngRowWriterTakes(flags, page, alphaOfPage(page));
}

bool writePngPage(int flags, const Bitmap& page, std::FILE* file, unsigned threads)
{
    const std::unique_ptr<RowWriter> writer =
        openPngRowWriter(flags, page, file, alphaOfPage(page), PngWriterOptions{.threads = threads});
    return writer && writer->writeBand(page) && writer->finish();
}

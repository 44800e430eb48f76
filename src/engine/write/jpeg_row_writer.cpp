#include "engine/write/jpeg_row_writer.h"

#include "engine/write/row_writer_support.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <initializer_list>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace {

// Marker kinds and the payload limits FreeImage's writer cuts its markers at.
constexpr int exifMarker = JPEG_APP0 + 1; // EXIF and XMP
constexpr int iccMarker = JPEG_APP0 + 2;
constexpr int iptcMarker = JPEG_APP0 + 13;
constexpr std::size_t commentChunk = 65533;
constexpr std::size_t iccChunk = 65519;
constexpr std::size_t app1Chunk = 65504;
constexpr std::size_t iptcChunk = 65517;
constexpr std::size_t thumbnailLimit = 65533 - 5 - 1;

// The compressed bytes gathered before each write to the file; any size gives the same file.
constexpr std::size_t outputBufferSize = std::size_t{1} << 16;

constexpr int anySubsampling =
    JPEG_SUBSAMPLING_411 | JPEG_SUBSAMPLING_420 | JPEG_SUBSAMPLING_422 | JPEG_SUBSAMPLING_444;

struct Sampling {
    int lumaH;
    int lumaV;
};

// The luma sampling factors each chroma subsampling flag asks for (chroma stays 1 x 1), in the
// order the flags are tested; no flag keeps libjpeg's default, 2 x 2.
Sampling samplingOf(int flags)
{
    if ((flags & JPEG_SUBSAMPLING_411) == JPEG_SUBSAMPLING_411) {
        return {4, 1};
    }
    if ((flags & JPEG_SUBSAMPLING_420) == JPEG_SUBSAMPLING_420) {
        return {2, 2};
    }
    if ((flags & JPEG_SUBSAMPLING_422) == JPEG_SUBSAMPLING_422) {
        return {2, 1};
    }
    if ((flags & JPEG_SUBSAMPLING_444) == JPEG_SUBSAMPLING_444) {
        return {1, 1};
    }
    return {2, 2};
}

int qualityOf(int flags)
{
    // The named qualities win over the number in the low seven bits; none at all means 75.
    constexpr std::array<std::pair<int, int>, 5> named{{{JPEG_QUALITYBAD, 10},
                                                        {JPEG_QUALITYAVERAGE, 25},
                                                        {JPEG_QUALITYNORMAL, 50},
                                                        {JPEG_QUALITYGOOD, 75},
                                                        {JPEG_QUALITYSUPERB, 100}}};
    for (const auto& [flag, quality] : named) {
        if ((flags & flag) == flag) {
            return quality;
        }
    }
    return (flags & 0x7F) != 0 ? flags & 0x7F : 75;
}

bool buffersWholeImage(int flags)
{
    // Progressive scans and optimised Huffman tables both need every coefficient before the
    // first scan is written: libjpeg keeps the whole page's coefficients.
    return (flags & JPEG_PROGRESSIVE) == JPEG_PROGRESSIVE || (flags & JPEG_OPTIMIZE) == JPEG_OPTIMIZE;
}

// How the page's pixels reach libjpeg, decided by the colour type FreeImage's writer reads.
enum class Pixels : std::uint8_t { None, Grey, ReversedGrey, Palette, Bgr, Cmyk };

Pixels pixelsOf(const PageHeader& page)
{
    if (!page || FreeImage_GetImageType(page.get()) != FIT_BITMAP) {
        return Pixels::None;
    }
    const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(page.get());
    switch (page.bpp()) {
    case 8:
        return colour == FIC_MINISBLACK   ? Pixels::Grey
               : colour == FIC_MINISWHITE ? Pixels::ReversedGrey
               : colour == FIC_PALETTE    ? Pixels::Palette
                                          : Pixels::None;
    case 24:
        return Pixels::Bgr;
    case 32:
        return colour == FIC_CMYK ? Pixels::Cmyk : Pixels::None;
    default:
        return Pixels::None;
    }
}

struct JpegMarker {
    int code;
    std::vector<std::uint8_t> payload;
};

// The markers FreeImage's writer adds after the frame header, in its order: thumbnail, comment,
// ICC profile, IPTC, XMP, EXIF. They are built before libjpeg runs, so that no error exit can
// skip the release of what building them holds.
class MarkerList {
  public:
    // One marker of `code` whose payload is `parts` one after the other.
    void add(int code, std::initializer_list<TagBytes> parts)
    {
        JpegMarker& marker = markers_.emplace_back(JpegMarker{code, {}});
        for (const TagBytes part : parts) {
            marker.payload.insert(marker.payload.end(), part.begin(), part.end());
        }
    }

    // `data` cut into markers of at most `chunk` bytes, each after `prefix`.
    void addChunks(int code, TagBytes prefix, TagBytes data, std::size_t chunk)
    {
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            add(code, {prefix, data.subspan(at, std::min(chunk, data.size() - at))});
        }
    }

    std::vector<JpegMarker> take() { return std::move(markers_); }

  private:
    std::vector<JpegMarker> markers_;
};

TagBytes untilNul(TagBytes bytes)
{
    return bytes.first(static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin()));
}

// The page's thumbnail as a baseline JPEG in a JFXX extension, when it is 8 or 24 bits and small
// enough for one marker.
void addThumbnail(MarkerList& markers, const PageHeader& page)
{
    FIBITMAP* thumbnail = FreeImage_GetThumbnail(page.get());
    if (thumbnail == nullptr || FreeImage_GetImageType(thumbnail) != FIT_BITMAP ||
        (FreeImage_GetBPP(thumbnail) != 8 && FreeImage_GetBPP(thumbnail) != 24)) {
        return;
    }
    struct Closer {
        void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
    };
    const std::unique_ptr<FIMEMORY, Closer> encoded(FreeImage_OpenMemory());
    BYTE* data = nullptr;
    DWORD size = 0;
    if (encoded && FreeImage_SaveToMemory(FIF_JPEG, thumbnail, encoded.get(), JPEG_BASELINE) &&
        FreeImage_AcquireMemory(encoded.get(), &data, &size) && size <= thumbnailLimit) {
        static constexpr std::array<std::uint8_t, 6> jfxx{'J', 'F', 'X', 'X', 0, 0x10}; // 0x10: a JPEG thumbnail
        markers.add(JPEG_APP0, {jfxx, TagBytes(data, size)});
    }
}

void addComment(MarkerList& markers, const PageHeader& page)
{
    // The comment ends at its first NUL, as a C string would.
    markers.addChunks(JPEG_COM, {}, untilNul(tagBytes(findTag(page, FIMD_COMMENTS, "Comment"))), commentChunk);
}

void addIccProfile(MarkerList& markers, const PageHeader& page)
{
    static constexpr std::array<std::uint8_t, 12> signature{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
    const TagBytes profile = iccProfileBytes(page);
    // The count is the library's: one more than the chunks when the size is an exact multiple.
    const auto count = static_cast<std::uint8_t>(profile.size() / iccChunk + 1);
    for (std::size_t at = 0; at < profile.size(); at += iccChunk) {
        const std::array<std::uint8_t, 2> sequence{static_cast<std::uint8_t>(at / iccChunk + 1), count};
        markers.add(iccMarker, {signature, sequence, profile.subspan(at, std::min(iccChunk, profile.size() - at))});
    }
}

// The IPTC records as a Photoshop resource block (8BIM 0x0404), built as FreeImage builds it:
// each record goes before the ones already built, the record version first of all, and keyword
// and category lists are split at their semicolons into records of their own.
std::vector<std::uint8_t> iptcRecords(const PageHeader& page)
{
    constexpr WORD recordVersion = 0x0200;
    constexpr WORD urgency = 0x020A;
    constexpr WORD supplementalCategories = 0x0214;
    constexpr WORD keywords = 0x0219;
    std::vector<std::uint8_t> records;
    bool any = false;
    const auto prepend = [&records](WORD id, TagBytes value) {
        const std::array<std::uint8_t, 5> head{0x1C, 0x02, static_cast<std::uint8_t>(id & 0xFF),
                                               static_cast<std::uint8_t>((value.size() >> 8) & 0xFF),
                                               static_cast<std::uint8_t>(value.size() & 0xFF)};
        records.insert(records.begin(), value.begin(), value.end());
        records.insert(records.begin(), head.begin(), head.end());
    };
    forEachTag(page, FIMD_IPTC, [&](FITAG* tag) {
        any = true;
        const WORD id = FreeImage_GetTagID(tag);
        const TagBytes value = tagBytes(tag);
        if (id == recordVersion || FreeImage_GetTagType(tag) != FIDT_ASCII) {
            return;
        }
        if (id == supplementalCategories || id == keywords) {
            const TagBytes list = untilNul(value);
            std::size_t from = 0;
            for (std::size_t at = 0; at <= list.size(); ++at) {
                if (at == list.size() || list[at] == ';') {
                    prepend(id, list.subspan(from, at - from));
                    from = at + 1;
                }
            }
        } else {
            prepend(id, id == urgency ? value.first(std::min<std::size_t>(1, value.size())) : value);
        }
    });
    if (any) {
        // The version is the library's two bytes in memory order (little-endian here).
        static constexpr std::array<std::uint8_t, 2> version{0x00, 0x02};
        prepend(recordVersion, version);
    }
    return records;
}

void addIptc(MarkerList& markers, const PageHeader& page)
{
    static constexpr std::array<std::uint8_t, 24> header{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.',
                                                         '0', 0,   '8', 'B', 'I', 'M', 4,   4,   0,   0,   0,   0};
    static constexpr std::array<std::uint8_t, 1> pad{0};
    const std::vector<std::uint8_t> records = iptcRecords(page);
    const TagBytes all(records);
    for (std::size_t at = 0; at < all.size(); at += iptcChunk) {
        const TagBytes chunk = all.subspan(at, std::min(iptcChunk, all.size() - at));
        const std::array<std::uint8_t, 2> size{static_cast<std::uint8_t>(chunk.size() >> 8),
                                               static_cast<std::uint8_t>(chunk.size() & 0xFF)};
        // Resource data is padded to an even length; the size field gives the length unpadded.
        markers.add(iptcMarker, {header, size, chunk, TagBytes(pad).first(chunk.size() & 1)});
    }
}

void addXmp(MarkerList& markers, const PageHeader& page)
{
    static constexpr char signature[] = "http://ns.adobe.com/xap/1.0/";
    const TagBytes namespaceId(reinterpret_cast<const std::uint8_t*>(signature), sizeof signature);
    markers.addChunks(exifMarker, namespaceId, tagBytes(findTag(page, FIMD_XMP, xmpPacketKey)), app1Chunk);
}

void addExif(MarkerList& markers, const PageHeader& page)
{
    // The raw block already starts with its "Exif\0\0" identifier; a block without it is not EXIF.
    const TagBytes exif = tagBytes(findTag(page, FIMD_EXIF_RAW, "ExifRaw"));
    if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) {
        markers.addChunks(exifMarker, {}, exif, app1Chunk);
    }
}

std::vector<JpegMarker> pageMarkers(int flags, const PageHeader& page)
{
    MarkerList markers;
    if ((flags & JPEG_BASELINE) != JPEG_BASELINE) {
        addThumbnail(markers, page);
        addComment(markers, page);
        addIccProfile(markers, page);
        addIptc(markers, page);
        addXmp(markers, page);
        addExif(markers, page);
    }
    return markers.take();
}

class JpegRowWriter final : public RowWriter {
  public:
    JpegRowWriter(const PageHeader& page, std::FILE* file);
    ~JpegRowWriter() override { jpeg_destroy_compress(&cinfo_); }

    // Sets libjpeg up as FreeImage's writer does and writes everything before the first row.
    bool start(int flags, const PageHeader& page);
    bool writeBand(const Bitmap& band) override;
    bool finish() override;

  private:
    template <typename Call> bool guarded(Call&& call) { return callGuarded(jump_, failed_, call); }

    void configure(int flags, const PageHeader& page);
    void writeRows(const Bitmap& band);

    static JpegRowWriter& of(j_common_ptr cinfo) { return *static_cast<JpegRowWriter*>(cinfo->client_data); }
    static JpegRowWriter& of(j_compress_ptr cinfo) { return of(reinterpret_cast<j_common_ptr>(cinfo)); }
    static void errorExit(j_common_ptr cinfo);
    static void outputMessage(j_common_ptr cinfo);
    static void initDestination(j_compress_ptr cinfo);
    static boolean emptyOutputBuffer(j_compress_ptr cinfo);
    static void termDestination(j_compress_ptr cinfo);

    std::FILE* file_;
    Pixels pixels_;
    unsigned width_;
    BandRows rows_;
    std::array<RGBQUAD, 256> palette_{};
    jpeg_compress_struct cinfo_{};
    jpeg_error_mgr errors_{};
    jpeg_destination_mgr destination_{};
    std::jmp_buf jump_{};
    bool failed_ = false;
    std::vector<JOCTET> output_;
    std::vector<JOCTET> converted_; // one row as libjpeg takes it, for pages stored otherwise
};

JpegRowWriter::JpegRowWriter(const PageHeader& page, std::FILE* file)
    : file_(file), pixels_(pixelsOf(page)), width_(page.width()), rows_(page), output_(outputBufferSize)
{
    cinfo_.err = jpeg_std_error(&errors_);
    errors_.error_exit = errorExit;
    errors_.output_message = outputMessage;
    cinfo_.client_data = this;
    destination_.init_destination = initDestination;
    destination_.empty_output_buffer = emptyOutputBuffer;
    destination_.term_destination = termDestination;
    if (pixels_ == Pixels::Palette) {
        std::copy_n(FreeImage_GetPalette(page.get()), FreeImage_GetColorsUsed(page.get()), palette_.begin());
    }
    if (pixels_ == Pixels::ReversedGrey || pixels_ == Pixels::Palette || pixels_ == Pixels::Cmyk) {
        converted_.resize(std::size_t{width_} * (pixels_ == Pixels::Palette ? 3 : page.bpp() / 8));
    }
}

void JpegRowWriter::errorExit(j_common_ptr cinfo)
{
    cinfo->err->output_message(cinfo);
    std::longjmp(of(cinfo).jump_, 1);
}

void JpegRowWriter::outputMessage(j_common_ptr cinfo)
{
    // Where the in-memory save reports libjpeg's messages: the run's library message sink.
    std::array<char, JMSG_LENGTH_MAX> text{};
    cinfo->err->format_message(cinfo, text.data());
    FreeImage_OutputMessageProc(FIF_JPEG, "%s", text.data());
}

void JpegRowWriter::initDestination(j_compress_ptr cinfo)
{
    JpegRowWriter& writer = of(cinfo);
    cinfo->dest->next_output_byte = writer.output_.data();
    cinfo->dest->free_in_buffer = writer.output_.size();
}

boolean JpegRowWriter::emptyOutputBuffer(j_compress_ptr cinfo)
{
    JpegRowWriter& writer = of(cinfo);
    if (!writeAll(writer.file_, writer.output_.data(), writer.output_.size())) {
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
    cinfo->dest->next_output_byte = writer.output_.data();
    cinfo->dest->free_in_buffer = writer.output_.size();
    return TRUE;
}

void JpegRowWriter::termDestination(j_compress_ptr cinfo)
{
    JpegRowWriter& writer = of(cinfo);
    if (!writeAll(writer.file_, writer.output_.data(), writer.output_.size() - cinfo->dest->free_in_buffer)) {
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
}

bool JpegRowWriter::start(int flags, const PageHeader& page)
{
    const std::vector<JpegMarker> markers = pageMarkers(flags, page);
    return guarded([&] {
        jpeg_create_compress(&cinfo_);
        cinfo_.dest = &destination_;
        configure(flags, page);
        jpeg_start_compress(&cinfo_, TRUE);
        for (const JpegMarker& marker : markers) {
            jpeg_write_marker(&cinfo_, marker.code, marker.payload.data(),
                              static_cast<unsigned>(marker.payload.size()));
        }
    });
}

void JpegRowWriter::configure(int flags, const PageHeader& page)
{
    cinfo_.image_width = page.width();
    cinfo_.image_height = page.height();
    // Colour pages go in as FreeImage stores them, blue first: libjpeg converts BGR to YCbCr with
    // the same arithmetic as RGB, so no row needs its channels swapped.
    switch (pixels_) {
    case Pixels::Grey:
    case Pixels::ReversedGrey:
        cinfo_.in_color_space = JCS_GRAYSCALE;
        cinfo_.input_components = 1;
        break;
    case Pixels::Cmyk:
        cinfo_.in_color_space = JCS_CMYK;
        cinfo_.input_components = 4;
        break;
    default:
        cinfo_.in_color_space = JCS_EXT_BGR;
        cinfo_.input_components = 3;
        break;
    }
    jpeg_set_defaults(&cinfo_);
    if ((flags & JPEG_PROGRESSIVE) == JPEG_PROGRESSIVE) {
        jpeg_simple_progression(&cinfo_);
    }
    if ((flags & JPEG_OPTIMIZE) == JPEG_OPTIMIZE) {
        cinfo_.optimize_coding = TRUE;
    }
    // JFIF density in dots per inch, rounded and kept to the field's 16 bits.
    const auto dpi = [](unsigned dotsPerMetre) {
        return static_cast<UINT16>(static_cast<unsigned>(0.5 + 0.0254 * dotsPerMetre) & 0xFFFFu);
    };
    cinfo_.X_density = dpi(FreeImage_GetDotsPerMeterX(page.get()));
    cinfo_.Y_density = dpi(FreeImage_GetDotsPerMeterY(page.get()));
    cinfo_.density_unit = 1;
    if (FreeImage_GetThumbnail(page.get()) != nullptr) {
        // A thumbnail travels in a JFIF 1.02 extension, so the JFIF header is written whatever
        // the colour space.
        cinfo_.write_JFIF_header = TRUE;
        cinfo_.JFIF_minor_version = 2;
    }
    if ((flags & JPEG_BASELINE) == JPEG_BASELINE) {
        cinfo_.write_JFIF_header = FALSE;
        cinfo_.write_Adobe_marker = FALSE;
    }
    if (cinfo_.in_color_space == JCS_EXT_BGR && (flags & anySubsampling) != 0) {
        const Sampling sampling = samplingOf(flags);
        cinfo_.comp_info[0].h_samp_factor = sampling.lumaH;
        cinfo_.comp_info[0].v_samp_factor = sampling.lumaV;
        for (int chroma = 1; chroma < 3; ++chroma) {
            cinfo_.comp_info[chroma].h_samp_factor = 1;
            cinfo_.comp_info[chroma].v_samp_factor = 1;
        }
    }
    jpeg_set_quality(&cinfo_, qualityOf(flags), TRUE);
}

void JpegRowWriter::writeRows(const Bitmap& band)
{
    for (unsigned index = 0; index < band.height(); ++index) {
        JSAMPROW row = BandRows::row(band, index);
        switch (pixels_) {
        case Pixels::ReversedGrey:
            std::transform(row, row + width_, converted_.begin(), [](JSAMPLE grey) { return JSAMPLE(255 - grey); });
            row = converted_.data();
            break;
        case Pixels::Cmyk:
            // FreeImage keeps CMYK as ink amounts; JPEG files store them inverted.
            std::transform(row, row + converted_.size(), converted_.begin(), [](JSAMPLE ink) { return JSAMPLE(~ink); });
            row = converted_.data();
            break;
        case Pixels::Palette:
            FreeImage_ConvertLine8To24(converted_.data(), row, static_cast<int>(width_), palette_.data());
            row = converted_.data();
            break;
        default:
            break;
        }
        jpeg_write_scanlines(&cinfo_, &row, 1);
    }
}

bool JpegRowWriter::writeBand(const Bitmap& band)
{
    if (failed_ || !rows_.take(band)) {
        failed_ = true;
        return false;
    }
    return guarded([this, &band] { writeRows(band); });
}

bool JpegRowWriter::finish()
{
    if (failed_ || !rows_.complete()) {
        failed_ = true;
        return false;
    }
    return guarded([this] { jpeg_finish_compress(&cinfo_); }) && flushedCleanly(file_);
}

} // namespace

bool jpegRowWriterTakes(int /*flags*/, const PageHeader& page)
{
    // Every flag combination is libjpeg's own work row by row; only the pixel layouts FreeImage's
    // writer refuses are left out.
    return pixelsOf(page) != Pixels::None;
}

std::size_t jpegRowWriterBytes(int flags, const PageHeader& page)
{
    if (!jpegRowWriterTakes(flags, page)) {
        return 0;
    }
    const Pixels pixels = pixelsOf(page);
    const std::size_t components = pixels == Pixels::Grey || pixels == Pixels::ReversedGrey ? 1
                                   : pixels == Pixels::Cmyk                                 ? 4
                                                                                            : 3;
    const Sampling sampling = components == 3 ? samplingOf(flags) : Sampling{1, 1};
    const std::size_t mcuWidth = 8 * static_cast<std::size_t>(sampling.lumaH);
    const std::size_t mcuHeight = 8 * static_cast<std::size_t>(sampling.lumaV);
    const std::size_t paddedWidth = (page.width() + mcuWidth - 1) / mcuWidth * mcuWidth;
    // libjpeg's row buffers: a strip of one MCU row per component before and after
    // downsampling, plus our converted row and output buffer.
    std::size_t bytes = 2 * components * paddedWidth * mcuHeight + components * page.width() + outputBufferSize;
    if (buffersWholeImage(flags)) {
        // 64 coefficients of two bytes for every block of every component.
        const std::size_t mcus = paddedWidth / mcuWidth * ((page.height() + mcuHeight - 1) / mcuHeight);
        const std::size_t blocksPerMcu = components == 3 ? sampling.lumaH * sampling.lumaV + 2 : components;
        bytes += mcus * blocksPerMcu * 64 * sizeof(JCOEF);
    }
    return bytes;
}

std::unique_ptr<RowWriter> openJpegRowWriter(int flags, const PageHeader& page, std::FILE* file)
{
    if (file == nullptr || !jpegRowWriterTakes(flags, page)) {
        return nullptr;
    }
    auto writer = std::make_unique<JpegRowWriter>(page, file);
    if (!writer->start(flags, page)) {
        return nullptr;
    }
    return writer;
}

#include "engine/write/jpeg2000_writer.h"

#include <QFile>

#include <openjpeg.h>

#include <algorithm>
#include <memory>

namespace {

// The levels FreeImage's encoder (OpenJPEG's default) uses.
constexpr int defaultLevels = 6;
// The rate FreeImage's encoder uses without flags: one layer at 16:1.
constexpr float defaultRate = 16.0F;

struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
using Codec = std::unique_ptr<opj_codec_t, CodecDeleter>;
using Image = std::unique_ptr<opj_image_t, ImageDeleter>;
using Stream = std::unique_ptr<opj_stream_t, StreamDeleter>;

struct Components {
    int count = 0;
    int precision = 8;
    OPJ_COLOR_SPACE space = OPJ_CLRSPC_SRGB;
};

// What the page is made of, as FreeImage's encoder takes it; count 0 for a page it refuses.
Components componentsOf(FIBITMAP* dib)
{
    switch (FreeImage_GetImageType(dib)) {
    case FIT_BITMAP:
        switch (FreeImage_GetColorType(dib)) {
        case FIC_MINISBLACK:
            return {1, 8, OPJ_CLRSPC_GRAY};
        case FIC_RGB:
            return {FreeImage_GetBPP(dib) == 32 ? 4 : 3, 8, OPJ_CLRSPC_SRGB};
        case FIC_RGBALPHA:
            return {4, 8, OPJ_CLRSPC_SRGB};
        default:
            return {};
        }
    case FIT_UINT16:
        return {1, 16, OPJ_CLRSPC_GRAY};
    case FIT_RGB16:
        return {3, 16, OPJ_CLRSPC_SRGB};
    case FIT_RGBA16:
        return {4, 16, OPJ_CLRSPC_SRGB};
    default:
        return {};
    }
}

// Sample `component` of pixel x of a scan line: red, green, blue, alpha in that order.
OPJ_INT32 sampleAt(const BYTE* line, unsigned x, int component, const Components& form)
{
    if (form.precision == 16) {
        const auto* words = reinterpret_cast<const WORD*>(line);
        return words[x * static_cast<unsigned>(form.count) + static_cast<unsigned>(component)];
    }
    if (form.count == 1) {
        return line[x];
    }
    static constexpr int order[] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, FI_RGBA_ALPHA};
    return line[x * static_cast<unsigned>(form.count) + static_cast<unsigned>(order[component])];
}

Image imageOf(FIBITMAP* dib, const Components& form)
{
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    opj_image_cmptparm_t parameters[4] = {};
    for (int i = 0; i < form.count; ++i) {
        parameters[i].dx = 1;
        parameters[i].dy = 1;
        parameters[i].w = width;
        parameters[i].h = height;
        parameters[i].prec = static_cast<OPJ_UINT32>(form.precision);
        parameters[i].sgnd = 0;
    }
    Image image(opj_image_create(static_cast<OPJ_UINT32>(form.count), parameters, form.space));
    if (!image) {
        return image;
    }
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = width;
    image->y1 = height;
    // FreeImage keeps rows bottom-up; the codestream starts at the top.
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
        for (int c = 0; c < form.count; ++c) {
            OPJ_INT32* out = image->comps[c].data + std::size_t{y} * width;
            for (unsigned x = 0; x < width; ++x) {
                out[x] = sampleAt(line, x, c, form);
            }
        }
    }
    return image;
}

void quietHandler(const char*, void*) {}

} // namespace

int jpeg2000ResolutionLevels(unsigned width, unsigned height)
{
    // Level n halves the page n - 1 times: the shorter side needs at least 2^(n-1) pixels.
    unsigned side = std::min(width, height);
    int levels = 1;
    while (levels < defaultLevels && side >= 2) {
        side /= 2;
        ++levels;
    }
    return levels;
}

bool takesJpeg2000Page(const Bitmap& image)
{
    return jpeg2000ResolutionLevels(image.width(), image.height()) == defaultLevels;
}

bool writeJpeg2000(const Bitmap& image, const QString& path, bool fileFormat)
{
    if (!image || image.width() == 0 || image.height() == 0) {
        return false;
    }
    const Components form = componentsOf(image.get());
    if (form.count == 0) {
        return false;
    }
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = defaultRate;
    parameters.cp_disto_alloc = 1;
    parameters.numresolution = jpeg2000ResolutionLevels(image.width(), image.height());
    parameters.tcp_mct = form.count == 3 ? 1 : 0;

    Image encoded = imageOf(image.get(), form);
    Codec codec(opj_create_compress(fileFormat ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!encoded || !codec) {
        return false;
    }
    // Failures are the page's result; the library's own words would go to standard error.
    opj_set_info_handler(codec.get(), quietHandler, nullptr);
    opj_set_warning_handler(codec.get(), quietHandler, nullptr);
    opj_set_error_handler(codec.get(), quietHandler, nullptr);
    if (opj_setup_encoder(codec.get(), &parameters, encoded.get()) == OPJ_FALSE) {
        return false;
    }
    Stream stream(opj_stream_create_default_file_stream(QFile::encodeName(path).constData(), OPJ_FALSE));
    if (!stream) {
        return false;
    }
    const bool written = opj_start_compress(codec.get(), encoded.get(), stream.get()) != OPJ_FALSE &&
                         opj_encode(codec.get(), stream.get()) != OPJ_FALSE &&
                         opj_end_compress(codec.get(), stream.get()) != OPJ_FALSE;
    stream.reset(); // closes the file
    return written;
}

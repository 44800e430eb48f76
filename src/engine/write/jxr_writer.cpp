#include "engine/write/jxr_writer.h"

#include <QFile>

// FreeImage.h defines _WINDOWS_ on Linux, which makes jxrlib's GUID 8 bytes longer than the
// library was built with and shifts every field of its encoder and decoder records.
#pragma push_macro("_WINDOWS_")
#undef _WINDOWS_
#include <JXRGlue.h>
#pragma pop_macro("_WINDOWS_")

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// jxrlib's glue objects release themselves through function pointers; these deleters keep every
// exit path clean.
struct EncoderRelease {
    void operator()(PKImageEncode* encoder) const { encoder->Release(&encoder); }
};
struct DecoderRelease {
    void operator()(PKImageDecode* decoder) const { decoder->Release(&decoder); }
};
struct StreamClose {
    void operator()(WMPStream* stream) const { stream->Close(&stream); }
};
using EncoderPtr = std::unique_ptr<PKImageEncode, EncoderRelease>;
using DecoderPtr = std::unique_ptr<PKImageDecode, DecoderRelease>;
using StreamPtr = std::unique_ptr<WMPStream, StreamClose>;

// A file stream of jxrlib, or empty. When the file cannot be opened, jxrlib returns an error but
// keeps the stream record it calloc'ed (with no file in it, so its Close must not run): freed here.
StreamPtr openStream(const QString& path, const char* mode)
{
    WMPStream* raw = nullptr;
    if (Failed(CreateWS_File(&raw, QFile::encodeName(path).constData(), mode))) {
        std::free(raw);
        return {};
    }
    return StreamPtr(raw);
}

bool sameGuid(const PKPixelFormatGUID& a, const PKPixelFormatGUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// How a FreeImage pixel layout maps onto a JPEG XR pixel format.
struct JxrLayout {
    const PKPixelFormatGUID* format = nullptr;
    FREE_IMAGE_TYPE type = FIT_UNKNOWN;
    unsigned bpp = 0;      // FreeImage bits per pixel
    unsigned jxrBytes = 0; // bytes per JPEG XR pixel (0 for 1-bit)
    bool grey = false;     // Y_ONLY colour format
    bool alpha = false;
    bool paddedFloat = false; // FreeImage RGB float <-> JPEG XR 128-bit RGB float with a pad channel
};

const JxrLayout kLayouts[] = {
    {&GUID_PKPixelFormatBlackWhite, FIT_BITMAP, 1, 0, true, false, false},
    {&GUID_PKPixelFormat8bppGray, FIT_BITMAP, 8, 1, true, false, false},
    {&GUID_PKPixelFormat16bppRGB555, FIT_BITMAP, 16, 2, false, false, false},
    {&GUID_PKPixelFormat16bppRGB565, FIT_BITMAP, 16, 2, false, false, false},
    {&GUID_PKPixelFormat24bppBGR, FIT_BITMAP, 24, 3, false, false, false},
    {&GUID_PKPixelFormat32bppBGRA, FIT_BITMAP, 32, 4, false, true, false},
    {&GUID_PKPixelFormat16bppGray, FIT_UINT16, 16, 2, true, false, false},
    {&GUID_PKPixelFormat32bppGrayFloat, FIT_FLOAT, 32, 4, true, false, false},
    {&GUID_PKPixelFormat48bppRGB, FIT_RGB16, 48, 6, false, false, false},
    {&GUID_PKPixelFormat64bppRGBA, FIT_RGBA16, 64, 8, false, true, false},
    {&GUID_PKPixelFormat128bppRGBFloat, FIT_RGBF, 96, 16, false, false, true},
    {&GUID_PKPixelFormat128bppRGBAFloat, FIT_RGBAF, 128, 16, false, true, false},
};

const JxrLayout* layoutOfFormat(const PKPixelFormatGUID& format)
{
    for (const JxrLayout& layout : kLayouts) {
        if (sameGuid(*layout.format, format)) {
            return &layout;
        }
    }
    return nullptr;
}

bool is555(FIBITMAP* dib)
{
    return FreeImage_GetRedMask(dib) == FI16_555_RED_MASK && FreeImage_GetGreenMask(dib) == FI16_555_GREEN_MASK &&
           FreeImage_GetBlueMask(dib) == FI16_555_BLUE_MASK;
}

// JPEG XR has no palettes: a 1-bit page must be black-and-white with 0 = black, anything of 4 or
// 8 bits becomes 8-bit grey. Returns the converted copy to encode, or an empty bitmap when the page
// can be encoded as it is (layout set) or not at all (layout null): the pixels are packed into the
// encoder's own buffer anyway, so a page that needs no conversion is not copied first.
Bitmap prepareForJxr(FIBITMAP* dib, const JxrLayout*& layout)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
    const unsigned bpp = FreeImage_GetBPP(dib);
    layout = nullptr;
    if (type == FIT_BITMAP && bpp == 1) {
        const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(dib);
        Bitmap converted;
        if (colour == FIC_MINISWHITE) {
            converted.reset(FreeImage_Clone(dib));
            if (!converted || !FreeImage_Invert(converted.get())) {
                return {};
            }
        } else if (colour != FIC_MINISBLACK) {
            // A coloured two-entry palette: decide black or white by brightness.
            const Bitmap grey(FreeImage_ConvertToGreyscale(dib));
            converted.reset(grey ? FreeImage_Threshold(grey.get(), 128) : nullptr);
            if (!converted) {
                return {};
            }
        }
        layout = &kLayouts[0];
        return converted;
    }
    if (type == FIT_BITMAP && (bpp == 4 || bpp == 8)) {
        if (bpp == 8 && FreeImage_GetColorType(dib) == FIC_MINISBLACK) {
            layout = &kLayouts[1];
            return {};
        }
        Bitmap grey(FreeImage_ConvertToGreyscale(dib));
        layout = grey ? &kLayouts[1] : nullptr;
        return grey;
    }
    if (type == FIT_BITMAP && bpp == 16) {
        layout = is555(dib) ? &kLayouts[2] : &kLayouts[3];
        return {};
    }
    for (const JxrLayout& candidate : kLayouts) {
        if (candidate.type == type && candidate.bpp == bpp) {
            layout = &candidate;
            return {};
        }
    }
    return {};
}

// Pixels of the page top-down in the JPEG XR layout. FreeImage stores rows bottom-up.
std::vector<U8> packPixels(FIBITMAP* dib, const JxrLayout& layout, U32& stride)
{
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    stride = layout.jxrBytes == 0 ? (width + 7) / 8 : width * layout.jxrBytes;
    std::vector<U8> pixels(static_cast<size_t>(stride) * height);
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* source = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
        U8* target = pixels.data() + static_cast<size_t>(y) * stride;
        if (layout.paddedFloat) {
            const auto* in = reinterpret_cast<const FIRGBF*>(source);
            auto* out = reinterpret_cast<float*>(target);
            for (unsigned x = 0; x < width; ++x) {
                out[4 * x] = in[x].red;
                out[4 * x + 1] = in[x].green;
                out[4 * x + 2] = in[x].blue;
                out[4 * x + 3] = 0.0F;
            }
        } else {
            std::memcpy(target, source, stride);
        }
    }
    return pixels;
}

} // namespace

bool writeJxr(const Bitmap& image, const QString& path)
{
    if (!image || !FreeImage_HasPixels(image.get())) {
        return false;
    }
    const JxrLayout* layout = nullptr;
    const Bitmap converted = prepareForJxr(image.get(), layout);
    if (layout == nullptr) {
        return false;
    }
    FIBITMAP* source = converted ? converted.get() : image.get();
    U32 stride = 0;
    std::vector<U8> pixels = packPixels(source, *layout, stride);

    StreamPtr stream = openStream(path, "wb");
    if (!stream) {
        return false;
    }
    PKImageEncode* rawEncoder = nullptr;
    if (Failed(PKImageEncode_Create_WMP(&rawEncoder))) {
        return false;
    }

    CWMIStrCodecParam params{};
    params.bVerbose = FALSE;
    params.cfColorFormat = layout->grey ? Y_ONLY : YUV_444;
    params.bdBitDepth = BD_LONG;
    params.bfBitstreamFormat = FREQUENCY;
    params.bProgressiveMode = TRUE;
    params.olOverlap = OL_ONE;
    params.sbSubband = SB_ALL;
    params.uAlphaMode = layout->alpha ? 2 : 0; // planar alpha, lossless too
    // Quantiser index 1 is the lossless setting (what JXR_LOSSLESS asks for).
    params.uiDefaultQPIndex = 1;
    params.uiDefaultQPIndexAlpha = 1;
    // Float pages keep the encoder's default mantissa length: longer ones trip an assertion inside
    // jxrlib on large values, so 96-bit pages come back with a relative error of about 1e-4.

    // The encoder takes over the stream from Initialize on and closes it when released.
    const ERR initialised = rawEncoder->Initialize(rawEncoder, stream.get(), &params, sizeof params);
    rawEncoder->pStream = stream.release();
    EncoderPtr encoder(rawEncoder);
    if (Failed(initialised)) {
        return false;
    }
    if (layout->alpha) {
        encoder->WMP.wmiSCP_Alpha.uiDefaultQPIndex = 1;
    }
    const I32 width = static_cast<I32>(FreeImage_GetWidth(source));
    const I32 height = static_cast<I32>(FreeImage_GetHeight(source));
    const Float dpiX = static_cast<Float>(FreeImage_GetDotsPerMeterX(source) * 0.0254);
    const Float dpiY = static_cast<Float>(FreeImage_GetDotsPerMeterY(source) * 0.0254);
    if (Failed(encoder->SetPixelFormat(encoder.get(), *layout->format)) ||
        Failed(encoder->SetSize(encoder.get(), width, height)) ||
        Failed(encoder->SetResolution(encoder.get(), dpiX > 0 ? dpiX : 72.0F, dpiY > 0 ? dpiY : 72.0F)) ||
        Failed(encoder->WritePixels(encoder.get(), static_cast<U32>(height), pixels.data(), stride))) {
        return false;
    }
    encoder.reset(); // finishes the code stream and closes the file
    QFile written(path);
    return written.exists() && written.size() > 0;
}

Bitmap readJxr(const QString& path)
{
    // Declared before the decoder, so the decoder (which does not own it) is released first.
    StreamPtr stream = openStream(path, "rb");
    if (!stream) {
        return {};
    }
    PKImageDecode* rawDecoder = nullptr;
    if (Failed(PKImageDecode_Create_WMP(&rawDecoder))) {
        return {};
    }
    DecoderPtr decoder(rawDecoder);
    if (Failed(decoder->Initialize(decoder.get(), stream.get()))) {
        return {};
    }
    PKPixelFormatGUID format{};
    I32 width = 0;
    I32 height = 0;
    if (Failed(decoder->GetPixelFormat(decoder.get(), &format)) ||
        Failed(decoder->GetSize(decoder.get(), &width, &height)) || width <= 0 || height <= 0) {
        return {};
    }
    const JxrLayout* layout = layoutOfFormat(format);
    if (layout == nullptr) {
        return {};
    }
    if (layout->alpha) {
        decoder->WMP.wmiSCP.uAlphaMode = 2; // decode the planar alpha too
    }
    const U32 stride =
        layout->jxrBytes == 0 ? (static_cast<U32>(width) + 7) / 8 : static_cast<U32>(width) * layout->jxrBytes;
    // The decoder works in macroblocks of 16 rows and may touch the rows below the image.
    const size_t paddedRows = (static_cast<size_t>(height) + 15) / 16 * 16;
    std::vector<U8> pixels(stride * paddedRows + 256);
    PKRect rect{0, 0, width, height};
    if (Failed(decoder->Copy(decoder.get(), &rect, pixels.data(), stride))) {
        return {};
    }

    Bitmap result;
    if (layout->type == FIT_BITMAP) {
        if (layout->bpp == 16) {
            const bool is555Format = sameGuid(format, GUID_PKPixelFormat16bppRGB555);
            result.reset(FreeImage_Allocate(width, height, 16, is555Format ? FI16_555_RED_MASK : FI16_565_RED_MASK,
                                            is555Format ? FI16_555_GREEN_MASK : FI16_565_GREEN_MASK,
                                            is555Format ? FI16_555_BLUE_MASK : FI16_565_BLUE_MASK));
        } else {
            result.reset(FreeImage_Allocate(width, height, static_cast<int>(layout->bpp)));
        }
    } else {
        result.reset(FreeImage_AllocateT(layout->type, width, height, static_cast<int>(layout->bpp)));
    }
    if (!result) {
        return {};
    }
    if (layout->bpp <= 8) {
        RGBQUAD* palette = FreeImage_GetPalette(result.get());
        const unsigned colours = FreeImage_GetColorsUsed(result.get());
        for (unsigned i = 0; i < colours; ++i) {
            const auto level = static_cast<BYTE>(colours == 2 ? i * 255 : i);
            palette[i] = RGBQUAD{level, level, level, 0};
        }
    }
    for (I32 y = 0; y < height; ++y) {
        const U8* source = pixels.data() + static_cast<size_t>(y) * stride;
        BYTE* target = FreeImage_GetScanLine(result.get(), height - 1 - y);
        if (layout->paddedFloat) {
            const auto* in = reinterpret_cast<const float*>(source);
            auto* out = reinterpret_cast<FIRGBF*>(target);
            for (I32 x = 0; x < width; ++x) {
                out[x] = FIRGBF{in[4 * x], in[4 * x + 1], in[4 * x + 2]};
            }
        } else {
            std::memcpy(target, source, stride);
        }
    }
    return result;
}

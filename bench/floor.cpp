// The floor: the least work any converter built on FreeImage must do. Opens each TIFF as a
// multi-page container, clones every page, optionally rescales it, brings it to the depth
// Tessaline writes by default, saves it, single-threaded. It writes the same files as Tessaline.
// Tessaline's benchmark compares its own runs against this loop.
//
//   floor FORMAT OUTDIR [--resize-half] FILE...
//   FORMAT: png (zlib level 6) | jpg (quality 95, 4:4:4) | tiff (LZW)
#include <FreeImage.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Target {
    FREE_IMAGE_FORMAT format;
    int flags;
    const char* extension;
};

bool targetOf(const char* name, Target& target)
{
    if (std::strcmp(name, "png") == 0) {
        target = {FIF_PNG, PNG_Z_DEFAULT_COMPRESSION, "png"};
    } else if (std::strcmp(name, "jpg") == 0) {
        target = {FIF_JPEG, 95 | JPEG_SUBSAMPLING_444, "jpg"};
    } else if (std::strcmp(name, "tiff") == 0) {
        target = {FIF_TIFF, TIFF_LZW, "tiff"};
    } else {
        return false;
    }
    return true;
}

std::string stem(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Replaces image by converted (when the conversion made a new bitmap).
void replace(FIBITMAP*& image, FIBITMAP* converted)
{
    if (converted != image) {
        FreeImage_Unload(image);
        image = converted;
    }
}

// 16-bit grey becomes 8-bit grey, after the resize as in Tessaline's chain of steps.
FIBITMAP* ordinaryGrey(FIBITMAP* image)
{
    return FreeImage_GetImageType(image) == FIT_UINT16 ? FreeImage_ConvertToStandardType(image, TRUE) : image;
}

// The depth Tessaline's Auto setting writes, so that both write the same files: a page whose
// source had 16 bits is written with 24; JPEG takes 8 or 24 bits.
FIBITMAP* inOutputDepth(FIBITMAP* image, unsigned sourceBpp, const Target& target)
{
    const unsigned bpp = FreeImage_GetBPP(image);
    if (sourceBpp == 16 || (target.format == FIF_JPEG && bpp > 8 && bpp != 24)) {
        return FreeImage_ConvertTo24Bits(image);
    }
    if (target.format == FIF_JPEG && bpp < 8) {
        return FreeImage_ConvertTo8Bits(image);
    }
    return image;
}

int convert(const std::string& input, const std::string& outdir, const Target& target, bool resizeHalf)
{
    FIMULTIBITMAP* container = FreeImage_OpenMultiBitmap(FIF_TIFF, input.c_str(), FALSE, TRUE, TRUE, 0);
    if (container == nullptr) {
        return 1;
    }
    const int pages = FreeImage_GetPageCount(container);
    int failures = 0;
    for (int i = 0; i < pages; ++i) {
        FIBITMAP* page = FreeImage_LockPage(container, i);
        const unsigned sourceBpp = FreeImage_GetBPP(page);
        FIBITMAP* image = FreeImage_Clone(page);
        FreeImage_UnlockPage(container, page, FALSE);
        if (resizeHalf) {
            replace(image, FreeImage_Rescale(image, FreeImage_GetWidth(image) / 2, FreeImage_GetHeight(image) / 2,
                                             FILTER_BICUBIC));
        }
        replace(image, ordinaryGrey(image));
        replace(image, inOutputDepth(image, sourceBpp, target));
        std::string name = outdir + "/" + stem(input);
        if (pages > 1) {
            name += "[" + std::to_string(i + 1) + "]";
        }
        name += std::string(".") + target.extension;
        failures += FreeImage_Save(target.format, image, name.c_str(), target.flags) ? 0 : 1;
        FreeImage_Unload(image);
    }
    FreeImage_CloseMultiBitmap(container, 0);
    return failures;
}

}  // namespace

int main(int argc, char** argv)
{
    Target target{};
    if (argc < 4 || !targetOf(argv[1], target)) {
        std::fprintf(stderr, "usage: floor png|jpg|tiff OUTDIR [--resize-half] FILE...\n");
        return 2;
    }
    const std::string outdir = argv[2];
    int first = 3;
    const bool resizeHalf = std::strcmp(argv[3], "--resize-half") == 0;
    if (resizeHalf) {
        ++first;
    }
    FreeImage_Initialise();
    // libtiff reports every EXIF tag FreeImage registers; a converter would not print that.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        failures += convert(argv[i], outdir, target, resizeHalf);
    }
    FreeImage_DeInitialise();
    return failures == 0 ? 0 : 1;
}

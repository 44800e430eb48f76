#include "engine/core/page_header.h"

// FreeImage 3.18 exports FreeImage_AllocateHeader (its header-only loads are built on it), but the
// installed FreeImage.h does not declare it: declared here, once, with the library's signature.
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeader(BOOL header_only, int width, int height, int bpp,
                                                           unsigned red_mask, unsigned green_mask, unsigned blue_mask);
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeaderT(BOOL header_only, FREE_IMAGE_TYPE type, int width,
                                                            int height, int bpp, unsigned red_mask, unsigned green_mask,
                                                            unsigned blue_mask);

Bitmap allocatePageHeader(int width, int height, int bpp, unsigned redMask, unsigned greenMask, unsigned blueMask)
{
    return Bitmap(FreeImage_AllocateHeader(TRUE, width, height, bpp, redMask, greenMask, blueMask));
}

Bitmap allocatePageHeader(FREE_IMAGE_TYPE type, int width, int height, int bpp)
{
    if (type == FIT_BITMAP) {
        return allocatePageHeader(width, height, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    }
    return Bitmap(FreeImage_AllocateHeaderT(TRUE, type, width, height, bpp, 0, 0, 0));
}

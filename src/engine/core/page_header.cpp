#include "engine/core/page_header.h"

// FreeImage 3.18 exports FreeImage_AllocateHeader (its header-only loads are built on it), but the
// installed FreeImage.h does not declare it: declared here, once, with the library's signature.
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeader(BOOL header_only, int width, int height, int bpp,
                                                           unsigned red_mask, unsigned green_mask, unsigned blue_mask);

Bitmap allocatePageHeader(int width, int height, int bpp, unsigned redMask, unsigned greenMask, unsigned blueMask)
{
    return Bitmap(FreeImage_AllocateHeader(TRUE, width, height, bpp, redMask, greenMask, blueMask));
}

#include "support/tiff_fixtures.h"

#include <QFile>

#include <algorithm>

namespace fixtures {
namespace {

FIBITMAP* allocate(PageKind kind, int width, int height)
{
    switch (kind) {
    case PageKind::Bilevel:
        return FreeImage_Allocate(width, height, 1);
    case PageKind::Grey8:
        return FreeImage_Allocate(width, height, 8);
    case PageKind::Grey16:
        return FreeImage_AllocateT(FIT_UINT16, width, height);
    case PageKind::Rgb24:
        return FreeImage_Allocate(width, height, 24);
    case PageKind::Rgba32:
        return FreeImage_Allocate(width, height, 32);
    case PageKind::Rgb48:
        return FreeImage_AllocateT(FIT_RGB16, width, height);
    case PageKind::Rgba64:
        return FreeImage_AllocateT(FIT_RGBA16, width, height);
    case PageKind::RgbFloat:
        return FreeImage_AllocateT(FIT_RGBF, width, height);
    }
    return nullptr;
}

void setGreyPalette(FIBITMAP* dib)
{
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    const unsigned colours = FreeImage_GetColorsUsed(dib);
    for (unsigned i = 0; i < colours; ++i) {
        const auto level = static_cast<BYTE>(colours == 2 ? i * 255 : i);
        palette[i] = RGBQUAD{level, level, level, 0};
    }
}

// 0..1 along the diagonal; the top-left pixel (scan line height-1) is pure white as a marker.
double intensity(int x, int y, int width, int height)
{
    if (x == 0 && y == 0) {
        return 1.0;
    }
    return static_cast<double>(x + y) / static_cast<double>(width + height);
}

void paint(FIBITMAP* dib, PageKind kind, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const double v = intensity(x, y, width, height);
            const auto v8 = static_cast<BYTE>(v * 255.0);
            const auto v16 = static_cast<WORD>(v * 65535.0);
            switch (kind) {
            case PageKind::Bilevel:
                if (v >= 0.5) {
                    line[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
                }
                break;
            case PageKind::Grey8:
                line[x] = v8;
                break;
            case PageKind::Grey16:
                reinterpret_cast<WORD*>(line)[x] = v16;
                break;
            case PageKind::Rgb24:
            case PageKind::Rgba32: {
                const int step = kind == PageKind::Rgb24 ? 3 : 4;
                BYTE* p = line + x * step;
                p[FI_RGBA_RED] = v8;
                p[FI_RGBA_GREEN] = static_cast<BYTE>(255 - v8);
                p[FI_RGBA_BLUE] = static_cast<BYTE>((x * 7) & 0xFF);
                if (step == 4) {
                    p[FI_RGBA_ALPHA] = static_cast<BYTE>(128 + (y % 128));
                }
                break;
            }
            case PageKind::Rgb48: {
                auto* p = reinterpret_cast<FIRGB16*>(line) + x;
                *p = FIRGB16{v16, static_cast<WORD>(65535 - v16), static_cast<WORD>(x * 997)};
                break;
            }
            case PageKind::Rgba64: {
                auto* p = reinterpret_cast<FIRGBA16*>(line) + x;
                *p = FIRGBA16{v16, static_cast<WORD>(65535 - v16), static_cast<WORD>(x * 997), 65535};
                break;
            }
            case PageKind::RgbFloat: {
                auto* p = reinterpret_cast<FIRGBF*>(line) + x;
                *p = FIRGBF{static_cast<float>(v * 4.0), static_cast<float>(1.0 - v), 0.25F};
                break;
            }
            }
        }
    }
}

} // namespace

Bitmap makePage(PageKind kind, int width, int height)
{
    Bitmap page(allocate(kind, width, height));
    if (!page) {
        return page;
    }
    if (kind == PageKind::Bilevel || kind == PageKind::Grey8) {
        setGreyPalette(page.get());
    }
    paint(page.get(), kind, width, height);
    return page;
}

Bitmap makeSolidPage(int width, int height, unsigned red, unsigned green, unsigned blue)
{
    Bitmap page(FreeImage_Allocate(width, height, 24));
    RGBQUAD colour{static_cast<BYTE>(blue), static_cast<BYTE>(green), static_cast<BYTE>(red), 0};
    FreeImage_FillBackground(page.get(), &colour);
    return page;
}

Bitmap makePalettePage(const std::vector<Rgb>& colours, int width, int height, int block)
{
    const std::size_t count = colours.size();
    const int bpp = count <= 2 ? 1 : count <= 16 ? 4 : 8;
    Bitmap page(FreeImage_Allocate(width, height, bpp));
    if (!page || count == 0 || count > 256 || block <= 0) {
        return {};
    }
    RGBQUAD* palette = FreeImage_GetPalette(page.get());
    for (std::size_t i = 0; i < count; ++i) {
        palette[i] = RGBQUAD{static_cast<BYTE>(colours[i].blue), static_cast<BYTE>(colours[i].green),
                             static_cast<BYTE>(colours[i].red), 0};
    }
    const int blocksPerRow = (width + block - 1) / block;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto index = static_cast<BYTE>(static_cast<std::size_t>((y / block) * blocksPerRow + x / block) % count);
            FreeImage_SetPixelIndex(page.get(), static_cast<unsigned>(x), static_cast<unsigned>(height - 1 - y),
                                    &index);
        }
    }
    return page;
}

bool writeTiff(const QString& path, const std::vector<Bitmap>& pages, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    QFile::remove(path);
    if (pages.size() == 1) {
        return FreeImage_Save(FIF_TIFF, pages.front().get(), name.constData(), flags) != 0;
    }
    FIMULTIBITMAP* container = FreeImage_OpenMultiBitmap(FIF_TIFF, name.constData(), TRUE, FALSE, TRUE, flags);
    if (container == nullptr) {
        return false;
    }
    for (const Bitmap& page : pages) {
        FreeImage_AppendPage(container, page.get());
    }
    return FreeImage_CloseMultiBitmap(container, flags) != 0;
}

bool writeTiff(const QString& path, PageKind kind, int width, int height, int pageCount)
{
    std::vector<Bitmap> pages;
    for (int i = 0; i < pageCount; ++i) {
        pages.push_back(makePage(kind, width, height));
    }
    return writeTiff(path, pages);
}

Rgb pixelAt(const Bitmap& page, int x, int y)
{
    RGBQUAD value{};
    FreeImage_GetPixelColor(page.get(), static_cast<unsigned>(x), page.height() - 1 - static_cast<unsigned>(y), &value);
    return Rgb{value.rgbRed, value.rgbGreen, value.rgbBlue};
}

std::vector<Bitmap> bandsOf(const Bitmap& page, unsigned rows)
{
    std::vector<Bitmap> bands;
    for (unsigned top = 0; top < page.height(); top += rows) {
        const unsigned bottom = std::min(page.height(), top + rows);
        bands.emplace_back(FreeImage_Copy(page.get(), 0, static_cast<int>(top), static_cast<int>(page.width()),
                                          static_cast<int>(bottom)));
    }
    return bands;
}

} // namespace fixtures

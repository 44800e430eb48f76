// Writes the deterministic benchmark corpus: make-corpus <folder>.
// Photo-like RGB pages (smooth gradients, soft blobs and sensor-like noise, so compressors work as
// they do on real photographs), three-page documents, 16-bit grey scans and bilevel fax pages with
// text-like strokes. The same folder content comes out on every run.
#include "engine/core/bitmap.h"
#include "support/tiff_fixtures.h"

#include "generator_main.h"
#include "photo_field.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

Bitmap photoPage(int width, int height, int seed)
{
    Bitmap page(FreeImage_Allocate(width, height, 24));
    Noise noise(photoNoiseSeed(seed));
    for (int y = 0; y < height; ++y) {
        photoRow(FreeImage_GetScanLine(page.get(), height - 1 - y), y, width, height, seed, noise,
                 {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE});
    }
    return page;
}

Bitmap greyScan(int width, int height, int seed)
{
    Bitmap page(FreeImage_AllocateT(FIT_UINT16, width, height));
    Noise noise(static_cast<std::uint32_t>(seed * 104729 + 3));
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<WORD*>(FreeImage_GetScanLine(page.get(), height - 1 - y));
        const double v = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double level = 65535.0 * std::clamp(field(u, v, seed, 1), 0.0, 1.0) + noise.centred(900);
            line[x] = static_cast<WORD>(std::clamp(level, 0.0, 65535.0));
        }
    }
    return page;
}

// Lines of "words": black rectangles of random width on a white page, with margins.
Bitmap faxPage(int width, int height, int seed)
{
    Bitmap page(FreeImage_Allocate(width, height, 1));
    RGBQUAD* palette = FreeImage_GetPalette(page.get());
    palette[0] = RGBQUAD{0, 0, 0, 0};
    palette[1] = RGBQUAD{255, 255, 255, 0};
    const unsigned pitch = FreeImage_GetPitch(page.get());
    for (int y = 0; y < height; ++y) {
        std::fill_n(FreeImage_GetScanLine(page.get(), y), pitch, BYTE{0xFF});
    }
    Noise noise(static_cast<std::uint32_t>(seed * 31 + 5));
    const int margin = width / 10;
    for (int top = height / 12; top + 40 < height - height / 12; top += 60) {
        for (int x = margin; x < width - margin;) {
            const int word = 30 + static_cast<int>(noise.next() % 140);
            const int right = std::min(x + word, width - margin);
            for (int y = top; y < top + 34; ++y) {
                BYTE* line = FreeImage_GetScanLine(page.get(), height - 1 - y);
                for (int px = x; px < right; ++px) {
                    if (noise.next() % 5 != 0) {  // ragged strokes, not solid bars
                        line[px / 8] &= static_cast<BYTE>(~(0x80 >> (px % 8)));
                    }
                }
            }
            x = right + 20;
        }
    }
    return page;
}

bool write(const QString& path, std::vector<Bitmap> pages, int flags)
{
    if (!fixtures::writeTiff(path, pages, flags)) {
        std::fprintf(stderr, "make-corpus: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QString name(const QString& folder, const char* stem, int index)
{
    return folder + QStringLiteral("/%1-%2.tif").arg(QLatin1String(stem)).arg(index, 2, 10, QLatin1Char('0'));
}

bool writeCorpus(const QString& folder)
{
    bool ok = true;
    for (int i = 1; ok && i <= 24; ++i) {
        std::vector<Bitmap> pages;
        pages.push_back(photoPage(2400, 1800, i));
        ok = write(name(folder, "photo", i), std::move(pages), TIFF_LZW);
    }
    for (int i = 1; ok && i <= 8; ++i) {
        std::vector<Bitmap> pages;
        for (int p = 0; p < 3; ++p) {
            pages.push_back(photoPage(1200, 900, 100 + i * 3 + p));
        }
        ok = write(name(folder, "document", i), std::move(pages), TIFF_LZW);
    }
    for (int i = 1; ok && i <= 8; ++i) {
        std::vector<Bitmap> pages;
        pages.push_back(greyScan(2000, 1500, 200 + i));
        ok = write(name(folder, "grey16", i), std::move(pages), TIFF_LZW);
    }
    for (int i = 1; ok && i <= 8; ++i) {
        std::vector<Bitmap> pages;
        pages.push_back(faxPage(2480, 3508, 300 + i));
        ok = write(name(folder, "fax", i), std::move(pages), TIFF_CCITTFAX4);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-corpus", writeCorpus);
}

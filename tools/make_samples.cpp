// Writes the sample TIFFs bundled in samples/: make-samples <folder>.
// Small pages of every kind a user meets: an RGB photo, a three-page document, a 16-bit grey scan
// and a bilevel fax page.
#include "support/tiff_fixtures.h"

#include "generator_main.h"

#include <QString>

#include <cstdio>
#include <vector>

using fixtures::PageKind;

namespace {

constexpr int barHeight = 8;
constexpr int barStep = 14;
constexpr int margin = 10;

// A document page that shows its number as that many black bars across the top margin, so a
// page taken for another shows in the output.
Bitmap numberedPage(int number, int width, int height)
{
    Bitmap page = fixtures::makePage(PageKind::Rgb24, width, height);
    RGBQUAD black{0, 0, 0, 0};
    for (int bar = 0; bar < number; ++bar) {
        const int top = margin + bar * barStep;
        for (int y = top; y < top + barHeight && y < height; ++y) {
            for (int x = margin; x < width - margin; ++x) {
                FreeImage_SetPixelColor(page.get(), static_cast<unsigned>(x), static_cast<unsigned>(height - 1 - y),
                                        &black);
            }
        }
    }
    return page;
}

std::vector<Bitmap> numberedPages(int count, int width, int height)
{
    std::vector<Bitmap> pages;
    for (int number = 1; number <= count; ++number) {
        pages.push_back(numberedPage(number, width, height));
    }
    return pages;
}

std::vector<Bitmap> singlePage(PageKind kind, int width, int height)
{
    std::vector<Bitmap> pages;
    pages.push_back(fixtures::makePage(kind, width, height));
    return pages;
}

bool writeSample(const QString& folder, const char* name, const std::vector<Bitmap>& pages, int flags)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!fixtures::writeTiff(path, pages, flags)) {
        std::fprintf(stderr, "make-samples: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-samples", [](const QString& folder) {
        return writeSample(folder, "photo-rgb.tif", singlePage(PageKind::Rgb24, 320, 240), TIFF_LZW) &&
               writeSample(folder, "document-3-pages.tif", numberedPages(3, 200, 280), TIFF_LZW) &&
               writeSample(folder, "scan-grey16.tif", singlePage(PageKind::Grey16, 240, 180), TIFF_ADOBE_DEFLATE) &&
               writeSample(folder, "fax-bilevel.tif", singlePage(PageKind::Bilevel, 620, 877), TIFF_CCITTFAX4);
    });
}

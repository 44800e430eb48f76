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

bool writeSample(const QString& folder, const char* name, PageKind kind, int width, int height, int pages,
                 int flags)
{
    std::vector<Bitmap> content;
    for (int i = 0; i < pages; ++i) {
        content.push_back(fixtures::makePage(kind, width, height));
    }
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!fixtures::writeTiff(path, content, flags)) {
        std::fprintf(stderr, "make-samples: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-samples", [](const QString& folder) {
        return writeSample(folder, "photo-rgb.tif", PageKind::Rgb24, 320, 240, 1, TIFF_LZW) &&
               writeSample(folder, "document-3-pages.tif", PageKind::Rgb24, 200, 280, 3, TIFF_LZW) &&
               writeSample(folder, "scan-grey16.tif", PageKind::Grey16, 240, 180, 1, TIFF_ADOBE_DEFLATE) &&
               writeSample(folder, "fax-bilevel.tif", PageKind::Bilevel, 620, 877, 1, TIFF_CCITTFAX4);
    });
}

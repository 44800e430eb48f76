// Writes one TIFF of every layout in tests/support/tiff_variants.h: make-tiff-variants <folder>.
#include "support/tiff_variants.h"

#include "generator_main.h"

#include <cstdio>

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-tiff-variants", [](const QString& folder) {
        int written = 0;
        for (const fixtures::TiffVariant& variant : fixtures::tiffVariants()) {
            written += fixtures::writeTiffVariant(folder + QLatin1Char('/') + variant.name + QStringLiteral(".tif"),
                                                  variant, 40, 32)
                           ? 1
                           : 0;
        }
        std::printf("%d TIFF variants in %s\n", written, qPrintable(folder));
        return written > 0;
    });
}

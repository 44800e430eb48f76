// Writes one TIFF of every layout in tests/support/tiff_variants.h, the old-style JPEG TIFFs made
// of tables and strips, and a scan that carries every kind of metadata:
// make-tiff-variants <folder>.
#include "support/old_jpeg_tiff.h"
#include "support/tiff_fixtures.h"
#include "support/tiff_variants.h"

#include "generator_main.h"

#include <QFile>

#include <cstdio>

namespace {

constexpr int width = 40;
constexpr int height = 32;

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A turned 300 dpi scan with an Adobe RGB profile, XMP and every text tag.
bool writeScan(const QString& path)
{
    fixtures::TiffExtras extras;
    extras.iccProfile = fixtures::adobeRgbProfile();
    extras.xmpPacket = QByteArrayLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><scan/></x:xmpmeta>");
    extras.description = "Survey sheet";
    extras.artist = "Scanner operator";
    extras.copyright = "Survey office";
    extras.dateTime = "2024:03:01 10:20:30";
    extras.dpi = 300;
    extras.orientation = 6;
    const fixtures::TiffVariant rgb{QStringLiteral("scan"), 2 /* RGB */, 8, 3};
    return fixtures::writeTiffVariant(path, rgb, width, height, extras);
}

} // namespace

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-tiff-variants", [](const QString& folder) {
        const QString base = folder + QLatin1Char('/');
        int written = 0;
        for (const fixtures::TiffVariant& variant : fixtures::tiffVariants()) {
            written += fixtures::writeTiffVariant(base + variant.name + QStringLiteral(".tif"), variant, width, height);
        }
        const Bitmap picture = fixtures::makePage(fixtures::PageKind::Rgb24, width, height);
        written += writeBytes(base + QStringLiteral("ojpeg-2x1.tif"), fixtures::tableStyleJpegTiff(picture, 1, height));
        written +=
            writeBytes(base + QStringLiteral("ojpeg-2x2-strips.tif"), fixtures::tableStyleJpegTiff(picture, 2, 16));
        written += writeScan(base + QStringLiteral("scan-with-metadata.tif"));
        std::printf("%d TIFFs in %s\n", written, qPrintable(folder));
        return written > 0;
    });
}

// Writes the malformed-TIFF corpus: make-malformed <folder>. See tests/support/malformed_tiffs.h.
#include "support/malformed_tiffs.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-malformed FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    FreeImage_Initialise();
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    int written = 0;
    for (const fixtures::MalformedTiff& file : fixtures::malformedTiffs()) {
        QFile out(folder + QLatin1Char('/') + file.name);
        if (out.open(QIODevice::WriteOnly) && out.write(file.bytes) == file.bytes.size()) {
            ++written;
        }
    }
    FreeImage_DeInitialise();
    std::printf("%d malformed TIFFs in %s\n", written, qPrintable(folder));
    return 0;
}

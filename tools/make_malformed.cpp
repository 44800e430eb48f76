// Writes the malformed-TIFF corpus: make-malformed <folder>. See tests/support/malformed_tiffs.h.
#include "support/malformed_tiffs.h"

#include "generator_main.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    return runGenerator(argc, argv, "make-malformed", [](const QString& folder) {
        int written = 0;
        for (const fixtures::MalformedTiff& file : fixtures::malformedTiffs()) {
            QFile out(folder + QLatin1Char('/') + file.name);
            if (out.open(QIODevice::WriteOnly) && out.write(file.bytes) == file.bytes.size()) {
                ++written;
            }
        }
        std::printf("%d malformed TIFFs in %s\n", written, qPrintable(folder));
        return true;
    });
}

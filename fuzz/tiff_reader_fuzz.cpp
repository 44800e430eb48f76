// The TIFF reader on arbitrary bytes: every page of the file through InputDocument::loadPage, the
// one way a page comes in. The first byte says whether CMYK pages are kept as CMYK (as for a CMYK
// TIFF output); the rest is the file. Files whose page headers claim more than a small page (or
// many pages) are passed over so each run stays fast; the header reader they go through is the
// reader's own. Linked with the libtiff built with the same sanitizers, so a fault inside libtiff
// on these bytes is reported too.
#include "engine/decode/page_loader.h"
#include "fuzz_support.h"

#include <tiffio.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // libtiff's complaints about every damaged input would only bury the fuzzer's own output.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const bool keepCmyk = data[0] & 1;
    const QString path = fuzz::scratchPath(QStringLiteral("page.tif"));
    if (!fuzz::writeScratchFile(path, fuzz::bytesOf(data + 1, size - 1)) || !fuzz::smallTiff(path)) {
        return 0;
    }
    InputDocument document(path, keepCmyk);
    for (int index = 0; index < document.pageCount(); ++index) {
        (void)document.loadPage(index);
    }
    return 0;
}

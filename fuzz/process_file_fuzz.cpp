// processCurrentFile on arbitrary bytes saved as a .tif. The first byte picks the output format,
// the second the page selection and a few processing steps; the rest is the file. Files whose
// page headers claim more than a small page (or many pages) are passed over so each run stays
// fast; the header reader they go through is the loader's own.
#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/core/run_context.h"
#include "engine/decode/page_loader.h"
#include "engine/formats/format_catalogue.h"
#include "engine/run/conversion_run.h"
#include "engine/run/pipeline.h"
#include "fuzz_support.h"

#include <QDir>

#include <tiffio.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    buildFormatTables();
    // libtiff's complaints about every damaged input would only bury the fuzzer's own output.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const std::uint8_t formatByte = data[0];
    const std::uint8_t stepBits = data[1];
    const QString input = fuzz::scratchPath(QStringLiteral("page.tif"));
    if (!fuzz::writeScratchFile(input, fuzz::bytesOf(data + 2, size - 2)) || !fuzz::smallTiff(input)) {
        return 0;
    }

    Settings settings;
    resetToDefaults(settings, true);
    settings.input.tiffFrameLoading = stepBits & 0x3;
    settings.transform.doImageRotation = (stepBits >> 2) & 1;
    settings.transform.imageRotation = 90;
    settings.transform.doImageFlipHorizontal = (stepBits >> 3) & 1;
    settings.adjustment.doImageGreyscale = (stepBits >> 4) & 1;
    settings.adjustment.doImageThreshold = (stepBits >> 5) & 1;
    settings.adjustment.imageThreshold = 128;

    JobState job;
    job.consoleRun = 1;
    job.outputFolder = fuzz::scratchPath(QStringLiteral("out/"));
    QDir out(job.outputFolder);
    out.removeRecursively();
    out.mkpath(QStringLiteral("."));
    const QStringList& formats = outputFormatList();
    job.outputKey = formats.at(formatByte % formats.size());
    if (!prepareRun(settings, job)) {
        return 0;
    }
    job.inputPath = input;
    RunContext context{settings, job};
    (void)processCurrentFile(context);
    return 0;
}

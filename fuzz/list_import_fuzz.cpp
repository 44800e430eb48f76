// The list-file import: arbitrary bytes saved as a list file whose lines name files and folders.
// The scratch folder holds a few real inputs so that some lines can name something that exists.
#include "engine/format_catalogue.h"
#include "engine/input_file_list.h"
#include "engine/job_state.h"
#include "engine/run_progress.h"
#include "fuzz_support.h"

#include <QDir>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    buildFormatTables();
    const QString root = fuzz::scratch().path();
    QDir(root).mkpath(QStringLiteral("in/sub"));
    fuzz::writeScratchFile(root + QStringLiteral("/in/a.tif"), QByteArray("II*\0", 4));
    fuzz::writeScratchFile(root + QStringLiteral("/in/sub/b.TIFF"), QByteArray("MM\0*", 4));
    fuzz::writeScratchFile(root + QStringLiteral("/in/empty.tif"), QByteArray());
    fuzz::writeScratchFile(root + QStringLiteral("/in/c.txt"), QByteArray("x"));
    QDir::setCurrent(root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::scratchPath(QStringLiteral("list.txt"));
    if (!fuzz::writeScratchFile(path, fuzz::bytesOf(data, size))) {
        return 0;
    }
    InputFileList list;
    JobState job;
    job.inputPath = path;
    RunProgress progress;
    progress.start();
    listImportWorker(list, job, progress);
    const RunProgress::Snapshot done = progress.snapshot();
    if (done.convertedCount != list.size() || list.size() > 3) {
        std::abort(); // the count reported must be the files added, and only real inputs are added
    }
    (void)listLineEstimate(path);
    return 0;
}

// The list-file import: arbitrary bytes saved as a list file whose lines name files and folders.
// The scratch folder holds a few real inputs so that some lines can name something that exists.
#include "engine/core/job_state.h"
#include "engine/core/run_progress.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"
#include "fuzz_support.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

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

namespace {

// True when a line of the list, decoded as the import decodes it, names something outside the
// scratch folder ("/", "../.."): importing it would scan the machine's own folders, which takes
// minutes and says nothing about the import.
bool leavesScratch(const QByteArray& bytes)
{
    const QString root = QFileInfo(fuzz::scratch().path()).canonicalFilePath();
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(bom.value_or(QStringConverter::Utf8));
    const QString text = decoder.decode(bytes);
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[\\r\\n]")))) {
        const QString line = part.trimmed();
        const QFileInfo info(line);
        if (!line.isEmpty() && info.exists()) {
            const QString canonical = info.canonicalFilePath();
            if (canonical != root && !canonical.startsWith(root + QLatin1Char('/'))) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString path = fuzz::scratchPath(QStringLiteral("list.txt"));
    if (leavesScratch(bytes) || !fuzz::writeScratchFile(path, bytes)) {
        return 0;
    }
    InputFileList list;
    JobState job;
    job.inputPath = path;
    RunProgress progress;
    progress.start();
    listImportWorker(list, job, progress);
    const RunProgress::Snapshot done = progress.snapshot();
    // One file may enter several times under different spellings ("in/a.tif", "./in/a.tif"): the
    // list keeps paths exactly as named. The count reported must still be the entries added.
    if (done.convertedCount != list.size()) {
        std::abort();
    }
    (void)listLineEstimate(path);
    return 0;
}

#include "engine/inputs/list_export.h"

#include "engine/core/run_progress.h"

#include <QSaveFile>

void exportListWorker(const QStringList& rows, const QString& listFile, RunProgress& progress)
{
    std::int32_t written = 0;
    QSaveFile file(listFile);
    if (file.open(QIODevice::WriteOnly)) {
        bool ok = file.write("\xEF\xBB\xBF") == 3;
        for (qsizetype i = 0; ok && i < rows.size(); ++i) {
            progress.passGate();
            if (!progress.isRunning()) {
                break;
            }
            progress.setProcessed(static_cast<std::int32_t>(i + 1));
            const QByteArray line = rows.at(i).toUtf8() + "\r\n";
            ok = file.write(line) == line.size();
            written += ok ? 1 : 0;
        }
        // A write that failed half way leaves the old file as it was: nothing was saved.
        if (!ok || !file.commit()) {
            written = 0;
        }
    }
    progress.addConverted(written);
}

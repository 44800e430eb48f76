#include "gui/start_files.h"

#include "engine/input_file_list.h"
#include "gui/desktop_records.h"
#include "gui/main_window.h"

#include <QDir>
#include <QFileInfo>

void addFilesNamedAtStart(MainWindow& window, DesktopRecords& records, const QStringList& parameters)
{
    const InputListHooks hooks = window.inputListHooks();
    for (const QString& parameter : parameters) {
        if (parameter.startsWith(u'-')) {
            continue;
        }
        const QFileInfo named(parameter);
        if (!named.exists()) {
            continue;
        }
        const QString path = QDir::cleanPath(named.absoluteFilePath());
        if (named.isDir()) {
            records.job.inputFolder = path.endsWith(u'/') ? path : path + u'/';
            scanFolder(records.inputFiles, records.job, records.job.inputFolder, &hooks);
        }
        addInputFile(records.inputFiles, records.job, path, &hooks); // refuses folders
    }
}

#include "gui/output_choosers.h"

#include "app/folder_history.h"
#include "engine/formats/format_catalogue.h"

#include <QComboBox>
#include <QSignalBlocker>

// Filling a chooser is not a choice of the user: no change signal leaves while it is filled.

void fillOutputFormats(QComboBox& combo, bool withDescription, const QString& selectedKey, const QIcon& icon)
{
    const QSignalBlocker quiet(combo);
    combo.clear();
    const QStringList& keys = outputFormatList();
    int selected = 0;
    for (int i = 0; i < keys.size(); ++i) {
        if (keys.at(i).isEmpty()) {
            continue;
        }
        if (keys.at(i) == selectedKey) {
            selected = combo.count();
        }
        combo.addItem(icon, outputFormatLabel(keys.at(i), withDescription), i);
    }
    combo.setCurrentIndex(combo.count() > 0 ? selected : -1);
}

QString selectedOutputFormat(const QComboBox& combo)
{
    bool ok = false;
    const int position = combo.currentData().toInt(&ok);
    const QStringList& keys = outputFormatList();
    return ok && position >= 0 && position < keys.size() ? keys.at(position) : QString();
}

void fillFolderHistory(QComboBox& combo, const Settings& settings, const QString& outputFolder, const QIcon& icon)
{
    if (settings.file.recentOutFolders.isEmpty()) {
        return;
    }
    const QSignalBlocker quiet(combo);
    combo.clear();
    int selected = 0;
    for (int i = 0; i < settings.advanced.outFoldersNumber; ++i) {
        const QString entry = folderHistoryEntry(settings, i);
        if (entry.isEmpty()) {
            continue;
        }
        if (entry == outputFolder) {
            selected = combo.count();
        }
        combo.addItem(icon, entry);
    }
    combo.setCurrentIndex(combo.count() > 0 ? selected : -1);
}

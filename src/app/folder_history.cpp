#include "app/folder_history.h"

#include <QStringList>

#include <zlib.h>

namespace {

// Two entries name the same folder when their upper-case forms have the same CRC-32; stored
// histories were thinned out this way, so the same rule keeps them stable.
quint32 caseFoldedChecksum(const QString& text)
{
    const QByteArray bytes = text.toUpper().toUtf8();
    return static_cast<quint32>(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.constData()),
                                      static_cast<uInt>(bytes.size())));
}

} // namespace

QString folderHistoryEntry(const Settings& settings, int index)
{
    const QStringList fields = settings.file.recentOutFolders.split(QLatin1Char('\t'));
    if (index < 0 || index >= fields.size()) {
        return {};
    }
    return fields.at(index).trimmed();
}

bool addToFolderHistory(Settings& settings, const QString& folder)
{
    if (folder.isEmpty()) {
        return false;
    }
    const int limit = settings.advanced.outFoldersNumber;
    const quint32 newChecksum = caseFoldedChecksum(folder);
    QString history = folder;
    int kept = 1;
    for (int i = 0; i < limit; ++i) {
        const QString entry = folderHistoryEntry(settings, i);
        if (!entry.isEmpty() && kept <= limit - 1 && caseFoldedChecksum(entry) != newChecksum) {
            history += QLatin1Char('\t') + entry;
            ++kept;
        }
    }
    settings.file.recentOutFolders = history;
    return true;
}

void applyFolderHistoryExitRule(Settings& settings)
{
    if (settings.advanced.outFoldersHistory == 0) {
        settings.file.recentOutFolders.clear();
    }
}

#include "cli/progress_line.h"

#include <QFileInfo>

#include <algorithm>

QString progressText(const QString& label, std::int32_t done, std::int32_t total, const QString& currentFile,
                     std::int64_t elapsedSeconds, int columns)
{
    const std::int64_t minutes = elapsedSeconds / 60;
    const std::int64_t seconds = elapsedSeconds % 60;
    QString text = label + u' ' + QString::number(done);
    if (total > 0) {
        text += u'/' + QString::number(total);
    }
    text += QStringLiteral("  %1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(seconds, 2, 10, QLatin1Char('0'));

    // One column stays free: a line that fills the terminal exactly wraps on some terminals.
    const qsizetype width = std::max(columns - 1, 0);
    const QString name = QFileInfo(currentFile).fileName();
    if (!name.isEmpty()) {
        const qsizetype room = width - text.size() - 2;
        if (room >= name.size()) {
            text += QStringLiteral("  ") + name;
        } else if (room >= 5) {
            // Keep both ends of the name: the end carries the page or sequence number.
            const qsizetype tail = (room - 1) / 2;
            const qsizetype head = room - 1 - tail;
            text += QStringLiteral("  ") + name.left(head) + QChar(0x2026) + name.right(tail);
        }
    }
    if (text.size() > width) {
        text.truncate(width);
    }
    return text;
}

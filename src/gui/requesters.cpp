#include "gui/requesters.h"

#include "gui/message_boxes.h"

#include <QFileDialog>

Requesters systemRequesters()
{
    Requesters requesters;
    requesters.openFiles = [](QWidget* parent, const QString& title, const QString& start, const QString& filter) {
        return QFileDialog::getOpenFileNames(parent, title, start, filter);
    };
    requesters.chooseFolder = [](QWidget* parent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, title, start);
    };
    requesters.openFile = [](QWidget* parent, const QString& title, const QString& proposed, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, proposed, filter);
    };
    requesters.saveFile = [](QWidget* parent, const QString& title, const QString& proposed, const QString& filter) {
        // The export asks its own overwrite question, with its own rule (only a file with content).
        return QFileDialog::getSaveFileName(parent, title, proposed, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };
    requesters.askWarning = [](const QString& text) { return askWarning(text); };
    return requesters;
}

QString requesterFilter(const QString& pairs)
{
    const QStringList fields = pairs.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString patterns = fields.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = fields.at(i);
        // "*.*" is every file where names have extensions by rule; here it is "*".
        if (patterns == QLatin1String("*.*")) {
            description.replace(QLatin1String("(*.*)"), QLatin1String("(*)"));
        }
        // "All Files (*.*)" names its patterns already.
        if (!description.endsWith(QLatin1Char(')'))) {
            description += QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
        entries.append(description);
    }
    return entries.join(QStringLiteral(";;"));
}

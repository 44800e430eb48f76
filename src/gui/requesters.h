#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The system requesters and the yes/no warning the list commands and the progress windows use.
// The main window holds one set; tests replace them to answer without a user.
struct Requesters {
    // Open-file requester for several files: the chosen files, in the order the requester gives them.
    std::function<QStringList(QWidget* parent, const QString& title, const QString& start, const QString& filter)>
        openFiles;
    // Folder chooser: the chosen folder, or empty.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> chooseFolder;
    // Open-file and save-file requesters for one file: the chosen file, or empty.
    std::function<QString(QWidget* parent, const QString& title, const QString& proposed, const QString& filter)>
        openFile;
    std::function<QString(QWidget* parent, const QString& title, const QString& proposed, const QString& filter)>
        saveFile;
    // The yes/no warning box; true for Yes.
    std::function<bool(const QString& text)> askWarning;
};

// The system's own requesters and message box.
Requesters systemRequesters();

// A filter in the catalogue's "description|patterns|description|patterns" form as the requesters
// take it: "description (patterns)" entries separated by ";;".
QString requesterFilter(const QString& pairs);

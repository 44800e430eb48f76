#pragma once

#include <QString>

#include <functional>

class FileListModel;
class QWidget;
struct ConsoleForms;
struct DesktopRecords;
struct Requesters;

// The Converter menu's commands that take the window's settings to the console tool and back.

// Save Settings as Profile...: the settings that differ from the console's defaults, as a
// profile file the user names. False when nothing was written.
bool saveSettingsAsProfile(QWidget* parent, const DesktopRecords& records, const Requesters& requesters,
                           const ConsoleForms& forms);

// Load Profile...: a profile file the user chooses, applied to the settings as Preferences OK
// applies its controls; `applied` rebuilds the main window as after OK. False when nothing was
// applied.
bool loadProfileIntoSettings(QWidget* parent, DesktopRecords& records, const Requesters& requesters,
                             const ConsoleForms& forms, const std::function<void(int formatPosition)>& applied);

// What Copy Command Line converts: the list's rows, the output folder and format the main window
// shows, and the list export that turns several rows into one list file (true when written, its
// name then in records.job.file.inputPath).
struct ListAtHand {
    const FileListModel& rows;
    QString outputFolder;
    QString outputKey;
    std::function<bool()> exportList;
};

// Copy Command Line: a console command converting the list as the window would, on the clipboard.
// False when nothing was copied.
bool copyCommandLine(const ListAtHand& list, const DesktopRecords& records, const ConsoleForms& forms);

#pragma once

class MainWindow;
struct ConsoleForms;
struct DesktopRecords;
struct Requesters;

// The Converter menu's commands that take the window's settings to the console tool and back.

// Save Settings as Profile...: the settings that differ from the console's defaults, as a
// profile file the user names. False when nothing was written.
bool saveSettingsAsProfile(MainWindow& window, const DesktopRecords& records, const Requesters& requesters,
                           const ConsoleForms& forms);

// Load Profile...: a profile file the user chooses, applied to the settings as Preferences OK
// applies its controls. False when nothing was applied.
bool loadProfileIntoSettings(MainWindow& window, DesktopRecords& records, const Requesters& requesters,
                             const ConsoleForms& forms);

// Copy Command Line: a console command converting the list as the window would, on the clipboard.
// A list of several files is first exported to a list file the user chooses. False when nothing
// was copied.
bool copyCommandLine(MainWindow& window, DesktopRecords& records, const ConsoleForms& forms);

#pragma once

class WindowPort;
struct DesktopRecords;
struct Requesters;

// The Convert command: takes the output folder and format from the main window, checks the list,
// the folder, the resize values and the watermark (a problem is a warning box, and for the first
// three "Conversion stopped" in the status bar), prepares the run, puts the folder at the top of
// the history and converts the list under the conversion progress window.
void startGuiConversion(WindowPort& window, DesktopRecords& records, const Requesters& requesters);

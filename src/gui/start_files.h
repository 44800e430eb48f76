#pragma once

#include <QStringList>

class MainWindow;
struct DesktopRecords;

// The files and folders named on the command line of a windowed start (the desktop's "Open With")
// go into the file list as a drop of them would: a folder becomes the input folder and every TIFF
// below it is added, a file is added. Parameters that begin with "-" or name nothing that exists
// are passed over. Relative names are taken from the current folder.
//
// A dropped folder is imported behind a progress window that can stop it; until that window is
// part of the program, the folder is scanned here directly.
void addFilesNamedAtStart(MainWindow& window, DesktopRecords& records, const QStringList& parameters);

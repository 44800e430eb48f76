#pragma once

#include <QImage>
#include <QString>

// The "-T FOLDER" start, for the maker's web pages: the main window with the default settings and
// sample names, captured with its frame, the web address drawn on it, saved as FOLDER/tessaline1.jpg
// and a 180-pixel-wide copy FOLDER/tessaline1x.jpg. An empty folder means the program's folder; a
// folder that does not exist gives nothing. Reads and writes no settings. Returns the exit status:
// 0, or 1 with an "Error: " line when there is no display or a picture cannot be written.
int runScreenshotMode(int& argc, char** argv, const QString& folderText);

// The captured window with the maker's web address drawn near its lower right corner.
QImage signedScreenshot(const QImage& capture);

// The small copy: 180 pixels wide, the height in proportion, rounded to the nearest pixel.
QImage thumbnailOf(const QImage& screenshot);

// Writes a picture as JPEG at quality 9 of 10, completely or not at all.
bool saveScreenshotJpeg(const QImage& image, const QString& path);

#pragma once

#include "app/settings.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// The configuration file of the windowed mode: an INI-style text, UTF-8 with a byte order mark
// and CR LF line ends, holding every written setting of the descriptor table.

// <XDG config folder>/Morvane/tessaline/config.ini. Creates the two folders when nothing of
// their name exists; a failure there shows up only as a file that cannot be read or written.
// Build it once at start-up and keep it.
QString configurationPath();

// Reads the file into settings. A file that cannot be opened (missing, a folder, unreadable)
// gives the windowed defaults; an empty file is a file without entries. desktop is the primary
// screen size for the centred window defaults (invalid: no screen).
void loadConfiguration(Settings& settings, const QString& path, QSize desktop = QSize());

// The same from the file's bytes, for callers and tests that already hold them.
void readConfiguration(Settings& settings, const QByteArray& bytes);

// Writes every setting to the file through a temporary file that replaces the old one only
// when complete. Returns false when the file could not be written; the old file is then intact.
bool saveConfiguration(const Settings& settings, const QString& path);

// The exact bytes saveConfiguration writes.
QByteArray serialiseConfiguration(const Settings& settings);

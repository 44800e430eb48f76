#pragma once

#include "app/settings.h"

#include <QString>
#include <QStringList>

// Applies the [CLI] group of a profile file to the settings: each key is a long option name
// ("--JPG-QUALITY = 90"), taken in file order. False only when the file cannot be opened; a file
// without the group changes nothing and still succeeds. Unknown keys and doubtful values are
// appended to warnings (when given), one text per "Warning: " line.
bool loadProfile(const QString& path, Settings& settings, QStringList* warnings = nullptr);

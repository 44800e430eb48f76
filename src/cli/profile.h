#pragma once

#include "app/settings.h"
#include "cli/option_table.h"

#include <QString>
#include <QStringList>

// Applies the [CLI] group of a profile file to the settings and the run limits (--THREADS,
// --MEMORY): each key is a long option name ("--JPG-QUALITY = 90"), taken in file order. A file
// without the group changes nothing and still succeeds. Unknown keys and doubtful values are
// appended to warnings (when given), one text per "Warning: " line. Returns the "Error: " text of
// a failure ("Invalid profile file" when the file cannot be opened, "Invalid memory value" for a
// bad run limit, which ends the reading there); empty on success.
QString loadProfile(const QString& path, Settings& settings, RunLimits& limits, QStringList* warnings = nullptr);

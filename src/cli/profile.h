#pragma once

#include "app/settings.h"
#include "cli/option_table.h"
#include "cli/option_warnings.h"

#include <QString>
#include <QStringList>

#include <vector>

// Applies the [CLI] group of a profile file to the settings and the run limits (--THREADS,
// --MEMORY, --STRICT): each key is a long option name ("--JPG-QUALITY = 90"), taken in file order. A file
// without the group changes nothing and still succeeds. Unknown keys and doubtful values are
// appended to warnings (when given), as is a file without a [CLI] group. Returns the error of a
// failure ("Invalid profile file" when the file cannot be opened, "Invalid memory value" for a bad
// run limit, which ends the reading there); empty on success.
ConsoleError loadProfile(const QString& path, Settings& settings, RunLimits& limits,
                    std::vector<Warning>* warnings = nullptr);

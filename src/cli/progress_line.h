#pragma once

#include <QString>

#include <cstdint>

// The one-line progress indicator of a console run on a terminal: what is being done, how far it
// is, the elapsed time and the file in hand, shortened so the line never wraps.
// "Converting 3/10  00:12  scan-0003.tif"; total 0 leaves the count as "3".
QString progressText(const QString& label, std::int32_t done, std::int32_t total, const QString& currentFile,
                     std::int64_t elapsedSeconds, int columns);

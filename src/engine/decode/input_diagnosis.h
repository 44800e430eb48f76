#pragma once

#include "engine/core/file_failure.h"

#include <QString>

// Why an input could not be decoded, told from the file system, the file's first bytes and its
// page headers (read with libtiff, no pixels decoded).

// Why a file that could not be opened as a TIFF failed: missing, unreadable, not a TIFF, a page
// beyond the size limit, or damaged.
FileFailure diagnoseUnreadableInput(const QString& path);

// Why page `index` (0-based) of a TIFF failed to decode: beyond the size limit or damaged.
FileFailure diagnoseFailedPage(const QString& path, int index);

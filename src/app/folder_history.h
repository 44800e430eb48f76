#pragma once

#include "app/settings.h"

#include <QString>

// The output folder history, kept in File/Recent Out Folders: folder paths joined by TAB, most
// recent first. Advanced/Out Folders Number says how many entries matter.

// Entry `index` (0-based) with blanks trimmed; empty past the end.
QString folderHistoryEntry(const Settings& settings, int index);

// Puts `folder` at the top and keeps at most Out Folders Number entries, dropping any other entry
// that names the same folder in another letter case. False (and nothing changes) for an empty folder.
bool addToFolderHistory(Settings& settings, const QString& folder);

// What the exit of the windowed mode does to the history: empties it when Out Folders History is
// "Clean on Exit" (0).
void applyFolderHistoryExitRule(Settings& settings);

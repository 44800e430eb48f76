#pragma once

#include <QString>

// The version as the program carries it: 260 is 2.6.
inline constexpr int programVersion = 260;

// 260 -> "2.6", 261 -> "2.6.1".
QString versionText(int version);

// "Tessaline 2.6": window and console title, name of the single-instance lock.
QString programTitle();

// Folder of the running executable, with a trailing "/".
QString programFolder();

// Folder of the program's data (the theme packs in gfx/ and the user manual), with a trailing "/":
// the program's own folder when gfx/ lies beside the executable (the build tree, an unpacked
// copy), else the installed data folder reached from the program's folder ("../share/tessaline/").
QString programDataFolder();
// The same for a given program folder (with its trailing "/").
QString dataFolderFor(const QString& programFolder);

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

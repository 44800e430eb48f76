#pragma once

#include "app/settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The window's settings in the console's words: the options a console run needs to convert as
// the window does, a profile file holding them, and a command line quoted for a POSIX shell.
// A setting is said when it differs from the console's default and an option can set it: the
// console starts from its defaults, so those options and nothing else make its settings the
// window's.

struct ConsoleSetting {
    QString name;          // "--JPG-QUALITY" (the option's long name)
    QString profileKey;    // the profile key, usually the same name
    QString value;         // empty for a switch
    bool hasValue = false; // false for a switch
};

// In option table order. A value behind a "Do" setting that is off is not said (the option would
// turn the step on); a step that is on but whose values are all at their defaults is turned on by
// its first option with its value.
std::vector<ConsoleSetting> consoleSettings(const Settings& settings);

// A profile file: UTF-8 with a byte order mark, a "[CLI]" group, one "KEY = value" line per
// setting, each line ending with CR LF.
QByteArray profileText(const Settings& settings);

// Makes the settings that options can set those of the profile: each goes back to the console's
// default, then the profile's keys are applied in file order. Settings no option can set (the
// window's own) are kept. The "Error: " text of loadProfile when the file cannot be read; empty
// on success.
QString applyProfile(const QString& path, Settings& settings);

// The console command that converts `input` (a file or a list file) into `outputFolder` as
// `outputKey` with the settings: program, -i, -o, -c and the options, each word quoted for a
// POSIX shell where it needs it.
QString consoleCommandLine(const QString& program, const QString& input, const QString& outputFolder,
                           const QString& outputKey, const Settings& settings);

// One word for a POSIX shell: as it is when it holds only characters no shell treats specially,
// else in single quotes (a single quote written as '\'').
QString shellQuoted(const QString& word);

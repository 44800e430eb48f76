#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// The line syntax of the configuration file, which profiles share: lines end at CR, LF or CR LF;
// blanks and tabs before a line are ignored; a line beginning with ";" is a comment; "[name]"
// begins a group; every other line is "key = value" (a line without "=" is all key).

struct ConfigLine {
    // The name between the brackets of the group the line sits in; null before the first group.
    QStringView group;
    QStringView key;   // trailing blanks and tabs removed
    QStringView value; // leading blanks and tabs removed, the rest as written
};

// Calls `line` for every "key = value" line of `text`, in file order. A group whose name (ASCII
// letter case ignored) was seen before is skipped with all its lines: only a group's first
// occurrence counts. `groupBegins`, when given, hears the name of each such first occurrence, so a
// caller can tell an empty group from a missing one.
void readConfigLines(QStringView text, const std::function<void(const ConfigLine&)>& line,
                     const std::function<void(QStringView group)>& groupBegins = {});

// Group and key names match without regard to ASCII letter case only: "A".."Z" become "a".."z".
QString asciiFolded(QString text);

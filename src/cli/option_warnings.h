#pragma once

#include "cli/option_table.h"

#include <QString>
#include <QStringView>

#include <optional>

// The warnings of the option parser, all in one place. A typing mistake does not stop a run (the
// parse keeps going as it always did), but it is named on standard error, with the nearest known
// option or keyword as a hint, so that no run goes on silently with a setting nobody asked for.
// With --strict each becomes an "Error: " line instead and nothing is converted.

// What is wrong, and what the run does about it when it goes on.
struct Warning {
    QString problem;     // "--threshold=300 is outside 0..255"
    QString consequence; // "used as given"; empty when there is nothing to add

    // The text after "Warning: ": the problem, then "; " and the consequence.
    QString text() const;
    bool operator==(const Warning&) const = default;
};

// Edit distance counting insertions, deletions, substitutions and swaps of neighbours.
int editDistance(QStringView a, QStringView b);

// The known option nearest to a typed name ("--widht" -> "--width"), in lower case; empty when no
// option is near enough to be a likely typing mistake.
QString nearestOptionName(QStringView typedName);

// "unknown option --widht (did you mean --width?)" for a parameter beginning with "-" that names
// no option; parameter as typed, value included.
Warning unknownOptionWarning(const QString& parameter);

// "x.tif is not an option, and no such file or folder; ignored" for a stray parameter.
Warning strayParameterWarning(const QString& parameter);

// "unknown key --WIDHT in profile p.ini (did you mean --width?)".
Warning unknownProfileKeyWarning(const QString& key, const QString& profilePath);

// What is wrong with a value given to a setting option, or nothing: a keyword the option does not
// know, text that is not a number, a number outside the setting's declared range, a colour that
// is not six hexadecimal digits. `subject` names the value as the user wrote it
// ("--threshold=300", "profile key --THRESHOLD=300").
std::optional<Warning> valueWarning(const OptionSpec& option, const QString& value, const QString& subject);

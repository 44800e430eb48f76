#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The option reference, made from the option table, in the forms the documents need: Markdown for
// the README, HTML for the user manual and the entries of the man page. The README and the manual
// carry it between the markers below; tests keep them equal to the table.
inline constexpr const char* optionReferenceBegin = "<!-- option-reference:begin -->";
inline constexpr const char* optionReferenceEnd = "<!-- option-reference:end -->";

// One option as the reference shows it.
struct ReferenceEntry {
    QStringList forms;    // "-i FILE", "--input=FILE"
    QString values;       // the accepted keywords, the range or the bit depths; empty for free values
    QString defaultValue; // what a run uses without the option; empty when there is nothing to say
    QString help;         // one line
    QString profileKey;   // the profile key when it differs from the long name
};

struct ReferenceGroup {
    QString title;
    std::vector<ReferenceEntry> entries;
};

// Every option in table order, grouped as the reference groups them.
std::vector<ReferenceGroup> optionReferenceGroups();

// Markdown: one table per group.
QString optionReference();
// HTML: a heading and one table per group.
QString optionReferenceHtml();

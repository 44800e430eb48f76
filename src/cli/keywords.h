#pragma once

#include "app/setting_choices.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>

// The command line's reading of the lists of choices (app/setting_choices.h): a keyword names the
// place of its row. Keywords are compared in upper case and an unknown keyword silently means 0.

// "high" -> 3 for the chroma subsamplings; any keyword not in the list -> 0.
std::int32_t keywordValue(ChoiceList choices, QStringView text);

// The lower-case keyword of a stored number, empty for a number that names no row: value 1 of the
// PNG compressions is "zlib1".
QString keywordText(ChoiceList choices, std::int32_t value);

// Every keyword of a list in upper case, in list order (usage reference and README).
QStringList keywordNames(ChoiceList choices);

#pragma once

#include <QString>

// The option reference of the README, made from the option table: one Markdown table per option
// group. The README carries it between the markers below; a test keeps the two equal.
inline constexpr const char* optionReferenceBegin = "<!-- option-reference:begin -->";
inline constexpr const char* optionReferenceEnd = "<!-- option-reference:end -->";

QString optionReference();

#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>

// The reading rules of command-line parameters. Positions count from 0; a position outside the
// list reads as an empty parameter.

// The parameter stripped of blanks, upper case; empty unless it begins with "-"; for "--" options
// only the part before the first "=". "--jpg-quality=95" -> "--JPG-QUALITY", "-i" -> "-I".
QString optionName(const QStringList& parameters, int position);

// The parameter stripped of blanks; for a "--" option containing "=", only the part after the
// first "=" from the third character on. "--input=a=b.tif" -> "a=b.tif", "-i" -> "-i".
QString optionValue(const QStringList& parameters, int position);

// Integer rule: leading blanks and tabs skipped, optional sign, then decimal digits, or hex after
// "$", or binary after "%"; reading stops at the first other character; no digits give 0. The
// result wraps to 32 bits.
std::int32_t readNumber(QStringView text);

// Real rule (--gamma): a decimal number with "." ("+Infinity", "-Infinity" and "NaN" in any
// letter case); text that is not a number gives 0.
double readReal(QStringView text);

// Strips leading and trailing blanks (spaces), the one trimming rule of parameters and profiles.
QString stripBlanks(QStringView text);

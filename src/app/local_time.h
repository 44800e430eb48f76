#pragma once

#include <QDateTime>

#include <cstdint>

// Dates kept in the settings are the local wall-clock time written as seconds since
// 1970-01-01 00:00:00 as if that wall-clock time were UTC, so the stored number for a given
// local time is the same in every time zone.

// The current local time in that encoding.
std::int32_t localSecondsNow();

// A date and time (read as wall-clock time, whatever its Qt::TimeSpec) in that encoding.
std::int32_t localSecondsFrom(const QDateTime& wallClock);

// The local date and time a stored value stands for (Qt::LocalTime).
QDateTime localDateTimeFrom(std::int32_t localSeconds);

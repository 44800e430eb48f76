#include "app/local_time.h"

#include <QTimeZone>

std::int32_t localSecondsNow()
{
    return localSecondsFrom(QDateTime::currentDateTime());
}

std::int32_t localSecondsFrom(const QDateTime& wallClock)
{
    // Re-reading the wall-clock fields as UTC drops the zone offset, which is the encoding.
    const QDateTime asUtc(wallClock.date(), wallClock.time(), QTimeZone::utc());
    return static_cast<std::int32_t>(asUtc.toSecsSinceEpoch());
}

QDateTime localDateTimeFrom(std::int32_t localSeconds)
{
    const QDateTime asUtc = QDateTime::fromSecsSinceEpoch(localSeconds, QTimeZone::utc());
    return QDateTime(asUtc.date(), asUtc.time());
}

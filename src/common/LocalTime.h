#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <optional>

// Wall-clock times of the user's time zone.
namespace LocalTime {

// The instant the user's clock shows that date and time. A time skipped by a forward clock change
// lands just after the change, as the C library's mktime places it; none for an invalid date or time.
std::optional<QDateTime> fromWallClock(const QDate& date, const QTime& time);

} // namespace LocalTime

#include "LocalTime.h"

namespace LocalTime {

std::optional<QDateTime> fromWallClock(const QDate& date, const QTime& time)
{
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    const QDateTime local(date, time, Qt::LocalTime);
    if (local.isValid()) {
        return local;
    }
    // Qt calls a time in a spring-forward gap invalid; read it with the offset in force before the change.
    const QDateTime wall(date, time, Qt::UTC);
    const qint64 offsetBefore = wall.addDays(-1).toLocalTime().offsetFromUtc();
    const QDateTime shifted =
        QDateTime::fromMSecsSinceEpoch(wall.toMSecsSinceEpoch() - offsetBefore * 1000, Qt::LocalTime);
    if (!shifted.isValid()) {
        return std::nullopt;
    }
    return shifted;
}

} // namespace LocalTime

#include "GoogleDateService.h"

#include "common/LocalTime.h"

#include <QLocale>
#include <QRegularExpression>

std::optional<QDateTime> GoogleDateService::parseDate(const QString& text) const
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,9}))?(?:(Z)|([+-])(\d{2}):?(\d{2}))$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    int milliseconds = 0;
    if (match.hasCaptured(7)) {
        milliseconds = match.captured(7).left(3).leftJustified(3, '0').toInt();
    }
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(),
                     milliseconds);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    int offsetSeconds = 0;
    if (!match.hasCaptured(8)) {
        const int hours = match.captured(10).toInt();
        const int minutes = match.captured(11).toInt();
        if (hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (hours * 3600 + minutes * 60) * (match.captured(9) == QLatin1String("-") ? -1 : 1);
    }
    const QDateTime instant(date, time, Qt::OffsetFromUTC, offsetSeconds);
    if (!instant.isValid()) {
        return std::nullopt;
    }
    // A local year outside 1 to 9999 has no four-digit text: stored, it would never read back.
    const QDateTime local = instant.toLocalTime();
    if (local.date().year() < 1 || local.date().year() > 9999) {
        return std::nullopt;
    }
    return local;
}

DateComponents GoogleDateService::dateComponents(const QDateTime& date) const
{
    const QDateTime local = date.toLocalTime();
    return {local.date().year(), local.date().month(), local.date().day(), local.time().hour(),
            local.time().minute()};
}

std::optional<QDateTime> GoogleDateService::dateFromComponents(std::int64_t year, std::int64_t month,
                                                               std::int64_t day, std::int64_t hour,
                                                               std::int64_t minute) const
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59) {
        return std::nullopt;
    }
    return LocalTime::fromWallClock(
        QDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)),
        QTime(static_cast<int>(hour), static_cast<int>(minute)));
}

QString GoogleDateService::isoDate(const QDateTime& date) const
{
    QDateTime local = date.toLocalTime();
    // Before standard time a zone's offset can hold seconds (local mean time), which hh:mm cannot say:
    // the instant is written in UTC instead, so it reads back exactly.
    if (local.offsetFromUtc() % 60 != 0) {
        local = date.toUTC();
    }
    const QDate day = local.date();
    const QTime time = local.time();
    QString text = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", day.year(), day.month(), day.day(),
                                     time.hour(), time.minute(), time.second(), time.msec());
    const int offset = local.offsetFromUtc();
    if (offset == 0) {
        return text + QLatin1Char('Z');
    }
    const int magnitude = offset < 0 ? -offset : offset;
    text +=
        QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600, (magnitude % 3600) / 60);
    return text;
}

QString GoogleDateService::displayDate(const std::optional<QDateTime>& date) const
{
    if (!date || !date->isValid()) {
        return QStringLiteral("Never");
    }
    return QLocale::system().toString(date->toLocalTime(), QStringLiteral("MMMM dd, yyyy HH:mm"));
}

#include "GoogleDateService.h"

#include "common/LocalTime.h"

#include <QLocale>

namespace {

// The ASCII digits text[at, at + count) as a number, or -1.
int digitsAt(QStringView text, qsizetype at, qsizetype count)
{
    if (at < 0 || at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

std::optional<QDateTime> GoogleDateService::parseDate(const QString& text) const
{
    // "yyyy-MM-ddTHH:mm:ss", an optional fraction of 1 to 9 digits, then "Z", "+hh:mm" or "+hhmm".
    // One final line feed may follow, as the "$" of the pattern this replaces allowed.
    QStringView view(text);
    if (view.endsWith(u'\n')) {
        view.chop(1);
    }
    const int year = digitsAt(view, 0, 4);
    const int month = digitsAt(view, 5, 2);
    const int day = digitsAt(view, 8, 2);
    const int hour = digitsAt(view, 11, 2);
    const int minute = digitsAt(view, 14, 2);
    const int second = digitsAt(view, 17, 2);
    if (view.size() < 20 || year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 ||
        view[4] != u'-' || view[7] != u'-' || view[10] != u'T' || view[13] != u':' || view[16] != u':') {
        return std::nullopt;
    }
    qsizetype at = 19;
    int milliseconds = 0;
    if (view[at] == u'.') {
        const qsizetype first = ++at;
        while (at < view.size() && at - first < 9 && digitsAt(view, at, 1) >= 0) {
            ++at;
        }
        if (at == first) {
            return std::nullopt;
        }
        for (qsizetype i = first; i < first + 3; ++i) {
            milliseconds = milliseconds * 10 + (i < at ? digitsAt(view, i, 1) : 0);
        }
    }
    int offsetSeconds = 0;
    const QStringView zone = view.mid(at);
    if (zone != u"Z") {
        const bool colon = zone.size() == 6 && zone[3] == u':';
        const int hours = digitsAt(zone, 1, 2);
        const int minutes = digitsAt(zone, colon ? 4 : 3, 2);
        if (zone.size() != (colon ? 6 : 5) || (zone[0] != u'+' && zone[0] != u'-') || hours < 0 ||
            minutes < 0 || hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (zone[0] == u'-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, milliseconds);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    // Kept as the instant: local time is for display and for the texts written in the user's zone.
    constexpr qint64 unixEpochJulianDay = 2440588;
    const qint64 msecs = (date.toJulianDay() - unixEpochJulianDay) * 86400000LL +
                         time.msecsSinceStartOfDay() - offsetSeconds * 1000LL;
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
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
    const QDateTime local = date.toLocalTime();
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

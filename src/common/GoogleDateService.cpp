#include "GoogleDateService.h"

#include "common/LocalTime.h"

#include <QElapsedTimer>
#include <QLocale>

#include <atomic>
#include <cstdlib>
#include <ctime>

namespace {

template <typename View> [[gnu::always_inline]] inline char16_t charAt(View text, qsizetype at)
{
    return QChar(text[at]).unicode();
}

// The ASCII digits text[at, at + count) as a number, or -1. Inlined: a listing parses a date per row.
template <typename View> [[gnu::always_inline]] inline int digitsAt(View text, qsizetype at, qsizetype count)
{
    if (at < 0 || at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = charAt(text, i);
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

constexpr qint64 MsecsPerDay = 86400000;

[[gnu::always_inline]] constexpr int daysInMonth(int year, int month)
{
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

// Of a valid Gregorian date of years 1 to 9999; by arithmetic, as a listing parses a date for every row.
[[gnu::always_inline]] constexpr qint64 daysSinceUnixEpoch(int year, int month, int day)
{
    const qint64 y = year - (month <= 2 ? 1 : 0);
    const qint64 era = y / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}
static_assert(daysSinceUnixEpoch(1970, 1, 1) == 0);
static_assert(daysSinceUnixEpoch(2000, 3, 1) == 11017);
static_assert(daysSinceUnixEpoch(1, 1, 1) == -719162);

// "yyyy-MM-ddTHH:mm:ss", an optional fraction of 1 to 9 digits, then "Z", "+hh:mm" or "+hhmm". One final
// line feed may follow, as the "$" of the pattern this replaces allowed. Every character is checked, so a
// text with anything outside ASCII fails whether it comes as characters or as stored bytes.
template <typename View> std::optional<QDateTime> parseDateText(View view)
{
    if (!view.isEmpty() && charAt(view, view.size() - 1) == u'\n') {
        view.chop(1);
    }
    const int year = digitsAt(view, 0, 4);
    const int month = digitsAt(view, 5, 2);
    const int day = digitsAt(view, 8, 2);
    const int hour = digitsAt(view, 11, 2);
    const int minute = digitsAt(view, 14, 2);
    const int second = digitsAt(view, 17, 2);
    if (view.size() < 20 || year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 ||
        charAt(view, 4) != u'-' || charAt(view, 7) != u'-' || charAt(view, 10) != u'T' ||
        charAt(view, 13) != u':' || charAt(view, 16) != u':') {
        return std::nullopt;
    }
    qsizetype at = 19;
    int milliseconds = 0;
    if (charAt(view, at) == u'.') {
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
    const View zone = view.mid(at);
    if (zone.size() != 1 || charAt(zone, 0) != u'Z') {
        const bool colon = zone.size() == 6 && charAt(zone, 3) == u':';
        const int hours = digitsAt(zone, 1, 2);
        const int minutes = digitsAt(zone, colon ? 4 : 3, 2);
        if (zone.size() != (colon ? 6 : 5) || (charAt(zone, 0) != u'+' && charAt(zone, 0) != u'-') ||
            hours < 0 || minutes < 0 || hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (charAt(zone, 0) == u'-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    }
    // Year 0 does not exist in the Gregorian years that dates use.
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return std::nullopt;
    }
    // Kept as the instant: local time is for display and for the texts written in the user's zone.
    const qint64 msecs = daysSinceUnixEpoch(year, month, day) * MsecsPerDay +
                         ((hour * 60LL + minute) * 60 + second) * 1000 + milliseconds -
                         offsetSeconds * 1000LL;
    const QDateTime instant = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    // A local year outside 1 to 9999 has no four-digit text: stored, it would never read back. Offsets
    // are less than a day, so only the first and the last year need the local date.
    constexpr qint64 startOfYear2 = daysSinceUnixEpoch(2, 1, 1) * MsecsPerDay;
    constexpr qint64 startOfYear9999 = daysSinceUnixEpoch(9999, 1, 1) * MsecsPerDay;
    if (msecs < startOfYear2 || msecs >= startOfYear9999) {
        const int localYear = instant.toLocalTime().date().year();
        if (localYear < 1 || localYear > 9999) {
            return std::nullopt;
        }
    }
    return instant;
}

} // namespace

std::optional<QDateTime> GoogleDateService::parseDate(const QString& text) const
{
    return parseDateText(QStringView(text));
}

std::optional<QDateTime> GoogleDateService::parseDate(QLatin1StringView text) const
{
    return parseDateText(text);
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

namespace {

// The wall-clock fields of an instant in the user's zone and that zone's offset then, straight from the
// C library as Qt's local time reads them, without building a local QDateTime (a third of the cost of
// storing a post). None outside the years the text can hold.
struct LocalFields
{
    int year, month, day, hour, minute, second, millisecond, offsetSeconds;
};

// Picks up a change of the user's zone as Qt's local time does, at most once a second: without TZ set,
// each look-up checks the zone file on disk, which costs more than the rest of a date text.
void refreshZoneNowAndThen()
{
    static std::atomic<qint64> lastRefresh{-1000};
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    const qint64 now = clock.elapsed();
    qint64 last = lastRefresh.load(std::memory_order_relaxed);
    if (now - last >= 1000 && lastRefresh.compare_exchange_strong(last, now)) {
        tzset();
    }
}

std::optional<LocalFields> localFields(const QDateTime& date)
{
    if (!date.isValid()) {
        return std::nullopt;
    }
    const qint64 msecs = date.toMSecsSinceEpoch();
    qint64 seconds = msecs / 1000;
    int millisecond = int(msecs % 1000);
    if (millisecond < 0) {
        millisecond += 1000;
        --seconds;
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    refreshZoneNowAndThen();
    if (!localtime_r(&time, &local) || local.tm_year + 1900 < 1 || local.tm_year + 1900 > 9999) {
        return std::nullopt;
    }
    const QDate day(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    constexpr qint64 unixEpochJulianDay = 2440588;
    // The offset as the wall clock's distance from UTC, the way Qt defines it.
    const qint64 wall = (day.toJulianDay() - unixEpochJulianDay) * 86400 + local.tm_hour * 3600 +
                        local.tm_min * 60 + local.tm_sec;
    return LocalFields{day.year(),   day.month(),  day.day(),   local.tm_hour,
                       local.tm_min, local.tm_sec, millisecond, int(wall - seconds)};
}

LocalFields utcFields(const QDateTime& date)
{
    const QDateTime utc = date.toUTC();
    return LocalFields{utc.date().year(),   utc.date().month(),  utc.date().day(),  utc.time().hour(),
                       utc.time().minute(), utc.time().second(), utc.time().msec(), 0};
}

void writeDigits(char16_t* at, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
}

} // namespace

QString GoogleDateService::isoDate(const QDateTime& date) const
{
    std::optional<LocalFields> fields = localFields(date);
    if (!fields) {
        // An invalid date, or one beyond the years the C library or the text can hold: as Qt writes it.
        QDateTime local = date.toLocalTime();
        if (local.offsetFromUtc() % 60 != 0) {
            local = date.toUTC();
        }
        const QDate day = local.date();
        const QTime time = local.time();
        QString text = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", day.year(), day.month(),
                                         day.day(), time.hour(), time.minute(), time.second(), time.msec());
        const int offset = local.offsetFromUtc();
        if (offset == 0) {
            return text + QLatin1Char('Z');
        }
        const int magnitude = offset < 0 ? -offset : offset;
        return text + QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600,
                                        (magnitude % 3600) / 60);
    }
    // Before standard time a zone's offset can hold seconds (local mean time), which hh:mm cannot say:
    // the instant is written in UTC instead, so it reads back exactly.
    if (fields->offsetSeconds % 60 != 0) {
        fields = utcFields(date);
    }
    const LocalFields& f = *fields;
    // "yyyy-MM-ddTHH:mm:ss.SSS" then "Z" or "+hh:mm".
    QString text(f.offsetSeconds == 0 ? 24 : 29, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    writeDigits(out, f.year, 4);
    out[4] = u'-';
    writeDigits(out + 5, f.month, 2);
    out[7] = u'-';
    writeDigits(out + 8, f.day, 2);
    out[10] = u'T';
    writeDigits(out + 11, f.hour, 2);
    out[13] = u':';
    writeDigits(out + 14, f.minute, 2);
    out[16] = u':';
    writeDigits(out + 17, f.second, 2);
    out[19] = u'.';
    writeDigits(out + 20, f.millisecond, 3);
    if (f.offsetSeconds == 0) {
        out[23] = u'Z';
        return text;
    }
    const int magnitude = std::abs(f.offsetSeconds);
    out[23] = f.offsetSeconds < 0 ? u'-' : u'+';
    writeDigits(out + 24, std::min(magnitude / 3600, 99), 2);
    out[26] = u':';
    writeDigits(out + 27, (magnitude % 3600) / 60, 2);
    return text;
}

QString GoogleDateService::displayDate(const std::optional<QDateTime>& date) const
{
    if (!date || !date->isValid()) {
        return QStringLiteral("Never");
    }
    return QLocale::system().toString(date->toLocalTime(), displayPattern());
}

QString GoogleDateService::displayPattern()
{
    return QStringLiteral("MMMM dd, yyyy HH:mm");
}

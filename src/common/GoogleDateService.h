#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

struct DateComponents
{
    std::int64_t year;
    std::int64_t month;
    std::int64_t day;
    std::int64_t hour;
    std::int64_t minute;
    bool operator==(const DateComponents&) const = default;
};

// Dates of the service and of the store. Machine texts are always Gregorian with ASCII digits,
// whatever the user's locale, so stored dates read back everywhere.
class GoogleDateService
{
public:
    // "yyyy-MM-ddTHH:mm:ss[.SSS](Z|+hh:mm|+hhmm)" as the instant it names, in UTC; none for anything else,
    // and for an instant whose local year is outside 1 to 9999.
    std::optional<QDateTime> parseDate(const QString& text) const;
    // The same from stored bytes, read as Latin-1: anything outside ASCII fails as its character would.
    std::optional<QDateTime> parseDate(QLatin1StringView text) const;
    // In the user's time zone.
    DateComponents dateComponents(const QDateTime& date) const;
    // Seconds zero, local time; none when the values form no date.
    std::optional<QDateTime> dateFromComponents(std::int64_t year, std::int64_t month, std::int64_t day,
                                                std::int64_t hour, std::int64_t minute) const;
    // "yyyy-MM-ddTHH:mm:ss.SSS" and the offset valid on that date in the user's zone ("Z" at zero); in UTC
    // when that offset is no whole number of minutes.
    QString isoDate(const QDateTime& date) const;
    // "MMMM dd, yyyy HH:mm" in the user's language; "Never" for none.
    QString displayDate(const std::optional<QDateTime>& date) const;
    // The pattern of displayed dates, in the user's locale: "December 07, 2026 12:41".
    static QString displayPattern();
};

#pragma once

#include <QDateTime>
#include <QString>

// Date texts as the services write them: fixed-offset ISO 8601 with milliseconds.
class StandinDates
{
public:
    // "2015-03-08T11:00:04.512-08:00"; offset 0 is written "+00:00" unless zulu is set ("...Z").
    static QString write(const QDateTime& when, int utcOffsetMinutes, bool zulu = false);
    // Accepts ISO 8601 with or without milliseconds, with "Z" or a numeric offset; invalid when it does not
    // parse.
    static QDateTime parse(const QString& text);
    // "Sun, 08 Mar 2015 19:00:04 GMT", as HTTP's Date header writes it.
    static QByteArray httpDate(const QDateTime& when);
    // "March 9, 2015 at 7:31 AM" in the blog's time zone.
    static QString displayTime(const QDateTime& when, int utcOffsetMinutes);
};

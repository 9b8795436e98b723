#pragma once

#include <QDateTime>

// The time as this computer's clock tells it, which may be far from the services' clocks. Tests set it
// off from the system's, as on a computer whose clock is wrong.
class Clock
{
public:
    static QDateTime currentDateTimeUtc();
    static void setOffsetForTesting(qint64 seconds);
};

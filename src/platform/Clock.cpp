#include "Clock.h"

#include <atomic>

namespace {

std::atomic<qint64> offsetSeconds{0};

} // namespace

QDateTime Clock::currentDateTimeUtc()
{
    return QDateTime::currentDateTimeUtc().addSecs(offsetSeconds.load());
}

void Clock::setOffsetForTesting(qint64 seconds)
{
    offsetSeconds = seconds;
}

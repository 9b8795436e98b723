#include "ServiceClock.h"

#include "platform/Clock.h"

#include <QMutex>
#include <QMutexLocker>

#include <chrono>

namespace {

struct Observation
{
    QDateTime serviceDate;
    std::chrono::steady_clock::time_point at;
};

QMutex mutex;
std::optional<Observation> latest;

} // namespace

ServiceClock::Sent ServiceClock::Sent::now()
{
    return Sent{Clock::currentDateTimeUtc(), ServiceClock::now()};
}

QDateTime ServiceClock::Sent::onServiceClock() const
{
    if (onService) {
        return *onService;
    }
    const std::optional<QDateTime> serviceNow = ServiceClock::now();
    if (!serviceNow) {
        return here;
    }
    return here.addMSecs(Clock::currentDateTimeUtc().msecsTo(*serviceNow));
}

void ServiceClock::observe(const QDateTime& serviceDate)
{
    if (!serviceDate.isValid()) {
        return;
    }
    QMutexLocker locker(&mutex);
    latest = Observation{serviceDate, std::chrono::steady_clock::now()};
}

std::optional<QDateTime> ServiceClock::now()
{
    QMutexLocker locker(&mutex);
    if (!latest) {
        return std::nullopt;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - latest->at);
    return latest->serviceDate.addMSecs(elapsed.count());
}

QDateTime ServiceClock::parseHttpDate(const QByteArray& text)
{
    QString date = QString::fromLatin1(text).trimmed();
    // Qt reads RFC 2822 dates, whose zone is a number.
    if (date.endsWith(QLatin1StringView(" GMT"))) {
        date = date.chopped(4) + QStringLiteral(" +0000");
    }
    return QDateTime::fromString(date, Qt::RFC2822Date);
}

#pragma once

#include <QDateTime>

#include <optional>

// Blogger's clock, as the Date of its replies tells it. It is kept against a steady clock, so a wrong or
// changed clock on this computer leaves it right.
class ServiceClock
{
public:
    // How far Blogger's clock, as its replies tell it to the second, may be off from the one that dates
    // what it stores.
    static constexpr qint64 SlackSeconds = 600;

    // When something was sent: on this computer's clock, and on the service's when that was known then.
    struct Sent
    {
        QDateTime here;
        std::optional<QDateTime> onService;

        static Sent now();
        // On the service's clock: as known at the sending, else through the clocks' difference now.
        QDateTime onServiceClock() const;
    };

    static void observe(const QDateTime& serviceDate);
    // None before the first dated reply.
    static std::optional<QDateTime> now();
    // An HTTP date ("Sun, 08 Mar 2015 19:00:04 GMT"); invalid when it is none.
    static QDateTime parseHttpDate(const QByteArray& text);
};

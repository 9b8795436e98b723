#pragma once

#include <QString>

// Alerts for the user; callable from any thread, shown later on the main thread.
class LocalNotificationService
{
public:
    void showInfoAlert(const QString& title, const QString& message) const;
    void showCriticalAlert(const QString& title, const QString& message) const;
};

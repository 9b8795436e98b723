#include "LocalNotificationService.h"

#include "common/BackgroundRunner.h"
#include "platform/Alert.h"

namespace {

void showAlert(AlertStyle style, const QString& title, const QString& message)
{
    BackgroundRunner().runOnMainThread(
        [request = AlertRequest{style, title, message}] { Alert::present(request); });
}

} // namespace

void LocalNotificationService::showInfoAlert(const QString& title, const QString& message) const
{
    showAlert(AlertStyle::Informational, title, message);
}

void LocalNotificationService::showCriticalAlert(const QString& title, const QString& message) const
{
    showAlert(AlertStyle::Critical, title, message);
}

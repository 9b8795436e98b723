#include "LocalNotificationService.h"

#include "platform/Alert.h"
#include "platform/Dispatch.h"

namespace {

void showAlert(AlertStyle style, const QString& title, const QString& message)
{
    Dispatch::toMainThread([request = AlertRequest{style, title, message}] { Alert::present(request); });
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

#include "FeatureNotReady.h"

#include "common/LocalNotificationService.h"

namespace FeatureNotReady {

void tell(const QString& what)
{
    LocalNotificationService().showInfoAlert(QStringLiteral("Not available yet"),
                                             what + QStringLiteral(" is not available in this version of Penhollow."));
}

} // namespace FeatureNotReady

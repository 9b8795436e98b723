#pragma once

#include <QString>

// Prefix of every preferences key the application writes. Existing stores are keyed by it: never change it.
inline const QString APP_KEY_PREFIX = QStringLiteral("penhollowbloggermac_");

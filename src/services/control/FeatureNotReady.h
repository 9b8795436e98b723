#pragma once

#include <QString>

// Tells the user, in an information alert, that a command of the window is not available in this build.
namespace FeatureNotReady {

void tell(const QString& what);

} // namespace FeatureNotReady

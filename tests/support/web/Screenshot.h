#pragma once

#include <QString>

class QWidget;

namespace Screenshot {

// Saves a picture of the window under <build>/screenshots for reviewers, once the web engine has painted
// something other than a blank page (or after a few seconds). Returns the file path, empty when not saved.
QString save(QWidget* window, const QString& name);

} // namespace Screenshot

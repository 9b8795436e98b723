#pragma once

#include <QString>

class QWidget;

namespace Screenshot {

// Saves a picture of the window under <build>/screenshots for reviewers, once the web engine has painted
// something other than a blank page (or after a few seconds). Returns the file path, empty when not saved.
QString save(QWidget* window, const QString& name);
// The same for the screen area the window covers, so pop-ups and menus over it show too. Needs a real
// display server (Xvfb with the xcb platform); elsewhere it falls back to the window alone.
QString saveScreenArea(QWidget* window, const QString& name);

} // namespace Screenshot

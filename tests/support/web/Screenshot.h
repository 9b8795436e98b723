#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

class QWidget;

namespace Screenshot {

// Saves a picture of the window under <build>/screenshots for reviewers, once its pages have loaded and
// painted and the picture has stopped changing. Returns the file path, empty when not saved or never shown.
QString save(QWidget* window, const QString& name);
// The same for the screen area the window covers, so pop-ups and menus over it show too. Needs a real
// display server (Xvfb with the xcb platform); elsewhere it falls back to the window alone.
QString saveScreenArea(QWidget* window, const QString& name);
// The colour the screen shows at a global position (a focus ring's edge, say), as a user would see it.
QColor screenPixel(const QPoint& global);

} // namespace Screenshot

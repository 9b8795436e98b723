#pragma once

#include <QColor>

class QWidget;

// A flat background colour behind a view, replacing whatever it had.
namespace ViewBackground {

void setColor(QWidget* view, const QColor& color);
// Clear: the view shows what lies behind it.
void clear(QWidget* view);
QColor color(const QWidget* view);

} // namespace ViewBackground

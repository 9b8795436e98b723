#include "PressControl.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

void PressControl::makeFocusable(QWidget* control)
{
    control->setFocusPolicy(Qt::TabFocus);
}

bool PressControl::isPressKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->isAutoRepeat() || modifiers != Qt::NoModifier) {
        return false;
    }
    return event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

void PressControl::paintFocusRing(QWidget* control)
{
    if (!control->hasFocus()) {
        return;
    }
    QPainter painter(control);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(control->palette().color(QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(control->rect()).adjusted(1, 1, -1, -1), 3, 3);
}

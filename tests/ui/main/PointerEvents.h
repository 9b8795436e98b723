#pragma once

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QWidget>

// The pointer entering and leaving a widget, as the window system reports it.
namespace PointerEvents {

inline void enter(QWidget* widget)
{
    const QPointF inside(1, 1);
    QEnterEvent event(inside, inside, widget->mapToGlobal(inside));
    QCoreApplication::sendEvent(widget, &event);
}

inline void leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace PointerEvents

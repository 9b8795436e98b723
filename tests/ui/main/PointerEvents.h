#pragma once

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QTest>
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

// A double-click as the window system reports it: press, release, double-click (instead of the second
// press), release.
inline void doubleClick(QWidget* widget, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(widget, button);
    QTest::mouseDClick(widget, button);
    QTest::mouseRelease(widget, button);
}

} // namespace PointerEvents

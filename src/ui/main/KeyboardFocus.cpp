#include "KeyboardFocus.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

KeyboardFocus* KeyboardFocus::of(QWidget* control)
{
    if (auto* existing = control->findChild<KeyboardFocus*>(QString(), Qt::FindDirectChildrenOnly)) {
        return existing;
    }
    return new KeyboardFocus(control);
}

bool KeyboardFocus::ringShown(const QWidget* control)
{
    const auto* focus = control->findChild<KeyboardFocus*>(QString(), Qt::FindDirectChildrenOnly);
    return focus && focus->ringShown();
}

KeyboardFocus::KeyboardFocus(QWidget* control) : QObject(control), m_control(control)
{
    control->installEventFilter(this);
    for (QWidget* part : control->findChildren<QWidget*>()) {
        part->installEventFilter(this);
    }
    connect(qApp, &QApplication::focusChanged, this, &KeyboardFocus::follow);
    follow();
}

void KeyboardFocus::follow()
{
    QWidget* focus = QApplication::focusWidget();
    m_inside = focus && (focus == m_control || m_control->isAncestorOf(focus));
    const bool shown = m_inside && m_byKeyboard;
    if (shown != m_shown) {
        m_shown = shown;
        Q_EMIT ringShownChanged(shown);
    }
}

bool KeyboardFocus::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            m_byKeyboard = true;
            break;
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
            break;
        case Qt::MouseFocusReason:
            m_byKeyboard = false;
            break;
        default:
            // Moving between its own parts (a page replacing its document) changes nothing; m_inside
            // still tells where the focus was, as the application reports the change after this event.
            m_byKeyboard = m_byKeyboard && m_inside;
            break;
        }
        follow();
        break;
    case QEvent::MouseButtonPress:
        // A click on the control shows what it chose, not a ring around it.
        m_byKeyboard = false;
        follow();
        break;
    case QEvent::Hide:
        // Closed, or its window closed: whoever shows it again starts afresh, and the focus that comes back
        // with the window is no keyboard's. Being minimised is no closing.
        if (watched == m_control && !event->spontaneous()) {
            m_byKeyboard = false;
            follow();
        }
        break;
    case QEvent::ChildAdded:
        if (QObject* part = static_cast<QChildEvent*>(event)->child(); part && part->isWidgetType()) {
            part->installEventFilter(this);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

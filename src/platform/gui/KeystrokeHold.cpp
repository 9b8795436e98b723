#include "KeystrokeHold.h"

#include "platform/Dispatch.h"

#include <QApplication>
#include <QKeyEvent>

KeystrokeHold::KeystrokeHold(QObject* parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(ActivationLimitMs);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        if (m_target && m_target->window()->isVisible()) {
            handOver();
        } else {
            drop();
        }
    });
}

KeystrokeHold::~KeystrokeHold()
{
    drop();
}

void KeystrokeHold::setTarget(QWidget* target)
{
    m_target = target;
}

void KeystrokeHold::hold()
{
    Dispatch::requireMainThread("KeystrokeHold::hold");
    if (m_holding) {
        return;
    }
    QWidget* active = QApplication::activeWindow();
    if (!active || (m_target && active == m_target->window())) {
        return;
    }
    m_typedInto = active;
    m_holding = true;
    qApp->installEventFilter(this);
    startLimitOnceShown();
}

void KeystrokeHold::startLimitOnceShown()
{
    // Counted from the showing: the window's page may take seconds to load before.
    if (m_target && m_target->window()->isVisible() && !m_limit.isActive()) {
        m_limit.start();
    }
}

void KeystrokeHold::drop()
{
    if (!m_holding) {
        return;
    }
    m_holding = false;
    m_limit.stop();
    m_keys.clear();
    m_typedInto = nullptr;
    qApp->removeEventFilter(this);
}

bool KeystrokeHold::targetWindowActive() const
{
    return m_target && QApplication::activeWindow() == m_target->window();
}

bool KeystrokeHold::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_holding) {
        return QObject::eventFilter(watched, event);
    }
    // Every event of the application passes here, some to objects being destroyed (the web engine's scene
    // hands the focus to an item it has already deleted): only keys and presses, sent to live widgets, are
    // cast; the rest are told by who receives them.
    QWidget* targetWindow = m_target ? m_target->window() : nullptr;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
        break;
    case QEvent::WindowActivate:
        if (m_typedInto && watched == m_typedInto) {
            drop();
        } else if (targetWindow && watched == targetWindow) {
            handOverLater();
        }
        return QObject::eventFilter(watched, event);
    case QEvent::FocusIn:
        if (m_target && watched == m_target) {
            handOverLater();
        }
        return QObject::eventFilter(watched, event);
    case QEvent::Show:
        if (targetWindow && watched == targetWindow) {
            startLimitOnceShown();
        }
        return QObject::eventFilter(watched, event);
    default:
        return QObject::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) {
        return QObject::eventFilter(watched, event);
    }
    if (m_typedInto && widget->window() == m_typedInto) {
        if (event->type() == QEvent::MouseButtonPress) {
            drop();
            return QObject::eventFilter(watched, event);
        }
        // Presses only: a release alone does nothing in a text field.
        if (event->type() == QEvent::KeyPress) {
            m_keys.emplace_back(static_cast<QKeyEvent*>(event->clone()));
        }
        event->accept();
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress && targetWindow && widget->window() == targetWindow) {
        handOver();
    }
    return QObject::eventFilter(watched, event);
}

void KeystrokeHold::handOverLater()
{
    // Once the activation has run its course and the target has the focus it brings.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_holding && targetWindowActive()) {
                handOver();
            }
        },
        Qt::QueuedConnection);
}

void KeystrokeHold::handOver()
{
    const QPointer<QWidget> target = m_target;
    std::vector<std::unique_ptr<QKeyEvent>> keys = std::move(m_keys);
    drop();
    for (const std::unique_ptr<QKeyEvent>& key : keys) {
        if (!target) {
            return;
        }
        QCoreApplication::sendEvent(target, key.get());
    }
}

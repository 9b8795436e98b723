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
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::WindowActivate:
    case QEvent::FocusIn:
    case QEvent::MouseButtonPress:
    case QEvent::Show:
        break;
    default:
        // Every event of the application passes here, some to objects being destroyed: no cast for them.
        return QObject::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!m_holding || !widget) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (m_typedInto && widget->window() == m_typedInto) {
            // Presses only: a release alone does nothing in a text field.
            if (event->type() == QEvent::KeyPress) {
                m_keys.emplace_back(static_cast<QKeyEvent*>(event->clone()));
            }
            event->accept();
            return true;
        }
        if (m_target && widget->window() == m_target->window()) {
            handOver();
        }
        break;
    case QEvent::WindowActivate:
        if (widget == m_typedInto) {
            drop();
        } else if (m_target && widget == m_target->window()) {
            handOverLater();
        }
        break;
    case QEvent::FocusIn:
        if (widget == m_target) {
            handOverLater();
        }
        break;
    case QEvent::MouseButtonPress:
        if (m_typedInto && widget->window() == m_typedInto) {
            drop();
        }
        break;
    case QEvent::Show:
        if (m_target && widget == m_target->window()) {
            startLimitOnceShown();
        }
        break;
    default:
        break;
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

#include "FocusRing.h"

#include "PressControl.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

FocusRing* FocusRing::attach(QWidget* control)
{
    return new FocusRing(control);
}

FocusRing::FocusRing(QWidget* control) : QWidget(control->parentWidget()), m_control(control)
{
    setObjectName(control->objectName() + QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    // The focus may land on a part of the control (a web view's page): each part says how it came.
    control->installEventFilter(this);
    for (QWidget* part : control->findChildren<QWidget*>()) {
        part->installEventFilter(this);
    }
    connect(control, &QObject::destroyed, this, &QObject::deleteLater);
    connect(qApp, &QApplication::focusChanged, this, [this] { follow(); });
    follow();
}

void FocusRing::follow()
{
    QWidget* focus = QApplication::focusWidget();
    const bool focused = m_control && m_control->isVisible() && focus &&
                         (focus == m_control || m_control->isAncestorOf(focus));
    if (!focused) {
        m_focusedByMouse = false;
    }
    if (m_control) {
        setGeometry(m_control->geometry());
    }
    const bool shown = focused && !m_focusedByMouse;
    setVisible(shown);
    if (shown) {
        raise();
        update();
    }
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        // A click shows what it selected, not a ring over it; the ring comes back when Tab brings the focus.
        m_focusedByMouse = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
    } else if (event->type() == QEvent::MouseButtonPress && !m_focusedByMouse) {
        m_focusedByMouse = true;
        follow();
    } else if (event->type() == QEvent::ChildAdded) {
        if (QObject* part = static_cast<QChildEvent*>(event)->child(); part && part->isWidgetType()) {
            part->installEventFilter(this);
        }
    }
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
            follow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PressControlParts::drawFocusRing(painter, rect(), palette());
}

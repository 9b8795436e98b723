#include "FocusRing.h"

#include "KeyboardFocus.h"
#include "PressControl.h"

#include <QEvent>
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
    control->installEventFilter(this);
    connect(control, &QObject::destroyed, this, &QObject::deleteLater);
    connect(KeyboardFocus::of(control), &KeyboardFocus::ringShownChanged, this, &FocusRing::follow);
    follow();
}

void FocusRing::follow()
{
    if (m_control) {
        setGeometry(m_control->geometry());
    }
    const bool shown = m_control && m_control->isVisible() && KeyboardFocus::ringShown(m_control);
    setVisible(shown);
    if (shown) {
        raise();
        update();
    }
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
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

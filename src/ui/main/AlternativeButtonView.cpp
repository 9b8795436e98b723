#include "AlternativeButtonView.h"

#include "PressControl.h"

#include <QKeyEvent>
#include <QMouseEvent>

AlternativeButtonView::AlternativeButtonView(QWidget* parent) : ImageView(parent)
{
    setCursor(Qt::PointingHandCursor);
    PressControl::makeFocusable(this);
}

void AlternativeButtonView::setAlternativeImage(const QString& name)
{
    const QString shown = imageName();
    m_mainImage = shown.isEmpty() ? std::nullopt : std::optional<QString>(shown);
    m_alternativeImage = name;
}

void AlternativeButtonView::activate(bool active)
{
    const std::optional<QString>& chosen = active ? m_alternativeImage : m_mainImage;
    if (chosen) {
        setImageName(*chosen);
    }
}

void AlternativeButtonView::initiate()
{
    m_initiated = true;
    setAttribute(Qt::WA_Hover, true);
}

void AlternativeButtonView::mousePressEvent(QMouseEvent* event)
{
    // Only the primary button acts; the others go on to whatever lies below.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (onClick) {
        auto click = onClick;
        click();
    }
}

void AlternativeButtonView::enterEvent(QEnterEvent* event)
{
    ImageView::enterEvent(event);
    if (!m_initiated) {
        return;
    }
    activate(true);
    if (onMouseEntered) {
        onMouseEntered();
    }
}

void AlternativeButtonView::leaveEvent(QEvent* event)
{
    ImageView::leaveEvent(event);
    if (!m_initiated) {
        return;
    }
    activate(false);
    if (onMouseExited) {
        onMouseExited();
    }
}

void AlternativeButtonView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of the double-click has acted already.
    event->accept();
}

void AlternativeButtonView::keyPressEvent(QKeyEvent* event)
{
    if (!PressControl::isPressKey(event)) {
        ImageView::keyPressEvent(event);
        return;
    }
    event->accept();
    if (onClick) {
        auto click = onClick;
        click();
    }
}

void AlternativeButtonView::focusInEvent(QFocusEvent* event)
{
    ImageView::focusInEvent(event);
    update();
}

void AlternativeButtonView::focusOutEvent(QFocusEvent* event)
{
    ImageView::focusOutEvent(event);
    update();
}

void AlternativeButtonView::paintEvent(QPaintEvent* event)
{
    ImageView::paintEvent(event);
    PressControl::paintFocusRing(this);
}

#include "ClickAreaView.h"

#include "PressControl.h"

#include <QKeyEvent>
#include <QMouseEvent>

ClickAreaView::ClickAreaView(QWidget* parent) : QWidget(parent)
{
    PressControl::makeFocusable(this);
}

void ClickAreaView::initiate()
{
    setAttribute(Qt::WA_Hover, true);
}

void ClickAreaView::mousePressEvent(QMouseEvent* event)
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

void ClickAreaView::paintEvent(QPaintEvent*)
{
    // Nothing but the focus: what lies below shows through.
    PressControl::paintFocusRing(this);
}

void ClickAreaView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of the double-click has acted already.
    event->accept();
}

void ClickAreaView::keyPressEvent(QKeyEvent* event)
{
    if (!PressControl::isPressKey(event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (onClick) {
        auto click = onClick;
        click();
    }
}

void ClickAreaView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void ClickAreaView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

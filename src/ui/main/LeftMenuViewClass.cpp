#include "LeftMenuViewClass.h"

#include "PressControl.h"

#include <QKeyEvent>
#include <QMouseEvent>

LeftMenuViewClass::LeftMenuViewClass(QWidget* parent) : QWidget(parent)
{
    PressControl::makeFocusable(this);
}

void LeftMenuViewClass::setClickBloc(std::function<void()> block)
{
    clickBlock = std::move(block);
}

void LeftMenuViewClass::mousePressEvent(QMouseEvent* event)
{
    // Only the primary button acts; the others go on to whatever lies below.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (clickBlock) {
        auto block = clickBlock;
        block();
    }
}

void LeftMenuViewClass::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of the double-click has acted already.
    event->accept();
}

void LeftMenuViewClass::keyPressEvent(QKeyEvent* event)
{
    if (!PressControl::isPressKey(event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (clickBlock) {
        auto block = clickBlock;
        block();
    }
}

void LeftMenuViewClass::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void LeftMenuViewClass::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void LeftMenuViewClass::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    PressControl::paintFocusRing(this);
}

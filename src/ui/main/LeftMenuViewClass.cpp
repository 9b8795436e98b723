#include "LeftMenuViewClass.h"

#include <QMouseEvent>

LeftMenuViewClass::LeftMenuViewClass(QWidget* parent) : QWidget(parent) {}

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

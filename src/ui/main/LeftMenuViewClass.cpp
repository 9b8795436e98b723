#include "LeftMenuViewClass.h"

#include <QMouseEvent>

LeftMenuViewClass::LeftMenuViewClass(QWidget* parent) : QWidget(parent) {}

void LeftMenuViewClass::setClickBloc(std::function<void()> block)
{
    clickBlock = std::move(block);
}

void LeftMenuViewClass::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (clickBlock) {
        auto block = clickBlock;
        block();
    }
}

#include "LeftMenuViewClass.h"

LeftMenuViewClass::LeftMenuViewClass(QWidget* parent) : PressControl<QWidget>(parent) {}

void LeftMenuViewClass::setClickBloc(std::function<void()> block)
{
    clickBlock = std::move(block);
}

void LeftMenuViewClass::pressed()
{
    run(clickBlock);
}

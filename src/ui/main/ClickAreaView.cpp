#include "ClickAreaView.h"

ClickAreaView::ClickAreaView(QWidget* parent) : PressControl<QWidget>(parent) {}

void ClickAreaView::initiate()
{
    setAttribute(Qt::WA_Hover, true);
}

void ClickAreaView::pressed()
{
    run(onClick);
}

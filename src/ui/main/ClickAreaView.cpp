#include "ClickAreaView.h"

#include <QMouseEvent>

ClickAreaView::ClickAreaView(QWidget* parent) : QWidget(parent) {}

void ClickAreaView::initiate()
{
    setAttribute(Qt::WA_Hover, true);
}

void ClickAreaView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onClick) {
        auto click = onClick;
        click();
    }
}

void ClickAreaView::paintEvent(QPaintEvent*) {}

#include "ClickAreaView.h"

#include <QMouseEvent>

ClickAreaView::ClickAreaView(QWidget* parent) : QWidget(parent) {}

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

void ClickAreaView::paintEvent(QPaintEvent*) {}

void ClickAreaView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of the double-click has acted already.
    event->accept();
}

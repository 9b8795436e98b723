#include "DraggableView.h"

#include "common/SystemConfiguration.h"
#include "ui/UiColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSplitterHandle>
#include <QWidget>

namespace {

class GrayHandle : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), UiColors::separatorLine());
    }
};

QPointF locationInWindow(const QWidget* view, const QMouseEvent* event)
{
    return view->mapTo(view->window(), event->position().toPoint());
}

} // namespace

DraggableView::DraggableView(QWidget* parent)
    : QSplitter(parent), m_isAtLeastYosemite(SystemConfiguration().isAtLeastYosemite())
{
    setHandleWidth(1);
    setChildrenCollapsible(false);
}

QSplitterHandle* DraggableView::createHandle()
{
    return new GrayHandle(orientation(), this);
}

void DraggableView::mousePressEvent(QMouseEvent* event)
{
    const QPointF location = locationInWindow(this, event);
    if (m_isAtLeastYosemite) {
        // Window coordinates here grow downwards: the band is the top of the view.
        const double distance = location.y() - mapTo(window(), QPoint(0, 0)).y();
        if (!(distance > TitleBarBand)) {
            return;
        }
    }
    m_isOnMouseDown = true;
    m_initialLocation = location;
}

void DraggableView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_isOnMouseDown && onMouseDragged) {
        onMouseDragged(event, *m_initialLocation);
    }
}

void DraggableView::mouseReleaseEvent(QMouseEvent*)
{
    m_isOnMouseDown = false;
}

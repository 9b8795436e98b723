#include "GrayColorSplitView.h"
#include "NoColorSplitView.h"

#include <QPainter>
#include <QSplitterHandle>

namespace {

// Draws the divider in one flat colour; the handle stays draggable.
class FlatSplitterHandle : public QSplitterHandle
{
public:
    FlatSplitterHandle(Qt::Orientation orientation, QSplitter* parent, QColor color)
        : QSplitterHandle(orientation, parent), m_color(color)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_color);
    }

private:
    QColor m_color;
};

} // namespace

NoColorSplitView::NoColorSplitView(QWidget* parent) : NoColorSplitView(Qt::Horizontal, parent) {}

NoColorSplitView::NoColorSplitView(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(0);
    setChildrenCollapsible(false);
}

QColor NoColorSplitView::dividerColor() const
{
    return QColor(250, 250, 250);
}

double NoColorSplitView::dividerThickness() const
{
    return 0.0;
}

GrayColorSplitView::GrayColorSplitView(QWidget* parent) : GrayColorSplitView(Qt::Horizontal, parent) {}

GrayColorSplitView::GrayColorSplitView(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(1);
    setChildrenCollapsible(false);
}

QColor GrayColorSplitView::dividerColor() const
{
    return QColor(232, 232, 232);
}

double GrayColorSplitView::dividerThickness() const
{
    return 1.0;
}

bool GrayColorSplitView::mouseDownCanMoveWindow() const
{
    return true;
}

QSplitterHandle* GrayColorSplitView::createHandle()
{
    return new FlatSplitterHandle(orientation(), this, dividerColor());
}

#include "ViewBackground.h"

#include <QPalette>
#include <QWidget>

namespace ViewBackground {

void setColor(QWidget* view, const QColor& color)
{
    if (!view) {
        return;
    }
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, color);
    view->setPalette(palette);
    view->setAutoFillBackground(color.alpha() > 0);
}

void clear(QWidget* view)
{
    setColor(view, Qt::transparent);
}

QColor color(const QWidget* view)
{
    if (!view || !view->autoFillBackground()) {
        return Qt::transparent;
    }
    return view->palette().color(QPalette::Window);
}

} // namespace ViewBackground

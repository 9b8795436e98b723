#include "ImageView.h"

#include "ImageLibrary.h"

#include <QEvent>

ImageView::ImageView(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
}

QString ImageView::imageName() const
{
    return m_imageName;
}

void ImageView::setImageName(const QString& name)
{
    m_imageName = ImageLibrary::hasImage(name) ? name : QString();
    render();
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    render();
}

void ImageView::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ScreenChangeInternal) {
        render();
    }
}

void ImageView::render()
{
    if (m_imageName.isEmpty()) {
        clear();
        return;
    }
    const int side = qMax(1, qMin(width(), height()));
    setPixmap(ImageLibrary::pixmap(m_imageName, QSize(side, side), devicePixelRatioF()));
}

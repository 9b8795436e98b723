#include "AvatarImage.h"

#include <QPainter>
#include <QPainterPath>

QPixmap AvatarImage::roundPixmap(const QImage& image, int side, qreal devicePixelRatio)
{
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    if (image.isNull()) {
        pixmap.setDevicePixelRatio(devicePixelRatio);
        return pixmap;
    }
    const QImage filled =
        image.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, pixels, pixels));
    painter.setClipPath(circle);
    painter.drawImage(QPoint((pixels - filled.width()) / 2, (pixels - filled.height()) / 2), filled);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QColor AvatarImage::placeholderColor()
{
    return QColor(216, 220, 222);
}

QPixmap AvatarImage::placeholder(int side, qreal devicePixelRatio)
{
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, pixels, pixels));
    painter.setClipPath(circle);
    painter.fillPath(circle, placeholderColor());
    painter.setBrush(QColor(246, 247, 248));
    const qreal unit = pixels / 100.0;
    painter.drawEllipse(QRectF(34 * unit, 18 * unit, 32 * unit, 32 * unit));
    painter.drawEllipse(QRectF(16 * unit, 58 * unit, 68 * unit, 60 * unit));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

bool AvatarImage::standsForNoPicture(const QImage& image)
{
    return image.isNull() || (image.width() <= 16 && image.height() <= 16);
}

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The application's images, looked up by name: resources/images/<name>.svg beside the executable.
class ImageLibrary
{
public:
    // A null icon when no image has that name.
    static QIcon icon(const QString& name);
    static bool hasImage(const QString& name);
    // The image drawn at the size in device-independent pixels, sharp on the given pixel ratio.
    static QPixmap pixmap(const QString& name, const QSize& size, qreal devicePixelRatio = 1.0);
    static QString path(const QString& name);
};

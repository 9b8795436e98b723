#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>

// A profile picture as the comment windows draw it: a round picture of the given side.
class AvatarImage
{
public:
    static QPixmap roundPixmap(const QImage& image, int side, qreal devicePixelRatio);
    // Stands in for an author without a picture: a neutral grey disc with a head and shoulders.
    static QPixmap placeholder(int side, qreal devicePixelRatio);
    static QColor placeholderColor();
    // Blogger gives authors without a picture a tiny stand-in (a transparent pixel, a 16 px logo).
    static bool standsForNoPicture(const QImage& image);
};

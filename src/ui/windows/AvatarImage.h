#pragma once

#include <QImage>
#include <QPixmap>

// A profile picture as the comment windows draw it: a round picture of the given side.
class AvatarImage
{
public:
    static QPixmap roundPixmap(const QImage& image, int side, qreal devicePixelRatio);
};

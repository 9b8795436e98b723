#pragma once

#include <QSizeF>
#include <QString>

class QFont;

// The half of the string services that needs fonts, and so a GUI application.
class StringServicesLayout
{
public:
    // Size the text takes laid out in the font inside a box of the given size, without line padding.
    QSizeF textSizeForWidth(const QString& text, const QFont& font, const QSizeF& size) const;
};

#pragma once

#include <QColor>
#include <QLabel>
#include <QPalette>

// The colours of the application's windows.
namespace UiColors {

inline QColor accent()
{
    return QColor(243, 88, 57);
}
inline QColor normalText()
{
    return QColor(85, 96, 100);
}
inline QColor separatorLine()
{
    return QColor(232, 232, 232);
}
inline QColor banner()
{
    return QColor(240, 240, 240);
}
inline QColor selectedRow()
{
    return QColor(237, 238, 242);
}
inline QColor paneBackground()
{
    return QColor(255, 255, 255);
}

inline void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace UiColors

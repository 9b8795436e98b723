#pragma once

#include <QColor>
#include <QSplitter>

// A split view whose divider takes no room.
class NoColorSplitView : public QSplitter
{
    Q_OBJECT
public:
    explicit NoColorSplitView(QWidget* parent = nullptr);
    explicit NoColorSplitView(Qt::Orientation orientation, QWidget* parent = nullptr);

    QColor dividerColor() const;
    double dividerThickness() const;
};

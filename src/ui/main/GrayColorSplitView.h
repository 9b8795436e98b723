#pragma once

#include <QColor>
#include <QSplitter>

// A split view with a one-pixel light grey divider.
class GrayColorSplitView : public QSplitter
{
    Q_OBJECT
public:
    explicit GrayColorSplitView(QWidget* parent = nullptr);
    explicit GrayColorSplitView(Qt::Orientation orientation, QWidget* parent = nullptr);

    QColor dividerColor() const;
    double dividerThickness() const;
    bool mouseDownCanMoveWindow() const;

protected:
    QSplitterHandle* createHandle() override;
};

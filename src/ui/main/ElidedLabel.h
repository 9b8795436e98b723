#pragma once

#include <QLabel>

// A label that shows its text on at most `maximumLines` lines, the last one cut with an ellipsis.
// text() keeps the whole text; runs of white space show as one space.
class ElidedLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(int maximumLines READ maximumLines WRITE setMaximumLines)

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    int maximumLines() const;
    void setMaximumLines(int lines);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_maximumLines = 1;
};

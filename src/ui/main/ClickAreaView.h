#pragma once

#include <QWidget>

#include <functional>

// An invisible area that reports a mouse press; it paints nothing, so what lies below shows through.
class ClickAreaView : public QWidget
{
    Q_OBJECT
public:
    explicit ClickAreaView(QWidget* parent = nullptr);

    std::function<void()> onClick;

    // Lets the area receive hover events of its own.
    void initiate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

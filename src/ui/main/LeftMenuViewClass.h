#pragma once

#include <QWidget>

#include <functional>

// The root view of an area entry: it reports a mouse press through a closure.
class LeftMenuViewClass : public QWidget
{
    Q_OBJECT
public:
    explicit LeftMenuViewClass(QWidget* parent = nullptr);

    std::function<void()> clickBlock;
    void setClickBloc(std::function<void()> block);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

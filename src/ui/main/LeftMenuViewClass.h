#pragma once

#include "PressControl.h"

#include <QWidget>

#include <functional>

// The root view of an area entry: it reports a mouse press through a closure.
class LeftMenuViewClass : public PressControl<QWidget>
{
    Q_OBJECT
public:
    explicit LeftMenuViewClass(QWidget* parent = nullptr);

    std::function<void()> clickBlock;
    void setClickBloc(std::function<void()> block);

protected:
    void pressed() override;
};

#pragma once

#include "PressControl.h"

#include <QWidget>

#include <functional>

// An invisible area that reports a mouse press; it paints nothing, so what lies below shows through.
class ClickAreaView : public PressControl<QWidget>
{
    Q_OBJECT
public:
    explicit ClickAreaView(QWidget* parent = nullptr);

    std::function<void()> onClick;

    // Lets the area receive hover events of its own.
    void initiate();

protected:
    void pressed() override;
};

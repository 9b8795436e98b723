#pragma once

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <functional>

// The parts of PressControl that do not depend on the widget class.
namespace PressControlParts {
// Tab reaches the control; a mouse press does not move the focus. Also presents the control to screen
// readers, and has KeyboardFocus follow how the focus comes to it.
void makeFocusable(QWidget* control);
// Space, Return or Enter, without modifiers and not repeated.
bool isPressKey(const QKeyEvent* event);
// A ring in the highlight colour just inside the control's edges while the keyboard has put the focus there.
void paintFocusRing(QWidget* control);
// The same ring just inside the rectangle given.
void drawFocusRing(QPainter& painter, const QRect& rect, const QPalette& palette);
} // namespace PressControlParts

// What the image buttons, click areas and area entries share as controls: Tab reaches them, Space and
// Return press them as the primary mouse button does, the focus shows, and screen readers meet them as
// buttons named after what they do (the accessible name, else the tool tip). A subclass says in pressed()
// what a press does.
template <typename Base> class PressControl : public Base
{
public:
    explicit PressControl(QWidget* parent = nullptr) : Base(parent)
    {
        PressControlParts::makeFocusable(this);
    }

protected:
    virtual void pressed() = 0;

    // Runs a copy: the closure may replace the one it was called through while it runs.
    static void run(std::function<void()> block)
    {
        if (block) {
            block();
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        // Only the primary button acts; the others go on to whatever lies below.
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        event->accept();
        // A keyboard's ring goes once the control is clicked.
        this->update();
        pressed();
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        // The first press of the double-click has acted already.
        event->accept();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (!PressControlParts::isPressKey(event)) {
            Base::keyPressEvent(event);
            return;
        }
        event->accept();
        pressed();
    }

    void focusInEvent(QFocusEvent* event) override
    {
        Base::focusInEvent(event);
        this->update();
    }

    void focusOutEvent(QFocusEvent* event) override
    {
        Base::focusOutEvent(event);
        this->update();
    }

    void paintEvent(QPaintEvent* event) override
    {
        Base::paintEvent(event);
        PressControlParts::paintFocusRing(this);
    }
};

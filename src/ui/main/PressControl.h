#pragma once

class QKeyEvent;
class QWidget;

// What the image buttons, click areas and area entries share as controls: Tab reaches them, Space and
// Return press them, the focus shows, and screen readers meet them as buttons named after what they do
// (the accessible name, else the tool tip).
class PressControl
{
public:
    // Tab reaches the control; a mouse press does not move the focus. Also presents the control to
    // screen readers.
    static void makeFocusable(QWidget* control);
    // Space, Return or Enter, without modifiers and not repeated.
    static bool isPressKey(const QKeyEvent* event);
    // A ring in the highlight colour just inside the control's edges while it has the focus.
    static void paintFocusRing(QWidget* control);
};

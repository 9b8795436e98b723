#pragma once

#include <QObject>

class QWidget;

// Whether the keyboard put the focus on a control, which is when the control shows a focus ring: Tab,
// Shift+Tab and shortcuts do; a click or a move the program makes does not; the window coming back or a
// popup closing give back what there was before, but a control hidden (its window closed) starts afresh. The
// focus may land on a part of the control (a web view's page), which counts as the control.
class KeyboardFocus : public QObject
{
    Q_OBJECT
public:
    // The control's own, made on first use; it goes with the control.
    static KeyboardFocus* of(QWidget* control);
    // False for a control nobody asked about.
    static bool ringShown(const QWidget* control);

    // While the focus is on the control or inside it, brought there by the keyboard.
    bool ringShown() const { return m_shown; }

Q_SIGNALS:
    void ringShownChanged(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KeyboardFocus(QWidget* control);
    void follow();

    QWidget* m_control;
    // How the focus last came to the control; kept while it is elsewhere.
    bool m_byKeyboard = false;
    bool m_inside = false;
    bool m_shown = false;
};

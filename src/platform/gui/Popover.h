#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QFrame;
class QWidget;
class ViewController;

// A transient pop-up around a pane's view: it closes when the user clicks outside it or presses Escape.
// The content controller outlives its popovers: closing or deleting a popover hands the view back, so
// the next popover shows the same view with the choices the user left in it.
class Popover : public QObject
{
    Q_OBJECT
public:
    explicit Popover(ViewController* controller, QObject* parent = nullptr);
    ~Popover() override;
    Popover(const Popover&) = delete;
    Popover& operator=(const Popover&) = delete;

    ViewController* contentViewController() const;
    // Shows the popover below the view, centred on it, kept on the view's screen.
    void showRelativeToView(QWidget* view);
    void close();
    bool isShown() const;
    // The pop-up window; null before the first showing.
    QWidget* popupWindow() const;

Q_SIGNALS:
    void didClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseContent();
    void endHover();

    QPointer<ViewController> m_controller;
    // As a widget: while the frame is being destroyed it is no QFrame any more, and its hide event still
    // reaches the filter.
    QPointer<QWidget> m_frame;
    // The second press of a double-click on the view that opened it must not close it again.
    QPointer<QWidget> m_anchor;
    QElapsedTimer m_shown;
};

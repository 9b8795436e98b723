#pragma once

#include <QPointer>
#include <QWidget>

// The focus ring of a control that cannot draw one itself (a list, a web view, a button drawn as a link): a
// frame laid over the control by its parent, shown while KeyboardFocus says so, and never taking a click.
class FocusRing : public QWidget
{
    Q_OBJECT
public:
    // The ring follows the control, which must have a parent, and goes with it.
    static FocusRing* attach(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    explicit FocusRing(QWidget* control);
    void follow();

    QPointer<QWidget> m_control;
};

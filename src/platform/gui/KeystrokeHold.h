#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QKeyEvent;

// Keys typed while a window is on its way. From hold() until the target's window is the active one, the
// keys typed into the window that was active at hold() are kept back, then handed to the target in the
// order they were typed, ahead of any key typed into the target's window itself. Without this they reach
// whatever had the focus before, until the window system has made the new window active (the page of a
// window can take seconds to load before it shows). Holding ends with nothing handed over at drop(), or
// when the user goes back to the other window (activates it again or presses the mouse in it). A window
// system may never make the target's window active: ActivationLimitMs after that window is on screen, the
// keys go to the target all the same and the other window takes keys again.
class KeystrokeHold : public QObject
{
    Q_OBJECT
public:
    static constexpr int ActivationLimitMs = 2000;

    explicit KeystrokeHold(QObject* parent = nullptr);
    ~KeystrokeHold() override;

    // The widget that gets the keys; none yet holds them until there is one.
    void setTarget(QWidget* target);
    // Starts holding, unless already; nothing is held when no other window of the application is active.
    void hold();
    void drop();
    bool isHolding() const { return m_holding; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool targetWindowActive() const;
    void handOverLater();
    void handOver();
    void startLimitOnceShown();

    QPointer<QWidget> m_target;
    QPointer<QWidget> m_typedInto;
    std::vector<std::unique_ptr<QKeyEvent>> m_keys;
    QTimer m_limit;
    bool m_holding = false;
};

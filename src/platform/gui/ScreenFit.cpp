#include "ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

constexpr char FittedProperty[] = "penhollowScreenFitted";

// Until a window of ours has been framed, room for a title bar and borders of the usual sizes.
constexpr QMargins GuessedFrame(8, 40, 8, 8);

QMargins frameOf(const QWidget* window)
{
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The window manager frames all our windows alike: one already framed tells.
QMargins expectedFrame(const QWidget* window)
{
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return {};
    }
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window && other->isVisible() &&
            !other->windowFlags().testFlag(Qt::FramelessWindowHint) && other->windowType() != Qt::Popup &&
            other->frameGeometry() != other->geometry()) {
            return frameOf(other);
        }
    }
    return GuessedFrame;
}

// The frame at `frame`'s place, brought inside `area`: smaller where needed (never below the least size),
// then moved in where it fits.
void fitInto(QWidget* window, const QRect& area, const QRect& frame, const QMargins& margins)
{
    const QSize room = area.size().shrunkBy(margins);
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size()) {
        window->resize(size);
    }
    // Along a side the least size does not fit, it stays where it was put.
    const auto inside = [](int at, int length, int start, int room) {
        return length > room ? at : qBound(start, at, start + room - length);
    };
    const QSize outer = size.grownBy(margins);
    const int x = inside(frame.left(), outer.width(), area.left(), area.width());
    const int y = inside(frame.top(), outer.height(), area.top(), area.height());
    if (QPoint(x, y) != frame.topLeft()) {
        window->move(x, y);
    }
}

// Waits for the window's first exposure, when the window manager has placed and framed it.
class FramedCheck : public QObject
{
public:
    explicit FramedCheck(QWidget* window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The native window exists once the widget is being shown.
        if (watched == m_window && event->type() == QEvent::Show && m_window->windowHandle()) {
            m_window->removeEventFilter(this);
            m_window->windowHandle()->installEventFilter(this);
        } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose &&
                   m_window->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            if (QScreen* screen = m_window->screen()) {
                const QRect frame = m_window->frameGeometry();
                if (!screen->availableGeometry().contains(frame)) {
                    fitInto(m_window, screen->availableGeometry(), frame, frameOf(m_window));
                }
            }
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
};

} // namespace

void ScreenFit::beforeFirstShow(QWidget* window)
{
    if (!window || !window->isWindow() || window->isVisible() || window->property(FittedProperty).toBool()) {
        return;
    }
    window->setProperty(FittedProperty, true);
    // Where it will open: by the window the user works in, else where Qt would put it.
    const QWidget* anchor =
        window->parentWidget() ? window->parentWidget()->window() : QApplication::activeWindow();
    QScreen* screen = anchor && anchor->screen() ? anchor->screen() : window->screen();
    if (!screen) {
        return;
    }
    const QMargins margins = expectedFrame(window);
    const QRect area = screen->availableGeometry();
    // A window never placed keeps the window manager's choice; one placed (as it was last time) is checked.
    const QPoint at = window->testAttribute(Qt::WA_Moved) ? window->pos() : area.topLeft();
    fitInto(window, area, QRect(at, window->size().grownBy(margins)), margins);
    new FramedCheck(window);
}

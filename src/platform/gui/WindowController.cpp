#include "WindowController.h"

#include "platform/Dispatch.h"
#include "platform/gui/ScreenFit.h"

#include <QEvent>
#include <QKeySequence>
#include <QShortcut>

WindowController::WindowController(QObject* parent) : QObject(parent) {}

WindowController::~WindowController()
{
    delete m_window.data();
}

QWidget* WindowController::window()
{
    Dispatch::requireMainThread("WindowController::window");
    if (!m_window) {
        m_window = loadWindow().release();
        // A closed window is hidden, not deleted: the controller still holds its outlets.
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_window->installEventFilter(this);
        windowDidLoad();
    }
    return m_window;
}

bool WindowController::isWindowLoaded() const
{
    return !m_window.isNull();
}

void WindowController::showWindow()
{
    QWidget* w = window();
    ScreenFit::beforeFirstShow(w);
    w->show();
    w->raise();
    w->activateWindow();
}

void WindowController::close()
{
    if (m_window && m_window->isVisible()) {
        m_window->close();
    }
}

void WindowController::windowDidLoad() {}

void WindowController::closeWithKeys()
{
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, window());
        // The user's close, never a subclass's close by its owner.
        connect(shortcut, &QShortcut::activated, this, [this] { WindowController::close(); });
    }
}

bool WindowController::windowShouldClose()
{
    return true;
}

bool WindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        if (!windowShouldClose()) {
            event->ignore();
            return true;
        }
        Q_EMIT windowWillClose();
    }
    return QObject::eventFilter(watched, event);
}

#include "Popover.h"

#include "ViewController.h"
#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QVBoxLayout>
#include <QWidget>

Popover::Popover(ViewController* controller, QObject* parent) : QObject(parent), m_controller(controller) {}

Popover::~Popover()
{
    releaseContent();
    delete m_frame.data();
}

ViewController* Popover::contentViewController() const
{
    return m_controller;
}

void Popover::showRelativeToView(QWidget* anchor)
{
    Dispatch::requireMainThread("Popover::showRelativeToView");
    if (!m_controller || !anchor) {
        return;
    }
    if (!m_frame) {
        auto* frame = new QFrame(anchor->window(), Qt::Popup | Qt::FramelessWindowHint);
        frame->setObjectName(QStringLiteral("popoverWindow"));
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->installEventFilter(this);
        auto* layout = new QVBoxLayout(frame);
        layout->setContentsMargins(1, 1, 1, 1);
        m_frame = frame;
    }
    QWidget* content = m_controller->view();
    if (content->parentWidget() != m_frame) {
        content->setParent(m_frame);
        m_frame->layout()->addWidget(content);
    }
    content->show();
    m_frame->adjustSize();

    const QSize size = m_frame->sizeHint().expandedTo(m_frame->minimumSizeHint());
    const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
    QPoint origin(below.x() - size.width() / 2, below.y() + 2);
    // Below the anchor, inside its window where it fits; above it when the window ends first, as at the
    // foot of the left column.
    const QRect windowArea = anchor->window()->geometry();
    if (origin.y() + size.height() > windowArea.bottom()) {
        const int above = anchor->mapToGlobal(QPoint(0, 0)).y() - 2 - size.height();
        if (above >= windowArea.top()) {
            origin.setY(above);
        }
    }
    if (size.width() <= windowArea.width()) {
        origin.setX(qBound(windowArea.left(), origin.x(), windowArea.right() - size.width()));
    }
    if (QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        origin.setX(qBound(area.left(), origin.x(), qMax(area.left(), area.right() - size.width())));
        origin.setY(qBound(area.top(), origin.y(), qMax(area.top(), area.bottom() - size.height())));
    }
    m_frame->move(origin);
    m_anchor = anchor;
    m_shown.start();
    m_frame->show();
    // The keyboard goes with it: the first control takes the focus (Qt gives it back on closing).
    for (QWidget* next = content->nextInFocusChain(); next && next != content;
         next = next->nextInFocusChain()) {
        if (content->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) &&
            next->isVisibleTo(m_frame) && next->isEnabled()) {
            next->setFocus(Qt::PopupFocusReason);
            break;
        }
    }
}

void Popover::close()
{
    if (m_frame && m_frame->isVisible()) {
        m_frame->close();
    }
}

bool Popover::isShown() const
{
    return m_frame && m_frame->isVisible();
}

QWidget* Popover::popupWindow() const
{
    return m_frame;
}

bool Popover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_frame && event->type() == QEvent::Hide) {
        endHover();
        Q_EMIT didClose();
    }
    if (watched == m_frame && m_anchor &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        m_shown.isValid() && m_shown.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (QRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size()).contains(at)) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void Popover::endHover()
{
    // The window system tells no widget that the pointer has left as the pop-up goes, so what was under
    // the pointer in it would still look hovered the next time it shows; and the view that opened it may
    // never have heard that the pointer left on its way into the pop-up.
    QList<QPointer<QWidget>> left;
    if (m_controller && m_controller->isViewLoaded()) {
        QWidget* content = m_controller->view();
        for (QWidget* part : content->findChildren<QWidget*>()) {
            if (part->underMouse()) {
                left.append(part);
            }
        }
    }
    if (m_anchor && m_anchor->underMouse() &&
        !m_anchor->rect().contains(m_anchor->mapFromGlobal(QCursor::pos()))) {
        left.append(m_anchor);
    }
    for (const QPointer<QWidget>& widget : left) {
        if (widget) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(widget, &leave);
        }
    }
}

void Popover::releaseContent()
{
    if (!m_controller || !m_frame || !m_controller->isViewLoaded()) {
        return;
    }
    QWidget* content = m_controller->view();
    if (content->parentWidget() == m_frame) {
        content->hide();
        content->setParent(nullptr);
    }
}

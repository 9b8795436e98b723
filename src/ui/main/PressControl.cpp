#include "PressControl.h"

#include "KeyboardFocus.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace {

class PressControlAccessible : public QAccessibleWidget
{
public:
    explicit PressControlAccessible(QWidget* control) : QAccessibleWidget(control, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return widget()->toolTip();
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // The same way as the keyboard's press.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(widget(), &press);
    }
};

QAccessibleInterface* pressControlFactory(const QString& className, QObject* object)
{
    static const QStringList controls{QStringLiteral("ImageButtonView"),
                                      QStringLiteral("AlternativeButtonView"),
                                      QStringLiteral("ClickAreaView"), QStringLiteral("LeftMenuViewClass")};
    // The name first: the factory is also asked about other objects, some of them half made or half gone
    // (the web engine's own), which must not be cast.
    if (!controls.contains(className)) {
        return nullptr;
    }
    auto* widget = qobject_cast<QWidget*>(object);
    return widget ? new PressControlAccessible(widget) : nullptr;
}

} // namespace

void PressControlParts::makeFocusable(QWidget* control)
{
    static const bool installed = [] {
        QAccessible::installFactory(&pressControlFactory);
        return true;
    }();
    Q_UNUSED(installed);
    control->setFocusPolicy(Qt::TabFocus);
    KeyboardFocus::of(control);
}

bool PressControlParts::isPressKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->isAutoRepeat() || modifiers != Qt::NoModifier) {
        return false;
    }
    return event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

void PressControlParts::paintFocusRing(QWidget* control)
{
    if (!KeyboardFocus::ringShown(control)) {
        return;
    }
    QPainter painter(control);
    drawFocusRing(painter, control->rect(), control->palette());
}

void PressControlParts::drawFocusRing(QPainter& painter, const QRect& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

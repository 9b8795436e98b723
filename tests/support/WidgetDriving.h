#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

namespace TestSupport {

// The widget of that object name and type in any window, the window itself included.
template <typename T> T* findAnywhere(const QString& name)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) {
            if (auto* self = qobject_cast<T*>(top)) {
                return self;
            }
        }
        if (T* found = top->findChild<T*>(name)) {
            return found;
        }
    }
    return nullptr;
}

// A click of the primary button at the widget's centre, as a user makes it.
inline void press(QWidget* widget)
{
    QVERIFY(widget);
    QTest::mousePress(widget, Qt::LeftButton, {}, widget->rect().center());
    QTest::mouseRelease(widget, Qt::LeftButton, {}, widget->rect().center());
}

} // namespace TestSupport

#include "ProbeWindowController.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestWindowController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testWindowNotLoadedUntilAsked();
    void testOutletsAreTheObjectNamesOfTheInterfaceFile();
    void testWindowDidLoadRunsOnce();
    void testUserCloseHidesWindowAndKeepsOutlets();
    void testCloseOfHiddenWindowSendsNothing();
    void testWindowSystemCloseNotifies();
    void testShowAfterCloseReusesTheWindow();
    void testControllerDeletesItsWindow();
};

void TestWindowController::testWindowNotLoadedUntilAsked()
{
    ProbeWindowController controller;
    QVERIFY(!controller.isWindowLoaded());
    QVERIFY(controller.messageOutlet() == nullptr);
    controller.close(); // nothing to close; must not load the window
    QVERIFY(!controller.isWindowLoaded());
    QCOMPARE(controller.windowDidLoadCalls, 0);
}

void TestWindowController::testOutletsAreTheObjectNamesOfTheInterfaceFile()
{
    ProbeWindowController controller;
    QWidget* window = controller.window();
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("ProbeWindow"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Probe"));
    QCOMPARE(controller.messageOutlet(), window->findChild<QLabel*>(QStringLiteral("messageOutlet")));
    QCOMPARE(controller.messageOutlet()->text(), QStringLiteral("Hello"));
    QVERIFY(!window->isVisible());
}

void TestWindowController::testWindowDidLoadRunsOnce()
{
    ProbeWindowController controller;
    controller.window();
    controller.showWindow();
    controller.window();
    QCOMPARE(controller.windowDidLoadCalls, 1);
}

void TestWindowController::testUserCloseHidesWindowAndKeepsOutlets()
{
    ProbeWindowController controller;
    QSignalSpy closing(&controller, &WindowController::windowWillClose);
    controller.showWindow();
    QPointer<QWidget> window = controller.window();
    QVERIFY(window->isVisible());

    window->findChild<QPushButton*>(QStringLiteral("closeButtonOutlet"))->click();
    QCOMPARE(closing.size(), 1);
    QVERIFY(!window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window); // hidden, not deleted
    QVERIFY(controller.messageOutlet());

    window->close();
    QCOMPARE(closing.size(), 1); // already closed: no second notice
}

void TestWindowController::testCloseOfHiddenWindowSendsNothing()
{
    ProbeWindowController controller;
    QSignalSpy closing(&controller, &WindowController::windowWillClose);
    controller.window();
    controller.close();
    QCOMPARE(closing.size(), 0);
}

void TestWindowController::testWindowSystemCloseNotifies()
{
    ProbeWindowController controller;
    QSignalSpy closing(&controller, &WindowController::windowWillClose);
    controller.showWindow();
    controller.window()->close(); // what the title bar's close button does
    QCOMPARE(closing.size(), 1);
    QVERIFY(!controller.window()->isVisible());
}

void TestWindowController::testShowAfterCloseReusesTheWindow()
{
    ProbeWindowController controller;
    controller.showWindow();
    QWidget* first = controller.window();
    controller.close();
    controller.showWindow();
    QCOMPARE(controller.window(), first);
    QVERIFY(first->isVisible());
}

void TestWindowController::testControllerDeletesItsWindow()
{
    QPointer<QWidget> window;
    {
        ProbeWindowController controller;
        controller.showWindow();
        window = controller.window();
    }
    QVERIFY(!window);
}

QTEST_MAIN(TestWindowController)
#include "TestWindowController.moc"

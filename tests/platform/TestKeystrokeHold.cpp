#include "platform/gui/KeystrokeHold.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

// Keys held for a window on its way, under X with no window manager: there a window is made active only when
// it asks, so one whose requests go nowhere stays inactive, as under a window manager that never brings it.
class TestKeystrokeHold : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testKeysHeldForAWindowNeverMadeActiveReachItsTargetAfterTheLimit()
    {
        QWidget main;
        auto* typedInto = new QLineEdit(&main);
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        typedInto->setFocus();
        QWidget editor;
        auto* title = new QLineEdit(&editor);
        editor.setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);

        KeystrokeHold hold;
        hold.setTarget(title);
        hold.hold();
        QTest::keyClicks(typedInto, "Low tide");
        QCOMPARE(typedInto->text(), QString());
        editor.show();
        editor.activateWindow();
        QTRY_COMPARE(title->text(), QStringLiteral("Low tide"));
        QVERIFY(!hold.isHolding());
        QCOMPARE(QApplication::activeWindow(), &main);

        // The window the user is in takes keys again.
        QTest::keyClicks(typedInto, "Neap");
        QCOMPARE(typedInto->text(), QStringLiteral("Neap"));
        QCOMPARE(title->text(), QStringLiteral("Low tide"));
    }
};

QTEST_MAIN(TestKeystrokeHold)
#include "TestKeystrokeHold.moc"

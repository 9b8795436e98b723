#include "AppTestMain.h"
#include "OnlineApplication.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "controllers/ApplicationWindowController.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "ui/main/AlternativeButtonView.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

// Pictures of a first start for people to look at, in a real (virtual) X display so web views paint:
// the welcome window, the stand-in's consent page in the sign-in window, and the main window after.
class TestFirstRunScreenshots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void testWelcomeConsentAndFirstListing()
    {
        OnlineApplication online;
        online.forgetEverything();
        QVERIFY(online.launch());
        QWidget* welcome = online.welcomeWindow();
        QVERIFY(welcome && QTest::qWaitForWindowExposed(welcome, 20000));
        shoot(welcome, QStringLiteral("WelcomeWindow"));
        // Support is a link to press, with a ring when Tab reaches it and none after a click.
        auto* support = welcome->findChild<QPushButton*>(QStringLiteral("supportButton"));
        QVERIFY(support);
        welcome->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(welcome, 20000));
        ExternalUrlOpener::setOpener([](const QUrl&) { return true; });
        QTest::mouseClick(support, Qt::LeftButton);
        ExternalUrlOpener::setOpener({});
        // The click leaves the focus where Return adds an account.
        QVERIFY(!support->hasFocus());
        const QPoint edge = support->mapToGlobal(QPoint(0, support->height() / 2));
        const QColor ring = support->palette().color(QPalette::Highlight);
        shoot(welcome, QStringLiteral("WelcomeWindow-support-clicked"));
        QVERIFY(Screenshot::screenPixel(edge) != ring);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(support->hasFocus());
        QTRY_COMPARE(Screenshot::screenPixel(edge), ring);
        shoot(welcome, QStringLiteral("WelcomeWindow-focus-on-support"));

        QTest::mouseClick(welcome->findChild<QPushButton*>(QStringLiteral("addNewBloggerAccountButton")),
                          Qt::LeftButton);
        QVERIFY(online.waitForConsentPage());
        shoot(online.signInWindow()->window(), QStringLiteral("WelcomeWindow-consent"));

        QVERIFY(online.allowAs(OnlineApplication::mara()));
        QVERIFY(online.waitForListHeader(
            QStringLiteral("Published Posts (%1)")
                .arg(online.standinTitles(OnlineApplication::tideTables(), false).size())));
        QVERIFY(online.waitForOperationsToEnd());
        QWidget* main = online.mainWindow();
        QVERIFY(main && QTest::qWaitForWindowExposed(main, 20000));
        shoot(main, QStringLiteral("WelcomeWindow-first-listing"));
    }

    // The window system tells nothing as a pop-up goes: the settings button, which the pointer passed on
    // its way into the popover, must not look hovered once the popover has closed.
    void testSettingsButtonHoverEndsWhenTheAccountsPopoverCloses()
    {
        OnlineApplication online;
        online.forgetEverything();
        online.storeSignedInAccount(OnlineApplication::mara(), OnlineApplication::tideTables(), false);
        QVERIFY(online.launch());
        QVERIFY(online.waitForListHeader(
            QStringLiteral("Published Posts (%1)")
                .arg(online.standinTitles(OnlineApplication::tideTables(), false).size())));
        QVERIFY(online.waitForOperationsToEnd());
        QWidget* main = online.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main, 20000));
        auto* gear = main->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageOutlet"));
        QVERIFY(gear && gear->mainImage() && gear->alternativeImage());
        QTest::mouseMove(gear);
        QTRY_COMPARE(gear->imageName(), *gear->alternativeImage());
        click(gear);
        QPushButton* add = nullptr;
        QTRY_VERIFY((add = TestSupport::findAnywhere<QPushButton>(QStringLiteral("addNewAccountButton"))) &&
                    add->isVisible());
        QTest::mouseMove(add);
        QTRY_VERIFY(add->underMouse());
        click(add);
        QTRY_VERIFY(online.signInWindow() && online.signInWindow()->window()->isVisible());
        QTRY_COMPARE(gear->imageName(), *gear->mainImage());
    }

private:
    // A click where the widget is, delivered to its window as the window system delivers one.
    static void click(QWidget* widget)
    {
        QWindow* window = widget->window()->windowHandle();
        QTest::mouseClick(window, Qt::LeftButton, {},
                          window->mapFromGlobal(widget->mapToGlobal(widget->rect().center())));
    }

    static void shoot(QWidget* window, const QString& name)
    {
        const QString path = Screenshot::saveScreenArea(window, name);
        QVERIFY(!path.isEmpty());
        QVERIFY(QFileInfo(path).size() > 0);
    }
};

PENHOLLOW_APP_TEST_MAIN(TestFirstRunScreenshots)
#include "TestFirstRunScreenshots.moc"

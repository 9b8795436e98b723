#include "AppTestMain.h"
#include "OnlineApplication.h"
#include "Screenshot.h"
#include "TestSupport.h"

#include "controllers/ApplicationWindowController.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>

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
        // Support is a link to press, with a ring when Tab reaches it.
        auto* support = welcome->findChild<QPushButton*>(QStringLiteral("supportButton"));
        QVERIFY(support);
        welcome->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(welcome, 20000));
        support->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(support->hasFocus());
        const QPoint edge = support->mapToGlobal(QPoint(0, support->height() / 2));
        QTRY_COMPARE(Screenshot::screenPixel(edge), support->palette().color(QPalette::Highlight));
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

private:
    static void shoot(QWidget* window, const QString& name)
    {
        const QString path = Screenshot::saveScreenArea(window, name);
        QVERIFY(!path.isEmpty());
        QVERIFY(QFileInfo(path).size() > 0);
    }
};

PENHOLLOW_APP_TEST_MAIN(TestFirstRunScreenshots)
#include "TestFirstRunScreenshots.moc"

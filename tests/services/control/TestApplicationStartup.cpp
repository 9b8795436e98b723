#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleAuthentificationService.h"
#include "services/control/AppDelegate.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "ui/main/ApplicationWindowController.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>

// Start-up and shutdown of the whole application, in this process, on a data folder of its own.
class TestApplicationStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_dataFolder = TestSupport::useFreshDataFolder(); }

    void testWithoutAccountOpensWelcomeWindowAndNoMainWindow()
    {
        ApplicationHarness app;
        QVERIFY(app.launch());
        WelcomeWindowController* welcome = app.delegate()->welcomeWindowController();
        QVERIFY(welcome);
        QTRY_VERIFY(welcome->window()->isVisible());
        QVERIFY(!app.windowController());
        QVERIFY(ApplicationHarness::settle());
        QVERIFY(app.alerts.isEmpty());
    }

    void testAccountWithoutStoredRefreshTokenOpensWelcomeWindow()
    {
        storeMara();
        PersistentAccessTokens(QStringLiteral("mara")).setRefreshToken(std::nullopt);
        ApplicationHarness app;
        QVERIFY(app.launch());
        QVERIFY(app.delegate()->welcomeWindowController());
        QVERIFY(!app.windowController());
    }

    void testStoredAccountOpensMainWindowOnItsBlog()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QVERIFY(app.windowController());
        QVERIFY(!app.delegate()->welcomeWindowController());
        QMainWindow* window = app.windowController()->windowOutlet();
        QVERIFY(window);
        QTRY_VERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Penhollow for Blogger"));
        QVERIFY(window->width() >= 900 && window->height() >= 560);
        QCOMPARE(window->minimumSize(), QSize(900, 560));
        const DynamicServiceState& state = app.delegate()->authentificationService()->dynamicServiceState();
        QCOMPARE(state.userId(), QStringLiteral("mara"));
        QCOMPARE(state.blogId(), QStringLiteral("travel"));
        QVERIFY(app.alerts.isEmpty());
    }

    void testMenuBarOffersNewPostQuitAndHelpWithTheirKeys()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        auto* newPost = window->menuBar()->findChild<QAction*>(QStringLiteral("newPostAction"));
        auto* quit = window->menuBar()->findChild<QAction*>(QStringLiteral("quitAction"));
        auto* help = window->menuBar()->findChild<QAction*>(QStringLiteral("helpAction"));
        QVERIFY(newPost && quit && help);
        QCOMPARE(newPost->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
        QCOMPARE(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void testClosingTheMainWindowAsksTheApplicationToQuit()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        QTRY_VERIFY(window->isVisible());
        QSignalSpy quit(app.delegate(), &AppDelegate::quitRequested);
        QVERIFY(window->close());
        QTRY_COMPARE(quit.size(), 1);
    }

    void testSecondLaunchRaisesTheFirstAndExits()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        QTRY_VERIFY(window->isVisible());
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());

        QProcess second;
        second.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/penhollow"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PENHOLLOW_DATA_DIR"), m_dataFolder);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(env);
        second.start();
        // The first instance must keep serving its event loop while the second one asks.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());
    }

    void testTwoLaunchesInOneFolderNeverBothOwnIt()
    {
        storeMara();
        ApplicationHarness first;
        QVERIFY(first.launch());
        ApplicationHarness second;
        QVERIFY(!second.launch());
        QVERIFY(!second.windowController());
    }

private:
    static void storeMara()
    {
        ApplicationHarness::storeAccount(
            BloggerUser("mara", "Mara Quill", "https://profiles/mara", ""),
            {BloggerBlog("travel", "mara", "Travel Notes", "https://travel/", "LIVE")}, "travel");
    }

    QString m_dataFolder;
};

PENHOLLOW_APP_TEST_MAIN(TestApplicationStartup)
#include "TestApplicationStartup.moc"

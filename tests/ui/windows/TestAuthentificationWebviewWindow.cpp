#include "LocalHttpServer.h"
#include "QueuedWork.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "platform/ApplicationFolders.h"
#include "platform/gui/WebView.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QWebEngineProfile>

#include <memory>
#include <optional>

namespace {

constexpr int LoadTimeout = 20000;
const QString ClientId = QStringLiteral("1234567890123.apps.googleusercontent.com");
const QString ClientSecret = QStringLiteral("AbCdEfGhIjKlMnOpQrStUvWx");
const QString ClientScope = QStringLiteral("http://www.blogger.com/feeds https://picasaweb.google.com/data "
                                           "https://www.googleapis.com/auth/userinfo.profile");
const QString RedirectUri = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");

QByteArray pageTitled(const QString& title)
{
    return "<html><head><title>" + title.toHtmlEscaped().toUtf8() + "</title></head><body>" +
           title.toHtmlEscaped().toUtf8() + "</body></html>";
}

// Waits until the title test of the last finished load has run: a script queued after it in the same
// world comes back after it.
bool waitForTitleTest(WebView* view)
{
    auto done = std::make_shared<bool>(false);
    view->evaluateScript(
        QStringLiteral("0"), [done](const QVariant&) { *done = true; }, QWebEngineScript::ApplicationWorld);
    return QTest::qWaitFor([&] { return *done; }, LoadTimeout);
}

} // namespace

class TestAuthentificationWebviewWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void testConsentAddressEncodesBlanksAndSlashesKeepsColons();
    void testConsentAddressKeepsDelimitersInsideValues();

    void testWindowLoadedOnlyWhenOpened();
    void testMatchingTitleHandsCodeOverThenCloses();
    void testRefusalTitleLeavesWindowOpenAndReportsNothing();
    void testMatchingTitleWithoutSubmitBlockStillCloses();
    void testPageFinishingAfterUserClosedReportsNothing();
    void testReopenedWindowHandsCodeOverAgain();
    void testUserStaysSignedInBetweenSignIns();
    void testControllerDeletedWhileConsentPageLoads();

private:
    std::unique_ptr<LocalHttpServer> m_server;
};

void TestAuthentificationWebviewWindow::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestAuthentificationWebviewWindow::init()
{
    m_server = std::make_unique<LocalHttpServer>();
    QVERIFY(m_server->start());
    qputenv("PENHOLLOW_OAUTH_URL", m_server->baseUrl().toString().toUtf8());
}

void TestAuthentificationWebviewWindow::testConsentAddressEncodesBlanksAndSlashesKeepsColons()
{
    AuthentificationWebviewWindowController controller;
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QCOMPARE(controller.buildGoogleAuthentificationUrl(),
             m_server->baseUrl().toString() +
                 QStringLiteral(
                     "/o/oauth2/auth?"
                     "scope=http:%2F%2Fwww.blogger.com%2Ffeeds%20https:%2F%2Fpicasaweb.google.com%2Fdata"
                     "%20https:%2F%2Fwww.googleapis.com%2Fauth%2Fuserinfo.profile"
                     "&state=guard_wordplay&redirect_uri=urn:ietf:wg:oauth:2.0:oob&response_type=code"
                     "&client_id=1234567890123.apps.googleusercontent.com&approval_prompt=force"));
    QCOMPARE(controller.clientSecret(), ClientSecret);
}

void TestAuthentificationWebviewWindow::testConsentAddressKeepsDelimitersInsideValues()
{
    AuthentificationWebviewWindowController controller;
    // "%2" in the scope must not be filled with the redirect, and non-ASCII text goes out as UTF-8 escapes.
    controller.openWindow(QStringLiteral("id&x=y"), ClientSecret, QStringLiteral("a%2 b#c?d\u00e9"),
                          QStringLiteral("r(1)*[2]"));
    QCOMPARE(
        controller.buildGoogleAuthentificationUrl(),
        m_server->baseUrl().toString() +
            QStringLiteral("/o/oauth2/auth?scope=a%252%20b%23c%3Fd%C3%A9"
                           "&state=guard_wordplay&redirect_uri=r(1)*[2]&response_type=code&client_id=id&x=y"
                           "&approval_prompt=force"));
}

void TestAuthentificationWebviewWindow::testWindowLoadedOnlyWhenOpened()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Sign in - Google Accounts")));
    AuthentificationWebviewWindowController controller;
    QVERIFY(controller.webviewOutlet() == nullptr);
    QVERIFY(!controller.isWindowLoaded());
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QVERIFY(controller.webviewOutlet());
    QCOMPARE(controller.webviewOutlet()->objectName(), QStringLiteral("webviewOutlet"));
    QVERIFY(controller.window()->isVisible());
}

void TestAuthentificationWebviewWindow::testMatchingTitleHandsCodeOverThenCloses()
{
    m_server->route("/o/oauth2/auth",
                    pageTitled(QStringLiteral("Success state=guard_wordplay&code=4/Ab=c&scope=profile")));
    AuthentificationWebviewWindowController controller;
    QStringList codes;
    bool visibleWhenCalled = false;
    controller.submitBlock([&](const QString& code) {
        codes.append(code);
        visibleWhenCalled = controller.window()->isVisible();
    });
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QTRY_COMPARE_WITH_TIMEOUT(codes, QStringList{QStringLiteral("4/Ab=c")}, LoadTimeout);
    QVERIFY(visibleWhenCalled); // the code is handed over before the window closes
    QVERIFY(!controller.window()->isVisible());

    const auto requests = m_server->requestsFor("/o/oauth2/auth");
    QCOMPARE(requests.size(), 1);
    const QString sent = m_server->baseUrl().toString() + QString::fromLatin1(requests.first().target);
    QCOMPARE(sent, controller.buildGoogleAuthentificationUrl());
}

void TestAuthentificationWebviewWindow::testRefusalTitleLeavesWindowOpenAndReportsNothing()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Denied error=access_denied")));
    AuthentificationWebviewWindowController controller;
    int calls = 0;
    controller.submitBlock([&](const QString&) { ++calls; });
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QSignalSpy loaded(controller.webviewOutlet(), &WebView::pageLoaded);
    QVERIFY(loaded.wait(LoadTimeout));
    QVERIFY(waitForTitleTest(controller.webviewOutlet()));
    QCOMPARE(calls, 0);
    QVERIFY(controller.window()->isVisible());
    // Ctrl+W closes it, wherever the focus is.
    controller.window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(controller.window()));
    controller.webviewOutlet()->setFocus();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : controller.window(),
                    Qt::Key_W, Qt::ControlModifier);
    QTRY_VERIFY(!controller.window()->isVisible());
    QCOMPARE(calls, 0);
}

void TestAuthentificationWebviewWindow::testMatchingTitleWithoutSubmitBlockStillCloses()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Success state=guard_wordplay&code=xyz")));
    AuthentificationWebviewWindowController controller;
    QSignalSpy closing(&controller, &WindowController::windowWillClose);
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QVERIFY(closing.wait(LoadTimeout));
    QVERIFY(!controller.window()->isVisible());
}

void TestAuthentificationWebviewWindow::testPageFinishingAfterUserClosedReportsNothing()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Sign in - Google Accounts")));
    AuthentificationWebviewWindowController controller;
    int calls = 0;
    controller.submitBlock([&](const QString&) { ++calls; });
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    WebView* view = controller.webviewOutlet();
    QSignalSpy loaded(view, &WebView::pageLoaded);
    QVERIFY(loaded.wait(LoadTimeout));

    controller.window()->close(); // the user gives up
    loaded.clear();
    view->loadHtml(QString::fromUtf8(pageTitled(QStringLiteral("Success state=guard_wordplay&code=late"))),
                   m_server->baseUrl());
    QVERIFY(loaded.wait(LoadTimeout));
    QVERIFY(waitForTitleTest(view));
    QCOMPARE(calls, 0);
}

void TestAuthentificationWebviewWindow::testReopenedWindowHandsCodeOverAgain()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Success state=guard_wordplay&code=again")));
    AuthentificationWebviewWindowController controller;
    QStringList codes;
    controller.submitBlock([&](const QString& code) { codes.append(code); });
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QTRY_COMPARE_WITH_TIMEOUT(codes.size(), 1, LoadTimeout);
    controller.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QTRY_COMPARE_WITH_TIMEOUT(codes.size(), 2, LoadTimeout);
    QCOMPARE(codes, (QStringList{QStringLiteral("again"), QStringLiteral("again")}));
}

void TestAuthentificationWebviewWindow::testUserStaysSignedInBetweenSignIns()
{
    m_server->route("/o/oauth2/auth", pageTitled(QStringLiteral("Sign in - Google Accounts")), "text/html",
                    {"Set-Cookie: SID=signed-in; Path=/; HttpOnly"});
    {
        AuthentificationWebviewWindowController first;
        first.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
        QSignalSpy loaded(first.webviewOutlet(), &WebView::pageLoaded);
        QVERIFY(loaded.wait(LoadTimeout));
        const QWebEngineProfile* profile = first.webviewOutlet()->webProfile();
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(profile->persistentStoragePath(),
                 ApplicationFolders::dataFolder() + QStringLiteral("/QtWebEngine/SignIn"));

        QVERIFY(!Screenshot::save(first.window(), QStringLiteral("AuthentificationWebviewWindow-local"))
                     .isEmpty());
    }
    AuthentificationWebviewWindowController second;
    second.openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
    QSignalSpy loaded(second.webviewOutlet(), &WebView::pageLoaded);
    QVERIFY(loaded.wait(LoadTimeout));
    const auto requests = m_server->requestsFor("/o/oauth2/auth");
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.first().header("Cookie").isEmpty());
    QCOMPARE(requests.last().header("Cookie"), QByteArray("SID=signed-in"));
}

void TestAuthentificationWebviewWindow::testControllerDeletedWhileConsentPageLoads()
{
    // A consent host that accepts the connection and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    qputenv("PENHOLLOW_OAUTH_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(silent.serverPort()));
    int calls = 0;
    {
        auto controller = std::make_unique<AuthentificationWebviewWindowController>();
        controller->submitBlock([&](const QString&) { ++calls; });
        controller->openWindow(ClientId, ClientSecret, ClientScope, RedirectUri);
        QVERIFY(QTest::qWaitFor([&] { return silent.hasPendingConnections(); }, LoadTimeout));
    }
    // The controller is gone: whatever its page still had queued ran and found no one.
    QVERIFY(TestSupport::queuedWorkDone());
    QCOMPARE(calls, 0);
}

PENHOLLOW_WEB_TEST_MAIN(TestAuthentificationWebviewWindow)
#include "TestAuthentificationWebviewWindow.moc"

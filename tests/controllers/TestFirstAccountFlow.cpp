#include "AppTestMain.h"
#include "OnlineApplication.h"
#include "TestSupport.h"

#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "platform/gui/WebView.h"
#include "services/WelcomeNewAccountService.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QApplication>
#include <QJsonArray>
#include <QPushButton>
#include <QSignalSpy>

namespace {

// What a fault at one step of the first-account flow must leave behind: nothing.
void verifyNothingStored(GoogleStandin& standin)
{
    QVERIFY(UserBlogsLocalAccessAppService().listUsers().isEmpty());
    for (const StandinAccount& account : standin.accounts()) {
        QVERIFY(!PersistentAccessTokens(account.id).accessToken());
        QVERIFY(!PersistentAccessTokens(account.id).refreshToken());
    }
    QVERIFY(!PersistentServiceState().userId());
    QVERIFY(!PersistentServiceState().blogId());
    for (const StandinBlog& blog : standin.blogs()) {
        QVERIFY(PostsLocalAccessAppService().listAllPostsforBlog(blog.id).isEmpty());
    }
}

} // namespace

// A first start: the welcome window, the sign-in on the stand-in's consent page, and the main window with
// the new account's first blog downloaded; and every way that flow can fail.
class TestFirstAccountFlow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }
    void init();
    void cleanup() { m_online.reset(); }

    void testFreshDataFolderOpensOnlyTheWelcomeWindow();
    void testAllowOpensMainWindowWithFirstBlogDownloaded();
    void testDenyLeavesWelcomeWindowOpenAndStoresNothing();
    void testRestartOpensMainWindowWithoutDownloadingAgain();
    void testAccountWithoutBlogsSaysSoAndStoresNothing();
    void testFaultAtEachStepShowsOneAlertAndStoresNothing_data();
    void testFaultAtEachStepShowsOneAlertAndStoresNothing();
    void testClosingWelcomeWindowEndsTheApplication();

private:
    void pressAddAccount();
    bool runFirstAccountFlowAs(const QString& accountId);

    std::unique_ptr<OnlineApplication> m_online;
};

void TestFirstAccountFlow::init()
{
    m_online = std::make_unique<OnlineApplication>();
    m_online->forgetEverything();
}

void TestFirstAccountFlow::pressAddAccount()
{
    auto* button =
        m_online->welcomeWindow()->findChild<QPushButton*>(QStringLiteral("addNewBloggerAccountButton"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

bool TestFirstAccountFlow::runFirstAccountFlowAs(const QString& accountId)
{
    if (!m_online->launch() || !m_online->welcomeWindow()) {
        return false;
    }
    pressAddAccount();
    return m_online->allowAs(accountId);
}

void TestFirstAccountFlow::testFreshDataFolderOpensOnlyTheWelcomeWindow()
{
    QVERIFY(m_online->launch());
    QWidget* welcome = m_online->welcomeWindow();
    QVERIFY(welcome);
    QTRY_VERIFY(welcome->isVisible());
    QCOMPARE(welcome->windowTitle(), QStringLiteral("Welcome to Penhollow"));
    QVERIFY(!m_online->app().windowController());
    QVERIFY(!m_online->signInWindow());
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->app().alerts.isEmpty());
    QCOMPARE(m_online->standin.requestCount(), 0);
}

void TestFirstAccountFlow::testAllowOpensMainWindowWithFirstBlogDownloaded()
{
    QVERIFY(runFirstAccountFlowAs(OnlineApplication::mara()));
    const QStringList published = m_online->standinTitles(OnlineApplication::tideTables(), false);
    QVERIFY(m_online->waitForListHeader(QStringLiteral("Published Posts (%1)").arg(published.size())));
    QCOMPARE(m_online->listedTitles(), published);
    QTRY_VERIFY(!m_online->isLoading());
    QTRY_VERIFY(!m_online->welcomeWindow()->isVisible());
    QVERIFY(m_online->mainWindow()->isVisible());
    QVERIFY(!m_online->signInWindow()->window()->isVisible());

    // Stored for the next start, exactly as the sign-in gave them.
    PersistentServiceState state;
    QCOMPARE(state.userId(), std::optional<QString>(OnlineApplication::mara()));
    QCOMPARE(state.blogId(), std::optional<QString>(OnlineApplication::tideTables()));
    QVERIFY(state.getBlogWasQueried(OnlineApplication::tideTables()));
    WelcomeNewAccountService* flow =
        m_online->app().delegate()->welcomeWindowController()->welcomeNewAccountService();
    PersistentAccessTokens tokens(OnlineApplication::mara());
    QCOMPARE(tokens.refreshToken(), std::optional<QString>(flow->refreshToken()));
    QVERIFY(m_online->standin.refreshTokens(OnlineApplication::mara()).contains(flow->refreshToken()));
    QVERIFY(tokens.accessToken() && m_online->standin.isAccessTokenValid(*tokens.accessToken()));
    QCOMPARE(m_online->authentificationService().dynamicServiceState().userId(), OnlineApplication::mara());

    // The account and both its blogs, ready for the accounts popover.
    QCOMPARE(UserBlogsLocalAccessAppService().listUsers().size(), 1);
    QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(OnlineApplication::mara()).size(), 2);
    QCOMPARE(PostsLocalAccessAppService().listAllPostsforBlog(OnlineApplication::tideTables()).size(),
             m_online->standin.blog(OnlineApplication::tideTables())->posts.size());
    QVERIFY(PostsLocalAccessAppService().listAllPostsforBlog(OnlineApplication::kitchenLedger()).isEmpty());
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
}

void TestFirstAccountFlow::testDenyLeavesWelcomeWindowOpenAndStoresNothing()
{
    QVERIFY(m_online->launch());
    pressAddAccount();
    QVERIFY(m_online->pressOnConsentPage(QStringLiteral("deny")));
    QTRY_COMPARE_WITH_TIMEOUT(m_online->signInWindow()->webviewOutlet()->title(),
                              QStringLiteral("Denied error=access_denied"), 20000);
    // A code exchange or report would start from work queued by the window's title test.
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->welcomeWindow()->isVisible());
    QVERIFY(!m_online->app().windowController());
    QVERIFY(m_online->app().alerts.isEmpty());
    QVERIFY(m_online->standin.requests("POST", "/oauth2/v3/token").isEmpty());
    verifyNothingStored(m_online->standin);

    // Esc closes the window that says so, as it does every secondary window; the user may try again at once.
    QWidget* signIn = m_online->signInWindow()->window();
    signIn->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(signIn));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : signIn, Qt::Key_Escape);
    QTRY_VERIFY(!signIn->isVisible());
    pressAddAccount();
    QVERIFY(m_online->allowAs(OnlineApplication::mara()));
    QTRY_VERIFY(m_online->app().windowController());
}

void TestFirstAccountFlow::testRestartOpensMainWindowWithoutDownloadingAgain()
{
    QVERIFY(runFirstAccountFlowAs(OnlineApplication::mara()));
    const QString header = QStringLiteral("Published Posts (%1)")
                               .arg(m_online->standinTitles(OnlineApplication::tideTables(), false).size());
    QVERIFY(m_online->waitForListHeader(header));
    QTRY_VERIFY(!m_online->isLoading());
    m_online->quit();

    m_online->standin.clearRequests();
    QVERIFY(m_online->launch());
    QVERIFY(!m_online->welcomeWindow());
    QTRY_VERIFY(m_online->mainWindow() && m_online->mainWindow()->isVisible());
    QVERIFY(m_online->waitForListHeader(header));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->standin.requests("GET", "/feeds/").isEmpty());
    // Only the launch's token refresh went out.
    const QList<LoggedRequest> requests = m_online->standin.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().path(), QByteArray("/oauth2/v3/token"));
    QVERIFY(m_online->app().alerts.isEmpty());
}

void TestFirstAccountFlow::testAccountWithoutBlogsSaysSoAndStoresNothing()
{
    QJsonObject seed = GoogleStandin::defaultSeed();
    QJsonArray accounts = seed.value("accounts").toArray();
    accounts.append(QJsonObject{{"id", "130000000000000000001"},
                                {"profileId", "30000000000000000001"},
                                {"name", "Wren Solo"},
                                {"givenName", "Wren"},
                                {"familyName", "Solo"},
                                {"picture", "{base}/img/wren.png"},
                                {"locale", "en"},
                                {"albumId", "6300"}});
    seed.insert("accounts", accounts);
    m_online = std::make_unique<OnlineApplication>(seed);
    m_online->forgetEverything();

    QVERIFY(runFirstAccountFlowAs(QStringLiteral("130000000000000000001")));
    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    const AlertRequest alert = m_online->app().alerts.first();
    QCOMPARE(alert.style, AlertStyle::Critical);
    QCOMPARE(alert.title, WelcomeNewAccountService::accountFailedTitle());
    QVERIFY2(alert.message.contains(QStringLiteral("no blog")), qPrintable(alert.message));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->welcomeWindow()->isVisible());
    QVERIFY(!m_online->app().windowController());
    verifyNothingStored(m_online->standin);
    QVERIFY(!PersistentAccessTokens(QStringLiteral("130000000000000000001")).accessToken());
}

void TestFirstAccountFlow::testFaultAtEachStepShowsOneAlertAndStoresNothing_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("kind");
    const QList<QPair<const char*, QByteArray>> steps = {{"token exchange", "/oauth2/v3/token"},
                                                         {"user details", "/oauth2/v1/userinfo"},
                                                         {"blog list", "/blogger/v3/users/self/blogs"}};
    const QList<QPair<const char*, StandinFault::Kind>> kinds = {
        {"no reply", StandinFault::Kind::NoReply},
        {"stall past the time-out", StandinFault::Kind::Stall},
        {"html error page", StandinFault::Kind::HtmlErrorPage},
        {"json error object", StandinFault::Kind::ErrorObject},
        {"malformed body", StandinFault::Kind::MalformedBody}};
    for (const auto& step : steps) {
        for (const auto& kind : kinds) {
            QTest::addRow("%s, %s", step.first, kind.first) << step.second << int(kind.second);
        }
    }
}

void TestFirstAccountFlow::testFaultAtEachStepShowsOneAlertAndStoresNothing()
{
    QFETCH(QByteArray, path);
    QFETCH(int, kind);
    m_online->standin.addFault(StandinFault::Kind(kind), path);
    QVERIFY(m_online->launch(1));
    pressAddAccount();
    QVERIFY(m_online->allowAs(OnlineApplication::mara()));

    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    QVERIFY(
        ApplicationHarness::settleAfterTimeout(1500)); // past the time-out: a second report would show now
    QCOMPARE(m_online->app().alerts.size(), 1);
    const AlertRequest alert = m_online->app().alerts.first();
    QCOMPARE(alert.style, AlertStyle::Critical);
    QVERIFY(alert.title == WelcomeNewAccountService::signInFailedTitle() ||
            alert.title == WelcomeNewAccountService::accountFailedTitle());
    // Readable: never a page of markup.
    QVERIFY2(!alert.message.isEmpty() && !alert.message.contains(QLatin1Char('<')),
             qPrintable(alert.message));
    QVERIFY(alert.message.size() <= GoogleResponseAnalysisService::MaximumMessageLength +
                                        GoogleResponseAnalysisService::reauthentificationAdvice().size() + 1);
    if (StandinFault::Kind(kind) == StandinFault::Kind::NoReply ||
        StandinFault::Kind(kind) == StandinFault::Kind::Stall) {
        QVERIFY2(alert.message.contains(QStringLiteral("No response received")), qPrintable(alert.message));
    }
    QVERIFY(m_online->welcomeWindow()->isVisible());
    QVERIFY(!m_online->app().windowController());
    verifyNothingStored(m_online->standin);
}

void TestFirstAccountFlow::testClosingWelcomeWindowEndsTheApplication()
{
    QVERIFY(m_online->launch());
    QSignalSpy quit(m_online->app().delegate(), &AppDelegate::quitRequested);
    QVERIFY(m_online->welcomeWindow()->close());
    QTRY_COMPARE(quit.size(), 1);
}

PENHOLLOW_APP_TEST_MAIN(TestFirstAccountFlow)
#include "TestFirstAccountFlow.moc"

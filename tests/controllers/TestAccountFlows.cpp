#include "AppTestMain.h"
#include "OnlineApplication.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "controllers/ApplicationDownloadControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

namespace {

using TestSupport::findAnywhere;

// A helper's failed check ends only the helper: the case stops there too, so its first failure is its only
// one.
#define STEP(call)                                                                                           \
    do {                                                                                                     \
        call;                                                                                                \
        if (QTest::currentTestFailed()) {                                                                    \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

const QString Mara = OnlineApplication::mara();
const QString Ned = OnlineApplication::ned();
const QString Tide = OnlineApplication::tideTables();
const QString Kitchen = OnlineApplication::kitchenLedger();
const QString Harbour = OnlineApplication::harbourLights();

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; box && i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

std::optional<QString> storedAccessToken(const QString& user)
{
    return PersistentAccessTokens(user).accessToken();
}

} // namespace

// Accounts as a user works them from the accounts popover, against the stand-in: a second account added
// and switched to and from, a refused sign-in mended by signing in again, the account refreshed, and the
// access token kept fresh for the account it belongs to.
class TestAccountFlows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }
    void init();
    void cleanup() { m_online.reset(); }

    void testAddedAccountShowsInPopoverAtOnceAndBecomesCurrent();
    void testSwitchBetweenAccountsAndBlogsUsesEachAccountsTokens();
    void testDeniedAddLeavesTheCurrentAccount();
    void testRevokedGrantAdvisesSigningInAgainAndSigningInRestoresAccess();
    void testSigningInAgainAsAnotherAccountChangesNothing();
    void testRefreshStoresTheAccountsBlogsAndANewToken();
    void testRefreshWithRevokedGrantAdvisesAndKeepsTheTokens();
    void testLaunchRefreshKeepsTheNewTokenForItsOwnAccountOnly();

private:
    ApplicationWindowController* window() { return m_online->app().windowController(); }
    void openAccountsPopover();
    void press(const QString& buttonName);
    void chooseAccount(const QString& name);
    void launchOnMara();

    std::unique_ptr<OnlineApplication> m_online;
};

void TestAccountFlows::init()
{
    m_online = std::make_unique<OnlineApplication>();
    m_online->forgetEverything();
    m_online->storeSignedInAccount(Mara, Tide, false);
}

void TestAccountFlows::launchOnMara()
{
    QVERIFY(m_online->launch());
    QVERIFY(window());
    // Every token refresh of the launch was answered with a new token and the answers were taken in: no
    // token of the launch lands in the middle of a case.
    const auto tokenRequests = [this] { return m_online->standin.requests("POST", "/oauth2/v3/token"); };
    QTRY_VERIFY2(!tokenRequests().isEmpty() &&
                     m_online->standin.accessTokens(Mara).size() == 1 + tokenRequests().size(),
                 qPrintable(QStringLiteral("%1 token requests, %2 of Mara's access tokens live, alerts: %3")
                                .arg(tokenRequests().size())
                                .arg(m_online->standin.accessTokens(Mara).size())
                                .arg(m_online->alertTexts().join(" | "))));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->waitForListHeader(
        QStringLiteral("Published Posts (%1)").arg(m_online->standinTitles(Tide, false).size())));
    QVERIFY(m_online->waitForOperationsToEnd());
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
}

void TestAccountFlows::openAccountsPopover()
{
    QWidget* settings = findAnywhere<QWidget>(QStringLiteral("avatarImageOutlet"));
    QVERIFY(settings);
    TestSupport::press(settings);
    QTRY_VERIFY(findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet")) &&
                findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))->isVisible());
    QTRY_VERIFY(findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))->count() > 0);
    // The lists the opening asked for have arrived (the combo boxes may still show the last ones).
    QVERIFY(ApplicationHarness::settle());
}

void TestAccountFlows::press(const QString& buttonName)
{
    auto* button = findAnywhere<QPushButton>(buttonName);
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestAccountFlows::chooseAccount(const QString& name)
{
    auto* accounts = findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"));
    const int index = accounts->findText(name);
    QVERIFY(index >= 0);
    accounts->setCurrentIndex(index);
    Q_EMIT accounts->activated(index);
}

void TestAccountFlows::testAddedAccountShowsInPopoverAtOnceAndBecomesCurrent()
{
    STEP(launchOnMara());
    const std::optional<QString> maraToken = storedAccessToken(Mara);
    STEP(openAccountsPopover());
    QCOMPARE(itemsOf(findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))),
             QStringList({"Mara Quill"}));
    STEP(press(QStringLiteral("addNewAccountButton")));
    QTRY_VERIFY(!findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))->isVisible());
    QVERIFY(m_online->allowAs(Ned));

    QVERIFY(m_online->waitForListHeader(
        QStringLiteral("Published Posts (%1)").arg(m_online->standinTitles(Harbour, false).size())));
    QVERIFY(m_online->waitForOperationsToEnd());
    QCOMPARE(m_online->listedTitles(), m_online->standinTitles(Harbour, false));
    const DynamicServiceState& state = m_online->authentificationService().dynamicServiceState();
    QCOMPARE(state.userId(), Ned);
    QCOMPARE(state.blogId(), Harbour);
    QCOMPARE(PersistentServiceState().userId(), std::optional<QString>(Ned));
    QCOMPARE(PersistentServiceState().blogId(), std::optional<QString>(Harbour));
    QVERIFY(storedAccessToken(Ned) && m_online->standin.accessTokens(Ned).contains(*storedAccessToken(Ned)));
    QCOMPARE(storedAccessToken(Mara), maraToken);

    // Without opening it again, the popover already holds both accounts and the new one's blog.
    auto* accounts = findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"));
    auto* blogs = findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"));
    QTRY_COMPARE(itemsOf(accounts), QStringList({"Mara Quill", "Ned Harrow"}));
    QCOMPARE(accounts->currentText(), QStringLiteral("Ned Harrow"));
    QTRY_COMPARE(itemsOf(blogs), QStringList({"Harbour Lights"}));
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
}

void TestAccountFlows::testSwitchBetweenAccountsAndBlogsUsesEachAccountsTokens()
{
    m_online->storeSignedInAccount(Ned, Harbour, false);
    PersistentServiceState().setUserId(Mara);
    PersistentServiceState().setBlogId(Tide);
    STEP(launchOnMara());

    // Mara's other blog, never downloaded: it is, with Mara's tokens.
    STEP(openAccountsPopover());
    QTRY_COMPARE(itemsOf(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))),
                 QStringList({"Tide Tables", "Kitchen Ledger"}));
    findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))->setCurrentIndex(1);
    m_online->standin.clearRequests();
    STEP(press(QStringLiteral("applySelectionButton")));
    QVERIFY(m_online->waitForListHeader(
        QStringLiteral("Published Posts (%1)").arg(m_online->standinTitles(Kitchen, false).size())));
    QVERIFY(m_online->waitForOperationsToEnd());
    QCOMPARE(m_online->listedTitles(), m_online->standinTitles(Kitchen, false));
    const QList<LoggedRequest> kitchenPages = m_online->standin.requests("GET", "/feeds/" + Kitchen.toUtf8());
    QVERIFY(!kitchenPages.isEmpty());
    const QByteArray authorization = kitchenPages.first().header("Authorization");
    QVERIFY(m_online->standin.accessTokens(Mara).contains(QString::fromUtf8(authorization.mid(6))));

    // Ned's blog, with Ned's tokens.
    STEP(openAccountsPopover());
    STEP(chooseAccount(QStringLiteral("Ned Harrow")));
    QTRY_COMPARE(itemsOf(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))),
                 QStringList({"Harbour Lights"}));
    STEP(press(QStringLiteral("applySelectionButton")));
    QVERIFY2(m_online->waitForListHeader(
                 QStringLiteral("Published Posts (%1)").arg(m_online->standinTitles(Harbour, false).size())),
             qPrintable(m_online->listHeader() + " | " + m_online->alertTexts().join('\n')));
    QVERIFY(m_online->waitForOperationsToEnd());
    // The download refreshed the token it went out with: one of Ned's.
    QVERIFY(m_online->standin.accessTokens(Ned).contains(*m_online->authentificationService().accessToken()));
    QCOMPARE(m_online->authentificationService().refreshToken(), PersistentAccessTokens(Ned).refreshToken());

    // Back to Mara's first blog: listed from the store, nothing downloaded again.
    m_online->standin.clearRequests();
    STEP(openAccountsPopover());
    STEP(chooseAccount(QStringLiteral("Mara Quill")));
    QTRY_COMPARE(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))->count(), 2);
    findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))->setCurrentIndex(0);
    STEP(press(QStringLiteral("applySelectionButton")));
    QVERIFY(m_online->waitForListHeader(
        QStringLiteral("Published Posts (%1)").arg(m_online->standinTitles(Tide, false).size())));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->standin.requests("GET", "/feeds/").isEmpty());
    QCOMPARE(m_online->authentificationService().dynamicServiceState().userId(), Mara);
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
}

void TestAccountFlows::testDeniedAddLeavesTheCurrentAccount()
{
    STEP(launchOnMara());
    STEP(openAccountsPopover());
    STEP(press(QStringLiteral("addNewAccountButton")));
    QVERIFY(m_online->pressOnConsentPage(QStringLiteral("deny")));
    QTRY_COMPARE_WITH_TIMEOUT(m_online->signInWindow()->webviewOutlet()->title(),
                              QStringLiteral("Denied error=access_denied"), 20000);
    QVERIFY(ApplicationHarness::settle());
    QCOMPARE(m_online->authentificationService().dynamicServiceState().userId(), Mara);
    QCOMPARE(UserBlogsLocalAccessAppService().listUsers().size(), 1);
    QVERIFY(!storedAccessToken(Ned));
    QVERIFY(m_online->app().alerts.isEmpty());
    QVERIFY(!m_online->isLoading());
}

void TestAccountFlows::testRevokedGrantAdvisesSigningInAgainAndSigningInRestoresAccess()
{
    STEP(launchOnMara());
    const std::optional<QString> oldToken = storedAccessToken(Mara);
    m_online->standin.revokeAllRefreshTokens();
    m_online->standin.expireAllAccessTokens();
    m_online->pressDownload();
    QVERIFY(m_online->waitForOperationsToEnd());
    QCOMPARE(m_online->criticalAlerts(), 1);
    const AlertRequest refused = m_online->app().alerts.first();
    QCOMPARE(refused.title, ApplicationDownloadControllerService::downloadFailedTitle());
    QVERIFY2(refused.message.endsWith(GoogleResponseAnalysisService::reauthentificationAdvice()),
             qPrintable(refused.message));
    QVERIFY(!m_online->isLoading());

    // As the advice says: the settings, Sign In Again.
    STEP(openAccountsPopover());
    STEP(press(QStringLiteral("reauthentificateAccountButton")));
    QVERIFY(m_online->allowAs(Mara));
    QTRY_COMPARE(m_online->app().alerts.size(), 2);
    QCOMPARE(m_online->app().alerts.last().title,
             ApplicationDownloadControllerService::reauthentificatedTitle());
    QCOMPARE(m_online->app().alerts.last().style, AlertStyle::Informational);
    QVERIFY(storedAccessToken(Mara) != oldToken);
    QVERIFY(m_online->standin.isAccessTokenValid(*storedAccessToken(Mara)));
    QVERIFY(m_online->standin.refreshTokens(Mara).contains(*PersistentAccessTokens(Mara).refreshToken()));
    QCOMPARE(m_online->authentificationService().refreshToken(), PersistentAccessTokens(Mara).refreshToken());

    StandinPost post;
    post.title = QStringLiteral("Written while away");
    post.content = QStringLiteral("<p>Hello.</p>");
    post.updated = QDateTime::currentDateTimeUtc();
    post.published = post.updated;
    post.urlPath = QStringLiteral("2024/02/away.html");
    m_online->standin.addPost(Tide, post);
    m_online->pressDownload();
    QVERIFY(m_online->waitForOperationsToEnd());
    QCOMPARE(m_online->app().alerts.size(), 2);
    QTRY_VERIFY(m_online->listedTitles().contains(QStringLiteral("Written while away")));
}

void TestAccountFlows::testSigningInAgainAsAnotherAccountChangesNothing()
{
    STEP(launchOnMara());
    const std::optional<QString> access = storedAccessToken(Mara);
    const std::optional<QString> refresh = PersistentAccessTokens(Mara).refreshToken();
    STEP(openAccountsPopover());
    STEP(press(QStringLiteral("reauthentificateAccountButton")));
    QVERIFY(m_online->allowAs(Ned));
    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    QCOMPARE(m_online->app().alerts.first().title, ApplicationDownloadControllerService::otherAccountTitle());
    QVERIFY(m_online->app().alerts.first().message.contains(QStringLiteral("Ned Harrow")));
    QVERIFY(ApplicationHarness::settle());
    QCOMPARE(storedAccessToken(Mara), access);
    QCOMPARE(PersistentAccessTokens(Mara).refreshToken(), refresh);
    QVERIFY(!storedAccessToken(Ned));
    QCOMPARE(UserBlogsLocalAccessAppService().listUsers().size(), 1);
    QCOMPARE(m_online->authentificationService().refreshToken(), refresh);
    QVERIFY(!m_online->isLoading());
}

void TestAccountFlows::testRefreshStoresTheAccountsBlogsAndANewToken()
{
    STEP(launchOnMara());
    // A blog this computer lost track of; Blogger still has it.
    UserBlogsLocalAccessAppService().deleteBlog(Kitchen, true);
    QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(Mara).size(), 1);
    const std::optional<QString> oldToken = storedAccessToken(Mara);
    const std::optional<QString> refresh = PersistentAccessTokens(Mara).refreshToken();

    STEP(openAccountsPopover());
    STEP(press(QStringLiteral("refreshAccountAndBlogsButton")));
    QTRY_VERIFY(!findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))->isVisible());
    QVERIFY(m_online->waitForOperationsToEnd());
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
    QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(Mara).size(), 2);
    QVERIFY(storedAccessToken(Mara) != oldToken);
    QVERIFY(m_online->standin.isAccessTokenValid(*storedAccessToken(Mara)));
    QCOMPARE(m_online->authentificationService().accessToken(), storedAccessToken(Mara));
    QCOMPARE(PersistentAccessTokens(Mara).refreshToken(), refresh);
    QTRY_COMPARE(itemsOf(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))),
                 QStringList({"Tide Tables", "Kitchen Ledger"}));
    QVERIFY(!m_online->isLoading());
}

void TestAccountFlows::testRefreshWithRevokedGrantAdvisesAndKeepsTheTokens()
{
    STEP(launchOnMara());
    const std::optional<QString> access = storedAccessToken(Mara);
    const std::optional<QString> inUse = m_online->authentificationService().accessToken();
    m_online->standin.revokeAllRefreshTokens();
    STEP(openAccountsPopover());
    STEP(press(QStringLiteral("refreshAccountAndBlogsButton")));
    QVERIFY(m_online->waitForOperationsToEnd());
    QCOMPARE(m_online->app().alerts.size(), 1);
    QCOMPARE(m_online->app().alerts.first().title,
             ApplicationDownloadControllerService::refreshFailedTitle());
    QVERIFY(m_online->app().alerts.first().message.endsWith(
        GoogleResponseAnalysisService::reauthentificationAdvice()));
    QCOMPARE(storedAccessToken(Mara), access);
    QCOMPARE(m_online->authentificationService().accessToken(), inUse);
    QVERIFY(!m_online->isLoading());
}

void TestAccountFlows::testLaunchRefreshKeepsTheNewTokenForItsOwnAccountOnly()
{
    m_online->storeSignedInAccount(Ned, Harbour, true);
    PersistentServiceState().setUserId(Mara);
    PersistentServiceState().setBlogId(Tide);
    PersistentServiceState().setBlogWasQueried(Tide, true);
    const std::optional<QString> launchToken = storedAccessToken(Mara);
    QVERIFY(m_online->launch());
    // The launch refresh: the new token is stored and used.
    QTRY_VERIFY(storedAccessToken(Mara) != launchToken);
    QVERIFY(m_online->standin.isAccessTokenValid(*storedAccessToken(Mara)));
    QTRY_COMPARE(m_online->authentificationService().accessToken(), storedAccessToken(Mara));
    QCOMPARE(PersistentAccessTokens(Mara).refreshToken(),
             std::optional<QString>(m_online->standin.refreshTokens(Mara).first()));

    // The timer's refresh is answered only after the user moved to Ned's account.
    const std::optional<QString> beforeTimer = storedAccessToken(Mara);
    m_online->standin.addFault(StandinFault::Kind::Stall, "/oauth2/v3/token", 1);
    m_online->app().delegate()->freshAccessToken();
    QTRY_COMPARE(m_online->standin.stalledCount(), 1);
    window()->onAccountAndBlogChangeRequest(Ned, Harbour);
    QCOMPARE(m_online->authentificationService().accessToken(), storedAccessToken(Ned));
    m_online->standin.releaseStalled();
    QTRY_VERIFY(storedAccessToken(Mara) != beforeTimer);
    QVERIFY(ApplicationHarness::settle());
    // Mara's new token is kept for Mara; Ned's requests still carry Ned's.
    QVERIFY(m_online->standin.accessTokens(Mara).contains(*storedAccessToken(Mara)));
    QCOMPARE(m_online->authentificationService().accessToken(), storedAccessToken(Ned));
    QVERIFY(m_online->app().alerts.isEmpty());
}

PENHOLLOW_APP_TEST_MAIN(TestAccountFlows)
#include "TestAccountFlows.moc"

#include "BlockRecorder.h"
#include "StandinHarness.h"
#include "TestSupport.h"
#include "TinyHttpServer.h"

#include "google/GoogleAuthentificationPage.h"
#include "google/GoogleRequestServiceBase.h"
#include "google/GoogleServiceEndpoints.h"
#include "platform/UrlSession.h"
#include "platform/UserDefaults.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

// Stands in for the GUI window: keeps what it was opened with and hands a code over on demand.
class FakeWindow : public AuthentificationWindow
{
public:
    explicit FakeWindow(int* opened) : m_opened(opened) {}
    ~FakeWindow() override
    {
        if (destroyedOn) {
            *destroyedOn = QThread::currentThread();
        }
    }
    std::atomic<QThread*>* destroyedOn = nullptr;
    void submitBlock(std::function<void(const QString&)> block) override { submit = std::move(block); }
    void openWindow(const QString& clientId, const QString& secret, const QString& scope,
                    const QString& redirect) override
    {
        ++*m_opened;
        values = {clientId, secret, scope, redirect};
    }
    std::function<void(const QString&)> submit;
    QStringList values;

private:
    int* m_opened;
};

struct SignIn
{
    bool success = false;
    std::optional<QString> error;
    std::optional<QString> accessToken;
    std::optional<QString> refreshToken;
};

struct Refresh
{
    bool success = false;
    QString message;
    std::optional<QString> accessToken;
};

GoogleAuthentificationService::RefreshBlock recordInto(BlockRecorder<Refresh>& recorder)
{
    auto block = recorder.block();
    return [block](bool success, QString message, std::optional<QString> token) {
        block(Refresh{success, std::move(message), std::move(token)});
    };
}

} // namespace

class TestGoogleAuthentificationService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    int m_opened = 0;
    FakeWindow* m_window = nullptr;
    std::unique_ptr<BlockRecorder<SignIn>> m_recorder;
    BlockRecorder<SignIn>& signIns() { return *m_recorder; }

    // Opens the sign-in window through the service and returns it.
    FakeWindow* openWindow()
    {
        h->auth->setAuthentificationWindowFactory([this] {
            auto window = std::make_unique<FakeWindow>(&m_opened);
            m_window = window.get();
            return window;
        });
        auto block = signIns().block();
        h->auth->setAuthentificatedBlock([block](bool success, std::optional<QString> error,
                                                 std::optional<QString> access,
                                                 std::optional<QString> refresh) {
            block(SignIn{success, error, access, refresh});
        });
        h->auth->authentificateNewUser();
        return m_window;
    }

    bool waitForSignIn()
    {
        if (!QTest::qWaitFor([&] { return signIns().calls() > 0; }, 10000)) {
            return false;
        }
        return TestSupport::queuedWorkDone() && signIns().calls() == 1;
    }

    bool waitForRefresh(const BlockRecorder<Refresh>& recorder)
    {
        if (!QTest::qWaitFor([&] { return recorder.calls() > 0; }, 10000)) {
            return false;
        }
        return TestSupport::queuedWorkDone() && recorder.calls() == 1;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void init()
    {
        h = std::make_unique<StandinHarness>();
        m_opened = 0;
        m_window = nullptr;
        m_recorder = std::make_unique<BlockRecorder<SignIn>>();
    }

    void cleanup() { h.reset(); }

    void testWindowOpensWithConfiguredClientValues()
    {
        FakeWindow* window = openWindow();
        QVERIFY(window);
        QCOMPARE(m_opened, 1);
        QCOMPARE(window->values,
                 QStringList({GoogleServiceEndpoints::clientId(), GoogleServiceEndpoints::clientSecret(),
                              GoogleServiceEndpoints::clientScope(), "urn:ietf:wg:oauth:2.0:oob"}));
        QCOMPARE(h->auth->authentificationWindow(), window);
    }

    void testCodeExchangeOnTheWire()
    {
        FakeWindow* window = openWindow();
        const QString code = h->standin.issueAuthorizationCode();
        h->standin.clearRequests();
        window->submit(code);
        QVERIFY(waitForSignIn());
        const SignIn result = signIns().last();
        QVERIFY2(result.success, qPrintable(result.error.value_or("")));
        QVERIFY(!result.error.has_value());
        QVERIFY(h->standin.isAccessTokenValid(result.accessToken.value()));
        QVERIFY(h->standin.refreshTokens().contains(result.refreshToken.value()));
        // The exchange hands tokens to its owner; the service keeps its own.
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);

        const QList<LoggedRequest> requests = h->standin.requests();
        QCOMPARE(requests.size(), 1);
        const LoggedRequest& request = requests.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/oauth2/v3/token"));
        QCOMPARE(
            StandinHarness::clientHeaders(request),
            (QList<QPair<QByteArray, QByteArray>>{{"Content-Type", "application/x-www-form-urlencoded"}}));
        const QByteArray expected =
            "code=" + QUrl::toPercentEncoding(code) +
            "&client_id=" + QUrl::toPercentEncoding(GoogleServiceEndpoints::clientId()) +
            "&client_secret=" + QUrl::toPercentEncoding(GoogleServiceEndpoints::clientSecret()) +
            "&redirect_uri=urn%3Aietf%3Awg%3Aoauth%3A2.0%3Aoob&grant_type=authorization_code&";
        QCOMPARE(request.body, expected);
    }

    void testCodeFromConsentTitleReachesTheTokenEndpoint()
    {
        FakeWindow* window = openWindow();
        const QString code = h->standin.issueAuthorizationCode();
        const auto extracted = GoogleAuthentificationPage::codeFromTitle(
            "Success state=guard_wordplay&code=" + code + "&scope=x");
        QCOMPARE(extracted.value(), code);
        window->submit(*extracted);
        QVERIFY(waitForSignIn());
        QVERIFY(signIns().last().success);
    }

    void testRefusedCodeReportsServiceMessage()
    {
        FakeWindow* window = openWindow();
        window->submit("4/not-a-code");
        QVERIFY(waitForSignIn());
        const SignIn result = signIns().last();
        QVERIFY(!result.success);
        QCOMPARE(result.error.value(), QString("Malformed auth code."));
        QVERIFY(!result.accessToken && !result.refreshToken);
    }

    void testSpentCodeIsRefusedTheSecondTime()
    {
        FakeWindow* window = openWindow();
        const QString code = h->standin.issueAuthorizationCode();
        window->submit(code);
        QVERIFY(waitForSignIn());
        QVERIFY(signIns().last().success);
        window->submit(code);
        QVERIFY(QTest::qWaitFor([&] { return signIns().calls() == 2; }, 10000));
        QVERIFY(!signIns().last().success);
    }

    void testExchangeWithoutReplyFails()
    {
        FakeWindow* window = openWindow();
        h->standin.addFault(StandinFault::Kind::NoReply, "/oauth2/v3/token");
        window->submit(h->standin.issueAuthorizationCode());
        QVERIFY(waitForSignIn());
        QVERIFY(!signIns().last().success);
        QCOMPARE(signIns().last().error.value(), GoogleAuthentificationService::noResponseMessage());
        QVERIFY(!signIns().last().accessToken.has_value());
    }

    void testExchangeHtmlPageIsParseError()
    {
        FakeWindow* window = openWindow();
        h->standin.addFault(StandinFault::Kind::HtmlErrorPage, "/oauth2/v3/token");
        window->submit(h->standin.issueAuthorizationCode());
        QVERIFY(waitForSignIn());
        QVERIFY(signIns().last().error.value().startsWith("Response parse error: "));
    }

    void testExchangeErrorObjectIsFailureEvenWithTokens()
    {
        TinyHttpServer server(R"({"error": "invalid_grant", "access_token": "a", "refresh_token": "r"})",
                              "400 Bad Request");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        FakeWindow* window = openWindow();
        window->submit("code");
        QVERIFY(waitForSignIn());
        QCOMPARE(signIns().last().error.value(), QString("invalid_grant"));
        QVERIFY(!signIns().last().accessToken.has_value());
    }

    void testExchangeWithoutRefreshTokenFails()
    {
        TinyHttpServer server(R"({"access_token": "a"})");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        FakeWindow* window = openWindow();
        window->submit("code");
        QVERIFY(waitForSignIn());
        QCOMPARE(signIns().last().error.value(), QString("Could not parse response"));
    }

    void testExchangeJsonArrayIsNotParsed()
    {
        TinyHttpServer server(R"(["access_token", "refresh_token"])");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        FakeWindow* window = openWindow();
        window->submit("code");
        QVERIFY(waitForSignIn());
        QVERIFY(!signIns().last().success);
        QCOMPARE(signIns().last().error.value(), QString("Could not parse response"));
    }

    // A proxy or a failing endpoint can send a token-shaped body with an error status: it is no token.
    void testTokenRepliesWithErrorStatusAreFailures()
    {
        TinyHttpServer server(
            {{R"({"access_token": "a", "refresh_token": "r"})", "500 Internal Server Error"},
             {R"({"access_token": "a2"})", "403 Forbidden"}});
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        FakeWindow* window = openWindow();
        window->submit("code");
        QVERIFY(waitForSignIn());
        QVERIFY(!signIns().last().success);
        QCOMPARE(signIns().last().error.value(), GoogleRequestServiceBase::statusMessage(500));
        QVERIFY(!signIns().last().accessToken.has_value());

        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(!refresh.last().success);
        QCOMPARE(refresh.last().message, GoogleRequestServiceBase::statusMessage(403));
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testNoWindowFactoryStillAnswers()
    {
        BlockRecorder<SignIn> signIns;
        auto block = signIns.block();
        h->auth->setAuthentificatedBlock(
            [block](bool s, std::optional<QString> e, std::optional<QString> a, std::optional<QString> r) {
                block(SignIn{s, e, a, r});
            });
        QString printed;
        bool answered = false;
        {
            TestSupport::StdoutCapture capture;
            h->auth->openLoginWindow();
            answered = QTest::qWaitFor([&] { return signIns.calls() == 1; }, 20000);
            printed = capture.text();
        }
        QVERIFY(answered);
        QCOMPARE(signIns.calls(), 1);
        QVERIFY(printed.contains("No sign-in window could be made"));
        QCOMPARE(signIns.last().error.value(), GoogleAuthentificationService::noWindowMessage());
    }

    void testNewSignInReplacesTheWindow()
    {
        FakeWindow* first = openWindow();
        h->auth->openLoginWindow();
        QVERIFY(m_window != first);
        QCOMPARE(m_opened, 2);
        QCOMPARE(h->auth->authentificationWindow(), m_window);
    }

    void testWindowOutlivingServiceDoesNotCallIt()
    {
        FakeWindow* window = openWindow();
        std::function<void(const QString&)> submit = window->submit;
        h->auth.reset();
        submit("4/late");
        // A sign-in would start from work queued by that call.
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(signIns().calls(), 0);
    }

    void testRefreshKeepsNewTokenAndRecordsTime()
    {
        h->standin.clearRequests();
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        const Refresh result = refresh.last();
        QVERIFY(result.success);
        QCOMPARE(result.message, QString(""));
        QVERIFY(result.accessToken.value() != h->accessToken);
        QCOMPARE(h->auth->accessToken(), result.accessToken);
        QCOMPARE(h->auth->refreshToken().value(), h->refreshToken);
        QVERIFY(PersistentServiceState().getLastTokenRefresh(StandinHarness::blogId()).has_value());

        const LoggedRequest request = h->standin.requests().value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/oauth2/v3/token"));
        QCOMPARE(StandinHarness::clientHeaderNames(request), QByteArrayList({"Content-Type"}));
        QCOMPARE(request.body,
                 "refresh_token=" + QUrl::toPercentEncoding(h->refreshToken) +
                     "&client_id=" + QUrl::toPercentEncoding(GoogleServiceEndpoints::clientId()) +
                     "&client_secret=" + QUrl::toPercentEncoding(GoogleServiceEndpoints::clientSecret()) +
                     "&grant_type=refresh_token&");
    }

    void testRefreshWithoutKeepLeavesToken()
    {
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(false, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(refresh.last().success);
        QVERIFY(refresh.last().accessToken.value() != h->accessToken);
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testRefreshTokenWithReservedCharactersIsEncoded()
    {
        h->auth->setRefreshToken(QString("1//a&b=c d"));
        h->standin.clearRequests();
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(
            h->standin.requests().value(0).body.startsWith("refresh_token=1%2F%2Fa%26b%3Dc%20d&client_id="));
        QVERIFY(!refresh.last().success);
    }

    void testRevokedRefreshReportsServiceMessageAndKeepsToken()
    {
        h->standin.revokeRefreshToken(h->refreshToken);
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(!refresh.last().success);
        QCOMPARE(refresh.last().message, QString("Token has been expired or revoked."));
        QVERIFY(!refresh.last().accessToken.has_value());
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testRefreshWithoutReplyStillAnswers()
    {
        h->standin.addFault(StandinFault::Kind::NoReply, "/oauth2/v3/token");
        BlockRecorder<Refresh> refresh;
        QString printed;
        bool answered = false;
        {
            TestSupport::StdoutCapture capture;
            h->auth->refreshAuthentificationCode(true, recordInto(refresh));
            answered = QTest::qWaitFor([&] { return refresh.calls() > 0; }, 10000);
            printed = capture.text();
        }
        QVERIFY(answered);
        QVERIFY(waitForRefresh(refresh));
        QCOMPARE(refresh.last().message, GoogleAuthentificationService::noResponseMessage());
        QVERIFY(!refresh.last().success);
        QVERIFY(printed.contains("Null Data @authentification token !"));
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testRefreshTimeOutStillAnswers()
    {
        h->standin.addFault(StandinFault::Kind::Stall, "/oauth2/v3/token");
        h->auth->setTimeoutInterval(0.3);
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QCOMPARE(refresh.last().message, GoogleAuthentificationService::noResponseMessage());
    }

    void testServiceDroppedOnNetworkThreadReleasesItsWindowOnMainThread()
    {
        std::atomic<QThread*> destroyedOn{nullptr};
        int opened = 0;
        auto auth =
            GoogleAuthentificationService::create("id", "secret", "scope", "urn:ietf:wg:oauth:2.0:oob");
        auth->setAuthentificationWindowFactory([&] {
            auto window = std::make_unique<FakeWindow>(&opened);
            window->destroyedOn = &destroyedOn;
            return std::unique_ptr<AuthentificationWindow>(std::move(window));
        });
        auth->openLoginWindow();
        QCOMPARE(opened, 1);
        // The network thread ends up holding the last reference, as a late completion would.
        std::atomic<bool> dropped{false};
        UrlSession::runOnNetworkThread([held = std::move(auth), &dropped]() mutable {
            held.reset();
            dropped = true;
        });
        QTRY_VERIFY(dropped);
        QTRY_VERIFY(destroyedOn.load() != nullptr);
        QCOMPARE(destroyedOn.load(), QThread::currentThread());
    }

    void testRefreshWithoutRefreshTokenStillAnswers()
    {
        h->auth->setRefreshToken(std::nullopt);
        h->standin.clearRequests();
        BlockRecorder<Refresh> refresh;
        std::atomic<bool> onNetworkThread{false};
        auto record = recordInto(refresh);
        QString printed;
        bool answered = false;
        {
            TestSupport::StdoutCapture capture;
            // Answered later on the network thread, never inline on the caller's.
            h->auth->refreshAuthentificationCode(true, [&](bool s, QString m, std::optional<QString> t) {
                onNetworkThread = UrlSession::isNetworkThread();
                record(s, m, t);
            });
            answered = QTest::qWaitFor([&] { return refresh.calls() > 0; }, 10000);
            printed = capture.text();
        }
        QVERIFY(answered);
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(onNetworkThread);
        QCOMPARE(refresh.last().message, GoogleAuthentificationService::noRefreshTokenMessage());
        QCOMPARE(h->standin.requestCount(), 0);
        QVERIFY(printed.contains("Null authentification token !"));
    }

    void testRefreshReplyWithoutAccessTokenKeepsOldToken()
    {
        TinyHttpServer server(R"({"expires_in": 3599})");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QCOMPARE(refresh.last().message, QString("Error could not parse response"));
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testRefreshGivingBackTheHeldTokenWritesNothing()
    {
        const QString preferences = UserDefaults::standardUserDefaults().filePath();
        PersistentServiceState().setLastTokenRefresh(StandinHarness::blogId(), QDateTime());
        // Each write puts a new file in place.
        const auto stamp = [&] {
            struct stat info = {};
            const bool exists = ::stat(QFile::encodeName(preferences).constData(), &info) == 0;
            return QStringList{QString::number(exists), QString::number(info.st_ino),
                               QString::number(info.st_mtim.tv_sec), QString::number(info.st_mtim.tv_nsec)};
        };
        const QStringList before = stamp();
        TinyHttpServer server(
            QStringLiteral(R"({"access_token": "%1", "expires_in": 3599})").arg(h->accessToken).toUtf8());
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(refresh.last().success);
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
        QCOMPARE(stamp(), before);
        QVERIFY(!PersistentServiceState().getLastTokenRefresh(StandinHarness::blogId()));
    }

    void testRefreshJsonArrayIsNotParsed()
    {
        TinyHttpServer server(R"(["access_token"])");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QCOMPARE(refresh.last().message, QString("Error could not parse response"));
    }

    void testRefreshBrokenJsonIsParseError()
    {
        h->standin.addFault(StandinFault::Kind::MalformedBody, "/oauth2/v3/token");
        BlockRecorder<Refresh> refresh;
        h->auth->refreshAuthentificationCode(true, recordInto(refresh));
        QVERIFY(waitForRefresh(refresh));
        QVERIFY(refresh.last().message.startsWith("Parse error: "));
        QCOMPARE(h->auth->accessToken().value(), h->accessToken);
    }

    void testChangeUserNeedsBothStoredTokens()
    {
        auto service = GoogleAuthentificationService::createWithConfiguredClient();
        QVERIFY(!service->changeUserAndBlogAndTokens("", "blog"));
        QVERIFY(!service->changeUserAndBlogAndTokens("user-x", ""));
        PersistentAccessTokens("user-x").setAccessToken(QString("a1"));
        QVERIFY(!service->changeUserAndBlogAndTokens("user-x", "blog"));
        QVERIFY(!service->accessToken().has_value());
        PersistentAccessTokens("user-x").setRefreshToken(QString("r1"));
        QVERIFY(service->changeUserAndBlogAndTokens("user-x", "blog"));
        QCOMPARE(service->accessToken().value(), QString("a1"));
        QCOMPARE(service->refreshToken().value(), QString("r1"));
        QCOMPARE(service->dynamicServiceState().userId(), QString("user-x"));
        QCOMPARE(service->dynamicServiceState().blogId(), QString("blog"));
    }

    void testInitiateFromPersistentStorage()
    {
        auto service = GoogleAuthentificationService::createWithConfiguredClient();
        PersistentServiceState state;
        state.setUserId(std::nullopt);
        state.setBlogId(std::nullopt);
        QVERIFY(!service->initiateFromPersistentStorage());
        PersistentAccessTokens("user-y").setAccessToken(QString("a2"));
        PersistentAccessTokens("user-y").setRefreshToken(QString("r2"));
        state.setUserId(QString("user-y"));
        state.setBlogId(QString("blog-y"));
        QVERIFY(service->initiateFromPersistentStorage());
        QCOMPARE(service->accessToken().value(), QString("a2"));
    }

    void testAuthentificateUserOpensWindowOnlyWithoutStoredToken()
    {
        h->auth->setAuthentificationWindowFactory([this] { return std::make_unique<FakeWindow>(&m_opened); });
        PersistentAccessTokens("user-z").setAccessToken(QString("a3"));
        h->auth->authentificateUser("user-z");
        QCOMPARE(m_opened, 0);
        QCOMPARE(h->auth->accessToken().value(), QString("a3"));
        QVERIFY(!h->auth->refreshToken().has_value());
        h->auth->authentificateUser("user-unknown");
        QCOMPARE(m_opened, 1);
        QCOMPARE(h->auth->userId().value(), QString("user-unknown"));
    }
};

QTEST_GUILESS_MAIN(TestGoogleAuthentificationService)
#include "TestGoogleAuthentificationService.moc"

#include "QueuedWork.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "GoogleStandin.h"
#include "google/GoogleAuthentificationPage.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Dispatch.h"
#include "platform/gui/WebView.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"

#include <QSignalSpy>
#include <QUrlQuery>

#include <memory>
#include <optional>

namespace {

constexpr int LoadTimeout = 20000;

// What the sign-in service reported, copied to the main thread.
struct Outcome
{
    int calls = 0;
    bool success = false;
    std::optional<QString> error;
    std::optional<QString> accessToken;
    std::optional<QString> refreshToken;
};

QString decodedFormValue(const QByteArray& body, const QString& key)
{
    return QUrlQuery(QString::fromUtf8(body)).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

// The whole sign-in: the service opens the window on the stand-in's consent page, the user answers it, the
// code goes to the token endpoint and the tokens come back to the service's block.
class TestSignInEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testAllowBringsCodeToTokenEndpointAndTokensToBlock();
    void testDenyReportsNothingAndSendsNoTokenRequest();

private:
    // Opens the sign-in through the service and waits for the consent page; null when it did not show.
    AuthentificationWebviewWindowController* openConsentPage();
    // Presses a button of the consent page the way a user would, from inside the page.
    void press(const QString& buttonId);

    std::unique_ptr<GoogleStandin> m_standin;
    std::shared_ptr<GoogleAuthentificationService> m_service;
    std::shared_ptr<Outcome> m_outcome;
    AuthentificationWebviewWindowController* m_controller = nullptr;
    std::unique_ptr<QSignalSpy> m_loads;
};

void TestSignInEndToEnd::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestSignInEndToEnd::init()
{
    m_standin = std::make_unique<GoogleStandin>();
    QVERIFY2(m_standin->start(0) != 0, qPrintable(m_standin->errorString()));
    const QByteArray base = m_standin->serverUrl().toString().toUtf8();
    qputenv("PENHOLLOW_OAUTH_URL", base);
    qputenv("PENHOLLOW_GOOGLE_API_URL", base);

    m_service = GoogleAuthentificationService::createWithConfiguredClient();
    m_service->setAuthentificationWindowFactory(
        [] { return std::make_unique<AuthentificationWebviewWindowController>(); });
    m_outcome = std::make_shared<Outcome>();
    // The block runs on the network thread; the test reads the outcome on the main thread.
    m_service->setAuthentificatedBlock([outcome = m_outcome](bool success, std::optional<QString> error,
                                                             std::optional<QString> accessToken,
                                                             std::optional<QString> refreshToken) {
        Dispatch::toMainThread([=] {
            ++outcome->calls;
            outcome->success = success;
            outcome->error = error;
            outcome->accessToken = accessToken;
            outcome->refreshToken = refreshToken;
        });
    });
}

void TestSignInEndToEnd::cleanup()
{
    m_loads.reset();
    m_controller = nullptr;
    m_service.reset();
    m_standin.reset();
}

AuthentificationWebviewWindowController* TestSignInEndToEnd::openConsentPage()
{
    m_service->authentificateNewUser();
    m_controller =
        dynamic_cast<AuthentificationWebviewWindowController*>(m_service->authentificationWindow());
    if (!m_controller || !m_controller->webviewOutlet()) {
        return nullptr;
    }
    m_loads = std::make_unique<QSignalSpy>(m_controller->webviewOutlet(), &WebView::pageLoaded);
    if (!m_loads->wait(LoadTimeout) ||
        m_loads->first().at(1).toString() != QStringLiteral("Request for Permission")) {
        return nullptr;
    }
    m_loads->clear();
    return m_controller;
}

void TestSignInEndToEnd::press(const QString& buttonId)
{
    auto clicked = std::make_shared<std::optional<QVariant>>();
    m_controller->webviewOutlet()->evaluateScript(
        QStringLiteral(
            "(function() { var b = document.getElementById('%1'); if (!b) return false; b.click(); "
            "return true; })()")
            .arg(buttonId),
        [clicked](const QVariant& result) { *clicked = result; });
    QVERIFY(QTest::qWaitFor([&] { return clicked->has_value(); }, LoadTimeout));
    QCOMPARE(**clicked, QVariant(true));
}

void TestSignInEndToEnd::testAllowBringsCodeToTokenEndpointAndTokensToBlock()
{
    QVERIFY(openConsentPage());
    QCOMPARE(m_standin->requests("GET", "/o/oauth2/auth").size(), 1);
    QVERIFY(!Screenshot::save(m_controller->window(), QStringLiteral("AuthentificationWebviewWindow-consent"))
                 .isEmpty());

    press(QStringLiteral("allow"));
    QVERIFY(m_loads->wait(LoadTimeout));
    const QString successTitle = m_loads->first().at(1).toString();
    const std::optional<QString> code = GoogleAuthentificationPage::codeFromTitle(successTitle);
    QVERIFY2(code, qPrintable(successTitle));

    QTRY_COMPARE_WITH_TIMEOUT(m_outcome->calls, 1, LoadTimeout);
    QVERIFY2(m_outcome->success, qPrintable(m_outcome->error.value_or(QString())));
    QVERIFY(!m_outcome->error);
    QVERIFY(m_outcome->accessToken && m_standin->accessTokens().contains(*m_outcome->accessToken));
    QVERIFY(m_outcome->refreshToken && m_standin->refreshTokens().contains(*m_outcome->refreshToken));
    QVERIFY(!m_controller->window()->isVisible());

    const QList<LoggedRequest> tokenRequests = m_standin->requests("POST", "/oauth2/v3/token");
    QCOMPARE(tokenRequests.size(), 1);
    QCOMPARE(decodedFormValue(tokenRequests.first().body, QStringLiteral("code")), *code);
    QCOMPARE(decodedFormValue(tokenRequests.first().body, QStringLiteral("grant_type")),
             QStringLiteral("authorization_code"));
    // The exchange hands the tokens over; storing them is the caller's work.
    QVERIFY(!m_service->accessToken());
}

void TestSignInEndToEnd::testDenyReportsNothingAndSendsNoTokenRequest()
{
    QVERIFY(openConsentPage());
    press(QStringLiteral("deny"));
    QVERIFY(m_loads->wait(LoadTimeout));
    QCOMPARE(m_loads->first().at(1).toString(), QStringLiteral("Denied error=access_denied"));

    // A script queued after the window's title test comes back after it.
    auto done = std::make_shared<bool>(false);
    m_controller->webviewOutlet()->evaluateScript(
        QStringLiteral("0"), [done](const QVariant&) { *done = true; }, QWebEngineScript::ApplicationWorld);
    QVERIFY(QTest::qWaitFor([&] { return *done; }, LoadTimeout));
    QVERIFY(m_controller->window()->isVisible());
    // A code exchange would start from work queued by the window's title test.
    QVERIFY(TestSupport::queuedWorkDone());
    QCOMPARE(m_outcome->calls, 0);
    QVERIFY(m_standin->requests("POST", "/oauth2/v3/token").isEmpty());
    QVERIFY(Screenshot::save(m_controller->window(), QStringLiteral("AuthentificationWebviewWindow-denied"))
                .size() > 0);
}

PENHOLLOW_WEB_TEST_MAIN(TestSignInEndToEnd)
#include "TestSignInEndToEnd.moc"

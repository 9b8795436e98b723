#include "GoogleStandin.h"
#include "ReplyShape.h"
#include "StandinClient.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QtTest>

namespace {

const QString Mara = QStringLiteral("107741234567812345678");
const QString Ned = QStringLiteral("118899001122334455667");
const QString Oob = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");

QJsonObject parseObject(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

QString titleOf(const QByteArray& html)
{
    static const QRegularExpression re(QStringLiteral("<title>(.*)</title>"));
    QString title = re.match(QString::fromUtf8(html)).captured(1);
    title.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return title;
}

// What the sign-in window does with the finished page's title.
QString codeFromTitle(const QString& title)
{
    const QStringList pieces = title.split(QLatin1Char('='), Qt::SkipEmptyParts);
    if (pieces.size() < 3 || pieces[1] != QLatin1String("guard_wordplay&code"))
        return {};
    return pieces.mid(2).join(QString());
}

} // namespace

class TestStandinOAuth : public QObject
{
    Q_OBJECT

private:
    GoogleStandin m_standin;
    std::unique_ptr<StandinClient> m_client;

    // The consent address as the sign-in window builds it.
    QString consentPath(const QString& clientId, const QString& scope, const QString& redirect,
                        const QString& responseType = QStringLiteral("code"))
    {
        const QString query =
            QStringLiteral("scope=") + scope + QStringLiteral("&state=guard_wordplay&redirect_uri=") +
            redirect + QStringLiteral("&response_type=") + responseType + QStringLiteral("&client_id=") +
            clientId + QStringLiteral("&approval_prompt=force");
        return QStringLiteral("/o/oauth2/auth?") +
               QString::fromUtf8(QUrl::toPercentEncoding(query, "!$&'()*+,;=:[]"));
    }
    QString defaultConsentPath()
    {
        const StandinConfig c = m_standin.config();
        return consentPath(c.clientId, c.scope, Oob);
    }
    // Submits the consent page's form the way a browser does when the button is clicked.
    StandinClient::Reply submitConsent(const QByteArray& page, const QString& decision,
                                       const QString& account = {})
    {
        static const QRegularExpression hidden(
            QStringLiteral("<input type='hidden' name='([^']*)' value='([^']*)'>"));
        static const QRegularExpression checked(
            QStringLiteral("name='account' id='[^']*' value='([^']*)' checked"));
        QUrlQuery query;
        auto it = hidden.globalMatch(QString::fromUtf8(page));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            QString value = m.captured(2);
            value.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
                .replace(QStringLiteral("&#39;"), QStringLiteral("'"));
            query.addQueryItem(m.captured(1), QString::fromUtf8(QUrl::toPercentEncoding(value)));
        }
        query.addQueryItem(QStringLiteral("account"),
                           account.isEmpty() ? checked.match(QString::fromUtf8(page)).captured(1) : account);
        query.addQueryItem(QStringLiteral("decision"), decision);
        return m_client->send("GET", QStringLiteral("/o/oauth2/approval?") + query.query(QUrl::FullyEncoded));
    }
    StandinClient::Reply postToken(const QByteArray& body)
    {
        return m_client->send(
            "POST", QStringLiteral("/oauth2/v3/token"),
            {qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded"))}, body);
    }
    QByteArray codeBody(const QString& code)
    {
        const StandinConfig c = m_standin.config();
        return ("code=" + code + "&client_id=" + c.clientId + "&client_secret=" + c.clientSecret +
                "&redirect_uri=" + Oob + "&grant_type=authorization_code&")
            .toUtf8();
    }
    QByteArray refreshBody(const QString& token)
    {
        const StandinConfig c = m_standin.config();
        return ("refresh_token=" + token + "&client_id=" + c.clientId + "&client_secret=" + c.clientSecret +
                "&grant_type=refresh_token&")
            .toUtf8();
    }
    QString signIn(const QString& account = {})
    {
        const StandinClient::Reply page = m_client->send("GET", defaultConsentPath());
        return codeFromTitle(titleOf(submitConsent(page.body, QStringLiteral("allow"), account).body));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        QVERIFY(m_standin.start(0) != 0);
        m_client = std::make_unique<StandinClient>(m_standin.serverUrl());
    }
    void init() { m_standin.reset(); }

    void testConsentPageHasAllowAndDenyButtons()
    {
        const StandinClient::Reply page = m_client->send("GET", defaultConsentPath());
        QCOMPARE(page.status, 200);
        QVERIFY(page.contentType.startsWith("text/html"));
        QVERIFY(page.body.contains("id='allow'"));
        QVERIFY(page.body.contains("id='deny'"));
        QVERIFY(page.body.contains("value='guard_wordplay'"));
        // What the application may do in plain words, each once; the raw scopes only in small print.
        const QString text = QString::fromUtf8(page.body);
        QCOMPARE(text.count(QStringLiteral("<li>Read and manage your blogs</li>")), 1);
        QVERIFY(text.contains(QStringLiteral("<li>Upload photos</li>")));
        QVERIFY(text.contains(QStringLiteral("<li>See your name and picture</li>")));
        QVERIFY(!text.contains(QStringLiteral("<li>http")));
        QVERIFY(text.contains(QStringLiteral("<p class='raw'>Scopes: ")));
        // Every account as a row of its own.
        for (const StandinAccount& account : m_standin.accounts()) {
            QVERIFY(text.contains(QStringLiteral("id='account-") + account.id + "'"));
            QVERIFY(text.contains(account.name.toHtmlEscaped() + QStringLiteral("<small>")));
        }
    }

    void testAllowGivesSuccessTitleWithStateAndCode()
    {
        const StandinClient::Reply page = m_client->send("GET", defaultConsentPath());
        const StandinClient::Reply done = submitConsent(page.body, QStringLiteral("allow"));
        QCOMPARE(done.status, 200);
        const QString title = titleOf(done.body);
        QVERIFY2(title.startsWith(QStringLiteral("Success state=guard_wordplay&code=")), qPrintable(title));
        const QString code = codeFromTitle(title);
        QVERIFY(!code.isEmpty());
        // The window joins the pieces after splitting at "=": a code holding "=" would arrive changed.
        QVERIFY(!code.contains(QLatin1Char('=')));
        QCOMPARE(title, QStringLiteral("Success state=guard_wordplay&code=") + code);
    }

    void testDenyGivesDeniedTitle()
    {
        const StandinClient::Reply page = m_client->send("GET", defaultConsentPath());
        const StandinClient::Reply done = submitConsent(page.body, QStringLiteral("deny"));
        QCOMPARE(titleOf(done.body), QStringLiteral("Denied error=access_denied"));
        QVERIFY(done.body.contains("You can close this window."));
        QVERIFY(codeFromTitle(titleOf(done.body)).isEmpty());
    }

    void testConsentRefusesBadParameters_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("redirect");
        QTest::addColumn<QString>("responseType");
        QTest::addColumn<QString>("error");
        const StandinConfig c = m_standin.config();
        QTest::newRow("unknown client")
            << "someone-else.apps.googleusercontent.com" << c.scope << Oob << "code"
            << "invalid_client";
        QTest::newRow("foreign redirect") << c.clientId << c.scope << "https://evil.example/cb"
                                          << "code"
                                          << "redirect_uri_mismatch";
        QTest::newRow("token response type") << c.clientId << c.scope << Oob << "token"
                                             << "unsupported_response_type";
        QTest::newRow("unknown scope") << c.clientId << "https://mail.google.com/" << Oob << "code"
                                       << "invalid_scope";
        QTest::newRow("empty scope") << c.clientId << "" << Oob << "code"
                                     << "invalid_request";
    }
    void testConsentRefusesBadParameters()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, scope);
        QFETCH(QString, redirect);
        QFETCH(QString, responseType);
        QFETCH(QString, error);
        const StandinClient::Reply page =
            m_client->send("GET", consentPath(clientId, scope, redirect, responseType));
        QVERIFY(page.status == 400 || page.status == 401);
        QVERIFY(page.body.contains(error.toUtf8()));
        QVERIFY(!page.body.contains("id='allow'"));
        QVERIFY(codeFromTitle(titleOf(page.body)).isEmpty());
    }

    void testApprovalCannotSkipParameterChecks()
    {
        const StandinClient::Reply r = m_client->send(
            "GET",
            QStringLiteral("/o/oauth2/approval?client_id=intruder&redirect_uri=urn:ietf:wg:oauth:2.0:oob&"
                           "response_type=code&scope=profile&state=guard_wordplay&decision=allow"));
        QCOMPARE(r.status, 401);
        QVERIFY(codeFromTitle(titleOf(r.body)).isEmpty());
    }

    void testCodeExchangeMatchesFixtureKeys()
    {
        const QString code = signIn();
        QVERIFY(!code.isEmpty());
        const StandinClient::Reply r = postToken(codeBody(code));
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("token-code.json")));
        const QJsonObject o = parseObject(r.body);
        QVERIFY(m_standin.isAccessTokenValid(o.value("access_token").toString()));
        QVERIFY(m_standin.refreshTokens(Mara).contains(o.value("refresh_token").toString()));
    }

    void testConsentAccountChoiceSelectsAccount()
    {
        const QString code = signIn(Ned);
        const QString token = parseObject(postToken(codeBody(code)).body).value("access_token").toString();
        const StandinClient::Reply info =
            m_client->get(QStringLiteral("/oauth2/v1/userinfo?rand=7"), token, false);
        QCOMPARE(parseObject(info.body).value("id").toString(), Ned);
    }

    void testPercentEncodedFormValuesAccepted()
    {
        const QString code = signIn();
        const StandinConfig c = m_standin.config();
        auto enc = [](const QString& v) { return QUrl::toPercentEncoding(v); };
        const QByteArray body = "code=" + enc(code) + "&client_id=" + enc(c.clientId) +
                                "&client_secret=" + enc(c.clientSecret) + "&redirect_uri=" + enc(Oob) +
                                "&grant_type=authorization_code";
        QVERIFY(body.contains("%2F") || !code.contains(QLatin1Char('/')));
        const StandinClient::Reply r = postToken(body);
        QCOMPARE(r.status, 200);
        QVERIFY(parseObject(r.body).contains("refresh_token"));
    }

    void testCodeIsSingleUse()
    {
        const QString code = signIn();
        QCOMPARE(postToken(codeBody(code)).status, 200);
        const StandinClient::Reply again = postToken(codeBody(code));
        QCOMPARE(again.status, 400);
        QCOMPARE(parseObject(again.body).value("error").toString(), QStringLiteral("invalid_grant"));
    }

    void testUnknownCodeRefusedLikeGoogle()
    {
        const StandinClient::Reply r = postToken(codeBody(QStringLiteral("4/never-issued")));
        QCOMPARE(r.status, 400);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("token-error.json")));
        QVERIFY(!parseObject(r.body).contains("access_token"));
    }

    void testRefreshGrantMatchesFixtureKeys()
    {
        const QString refresh = m_standin.issueRefreshToken();
        const StandinClient::Reply r = postToken(refreshBody(refresh));
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("token-refresh.json")));
        QVERIFY(m_standin.isAccessTokenValid(parseObject(r.body).value("access_token").toString()));
    }

    void testRevokedRefreshTokenRefused()
    {
        const QString refresh = m_standin.issueRefreshToken();
        m_standin.revokeRefreshToken(refresh);
        const StandinClient::Reply r = postToken(refreshBody(refresh));
        QCOMPARE(r.status, 400);
        const QJsonObject expected = parseObject(TestSupport::readFixture("token-error.json"));
        QCOMPARE(parseObject(r.body), expected);
    }

    void testUnknownRefreshTokenRefused()
    {
        const StandinClient::Reply r = postToken(refreshBody(QStringLiteral("1//0g-made-up")));
        QCOMPARE(r.status, 400);
        QCOMPARE(parseObject(r.body).value("error").toString(), QStringLiteral("invalid_grant"));
    }

    void testWrongClientSecretRefused()
    {
        const QString refresh = m_standin.issueRefreshToken();
        const StandinConfig c = m_standin.config();
        const QByteArray body = ("refresh_token=" + refresh + "&client_id=" + c.clientId +
                                 "&client_secret=wrong&grant_type=refresh_token&")
                                    .toUtf8();
        const StandinClient::Reply r = postToken(body);
        QCOMPARE(r.status, 401);
        QCOMPARE(parseObject(r.body).value("error").toString(), QStringLiteral("invalid_client"));
    }

    void testMissingGrantTypeRefused()
    {
        const StandinClient::Reply r =
            postToken("client_id=" + m_standin.config().clientId.toUtf8() +
                      "&client_secret=" + m_standin.config().clientSecret.toUtf8());
        QCOMPARE(r.status, 400);
        QCOMPARE(parseObject(r.body).value("error").toString(), QStringLiteral("unsupported_grant_type"));
    }

    void testUserInfoMatchesFixture()
    {
        const StandinClient::Reply r = m_client->get(QStringLiteral("/oauth2/v1/userinfo?rand=12345"),
                                                     m_standin.issueAccessToken(), false);
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("userinfo.json")));
        QCOMPARE(parseObject(r.body).value("name").toString(), QStringLiteral("Mara Quill"));
    }

    void testBlogsListMatchesFixtureAndHoldsOnlyOwnBlogs()
    {
        const StandinClient::Reply r = m_client->get(QStringLiteral("/blogger/v3/users/self/blogs?rand=1"),
                                                     m_standin.issueAccessToken(Mara), false);
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("blogs.json")));
        QCOMPARE(parseObject(r.body).value("items").toArray().size(), 2);
        const StandinClient::Reply ned = m_client->get(QStringLiteral("/blogger/v3/users/self/blogs?rand=2"),
                                                       m_standin.issueAccessToken(Ned), false);
        const QJsonArray items = parseObject(ned.body).value("items").toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].toObject().value("name").toString(), QStringLiteral("Harbour Lights"));
        // The blog's address is on the stand-in itself.
        QVERIFY(items[0].toObject().value("url").toString().startsWith(m_standin.serverUrl().toString()));
    }

    void testMissingAuthorizationGets401Json()
    {
        for (const QString& path :
             {QStringLiteral("/oauth2/v1/userinfo"), QStringLiteral("/blogger/v3/users/self/blogs")}) {
            const StandinClient::Reply r = m_client->get(path, QString(), false);
            QCOMPARE(r.status, 401);
            QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("error-401.json")));
        }
    }

    void testExpiredTokenGets401()
    {
        const QString token = m_standin.issueAccessToken();
        QCOMPARE(m_client->get(QStringLiteral("/oauth2/v1/userinfo"), token, false).status, 200);
        m_standin.expireAccessToken(token);
        const StandinClient::Reply r = m_client->get(QStringLiteral("/oauth2/v1/userinfo"), token, false);
        QCOMPARE(r.status, 401);
        QCOMPARE(parseObject(r.body).value("error").toObject().value("message").toString(),
                 QStringLiteral("Invalid Credentials"));
    }

    void testBearerSchemeAcceptedAndUnknownSchemeRefused()
    {
        const QString token = m_standin.issueAccessToken();
        QCOMPARE(m_client
                     ->send("GET", QStringLiteral("/oauth2/v1/userinfo"),
                            {qMakePair(QByteArray("Authorization"), "Bearer " + token.toUtf8())})
                     .status,
                 200);
        QCOMPARE(m_client
                     ->send("GET", QStringLiteral("/oauth2/v1/userinfo"),
                            {qMakePair(QByteArray("Authorization"), "Basic " + token.toUtf8())})
                     .status,
                 401);
    }

    void testTokenOfOtherAccountCannotReadBlog()
    {
        const StandinClient::Reply r = m_client->get(
            QStringLiteral(
                "/feeds/4120843728710463922/posts/default?orderby=updated&max-results=20&start-index=1"),
            m_standin.issueAccessToken(Ned));
        QCOMPARE(r.status, 403);
        QVERIFY(!r.body.contains("<entry"));
    }

    void testFeedWithoutTokenGets401()
    {
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/feeds/4120843728710463922/posts/default"));
        QCOMPARE(r.status, 401);
        QVERIFY(r.body.contains("Token invalid"));
    }
};

QTEST_GUILESS_MAIN(TestStandinOAuth)
#include "TestStandinOAuth.moc"

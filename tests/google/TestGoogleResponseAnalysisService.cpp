#include "TestSupport.h"

#include "common/StringExtensions.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleRequestServiceBase.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/JsonServiceError.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QString advice()
{
    return GoogleResponseAnalysisService::reauthentificationAdvice();
}

QString transform(const QString& text)
{
    return GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(text);
}

// The message a web service makes of a fixture's JSON error reply.
QString serviceMessage(const QString& fixture)
{
    return JsonServiceError::message(QJsonDocument::fromJson(TestSupport::readFixture(fixture)).object())
        .value_or(QString());
}

} // namespace

class TestGoogleResponseAnalysisService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testServiceRepliesOfRejectedCredentialsGetAdvice()
    {
        QCOMPARE(serviceMessage("error-401.json"), QString("Invalid Credentials"));
        QCOMPARE(transform(serviceMessage("error-401.json")), "Invalid Credentials." + advice());
        QCOMPARE(serviceMessage("token-error.json"), QString("Token has been expired or revoked."));
        QCOMPARE(transform(serviceMessage("token-error.json")),
                 "Token has been expired or revoked." + advice());
    }

    void testNotFoundReplyIsLeftAlone()
    {
        const QString message = serviceMessage("error-404.json");
        QVERIFY(!message.isEmpty());
        QCOMPARE(transform(message), message);
    }

    void testCredentialTextsGetAdvice_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("oauth code") << "invalid_grant";
        QTest::newRow("upper case code") << "INVALID_GRANT";
        QTest::newRow("invalid token") << "Invalid token";
        QTest::newRow("words between") << "Request had invalid authentication credentials.";
        QTest::newRow("expired access token") << "The access_token expired";
        QTest::newRow("revoked grant") << "This grant was revoked by the user";
        QTest::newRow("unauthorized") << "Unauthorized";
        QTest::newRow("british spelling") << "request unauthorised";
        QTest::newRow("status alone") << "401";
        QTest::newRow("status in a sentence") << "HTTP 401: the server refused";
        QTest::newRow("login required") << "Login Required";
        QTest::newRow("mixed case") << "lOgIn   ReQuIrEd";
        QTest::newRow("insufficient permission") << "Insufficient Permission";
        QTest::newRow("camel case reason") << "insufficientPermissions";
        QTest::newRow("forbidden") << "Forbidden";
        QTest::newRow("access denied") << "access denied";
        QTest::newRow("oauth access denied") << "access_denied";
        QTest::newRow("permission denied") << "Permission denied for this blog";
        QTest::newRow("no refresh token") << GoogleAuthentificationService::noRefreshTokenMessage();
        QTest::newRow("feed page of a rejected token")
            << "<HTML><TITLE>Token invalid - Invalid token: Token not found</TITLE><H2>Error 401</H2></HTML>";
    }

    void testCredentialTextsGetAdvice()
    {
        QFETCH(QString, text);
        QVERIFY(GoogleResponseAnalysisService().isCredentialsRelated(text));
        const QString result = transform(text);
        QVERIFY2(result.startsWith(GoogleResponseAnalysisService().readableMessage(text).trimmed()),
                 qPrintable(result));
        QVERIFY2(result.endsWith(advice()), qPrintable(result));
        QCOMPARE(result.count(advice()), 1);
    }

    void testTextsOfOtherFaultsAreUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("word glued to credentials") << "credentialsless mode is not supported";
        QTest::newRow("invalid then glued word") << "Invalid credentialsless request";
        QTest::newRow("longer number") << "Error 4010 while reading";
        QTest::newRow("number ending in 401") << "post 88166021401 saved";
        QTest::newRow("decimal 401 inside") << "version 1.4010";
        QTest::newRow("expired without credentials") << "The scheduled date has expired";
        QTest::newRow("token without its end") << "The token was accepted";
        QTest::newRow("unauthorized glued") << "unauthorizedness";
        QTest::newRow("backend error") << "Backend Error";
        QTest::newRow("no response") << GoogleRequestServiceBase::noResponseMessage();
        QTest::newRow("invalid address") << GoogleRequestServiceBase::invalidUrlMessage();
        QTest::newRow("no blog selected") << GoogleRequestServiceBase::noBlogSelectedMessage();
        QTest::newRow("invalid client") << "invalid_client";
    }

    void testTextsOfOtherFaultsAreUnchanged()
    {
        QFETCH(QString, text);
        QCOMPARE(transform(text), text);
    }

    void testAdviceIsNeverDoubled()
    {
        const QString once = transform("invalid_grant");
        QCOMPARE(once, "invalid_grant." + advice());
        QCOMPARE(transform(once), once);
        // Already advised by someone else, with other words around it.
        const QString wrapped = "Forbidden." + advice() + " (code 403)";
        QCOMPARE(transform(wrapped), wrapped);
    }

    void testEndMarksAndTrailingBlanks()
    {
        QCOMPARE(transform("Forbidden!"), "Forbidden!" + advice());
        QCOMPARE(transform("Login required?"), "Login required?" + advice());
        QCOMPARE(transform("invalid_grant \n"), "invalid_grant." + advice());
    }

    // ---- replies the readers could not read come back whole: they must read as a sentence ----

    void testErrorPageIsToldByItsTitleAndFirstWords()
    {
        const QString page = QString::fromUtf8(
            "<!DOCTYPE html>\n<html lang=en>\n<meta charset=utf-8>\n<title>Error 502 (Bad "
            "Gateway)!!1</title>\n"
            "<style>body{margin:0}</style><script>var x = '<b>';</script>"
            "<p><b>502.</b> <ins>That\u2019s an error.</ins>\n<p>Please try again &amp; wait.");
        QCOMPARE(transform(page),
                 GoogleResponseAnalysisService::errorPagePrefix() +
                     QString::fromUtf8("Error 502 (Bad Gateway)!!1 \u2014 502. That\u2019s an "
                                       "error. Please try again & wait."));
    }

    void testErrorPageOfRejectedTokenGetsAdvice()
    {
        const QString page = "<HTML><HEAD><TITLE>Token invalid</TITLE></HEAD><BODY>Invalid token: Token not "
                             "found<H1>Error 401</H1></BODY></HTML>";
        const QString text = transform(page);
        QVERIFY(text.startsWith(GoogleResponseAnalysisService::errorPagePrefix() + "Token invalid"));
        QVERIFY(text.endsWith(advice()));
        QVERIFY(!text.contains('<'));
    }

    void testBrokenFeedIsAnUnreadableReplyNotItsText()
    {
        const QString feed = QString::fromUtf8(TestSupport::readFixture("posts-feed-page.xml"));
        QCOMPARE(transform(feed.left(feed.size() / 2)),
                 GoogleResponseAnalysisService::unreadableReplyMessage());
    }

    void testJsonErrorObjectIsToldByItsMessage()
    {
        QCOMPARE(transform(QString::fromUtf8(TestSupport::readFixture("error-404.json"))),
                 serviceMessage("error-404.json"));
        QCOMPARE(transform(QString::fromUtf8(TestSupport::readFixture("error-401.json"))),
                 "Invalid Credentials." + advice());
        QCOMPARE(transform("{\"error\": {\"errors\": [{\"domain\": \"glo"),
                 GoogleResponseAnalysisService::unreadableReplyMessage());
        QCOMPARE(transform("[1, 2]"), GoogleResponseAnalysisService::unreadableReplyMessage());
    }

    void testLongTextIsCutOnACharacterWithAnEllipsis()
    {
        // Family emoji are one character of several code points: a cut must never split one.
        const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        QString text;
        for (int i = 0; i < 400; ++i) {
            text += family;
        }
        const QString cut = transform(text);
        QCOMPARE(StringExtensions::characterCount(cut), GoogleResponseAnalysisService::MaximumMessageLength);
        QVERIFY(cut.endsWith(QString::fromUtf8("\u2026")));
        QVERIFY(cut.startsWith(family));
        QCOMPARE(cut.size(), (GoogleResponseAnalysisService::MaximumMessageLength - 1) * family.size() + 1);
        const QString exact = QString(GoogleResponseAnalysisService::MaximumMessageLength, 'x');
        QCOMPARE(transform(exact), exact);
    }

    // How long this takes is bench_hostile_replies' to measure. A page as large as a reply may be was read
    // whole, for seconds on the main thread: only its start is read, even when the start says little.
    void testHugeErrorPageIsToldFromItsStartOnly()
    {
        QString page = "<html><head><title>Service Unavailable</title><style>";
        page += QString("p{}").repeated(GoogleResponseAnalysisService::MaximumReadLength);
        page += "</style></head><body><p>Come back later</p></body></html>";
        QCOMPARE(transform(page), GoogleResponseAnalysisService::errorPagePrefix() + "Service Unavailable");
        page = "<html><head><title>Service Unavailable</title></head><body>";
        page +=
            QString("<div class='x'></div>").repeated(GoogleResponseAnalysisService::MaximumReadLength / 8);
        page += "<p>Come back later</p></body></html>";
        QCOMPARE(transform(page), GoogleResponseAnalysisService::errorPagePrefix() + "Service Unavailable");
    }

    void testPlainTextsAndTheAdviceStayReadableTogether()
    {
        // The advice is never cut off, however long the text before it.
        const QString text = transform(QString(500, 'a') + " invalid_grant");
        QVERIFY(text.endsWith(QString::fromUtf8("\u2026") + advice()));
        QCOMPARE(
            transform("No response received from Blogger. Please check your internet connection and retry"),
            QString("No response received from Blogger. Please check your internet connection and retry"));
        QCOMPARE(transform("Rate <limit> reached"), QString("Rate <limit> reached"));
    }
};

QTEST_GUILESS_MAIN(TestGoogleResponseAnalysisService)
#include "TestGoogleResponseAnalysisService.moc"

#include "TestSupport.h"

#include "google/GoogleAuthentificationPage.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleServiceEndpoints.h"

#include <QtTest>

// The consent page address, the code read from its title, and the configured endpoints.
class TestGoogleAuthentificationPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testCodeFromSuccessTitle()
    {
        QCOMPARE(GoogleAuthentificationPage::codeFromTitle("Success state=guard_wordplay&code=4/AbC-dEf_123")
                     .value(),
                 QString("4/AbC-dEf_123"));
    }

    void testCodeHoldingEqualsKeepsIt()
    {
        QCOMPARE(
            GoogleAuthentificationPage::codeFromTitle("Success state=guard_wordplay&code=4/ab==cd=").value(),
            QString("4/ab==cd="));
    }

    void testTitleWithScopeAfterCodeDoesNotCorruptIt()
    {
        QCOMPARE(GoogleAuthentificationPage::codeFromTitle(
                     "Success state=guard_wordplay&code=4/xyz&scope=https://www.googleapis.com/auth/blogger")
                     .value(),
                 QString("4/xyz"));
    }

    void testAnyFirstWordsBeforeStateGiveTheCode()
    {
        QCOMPARE(GoogleAuthentificationPage::codeFromTitle("Hello world=guard_wordplay&code=4/xyz").value(),
                 QString("4/xyz"));
    }

    void testDoubledEqualsActsAsOne()
    {
        QCOMPARE(
            GoogleAuthentificationPage::codeFromTitle("Success state==guard_wordplay&code==4/xyz").value(),
            QString("4/xyz"));
        QCOMPARE(
            GoogleAuthentificationPage::codeFromTitle("=Success state=guard_wordplay&code=4/xyz").value(),
            QString("4/xyz"));
    }

    void testStateInThirdPieceGivesNoCode()
    {
        // The second piece is "b state", not the state: a state further on does not count.
        QVERIFY(
            !GoogleAuthentificationPage::codeFromTitle("a=b state=guard_wordplay&code=4/xyz").has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("=guard_wordplay&code=4/xyz").has_value());
    }

    void testOtherStateGivesNoCode()
    {
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Success state=forged&code=4/xyz").has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Success state=guard_wordplayX&code=4/xyz")
                     .has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Success code=4/xyz").has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Success state=other guard_wordplay&code=4/xyz")
                     .has_value());
    }

    void testRefusalTitleGivesNoCode()
    {
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Denied error=access_denied").has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("Success state=guard_wordplay&code=").has_value());
        QVERIFY(
            !GoogleAuthentificationPage::codeFromTitle("Success state=guard_wordplay&code=&x=1").has_value());
        QVERIFY(!GoogleAuthentificationPage::codeFromTitle("").has_value());
    }

    void testConsentUrlEncodesBlanksAndSlashesKeepsColons()
    {
        qputenv("PENHOLLOW_OAUTH_URL", "http://127.0.0.1:4321/");
        const QString url = GoogleAuthentificationPage::consentUrl(
            "123.apps.example.com", "http://www.blogger.com/feeds https://picasaweb.google.com/data",
            "urn:ietf:wg:oauth:2.0:oob");
        qunsetenv("PENHOLLOW_OAUTH_URL");
        QCOMPARE(url,
                 QString("http://127.0.0.1:4321/o/oauth2/auth?"
                         "scope=http:%2F%2Fwww.blogger.com%2Ffeeds%20https:%2F%2Fpicasaweb.google.com%2Fdata"
                         "&state=guard_wordplay&redirect_uri=urn:ietf:wg:oauth:2.0:oob"
                         "&response_type=code&client_id=123.apps.example.com&approval_prompt=force"));
    }

    void testEndpointsDefaultToCompiledInAndFollowEnvironment()
    {
        qunsetenv("PENHOLLOW_GOOGLE_API_URL");
        QVERIFY(GoogleServiceEndpoints::googleApiUrl().startsWith("https://"));
        qputenv("PENHOLLOW_GOOGLE_API_URL", "http://127.0.0.1:9/");
        qputenv("PENHOLLOW_BLOGGER_URL", "http://127.0.0.1:10");
        QCOMPARE(GoogleServiceEndpoints::googleApiUrl(), QString("http://127.0.0.1:9"));
        QCOMPARE(GoogleServiceEndpoints::tokenUrl(), QString("http://127.0.0.1:9/oauth2/v3/token"));
        QCOMPARE(GoogleServiceEndpoints::bloggerUrl(), QString("http://127.0.0.1:10"));
        qunsetenv("PENHOLLOW_GOOGLE_API_URL");
        qunsetenv("PENHOLLOW_BLOGGER_URL");
        QVERIFY(!GoogleServiceEndpoints::clientId().isEmpty());
        QVERIFY(GoogleServiceEndpoints::clientScope().contains(' '));
        QCOMPARE(GoogleServiceEndpoints::redirectUri(), QString("urn:ietf:wg:oauth:2.0:oob"));
    }

    void testFormFieldEncodesReservedCharacters()
    {
        QCOMPARE(GoogleAuthentificationService::formField("code", "4/a&b=c d+e"),
                 QByteArray("code=4%2Fa%26b%3Dc%20d%2Be&"));
        QCOMPARE(GoogleAuthentificationService::formField("x", ""), QByteArray("x=&"));
    }
};

QTEST_GUILESS_MAIN(TestGoogleAuthentificationPage)
#include "TestGoogleAuthentificationPage.moc"

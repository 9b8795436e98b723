#include "LocalHttpServer.h"
#include "ScriptResult.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "platform/ApplicationFolders.h"
#include "platform/gui/WebEngineProfiles.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>

#include <sqlite3.h>

#include <memory>
#include <optional>

namespace {

constexpr int LoadTimeout = 20000;

// Waits for the next finished load of the view and returns its title.
std::optional<QString> waitForLoad(WebView& /*view*/, QSignalSpy& spy)
{
    if (spy.isEmpty() && !spy.wait(LoadTimeout)) {
        return std::nullopt;
    }
    const QList<QVariant> args = spy.takeFirst();
    if (!args.at(0).toBool()) {
        return std::nullopt;
    }
    return args.at(1).toString();
}

// The names of the cookies a profile's folder holds on disk, as the engine's own store wrote them.
QStringList cookiesOnDisk(const QString& profileFolder)
{
    QStringList names;
    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(profileFolder + QStringLiteral("/Cookies"));
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM cookies", -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return names;
}

QVariant evaluate(WebView& view, const QString& script)
{
    return ScriptResult::evaluate(view, script);
}

} // namespace

class TestWebView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void testLoadHtmlReportsTitleToBlockAndSignal();
    void testLoadHtmlResolvesRelativeAddressesAgainstBase();
    void testLoadAddressFailureReportsNotOk();
    void testScriptResultArrivesAfterTheCallReturns();
    void testScriptThrowingGivesInvalidResult();
    void testScriptCallbackDroppedWhenViewDeleted();
    void testNavigationPolicyRefusesLinkAndPageStays();
    void testNavigationPolicyKeptWhenProfileChanges();
    void testPageConsoleReachesNoLog();
    void testRequestInterceptionSeesAndBlocksSubresources();
    void testRequestInterceptionIsPerView();
    void testPersistentProfileStoredUnderDataFolder();
    void testViewsNamingOneProfileShareIt();
    void testPrivateViewsDoNotShareCookies();
    void testCookieOfPersistentProfileSurvivesTheView();
    void testCookieOfPersistentProfileSurvivesRestart();

private:
    std::unique_ptr<LocalHttpServer> m_server;
};

void TestWebView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestWebView::init()
{
    m_server = std::make_unique<LocalHttpServer>();
    QVERIFY(m_server->start());
}

void TestWebView::testLoadHtmlReportsTitleToBlockAndSignal()
{
    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    QString blockTitle;
    int blockCalls = 0;
    view.setLoadFinishedBlock([&](bool ok, const QString& title) {
        ++blockCalls;
        blockTitle = ok ? title : QStringLiteral("<failed>");
    });
    view.loadHtml(
        QStringLiteral("<html><head><title>Caf\u00e9 &amp; Tea</title></head><body>x</body></html>"),
        QUrl(QStringLiteral("http://127.0.0.1/")));
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("Caf\u00e9 & Tea"));
    QCOMPARE(blockCalls, 1);
    QCOMPARE(blockTitle, QStringLiteral("Caf\u00e9 & Tea"));
}

void TestWebView::testLoadHtmlResolvesRelativeAddressesAgainstBase()
{
    m_server->route("/blog/picture.png",
                    QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUl"
                                           "EQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg=="),
                    "image/png");
    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    QSignalSpy requests(m_server.get(), &LocalHttpServer::requestReceived);
    view.loadHtml(QStringLiteral("<html><head><title>Post</title></head><body>"
                                 "<a id='link' href='2015/06/entry.html'>entry</a>"
                                 "<img id='picture' src='picture.png'></body></html>"),
                  m_server->url(QStringLiteral("/blog/")));
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("Post"));
    QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('link').href")).toString(),
             m_server->url(QStringLiteral("/blog/2015/06/entry.html")).toString());
    QCOMPARE(evaluate(view, QStringLiteral("location.origin")).toString(), m_server->baseUrl().toString());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestsFor("/blog/picture.png").size(), 1, LoadTimeout);
    QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('picture').naturalWidth")).toInt(), 1);
}

void TestWebView::testLoadAddressFailureReportsNotOk()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there any more: the connection is refused

    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadAddress(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QVERIFY(spy.wait(LoadTimeout));
    QCOMPARE(spy.first().at(0).toBool(), false);
}

void TestWebView::testScriptResultArrivesAfterTheCallReturns()
{
    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadHtml(QStringLiteral("<title>t</title><p id='p'>forty-two</p>"),
                  QUrl(QStringLiteral("http://127.0.0.1/")));
    QVERIFY(waitForLoad(view, spy));

    bool called = false;
    QVariant value;
    view.evaluateScript(QStringLiteral("document.getElementById('p').textContent + ' ' + (40 + 2)"),
                        [&](const QVariant& result) {
                            called = true;
                            value = result;
                        });
    QVERIFY(!called); // never inline: callers must not rely on the value being there at once
    QTRY_VERIFY_WITH_TIMEOUT(called, LoadTimeout);
    QCOMPARE(value.toString(), QStringLiteral("forty-two 42"));
}

void TestWebView::testScriptThrowingGivesInvalidResult()
{
    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadHtml(QStringLiteral("<p>no title element here</p>"), QUrl(QStringLiteral("http://127.0.0.1/")));
    QVERIFY(waitForLoad(view, spy));
    const QVariant missing =
        evaluate(view, QStringLiteral("document.getElementsByTagName('title')[0].innerText"));
    QVERIFY(!missing.isValid());
}

void TestWebView::testScriptCallbackDroppedWhenViewDeleted()
{
    auto view = std::make_unique<WebView>();
    QSignalSpy spy(view.get(), &WebView::pageLoaded);
    view->loadHtml(QStringLiteral("<title>t</title>"), QUrl(QStringLiteral("http://127.0.0.1/")));
    QVERIFY(waitForLoad(*view, spy));

    auto calls = std::make_shared<int>(0);
    view->evaluateScript(QStringLiteral("1 + 1"), [calls](const QVariant&) { ++*calls; });
    view.reset();
    // A second view's script finishing proves the engine went on; the first callback must not follow.
    WebView other;
    QSignalSpy otherSpy(&other, &WebView::pageLoaded);
    other.loadHtml(QStringLiteral("<title>u</title>"), QUrl(QStringLiteral("http://127.0.0.1/")));
    QVERIFY(waitForLoad(other, otherSpy));
    QCOMPARE(evaluate(other, QStringLiteral("2 + 2")).toInt(), 4);
    QCOMPARE(*calls, 0);
}

void TestWebView::testNavigationPolicyRefusesLinkAndPageStays()
{
    m_server->route("/next", "<title>Next</title>");
    WebView view;
    QList<QUrl> asked;
    view.setNavigationPolicy([&](const QUrl& url, QWebEnginePage::NavigationType type, bool /*isMainFrame*/) {
        asked.append(url);
        return type != QWebEnginePage::NavigationTypeLinkClicked;
    });
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadHtml(QStringLiteral("<title>Start</title><a id='go' href='/next'>go</a>"), m_server->baseUrl());
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("Start"));
    QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('go').click(); 'clicked'")).toString(),
             QStringLiteral("clicked"));
    QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 2, LoadTimeout);
    QCOMPARE(asked.last(), m_server->url(QStringLiteral("/next")));
    QVERIFY(m_server->requestsFor("/next").isEmpty());
    QCOMPARE(evaluate(view, QStringLiteral("document.title")).toString(), QStringLiteral("Start"));
}

void TestWebView::testNavigationPolicyKeptWhenProfileChanges()
{
    m_server->route("/refused", "<title>Refused</title>");
    WebView view;
    view.setNavigationPolicy([&](const QUrl& url, QWebEnginePage::NavigationType, bool) {
        return url.path() != QStringLiteral("/refused");
    });
    view.setPersistentProfileName(QStringLiteral("PolicyTest"));
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadAddress(m_server->url(QStringLiteral("/refused")));
    // A refused navigation ends without loading anything from the server.
    QVERIFY(spy.wait(LoadTimeout));
    QVERIFY(m_server->requestsFor("/refused").isEmpty());
}

// Every line a page wrote to its console went to standard error: hundreds of thousands a second.
void TestWebView::testPageConsoleReachesNoLog()
{
    static QAtomicInt logged;
    static QtMessageHandler previous = nullptr;
    logged.storeRelaxed(0);
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.contains(QLatin1String("flood"))) {
                logged.ref();
            }
            previous(type, context, text);
        });
    const auto restore = qScopeGuard([] { qInstallMessageHandler(previous); });
    WebView view;
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadHtml(
        QStringLiteral("<title>t</title><script>for (let i = 0; i < 1000; ++i) { console.error('flood'); "
                       "console.warn('flood'); console.info('flood'); } document.title = 'flooded'"
                       "</script>"),
        QUrl(QStringLiteral("http://127.0.0.1/")));
    // The messages come before the title that follows them.
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("flooded"));
    QCOMPARE(logged.loadRelaxed(), 0);
}

void TestWebView::testRequestInterceptionSeesAndBlocksSubresources()
{
    m_server->route("/allowed.js", "document.title = 'script ran';", "text/javascript");
    m_server->route("/blocked.js", "document.title = 'blocked script ran';", "text/javascript");
    WebView view;
    QList<QUrl> seen;
    view.setRequestInterception([&](QWebEngineUrlRequestInfo& info) {
        seen.append(info.requestUrl());
        if (info.requestUrl().path() == QStringLiteral("/blocked.js")) {
            info.block(true);
        }
    });
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadHtml(QStringLiteral("<title>t</title><script src='/blocked.js'></script>"
                                 "<script src='/allowed.js'></script>"),
                  m_server->baseUrl());
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("script ran"));
    QVERIFY(seen.contains(m_server->url(QStringLiteral("/blocked.js"))));
    QVERIFY(seen.contains(m_server->url(QStringLiteral("/allowed.js"))));
    QVERIFY(m_server->requestsFor("/blocked.js").isEmpty());
    QCOMPARE(m_server->requestsFor("/allowed.js").size(), 1);
}

void TestWebView::testRequestInterceptionIsPerView()
{
    m_server->route("/page", "<title>page</title>");
    WebView watched;
    WebView other;
    int watchedCalls = 0;
    watched.setRequestInterception([&](QWebEngineUrlRequestInfo&) { ++watchedCalls; });
    QSignalSpy spy(&other, &WebView::pageLoaded);
    other.loadAddress(m_server->url(QStringLiteral("/page")));
    QCOMPARE(waitForLoad(other, spy), QStringLiteral("page"));
    QCOMPARE(m_server->requestsFor("/page").size(), 1);
    QCOMPARE(watchedCalls, 0);
}

void TestWebView::testPersistentProfileStoredUnderDataFolder()
{
    WebView plain;
    QVERIFY(plain.webProfile()->isOffTheRecord());
    QVERIFY(plain.persistentProfileName().isEmpty());

    WebView signIn;
    signIn.setPersistentProfileName(QStringLiteral("SignIn"));
    QVERIFY(!signIn.webProfile()->isOffTheRecord());
    QCOMPARE(signIn.webProfile()->persistentStoragePath(),
             ApplicationFolders::dataFolder() + QStringLiteral("/QtWebEngine/SignIn"));
    QCOMPARE(signIn.webProfile()->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);
    QCOMPARE(signIn.webPage()->profile(), signIn.webProfile());
}

void TestWebView::testViewsNamingOneProfileShareIt()
{
    QPointer<QWebEngineProfile> profile;
    {
        WebView first;
        first.setPersistentProfileName(QStringLiteral("Shared"));
        profile = first.webProfile();
        WebView second;
        second.setPersistentProfileName(QStringLiteral("Shared"));
        QCOMPARE(second.webProfile(), profile.data());
    }
    // Kept for the next view: made again at once, it could miss cookies the old one had not yet written.
    QVERIFY(profile);
    WebView later;
    later.setPersistentProfileName(QStringLiteral("Shared"));
    QCOMPARE(later.webProfile(), profile.data());
}

void TestWebView::testPrivateViewsDoNotShareCookies()
{
    m_server->route("/set", "<title>set</title>", "text/html",
                    {"Set-Cookie: private=1; Max-Age=3600; Path=/"});
    m_server->route("/check", "<title>check</title>");
    WebView first;
    WebView second;
    QSignalSpy firstSpy(&first, &WebView::pageLoaded);
    QSignalSpy secondSpy(&second, &WebView::pageLoaded);
    first.loadAddress(m_server->url(QStringLiteral("/set")));
    QCOMPARE(waitForLoad(first, firstSpy), QStringLiteral("set"));
    second.loadAddress(m_server->url(QStringLiteral("/check")));
    QCOMPARE(waitForLoad(second, secondSpy), QStringLiteral("check"));
    QCOMPARE(m_server->requestsFor("/check").size(), 1);
    QVERIFY(m_server->requestsFor("/check").first().header("Cookie").isEmpty());
}

void TestWebView::testCookieOfPersistentProfileSurvivesTheView()
{
    // A session cookie, as sign-in pages often set: the profile keeps it all the same.
    m_server->route("/set", "<title>set</title>", "text/html", {"Set-Cookie: signedin=yes; Path=/"});
    m_server->route("/check", "<title>check</title>");
    {
        WebView first;
        first.setPersistentProfileName(QStringLiteral("Cookies"));
        QSignalSpy spy(&first, &WebView::pageLoaded);
        first.loadAddress(m_server->url(QStringLiteral("/set")));
        QCOMPARE(waitForLoad(first, spy), QStringLiteral("set"));
    }
    WebView second;
    second.setPersistentProfileName(QStringLiteral("Cookies"));
    QSignalSpy spy(&second, &WebView::pageLoaded);
    second.loadAddress(m_server->url(QStringLiteral("/check")));
    QCOMPARE(waitForLoad(second, spy), QStringLiteral("check"));
    QCOMPARE(m_server->requestsFor("/check").size(), 1);
    QCOMPARE(m_server->requestsFor("/check").first().header("Cookie"), QByteArray("signedin=yes"));
}

void TestWebView::testCookieOfPersistentProfileSurvivesRestart()
{
    m_server->route("/set", "<title>set</title>", "text/html", {"Set-Cookie: relaunch=kept; Path=/"});
    m_server->route("/check", "<title>check</title>");
    // A data folder no profile of this process has used yet.
    TestSupport::useFreshDataFolder();

    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QStringLiteral(PENHOLLOW_WEB_PROFILE_WRITER),
                 {m_server->url(QStringLiteral("/set")).toString()});
    // The server answers on this thread, so the loop must run while the writer works.
    QVERIFY(QTest::qWaitFor([&] { return writer.state() == QProcess::NotRunning; }, 60000));
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(m_server->requestsFor("/set").size(), 1);
    // On disk when the writer is gone: what a quit right after signing in leaves for the next launch.
    QCOMPARE(cookiesOnDisk(WebEngineProfiles::persistentStoragePath(QStringLiteral("SignIn"))),
             QStringList({"relaunch"}));

    WebView view;
    view.setPersistentProfileName(QStringLiteral("SignIn"));
    QSignalSpy spy(&view, &WebView::pageLoaded);
    view.loadAddress(m_server->url(QStringLiteral("/check")));
    QCOMPARE(waitForLoad(view, spy), QStringLiteral("check"));
    QCOMPARE(m_server->requestsFor("/check").first().header("Cookie"), QByteArray("relaunch=kept"));
}

PENHOLLOW_WEB_TEST_MAIN(TestWebView)
#include "TestWebView.moc"

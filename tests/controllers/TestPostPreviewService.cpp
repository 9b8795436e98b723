#include "HostileContent.h"
#include "LocalHttpServer.h"
#include "ScriptResult.h"
#include "StandinHarness.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "controllers/PostPreviewService.h"
#include "platform/ApplicationFolders.h"
#include "platform/LocalPictureServer.h"
#include "platform/LocalPictures.h"
#include "platform/gui/HtmlSchemeHandler.h"
#include "platform/gui/LocalPictureSchemeHandler.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/SQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/main/SpinnerView.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUuid>
#include <QWebEngineScript>
#include <QtTest>

namespace {

constexpr int LoadTimeout = 20000;

QVariant evaluate(WebView* view, const QString& script)
{
    return ScriptResult::evaluate(*view, script);
}

// For pages whose own scripts are off: our script runs in a world of its own. Text as pageText reads it.
QVariant ownWorld(WebView* view, const QString& script)
{
    return ScriptResult::evaluate(*view, script, QWebEngineScript::ApplicationWorld);
}

QString pageTextOwnWorld(WebView* view)
{
    return ownWorld(view, QStringLiteral("document.readyState == 'complete' && document.body ? "
                                         "document.body.innerText : ''"))
        .toString();
}

// The page's text once it has finished loading (its pictures and style sheets too); empty until then.
QString pageText(WebView* view)
{
    return evaluate(view, QStringLiteral("document.readyState == 'complete' && document.body ? "
                                         "document.body.innerText : ''"))
        .toString();
}

BloggerPost editedPost(const QString& title, const QString& content)
{
    BloggerPost post;
    post.blogId = StandinHarness::blogId();
    post.postId = QStringLiteral("8816602137345629201");
    post.title = title;
    post.content = content;
    post.postStatus = PostStatus::Published;
    return post;
}

} // namespace

// The preview and the live preview of a post being edited: the post in the stand-in blog's own page, the
// template fetched once without credentials and kept, local pictures shown, nothing published.
class TestPostPreviewService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<PostPreviewService> m_previews;
    QString m_blogUrl;

    QByteArray templatePath() const { return "/tidetables/temp/post/title.html"; }

    LivePreviewWindowController* waitForLivePreview(const QString& expectedText)
    {
        LivePreviewWindowController* live = m_previews->livePreviewWindowController();
        if (!live || !QTest::qWaitFor([&] { return live->isWindowLoaded() && live->content().has_value(); },
                                      LoadTimeout)) {
            return nullptr;
        }
        // Looked for in the page: a post of megabytes is not copied out at every try, and loads for long on
        // a busy machine.
        QString quoted = expectedText;
        quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        const QString script = QStringLiteral("document.readyState == 'complete' && !!document.body && "
                                              "document.body.innerText.includes('%1')")
                                   .arg(quoted);
        const bool shown = QTest::qWaitFor(
            [&] { return evaluate(live->webviewOutlet(), script) == QVariant(true); }, 3 * LoadTimeout);
        return shown ? live : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        h = std::make_unique<StandinHarness>();
        m_blogUrl = h->standin.serverUrl().toString() + QStringLiteral("/tidetables/");
        UserBlogsLocalAccessAppService().addOrUpdateBlog(BloggerBlog(
            StandinHarness::blogId(), h->standin.defaultAccountId(), "Tide Tables", m_blogUrl, "LIVE"));
        // No template kept from an earlier case.
        PersistentServiceState().setBlogTemplate(m_blogUrl, QString());
        m_previews = std::make_unique<PostPreviewService>(h->auth);
        m_previews->setTimeoutInterval(5);
        h->standin.clearRequests();
    }

    void cleanup()
    {
        m_previews.reset();
        h.reset();
    }

    void testLivePreviewShowsPostInsideTheBlogsPageFetchedWithoutCredentials()
    {
        m_previews->showLivePreview(editedPost("Harbour lights", "<p>Boats at <b>dusk</b>.</p>"));
        LivePreviewWindowController* live = waitForLivePreview("Boats at dusk");
        QVERIFY(live);
        QCOMPARE(live->window()->windowTitle(), QStringLiteral("Live Preview \u00B7 Harbour lights"));
        const QString text = pageText(live->webviewOutlet());
        QVERIFY2(text.contains("Tide Tables") && text.contains("Notes from the coast"), qPrintable(text));
        QVERIFY(text.contains("Harbour lights"));
        QVERIFY(text.contains("Powered by Blogger."));
        QVERIFY(!text.contains("does not exist"));
        QCOMPARE(
            evaluate(live->webviewOutlet(), "document.querySelector('.post-body b').textContent").toString(),
            QStringLiteral("dusk"));
        // The blog's own style applies.
        QCOMPARE(evaluate(live->webviewOutlet(),
                          "getComputedStyle(document.querySelector('.header')).backgroundColor")
                     .toString(),
                 QStringLiteral("rgb(45, 74, 90)"));
        QVERIFY(!live->spinningIndicatorOutlet()->isVisible());
        QCOMPARE(live->baseURL(), std::optional<QUrl>(QUrl(m_blogUrl)));

        const QList<LoggedRequest> fetched = h->standin.requests("GET", templatePath());
        QCOMPARE(fetched.size(), 1);
        QVERIFY(!fetched.first().hasHeader("Authorization"));
        QVERIFY(!fetched.first().hasHeader("Cookie"));
        // Nothing was published or asked of the account.
        QVERIFY(h->standin.requests("POST", "").isEmpty());
        QVERIFY(h->standin.requests("PUT", "").isEmpty());
        QVERIFY(h->standin.requests("DELETE", "").isEmpty());
        QVERIFY(h->standin.requests("GET", "/feeds/").isEmpty());
        QVERIFY(PersistentServiceState().getBlogTemplate(m_blogUrl)->contains("status-msg-wrap"));
    }

    void testCachedTemplateIsUsedTheSecondTime()
    {
        m_previews->showLivePreview(editedPost("First look", "<p>One</p>"));
        QVERIFY(waitForLivePreview("One"));
        QCOMPARE(h->standin.requests("GET", templatePath()).size(), 1);

        // The stand-in's page changes, but the kept template is used.
        h->standin.addFault(StandinFault::Kind::NoReply, "/tidetables/");
        m_previews->showLivePreview(editedPost("Second look", "<p>Two</p>"));
        LivePreviewWindowController* live = waitForLivePreview("Two");
        QVERIFY(live);
        QVERIFY(pageText(live->webviewOutlet()).contains("Second look"));
        QVERIFY(pageText(live->webviewOutlet()).contains("Tide Tables"));
        QCOMPARE(h->standin.requests("GET", templatePath()).size(), 1);
        QCOMPARE(live->window()->windowTitle(), QStringLiteral("Live Preview \u00B7 Second look"));
    }

    // A post and a template that try to read the user's files and send them to a listener: both
    // previews show the post, its pictures from the web and the user's own picture, and nothing leaves.
    void testHostilePostAndTemplateReachNothingLocal_data()
    {
        QTest::addColumn<int>("fillerBytes");
        QTest::newRow("post of a few lines") << 0;
        QTest::newRow("post of 5 MB") << 5 * 1024 * 1024;
    }

    void testHostilePostAndTemplateReachNothingLocal()
    {
        QFETCH(int, fillerBytes);
        LocalHttpServer listener;
        QVERIFY(listener.start());
        const QString secret = QStringLiteral("refresh-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
        PersistentAccessTokens(h->standin.defaultAccountId()).setRefreshToken(secret);
        const QString data = ApplicationFolders::dataFolder();
        const QString preferences = data + QStringLiteral("/Preferences.json");
        QFile prefs(preferences);
        QVERIFY(prefs.open(QIODevice::ReadOnly) && prefs.readAll().contains(secret.toUtf8()));
        const QString folder = ApplicationFolders::applicationsFolder();
        QDir().mkpath(folder);
        const QString mine = QStringLiteral("C0FFEE-dot.png");
        QVERIFY(HostileContent::writeFile(folder + QLatin1Char('/') + mine, HostileContent::pngBytes()));
        QVERIFY(
            HostileContent::writeFile(data + QStringLiteral("/elsewhere.png"), HostileContent::pngBytes()));
        const QStringList targets = {QStringLiteral("file:///etc/passwd"), "file://" + preferences,
                                     "file://" + data + QStringLiteral("/data.db"),
                                     "file://" + folder + QLatin1Char('/') + mine,
                                     LocalPictures::pictureAddress(mine)};
        const QString report = h->standin.serverUrl().toString();
        const QString listenerUrl = listener.baseUrl().toString(QUrl::StripTrailingSlash);

        const QString post =
            QStringLiteral("<p>Boats at dusk</p><img id='mine' class='mine' src=\"file://") + folder + '/' +
            mine + QStringLiteral("\"><img id='elsewhere' src=\"file://") + data +
            QStringLiteral("/elsewhere.png\"><img id='web' src='") + report +
            QStringLiteral("/pictures/boat.png'>") +
            HostileContent::fileFramesAndMarkers({preferences, QStringLiteral("/etc/passwd")}) +
            HostileContent::probeScript("post", listenerUrl, report, targets) +
            QStringLiteral("<p>%1</p>").arg(QString(fillerBytes, QLatin1Char('x')));
        const QString hostileTemplate =
            QStringLiteral("<!DOCTYPE html><html><head><title>Tide Tables</title>") +
            HostileContent::probeScript("template", listenerUrl, report, targets) +
            QStringLiteral(
                "</head><body><h1>Tide Tables</h1><div class='blog-posts'></div>"
                "<div class='status-msg-wrap'>Sorry, the page does not exist.</div></body></html>");
        PersistentServiceState().setBlogTemplate(m_blogUrl, hostileTemplate);

        m_previews->showLivePreview(editedPost("Harbour lights", post));
        LivePreviewWindowController* live = waitForLivePreview("Boats at dusk");
        QVERIFY(live);
        WebView* view = live->webviewOutlet();
        // Both scripts ran to their end and read nothing.
        QTRY_VERIFY_WITH_TIMEOUT(h->standin.requests("GET", "/done-template").size() == 1 &&
                                     h->standin.requests("GET", "/done-post").size() == 1,
                                 LoadTimeout);
        for (const char* who : {"/done-template", "/done-post"}) {
            const LoggedRequest done = h->standin.requests("GET", who).first();
            QVERIFY2(done.queryValue("stolen") == QStringLiteral("0"), qPrintable(done.queryValue("what")));
        }
        QVERIFY(listener.requests().isEmpty());
        // The user's picture shows, from an origin of its own that the page's scripts cannot read; one
        // outside the images folder does not; the web's does.
        QTRY_COMPARE(evaluate(view, "document.getElementById('mine').naturalWidth").toInt(), 1);
        QVERIFY(LocalPictureServer::instance().picturesServed() >= 1);
        QVERIFY(!view->localPictureSchemeHandler());
        QCOMPARE(evaluate(view, "document.getElementById('elsewhere').naturalWidth").toInt(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view, "document.getElementById('web').complete").toBool(),
                                 LoadTimeout);
        QVERIFY(!h->standin.requests("GET", "/pictures/boat.png").isEmpty());
        // No frame shows a local file; the search does find the post.
        QVERIFY(HostileContent::occurrences(*view, "Boats at dusk") >= 1);
        QCOMPARE(HostileContent::occurrences(*view, secret), 0);
        QCOMPARE(HostileContent::occurrences(*view, "root:"), 0);
        QVERIFY(!live->content()->contains("data:image"));

        // The plain preview runs no script at all, and shows the same pictures.
        h->standin.clearRequests();
        m_previews->showPreview(editedPost("Harbour lights", post));
        MiniBrowserWindowController* preview = m_previews->previewWindowController();
        QTRY_VERIFY(preview->isWindowLoaded());
        WebView* plain = preview->webviewOutlet();
        QTRY_VERIFY_WITH_TIMEOUT(pageTextOwnWorld(plain).contains("Boats at dusk"), LoadTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(ownWorld(plain, "document.getElementById('web').complete").toBool(),
                                 LoadTimeout);
        QTRY_COMPARE(ownWorld(plain, "document.getElementById('mine').naturalWidth").toInt(), 1);
        QCOMPARE(plain->localPictureSchemeHandler()->picturesServed(), 1);
        QCOMPARE(ownWorld(plain, "document.getElementById('elsewhere').naturalWidth").toInt(), 0);
        QVERIFY(!h->standin.requests("GET", "/pictures/boat.png").isEmpty());
        QVERIFY(h->standin.requests("GET", "/done-").isEmpty());
        QCOMPARE(HostileContent::occurrences(*plain, secret), 0);
        QCOMPARE(HostileContent::occurrences(*plain, "root:"), 0);
        QVERIFY(!plain->url().isLocalFile());
        QVERIFY(listener.requests().isEmpty());
    }

    void testUnreachableBlogPageShowsThePostAloneAndKeepsNothing()
    {
        h->standin.addFault(StandinFault::Kind::NoReply, "/tidetables/");
        m_previews->showLivePreview(editedPost("Offline thoughts", "<p>Written at sea</p>"));
        LivePreviewWindowController* live = waitForLivePreview("Written at sea");
        QVERIFY(live);
        const QString text = pageText(live->webviewOutlet());
        QVERIFY(text.contains("Offline thoughts"));
        QVERIFY(text.contains("could not be used"));
        QVERIFY(!live->spinningIndicatorOutlet()->isVisible());
        QVERIFY(PersistentServiceState().getBlogTemplate(m_blogUrl).value_or(QString()).isEmpty());

        // The next live preview tries again.
        h->standin.clearFaults();
        m_previews->showLivePreview(editedPost("Offline thoughts", "<p>Written at sea</p>"));
        QVERIFY(waitForLivePreview("Tide Tables"));
    }

    void testErrorPageOfTheMomentIsNotKeptAsTemplate()
    {
        h->standin.addFault(StandinFault::Kind::HtmlErrorPage, "/tidetables/", 1);
        m_previews->showLivePreview(editedPost("Gale", "<p>Wind</p>"));
        QVERIFY(waitForLivePreview("Wind"));
        QVERIFY(PersistentServiceState().getBlogTemplate(m_blogUrl).value_or(QString()).isEmpty());
        m_previews->showLivePreview(editedPost("Gale", "<p>Wind</p>"));
        QVERIFY(waitForLivePreview("Tide Tables"));
        QCOMPARE(h->standin.requests("GET", templatePath()).size(), 2);
    }

    void testEachLivePreviewGetsAFreshWindow()
    {
        m_previews->showLivePreview(editedPost("A", "<p>a</p>"));
        QVERIFY(waitForLivePreview("a"));
        QPointer<QWidget> first = m_previews->livePreviewWindowController()->window();
        m_previews->showLivePreview(editedPost("B", "<p>b</p>"));
        QVERIFY(first.isNull());
        QVERIFY(waitForLivePreview("b"));
    }

    // The template's scripts can read the picture's address and send it out: it must die with the window.
    void testPictureGrantIsRefusedOnceTheLivePreviewWindowCloses()
    {
        const QString mine = QStringLiteral("C0FFEE-grant.png");
        QDir().mkpath(ApplicationFolders::applicationsFolder());
        QVERIFY(HostileContent::writeFile(ApplicationFolders::applicationsFolder() + QLatin1Char('/') + mine,
                                          HostileContent::pngBytes()));
        m_previews->showLivePreview(
            editedPost("Pictured", "<p>Picture below</p><img id='mine' src=\"file://" +
                                       ApplicationFolders::applicationsFolder() + '/' + mine + "\">"));
        LivePreviewWindowController* live = waitForLivePreview("Picture below");
        QVERIFY(live);
        QTRY_COMPARE(evaluate(live->webviewOutlet(), "document.getElementById('mine').naturalWidth").toInt(),
                     1);
        const QUrl address(evaluate(live->webviewOutlet(), "document.getElementById('mine').src").toString());
        const auto fetch = [&address] {
            QTcpSocket socket;
            QByteArray reply;
            connect(&socket, &QTcpSocket::readyRead, &socket, [&] { reply += socket.readAll(); });
            socket.connectToHost(QHostAddress::LocalHost, quint16(address.port()));
            socket.write("GET " + address.path().toLatin1() +
                         " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(address.port()) + "\r\n\r\n");
            const bool closed = QTest::qWaitFor(
                [&] { return socket.state() == QAbstractSocket::UnconnectedState; }, LoadTimeout);
            return closed ? reply : QByteArray("<no answer>");
        };
        QVERIFY(fetch().startsWith("HTTP/1.1 200 OK"));
        live->close();
        QCOMPARE(fetch(), QByteArray());
    }

    void testPlainPreviewShowsThePostUnderItsTitle()
    {
        m_previews->showPreview(editedPost("Low & slow", "<h2>Tide</h2><p>Out at noon</p>"));
        MiniBrowserWindowController* preview = m_previews->previewWindowController();
        QVERIFY(preview);
        QTRY_VERIFY(preview->isWindowLoaded() && preview->window()->isVisible());
        QCOMPARE(preview->window()->windowTitle(), QStringLiteral("Preview \u00B7 Low & slow"));
        QTRY_VERIFY_WITH_TIMEOUT(pageTextOwnWorld(preview->webviewOutlet()).contains("Out at noon"),
                                 LoadTimeout);
        QVERIFY(pageTextOwnWorld(preview->webviewOutlet()).startsWith("Low & slow"));
        QVERIFY(h->standin.requests().isEmpty());
    }
};

PENHOLLOW_WEB_TEST_MAIN_PREPARED(TestPostPreviewService, (HtmlSchemeHandler::registerScheme(),
                                                          LocalPictureSchemeHandler::registerScheme()))

#include "TestPostPreviewService.moc"

#include "ScriptResult.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "platform/gui/HtmlSchemeHandler.h"
#include "platform/gui/WebView.h"
#include "services/control/PostPreviewService.h"
#include "store/PersistentServiceState.h"
#include "store/SQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/main/SpinnerView.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int LoadTimeout = 20000;

QVariant evaluate(WebView* view, const QString& script)
{
    return ScriptResult::evaluate(*view, script);
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
        const bool shown =
            QTest::qWaitFor([&] { return pageText(live->webviewOutlet()).contains(expectedText); }, LoadTimeout);
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

    void testLocalPicturesOfThePostShowInTheLivePreview()
    {
        QTemporaryDir dir;
        QFile png(dir.filePath("rocks.png"));
        QVERIFY(png.open(QIODevice::WriteOnly));
        png.write(
            QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAh"
                                   "KmMIQAAAABJRU5ErkJggg=="));
        png.close();
        m_previews->showLivePreview(editedPost("With a picture", "<p>Rocks</p><img id='local' src=\"file://" +
                                                                     png.fileName() + "\">"));
        LivePreviewWindowController* live = waitForLivePreview("Rocks");
        QVERIFY(live);
        QVERIFY(live->content()->contains("data:image/png;base64,"));
        QVERIFY(!live->content()->contains("file://"));
        QTRY_COMPARE(evaluate(live->webviewOutlet(), "document.getElementById('local').naturalWidth").toInt(),
                     1);
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

    void testPlainPreviewShowsThePostUnderItsTitle()
    {
        m_previews->showPreview(editedPost("Low & slow", "<h2>Tide</h2><p>Out at noon</p>"));
        MiniBrowserWindowController* preview = m_previews->previewWindowController();
        QVERIFY(preview);
        QTRY_VERIFY(preview->isWindowLoaded() && preview->window()->isVisible());
        QCOMPARE(preview->window()->windowTitle(), QStringLiteral("Preview \u00B7 Low & slow"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(preview->webviewOutlet()).contains("Out at noon"), LoadTimeout);
        QVERIFY(pageText(preview->webviewOutlet()).startsWith("Low & slow"));
        QVERIFY(h->standin.requests().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    HtmlSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    TestPostPreviewService tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "TestPostPreviewService.moc"

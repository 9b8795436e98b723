#include "EditorTestDriver.h"
#include "HostileContent.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "common/GoogleServiceConstants.h"
#include "platform/ApplicationFolders.h"
#include "ui/windows/EditorPageBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace {

BloggerPost storedPost(const QString& content, PostStatus status = PostStatus::Published)
{
    BloggerPost post;
    post.blogId = QStringLiteral("blog-1");
    post.postId = QStringLiteral("post-1");
    post.title = QStringLiteral("A stored post");
    post.content = content;
    post.postStatus = status;
    post.publishDate = QDateTime(QDate(2024, 5, 6), QTime(7, 8), Qt::LocalTime);
    return post;
}

// Written as the page itself serialises HTML, so it must come back the same whether or not it was edited.
const QString TrickyContent = QStringLiteral(
    "<p class=\"intro\" style=\"color: rgb(200, 10, 10); margin-left: 2em;\">Quotes \" and ' and a "
    "back\\slash, "
    "100% sure &amp; &lt;tags&gt;</p>\n<p>Line one<br>line two\n\nline three</p><!-- a comment kept -->"
    "<p>Caf\u00e9 cr\u00e8me \U0001F600 \u4E2D\u6587</p>"
    "<table border=\"1\"><tbody><tr><th>a</th><td data-x=\"1\">b</td></tr></tbody></table>"
    "<iframe src=\"about:blank\" width=\"200\" height=\"100\" allowfullscreen=\"\"></iframe>"
    "<my-widget data-id=\"7\">custom <b>element</b></my-widget>"
    "<div style=\"text-align: center;\"><span style=\"font-size: large;\">big</span></div>");

// A frame that reports to /beacon when its script runs, and shows /held.png when it runs none.
void routeEmbed(LocalHttpServer& web)
{
    web.route("/evil.html", "<html><body><noscript><img src=\"/held.png\"></noscript>"
                            "<script>new Image().src = '/beacon';</script></body></html>");
    web.route("/held.png", HostileContent::pngBytes(), "image/png");
}

// Frames in the page that could run script: an iframe without the empty sandbox, or any other kind with
// its address.
const char* const UnheldFrames =
    "Array.from(document.querySelectorAll('iframe,frame,object,embed')).filter(function (f) {"
    " return f.tagName === 'IFRAME' ? f.getAttribute('sandbox') !== '' : f.hasAttribute('src') ||"
    " f.hasAttribute('data'); }).length";

} // namespace

// The editing page: what it keeps of a post, what it reports to the window, what it refuses to do.
class TestEditorPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testUntouchedContentComesBackExactlyAsLoaded();
    void testEditedContentKeepsTablesIframesCommentsStylesAndUnknownElements();
    void testEveryEditReachesTheWindowWithoutAskingThePage();
    void testOlderPageNewsDoesNotOverwriteNewPost();
    void testEmptiedTextCountsAsNoContent();
    void testContentWithQuotesAndLineBreaksReachesPageThroughPercentEncoding();
    void testMultiMegabyteContentLoadsAndSaves();
    void testSecondIdenticalLoadKeepsEdits();
    void testInlineHandlersAndScriptsInContentDoNotRun();
    void testMainFrameNavigationAfterLoadIsCancelled();
    void testDropOutsideTextOrOfFilesIsSwallowed();
    void testToolbarMarkersReachTheirClosures();
    void testMarkersActOnlyFromTheToolbar();
    void testRemotePicturesAndEmbedsLoadButReachNeitherFilesNorBridge();
    void testPostReadBackDifferentlyRunsNoFrameThroughUndoAndRedo();
    void testFramePutInByAnyScriptOfThePageRunsNothing();
    void testAddLocalImageArgumentWithQuotesAndBackslashesStaysData();
    void testPickedImageIsCopiedUnderSafeNameAndInserted();
    void testTwoPicksMakeTwoCopies();
    void testCancelledPickerChangesNothing();
    void testPickerWithoutDocumentsFolderStartsInPicturesOrHome();
    void testImageCopyFailureTellsAndInsertsNothing();
    void testPastedHtmlIsCleaned();

private:
    std::unique_ptr<EditorTestDriver> m_driver;
    QString m_dataFolder;
    QTemporaryDir m_files;
};

void TestEditorPage::initTestCase()
{
    m_dataFolder = TestSupport::useFreshDataFolder();
    m_driver = std::make_unique<EditorTestDriver>();
}

void TestEditorPage::init()
{
    m_driver->alerts.clear();
    m_driver->answers.clear();
}

void TestEditorPage::cleanup()
{
    m_driver->editor.close();
}

void TestEditorPage::testUntouchedContentComesBackExactlyAsLoaded()
{
    // Not as the page would write it: attribute quotes, entities, self-closing tags and case as given.
    const QString raw =
        QStringLiteral("<P CLASS='x'>a&nbsp;b&eacute;<br/>c</P>\r\n<img src=\"https://h/i.png\"/>"
                       "<!--c--><unknown-tag x=1>u</unknown-tag>\u200B");
    QVERIFY(m_driver->open(storedPost(raw)));
    QCOMPARE(m_driver->pageContent(), raw);
    QCOMPARE(m_driver->editor.postFromEditor()->content, raw);
    // Reopened with the same text: still exactly it.
    QVERIFY(m_driver->open(storedPost(raw)));
    QCOMPARE(m_driver->pageContent(), raw);
}

void TestEditorPage::testEditedContentKeepsTablesIframesCommentsStylesAndUnknownElements()
{
    QVERIFY(m_driver->open(storedPost(TrickyContent)));
    m_driver->typeAtEnd(QStringLiteral(" more"));
    const QString content = m_driver->pageContent();
    QVERIFY2(content.startsWith(
                 TrickyContent.left(TrickyContent.size() - QStringLiteral("big</span></div>").size())),
             qPrintable(content));
    QVERIFY(content.contains(QStringLiteral("big more</span></div>")) ||
            content.contains(QStringLiteral("big</span> more</div>")));
    for (const QString& kept :
         {QStringLiteral("<!-- a comment kept -->"), QStringLiteral("<iframe src=\"about:blank\""),
          QStringLiteral("<td data-x=\"1\">b</td>"), QStringLiteral("<my-widget data-id=\"7\">"),
          QStringLiteral("style=\"color: rgb(200, 10, 10); margin-left: 2em;\""),
          QStringLiteral("\U0001F600")}) {
        QVERIFY2(content.contains(kept), qPrintable(kept));
    }
}

void TestEditorPage::testEveryEditReachesTheWindowWithoutAskingThePage()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>start</p>"))));
    m_driver->typeAtEnd(QStringLiteral("A"));
    QVERIFY(m_driver->waitForWindowContent(
        [](const QString& c) { return c == QStringLiteral("<p>startA</p>"); }));
    m_driver->typeAtEnd(QStringLiteral("B"));
    QVERIFY(m_driver->waitForWindowContent(
        [](const QString& c) { return c == QStringLiteral("<p>startAB</p>"); }));
}

void TestEditorPage::testOlderPageNewsDoesNotOverwriteNewPost()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>first</p>"))));
    m_driver->typeAtEnd(QStringLiteral(" edited"));
    // The next post is handed over at once, before the page's report of the edit can arrive.
    BloggerPost second = storedPost(QStringLiteral("<p>second</p>"));
    second.postId = QStringLiteral("post-2");
    QSignalSpy shown(&m_driver->editor, &PostEditorWindowController::editorContentShown);
    m_driver->editor.editPost(second);
    // The page sends its news in order: the report of the edit comes before the news of the new text.
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(m_driver->editor.postFromEditor()->content, QStringLiteral("<p>second</p>"));
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>second</p>"));
}

void TestEditorPage::testEmptiedTextCountsAsNoContent()
{
    QVERIFY(m_driver->open(std::nullopt));
    QCOMPARE(m_driver->pageContent(), QString());
    m_driver->typeAtEnd(QStringLiteral("x"));
    QVERIFY(m_driver->waitForWindowContent([](const QString& c) { return c.contains(QLatin1Char('x')); }));
    m_driver->evaluate(QStringLiteral("document.execCommand('selectAll');document.execCommand('delete');"));
    QVERIFY(m_driver->waitForWindowContent([](const QString& c) { return c.isEmpty(); }));
    QCOMPARE(m_driver->pageContent(), QString());
}

void TestEditorPage::testContentWithQuotesAndLineBreaksReachesPageThroughPercentEncoding()
{
    const QString content = QStringLiteral("<p>\"q\" \\ % %41 \n\r\t\u00e9 \U0001F600 </script></p>");
    const QString script = PostEditorWindowController::setEditorContentScript(content);
    QVERIFY(script.startsWith(QStringLiteral("setEditorContent(unescape(\"")));
    QVERIFY(script.endsWith(QStringLiteral("\"));")));
    const QString inner = script.mid(27, script.size() - 27 - 4);
    QVERIFY(!inner.contains(QLatin1Char('"')) && !inner.contains(QLatin1Char('\n')) &&
            !inner.contains(QLatin1Char('\\')) && !inner.contains(QLatin1Char('<')));
    QVERIFY(inner.contains(QStringLiteral("%C3%A9")));
    QVERIFY(m_driver->open(storedPost(content)));
    QCOMPARE(m_driver->pageContent(), content);
}

void TestEditorPage::testMultiMegabyteContentLoadsAndSaves()
{
    QString content;
    const QString paragraph = QStringLiteral("<p>Paragraph %1 with caf\u00e9 and \U0001F600 and <b>bold</b> "
                                             "and a <a href=\"https://e/\">link</a>.</p>");
    for (int i = 0; content.size() < 3 * 1024 * 1024; ++i) {
        content += paragraph.arg(i);
    }
    QVERIFY(m_driver->open(storedPost(content)));
    QCOMPARE(m_driver->pageContent().size(), content.size());
    QVERIFY(m_driver->pageContent() == content);
    m_driver->typeAtEnd(QStringLiteral("Z"));
    QVERIFY(m_driver->waitForWindowContent([&](const QString& c) { return c.size() == content.size() + 1; }));
    QVERIFY(m_driver->editor.postFromEditor()->content.endsWith(QStringLiteral("link</a>.Z</p>")));
}

void TestEditorPage::testSecondIdenticalLoadKeepsEdits()
{
    // Handing the same text again after an edit puts the text back: the page must not keep the edit.
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>same</p>"))));
    m_driver->typeAtEnd(QStringLiteral("X"));
    QVERIFY(
        m_driver->waitForWindowContent([](const QString& c) { return c == QStringLiteral("<p>sameX</p>"); }));
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>same</p>"))));
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>same</p>"));
}

void TestEditorPage::testInlineHandlersAndScriptsInContentDoNotRun()
{
    const QString hostile = QStringLiteral(
        "<img src=\"data:,x\" onerror=\"document.title='handler ran'\">"
        "<script>document.title='script ran'</script>"
        "<a href=\"javascript:document.title='link ran'\" id=\"bad\">x</a>"
        "<iframe srcdoc=\"<script>parent.document.title='frame ran'</script>\"></iframe>"
        "<svg><animate onbegin=\"document.title='svg ran'\" attributeName=\"x\" dur=\"1s\"></animate></svg>");
    QVERIFY(m_driver->open(storedPost(hostile)));
    // A picture that fails and a script the page refuses, both after the content's own: once their error
    // events ran, any handler of the content had its turn.
    m_driver->evaluate(QStringLiteral(
        "var probe=new Image();probe.onerror=function(){document.body.dataset.probe='failed';};"
        "probe.src='data:,x';"
        "var s=document.createElement('script');s.src='https://example.invalid/x.js';"
        "s.onerror=function(){document.body.dataset.script='refused';};"
        "document.head.appendChild(s);"));
    QTRY_COMPARE(
        m_driver->evaluate(QStringLiteral("document.body.dataset.probe + ' ' + document.body.dataset.script"))
            .toString(),
        QStringLiteral("failed refused"));
    QCOMPARE(m_driver->evaluate(QStringLiteral("document.title")).toString(),
             QStringLiteral("Penhollow editor"));
    const QString policy =
        m_driver
            ->evaluate(
                QStringLiteral("document.querySelector('meta[http-equiv=Content-Security-Policy]').content"))
            .toString();
    QVERIFY(policy.contains(QStringLiteral("script-src file: qrc:;")));
    QVERIFY(!policy.contains(QStringLiteral("unsafe-inline';")) ||
            !policy.contains(QStringLiteral("script-src file: qrc: 'unsafe")));
    // The post is still the post.
    QCOMPARE(m_driver->pageContent(), hostile);
}

void TestEditorPage::testMainFrameNavigationAfterLoadIsCancelled()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>stay</p>"))));
    const QUrl page = m_driver->editor.webViewOutlet()->url();
    int previews = 0;
    m_driver->editor.onPostPreviewRequest = [&] { ++previews; };
    m_driver->evaluate(QStringLiteral("location.href='file:///etc/hostname'"));
    m_driver->evaluate(QStringLiteral("location.reload()"));
    // The window answers the page's navigations in order: once this marker's is answered, so were those.
    // Only the toolbar's keyed form of a marker acts.
    const EditorPageBridge* bridge = m_driver->editor.findChild<EditorPageBridge*>();
    QVERIFY(bridge);
    m_driver->evaluate(
        QStringLiteral("location.href='/penhollow-editor/%1/previewcontent:'").arg(bridge->requestKey()));
    QTRY_COMPARE(previews, 1);
    m_driver->editor.onPostPreviewRequest = {};
    QCOMPARE(m_driver->editor.webViewOutlet()->url(), page);
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>stay</p>"));
}

void TestEditorPage::testDropOutsideTextOrOfFilesIsSwallowed()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>drop here</p>"))));
    const QString dropOn =
        QStringLiteral("(function(id, withFile){const t=new DataTransfer();"
                       "if(withFile){t.items.add(new "
                       "File(['x'],'a.png',{type:'image/png'}));}else{t.setData('text/plain','t');}"
                       "const e=new DragEvent('drop',{dataTransfer:t,bubbles:true,cancelable:true});"
                       "document.getElementById(id).dispatchEvent(e);return e.defaultPrevented;})");
    QCOMPARE(m_driver->evaluate(dropOn + QStringLiteral("('toolbar', true)")).toBool(), true);
    QCOMPARE(m_driver->evaluate(dropOn + QStringLiteral("('toolbar', false)")).toBool(), true);
    QCOMPARE(m_driver->evaluate(dropOn + QStringLiteral("('editor', true)")).toBool(), true);
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>drop here</p>"));
}

void TestEditorPage::testToolbarMarkersReachTheirClosures()
{
    int previews = 0;
    int livePreviews = 0;
    m_driver->editor.onPostPreviewRequest = [&] { ++previews; };
    m_driver->editor.onLivePostPreviewRequest = [&] { ++livePreviews; };
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral("document.getElementById('preview').click()"));
    QTRY_COMPARE(previews, 1);
    m_driver->evaluate(QStringLiteral("document.getElementById('livePreview').click()"));
    QTRY_COMPARE(livePreviews, 1);
    m_driver->evaluate(QStringLiteral("document.getElementById('preview').click()"));
    QTRY_COMPARE(previews, 2);
    QCOMPARE(livePreviews, 1);
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* picker = EditorTestDriver::imagePicker();
    QVERIFY(picker);
    QCOMPARE(picker->windowTitle(), QStringLiteral("Select image"));
    QCOMPARE(picker->fileMode(), QFileDialog::ExistingFile);
    QVERIFY(picker->nameFilters().join(' ').contains(QStringLiteral("*.tif")));
    picker->reject();
    m_driver->editor.onPostPreviewRequest = {};
    m_driver->editor.onLivePostPreviewRequest = {};
    // Unset closures: the request is still cancelled and nothing else happens; the page still works after.
    m_driver->evaluate(QStringLiteral("document.getElementById('preview').click()"));
    m_driver->evaluate(QStringLiteral("document.getElementById('livePreview').click()"));
    // Markers are acted on in order: the picker of a later one shows after those two were handled.
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    picker = EditorTestDriver::imagePicker();
    QVERIFY(picker);
    picker->reject();
    QCOMPARE(previews, 2);
    QCOMPARE(livePreviews, 1);
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>x</p>"));
}

void TestEditorPage::testMarkersActOnlyFromTheToolbar()
{
    int previews = 0;
    int livePreviews = 0;
    m_driver->editor.onPostPreviewRequest = [&] { ++previews; };
    m_driver->editor.onLivePostPreviewRequest = [&] { ++livePreviews; };
    // A downloaded post whose pictures and frames hold the markers, as the toolbar's own requests did.
    const QString hostile =
        QStringLiteral("<p>x</p><img src=\"/penhollow-editor/livepreviewcontent:?n=1\">") +
        HostileContent::fileFramesAndMarkers({m_dataFolder + QStringLiteral("/Preferences.json")});
    QVERIFY(m_driver->open(storedPost(hostile)));
    // A script in the page (were one to run) that writes the toolbar's form of request without its key.
    m_driver->evaluate(QStringLiteral(
        "window.failed = 0; ['/penhollow-editor/addlocalimage:?n=9', '/penhollow-editor/x/previewcontent:',"
        " '/penhollow-editor//livepreviewcontent:'].forEach(function (a) { var i = new Image();"
        " i.onerror = function () { window.failed += 1; }; i.src = a; }); true"));
    QTRY_COMPARE(m_driver->evaluate(QStringLiteral("window.failed")).toInt(), 3);
    // The toolbar's request comes after all of those: once it has acted, they would have too.
    m_driver->evaluate(QStringLiteral("document.getElementById('preview').click()"));
    QTRY_COMPARE(previews, 1);
    QCOMPARE(livePreviews, 0);
    QCOMPARE(EditorTestDriver::visibleImagePickers(), 0);
    QCOMPARE(m_driver->pageContent(), hostile);
    m_driver->editor.onPostPreviewRequest = {};
    m_driver->editor.onLivePostPreviewRequest = {};
}

void TestEditorPage::testRemotePicturesAndEmbedsLoadButReachNeitherFilesNorBridge()
{
    LocalHttpServer web;
    QVERIFY(web.start());
    web.route("/pic.png", HostileContent::pngBytes(), "image/png");
    // An embed shows but runs no script in the editor, where one that never ended would hold the page:
    // its noscript picture loads only while scripts are off.
    web.route("/embed.html", "<html><body>embed<noscript><img src=\"/embed-report?seen=noscript\"></noscript>"
                             "<script>new Image().src = '/embed-report?seen=script';</script></body></html>");
    const QString picturePath = m_files.path() + QStringLiteral("/outside.png");
    QVERIFY(HostileContent::writeFile(picturePath, HostileContent::pngBytes()));
    QVERIFY(m_driver->open(storedPost(
        QStringLiteral("<p>Photos</p><img id=\"web\" src=\"%1\"><iframe id=\"embed\" src=\"%2\"></iframe>"
                       "<img id=\"outside\" src=\"file://%3\">")
            .arg(web.url("/pic.png").toString(), web.url("/embed.html").toString(), picturePath))));
    QTRY_COMPARE_WITH_TIMEOUT(
        m_driver->evaluate(QStringLiteral("document.getElementById('web').naturalWidth")).toInt(), 1,
        EditorTestDriver::Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(!web.requestsFor("/embed-report").isEmpty(), EditorTestDriver::Timeout);
    QCOMPARE(web.requestsFor("/embed-report").first().target, QByteArray("/embed-report?seen=noscript"));
    // Of local files the page reaches its own and the pictures the user added, nothing else.
    QTRY_VERIFY(m_driver->evaluate(QStringLiteral("document.getElementById('outside').complete")).toBool());
    QCOMPARE(m_driver->evaluate(QStringLiteral("document.getElementById('outside').naturalWidth")).toInt(),
             0);
}

void TestEditorPage::testPostReadBackDifferentlyRunsNoFrameThroughUndoAndRedo()
{
    LocalHttpServer web;
    QVERIFY(web.start());
    routeEmbed(web);
    const QString evil = web.url("/evil.html").toString();
    // Each parses one way where scripts are off, or on the first reading, and makes a frame when the
    // document is read back, as undo and redo do.
    const QStringList posts{
        QStringLiteral("<p>Hi</p><noscript><p title=\"</noscript><iframe src=%1></iframe>\"></p></noscript>")
            .arg(evil),
        QStringLiteral(
            "<p>Hi</p><form><math><mtext></form><form><mglyph><style></math><iframe src=%1></iframe>")
            .arg(evil)};
    QWidget* keys = m_driver->editor.webViewOutlet()->focusProxy();
    QVERIFY(keys);
    qsizetype loads = 0;
    // Every load of the frame asks for its picture or reports its script: what the test waits for.
    const auto loaded = [&] {
        ++loads;
        return QTest::qWaitFor(
            [&] { return web.requestsFor("/held.png").size() + web.requestsFor("/beacon").size() >= loads; },
            EditorTestDriver::Timeout);
    };
    for (const QString& post : posts) {
        QVERIFY(m_driver->open(storedPost(post)));
        QVERIFY(loaded());
        QCOMPARE(m_driver->pageContent(), post);
        // Clicked at the end of its first line, as a user starts typing.
        const QVariantList end =
            m_driver
                ->evaluate(QStringLiteral(
                    "(function(){const g=document.createRange();"
                    "g.selectNodeContents(document.querySelector('#editor p'));"
                    "const b=g.getBoundingClientRect();return [b.right-1,b.top+b.height/2];})()"))
                .toList();
        QCOMPARE(end.size(), 2);
        QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(end[0].toInt(), end[1].toInt()));
        QTest::keyClick(keys, Qt::Key_Q);
        QVERIFY(m_driver->waitForWindowContent([](const QString& c) { return c.contains("Hiq"); }));
        QTest::keyClick(keys, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(loaded());
        QTest::keyClick(keys, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(loaded());
        QVERIFY(m_driver->waitForWindowContent([](const QString& c) { return c.contains("Hiq"); }));
        QCOMPARE(m_driver->evaluate(UnheldFrames).toInt(), 0);
        QVERIFY2(web.requestsFor("/beacon").isEmpty(), qPrintable(post));
        // What is saved has the post's frame as written: nothing of the hold leaks into it.
        const QString saved = m_driver->editor.postFromEditor()->content;
        QVERIFY2(saved.contains(QStringLiteral("<iframe src=\"%1\"></iframe>").arg(evil)), qPrintable(saved));
    }
}

void TestEditorPage::testFramePutInByAnyScriptOfThePageRunsNothing()
{
    LocalHttpServer web;
    QVERIFY(web.start());
    routeEmbed(web);
    const QString post = QStringLiteral("<p>Text</p><iframe id=\"own\" src=\"%1\"></iframe>")
                             .arg(web.url("/evil.html").toString());
    QVERIFY(m_driver->open(storedPost(post)));
    QTRY_COMPARE_WITH_TIMEOUT(web.requestsFor("/held.png").size(), 1, EditorTestDriver::Timeout);
    // The ways a script of the page (the editing library's, or ours) can put a frame in or free one.
    m_driver->evaluate(
        QStringLiteral(
            "(function(src){const r=document.getElementById('editor');"
            "r.insertAdjacentHTML('beforeend','<iframe src='+src+'></iframe>');"
            "const f=document.createElement('iframe');f.src=src;r.appendChild(f);"
            "const d=document.createElement('div');d.innerHTML='<iframe src='+src+'></iframe>"
            "<object data='+src+'></object><embed src='+src+'>';document.body.appendChild(d);"
            "const h=document.createElement('frame');h.src=src;document.body.appendChild(h);"
            "const own=document.getElementById('own');own.removeAttribute('sandbox');own.src=src+'?again';"
            "})(%1)")
            .arg(EditorTestDriver::jsString(web.url("/evil.html").toString())));
    // Four iframes load again, each showing its picture or reporting its script.
    QTRY_VERIFY_WITH_TIMEOUT(web.requestsFor("/held.png").size() + web.requestsFor("/beacon").size() >= 5,
                             EditorTestDriver::Timeout);
    QVERIFY(web.requestsFor("/beacon").isEmpty());
    QCOMPARE(m_driver->evaluate(UnheldFrames).toInt(), 0);
    // The post's own frame still reads back as written.
    QVERIFY(m_driver->pageContent().startsWith(
        QStringLiteral("<p>Text</p><iframe id=\"own\" src=\"%1?again\"></iframe>")
            .arg(web.url("/evil.html").toString())));
}

void TestEditorPage::testAddLocalImageArgumentWithQuotesAndBackslashesStaysData()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    const QString address = QStringLiteral("file:///tmp/it's a \"q\" \\ back');document.title='ran';('");
    const QString script = PostEditorWindowController::addLocalImageScript(address);
    QVERIFY(script.startsWith(QStringLiteral("addLocalImage(\"")));
    m_driver->evaluate(script);
    QCOMPARE(m_driver->evaluate(QStringLiteral("document.title")).toString(),
             QStringLiteral("Penhollow editor"));
    QCOMPARE(m_driver->evaluate(QStringLiteral("document.querySelector('#editor img').getAttribute('src')"))
                 .toString(),
             address);
}

void TestEditorPage::testPickedImageIsCopiedUnderSafeNameAndInserted()
{
    const QString source = m_files.path() + QStringLiteral("/my photo's (1) \u00e9.jpg");
    QVERIFY(QImage(4, 3, QImage::Format_RGB32).save(source, "PNG"));
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* picker = EditorTestDriver::imagePicker();
    QVERIFY(picker);
    EditorTestDriver::choose(picker, source);
    QVERIFY(
        m_driver->waitForWindowContent([](const QString& c) { return c.contains(QStringLiteral("<img")); }));

    const QString folder = m_dataFolder + QStringLiteral("/Applications");
    QCOMPARE(ApplicationFolders::applicationsFolder(), folder);
    const QStringList copies = QDir(folder).entryList(QDir::Files);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(copies.first().size(), 36 + QStringLiteral("my_photo_s__1___.jpg").size());
    QVERIFY(copies.first().endsWith(QStringLiteral("my_photo_s__1___.jpg")));
    const QString path = folder + QLatin1Char('/') + copies.first();
    QFile copied(path);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QFile original(source);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), original.readAll());

    const QString content = m_driver->editor.postFromEditor()->content;
    QVERIFY2(content.contains(QStringLiteral("src=\"file://") + path + QLatin1Char('"')),
             qPrintable(content));
    QCOMPARE(PostEditorWindowController::localImages(content), QStringList{QStringLiteral("file://") + path});
    QDir(folder).removeRecursively();
}

void TestEditorPage::testTwoPicksMakeTwoCopies()
{
    const QString source = m_files.path() + QStringLiteral("/photo.png");
    QImage(2, 2, QImage::Format_RGB32).save(source, "PNG");
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* first = EditorTestDriver::imagePicker();
    QVERIFY(first);
    first->setObjectName(QStringLiteral("firstPicker"));
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* second = EditorTestDriver::imagePicker();
    QVERIFY(second && second != first);
    EditorTestDriver::choose(first, source);
    EditorTestDriver::choose(second, source);
    QVERIFY(m_driver->waitForWindowContent(
        [](const QString& c) { return c.count(QStringLiteral("<img")) == 2; }));
    const QString folder = ApplicationFolders::applicationsFolder();
    const QStringList copies = QDir(folder).entryList(QDir::Files);
    QCOMPARE(copies.size(), 2);
    QVERIFY(copies[0] != copies[1]);
    QVERIFY(copies[0].endsWith(QStringLiteral("photo.png")) &&
            copies[1].endsWith(QStringLiteral("photo.png")));
    QDir(folder).removeRecursively();
}

void TestEditorPage::testCancelledPickerChangesNothing()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* picker = EditorTestDriver::imagePicker();
    QVERIFY(picker);
    // Cancelling is over when reject() returns: no file is handed on, so nothing is copied or inserted.
    QSignalSpy selected(picker, &QFileDialog::fileSelected);
    picker->reject();
    QCOMPARE(selected.size(), 0);
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>x</p>"));
    QVERIFY(!QFileInfo::exists(ApplicationFolders::applicationsFolder()));
}

void TestEditorPage::testPickerWithoutDocumentsFolderStartsInPicturesOrHome()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        if (!oldConfig.isEmpty()) {
            qputenv("XDG_CONFIG_HOME", oldConfig);
        }
    });
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    const auto startsIn = [&](const QString& folder) {
        m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
        QFileDialog* picker = EditorTestDriver::imagePicker();
        QVERIFY(picker);
        const QString typed = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        const QString shown = picker->directory().absolutePath();
        picker->reject();
        QTRY_COMPARE(EditorTestDriver::visibleImagePickers(), 0);
        QCOMPARE(typed, QString());
        QCOMPARE(shown, QDir(folder).absolutePath());
    };
    startsIn(home.path());
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Pictures")));
    startsIn(home.path() + QStringLiteral("/Pictures"));
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    startsIn(home.path() + QStringLiteral("/Documents"));
}

void TestEditorPage::testImageCopyFailureTellsAndInsertsNothing()
{
    const QString source = m_files.path() + QStringLiteral("/photo.gif");
    QImage(2, 2, QImage::Format_RGB32).save(source, "PNG");
    // A file where the folder should be: the folder cannot be made.
    QFile blocker(ApplicationFolders::applicationsFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral("document.getElementById('image').click()"));
    QFileDialog* picker = EditorTestDriver::imagePicker();
    QVERIFY(picker);
    EditorTestDriver::choose(picker, source);
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{QStringLiteral("Cannot add the image")});
    QVERIFY(m_driver->alerts.first().message.contains(ApplicationFolders::applicationsFolder()));
    QCOMPARE(m_driver->alerts.first().style, AlertStyle::Critical);
    // The alert comes from the step that would have inserted the picture: nothing follows it.
    QCOMPARE(m_driver->pageContent(), QStringLiteral("<p>x</p>"));
    QFile::remove(ApplicationFolders::applicationsFolder());
}

void TestEditorPage::testPastedHtmlIsCleaned()
{
    QVERIFY(m_driver->open(storedPost(QStringLiteral("<p>x</p>"))));
    m_driver->evaluate(QStringLiteral(
        "(function(){const r=document.getElementById('editor');r.focus();const s=getSelection();"
        "s.selectAllChildren(r);s.collapseToEnd();const t=new DataTransfer();"
        "t.setData('text/html','<b onclick=\"alert(1)\">pasted</b><script>document.title=1</script>"
        "<img src=x onerror=alert(1)>');"
        "r.dispatchEvent(new ClipboardEvent('paste',{clipboardData:t,bubbles:true,cancelable:true}));})()"));
    QVERIFY(m_driver->waitForWindowContent(
        [](const QString& c) { return c.contains(QStringLiteral("pasted")); }));
    const QString content = m_driver->pageContent();
    QVERIFY2(!content.contains(QStringLiteral("onclick")) && !content.contains(QStringLiteral("<script")) &&
                 !content.contains(QStringLiteral("onerror")),
             qPrintable(content));
}

PENHOLLOW_WEB_TEST_MAIN(TestEditorPage)
#include "TestEditorPage.moc"

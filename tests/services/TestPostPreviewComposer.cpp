#include "services/PostPreviewComposer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

BloggerPost postWith(const QString& title, const QString& content)
{
    BloggerPost post;
    post.title = title;
    post.content = content;
    return post;
}

// The shape of a blog's page for an address that holds no post: the template around a notice.
const QString MissingPage = QStringLiteral(
    "<!DOCTYPE html>\n<html><head><title>Tide Tables</title><style>.post-title{color:red}</style></head>\n"
    "<body><div class='header'><h1>Tide Tables</h1></div>\n<div class='main' id='main'>\n"
    "<div class='status-msg-wrap'><div class='status-msg-body'>Sorry, the page you were looking for in this "
    "blog does not exist.</div><div class='status-msg-border'><div class='status-msg-bg'></div></div></div>\n"
    "</div>\n<div class='footer'>Powered by Blogger.</div></body></html>");

// A red pixel.
QByteArray pngBytes()
{
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QString();
    }
    file.write(bytes);
    return path;
}

} // namespace

// The preview pages: the post in its blog's template, the post alone, and its local images inlined.
class TestPostPreviewComposer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testTitles()
    {
        QCOMPARE(PostPreviewComposer::previewTitle("Low tide"), QString::fromUtf8("Preview \u00B7 Low tide"));
        QCOMPARE(PostPreviewComposer::livePreviewTitle(""), QString::fromUtf8("Live Preview \u00B7 "));
    }

    void testTemplateAddressWithOrWithoutTrailingSlash()
    {
        QCOMPARE(PostPreviewComposer::templateAddress("http://127.0.0.1:5000/tidetables/"),
                 QStringLiteral("http://127.0.0.1:5000/tidetables/temp/post/title.html"));
        QCOMPARE(PostPreviewComposer::templateAddress("https://x.blogspot.com"),
                 QStringLiteral("https://x.blogspot.com/temp/post/title.html"));
    }

    void testPostReplacesTheNoticeOfTheTemplate()
    {
        const QString page = PostPreviewComposer().livePreviewHtml(
            MissingPage, postWith("Low tide & <beyond>", "<p>The sand was <b>gold</b>.</p>"));
        QVERIFY(!page.contains("Sorry, the page"));
        QVERIFY(!page.contains("status-msg"));
        QVERIFY(page.contains("<h3 class='post-title entry-title'>Low tide &amp; &lt;beyond&gt;</h3>"));
        QVERIFY(page.contains("<p>The sand was <b>gold</b>.</p>"));
        // Where the notice was: inside the main column, before the footer, with the template kept.
        const qsizetype main = page.indexOf("id='main'");
        const qsizetype post = page.indexOf("post hentry");
        QVERIFY(main >= 0 && main < post && post < page.indexOf("class='footer'"));
        QVERIFY(page.contains("<style>.post-title{color:red}</style>"));
        QVERIFY(page.contains("<title>Low tide &amp; &lt;beyond&gt;</title>"));
        // The notice's four elements went, the post's three came.
        QCOMPARE(page.count("</div>"), MissingPage.count("</div>") - 4 + 3);
    }

    void testNoticeInCapitalsAndDoubleQuotesIsFound()
    {
        const QString tpl =
            QStringLiteral("<html><body><DIV class=\"main\"><DIV class=\"widget status-msg-wrap\">"
                           "<DIV>Missing</DIV></DIV></DIV></body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "C"));
        QVERIFY(!page.contains("Missing"));
        QVERIFY(page.startsWith("<html><body><DIV class=\"main\"><div class='post hentry'>"));
        QVERIFY(page.endsWith("</div>\n</DIV></body></html>"));
    }

    void testWithoutNoticeThePostGoesFirstIntoTheBlogPosts()
    {
        const QString tpl = QStringLiteral(
            "<html><body><div class='blog-posts hfeed'><div class='old'>Old</div></div></body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.indexOf("New") < page.indexOf("Old"));
        QVERIFY(page.indexOf("blog-posts") < page.indexOf("New"));
    }

    void testWithoutBlogPartsThePostOpensTheBody()
    {
        const QString tpl = QStringLiteral("<html><head></head><BODY class='x'><p>Rest</p></BODY></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.startsWith("<html><head></head><BODY class='x'><div class='post hentry'>"));
        QVERIFY(page.indexOf("New") < page.indexOf("Rest"));
    }

    void testTemplateThatIsNoPageGivesThePostAlone()
    {
        const QString page =
            PostPreviewComposer().livePreviewHtml("Service unavailable", postWith("T", "New"));
        QCOMPARE(page, PostPreviewComposer().plainPreviewHtml(postWith("T", "New")));
    }

    void testUnclosedNoticeDoesNotSwallowThePage()
    {
        const QString tpl = QStringLiteral("<html><body><div class='status-msg-wrap'><p>Rest</body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.contains("Rest"));
        QVERIFY(page.contains("New"));
    }

    void testPlainPreviewHasEscapedTitleAndContentAsIs()
    {
        const QString page =
            PostPreviewComposer().plainPreviewHtml(postWith("<b>Bold</b> title", "<em>x</em>"));
        QVERIFY(page.contains("<title>&lt;b&gt;Bold&lt;/b&gt; title</title>"));
        QVERIFY(page.contains("<h1 class='post-title entry-title'>&lt;b&gt;Bold&lt;/b&gt; title</h1>"));
        QVERIFY(page.contains("<em>x</em>"));
    }

    void testLocalImagesBecomeDataAddresses()
    {
        QTemporaryDir dir;
        const QByteArray png = pngBytes();
        const QString plain = writeFile(dir.filePath("photo.png"), png);
        QDir().mkpath(dir.filePath("My Pictures"));
        const QString spaced = writeFile(dir.filePath("My Pictures/rock #1.png"), png);
        const QString text = writeFile(dir.filePath("notes.png"), "not a picture at all");
        const QString html = QStringLiteral("<p>a</p><img src=\"file://") + plain +
                             QStringLiteral("\" alt=\"x\"><IMG SRC='file://") + spaced +
                             QStringLiteral("'><img src=\"") +
                             QUrl::fromLocalFile(plain).toString(QUrl::FullyEncoded) +
                             QStringLiteral("\"><img src=\"file://") + text +
                             QStringLiteral("\"><img src=\"file:///no/such/file.png\">"
                                            "<img src=\"https://example.com/a.png\">");
        const QString out = PostPreviewComposer().inlineLocalImages(html);
        const QString data = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
        QCOMPARE(out.count(data), 3);
        QVERIFY(out.startsWith("<p>a</p><img src=\"" + data + "\" alt=\"x\"><IMG SRC='" + data + "'>"));
        QVERIFY(out.contains("file://" + text));
        QVERIFY(out.contains("file:///no/such/file.png"));
        QVERIFY(out.contains("https://example.com/a.png"));
    }

    void testLocalDrawingIsInlinedAsSvg()
    {
        QTemporaryDir dir;
        const QByteArray svg =
            "<?xml version='1.0'?><svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>";
        const QString path = writeFile(dir.filePath("drawing.svg"), svg);
        const QString out = PostPreviewComposer().inlineLocalImages("<img src='file://" + path + "'>");
        QCOMPARE(out, "<img src='data:image/svg+xml;base64," + QString::fromLatin1(svg.toBase64()) + "'>");
    }

    void testTextWithoutLocalImagesIsUnchanged()
    {
        const QString html = QStringLiteral("<p>file://not/in/an/image</p><a href=\"file:///x.png\">x</a>");
        QCOMPARE(PostPreviewComposer().inlineLocalImages(html), html);
    }
};

QTEST_GUILESS_MAIN(TestPostPreviewComposer)
#include "TestPostPreviewComposer.moc"

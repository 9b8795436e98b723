#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "google/AlbumXMLParser.h"
#include "google/BloggerXMLParser.h"
#include "google/CommentXMLParser.h"
#include "google/PhotoXMLParser.h"
#include "google/PostXMLParser.h"
#include "google/PostsListXMLParser.h"
#include "google/XmlStructureLimits.h"

#include <QtTest>

namespace {

QString fixture(const char* name)
{
    return QString::fromUtf8(TestSupport::readFixture(QString::fromLatin1(name)));
}

QDateTime date(const char* text)
{
    return GoogleDateService().parseDate(QString::fromLatin1(text)).value();
}

const QString atomEntryStart = QStringLiteral("<entry xmlns='http://www.w3.org/2005/Atom' "
                                              "xmlns:thr='http://purl.org/syndication/thread/1.0'>");

// levels elements nested one in another, each with its depth as text before and after its child.
QString nested(int levels)
{
    QString xml;
    for (int i = 0; i < levels; ++i) {
        xml += QStringLiteral("<b>%1").arg(i);
    }
    for (int i = levels - 1; i >= 0; --i) {
        xml += QStringLiteral("%1</b>").arg(i);
    }
    return xml;
}

QString nestedText(int levels)
{
    QString text;
    for (int i = 0; i < levels; ++i) {
        text += QString::number(i);
    }
    for (int i = levels - 1; i >= 0; --i) {
        text += QString::number(i);
    }
    return text;
}

// An entry whose category carries count attributes, all distinct.
QString entryWithAttributes(int count)
{
    QString attributes;
    for (int i = 2; i < count; ++i) {
        attributes += QStringLiteral(" a%1='x'").arg(i);
    }
    return atomEntryStart + "<id>x.post-1</id><category scheme='http://www.blogger.com/atom/ns#' term='t'" +
           attributes + "/></entry>";
}

// The same post entry, read by the entry readers: a post, a feed page, a comment.
enum class Reader
{
    Post,
    PostsList,
    Comment
};

BloggerSuccessResponse readEntry(Reader reader, const QString& entry)
{
    switch (reader) {
    case Reader::Post:
        return PostXMLParser(entry).parse().first;
    case Reader::PostsList:
        return PostsListXMLParser("<feed xmlns='http://www.w3.org/2005/Atom'>" + entry + "</feed>")
            .parse()
            .first;
    case Reader::Comment:
        return CommentXMLParser(entry).parse().first;
    }
    return BloggerSuccessResponse(false, QString());
}

} // namespace

Q_DECLARE_METATYPE(Reader)

class TestAtomReaders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testFeedPageReadsEveryEntryInOrder()
    {
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-page.xml")).parse();
        QVERIFY(response.success);
        QCOMPARE(response.details, QString(""));
        QCOMPARE(posts.size(), 3);
        QCOMPARE(posts[0].postId, QString("8816602137345629201"));
        QCOMPARE(posts[1].postId, QString("2203948576610293847"));
        QCOMPARE(posts[2].postId, QString("5550193847261738490"));
    }

    void testPublishedPostFieldsAreUnescaped()
    {
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-page.xml")).parse();
        const BloggerPost& post = posts.at(0);
        QCOMPARE(post.title, QString("Low tide at Porthcurno & beyond"));
        QVERIFY(post.content.startsWith("<p>The sand&nbsp;was <b>gold</b> &amp; the water cold.</p>"));
        QCOMPARE(post.labels, QStringList({"travel", "Q&A"}));
        QCOMPARE(post.commentsCount, 3);
        QCOMPARE(post.url, QString("http://tidetables.blogspot.com/2015/03/low-tide-at-porthcurno.html"));
        QCOMPARE(post.postStatus, PostStatus::Published);
        QCOMPARE(post.publishDate.value(), date("2015-03-07T10:05:00.000-08:00"));
        QCOMPARE(post.updatedDate.value(), date("2015-03-08T11:00:04.512-08:00"));
        QCOMPARE(post.blogId, QString(""));
    }

    void testDraftWithoutAlternateLinkHasNoUrlAndNoComments()
    {
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-page.xml")).parse();
        const BloggerPost& draft = posts.at(1);
        QCOMPARE(draft.postStatus, PostStatus::Draft);
        QCOMPARE(draft.url, QString("#"));
        QCOMPARE(draft.commentsCount, 0);
        QVERIFY(draft.labels.isEmpty());
    }

    void testPublishLaterThanUpdateIsScheduled()
    {
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-page.xml")).parse();
        QCOMPARE(posts.at(2).postStatus, PostStatus::Scheduled);
        QCOMPARE(posts.at(2).labels, QStringList({"tides"}));
    }

    void testFeedLevelCategoriesLinksAndTitleDoNotLeak()
    {
        // The feed's own categories ("notes"), title and alternate link stand before the first entry.
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-page.xml")).parse();
        for (const BloggerPost& post : posts) {
            QVERIFY(!post.labels.contains("notes"));
            QVERIFY(post.title != QString("Tide Tables"));
            QVERIFY(post.url != QString("http://tidetables.blogspot.com/"));
        }
        QCOMPARE(posts.at(0).labels.size(), 2);
    }

    void testEntryWithoutCategoriesAfterFeedCategoriesHasNoLabels()
    {
        const QString xml =
            QStringLiteral("<feed xmlns='http://www.w3.org/2005/Atom'>"
                           "<category scheme='http://www.blogger.com/atom/ns#' term='feedlabel'/>"
                           "<link rel='alternate' href='http://blog/'/>"
                           "<entry><id>x.post-1</id><title>a</title></entry>"
                           "<category scheme='http://www.blogger.com/atom/ns#' term='after'/></feed>");
        auto [response, posts] = PostsListXMLParser(xml).parse();
        QVERIFY(response.success);
        QCOMPARE(posts.size(), 1);
        QVERIFY(posts[0].labels.isEmpty());
        QCOMPARE(posts[0].url, QString("#"));
    }

    void testCategoryOfOtherSchemeIsNoLabel()
    {
        const QString xml = atomEntryStart +
                            "<id>tag:blogger.com,1999:blog-1.post-7</id>"
                            "<category scheme='http://schemas.google.com/g/2005#kind' term='kind'/>"
                            "<category scheme='http://www.blogger.com/atom/ns#' term='real'/></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY(post.has_value());
        QCOMPARE(post->labels, QStringList({"real"}));
    }

    void testEmptyFeedPageIsSuccessWithNoPosts()
    {
        auto [response, posts] = PostsListXMLParser(fixture("posts-feed-empty.xml")).parse();
        QVERIFY(response.success);
        QVERIFY(posts.isEmpty());
    }

    void testSingleEntryInGData2Namespace()
    {
        auto [response, post] = PostXMLParser(fixture("post-entry.xml")).parse();
        QVERIFY(response.success);
        QVERIFY(post.has_value());
        QCOMPARE(post->postId, QString("8816602137345629201"));
        QCOMPARE(post->postStatus, PostStatus::Published);
        QCOMPARE(post->labels, QStringList({"travel", "Q&A"}));
        QCOMPARE(post->commentsCount, 3);
    }

    void testDraftMarkerInOlderAppNamespace()
    {
        auto [response, post] = PostXMLParser(fixture("post-entry-gdata1.xml")).parse();
        QVERIFY(response.success);
        QVERIFY(post.has_value());
        QCOMPARE(post->postStatus, PostStatus::Draft);
        QCOMPARE(post->postId, QString("2203948576610293847"));
        QCOMPARE(post->title, QString("Half-written: storm season"));
    }

    void testDraftMarkerNoIsNotDraft()
    {
        const QString xml =
            atomEntryStart +
            "<id>x.post-9</id><published>2015-03-01T10:00:00.000Z</published>"
            "<updated>2015-03-02T10:00:00.000Z</updated>"
            "<app:control xmlns:app='http://www.w3.org/2007/app'><app:draft>no</app:draft></app:control>"
            "</entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QCOMPARE(post->postStatus, PostStatus::Published);
    }

    void testDraftPublishedInFutureStaysDraft()
    {
        const QString xml =
            atomEntryStart +
            "<id>x.post-9</id><published>2030-03-01T10:00:00.000Z</published>"
            "<updated>2015-03-02T10:00:00.000Z</updated>"
            "<app:control xmlns:app='http://purl.org/atom/app#'><app:draft>yes</app:draft></app:control>"
            "</entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QCOMPARE(post->postStatus, PostStatus::Draft);
    }

    void testDraftElementOutsideAppNamespaceIsIgnored()
    {
        const QString xml = atomEntryStart + "<id>x.post-9</id><control><draft>yes</draft></control></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QCOMPARE(post->postStatus, PostStatus::Published);
    }

    void testIdWithoutPostMarkerGivesEmptyPostId()
    {
        const QString xml = atomEntryStart + "<id>tag:blogger.com,1999:blog-1</id></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY(post.has_value());
        QCOMPARE(post->postId, QString(""));
    }

    void testUnparsableCommentTotalCountsZero()
    {
        const QString xml = atomEntryStart + "<id>x.post-1</id><thr:total>many</thr:total></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QCOMPARE(post->commentsCount, 0);
    }

    void testMalformedXmlReportsReaderError()
    {
        const QString xml = fixture("post-entry.xml").left(400);
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY(!response.success);
        QVERIFY(!response.details.isEmpty());
        QVERIFY(!post.has_value());
    }

    void testMalformedFeedKeepsEntriesReadBeforeTheError()
    {
        QString xml = fixture("posts-feed-page.xml");
        const qsizetype thirdEntry = xml.lastIndexOf("<entry");
        xml = xml.left(thirdEntry + 40);
        auto [response, posts] = PostsListXMLParser(xml).parse();
        QVERIFY(!response.success);
        QCOMPARE(posts.size(), 2);
    }

    void testEmptyTextIsAnError()
    {
        auto [response, post] = PostXMLParser(QString()).parse();
        QVERIFY(!response.success);
        QVERIFY(!post.has_value());
    }

    void testHtmlErrorPageIsAnError()
    {
        const QString html = QStringLiteral("<html><head><title>502 Bad Gateway</title></head>"
                                            "<body><p>Server Error<br></p></body></html>");
        auto [response, posts] = PostsListXMLParser(html).parse();
        QVERIFY(!response.success);
        QVERIFY(posts.isEmpty());
    }

    void testWellFormedHtmlPageIsNoEmptyFeed()
    {
        // The page the feed answers for a refused token is well-formed XML without entries.
        const QString html =
            QStringLiteral("<HTML>\n<HEAD>\n<TITLE>Token invalid - Invalid token: Token not "
                           "found</TITLE>\n</HEAD>\n<BODY><H2>Error 401</H2></BODY>\n</HTML>\n");
        auto [response, posts] = PostsListXMLParser(html).parse();
        QVERIFY(!response.success);
        QCOMPARE(response.details, PostsListXMLParser::notAFeedMessage());
        QVERIFY(posts.isEmpty());
    }

    void testFeedOutsideTheAtomNamespaceIsNoFeed()
    {
        auto [response, posts] =
            PostsListXMLParser(QStringLiteral("<feed><entry><id>x.post-1</id></entry></feed>")).parse();
        QVERIFY(!response.success);
        QVERIFY(posts.isEmpty());
    }

    void testExternalEntityIsNeverResolved()
    {
        QTemporaryFile secret;
        QVERIFY(secret.open());
        secret.write("TOP-SECRET");
        secret.flush();
        const QString xml =
            QStringLiteral("<?xml version='1.0'?><!DOCTYPE entry [<!ENTITY x SYSTEM 'file://") +
            secret.fileName() +
            "'>]><entry xmlns='http://www.w3.org/2005/Atom'><id>a.post-1</id><title>&x;</title></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY(!response.success);
        QVERIFY(!post.has_value() || !post->title.contains("TOP-SECRET"));
    }

    void testEntityExpansionBombIsRefused()
    {
        QString xml = "<?xml version='1.0'?><!DOCTYPE entry [<!ENTITY a 'aaaaaaaaaa'>";
        for (char c = 'b'; c <= 'j'; ++c) {
            const char previous = char(c - 1);
            xml += QString("<!ENTITY %1 '&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;'>").arg(c).arg(previous);
        }
        xml += "]><entry xmlns='http://www.w3.org/2005/Atom'><id>a.post-1</id><title>&j;</title></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY(!response.success);
    }

    void testFirstEntryOfSeveralIsThePost()
    {
        auto [response, post] = PostXMLParser(fixture("posts-feed-page.xml")).parse();
        QVERIFY(response.success);
        QCOMPARE(post->postId, QString("8816602137345629201"));
    }

    void testWellFormedXmlWithoutEntryGivesNoPost()
    {
        auto [response, post] = PostXMLParser(fixture("posts-feed-empty.xml")).parse();
        QVERIFY(response.success);
        QVERIFY(!post.has_value());
    }

    void testCommentEntry()
    {
        auto [response, comment] = CommentXMLParser(fixture("comment-entry.xml")).parse();
        QVERIFY(response.success);
        QVERIFY(comment.has_value());
        QCOMPARE(comment->commentId, QString("3310985522117362284"));
        QCOMPARE(comment->content, QString("Lovely pictures &amp; words<br />Thanks!"));
        QCOMPARE(comment->author.userName, QString("Ned Harrow"));
        QCOMPARE(comment->author.userLink, QString("https://www.blogger.com/profile/11223344556677889900"));
        QCOMPARE(comment->author.userPicture,
                 QString("//lh3.googleusercontent.com/a/ned-harrow/s32/photo.jpg"));
        QCOMPARE(comment->publishDate.value(), date("2015-03-09T07:31:44.107-07:00"));
        QCOMPARE(comment->blogId, QString(""));
        QCOMPARE(comment->postId, QString(""));
    }

    void testCommentMalformedIsError()
    {
        auto [response, comment] = CommentXMLParser(fixture("comment-entry.xml").left(300)).parse();
        QVERIFY(!response.success);
        QVERIFY(!comment.has_value());
    }

    void testPhotoAddressFromContentSource()
    {
        auto [response, address] = PhotoXMLParser(fixture("photo-entry.xml")).parse();
        QVERIFY(response.success);
        QCOMPARE(
            address.value(),
            QString(
                "https://lh3.googleusercontent.com/-aBcDeFgHiJk/VP2x0000000I/AAAAAAAAAB0/xYz123/rocks.jpg"));
    }

    void testAlbumId()
    {
        auto [response, albumId] = AlbumXMLParser(fixture("album-entry.xml")).parse();
        QVERIFY(response.success);
        QCOMPARE(albumId.value(), QString("6123456789012345678"));
    }

    void testAlbumErrorWithInvalidInTextIsStillReported()
    {
        const QString xml =
            QStringLiteral("<entry xmlns='http://www.w3.org/2005/Atom'><title>Invalid request</title>");
        auto [response, albumId] = AlbumXMLParser(xml).parse();
        QVERIFY(!response.success);
        QVERIFY(!albumId.has_value());
    }

    // ---- hostile documents ----

    void testDeeplyNestedTextElementsAreRefusedWithoutOverflowingTheStack_data()
    {
        QTest::addColumn<Reader>("reader");
        QTest::addColumn<QString>("element");
        QTest::newRow("post content") << Reader::Post << "content";
        QTest::newRow("post title") << Reader::Post << "title";
        QTest::newRow("feed page content") << Reader::PostsList << "content";
        QTest::newRow("comment content") << Reader::Comment << "content";
    }

    void testDeeplyNestedTextElementsAreRefusedWithoutOverflowingTheStack()
    {
        QFETCH(Reader, reader);
        QFETCH(QString, element);
        // Deep enough to overflow any thread's stack when read one call per level.
        const QString entry = atomEntryStart + "<id>x.post-1</id><" + element + ">" + nested(100000) + "</" +
                              element + "></entry>";
        const BloggerSuccessResponse response = readEntry(reader, entry);
        QVERIFY(!response.success);
        QVERIFY2(response.details.contains("deeper than"), qPrintable(response.details));
    }

    void testNestingJustPastTheLimitIsRefused_data()
    {
        testDeeplyNestedTextElementsAreRefusedWithoutOverflowingTheStack_data();
    }

    void testNestingJustPastTheLimitIsRefused()
    {
        QFETCH(Reader, reader);
        QFETCH(QString, element);
        // The feed page's root adds a level.
        const int levelsAboveContent = reader == Reader::PostsList ? 3 : 2;
        const int levels = XmlStructureLimits::MaximumDepth - levelsAboveContent + 1;
        const QString entry = atomEntryStart + "<id>x.post-1</id><" + element + ">" + nested(levels) + "</" +
                              element + "></entry>";
        QVERIFY(!readEntry(reader, entry).success);
    }

    void testTextOfEveryLevelUpToTheLimitIsKeptInOrder()
    {
        const int levels = XmlStructureLimits::MaximumDepth - 2;
        const QString xml = atomEntryStart + "<id>x.post-1</id><title>t<i>i</i></title><content>" +
                            nested(levels) + "</content></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY2(response.success, qPrintable(response.details));
        QCOMPARE(post->title, QString("ti"));
        QCOMPARE(post->content, nestedText(levels));

        const QString comment =
            atomEntryStart + "<id>x.post-2</id><content>" + nested(levels) + "</content></entry>";
        auto [commentResponse, read] = CommentXMLParser(comment).parse();
        QVERIFY(commentResponse.success);
        QCOMPARE(read->content, nestedText(levels));
    }

    void testElementWithMoreAttributesThanTheLimitIsRefused()
    {
        auto [atLimit, post] =
            PostXMLParser(entryWithAttributes(XmlStructureLimits::MaximumAttributesPerElement)).parse();
        QVERIFY2(atLimit.success, qPrintable(atLimit.details));
        QCOMPARE(post->labels, QStringList{"t"});

        auto [response, refused] =
            PostXMLParser(entryWithAttributes(XmlStructureLimits::MaximumAttributesPerElement + 1)).parse();
        QVERIFY(!response.success);
        QVERIFY2(response.details.contains("attributes"), qPrintable(response.details));
        QVERIFY(!refused.has_value());
    }

    void testQuotedGreaterThanAndEqualsSignsAreNoAttributes()
    {
        // Values full of '=' and '>' must not count as attributes or end the tag early.
        const QString value = QString("a=b>").repeated(XmlStructureLimits::MaximumAttributesPerElement);
        const QString xml = atomEntryStart + "<id>x.post-1</id><link rel='alternate' href=\"" + value +
                            "\" title='=>'/></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY2(response.success, qPrintable(response.details));
        QCOMPARE(post->url, value);
    }

    void testNamespaceDeclarationsPastTheLimitInScopeAreRefused()
    {
        auto declarations = [](const QString& prefix, int count) {
            QString text;
            for (int i = 0; i < count; ++i) {
                text += QStringLiteral(" xmlns:%1%2='urn:%1%2'").arg(prefix).arg(i);
            }
            return text;
        };
        // The entry declares two; what is left of the limit is room.
        const int room = XmlStructureLimits::MaximumNamespaceDeclarationsInScope - 2;
        const QString tooMany =
            atomEntryStart + "<id>x.post-1</id><g" + declarations("p", room + 1) + "/></entry>";
        auto [refused, none] = PostXMLParser(tooMany).parse();
        QVERIFY(!refused.success);
        QVERIFY2(refused.details.contains("namespace"), qPrintable(refused.details));

        // Declarations end with their element: siblings, each filling the limit, never add up.
        QString siblings;
        for (int i = 0; i < 20; ++i) {
            siblings += "<g" + declarations("p", room - 1) + "><h" + declarations("q", 1) + "/></g>";
        }
        auto [response, post] =
            PostXMLParser(atomEntryStart + "<id>x.post-1</id>" + siblings + "</entry>").parse();
        QVERIFY2(response.success, qPrintable(response.details));
        QCOMPARE(post->postId, QString("1"));
    }

    void testMoreElementsOrAttributesThanTheLimitAreRefused()
    {
        const QString feedStart = "<feed xmlns='http://www.w3.org/2005/Atom'>";
        const QString elements =
            feedStart + QString("<a/>").repeated(XmlStructureLimits::MaximumElements) + "</feed>";
        auto [refusedElements, none] = PostsListXMLParser(elements).parse();
        QVERIFY(!refusedElements.success);
        QVERIFY2(refusedElements.details.contains("elements"), qPrintable(refusedElements.details));

        QString tag = "<a";
        for (int i = 0; i < XmlStructureLimits::MaximumAttributesPerElement; ++i) {
            tag += QStringLiteral(" b%1=''").arg(i);
        }
        tag += "/>";
        const qsizetype tags =
            XmlStructureLimits::MaximumAttributes / XmlStructureLimits::MaximumAttributesPerElement + 1;
        auto [refusedAttributes, nothing] =
            PostsListXMLParser(feedStart + tag.repeated(tags) + "</feed>").parse();
        QVERIFY(!refusedAttributes.success);
        QVERIFY2(refusedAttributes.details.contains("attributes"), qPrintable(refusedAttributes.details));
    }

    void testMarkupInCommentsAndCdataIsNotCounted()
    {
        const QString deep = nested(XmlStructureLimits::MaximumDepth + 1);
        const QString xml = atomEntryStart + "<id>x.post-1</id><!-- " + deep + " --><?pi " + deep +
                            " ?><content><![CDATA[" + deep + "]]></content></entry>";
        auto [response, post] = PostXMLParser(xml).parse();
        QVERIFY2(response.success, qPrintable(response.details));
        QCOMPARE(post->content, deep);
    }

    void testListingOfAnythingButAnAtomFeedIsAnError_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("GData errors") << "<?xml version='1.0' encoding='UTF-8'?>"
                                         "<errors xmlns='http://schemas.google.com/g/2005'><error>"
                                         "<domain>GData</domain><code>insufficientPermissionsException</code>"
                                         "<internalReason>Forbidden</internalReason></error></errors>";
        QTest::newRow("XHTML page")
            << "<html xmlns='http://www.w3.org/1999/xhtml'><head><title>500</title>"
               "</head><body><feed xmlns='http://www.w3.org/2005/Atom'/></body></html>";
        QTest::newRow("lone entry") << atomEntryStart + "<id>x.post-1</id></entry>";
    }

    void testListingOfAnythingButAnAtomFeedIsAnError()
    {
        QFETCH(QString, xml);
        auto [response, posts] = PostsListXMLParser(xml).parse();
        QVERIFY(!response.success);
        QVERIFY(posts.isEmpty());
    }

    void testFacadeGivesIndependentResults()
    {
        BloggerXMLParser first;
        auto broken = first.parsePostsList(QStringLiteral("<feed"));
        QVERIFY(!broken.first.success);
        BloggerXMLParser second;
        auto good = second.parsePostsList(fixture("posts-feed-page.xml"));
        QVERIFY(good.first.success);
        QCOMPARE(good.second.size(), 3);
        QVERIFY(second.parsePost(fixture("post-entry.xml")).second.has_value());
        QVERIFY(second.parseComment(fixture("comment-entry.xml")).second.has_value());
        QVERIFY(second.parseAlbum(fixture("album-entry.xml")).second.has_value());
        QVERIFY(second.parsePhoto(fixture("photo-entry.xml")).second.has_value());
    }
};

QTEST_GUILESS_MAIN(TestAtomReaders)
#include "TestAtomReaders.moc"

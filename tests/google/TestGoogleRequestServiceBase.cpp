#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "google/GoogleAuthentificationService.h"
#include "google/PostXMLParser.h"
#include "google/PostsGoogleService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

BloggerPost post(PostStatus status)
{
    BloggerPost p;
    p.title = "T";
    p.content = "C";
    p.postStatus = status;
    return p;
}

} // namespace

// The shared pieces of the web clients, through the posts client (the base has no public constructor).
class TestGoogleRequestServiceBase : public QObject
{
    Q_OBJECT

    std::shared_ptr<PostsGoogleService> m_service;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        m_service = PostsGoogleService::create(GoogleAuthentificationService::create("id", "secret", "scope", "uri"));
    }

    void testEscapeReplacesAllFiveInOrder()
    {
        QCOMPARE(m_service->escape("a<b & 'c'"), QString("a&lt;b &amp; &#39;c&#39;"));
        QCOMPARE(m_service->escape("\"x\" > y"), QString("&quot;x&quot; &gt; y"));
        QCOMPARE(m_service->escape("&amp;"), QString("&amp;amp;"));
        QCOMPARE(m_service->escape("plain"), QString("plain"));
        QCOMPARE(m_service->escape(""), QString(""));
    }

    void testClearOfAbsentIsEmpty()
    {
        QCOMPARE(m_service->clear(std::nullopt), QString(""));
        QCOMPARE(m_service->clear(QString("x")), QString("x"));
    }

    void testPublishedPostBodyExact()
    {
        BloggerPost p = post(PostStatus::Published);
        p.title = "<b>Q&A</b>";
        p.content = "<p>it's</p>";
        p.labels = {"Q&A", "say \"hi\""};
        p.publishDate = QDateTime::currentDateTime();
        QCOMPARE(m_service->postRequestBody(p),
                 QString("<entry xmlns='http://www.w3.org/2005/Atom'>"
                         "<title type='text'>&lt;b&gt;Q&amp;A&lt;/b&gt;</title>"
                         "<content type='html'>&lt;p&gt;it&#39;s&lt;/p&gt;</content>"
                         "<category scheme='http://www.blogger.com/atom/ns#' term=\"Q&amp;A\" />"
                         "<category scheme='http://www.blogger.com/atom/ns#' term=\"say &quot;hi&quot;\" />"
                         "</entry>"));
    }

    void testScheduledPostBodyCarriesPublishedBetweenTitleAndContent()
    {
        BloggerPost p = post(PostStatus::Scheduled);
        p.publishDate = GoogleDateService().parseDate("2030-01-02T03:04:05.000Z");
        const QString body = m_service->postRequestBody(p);
        const QString expected = "<title type='text'>T</title><published type='text'>" +
                                 GoogleDateService().isoDate(*p.publishDate) +
                                 "</published><content type='html'>C</content>";
        QVERIFY2(body.contains(expected), qPrintable(body));
        QVERIFY(!body.contains("app:control"));
    }

    void testScheduledWithoutDateHasNoPublished()
    {
        QVERIFY(!m_service->postRequestBody(post(PostStatus::Scheduled)).contains("published"));
    }

    void testDraftBodyEndsWithControl()
    {
        BloggerPost p = post(PostStatus::Draft);
        p.publishDate = QDateTime::currentDateTime();
        const QString body = m_service->postRequestBody(p);
        QVERIFY(body.endsWith("<app:control xmlns:app='http://www.w3.org/2007/app'><app:draft>yes</app:draft>"
                              "</app:control></entry>"));
        QVERIFY(!body.contains("published"));
    }

    void testPostBodyReadsBackThroughTheReader()
    {
        BloggerPost p = post(PostStatus::Draft);
        p.title = "Tom & Jerry's <\"show\">";
        p.content = "<p>a &amp; b</p>";
        p.labels = {"x&y", "\"q\""};
        QString body = m_service->postRequestBody(p);
        body.replace("<entry xmlns='http://www.w3.org/2005/Atom'>",
                     "<entry xmlns='http://www.w3.org/2005/Atom'><id>x.post-1</id>");
        auto [response, read] = PostXMLParser(body).parse();
        QVERIFY(response.success);
        QCOMPARE(read->title, p.title);
        QCOMPARE(read->content, p.content);
        QCOMPARE(read->labels, p.labels);
        QCOMPARE(read->postStatus, PostStatus::Draft);
    }

    void testCommentBody()
    {
        BloggerPostComment comment;
        comment.content = "a<b";
        QCOMPARE(m_service->commentRequestBody(comment),
                 QString("<entry xmlns='http://www.w3.org/2005/Atom'><title type='text'></title>"
                         "<content type='html'>a&lt;b</content></entry>"));
    }

    void testAlbumBodyIsWellFormedAndEscaped()
    {
        const QString body = m_service->albumRequestBody("A & B", "<desc>");
        QXmlStreamReader reader(body);
        while (!reader.atEnd()) {
            reader.readNext();
        }
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        QVERIFY(body.contains("<gphoto:access>public</gphoto:access>"));
        QVERIFY(body.contains("term='http://schemas.google.com/photos/2007#album'"));
    }

    void testParseUserJsonIgnoresNonTextValues()
    {
        const BloggerUser user = m_service->parseUserJson(json(R"({"id": 12, "name": "N", "link": null})"));
        QCOMPARE(user.userId, QString(""));
        QCOMPARE(user.userName, QString("N"));
        QCOMPARE(user.userLink, QString(""));
        QCOMPARE(user.userPicture, QString(""));
    }

    void testParseUserJsonFixture()
    {
        const BloggerUser user = m_service->parseUserJson(json(TestSupport::readFixture("userinfo.json")));
        QCOMPARE(user, BloggerUser("107741234567812345678", "Mara Quill",
                                   "https://www.blogger.com/profile/07741234567812345678",
                                   "https://lh3.googleusercontent.com/a/mara-quill/photo.jpg"));
    }

    void testParseCommentJson()
    {
        const BloggerPostComment comment = m_service->parseCommentJson(json(TestSupport::readFixture("comment.json")));
        QCOMPARE(comment.commentId, QString("3310985522117362284"));
        QCOMPARE(comment.author.userName, QString("Ned Harrow"));
        QCOMPARE(comment.author.userPicture, QString("//lh3.googleusercontent.com/a/ned-harrow/s35/photo.jpg"));
        QCOMPARE(comment.publishDate.value(), GoogleDateService().parseDate("2015-03-09T07:31:44.107-07:00").value());
        QCOMPARE(comment.blogId, QString(""));
        QCOMPARE(comment.postId, QString(""));
        QCOMPARE(comment.sentimentScore, 0);
    }

    void testParseCommentJsonWithoutAuthorOrDate()
    {
        const BloggerPostComment comment = m_service->parseCommentJson(json(R"({"id": "1", "published": "junk"})"));
        QCOMPARE(comment.author, BloggerUser("", "", "", ""));
        QVERIFY(!comment.publishDate.has_value());
        QCOMPARE(m_service->parseCommentUserJson(json(R"({"image": "x"})")).userPicture, QString(""));
    }

    void testServiceErrorObjectIsFailureWithFirstMessage()
    {
        const BloggerSuccessResponse response =
            m_service->detectServiceErrorOnJsonResponse(json(TestSupport::readFixture("error-401.json")));
        QCOMPARE(response, BloggerSuccessResponse(false, "Invalid Credentials"));
    }

    void testErrorWithoutErrorsListIsStillFailure()
    {
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({"error": {"code": 500, "message": "Boom"}})")),
                 BloggerSuccessResponse(false, "Boom"));
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({"error": {"errors": []}})")),
                 BloggerSuccessResponse(false, "Error could not parse response"));
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({"error": {"errors": [{"reason": "x"}]}})")),
                 BloggerSuccessResponse(false, "Error could not parse response"));
    }

    void testTextErrorUsesDescriptionThenErrorText()
    {
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(TestSupport::readFixture("token-error.json"))),
                 BloggerSuccessResponse(false, "Token has been expired or revoked."));
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({"error": "invalid_client"})")),
                 BloggerSuccessResponse(false, "invalid_client"));
    }

    void testNullOrMissingErrorIsSuccess()
    {
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({"error": null, "id": "1"})")),
                 BloggerSuccessResponse(true, ""));
        QCOMPARE(m_service->detectServiceErrorOnJsonResponse(json(R"({})")), BloggerSuccessResponse(true, ""));
    }

    void testPathIdValidation()
    {
        QVERIFY(GoogleRequestServiceBase::isValidPathId("4120843728710463922"));
        QVERIFY(GoogleRequestServiceBase::isValidPathId("a-b_c.d~e"));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId(""));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId("12 34"));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId("12/../34"));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId(".."));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId("1?x=2"));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId("1#x"));
        QVERIFY(!GoogleRequestServiceBase::isValidPathId(QString::fromUtf8("caf\u00e9")));
    }

    void testRandomQueryValueIsUnsignedDecimal()
    {
        for (int i = 0; i < 50; ++i) {
            const QString value = GoogleRequestServiceBase::randomQueryValue();
            bool ok = false;
            const qulonglong number = value.toULongLong(&ok);
            QVERIFY(ok);
            QVERIFY(number <= 4294967295ULL);
            QVERIFY(!value.startsWith('-'));
            QVERIFY(value == "0" || !value.startsWith('0'));
        }
    }
};

QTEST_GUILESS_MAIN(TestGoogleRequestServiceBase)
#include "TestGoogleRequestServiceBase.moc"

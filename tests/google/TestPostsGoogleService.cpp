#include "BlockRecorder.h"
#include "StandinHarness.h"
#include "TestSupport.h"
#include "TinyHttpServer.h"

#include "StandinAtomWriter.h"
#include "common/GoogleDateService.h"
#include "google/PostsGoogleService.h"

#include <QtTest>

#include <algorithm>

namespace {

using Headers = QList<QPair<QByteArray, QByteArray>>;

struct Blocks
{
    BlockRecorder<QList<BloggerPost>> list;
    BlockRecorder<BloggerSuccessResponse> listError;
    BlockRecorder<BloggerPost> get;
    BlockRecorder<BloggerSuccessResponse> getError;
    BlockRecorder<BloggerPost> add;
    BlockRecorder<BloggerSuccessResponse> addError;
    BlockRecorder<BloggerPost> update;
    BlockRecorder<BloggerSuccessResponse> updateError;
    BlockRecorder<bool> remove;
    BlockRecorder<BloggerSuccessResponse> removeError;
    BlockRecorder<QString> page;
    BlockRecorder<BloggerSuccessResponse> pageError;
};

// Posts older than the seeded ones, some drafts, some scheduled, with labels and comments.
void seedManyPosts(GoogleStandin& standin, const QString& blogId, int count)
{
    const QDateTime base = QDateTime::fromString("2014-06-01T12:00:00Z", Qt::ISODate);
    for (int i = 0; i < count; ++i) {
        StandinPost post;
        post.title = QStringLiteral("Extra post %1 & more").arg(i);
        post.content = QStringLiteral("<p>Body %1</p>").arg(i);
        post.labels = i % 3 == 0 ? QStringList{"extra", QString("n%1").arg(i)} : QStringList{};
        post.updated = base.addSecs(-3600LL * i);
        post.draft = i % 7 == 0;
        post.published = i % 11 == 5 ? post.updated.addDays(400) : post.updated.addSecs(-60);
        if (!post.draft) {
            post.urlPath = QStringLiteral("2014/06/extra-%1.html").arg(i);
        }
        for (int c = 0; c < i % 4; ++c) {
            StandinComment comment;
            comment.id = QStringLiteral("9%1%2").arg(i).arg(c);
            comment.authorName = "Reader";
            comment.published = post.updated;
            comment.updated = post.updated;
            comment.content = "Nice";
            post.comments.append(comment);
        }
        standin.addPost(blogId, post);
    }
}

// A feed page of count entries with the ids first, first + 1, and so on.
QByteArray feedPage(int first, int count)
{
    QByteArray xml = "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom'>";
    for (int i = first; i < first + count; ++i) {
        xml += "<entry><id>tag:blogger.com,1999:blog-1.post-" + QByteArray::number(i) + "</id><title>Post " +
               QByteArray::number(i) + "</title></entry>";
    }
    return xml + "</feed>";
}

const QByteArray gdataErrors =
    "<?xml version='1.0' encoding='UTF-8'?>"
    "<errors xmlns='http://schemas.google.com/g/2005'><error><domain>GData</domain>"
    "<code>insufficientPermissionsException</code>"
    "<internalReason>Not authorized to access this feed</internalReason></error></errors>";

BloggerPost newPost(PostStatus status)
{
    BloggerPost post;
    post.blogId = StandinHarness::blogId();
    post.title = "Harbour <lights> & 'boats'";
    post.content = "<p>Evening at the quay &amp; beyond</p>";
    post.labels = {"harbour", "Q&A"};
    post.postStatus = status;
    return post;
}

} // namespace

class TestPostsGoogleService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<Blocks> b;
    std::shared_ptr<PostsGoogleService> m_service;

    QList<LoggedRequest> requests(const QByteArray& method, const QByteArray& prefix) const
    {
        return h->standin.requests(method, prefix);
    }

    QByteArray feedPath() const { return "/feeds/" + StandinHarness::blogId().toUtf8() + "/posts/default"; }

    QString firstPostId(bool draft) const
    {
        const StandinBlog blog = h->standin.blog(StandinHarness::blogId()).value();
        for (const StandinPost& post : blog.posts) {
            if (post.draft == draft) {
                return post.id;
            }
        }
        return QString();
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void init()
    {
        h = std::make_unique<StandinHarness>();
        b = std::make_unique<Blocks>();
        m_service = PostsGoogleService::create(h->auth);
        m_service->setTimeoutInterval(5);
        m_service->onListBlogPostsBlockSuccess = b->list.block();
        m_service->onListBlogPostsBlockError = b->listError.block();
        m_service->onGetBlogPostBlockSuccess = b->get.block();
        m_service->onGetBlogPostBlockError = b->getError.block();
        m_service->onAddBlogPostBlockSuccess = b->add.block();
        m_service->onAddBlogPostBlockError = b->addError.block();
        m_service->onUpdateBlogPostBlockSuccess = b->update.block();
        m_service->onUpdateBlogPostBlockError = b->updateError.block();
        m_service->onDeleteBlogPostBlockSuccess = b->remove.block();
        m_service->onDeleteBlogPostBlockError = b->removeError.block();
        m_service->onGetBlogTemplateBlockSuccess = b->page.block();
        m_service->onGetBlogTemplateBlockError = b->pageError.block();
        h->standin.clearRequests();
    }

    void cleanup()
    {
        m_service.reset();
        h.reset();
        b.reset();
    }

    // ---- listing ----

    void testListingIsOneRefreshThenFivePagesOnTheWire()
    {
        seedManyPosts(h->standin, StandinHarness::blogId(), 90);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->list.calls(), 1);

        const QList<LoggedRequest> all = h->standin.requests();
        QCOMPARE(all.size(), 6);
        QCOMPARE(all[0].path(), QByteArray("/oauth2/v3/token"));
        const QByteArray freshToken = h->auth->accessToken().value().toUtf8();
        QVERIFY(freshToken != h->accessToken.toUtf8());
        for (int page = 0; page < 5; ++page) {
            const LoggedRequest& request = all[page + 1];
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.path(), feedPath());
            QCOMPARE(StandinHarness::queryWithoutRand(request),
                     "orderby=updated&max-results=20&start-index=" + QByteArray::number(20 * page + 1));
            QVERIFY(request.query().endsWith("&rand=" + request.queryValue("rand").toUtf8()));
            QVERIFY(StandinHarness::hasNumericRand(request));
            QCOMPARE(StandinHarness::clientHeaders(request),
                     (Headers{{"Content-Type", "application/atom+xml"},
                              {"GData-Version", "2"},
                              {"Authorization", "OAuth " + freshToken}}));
            QVERIFY(request.body.isEmpty());
        }
    }

    void testListingDeliversFirstHundredPostsRight()
    {
        seedManyPosts(h->standin, StandinHarness::blogId(), 90); // 114 in all
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        const QList<BloggerPost> posts = b->list.last();
        QCOMPARE(posts.size(), 100);
        QCOMPARE(m_service->listedPosts()->size(), 100);

        QList<StandinPost> expected = h->standin.blog(StandinHarness::blogId())->posts;
        std::stable_sort(expected.begin(), expected.end(), [](const StandinPost& x, const StandinPost& y) {
            return x.updated != y.updated ? x.updated > y.updated : x.id > y.id;
        });
        int drafts = 0, scheduled = 0, labelled = 0, commented = 0;
        for (int i = 0; i < posts.size(); ++i) {
            const BloggerPost& post = posts[i];
            const StandinPost& source = expected[i];
            QCOMPARE(post.postId, source.id);
            QCOMPARE(post.blogId, StandinHarness::blogId());
            QCOMPARE(post.title, source.title);
            QCOMPARE(post.labels, source.labels);
            // Drafts carry no comment count in the feed.
            QCOMPARE(post.commentsCount, source.draft ? 0 : std::int64_t(source.comments.size()));
            QCOMPARE(post.updatedDate.value(), source.updated);
            const PostStatus status = source.draft           ? PostStatus::Draft
                                      : source.isScheduled() ? PostStatus::Scheduled
                                                             : PostStatus::Published;
            QCOMPARE(post.postStatus, status);
            if (source.urlPath.isEmpty()) {
                QCOMPARE(post.url, QString("#"));
            } else {
                QVERIFY2(post.url.endsWith("/" + source.urlPath), qPrintable(post.url));
            }
            drafts += status == PostStatus::Draft;
            scheduled += status == PostStatus::Scheduled;
            labelled += !post.labels.isEmpty();
            commented += post.commentsCount > 0;
        }
        QVERIFY(drafts > 3 && scheduled > 1 && labelled > 10 && commented > 10);
    }

    void testEmptyBlogStillAsksFivePages()
    {
        const QString blogId = "7093345128812460051";
        const StandinBlog blog = h->standin.blog(blogId).value();
        for (const StandinPost& post : blog.posts) {
            h->standin.removePost(blogId, post.id);
        }
        m_service->listBlogPosts(blogId);
        QVERIFY(waitForOneOf(b->list, b->listError));
        QVERIFY(b->list.last().isEmpty());
        QCOMPARE(requests("GET", "/feeds/" + blogId.toUtf8()).size(), 5);
    }

    void testThirdPageFailureEndsListingKeepingEarlierPages()
    {
        seedManyPosts(h->standin, StandinHarness::blogId(), 90);
        // Switched on while the second page is answered, so it hits the third.
        connect(
            &h->standin, &GoogleStandin::requestLogged, &h->standin,
            [this](const LoggedRequest& request) {
                if (request.queryValue("start-index") == "21") {
                    h->standin.addFault(StandinFault::Kind::HtmlErrorPage, feedPath(), 1);
                }
            },
            Qt::DirectConnection);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        const BloggerSuccessResponse failure = b->listError.last();
        QVERIFY(!failure.success);
        QVERIFY2(failure.details.contains("<html"), qPrintable(failure.details)); // the whole reply text
        QCOMPARE(m_service->listedPosts()->size(), 40);
        QCOMPARE(requests("GET", feedPath()).size(), 3);
    }

    void testNextPageIsAskedForBeforeThisOneIsRead()
    {
        // A first page that looks whole but breaks inside: the second page is asked for as soon as the
        // first arrives, so the wait for it overlaps the reading that then fails.
        const QByteArray page =
            "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom'>"
            "<entry><id>tag:blogger.com,1999:blog-1.post-2</id><title>a</title></entry>"
            "<entry broken=yes></entry></feed>\n";
        TinyHttpServer server(page);
        qputenv("PENHOLLOW_BLOGGER_URL", server.url().toUtf8());
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, QString::fromUtf8(page));
        QVERIFY(QTest::qWaitFor([&] { return server.answered() == 2; }, 20000));
        // The second page's reply, once it arrives, neither adds posts nor calls a block again.
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(b->listError.calls(), 1);
        QCOMPARE(b->list.calls(), 0);
        QVERIFY(m_service->listedPosts()->isEmpty());
        QCOMPARE(server.answered(), 2);
    }

    void testPageCutShortEndsListingWithoutAskingFurther()
    {
        seedManyPosts(h->standin, StandinHarness::blogId(), 90);
        h->standin.addFault(StandinFault::Kind::MalformedBody, feedPath(), 1);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.calls(), 1);
        // A further page would be asked for by work queued behind the error.
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(requests("GET", feedPath()).size(), 1);
    }

    void testSecondListingStartsFromEmpty()
    {
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        const qsizetype first = b->list.last().size();
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(QTest::qWaitFor([&] { return b->list.calls() == 2; }, 10000));
        QCOMPARE(b->list.last().size(), first);
    }

    void testRefreshWithoutReplyEndsListingBeforeAnyPage()
    {
        h->standin.addFault(StandinFault::Kind::NoReply, "/oauth2/v3/token");
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::noResponseMessage());
        QCOMPARE(requests("GET", "/feeds/").size(), 0);
        QVERIFY(m_service->listedPosts()->isEmpty());
    }

    void testNoRefreshTokenEndsListingWithMessage()
    {
        h->auth->setRefreshToken(std::nullopt);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleAuthentificationService::noRefreshTokenMessage());
        QCOMPARE(h->standin.requestCount(), 0);
    }

    void testRefusedRefreshStillSendsWithTokenHeld()
    {
        h->standin.revokeRefreshToken(h->refreshToken);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->list.calls(), 1);
        QCOMPARE(requests("GET", feedPath()).value(0).header("Authorization"),
                 "OAuth " + h->accessToken.toUtf8());
    }

    void testEmptyBlogIdCostsRefreshThenFails()
    {
        m_service->listBlogPosts("");
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::noBlogSelectedMessage());
        QCOMPARE(h->standin.requestCount(), 1);
        QCOMPARE(h->standin.requests().value(0).path(), QByteArray("/oauth2/v3/token"));
    }

    void testBlogIdWithBlankOrSlashSendsNothing()
    {
        m_service->listBlogPosts("4120 843");
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, QString("Cannot make the request. The URL is invalid"));
        m_service->deleteBlogPost("1", "../../blogger/v3/users/self");
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.last().details, QString("Cannot make the request. The URL is invalid"));
        QCOMPARE(h->standin.requests().size(), 2); // the two refreshes
    }

    void testStalledPageTimesOut()
    {
        h->standin.addFault(StandinFault::Kind::Stall, feedPath());
        m_service->setTimeoutInterval(0.3);
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::noResponseMessage());
    }

    void testNonUtf8PageIsNoText()
    {
        h->standin.addFault(StandinFault::Kind::NonUtf8Body, feedPath());
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, QString("Request error: No response received"));
    }

    void testLaterPageThatIsNoFeedPageFailsTheListing_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("details");
        QTest::newRow("GData errors, 403")
            << QByteArray("403 Forbidden") << gdataErrors << QString(gdataErrors);
        QTest::newRow("GData errors, 200") << QByteArray("200 OK") << gdataErrors << QString(gdataErrors);
        const QByteArray xhtml =
            "<html xmlns='http://www.w3.org/1999/xhtml'><body><p>Server Error</p></body></html>";
        QTest::newRow("XHTML page, 500")
            << QByteArray("500 Internal Server Error") << xhtml << QString(xhtml);
        QTest::newRow("feed page, 503")
            << QByteArray("503 Service Unavailable") << feedPage(21, 20) << QString(feedPage(21, 20));
        QTest::newRow("nothing, 502")
            << QByteArray("502 Bad Gateway") << QByteArray() << GoogleRequestServiceBase::statusMessage(502);
    }

    void testLaterPageThatIsNoFeedPageFailsTheListing()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, details);
        TinyHttpServer server({{feedPage(1, 20)}, {body, status}, {feedPage(41, 20)}});
        qputenv("PENHOLLOW_BLOGGER_URL", server.url().toUtf8());
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.calls(), 1);
        QCOMPARE(b->listError.last(), BloggerSuccessResponse(false, details));
        QCOMPARE(m_service->listedPosts()->size(), 20);
        QCOMPARE(server.answered(), 2);
    }

    void testFirstPageWithErrorStatusFailsTheListing()
    {
        TinyHttpServer server(feedPage(1, 0), "500 Internal Server Error");
        qputenv("PENHOLLOW_BLOGGER_URL", server.url().toUtf8());
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.calls(), 1);
        QVERIFY(m_service->listedPosts()->isEmpty());
    }

    // ---- get ----

    void testGetWithoutGDataHeaderReadsOlderDraftNamespace()
    {
        const QString draftId = firstPostId(true);
        const StandinBlog blog = h->standin.blog(StandinHarness::blogId()).value();
        const StandinAccount owner = h->standin.accounts().first();
        // What the service answers to a request without GData-Version: the older draft namespace.
        QVERIFY(
            StandinAtomWriter::postEntry(blog, *h->standin.post(blog.id, draftId), owner, "http://x", false)
                .contains("http://purl.org/atom/app#"));

        m_service->getBlogPost(draftId, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        const BloggerPost post = b->get.last();
        QCOMPARE(post.postId, draftId);
        QCOMPARE(post.postStatus, PostStatus::Draft);
        QCOMPARE(post.blogId, StandinHarness::blogId());

        const LoggedRequest request = requests("GET", "/feeds/").value(0);
        QCOMPARE(request.path(), feedPath() + "/" + draftId.toUtf8());
        QCOMPARE(StandinHarness::queryWithoutRand(request), QByteArray(""));
        QVERIFY(StandinHarness::hasNumericRand(request));
        QCOMPARE(StandinHarness::clientHeaderNames(request), QByteArrayList({"Authorization"}));
    }

    void testGetPublishedPost()
    {
        const QString postId = firstPostId(false);
        const StandinPost source = h->standin.post(StandinHarness::blogId(), postId).value();
        m_service->getBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        const BloggerPost post = b->get.last();
        QCOMPARE(post.title, source.title);
        QCOMPARE(post.content, source.content);
        QCOMPARE(post.labels, source.labels);
        QCOMPARE(post.commentsCount, std::int64_t(source.comments.size()));
        QVERIFY(post.url.endsWith(source.urlPath));
    }

    void testGetMissingPostReportsReplyText()
    {
        m_service->getBlogPost("1234", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        QVERIFY(!b->getError.last().details.isEmpty());
    }

    void testGetMalformedXmlReportsWholeReply()
    {
        h->standin.addFault(StandinFault::Kind::MalformedBody, feedPath());
        m_service->getBlogPost(firstPostId(false), StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        const QString details = b->getError.last().details;
        QVERIFY2(details.startsWith("<?xml") && details.contains("<entry"), qPrintable(details));
    }

    void testGetWellFormedReplyWithoutEntryIsFailure()
    {
        const QByteArray feed = TestSupport::readFixture("posts-feed-empty.xml");
        TinyHttpServer server(feed);
        qputenv("PENHOLLOW_BLOGGER_URL", server.url().toUtf8());
        m_service->getBlogPost("1", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        QCOMPARE(b->getError.last(), BloggerSuccessResponse(false, QString::fromUtf8(feed)));
    }

    void testGetWithErrorStatusFailsEvenWithAnEntry()
    {
        const QByteArray entry = TestSupport::readFixture("post-entry.xml");
        TinyHttpServer server(entry, "500 Internal Server Error");
        qputenv("PENHOLLOW_BLOGGER_URL", server.url().toUtf8());
        m_service->getBlogPost("1", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        QCOMPARE(b->getError.calls(), 1);
        QCOMPARE(b->getError.last(), BloggerSuccessResponse(false, QString::fromUtf8(entry)));
    }

    void testGetWithEmptyPostIdSendsNothing()
    {
        m_service->getBlogPost("", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        QCOMPARE(b->getError.last().details, QString("Cannot make the request. The URL is invalid"));
        QCOMPARE(requests("GET", "/feeds/").size(), 0);
    }

    // ---- add and update ----

    void testAddDraftOnTheWire()
    {
        const BloggerPost post = newPost(PostStatus::Draft);
        m_service->addBlogPost(post);
        QVERIFY(waitForOneOf(b->add, b->addError));
        const BloggerPost created = b->add.last();
        QVERIFY(!created.postId.isEmpty());
        QCOMPARE(created.postStatus, PostStatus::Draft);
        QCOMPARE(created.title, post.title);
        QCOMPARE(created.content, post.content);
        QCOMPARE(created.labels, post.labels);
        QCOMPARE(created.blogId, StandinHarness::blogId());
        QVERIFY(h->standin.post(StandinHarness::blogId(), created.postId)->draft);

        const LoggedRequest request = requests("POST", "/feeds/").value(0);
        QCOMPARE(request.path(), feedPath());
        QCOMPARE(StandinHarness::queryWithoutRand(request), QByteArray(""));
        QVERIFY(StandinHarness::hasNumericRand(request));
        QCOMPARE(StandinHarness::clientHeaders(request),
                 (Headers{{"Content-Type", "application/atom+xml"},
                          {"GData-Version", "2"},
                          {"Authorization", "OAuth " + h->auth->accessToken().value().toUtf8()}}));
        QCOMPARE(request.body, m_service->postRequestBody(post).toUtf8());
        QCOMPARE(requests("POST", "/oauth2/v3/token").size(), 1);
    }

    void testAddScheduledComesBackScheduled()
    {
        BloggerPost post = newPost(PostStatus::Scheduled);
        post.publishDate = QDateTime::currentDateTime().addDays(30);
        m_service->addBlogPost(post);
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->add.last().postStatus, PostStatus::Scheduled);
        QVERIFY(requests("POST", "/feeds/").value(0).body.contains("<published type='text'>"));
    }

    void testUpdateOnTheWire()
    {
        const QString postId = firstPostId(false);
        BloggerPost post = newPost(PostStatus::Published);
        post.title = "Renamed";
        m_service->updateBlogPost(post, postId);
        QVERIFY(waitForOneOf(b->update, b->updateError));
        QCOMPARE(b->update.last().postId, postId);
        QCOMPARE(b->update.last().title, QString("Renamed"));
        QCOMPARE(b->update.last().postStatus, PostStatus::Published);
        QCOMPARE(h->standin.post(StandinHarness::blogId(), postId)->title, QString("Renamed"));

        const LoggedRequest request = requests("PUT", "/feeds/").value(0);
        QCOMPARE(request.path(), feedPath() + "/" + postId.toUtf8());
        QVERIFY(StandinHarness::hasNumericRand(request));
        QCOMPARE(
            StandinHarness::clientHeaderNames(request),
            QByteArrayList({"Content-Type", "GData-Version", "X-HTTP-Method-Override", "Authorization"}));
        QCOMPARE(request.header("X-HTTP-Method-Override"), QByteArray("PUT"));
        QCOMPARE(request.body, m_service->postRequestBody(post).toUtf8());
    }

    void testAddHtmlErrorPageReportsPageText()
    {
        h->standin.addFault(StandinFault::Kind::HtmlErrorPage, feedPath());
        m_service->addBlogPost(newPost(PostStatus::Published));
        QVERIFY(waitForOneOf(b->add, b->addError));
        QVERIFY(b->addError.last().details.contains("<html"));
    }

    void testAddWithoutBlogFails()
    {
        BloggerPost post = newPost(PostStatus::Published);
        post.blogId = "";
        m_service->addBlogPost(post);
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->addError.last().details, GoogleRequestServiceBase::noBlogSelectedMessage());
    }

    void testCancelStopsRunningPublication()
    {
        h->standin.addFault(StandinFault::Kind::Stall, feedPath());
        m_service->addBlogPost(newPost(PostStatus::Published));
        QVERIFY(QTest::qWaitFor([&] { return h->standin.stalledCount() == 1; }, 10000));
        QVERIFY(m_service->uploadTask());
        m_service->cancelPublishing();
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->addError.last().details, GoogleRequestServiceBase::noResponseMessage());
        h->standin.releaseStalled();
        QTRY_COMPARE(h->standin.stalledCount(), 0);
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(b->add.calls() + b->addError.calls(), 1);
    }

    void testCancelDuringTokenRefreshSendsNoPost()
    {
        h->standin.addFault(StandinFault::Kind::Stall, "/oauth2/v3/token");
        m_service->updateBlogPost(newPost(PostStatus::Published), firstPostId(false));
        QVERIFY(QTest::qWaitFor([&] { return h->standin.stalledCount() == 1; }, 10000));
        m_service->cancelPublishing();
        h->standin.clearFaults();
        QVERIFY(waitForOneOf(b->update, b->updateError));
        QCOMPARE(b->updateError.last().details, GoogleRequestServiceBase::noResponseMessage());
        QCOMPARE(requests("PUT", "/feeds/").size(), 0);
    }

    void testCancelWithNothingRunningChangesNothing()
    {
        m_service->cancelPublishing();
        m_service->addBlogPost(newPost(PostStatus::Draft));
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->add.calls(), 1);
        m_service->cancelPublishing(); // after the reply: nothing more happens
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(b->addError.calls(), 0);
    }

    // ---- delete ----

    void testDeleteNoContentIsSuccess()
    {
        const QString postId = firstPostId(false);
        m_service->deleteBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->remove.last(), true);
        QVERIFY(!h->standin.post(StandinHarness::blogId(), postId).has_value());

        const LoggedRequest request = requests("DELETE", "/blogger/").value(0);
        QCOMPARE(request.path(),
                 "/blogger/v3/blogs/" + StandinHarness::blogId().toUtf8() + "/posts/" + postId.toUtf8());
        QVERIFY(StandinHarness::hasNumericRand(request));
        QCOMPARE(StandinHarness::queryWithoutRand(request), QByteArray(""));
        QCOMPARE(StandinHarness::clientHeaderNames(request), QByteArrayList({"Authorization"}));
    }

    void testDeleteNotFoundIsFailure()
    {
        m_service->deleteBlogPost("1234", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.last(), BloggerSuccessResponse(false, "Not Found"));
    }

    void testDeleteErrorObjectWithoutErrorsListIsFailure()
    {
        TinyHttpServer server("{\"error\": {\"code\": 500, \"message\": \"Backend Error\"}}",
                              "500 Internal Server Error");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        h->auth->setRefreshToken(std::nullopt);
        m_service->_deleteBlogPost("1", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.last().details, QString("Backend Error"));
    }

    void testDeleteReplyShapes()
    {
        {
            TinyHttpServer server("{\"kind\": \"blogger#post\"}");
            qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
            m_service->_deleteBlogPost("1", StandinHarness::blogId());
            QVERIFY(waitForOneOf(b->remove, b->removeError));
            QCOMPARE(b->remove.calls(), 1);
        }
        {
            TinyHttpServer server("[1]");
            qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
            m_service->_deleteBlogPost("1", StandinHarness::blogId());
            QVERIFY(QTest::qWaitFor([&] { return b->removeError.calls() == 1; }, 10000));
            QCOMPARE(b->removeError.last().details, QString("Error could not parse response"));
        }
        {
            TinyHttpServer server("<html>oops</html>");
            qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
            m_service->_deleteBlogPost("1", StandinHarness::blogId());
            QVERIFY(QTest::qWaitFor([&] { return b->removeError.calls() == 2; }, 10000));
            QVERIFY(b->removeError.last().details.startsWith("Parse error: "));
        }
        QCOMPARE(b->remove.calls(), 1);
    }

    void testDeleteWithErrorStatusButNoErrorObjectFails_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty 404") << QByteArray("404 Not Found") << QByteArray();
        QTest::newRow("object 500") << QByteArray("500 Internal Server Error")
                                    << QByteArray("{\"kind\": \"x\"}");
    }

    void testDeleteWithErrorStatusButNoErrorObjectFails()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        TinyHttpServer server(body, status);
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        h->auth->setRefreshToken(std::nullopt);
        m_service->_deleteBlogPost("1", StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.calls(), 1);
        QCOMPARE(b->removeError.last().details,
                 GoogleRequestServiceBase::statusMessage(status.left(3).toInt()));
    }

    // ---- template and tokens ----

    void testTemplateFetchCarriesNoCredentials()
    {
        const QString url = h->standin.serverUrl().toString() + "/tidetables/temp/post/title.html";
        m_service->getBlogPostsTemplate(url);
        QVERIFY(waitForOneOf(b->page, b->pageError));
        QVERIFY(!b->page.last().isEmpty());
        QCOMPARE(h->standin.requestCount(), 1); // no refresh
        const LoggedRequest request = h->standin.requests().first();
        QCOMPARE(request.target, QByteArray("/tidetables/temp/post/title.html"));
        QVERIFY(StandinHarness::clientHeaders(request).isEmpty());
    }

    void testTemplateErrorPageIsDeliveredAsThePage()
    {
        TinyHttpServer server("<html><body>Blog not found</body></html>", "404 Not Found");
        m_service->getBlogPostsTemplate(server.url() + "/blog/temp/post/title.html");
        QVERIFY(waitForOneOf(b->page, b->pageError));
        QCOMPARE(b->page.last(), QString("<html><body>Blog not found</body></html>"));
    }

    void testTemplateEmptyPageAndBadAddressFail()
    {
        TinyHttpServer server("");
        m_service->getBlogPostsTemplate(server.url() + "/blog/temp/post/title.html");
        QVERIFY(waitForOneOf(b->page, b->pageError));
        QCOMPARE(b->pageError.last().details, GoogleRequestServiceBase::noResponseMessage());
        m_service->getBlogPostsTemplate("not an address");
        QVERIFY(QTest::qWaitFor([&] { return b->pageError.calls() == 2; }, 20000));
        QCOMPARE(b->pageError.last().details, GoogleRequestServiceBase::invalidUrlMessage());
    }

    void testEmptyAccessTokenIsLoggedAndSent()
    {
        h->auth->setRefreshToken(std::nullopt);
        h->auth->setAccessToken(QString(""));
        const QString postId = firstPostId(false);
        QString printed;
        bool answered = false;
        {
            TestSupport::StdoutCapture capture;
            m_service->_getBlogPost(postId, StandinHarness::blogId());
            answered = QTest::qWaitFor([&] { return b->get.calls() + b->getError.calls() > 0; }, 10000);
            printed = capture.text();
        }
        QVERIFY(answered);
        QVERIFY(waitForOneOf(b->get, b->getError));
        QVERIFY(printed.contains("==> Empty authentificationService.accessToken !"));
        QCOMPARE(requests("GET", "/feeds/").value(0).header("Authorization"), QByteArray("OAuth"));
    }

    void testUnsetBlocksDropOutcomeButListingRuns()
    {
        m_service->onListBlogPostsBlockSuccess = nullptr;
        m_service->listBlogPosts(StandinHarness::blogId());
        QVERIFY(QTest::qWaitFor([&] { return requests("GET", feedPath()).size() == 5; }, 10000));
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(b->listError.calls(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPostsGoogleService)
#include "TestPostsGoogleService.moc"

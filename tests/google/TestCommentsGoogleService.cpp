#include "BlockRecorder.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "google/CommentsGoogleService.h"

#include <QtTest>

namespace {

using Headers = QList<QPair<QByteArray, QByteArray>>;

const QString SeededPost = QStringLiteral("8816602137345629201"); // three comments, one anonymous
const QString QuietPost = QStringLiteral("8816602137321871862");  // no comments

struct Blocks
{
    BlockRecorder<QList<BloggerPostComment>> list;
    BlockRecorder<BloggerSuccessResponse> listError;
    BlockRecorder<BloggerPostComment> get;
    BlockRecorder<BloggerSuccessResponse> getError;
    BlockRecorder<BloggerPostComment> add;
    BlockRecorder<BloggerSuccessResponse> addError;
    BlockRecorder<bool> remove;
    BlockRecorder<BloggerSuccessResponse> removeError;
};

// Comments a minute apart, the oldest first, after the post's own.
void seedComments(GoogleStandin& standin, const QString& postId, int count)
{
    StandinPost post = standin.post(StandinHarness::blogId(), postId).value();
    const QDateTime base = QDateTime::fromString("2016-01-01T08:00:00Z", Qt::ISODate);
    for (int i = 0; i < count; ++i) {
        StandinComment comment;
        comment.id = QStringLiteral("77%1").arg(i, 4, 10, QLatin1Char('0'));
        comment.authorId = QStringLiteral("5500%1").arg(i % 3);
        comment.authorName = QStringLiteral("Reader %1").arg(i % 3);
        comment.published = comment.updated = base.addSecs(60LL * i);
        comment.content = QStringLiteral("Comment number %1").arg(i);
        post.comments.append(comment);
    }
    QVERIFY(standin.updatePost(StandinHarness::blogId(), post));
}

QString firstDraftId(const GoogleStandin& standin)
{
    const StandinBlog blog = standin.blog(StandinHarness::blogId()).value();
    for (const StandinPost& post : blog.posts) {
        if (post.draft) {
            return post.id;
        }
    }
    return QString();
}

} // namespace

// The comments web service against the stand-in: JSON listing and reading, Atom add and delete.
class TestCommentsGoogleService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<Blocks> b;
    std::shared_ptr<CommentsGoogleService> m_service;

    QByteArray commentsPath(const QString& postId) const
    {
        return "/blogger/v3/blogs/" + StandinHarness::blogId().toUtf8() + "/posts/" + postId.toUtf8() +
               "/comments";
    }
    QByteArray feedPath(const QString& postId) const
    {
        return "/feeds/" + StandinHarness::blogId().toUtf8() + "/" + postId.toUtf8() + "/comments/default";
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void init()
    {
        h = std::make_unique<StandinHarness>();
        b = std::make_unique<Blocks>();
        m_service = CommentsGoogleService::create(h->auth);
        m_service->setTimeoutInterval(5);
        m_service->onListPostCommentsBlockSuccess = b->list.block();
        m_service->onListPostCommentsBlockError = b->listError.block();
        m_service->onGetPostCommentBlockSuccess = b->get.block();
        m_service->onGetPostCommentBlockError = b->getError.block();
        m_service->onAddPostCommentBlockSuccess = b->add.block();
        m_service->onAddPostCommentBlockError = b->addError.block();
        m_service->onDeletePostCommentBlockSuccess = b->remove.block();
        m_service->onDeletePostCommentBlockError = b->removeError.block();
        h->standin.clearRequests();
    }

    void cleanup()
    {
        m_service.reset();
        h.reset();
        b.reset();
    }

    void testListReadsEveryCommentWithItsAuthorAfterTokenRefresh()
    {
        m_service->listPostComments(SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        const QList<BloggerPostComment> comments = b->list.last();
        QCOMPARE(comments.size(), 3);
        QVERIFY(m_service->listedAllComments());

        const QList<LoggedRequest> all = h->standin.requests();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].path(), QByteArray("/oauth2/v3/token"));
        QCOMPARE(all[1].path(), commentsPath(SeededPost));
        QCOMPARE(StandinHarness::queryWithoutRand(all[1]), QByteArray("maxResults=20"));
        QVERIFY(StandinHarness::hasNumericRand(all[1]));
        QCOMPARE(StandinHarness::clientHeaders(all[1]),
                 (Headers{{"Authorization", "OAuth " + h->auth->accessToken().value().toUtf8()}}));

        const StandinPost source = h->standin.post(StandinHarness::blogId(), SeededPost).value();
        for (int i = 0; i < 3; ++i) {
            const BloggerPostComment& comment = comments[i];
            QCOMPARE(comment.commentId, source.comments[i].id);
            QCOMPARE(comment.postId, SeededPost);
            QCOMPARE(comment.blogId, StandinHarness::blogId());
            QCOMPARE(comment.content, source.comments[i].content);
            QCOMPARE(comment.publishDate.value(), source.comments[i].published);
            QCOMPARE(comment.author.userName, source.comments[i].authorName);
            QCOMPARE(comment.author.userId, source.comments[i].authorId);
        }
        QCOMPARE(comments[0].author.userLink,
                 h->standin.serverUrl().toString() + "/profile/11223344556677889900");
        QVERIFY(comments[0].author.userPicture.endsWith("/img/ned-harrow.png"));
        // The anonymous author comes without an id.
        QCOMPARE(comments[1].author.userName, QStringLiteral("Anonymous"));
        QVERIFY(comments[1].author.userId.isEmpty());
    }

    void testListOfPostWithoutCommentsSucceedsEmpty()
    {
        m_service->listPostComments(QuietPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QVERIFY(b->list.last().isEmpty());
        QVERIFY(m_service->listedAllComments());
    }

    void testListFollowsPageTokensInOrder()
    {
        seedComments(h->standin, QuietPost, 45);
        m_service->listPostComments(QuietPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        const QList<BloggerPostComment> comments = b->list.last();
        QCOMPARE(comments.size(), 45);
        for (int i = 0; i < 45; ++i) {
            QCOMPARE(comments[i].content, QStringLiteral("Comment number %1").arg(i));
        }
        const QList<LoggedRequest> pages = h->standin.requests("GET", commentsPath(QuietPost));
        QCOMPARE(pages.size(), 3);
        QVERIFY(!pages[0].hasQueryKey("pageToken"));
        QVERIFY(pages[1].hasQueryKey("pageToken") && pages[2].hasQueryKey("pageToken"));
        QVERIFY(m_service->listedAllComments());
    }

    void testListStopsAtPageLimitAndSaysItIsIncomplete()
    {
        seedComments(h->standin, QuietPost, 215);
        m_service->listPostComments(QuietPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError, 20000));
        const qsizetype limit =
            GoogleServiceConstants::MaxResultPagesForComments * GoogleServiceConstants::MaxResultsPerPage;
        QCOMPARE(b->list.last().size(), limit);
        QCOMPARE(h->standin.requests("GET", commentsPath(QuietPost)).size(),
                 GoogleServiceConstants::MaxResultPagesForComments);
        QVERIFY(!m_service->listedAllComments());
    }

    void testListOfUnknownPostReportsServiceMessage()
    {
        m_service->listPostComments(QStringLiteral("424242"), StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, QStringLiteral("Not Found"));
    }

    void testListPageThatIsNoJsonFailsKeepingEarlierPages()
    {
        seedComments(h->standin, QuietPost, 30);
        connect(
            &h->standin, &GoogleStandin::requestLogged, &h->standin,
            [this](const LoggedRequest& request) {
                if (request.path() == commentsPath(QuietPost) && !request.hasQueryKey("pageToken")) {
                    h->standin.addFault(StandinFault::Kind::MalformedBody, commentsPath(QuietPost), 1);
                }
            },
            Qt::DirectConnection);
        m_service->listPostComments(QuietPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QVERIFY(b->listError.last().details.startsWith(QStringLiteral("Parse error")));
        QCOMPARE(m_service->listedComments()->size(), 20);
    }

    void testIdsUnfitForAPathAreRefusedWithoutRequest()
    {
        m_service->listPostComments(QStringLiteral("../../users"), StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::invalidUrlMessage());
        m_service->deletePostComment(QStringLiteral("1?x=2"), SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.last().details, GoogleRequestServiceBase::invalidUrlMessage());
        m_service->listPostComments(SeededPost, QString());
        QVERIFY(QTest::qWaitFor([&] { return b->listError.calls() == 2; }, 20000));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::noBlogSelectedMessage());
        QCOMPARE(h->standin.requests("GET", "/blogger").size() +
                     h->standin.requests("DELETE", "/feeds").size(),
                 0);
    }

    void testNoReplyReportsNoResponse()
    {
        h->standin.addFault(StandinFault::Kind::NoReply, commentsPath(SeededPost));
        m_service->listPostComments(SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->list, b->listError));
        QCOMPARE(b->listError.last().details, GoogleRequestServiceBase::noResponseMessage());
    }

    void testGetReadsOneComment()
    {
        const StandinComment source = h->standin.post(StandinHarness::blogId(), SeededPost)->comments[2];
        m_service->getPostComment(source.id, SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->get, b->getError));
        QCOMPARE(b->get.last().commentId, source.id);
        QCOMPARE(b->get.last().author.userName, source.authorName);
        QCOMPARE(b->get.last().postId, SeededPost);
        m_service->getPostComment(QStringLiteral("1"), SeededPost, StandinHarness::blogId());
        QVERIFY(QTest::qWaitFor([&] { return b->getError.calls() == 1; }, 10000));
        QCOMPARE(b->get.calls(), 1);
        QCOMPARE(b->getError.last().details, QStringLiteral("Not Found"));
    }

    void testAddSendsAtomEntryAndReadsCommentAsStored()
    {
        BloggerPostComment comment;
        comment.postId = SeededPost;
        comment.content = QStringLiteral("Tea & <scones> at \"four\"\nSee you");
        m_service->addPostComment(comment, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->add, b->addError));
        const BloggerPostComment added = b->add.last();

        const QList<LoggedRequest> posts = h->standin.requests("POST", feedPath(SeededPost));
        QCOMPARE(posts.size(), 1);
        QCOMPARE(StandinHarness::clientHeaderNames(posts[0]),
                 (QByteArrayList{"Content-Type", "GData-Version", "Authorization"}));
        QCOMPARE(posts[0].header("Content-Type"), QByteArray("application/atom+xml"));
        QVERIFY(posts[0].body.contains("Tea &amp; &lt;scones&gt; at &quot;four&quot;"));

        const StandinPost stored = h->standin.post(StandinHarness::blogId(), SeededPost).value();
        QCOMPARE(stored.comments.size(), 4);
        QCOMPARE(stored.comments.last().content, comment.content);
        QCOMPARE(added.commentId, stored.comments.last().id);
        QCOMPARE(added.content, comment.content);
        QCOMPARE(added.postId, SeededPost);
        QCOMPARE(added.blogId, StandinHarness::blogId());
        QCOMPARE(added.author.userName, QStringLiteral("Mara Quill"));
        // The entry names its author by profile address: the id is read from it.
        QCOMPARE(added.author.userId, QStringLiteral("07741234567812345678"));
        QVERIFY(added.publishDate.has_value());
    }

    void testAddRefusedByBloggerReportsItsReason()
    {
        BloggerPostComment empty;
        empty.postId = SeededPost;
        empty.content = QStringLiteral("   ");
        m_service->addPostComment(empty, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->addError.last().details, QStringLiteral("Comment content is required"));

        BloggerPostComment onDraft;
        onDraft.postId = firstDraftId(h->standin);
        QVERIFY(!onDraft.postId.isEmpty());
        onDraft.content = QStringLiteral("Early!");
        m_service->addPostComment(onDraft, StandinHarness::blogId());
        QVERIFY(QTest::qWaitFor([&] { return b->addError.calls() == 2; }, 10000));
        QCOMPARE(b->addError.last().details, QStringLiteral("Comments are not allowed on a draft post"));
        QCOMPARE(b->add.calls(), 0);
    }

    void testAddAnsweredWithErrorPageReportsItsTitle()
    {
        h->standin.addFault(StandinFault::Kind::HtmlErrorPage, feedPath(SeededPost));
        BloggerPostComment comment;
        comment.postId = SeededPost;
        comment.content = QStringLiteral("Hello");
        m_service->addPostComment(comment, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->add, b->addError));
        QCOMPARE(b->addError.last().details, QStringLiteral("Error 502 (Bad Gateway)!!1"));
    }

    void testDeleteRemovesCommentOnBlogger()
    {
        const QString commentId = h->standin.post(StandinHarness::blogId(), SeededPost)->comments[0].id;
        m_service->deletePostComment(commentId, SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QVERIFY(b->remove.last());
        const QList<LoggedRequest> deletes =
            h->standin.requests("DELETE", feedPath(SeededPost) + "/" + commentId.toUtf8());
        QCOMPARE(deletes.size(), 1);
        QVERIFY(!deletes[0].header("Authorization").isEmpty());
        QCOMPARE(h->standin.post(StandinHarness::blogId(), SeededPost)->comments.size(), 2);
    }

    void testDeleteOfMissingCommentIsAnError()
    {
        m_service->deletePostComment(QStringLiteral("12345"), SeededPost, StandinHarness::blogId());
        QVERIFY(waitForOneOf(b->remove, b->removeError));
        QCOMPARE(b->removeError.last().details, QStringLiteral("Comment not found"));
        QCOMPARE(h->standin.post(StandinHarness::blogId(), SeededPost)->comments.size(), 3);
    }

    void testAuthorIdFromProfileLink()
    {
        QCOMPARE(CommentsGoogleService::authorIdFromProfileLink("https://www.blogger.com/profile/0123"),
                 QStringLiteral("0123"));
        QCOMPARE(CommentsGoogleService::authorIdFromProfileLink("//www.blogger.com/profile/77/"),
                 QStringLiteral("77"));
        QCOMPARE(CommentsGoogleService::authorIdFromProfileLink("http://www.blogger.com/profile/"),
                 QString());
        QCOMPARE(CommentsGoogleService::authorIdFromProfileLink("https://example.com/about/me"), QString());
        QCOMPARE(CommentsGoogleService::authorIdFromProfileLink(""), QString());
    }
};

QTEST_GUILESS_MAIN(TestCommentsGoogleService)
#include "TestCommentsGoogleService.moc"

#include "BlockRecorder.h"
#include "HeldDatabaseLock.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "google/CommentsGoogleService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "services/CommentsRemotePersistenceAppService.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentServiceState.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"
#include "store/UserBlogsLocalAccessAppService.h"

#include <QtTest>

#include <atomic>

namespace {

const QString SeededPost = QStringLiteral("8816602137345629201"); // Ned, an anonymous reader, Iris
const QString QuietPost = QStringLiteral("8816602137321871862");  // no comments

struct Blocks
{
    BlockRecorder<bool> list;
    BlockRecorder<BloggerSuccessResponse> listError;
    BlockRecorder<BloggerPostComment> add;
    BlockRecorder<BloggerSuccessResponse> addError;
    BlockRecorder<bool> remove;
    BlockRecorder<BloggerSuccessResponse> removeError;

    int total() const
    {
        return list.calls() + listError.calls() + add.calls() + addError.calls() + remove.calls() +
               removeError.calls();
    }
};

bool waitForExactlyOne(const Blocks& blocks)
{
    if (!QTest::qWaitFor([&] { return blocks.total() > 0; }, 20000)) {
        return false;
    }
    return TestSupport::queuedWorkDone() && blocks.total() == 1;
}

StandinComment standinComment(const QString& id, const QString& authorId, const QString& name,
                              const QDateTime& published, const QString& content)
{
    StandinComment comment;
    comment.id = id;
    comment.authorId = authorId;
    comment.authorName = name;
    comment.published = comment.updated = published;
    comment.content = content;
    return comment;
}

QStringList ids(const QList<BloggerPostComment>& comments)
{
    QStringList list;
    for (const BloggerPostComment& comment : comments) {
        list.append(comment.commentId);
    }
    list.sort();
    return list;
}

QStringList standinIds(const GoogleStandin& standin, const QString& postId)
{
    QStringList list;
    const StandinPost post = standin.post(StandinHarness::blogId(), postId).value();
    for (const StandinComment& comment : post.comments) {
        list.append(comment.id);
    }
    list.sort();
    return list;
}

} // namespace

// Comments brought from the stand-in into the store, added and deleted on both.
class TestCommentsRemotePersistenceAppService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<Blocks> b;
    std::shared_ptr<CommentsRemotePersistenceAppService> m_service;

    void resetBlocks()
    {
        b = std::make_unique<Blocks>();
        Blocks* blocks = b.get();
        m_service->onListAndPersistAllPostCommentsSuccess = [blocks] { blocks->list.block()(true); };
        m_service->onListAndPersistAllPostCommentsError = blocks->listError.block();
        m_service->onAddPostCommentSuccess = blocks->add.block();
        m_service->onAddPostCommentError = blocks->addError.block();
        m_service->onDeletePostCommentSuccess = [blocks] { blocks->remove.block()(true); };
        m_service->onDeletePostCommentError = blocks->removeError.block();
    }

    bool download(const QString& postId)
    {
        resetBlocks();
        m_service->listAndPersistAllPostComments(postId, StandinHarness::blogId());
        return waitForExactlyOne(*b) && b->list.calls() == 1;
    }

    static QList<BloggerPostComment> stored(const QString& postId)
    {
        return CommentsLocalAccessAppService().listAllCommentsForPost(postId);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
        for (const QString& postId : {SeededPost, QuietPost}) {
            CommentsLocalAccessAppService().deleteAllCommentsForPostWithoutCascade(postId);
        }
        h = std::make_unique<StandinHarness>();
        m_service = CommentsRemotePersistenceAppService::create(h->auth);
        m_service->setTimeoutInterval(5);
        resetBlocks();
    }

    void cleanup()
    {
        m_service.reset();
        h.reset();
        b.reset();
    }

    void testDownloadStoresCommentsWithAuthorsAndMarksPostDownloaded()
    {
        QVERIFY(!PersistentServiceState().getCommentsDownloaded(SeededPost));
        QVERIFY(download(SeededPost));
        const QList<BloggerPostComment> comments = stored(SeededPost);
        QCOMPARE(ids(comments), standinIds(h->standin, SeededPost));
        // Newest first, as the store lists them.
        QCOMPARE(comments[0].author.userName, QStringLiteral("Iris Penwarden"));
        QCOMPARE(comments[2].author.userName, QStringLiteral("Ned Harrow"));
        QCOMPARE(comments[2].author.userId, QStringLiteral("11223344556677889900"));
        QVERIFY(comments[2].author.userPicture.endsWith("/img/ned-harrow.png"));
        QCOMPARE(comments[2].content, QStringLiteral("Lovely pictures &amp; words<br />Thanks!"));
        QVERIFY(PersistentServiceState().getCommentsDownloaded(SeededPost));
    }

    void testAnonymousAuthorsAreNotMergedIntoOneUser()
    {
        StandinPost post = h->standin.post(StandinHarness::blogId(), QuietPost).value();
        const QDateTime base = QDateTime::fromString("2016-02-01T10:00:00Z", Qt::ISODate);
        post.comments = {standinComment("610", QString(), "Anonymous", base, "First"),
                         standinComment("611", QString(), "A passer-by", base.addSecs(60), "Second"),
                         standinComment("612", QString(), "Anonymous", base.addSecs(120), "Third")};
        QVERIFY(h->standin.updatePost(StandinHarness::blogId(), post));
        QVERIFY(download(QuietPost));
        QHash<QString, QString> names;
        QSet<QString> authorIds;
        for (const BloggerPostComment& comment : stored(QuietPost)) {
            names.insert(comment.commentId, comment.author.userName);
            authorIds.insert(comment.author.userId);
        }
        QCOMPARE(names.value("611"), QStringLiteral("A passer-by"));
        QCOMPARE(names.value("610"), QStringLiteral("Anonymous"));
        QCOMPARE(authorIds.size(), 3);
        QVERIFY(!authorIds.contains(QString()));
        // No user row without an id was made.
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(QString()));
    }

    void testDownloadAgainAddsNewAndRemovesCommentsGoneFromBlogger()
    {
        QVERIFY(download(SeededPost));
        StandinPost post = h->standin.post(StandinHarness::blogId(), SeededPost).value();
        const QString anonymousId = post.comments[1].id;
        post.comments.removeAt(1);
        post.comments.append(standinComment("9001", "11223344556677889900", "Ned Harrow",
                                            QDateTime::currentDateTimeUtc(), "Back again"));
        post.comments[0].content = QStringLiteral("Lovely pictures (edited)");
        QVERIFY(h->standin.updatePost(StandinHarness::blogId(), post));

        QVERIFY(download(SeededPost));
        const QList<BloggerPostComment> comments = stored(SeededPost);
        QCOMPARE(ids(comments), standinIds(h->standin, SeededPost));
        QCOMPARE(comments.first().content, QStringLiteral("Back again"));
        QCOMPARE(comments.last().content, QStringLiteral("Lovely pictures (edited)"));
        // The removed anonymous comment took its own author row with it.
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(QStringLiteral("comment-author-") + anonymousId));
    }

    void testListingCutAtPageLimitRemovesNothing()
    {
        StandinPost post = h->standin.post(StandinHarness::blogId(), QuietPost).value();
        const QDateTime base = QDateTime::fromString("2016-03-01T10:00:00Z", Qt::ISODate);
        for (int i = 0; i < 205; ++i) {
            post.comments.append(standinComment(QStringLiteral("8%1").arg(i, 4, 10, QLatin1Char('0')), "42",
                                                "Reader", base.addSecs(60LL * i),
                                                QStringLiteral("n%1").arg(i)));
        }
        QVERIFY(h->standin.updatePost(StandinHarness::blogId(), post));
        QVERIFY(download(QuietPost));
        QCOMPARE(stored(QuietPost).size(), 200);

        // A comment stored earlier but past the listing's reach must stay.
        BloggerPostComment older;
        older.blogId = StandinHarness::blogId();
        older.postId = QuietPost;
        older.commentId = QStringLiteral("80204");
        older.author = BloggerUser("42", "Reader", "", "");
        older.content = QStringLiteral("n204");
        CommentsLocalAccessAppService().addOrUpdatePostComment(older);
        QVERIFY(download(QuietPost));
        QCOMPARE(stored(QuietPost).size(), 201);
    }

    void testFailedDownloadKeepsStoreAndBookkeeping()
    {
        QVERIFY(download(SeededPost));
        const QList<BloggerPostComment> before = stored(SeededPost);
        PersistentServiceState().setCommentsDownloaded(QuietPost, false);
        h->standin.addFault(StandinFault::Kind::ErrorObject, "/blogger/v3/");
        resetBlocks();
        m_service->listAndPersistAllPostComments(SeededPost, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->listError.calls(), 1);
        QCOMPARE(b->listError.last().details, QStringLiteral("Backend Error"));
        QCOMPARE(stored(SeededPost), before);

        resetBlocks();
        m_service->listAndPersistAllPostComments(QuietPost, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QVERIFY(!PersistentServiceState().getCommentsDownloaded(QuietPost));
    }

    void testDownloadThatCannotBeStoredSaysNothingWasStored()
    {
        QVERIFY(download(SeededPost));
        const QList<BloggerPostComment> before = stored(SeededPost);
        PersistentServiceState().setCommentsDownloaded(QuietPost, false);
        StandinPost post = h->standin.post(StandinHarness::blogId(), SeededPost).value();
        post.comments.removeFirst();
        QVERIFY(h->standin.updatePost(StandinHarness::blogId(), post));
        SQLiteDB::sharedInstance().setBusyTimeout(50);
        {
            // Another process writes to the database for longer than the busy time-out.
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            resetBlocks();
            m_service->listAndPersistAllPostComments(SeededPost, StandinHarness::blogId());
            QVERIFY(waitForExactlyOne(*b));
            QCOMPARE(b->listError.calls(), 1);
            QVERIFY2(b->listError.last().details.startsWith("Nothing was stored: "),
                     qPrintable(b->listError.last().details));
        }
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
        QCOMPARE(stored(SeededPost), before);
    }

    void testAddThatCannotBeStoredStillSucceedsAndAsksForDownload()
    {
        QVERIFY(download(SeededPost));
        QVERIFY(PersistentServiceState().getCommentsDownloaded(SeededPost));
        SQLiteDB::sharedInstance().setBusyTimeout(50);
        {
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            resetBlocks();
            BloggerPostComment comment;
            comment.postId = SeededPost;
            comment.content = QStringLiteral("Stored on Blogger only");
            m_service->addPostComment(comment, StandinHarness::blogId());
            QVERIFY(waitForExactlyOne(*b));
            // Blogger has it: adding it again would make two.
            QCOMPARE(b->add.calls(), 1);
        }
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
        QCOMPARE(standinIds(h->standin, SeededPost).size(), 4);
        QVERIFY(!PersistentServiceState().getCommentsDownloaded(SeededPost));
        QVERIFY(download(SeededPost));
        QCOMPARE(stored(SeededPost).size(), 4);
    }

    void testStoreWaitingOnBusyDatabaseHoldsUpNoRequest()
    {
        // Longer than the test waits: a request held up by the store would time the test out.
        SQLiteDB::sharedInstance().setBusyTimeout(120000);
        {
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            resetBlocks();
            m_service->listAndPersistAllPostComments(SeededPost, StandinHarness::blogId());
            const QByteArray path = "/blogger/v3/blogs/" + StandinHarness::blogId().toUtf8() + "/posts/" +
                                    SeededPost.toUtf8() + "/comments";
            QVERIFY2(QTest::qWaitFor([&] { return !h->standin.requests("GET", path).isEmpty(); }, 20000),
                     "the stand-in was not asked for the comments");

            auto listed = std::make_shared<std::atomic<bool>>(false);
            std::shared_ptr<CommentsGoogleService> web = CommentsGoogleService::create(h->auth);
            web->onListPostCommentsBlockSuccess = [listed](const QList<BloggerPostComment>&) {
                *listed = true;
            };
            web->listPostComments(QuietPost, StandinHarness::blogId());
            QVERIFY2(QTest::qWaitFor([&] { return listed->load(); }, 20000),
                     "a request waited for a store write on the busy database");
            QCOMPARE(b->total(), 0);
            other.release();
            QVERIFY(waitForExactlyOne(*b));
            QCOMPARE(b->list.calls(), 1);
        }
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
        QCOMPARE(stored(SeededPost).size(), 3);
    }

    void testRefusedCredentialsComeWithAdvice()
    {
        h->standin.expireAllAccessTokens();
        h->standin.revokeAllRefreshTokens();
        m_service->listAndPersistAllPostComments(SeededPost, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        const QString details = b->listError.last().details;
        QVERIFY2(details.endsWith(GoogleResponseAnalysisService::reauthentificationAdvice()),
                 qPrintable(details));
    }

    void testAddStoresCommentAsBloggerAnsweredIt()
    {
        BloggerPostComment comment;
        comment.postId = SeededPost;
        comment.content = QStringLiteral("Written <here> & now");
        m_service->addPostComment(comment, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->add.calls(), 1);
        const BloggerPostComment added = b->add.last();
        QVERIFY(!added.commentId.isEmpty());
        QCOMPARE(added.content, comment.content);
        QCOMPARE(added.author.userName, QStringLiteral("Mara Quill"));
        QCOMPARE(stored(SeededPost).size(), 1);
        QCOMPARE(stored(SeededPost).first().commentId, added.commentId);
        QCOMPARE(standinIds(h->standin, SeededPost).size(), 4);

        // The later download finds the same comment: no second row.
        QVERIFY(download(SeededPost));
        QCOMPARE(stored(SeededPost).size(), 4);
    }

    void testFailedAddStoresNothing()
    {
        BloggerPostComment comment;
        comment.postId = SeededPost;
        comment.content = QString();
        m_service->addPostComment(comment, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->addError.last().details, QStringLiteral("Comment content is required"));
        QVERIFY(stored(SeededPost).isEmpty());
    }

    void testDeleteRemovesCommentOnBloggerAndInStore()
    {
        QVERIFY(download(SeededPost));
        const QString commentId = stored(SeededPost).first().commentId;
        resetBlocks();
        m_service->deletePostComment(commentId, SeededPost, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->remove.calls(), 1);
        QVERIFY(!standinIds(h->standin, SeededPost).contains(commentId));
        QVERIFY(!ids(stored(SeededPost)).contains(commentId));
        QCOMPARE(stored(SeededPost).size(), 2);
    }

    void testFailedDeleteKeepsStoredComment()
    {
        QVERIFY(download(SeededPost));
        const QString commentId = stored(SeededPost).first().commentId;
        h->standin.addFault(StandinFault::Kind::NoReply, "/feeds/");
        resetBlocks();
        m_service->deletePostComment(commentId, SeededPost, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->removeError.calls(), 1);
        QVERIFY(ids(stored(SeededPost)).contains(commentId));
    }
};

QTEST_GUILESS_MAIN(TestCommentsRemotePersistenceAppService)
#include "TestCommentsRemotePersistenceAppService.moc"

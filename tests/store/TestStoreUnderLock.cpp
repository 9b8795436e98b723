#include "HeldDatabaseLock.h"
#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "store/CommentsLocalAccessAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/PostsSQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"

#include <QTest>

#include <chrono>

using TestSupport::StdoutCapture;

namespace {

constexpr int ShortBusyTimeout = 100;

BloggerPost makePost(const QString& postId, const QString& title)
{
    return BloggerPost("b1", postId, std::nullopt, std::nullopt, title, "<p>" + title + "</p>", "", {}, 0,
                       "http://blog.example/" + postId, PostStatus::Published, "0");
}

BloggerPostComment makeComment(const QString& postId, const QString& commentId, const QString& content)
{
    return BloggerPostComment("b1", postId, commentId, BloggerUser("u1", "Ann", "#", "#"), std::nullopt,
                              content);
}

} // namespace

// Another connection holding the database lock longer than the busy time-out: no composed store
// operation may run outside its transaction, take a failed read for "absent", or report success.
class TestStoreUnderLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testTransactionThatCannotBeginRunsNothing()
    {
        StoreTestDatabase store;
        store.db().setBusyTimeout(ShortBusyTimeout);
        HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Write);
        QVERIFY(other.isHeld());
        StdoutCapture capture;
        bool ran = false;
        QVERIFY(!store.db().transaction([&] { ran = true; }));
        QVERIFY(!ran);
        QVERIFY(capture.text().startsWith("SQLiteDB - failed to execute SQL: BEGIN IMMEDIATE, Error: "));
    }

    void testFailedStatementRollsBackTheWholeTransaction()
    {
        StoreTestDatabase store;
        StdoutCapture capture;
        const bool committed = store.db().transaction([&] {
            store.db().execute("INSERT INTO USERS VALUES (NULL, 'kept?', '', '', '')");
            store.db().execute("INSERT INTO NOWHERE VALUES (1)");
        });
        QVERIFY(!committed);
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 0);
    }

    void testNestedFailureRollsBackTheOuterTransaction()
    {
        StoreTestDatabase store;
        const bool committed = store.db().transaction([&] {
            store.db().execute("INSERT INTO USERS VALUES (NULL, 'outer', '', '', '')");
            store.db().transaction([] { return false; });
        });
        QVERIFY(!committed);
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 0);
    }

    // The lock outlives the time-out of BEGIN and of the look-up, and is gone by the insert: a look-up
    // read as "absent" would insert the post a second time.
    void testLockHeldPastTwoTimeoutsNeitherDuplicatesNorLosesThePost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        QVERIFY(service.addOrUpdatePost(makePost("p1", "old")));
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Exclusive);
            QVERIFY(other.isHeld());
            other.releaseAfter(std::chrono::milliseconds(ShortBusyTimeout * 5 / 2));
            StdoutCapture capture;
            bool ok = true;
            QVERIFY(!service.addOrUpdatePost(makePost("p1", "new"), &ok));
            QVERIFY(!ok);
        }
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS WHERE PostId = 'p1'"), 1);
        QCOMPARE(service.getPost("p1")->title, QString("old"));
        // Once the lock is gone the same call stores the update.
        bool ok = false;
        QVERIFY(!service.addOrUpdatePost(makePost("p1", "new"), &ok));
        QVERIFY(ok);
        QCOMPARE(service.getPost("p1")->title, QString("new"));
    }

    void testFailedLookUpIsNotTakenForAbsent()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        QVERIFY(posts.addBlogPostIfNotExists(makePost("p1", "old")));
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Exclusive);
            QVERIFY(other.isHeld());
            StdoutCapture capture;
            bool ok = true;
            QVERIFY(!posts.addBlogPostIfNotExists(makePost("p1", "new"), &ok));
            QVERIFY(!ok);
            // The insert was never tried: only the look-up failed.
            QVERIFY(!capture.text().contains("INSERT"));
            QVERIFY(!posts.getBlogPost("p1", &ok));
            QVERIFY(!ok);
        }
        bool ok = false;
        QVERIFY(posts.getBlogPost("p1", &ok));
        QVERIFY(ok);
    }

    void testNewPostUnderWriteLockIsNotReportedStored()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            StdoutCapture capture;
            bool ok = true;
            QVERIFY(!service.addOrUpdatePost(makePost("p1", "new"), &ok));
            QVERIFY(!ok);
        }
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 0);
    }

    void testBatchUnderLockStoresNothingAndSaysSo()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            StdoutCapture capture;
            bool ok = true;
            QVERIFY(service.addOrUpdatePosts({makePost("p1", "a"), makePost("p2", "b")}, &ok).isEmpty());
            QVERIFY(!ok);
        }
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 0);
    }

    void testBatchWithOneFailingPostStoresNone()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("p0", "before"));
        store.db().execute("CREATE TRIGGER refuse BEFORE INSERT ON POSTS WHEN NEW.PostId = 'bad' "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        StdoutCapture capture;
        bool ok = true;
        const QList<bool> answers = service.addOrUpdatePosts(
            {makePost("p0", "after"), makePost("p1", "a"), makePost("bad", "b"), makePost("p2", "c")}, &ok);
        QVERIFY(!ok);
        QVERIFY(answers.isEmpty());
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        QCOMPARE(service.getPost("p0")->title, QString("before"));
    }

    void testStatusChangeAndCascadesUnderLockReportFailure()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService posts(store.db());
        CommentsLocalAccessAppService comments(store.db());
        UserBlogsLocalAccessAppService accounts(store.db());
        accounts.addOrUpdateUser(BloggerUser("u1", "Ann", "#", "#"));
        accounts.addOrUpdateBlog(BloggerBlog("b1", "u1", "Blog", "http://blog.example", "LIVE"));
        posts.addOrUpdatePost(makePost("p1", "T"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1", "hello"));
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            StdoutCapture capture;
            QVERIFY(!posts.updatePostStatus("p1", PostStatus::Draft));
            QVERIFY(!posts.deleteBlogPost("p1", true));
            QVERIFY(!posts.deleteAllPostsForBlogWithoutCascade("b1"));
            QVERIFY(!comments.deleteAllCommentsForPostWithoutCascade("p1"));
            QVERIFY(!accounts.deleteBlog("b1", true));
            QVERIFY(!accounts.deleteUser("u1", true));
            bool ok = true;
            QVERIFY(!comments.addOrUpdatePostComment(makeComment("p1", "c2", "new"), &ok));
            QVERIFY(!ok);
            ok = true;
            QVERIFY(!accounts.addOrUpdateUser(BloggerUser("u2", "Bo", "#", "#"), &ok));
            QVERIFY(!ok);
            ok = true;
            QVERIFY(!accounts.addOrUpdateBlog(BloggerBlog("b2", "u1", "Other", "#", "LIVE"), &ok));
            QVERIFY(!ok);
            QVERIFY(!accounts.addOrUpdateUserAndBlogs(BloggerUser("u2", "Bo", "#", "#"),
                                                      {BloggerBlog("b2", "u2", "Other", "#", "LIVE")}));
            ok = true;
            posts.storeDownloadedPosts({makePost("p2", "listed")}, &ok);
            QVERIFY(!ok);
            QVERIFY(!posts.removeDeletedPost("p1"));
            QVERIFY(!comments.storeListedComments("p1", {makeComment("p1", "c2", "new")}, true));
            QVERIFY(!comments.storeAddedComment(makeComment("p1", "c2", "new")));
            QVERIFY(!comments.removeComment("c1", "p1"));
        }
        QCOMPARE(posts.getPost("p1")->postStatus, PostStatus::Published);
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        QCOMPARE(store.count("SELECT COUNT(*) FROM COMMENTS"), 1);
        QCOMPARE(store.count("SELECT COUNT(*) FROM BLOGS"), 1);
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 1);
    }

    void testLocalSaveUnderLockStoresNothingAndSaysSo()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("p1", "published"));
        const std::optional<BloggerPost> published = service.getPost("p1");
        store.db().setBusyTimeout(ShortBusyTimeout);
        {
            HeldDatabaseLock other(store.path(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            StdoutCapture capture;
            for (const std::optional<BloggerPost>& original : {std::optional<BloggerPost>(), published}) {
                bool ok = true;
                service.keepPostLocally(makePost("", "edited"), original,
                                        PublishedToOfflineUpdateType::SyncedCopy, &ok);
                QVERIFY(!ok);
            }
        }
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
    }

    void testPublishedPostThatCannotBeStoredKeepsTheOfflinePost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        BloggerPost local = makePost("local-1", "offline");
        local.postStatus = PostStatus::Offline;
        service.addOrUpdatePost(local);
        BloggerPost record = makePost("REC-1", "offline");
        record.postStatus = PostStatus::Autosaved;
        service.addOrUpdatePost(record);
        // The replaced post is removed before the published one is written: the refusal comes after it.
        store.db().execute("CREATE TRIGGER refuse BEFORE INSERT ON POSTS WHEN NEW.PostId = 'p9' "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        StdoutCapture capture;
        QVERIFY(!service.storePublishedPost(makePost("p9", "offline"), "local-1", "REC-1"));
        QCOMPARE(service.getPost("local-1")->postStatus, PostStatus::Offline);
        QCOMPARE(service.getPost("REC-1")->offlineForPostWithId, QString("0"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 2);
    }

    void testCascadeWhoseSecondStepFailsKeepsTheFirst()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService posts(store.db());
        CommentsLocalAccessAppService comments(store.db());
        posts.addOrUpdatePost(makePost("p1", "T"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1", "hello"));
        store.db().execute("CREATE TRIGGER refuse BEFORE DELETE ON COMMENTS "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        StdoutCapture capture;
        QVERIFY(!posts.deleteBlogPost("p1", true));
        QVERIFY(posts.getPost("p1"));
        QVERIFY(posts.deleteBlogPost("p1", false));
        QVERIFY(!posts.getPost("p1"));
    }
};

QTEST_GUILESS_MAIN(TestStoreUnderLock)
#include "TestStoreUnderLock.moc"

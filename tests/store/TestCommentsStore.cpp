#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/CommentsSQLAccess.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UsersSQLAccess.h"

#include <QTest>

namespace {

BloggerPostComment makeComment(const QString& postId, const QString& commentId, const BloggerUser& author,
                               std::optional<QDateTime> date, const QString& content = "text")
{
    return BloggerPostComment("b1", postId, commentId, author, date, content);
}

QStringList commentIds(const QList<BloggerPostComment>& comments)
{
    QStringList ids;
    for (const BloggerPostComment& comment : comments) {
        ids << comment.commentId;
    }
    return ids;
}

const BloggerUser ann("u1", "Ann", "http://ann", "http://ann/pic");

} // namespace

class TestCommentsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testPostWithoutCommentsAndUnknownComment()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        QVERIFY(comments.listPostComments("p1").isEmpty());
        QVERIFY(!comments.getPostComment("c1"));
    }

    void testNewestFirstAndUndatedLast()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        const GoogleDateService dates;
        comments.addPostCommentIfNotExists(
            makeComment("p1", "c7", ann, dates.parseDate("2015-03-07T10:05:00.000+01:00")));
        comments.addPostCommentIfNotExists(makeComment("p1", "none", ann, std::nullopt));
        comments.addPostCommentIfNotExists(
            makeComment("p1", "c8", ann, dates.parseDate("2015-03-08T09:00:00.000+01:00")));
        comments.addPostCommentIfNotExists(makeComment("p2", "other", ann, std::nullopt));
        const QList<BloggerPostComment> list = comments.listPostComments("p1");
        QCOMPARE(commentIds(list), QStringList({"c8", "c7", "none"}));
        QVERIFY(!list.at(2).publishDate);
        QCOMPARE(list.at(0).publishDate->toMSecsSinceEpoch(),
                 dates.parseDate("2015-03-08T09:00:00.000+01:00")->toMSecsSinceEpoch());
    }

    void testAuthorWithoutUserRowReadsEmptyUntilStored()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        comments.addPostCommentIfNotExists(makeComment("p1", "c1", ann, std::nullopt));
        QCOMPARE(comments.getPostComment("c1")->author, BloggerUser());
        UsersSQLAccess(store.db()).addUserIfNotExists(ann);
        QCOMPARE(comments.getPostComment("c1")->author, ann);
        QCOMPARE(comments.listPostComments("p1").first().author, ann);
    }

    void testSentimentScoreAlwaysReadsZero()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        BloggerPostComment comment = makeComment("p1", "c1", ann, std::nullopt);
        comment.sentimentScore = 5;
        comments.addPostCommentIfNotExists(comment);
        QCOMPARE(store.count("SELECT SentimentScore FROM COMMENTS"), 0);
        comment.sentimentScore = 9;
        comments.updatePostComment(comment);
        QCOMPARE(store.count("SELECT SentimentScore FROM COMMENTS"), 9);
        QCOMPARE(comments.getPostComment("c1")->sentimentScore, 0);
    }

    void testAddIfAbsentKeepsStoredComment()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        const QDateTime date(QDate(2015, 3, 7), QTime(10, 5), Qt::LocalTime);
        QVERIFY(comments.addPostCommentIfNotExists(makeComment("p1", "c1", ann, date, "first")));
        QVERIFY(!comments.addPostCommentIfNotExists(makeComment("p1", "c1", ann, std::nullopt, "second")));
        const BloggerPostComment read = *comments.getPostComment("c1");
        QCOMPARE(read.content, QString("first"));
        QCOMPARE(read.publishDate->toMSecsSinceEpoch(), date.toMSecsSinceEpoch());
    }

    void testUpdateKeepsPostAndAuthor()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        UsersSQLAccess(store.db()).addUserIfNotExists(ann);
        comments.addPostCommentIfNotExists(makeComment("p1", "c1", ann, std::nullopt));
        comments.updatePostComment(
            makeComment("p2", "c1", BloggerUser("u2", "Bob", "#", "#"), std::nullopt, "new"));
        const BloggerPostComment read = *comments.getPostComment("c1");
        QCOMPARE(read.postId, QString("p1"));
        QCOMPARE(read.author, ann);
        QCOMPARE(read.content, QString("new"));
    }

    void testTwoUserRowsForAuthorListCommentTwice()
    {
        StoreTestDatabase store;
        CommentsSQLAccess comments(store.db());
        store.db().query("INSERT INTO USERS VALUES (NULL, 'u1', 'Ann', '#', '#')");
        store.db().query("INSERT INTO USERS VALUES (NULL, 'u1', 'Ann again', '#', '#')");
        comments.addPostCommentIfNotExists(makeComment("p1", "c1", ann, std::nullopt));
        QCOMPARE(comments.listPostComments("p1").size(), 2);
    }

    void testQuotesAndNulInContent()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        const QString content = QString("It's \"quoted\"'); --") + QChar(0) + "tail";
        service.addOrUpdatePostComment(
            makeComment("p'1", "c'1", BloggerUser("u'1", "O'Neil", "#", "#"), std::nullopt, content));
        const BloggerPostComment read = service.listAllCommentsForPost("p'1").first();
        QCOMPARE(read.content, content);
        QCOMPARE(read.author.userName, QString("O'Neil"));
    }

    void testNewCommentByNewAuthorStoresBoth()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        QVERIFY(service.addOrUpdatePostComment(makeComment("p1", "c1", ann, std::nullopt)));
        QCOMPARE(service.listAllCommentsForPost("p1").first().author.userName, QString("Ann"));
        QVERIFY(UsersSQLAccess(store.db()).getUser("u1"));
    }

    void testStoringAgainUpdatesContentButNotAuthor()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        service.addOrUpdatePostComment(makeComment("p1", "c1", ann, std::nullopt, "first"));
        BloggerUser renamed = ann;
        renamed.userName = "Annie";
        QVERIFY(!service.addOrUpdatePostComment(makeComment("p1", "c1", renamed, std::nullopt, "second")));
        const BloggerPostComment read = service.listAllCommentsForPost("p1").first();
        QCOMPARE(read.content, QString("second"));
        QCOMPARE(read.author.userName, QString("Ann"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM COMMENTS"), 1);
    }

    void testDeleteAllOfPostKeepsOtherPostsAndAuthors()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        for (const char* id : {"c1", "c2", "c3"}) {
            service.addOrUpdatePostComment(makeComment("p1", id, ann, std::nullopt));
        }
        service.addOrUpdatePostComment(makeComment("p2", "c4", ann, std::nullopt));
        service.deleteAllCommentsForPostWithoutCascade("p1");
        QVERIFY(service.listAllCommentsForPost("p1").isEmpty());
        QCOMPARE(commentIds(service.listAllCommentsForPost("p2")), QStringList({"c4"}));
        QCOMPARE(UsersSQLAccess(store.db()).listUsers().size(), 1);
    }

    void testDeleteUnknownCommentChangesNothing()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        service.addOrUpdatePostComment(makeComment("p1", "c1", ann, std::nullopt));
        service.deletePostComment("c9");
        QCOMPARE(service.listAllCommentsForPost("p1").size(), 1);
        service.deletePostComment("c1");
        QVERIFY(service.listAllCommentsForPost("p1").isEmpty());
        QVERIFY(UsersSQLAccess(store.db()).getUser("u1"));
    }

    void testCommentCountOfThePublishedRowFollowsItsComments()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        posts.addOrUpdatePost(BloggerPost("b1", "p1", std::nullopt, std::nullopt, "T", "c", "", {}, 7, "#",
                                          PostStatus::Published, "0"));
        // A row kept on this computer under the same id keeps its own count.
        store.db().query("INSERT INTO POSTS (BlogId, PostId, CommentsCount, PostStatus, PostArea) "
                         "VALUES ('b1', 'p1', 5, 'Offline', 'Offline')");
        const auto counts = [&] {
            QList<qint64> result;
            for (const SQLRow& row : store.db().query("SELECT CommentsCount FROM POSTS ORDER BY Id")) {
                result << row["CommentsCount"]->asInt();
            }
            return result;
        };
        const BloggerUser anonymous("", "Anonymous", "", "");
        QVERIFY(service.storeListedComments(
            "p1",
            {makeComment("p1", "c1", ann, std::nullopt), makeComment("p1", "c2", anonymous, std::nullopt)},
            true));
        QCOMPARE(counts(), QList<qint64>({2, 5}));
        QVERIFY(UsersSQLAccess(store.db()).getUser("comment-author-c2"));
        QVERIFY(service.storeAddedComment(makeComment("p1", "c3", anonymous, std::nullopt)));
        QVERIFY(service.storeAddedComment(makeComment("p1", "c3", anonymous, std::nullopt, "again")));
        QCOMPARE(counts(), QList<qint64>({3, 5}));
        QVERIFY(service.removeComment("c2", "p1"));
        QCOMPARE(counts(), QList<qint64>({2, 5}));
        QVERIFY(!UsersSQLAccess(store.db()).getUser("comment-author-c2"));
        QVERIFY(UsersSQLAccess(store.db()).getUser("comment-author-c3"));
        // A listing without c3 that reached the last comment removes it, with its own author.
        QVERIFY(service.storeListedComments("p1", {makeComment("p1", "c1", ann, std::nullopt)}, true));
        QCOMPARE(counts(), QList<qint64>({1, 5}));
        QCOMPARE(commentIds(service.listAllCommentsForPost("p1")), QStringList({"c1"}));
        QVERIFY(!UsersSQLAccess(store.db()).getUser("comment-author-c3"));
        QVERIFY(UsersSQLAccess(store.db()).getUser("u1"));
    }

    void testListingNamingAnotherPostsCommentLeavesItAndCountsOnlyItsOwn()
    {
        StoreTestDatabase store;
        CommentsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        for (const QString& id : {QStringLiteral("p1"), QStringLiteral("p2")}) {
            posts.addOrUpdatePost(BloggerPost("b1", id, std::nullopt, std::nullopt, "T", "c", "", {}, 0, "#",
                                              PostStatus::Published, "0"));
        }
        QVERIFY(
            service.storeListedComments("p1", {makeComment("p1", "c1", ann, std::nullopt, "mine")}, true));
        // p2's listing names p1's comment under p2, and a comment that says it is p1's.
        QVERIFY(service.storeListedComments("p2",
                                            {makeComment("p2", "c1", ann, std::nullopt, "forged"),
                                             makeComment("p1", "c9", ann, std::nullopt),
                                             makeComment("p2", "c2", ann, std::nullopt)},
                                            true));
        const std::optional<BloggerPostComment> kept = service.getPostComment("c1");
        QVERIFY(kept);
        QCOMPARE(kept->postId, QString("p1"));
        QCOMPARE(kept->content, QString("mine"));
        QVERIFY(!service.getPostComment("c9"));
        QCOMPARE(commentIds(service.listAllCommentsForPost("p2")), QStringList({"c2"}));
        QCOMPARE(posts.getPost("p1")->commentsCount, std::int64_t(1));
        QCOMPARE(posts.getPost("p2")->commentsCount, std::int64_t(1));
    }

    void testUnreadableStoredDateGivesNoDate()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO COMMENTS VALUES (NULL, 'b1', 'p1', 'c1', 'u1', 'yesterday', 'x', 0)");
        QVERIFY(!CommentsSQLAccess(store.db()).getPostComment("c1")->publishDate);
    }
};

QTEST_GUILESS_MAIN(TestCommentsStore)
#include "TestCommentsStore.moc"

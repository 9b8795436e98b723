#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "store/BlogsSQLAccess.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "store/UsersSQLAccess.h"

#include <QTest>

using TestSupport::StdoutCapture;

namespace {

BloggerPost makePost(const QString& blogId, const QString& postId)
{
    return BloggerPost(blogId, postId, std::nullopt, std::nullopt, "T " + postId, "<p>c</p>", "", {}, 0, "u",
                       PostStatus::Published, "0");
}

BloggerPostComment makeComment(const QString& postId, const QString& commentId, const BloggerUser& author)
{
    return BloggerPostComment("b", postId, commentId, author,
                              QDateTime(QDate(2015, 3, 7), QTime(10, 5), Qt::LocalTime), "text");
}

QStringList blogIds(const QList<BloggerBlog>& blogs)
{
    QStringList ids;
    for (const BloggerBlog& blog : blogs) {
        ids << blog.blogId;
    }
    return ids;
}

} // namespace

class TestUserBlogsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testUnknownUserAndEmptyTable()
    {
        StoreTestDatabase store;
        UsersSQLAccess users(store.db());
        QVERIFY(!users.getUser("nobody"));
        QVERIFY(users.listUsers().isEmpty());
    }

    void testAddUserIfAbsentKeepsStoredRow()
    {
        StoreTestDatabase store;
        UsersSQLAccess users(store.db());
        const BloggerUser ann("u1", "Ann O'Neil", "http://ann", "http://ann/pic");
        QVERIFY(users.addUserIfNotExists(ann));
        QCOMPARE(*users.getUser("u1"), ann);
        QVERIFY(!users.addUserIfNotExists(BloggerUser("u1", "Changed", "x", "y")));
        QCOMPARE(*users.getUser("u1"), ann);
    }

    void testNullUserColumnsReadAsDefaults()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO USERS (UserId) VALUES ('u1')");
        QCOMPARE(*UsersSQLAccess(store.db()).getUser("u1"), BloggerUser("u1", "", "#", "#"));
    }

    void testUpdateOfUnknownUserAddsNothing()
    {
        StoreTestDatabase store;
        UsersSQLAccess users(store.db());
        users.updateUser(BloggerUser("u1", "n", "l", "p"));
        QVERIFY(users.listUsers().isEmpty());
    }

    void testDuplicateUserRowsAreBothUpdatedAndDeleted()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO USERS VALUES (NULL, 'u1', 'first', '', '')");
        store.db().query("INSERT INTO USERS VALUES (NULL, 'u1', 'second', '', '')");
        UsersSQLAccess users(store.db());
        QCOMPARE(users.getUser("u1")->userName, QString("first"));
        users.updateUser(BloggerUser("u1", "both", "", ""));
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS WHERE UserName = 'both'"), 2);
        users.deleteUser("u1");
        QVERIFY(users.listUsers().isEmpty());
    }

    void testUnknownBlogAndAccountWithoutBlogs()
    {
        StoreTestDatabase store;
        BlogsSQLAccess blogs(store.db());
        QVERIFY(!blogs.getBlog("nothing"));
        QVERIFY(blogs.listBlogsForUser("u1").isEmpty());
    }

    void testAddBlogIfAbsentThenUpdateTakesNewValues()
    {
        StoreTestDatabase store;
        BlogsSQLAccess blogs(store.db());
        const BloggerBlog blog("b1", "u1", "Blog's name", "http://b1", "LIVE");
        QVERIFY(blogs.addBlogIfNotExists(blog));
        const BloggerBlog changed("b1", "u2", "New", "http://new", "DELETED");
        QVERIFY(!blogs.addBlogIfNotExists(changed));
        QCOMPARE(*blogs.getBlog("b1"), blog);
        blogs.updateBlog(changed);
        QCOMPARE(*blogs.getBlog("b1"), changed);
    }

    void testNullBlogColumnsReadAsDefaults()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO BLOGS (BlogId, UserId) VALUES ('b1', 'u1')");
        QCOMPARE(*BlogsSQLAccess(store.db()).getBlog("b1"), BloggerBlog("b1", "u1", "", "#", ""));
    }

    void testAddOrUpdateUserAnswers()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        QVERIFY(service.addOrUpdateUser(BloggerUser("u1", "Ann", "l", "p")));
        QVERIFY(!service.addOrUpdateUser(BloggerUser("u1", "Anne", "l2", "p2")));
        QCOMPARE(*service.getUser("u1"), BloggerUser("u1", "Anne", "l2", "p2"));
        QCOMPARE(service.listUsers().size(), 1);
    }

    void testAddOrUpdateBlogMovesItToAnotherAccount()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        QVERIFY(service.addOrUpdateBlog(BloggerBlog("b1", "u1", "n", "url", "LIVE")));
        QVERIFY(!service.addOrUpdateBlog(BloggerBlog("b1", "u2", "n", "url", "LIVE")));
        QVERIFY(service.listAllBlogsForUser("u1").isEmpty());
        QCOMPARE(blogIds(service.listAllBlogsForUser("u2")), QStringList({"b1"}));
    }

    void testDeleteBlogWithoutCascadeKeepsPosts()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        service.addOrUpdateBlog(BloggerBlog("b1", "u1", "n", "url", "LIVE"));
        posts.addOrUpdatePost(makePost("b1", "p1"));
        service.deleteBlog("b1", false);
        QVERIFY(service.listAllBlogsForUser("u1").isEmpty());
        QCOMPARE(posts.listAllPostsforBlog("b1").size(), 1);
    }

    void testDeleteBlogWithCascadeRemovesPostsKeepsComments()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdateBlog(BloggerBlog("b1", "u1", "n", "url", "LIVE"));
        posts.addOrUpdatePost(makePost("b1", "p1"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1", BloggerUser("a1", "Author", "#", "#")));
        service.deleteBlog("b1", true);
        QVERIFY(posts.listAllPostsforBlog("b1").isEmpty());
        QCOMPARE(comments.listAllCommentsForPost("p1").size(), 1);
    }

    void testDeleteAccountWithCascadeRemovesItsBlogsAndPostsOnly()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        CommentsLocalAccessAppService comments(store.db());
        const BloggerUser author("a1", "Author", "#", "#");
        service.addOrUpdateUser(BloggerUser("u1", "Ann", "l", "p"));
        service.addOrUpdateUser(BloggerUser("u2", "Bob", "l", "p"));
        service.addOrUpdateBlog(BloggerBlog("b1", "u1", "one", "url", "LIVE"));
        service.addOrUpdateBlog(BloggerBlog("b2", "u1", "two", "url", "LIVE"));
        service.addOrUpdateBlog(BloggerBlog("b3", "u2", "three", "url", "LIVE"));
        posts.addOrUpdatePost(makePost("b1", "p1"));
        posts.addOrUpdatePost(makePost("b2", "p2"));
        posts.addOrUpdatePost(makePost("b3", "p3"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1", author));
        comments.addOrUpdatePostComment(makeComment("p2", "c2", author));

        service.deleteUser("u1", true);

        QVERIFY(!service.getUser("u1"));
        QVERIFY(service.listAllBlogsForUser("u1").isEmpty());
        QVERIFY(posts.listAllPostsforBlog("b1").isEmpty());
        QVERIFY(posts.listAllPostsforBlog("b2").isEmpty());
        QCOMPARE(blogIds(service.listAllBlogsForUser("u2")), QStringList({"b3"}));
        QCOMPARE(posts.listAllPostsforBlog("b3").size(), 1);
        QCOMPARE(comments.listAllCommentsForPost("p1").size(), 1);
        QCOMPARE(comments.listAllCommentsForPost("p2").first().author.userName, QString("Author"));
        QVERIFY(service.getUser("a1"));
    }

    void testDeleteAccountWithoutCascadeKeepsBlogs()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        service.addOrUpdateUser(BloggerUser("u1", "Ann", "l", "p"));
        service.addOrUpdateBlog(BloggerBlog("b1", "u1", "one", "url", "LIVE"));
        service.deleteUser("u1", false);
        QVERIFY(!service.getUser("u1"));
        QCOMPARE(blogIds(service.listAllBlogsForUser("u1")), QStringList({"b1"}));
    }

    void testCascadeRunsForAccountWithoutUserRow()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        PostsLocalAccessAppService posts(store.db());
        service.addOrUpdateBlog(BloggerBlog("b1", "ghost", "one", "url", "LIVE"));
        posts.addOrUpdatePost(makePost("b1", "p1"));
        service.deleteUser("ghost", true);
        QVERIFY(service.listAllBlogsForUser("ghost").isEmpty());
        QVERIFY(posts.listAllPostsforBlog("b1").isEmpty());
    }

    void testAccountThatWroteCommentsSharesItsUserRow()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        comments.addOrUpdatePostComment(makeComment("p1", "c1", BloggerUser("u1", "Old name", "#", "#")));
        QVERIFY(!service.addOrUpdateUser(BloggerUser("u1", "New name", "l", "p")));
        QCOMPARE(comments.listAllCommentsForPost("p1").first().author.userName, QString("New name"));
        service.deleteUser("u1", true);
        const BloggerPostComment comment = comments.listAllCommentsForPost("p1").first();
        QCOMPARE(comment.author, BloggerUser());
    }

    void testAccountsAndBlogsPersistAcrossReopen()
    {
        StoreTestDatabase store;
        UserBlogsLocalAccessAppService(store.db()).addOrUpdateUser(BloggerUser("u1", "Ann", "l", "p"));
        UserBlogsLocalAccessAppService(store.db())
            .addOrUpdateBlog(BloggerBlog("b1", "u1", "n", "url", "LIVE"));
        store.reopen();
        UserBlogsLocalAccessAppService service(store.db());
        QCOMPARE(service.getUser("u1")->userName, QString("Ann"));
        QCOMPARE(blogIds(service.listAllBlogsForUser("u1")), QStringList({"b1"}));
    }
};

QTEST_GUILESS_MAIN(TestUserBlogsStore)
#include "TestUserBlogsStore.moc"

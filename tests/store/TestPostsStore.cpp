#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "store/CommentsLocalAccessAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/PostsSQLAccess.h"

#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <thread>
#include <vector>

using TestSupport::StdoutCapture;

Q_DECLARE_METATYPE(PostSortOptions)
Q_DECLARE_METATYPE(PostSortOrderOptions)

namespace {

BloggerPost makePost(const QString& blogId, const QString& postId, const QString& title = "Title",
                     PostStatus status = PostStatus::Published,
                     std::optional<QDateTime> publishDate = std::nullopt, std::int64_t commentsCount = 0)
{
    return BloggerPost(blogId, postId, publishDate, QDateTime(QDate(2015, 3, 8), QTime(9, 0), Qt::LocalTime),
                       title, "<p>Body of " + title + "</p>", "", {"one", "two"}, commentsCount,
                       "http://blog.example/" + postId, status, "0");
}

QStringList titles(const QList<BloggerPost>& posts)
{
    QStringList result;
    for (const BloggerPost& post : posts) {
        result << post.title;
    }
    return result;
}

BloggerPostComment makeComment(const QString& postId, const QString& commentId)
{
    return BloggerPostComment("b1", postId, commentId, BloggerUser("author", "Author", "#", "#"),
                              QDateTime(QDate(2015, 3, 7), QTime(10, 5), Qt::LocalTime), "comment");
}

} // namespace

class TestPostsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testAddIfAbsentAnswersTrueThenFalseAndKeepsRow()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        QVERIFY(posts.addBlogPostIfNotExists(makePost("b1", "p1", "First")));
        QVERIFY(!posts.addBlogPostIfNotExists(makePost("b1", "p1", "Second")));
        QString storedBlogId;
        QVERIFY(!posts.addBlogPostIfNotExists(makePost("b2", "p1", "Other blog"), nullptr, &storedBlogId));
        QCOMPARE(storedBlogId, QString("b1"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        QCOMPARE(posts.getBlogPost("p1")->title, QString("First"));
    }

    void testPostReadsBackFieldForField()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        BloggerPost post =
            makePost("b1", "p1", "Title", PostStatus::Draft,
                     QDateTime(QDate(2015, 3, 7), QTime(10, 5, 1, 250), QTimeZone(3600 * 5 + 1800)), 7);
        post.offlineForPostWithId = "p0";
        posts.addBlogPostIfNotExists(post);
        const BloggerPost read = *posts.getBlogPost("p1");
        QVERIFY(read.internalId > 0);
        QCOMPARE(read.blogId, post.blogId);
        QCOMPARE(read.publishDate->toMSecsSinceEpoch(), post.publishDate->toMSecsSinceEpoch());
        QCOMPARE(read.updatedDate->toMSecsSinceEpoch(), post.updatedDate->toMSecsSinceEpoch());
        QCOMPARE(read.title, post.title);
        QCOMPARE(read.content, post.content);
        QCOMPARE(read.contentPreview, QString("Body of Title"));
        QCOMPARE(read.labels, post.labels);
        QCOMPARE(read.commentsCount, 7);
        QCOMPARE(read.url, post.url);
        QCOMPARE(read.postStatus, PostStatus::Draft);
        QCOMPARE(read.offlineForPostWithId, QString("p0"));
    }

    void testTitleAndContentWithQuotes()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        BloggerPost post = makePost("b1", "p'1", "Bob's \"best\" post'); DROP TABLE POSTS; --");
        post.content = "It's <a href=\"x\">here</a> -- '' \" ;";
        StdoutCapture capture;
        QVERIFY(service.addOrUpdatePost(post));
        post.title += " again";
        QVERIFY(!service.addOrUpdatePost(post));
        const BloggerPost read = *service.getPost("p'1");
        QCOMPARE(read.title, post.title);
        QCOMPARE(read.content, post.content);
        QCOMPARE(capture.text(), QString());
    }

    void testNulInTitleAndContentDoesNotCutThePost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        BloggerPost post = makePost("b1", "p1");
        post.title = QString("Half") + QChar(0) + "Title";
        post.content = QString("<p>first</p>") + QChar(0) + QString("<p>second ünïcødé</p>");
        service.addOrUpdatePost(post);
        const BloggerPost read = *service.getPost("p1");
        QCOMPARE(read.title, post.title);
        QCOMPARE(read.content, post.content);
    }

    void testFilterTextWithQuoteNeitherBreaksNorWidensQuery()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "Draft post", PostStatus::Draft));
        service.addOrUpdatePost(makePost("b1", "p2", "Published post", PostStatus::Published));
        StdoutCapture capture;
        QVERIFY(service
                    .listFilteredPostsForBlog("b1", PostSortOptions::Title, PostSortOrderOptions::Ascending,
                                              PostFilterOptions::ByArea, "Draft' OR '1'='1")
                    .isEmpty());
        QVERIFY(service
                    .listFilteredPostsForBlog("b1", PostSortOptions::Title, PostSortOrderOptions::Ascending,
                                              PostFilterOptions::ByArea, "It's")
                    .isEmpty());
        QCOMPARE(capture.text(), QString());
    }

    void testFilterByAreaAndByStatus()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "A", PostStatus::Published));
        service.addOrUpdatePost(makePost("b1", "p2", "B", PostStatus::Scheduled));
        service.addOrUpdatePost(makePost("b1", "p3", "C", PostStatus::Autosaved));
        service.addOrUpdatePost(makePost("b1", "p4", "D", PostStatus::Offline));
        service.addOrUpdatePost(makePost("b2", "p5", "E", PostStatus::Published));
        const auto list = [&](PostFilterOptions filter, const QString& text) {
            return titles(service.listFilteredPostsForBlog("b1", PostSortOptions::Title,
                                                           PostSortOrderOptions::Ascending, filter, text));
        };
        QCOMPARE(list(PostFilterOptions::ByArea, "Published"), QStringList({"A", "B"}));
        QCOMPARE(list(PostFilterOptions::ByStatus, "Published"), QStringList({"A"}));
        QCOMPARE(list(PostFilterOptions::ByArea, "Offline"), QStringList({"C", "D"}));
        QCOMPARE(list(PostFilterOptions::ByStatus, "Autosaved"), QStringList({"C"}));
        QCOMPARE(list(PostFilterOptions::ByArea, "Draft"), QStringList());
    }

    void testEverySortOptionAndOrder_data()
    {
        QTest::addColumn<PostSortOptions>("sort");
        QTest::addColumn<PostSortOrderOptions>("order");
        QTest::addColumn<QStringList>("expected");
        // Titles sort as bytes (upper case first), counts as numbers (2 before 10), dates by their text.
        QTest::newRow("title asc") << PostSortOptions::Title << PostSortOrderOptions::Ascending
                                   << QStringList({"Zeta", "alpha", "beta"});
        QTest::newRow("title desc") << PostSortOptions::Title << PostSortOrderOptions::Descending
                                    << QStringList({"beta", "alpha", "Zeta"});
        QTest::newRow("count asc") << PostSortOptions::CommentsCount << PostSortOrderOptions::Ascending
                                   << QStringList({"beta", "Zeta", "alpha"});
        QTest::newRow("count desc") << PostSortOptions::CommentsCount << PostSortOrderOptions::Descending
                                    << QStringList({"alpha", "Zeta", "beta"});
        QTest::newRow("publish asc") << PostSortOptions::PublishDate << PostSortOrderOptions::Ascending
                                     << QStringList({"beta", "alpha", "Zeta"});
        QTest::newRow("publish desc") << PostSortOptions::PublishDate << PostSortOrderOptions::Descending
                                      << QStringList({"Zeta", "alpha", "beta"});
        QTest::newRow("updated asc") << PostSortOptions::UpdatedDate << PostSortOrderOptions::Ascending
                                     << QStringList({"alpha", "beta", "Zeta"});
        QTest::newRow("updated desc") << PostSortOptions::UpdatedDate << PostSortOrderOptions::Descending
                                      << QStringList({"Zeta", "beta", "alpha"});
    }

    void testEverySortOptionAndOrder()
    {
        QFETCH(PostSortOptions, sort);
        QFETCH(PostSortOrderOptions, order);
        QFETCH(QStringList, expected);
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        // beta has no publish date: its empty text sorts first.
        BloggerPost alpha = makePost("b1", "p1", "alpha", PostStatus::Published,
                                     QDateTime(QDate(2015, 1, 1), QTime(8, 0), Qt::LocalTime), 10);
        alpha.updatedDate = QDateTime(QDate(2015, 1, 2), QTime(8, 0), Qt::LocalTime);
        BloggerPost beta = makePost("b1", "p2", "beta", PostStatus::Published, std::nullopt, 0);
        beta.updatedDate = QDateTime(QDate(2015, 1, 3), QTime(8, 0), Qt::LocalTime);
        BloggerPost zeta = makePost("b1", "p3", "Zeta", PostStatus::Scheduled,
                                    QDateTime(QDate(2016, 1, 1), QTime(8, 0), Qt::LocalTime), 2);
        zeta.updatedDate = QDateTime(QDate(2016, 1, 4), QTime(8, 0), Qt::LocalTime);
        for (const BloggerPost& post : {alpha, beta, zeta}) {
            service.addOrUpdatePost(post);
        }
        QCOMPARE(titles(service.listFilteredPostsForBlog("b1", sort, order, PostFilterOptions::ByArea,
                                                         "Published")),
                 expected);
    }

    void testListedRowsMatchTheFullReadInEveryAreaAndOrder()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        const QList<PostStatus> statuses{PostStatus::Published, PostStatus::Scheduled, PostStatus::Draft,
                                         PostStatus::Offline, PostStatus::SyncedCopy};
        QList<BloggerPost> all;
        for (int i = 0; i < 40; ++i) {
            // Every sort key differs between posts of an area, so both reads have one right order.
            BloggerPost post = makePost(
                i % 7 ? "b1" : "b2", "p" + QString::number(i),
                (i % 3 ? "Title " : "title ") + QString::number(39 - i), statuses[i % statuses.size()],
                QDateTime(QDate(2015, 1, 1 + (i * 11) % 28), QTime(i % 24, 0), Qt::LocalTime), (i * 17) % 41);
            post.updatedDate = QDateTime(QDate(2016, 1 + i % 12, 1 + i % 28), QTime(8, i), Qt::LocalTime);
            post.content = "<p>Caf&eacute; &amp; " + QString::number(i) + "</p>";
            all << post;
        }
        QVERIFY(service.addOrUpdatePosts(all).size() == all.size());
        int compared = 0;
        for (const QString& area :
             {QStringLiteral("Published"), QStringLiteral("Draft"), QStringLiteral("Offline")}) {
            for (PostSortOptions sort : {PostSortOptions::PublishDate, PostSortOptions::UpdatedDate,
                                         PostSortOptions::Title, PostSortOptions::CommentsCount}) {
                for (PostSortOrderOptions order :
                     {PostSortOrderOptions::Ascending, PostSortOrderOptions::Descending}) {
                    const QList<BloggerPost> full =
                        service.listFilteredPostsForBlog("b1", sort, order, PostFilterOptions::ByArea, area);
                    const QList<BloggerPost> rows =
                        service.listPostRowsForBlog("b1", sort, order, PostFilterOptions::ByArea, area);
                    QCOMPARE(rows.size(), full.size());
                    for (qsizetype i = 0; i < rows.size(); ++i) {
                        const BloggerPost& row = rows[i];
                        QCOMPARE(row.internalId, full[i].internalId);
                        QCOMPARE(row.blogId, full[i].blogId);
                        QCOMPARE(row.postId, full[i].postId);
                        QCOMPARE(row.title, full[i].title);
                        QCOMPARE(row.contentPreview, full[i].contentPreview);
                        QCOMPARE(row.updatedDate, full[i].updatedDate);
                        QCOMPARE(row.commentsCount, full[i].commentsCount);
                        QCOMPARE(row.postStatus, full[i].postStatus);
                        // The text is read when the post is shown.
                        QVERIFY(row.content.isEmpty() && !full[i].content.isEmpty());
                        ++compared;
                    }
                    // Read in index order: no sort of the whole area.
                    QString sql = PostsSQLAccess(store.db()).GET_POST_ROWS_SQL;
                    sql.replace("{ORDER_BY}", rawValue(sort)).replace("{ORDER}", rawValue(order));
                    sql.replace("{FILTER_BY}", "PostArea");
                    for (const SQLRow& step : store.db().query("EXPLAIN QUERY PLAN " + sql, {"b1", area})) {
                        const QString detail = step["detail"]->asString();
                        QVERIFY2(!detail.startsWith("SCAN") && detail != "USE TEMP B-TREE FOR ORDER BY",
                                 qPrintable(sql + ": " + detail));
                        // Newest, most commented first and titles A to Z, the usual orders: no sort at all.
                        if ((sort == PostSortOptions::Title) == (order == PostSortOrderOptions::Ascending)) {
                            QVERIFY2(!detail.contains("TEMP B-TREE"), qPrintable(sql + ": " + detail));
                        }
                    }
                }
            }
        }
        QCOMPARE(compared, 8 * (all.size() - 6));
    }

    void testShortListingAfterALongOneKeepsNoRoomForIt()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        QList<BloggerPost> posts{makePost("b2", "lone")};
        for (int i = 0; i < 60; ++i) {
            posts << makePost("b1", "p" + QString::number(i));
        }
        QCOMPARE(service.addOrUpdatePosts(posts).size(), posts.size());
        const auto listed = [&](const QString& blogId) {
            return service.listPostRowsForBlog(blogId, PostSortOptions::UpdatedDate,
                                               PostSortOrderOptions::Descending, PostFilterOptions::ByArea,
                                               "Published");
        };
        QCOMPARE(listed("b1").size(), 60);
        const QList<BloggerPost> one = listed("b2");
        QCOMPARE(one.size(), 1);
        QVERIFY2(one.capacity() < 20, qPrintable(QString::number(one.capacity())));
    }

    void testUpdatedRowsEqualAFreshListingAfterChanges()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        for (int i = 0; i < 12; ++i) {
            BloggerPost post = makePost("b1", "p" + QString::number(i), "Title " + QString::number(i),
                                        i % 4 ? PostStatus::Published : PostStatus::Draft);
            post.updatedDate = QDateTime(QDate(2016, 1, 1 + i), QTime(8, 0), Qt::LocalTime);
            service.addOrUpdatePost(post);
        }
        const auto listing = [&] {
            return service.listPostRowsForBlog("b1", PostSortOptions::UpdatedDate,
                                               PostSortOrderOptions::Descending, PostFilterOptions::ByArea,
                                               "Published");
        };
        const QList<BloggerPost> before = listing();
        // Retitled and moved up, moved to another area, deleted, added; and one added that nobody named.
        BloggerPost retitled = *service.getPost("p1");
        retitled.title = "Retitled";
        retitled.updatedDate = QDateTime(QDate(2017, 1, 1), QTime(8, 0), Qt::LocalTime);
        service.addOrUpdatePost(retitled);
        service.updatePostStatus("p2", PostStatus::Draft);
        service.deleteBlogPost("p3", false);
        service.addOrUpdatePost(makePost("b1", "new", "New", PostStatus::Scheduled));
        service.addOrUpdatePost(makePost("b1", "unnamed", "Unnamed", PostStatus::Published));
        bool ok = false;
        const QList<BloggerPost> updated = service.updatePostRows(
            before, {"p1", "p2", "p3", "new", "gone"}, "b1", PostSortOptions::UpdatedDate,
            PostSortOrderOptions::Descending, PostFilterOptions::ByArea, "Published", &ok);
        QVERIFY(ok);
        QCOMPARE(updated, listing());
        QCOMPARE(updated.first().title, QStringLiteral("Retitled"));
        QCOMPARE(updated.size(), before.size());
    }

    void testPostWithoutPublishDateStoresEmptyText()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1"));
        QCOMPARE(store.db().query("SELECT PublishDate FROM POSTS").first()["PublishDate"]->asString(),
                 QString(""));
        QVERIFY(!posts.getBlogPost("p1")->publishDate);
    }

    void testLabelsTextEndsInCommaAndReadsBackInOrder()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        BloggerPost two = makePost("b1", "p1");
        two.labels = {"zeta", "alpha"};
        BloggerPost none = makePost("b1", "p2");
        none.labels = {};
        BloggerPost comma = makePost("b1", "p3");
        comma.labels = {"a,b"};
        for (const BloggerPost& post : {two, none, comma}) {
            posts.addBlogPostIfNotExists(post);
        }
        QCOMPARE(
            store.db().query("SELECT Labels FROM POSTS WHERE PostId = 'p1'").first()["Labels"]->asString(),
            QString("zeta,alpha,"));
        QCOMPARE(
            store.db().query("SELECT Labels FROM POSTS WHERE PostId = 'p2'").first()["Labels"]->asString(),
            QString(""));
        QCOMPARE(posts.getBlogPost("p1")->labels, QStringList({"zeta", "alpha"}));
        QCOMPARE(posts.getBlogPost("p2")->labels, QStringList());
        QCOMPARE(posts.getBlogPost("p3")->labels, QStringList({"a", "b"}));
    }

    void testPreviewIsAlwaysDerivedFromContent()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        BloggerPost post = makePost("b1", "p1");
        post.contentPreview = "ignored";
        service.addOrUpdatePost(post);
        QCOMPARE(service.getPost("p1")->contentPreview, QString("Body of Title"));
        post.content = "<b>New</b> body";
        service.addOrUpdatePost(post);
        QCOMPARE(service.getPost("p1")->contentPreview, QString("New body"));
    }

    void testAreaFollowsStoredStatusNotStoredArea()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1", "T", PostStatus::Draft));
        store.db().query("UPDATE POSTS SET PostArea = 'Published'");
        const BloggerPost read = *posts.getBlogPost("p1");
        QCOMPARE(read.area(), PostArea::Draft);
        QCOMPARE(read.internalId, 1);
    }

    void testUnknownStatusTextReadsAsOffline()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1"));
        store.db().query("UPDATE POSTS SET PostStatus = 'published'");
        QCOMPARE(posts.getBlogPost("p1")->postStatus, PostStatus::Offline);
    }

    void testSyncedCopyStatusIsStoredWhole()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1", "T", PostStatus::SyncedCopy));
        QCOMPARE(store.db().query("SELECT PostStatus FROM POSTS").first()["PostStatus"]->asString(),
                 QString("Synced Copy"));
        QCOMPARE(posts.getBlogPost("p1")->postStatus, PostStatus::SyncedCopy);
    }

    void testSixtyFourBitRowIdsAndCounts()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO sqlite_sequence (name, seq) VALUES ('POSTS', 6000000000)");
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(
            makePost("b1", "p1", "T", PostStatus::Published, std::nullopt, 5000000000LL));
        const BloggerPost read = *posts.getBlogPost("p1");
        QCOMPARE(read.internalId, 6000000001LL);
        QCOMPARE(read.commentsCount, 5000000000LL);
        QCOMPARE(posts.getBlogPostById(6000000001LL)->postId, QString("p1"));
        posts.deleteBlogPostById(6000000001LL);
        QVERIFY(!posts.getBlogPost("p1"));
    }

    void testUpdateOfUnknownPostChangesNothing()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1", "Kept"));
        StdoutCapture capture;
        posts.updateBlogPost(makePost("b1", "p2", "Other"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        QCOMPARE(posts.getBlogPost("p1")->title, QString("Kept"));
        QCOMPARE(capture.text(), QString());
    }

    void testDeleteByPostIdRemovesEveryRowWithIt()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        posts.addBlogPostIfNotExists(makePost("b1", "p1"));
        store.db().query("INSERT INTO POSTS (BlogId, PostId) VALUES ('b2', 'p1')");
        posts.addBlogPostIfNotExists(makePost("b1", "p2"));
        posts.deleteBlogPost("p1");
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
    }

    void testListAllKeepsStorageOrder()
    {
        StoreTestDatabase store;
        PostsSQLAccess posts(store.db());
        for (const QString title : {"c", "a", "b"}) {
            posts.addBlogPostIfNotExists(makePost("b1", "id-" + title, title));
        }
        posts.addBlogPostIfNotExists(makePost("b2", "other", "x"));
        QCOMPARE(titles(posts.listAllBlogPosts("b1")), QStringList({"c", "a", "b"}));
    }

    void testStoringTwiceUpdatesTheOneRow()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        QVERIFY(service.addOrUpdatePost(makePost("b1", "p1", "First", PostStatus::Draft)));
        QVERIFY(
            !service.addOrUpdatePost(makePost("b1", "p1", "Second", PostStatus::Published, std::nullopt, 4)));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        const BloggerPost read = *service.getPost("p1");
        QCOMPARE(read.title, QString("Second"));
        QCOMPARE(read.commentsCount, 4);
        QCOMPARE(store.db().query("SELECT PostArea FROM POSTS").first()["PostArea"]->asString(),
                 QString("Published"));
    }

    void testPostIdStoredUnderAnotherBlogNamesThatBlogsPostOnly()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "Mine", PostStatus::Published, std::nullopt, 1));
        comments.addOrUpdatePostComment(makeComment("p1", "c1"));
        const auto p1Row = [&] { return store.db().query("SELECT * FROM POSTS WHERE PostId = 'p1'"); };
        const QString before = p1Row().first().description();
        StdoutCapture capture;
        bool ok = false;
        // Whichever way b2 names the id, nothing is stored for it and it counts as not added; one line
        // is logged per store call.
        QCOMPARE(
            service.storeDownloadedPosts(
                {makePost("b2", "p1", "Forged"), makePost("b2", "p2", "Theirs"), makePost("b2", "p1")}, &ok),
            QList<PostStatus>());
        QVERIFY(ok);
        QCOMPARE(p1Row().size(), 1);
        QCOMPARE(service.addOrUpdatePosts({makePost("b2", "p1"), makePost("b2", "p3", "New")}, &ok),
                 QList<bool>({false, true}));
        QVERIFY(ok);
        QVERIFY(!service.addOrUpdatePost(makePost("b2", "p1"), &ok));
        QVERIFY(ok);
        const BloggerPost kept = makePost("b2", "p1", "Kept", PostStatus::Offline);
        service.keepPostLocally(kept, kept, PublishedToOfflineUpdateType::SyncedCopy, &ok);
        QVERIFY(!ok);
        QVERIFY(!service.storePublishedPost(makePost("b2", "p1", "Published"), "", ""));
        QCOMPARE(capture.text().count("not stored: their ids are stored under another blog"), 5);
        QCOMPARE(p1Row().size(), 1);
        QCOMPARE(p1Row().first().description(), before);
        QCOMPARE(titles(service.listAllPostsforBlog("b2")), QStringList({"Theirs", "New"}));
        // The id's operations act on b1's post.
        QCOMPARE(service.getPost("p1")->title, QString("Mine"));
        QVERIFY(service.updatePostStatus("p1", PostStatus::Draft));
        QCOMPARE(service.listAllPostsforBlog("b1").first().postStatus, PostStatus::Draft);
        QVERIFY(service.deleteBlogPost("p1", true));
        QVERIFY(service.listAllPostsforBlog("b1").isEmpty());
        QVERIFY(comments.listAllCommentsForPost("p1").isEmpty());
        QCOMPARE(titles(service.listAllPostsforBlog("b2")), QStringList({"Theirs", "New"}));
        // A later row of b2 that an earlier version stored is never written again; b1's stays its post.
        service.addOrUpdatePost(makePost("b1", "p4", "Mine"));
        store.db().query(
            "INSERT INTO POSTS (BlogId, PostId, Title, PostStatus, PostArea) VALUES ('b2', 'p4', "
            "'Stray', 'Published', 'Published')");
        service.storeDownloadedPosts({makePost("b2", "p4", "Forged")});
        service.storeDownloadedPosts({makePost("b1", "p4", "Mine, updated")});
        QCOMPARE(service.getPost("p4")->title, QString("Mine, updated"));
        QCOMPARE(titles(service.listAllPostsforBlog("b2")), QStringList({"Theirs", "New", "Stray"}));
    }

    void testConcurrentStoresOfOneNewPostInsertOnce()
    {
        StoreTestDatabase store;
        std::atomic<int> inserted{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] {
                PostsLocalAccessAppService service(store.db());
                for (int n = 0; n < 20; ++n) {
                    if (service.addOrUpdatePost(makePost("b1", "p" + QString::number(n)))) {
                        ++inserted;
                    }
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        QCOMPARE(inserted.load(), 20);
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 20);
    }

    void testBatchStoreAnswersPerPost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p2", "old"));
        const QList<bool> answers = service.addOrUpdatePosts(
            {makePost("b1", "p1"), makePost("b1", "p2", "new"), makePost("b1", "p3")});
        QCOMPARE(answers, QList<bool>({true, false, true}));
        QCOMPARE(service.getPost("p2")->title, QString("new"));
        store.reopen();
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 3);
    }

    void testUpdatePostStatusOfUnknownPostChangesNothing()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "T", PostStatus::Offline));
        service.updatePostStatus("p9", PostStatus::Draft);
        QCOMPARE(service.getPost("p1")->postStatus, PostStatus::Offline);
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
    }

    void testUpdatePostStatusMovesArea()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "T", PostStatus::Offline));
        service.updatePostStatus("p1", PostStatus::Draft);
        QCOMPARE(service.getPost("p1")->postStatus, PostStatus::Draft);
        QCOMPARE(store.db().query("SELECT PostArea FROM POSTS").first()["PostArea"]->asString(),
                 QString("Draft"));
    }

    void testUpdatePostStatusLeavesStoredTextsAsTheyWere()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        // Written elsewhere with another offset, a label list without the trailing comma and an own preview.
        store.db().query("INSERT INTO POSTS VALUES (NULL, 'b1', 'p1', '2015-03-07T10:05:00.000+05:00', "
                         "'2015-03-07T10:05:00.000+05:00', 'T', '<p>c</p>', 'own preview', 'a,b', 3, 'u', "
                         "'Offline', 'Offline', '0')");
        const QString before = store.db().query("SELECT * FROM POSTS").first().description();
        service.updatePostStatus("p1", PostStatus::Draft);
        QString after = store.db().query("SELECT * FROM POSTS").first().description();
        after.replace("Type: 3, Value: Draft, PostArea: Type: 3, Value: Draft",
                      "Type: 3, Value: Offline, PostArea: Type: 3, Value: Offline");
        QCOMPARE(after, before);
    }

    void testDeleteWithoutCascadeKeepsComments()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdatePost(makePost("b1", "p1"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1"));
        service.deleteBlogPost("p1", false);
        QVERIFY(!service.getPost("p1"));
        QCOMPARE(comments.listAllCommentsForPost("p1").size(), 1);
    }

    void testDeleteWithCascadeRemovesCommentsOfThatPostOnly()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdatePost(makePost("b1", "p1"));
        service.addOrUpdatePost(makePost("b1", "p2"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1"));
        comments.addOrUpdatePostComment(makeComment("p1", "c2"));
        comments.addOrUpdatePostComment(makeComment("p2", "c3"));
        service.deleteBlogPost("p1", true);
        QVERIFY(comments.listAllCommentsForPost("p1").isEmpty());
        QCOMPARE(comments.listAllCommentsForPost("p2").size(), 1);
        QVERIFY(service.getPost("p2"));
    }

    void testDeleteAllPostsOfBlogKeepsOtherBlogsPostWithSameId()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdatePost(makePost("b1", "p1"));
        service.addOrUpdatePost(makePost("b1", "p2"));
        // The same post id stored under another blog, as a copy between blogs would leave it.
        store.db().query("INSERT INTO POSTS (BlogId, PostId, Title) VALUES ('b2', 'p1', 'other blog')");
        comments.addOrUpdatePostComment(makeComment("p2", "c1"));
        service.deleteAllPostsForBlogWithoutCascade("b1");
        QVERIFY(service.listAllPostsforBlog("b1").isEmpty());
        QCOMPARE(titles(service.listAllPostsforBlog("b2")), QStringList({"other blog"}));
        QCOMPARE(comments.listAllCommentsForPost("p2").size(), 1);
    }

    void testDeleteAllPostsOfEmptyBlogDoesNothing()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1"));
        StdoutCapture capture;
        service.deleteAllPostsForBlogWithoutCascade("empty");
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
        QCOMPARE(capture.text(), QString());
    }

    void testOfflineCopyIsFoundByPublishedId()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "Published"));
        QVERIFY(!service.getOfflinePostForPost("p1"));
        BloggerPost copy = makePost("b1", "local-1", "Copy", PostStatus::SyncedCopy);
        copy.offlineForPostWithId = "p1";
        service.addOrUpdatePost(copy);
        QCOMPARE(service.getOfflinePostForPost("p1")->title, QString("Copy"));
    }

    void testNewPostIsKeptUnderAFreshOfflineId()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        BloggerPost edited = makePost("b1", "", "New", PostStatus::Published);
        bool ok = false;
        const BloggerPost first =
            service.keepPostLocally(edited, std::nullopt, PublishedToOfflineUpdateType::NoUpdate, &ok);
        QVERIFY(ok);
        QVERIFY(first.internalId > 0);
        QVERIFY(!first.postId.isEmpty());
        QCOMPARE(first.postStatus, PostStatus::Offline);
        QCOMPARE(first.offlineForPostWithId, QString("0"));
        QCOMPARE(first.title, QString("New"));
        // Offered back from its autosave, the post is new as well: the record keeps its own row.
        const BloggerPost record = makePost("b1", "REC-1", "New", PostStatus::Autosaved);
        service.addOrUpdatePost(record);
        const BloggerPost second = service.keepPostLocally(edited, service.getPost("REC-1"),
                                                           PublishedToOfflineUpdateType::NoUpdate, &ok);
        QVERIFY(ok);
        QVERIFY(second.postId != first.postId && second.postId != "REC-1");
        QCOMPARE(second.postStatus, PostStatus::Offline);
        QCOMPARE(service.getPost("REC-1")->postStatus, PostStatus::Autosaved);
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 3);
    }

    void testEditedOfflinePostKeepsItsRow()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "local-1", "Before", PostStatus::Offline));
        const std::optional<BloggerPost> original = service.getPost("local-1");
        bool ok = false;
        const BloggerPost kept =
            service.keepPostLocally(makePost("b1", "local-1", "After", PostStatus::Offline), original,
                                    PublishedToOfflineUpdateType::NoUpdate, &ok);
        QVERIFY(ok);
        QCOMPARE(kept.internalId, original->internalId);
        QCOMPARE(kept.postId, QString("local-1"));
        QCOMPARE(kept.postStatus, PostStatus::Offline);
        QCOMPARE(kept.title, QString("After"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
    }

    void testEditedSyncedCopyStaysTheCopyOfItsPost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        bool ok = false;
        BloggerPost copy = makePost("b1", "copy-1", "Copy", PostStatus::SyncedCopy);
        copy.offlineForPostWithId = "p1";
        service.addOrUpdatePost(copy);
        const BloggerPost keptCopy =
            service.keepPostLocally(makePost("b1", "copy-1", "Copy edited"), service.getPost("copy-1"),
                                    PublishedToOfflineUpdateType::NoUpdate, &ok);
        QVERIFY(ok);
        QCOMPARE(keptCopy.postId, QString("copy-1"));
        QCOMPARE(keptCopy.postStatus, PostStatus::SyncedCopy);
        QCOMPARE(keptCopy.offlineForPostWithId, QString("p1"));
        QCOMPARE(keptCopy.title, QString("Copy edited"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 1);
    }

    void testPublishedPostSavedLocallyBecomesACopyAndStaysPublished()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        service.addOrUpdatePost(makePost("b1", "p1", "On Blogger", PostStatus::Published, std::nullopt, 4));
        const std::optional<BloggerPost> published = service.getPost("p1");
        const BloggerPost edited = makePost("b1", "p1", "Edited", PostStatus::Published, std::nullopt, 4);
        bool ok = false;
        const BloggerPost copy =
            service.keepPostLocally(edited, published, PublishedToOfflineUpdateType::SyncedCopy, &ok);
        QVERIFY(ok);
        QVERIFY(copy.postId != "p1");
        QCOMPARE(copy.postStatus, PostStatus::SyncedCopy);
        QCOMPARE(copy.offlineForPostWithId, QString("p1"));
        QCOMPARE(copy.url, QString("#"));
        QCOMPARE(copy.commentsCount, std::int64_t(0));
        // One synced copy per published post: saving again rewrites it.
        const BloggerPost again =
            service.keepPostLocally(edited, published, PublishedToOfflineUpdateType::SyncedCopy, &ok);
        QVERIFY(ok);
        QCOMPARE(again.postId, copy.postId);
        QCOMPARE(again.internalId, copy.internalId);
        for (const PublishedToOfflineUpdateType type :
             {PublishedToOfflineUpdateType::OfflineCopy,
              PublishedToOfflineUpdateType::DeletePublishedVersion}) {
            const BloggerPost offline = service.keepPostLocally(edited, published, type, &ok);
            QVERIFY(ok);
            QVERIFY(offline.postId != "p1" && offline.postId != copy.postId);
            QCOMPARE(offline.postStatus, PostStatus::Offline);
            QCOMPARE(offline.offlineForPostWithId, QString("0"));
            QCOMPARE(offline.url, QString("#"));
            QCOMPARE(offline.commentsCount, std::int64_t(0));
        }
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 4);
        QVERIFY(*service.getPost("p1") == *published);
    }

    void testPublishedVersionReplacesTheOfflinePost()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService service(store.db());
        CommentsLocalAccessAppService comments(store.db());
        service.addOrUpdatePost(makePost("b1", "local-1", "Offline", PostStatus::Offline));
        service.addOrUpdatePost(makePost("b1", "REC-1", "Offline", PostStatus::Autosaved));
        const std::optional<BloggerPost> stored =
            service.storePublishedPost(makePost("b1", "p9", "Offline"), "local-1", "REC-1");
        QVERIFY(stored);
        QVERIFY(stored->internalId > 0);
        QCOMPARE(stored->postId, QString("p9"));
        QVERIFY(!service.getPost("local-1"));
        // After a crash the record offers back the published post, so publishing it again updates it.
        QCOMPARE(service.getPost("REC-1")->offlineForPostWithId, QString("p9"));
        // A post on Blogger is never what a publish replaces, and a record saved meanwhile stays as it is.
        service.addOrUpdatePost(makePost("b1", "p1", "Other"));
        comments.addOrUpdatePostComment(makeComment("p1", "c1"));
        service.addOrUpdatePost(makePost("b1", "REC-2", "Saved", PostStatus::Offline));
        QVERIFY(service.storePublishedPost(makePost("b1", "p10", "Next"), "p1", "REC-2"));
        QVERIFY(service.getPost("p1"));
        QCOMPARE(comments.listAllCommentsForPost("p1").size(), 1);
        QCOMPARE(service.getPost("REC-2")->offlineForPostWithId, QString("0"));
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS"), 5);
    }

    void testPostsPersistAcrossReopen()
    {
        StoreTestDatabase store;
        PostsLocalAccessAppService(store.db()).addOrUpdatePost(makePost("b1", "p1", "Kept"));
        store.reopen();
        QCOMPARE(PostsLocalAccessAppService(store.db()).getPost("p1")->title, QString("Kept"));
    }
};

QTEST_GUILESS_MAIN(TestPostsStore)
#include "TestPostsStore.moc"

#include "common/GoogleServiceConstants.h"
#include "model/BloggerBlog.h"
#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"
#include "model/BloggerUser.h"
#include "model/PostAreaAndStatusConverter.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

class TestRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testNewPostDefaults()
    {
        const BloggerPost post;
        QCOMPARE(post.internalId, -1);
        QVERIFY(post.blogId.isEmpty());
        QVERIFY(!post.blogId.isNull()); // an empty text, not an absent one
        QVERIFY(post.postId.isEmpty());
        QVERIFY(post.title.isEmpty());
        QVERIFY(post.content.isEmpty());
        QVERIFY(post.contentPreview.isEmpty());
        QVERIFY(!post.publishDate.has_value());
        QVERIFY(!post.updatedDate.has_value());
        QVERIFY(post.labels.isEmpty());
        QCOMPARE(post.commentsCount, 0);
        QCOMPARE(post.url, QStringLiteral("#"));
        QCOMPARE(post.postStatus, PostStatus::Autosaved);
        QCOMPARE(post.area(), PostArea::Offline);
        QVERIFY(!post.isOnBlogger());
        QCOMPARE(post.offlineForPostWithId, QStringLiteral("0"));
    }

    void testCopyOfStoredPostIsNotStored()
    {
        BloggerPost source("b1", "p1", QDateTime::currentDateTime(), std::nullopt, "T", "<p>c</p>", "c",
                           {"x", "y"}, 3, "http://u", PostStatus::Draft, "0");
        source.internalId = 42;
        BloggerPost copy = BloggerPost::initWithPost(source);
        QCOMPARE(copy.internalId, -1);
        copy.internalId = source.internalId;
        QCOMPARE(copy, source);

        copy.labels << "z";
        copy.title = "changed";
        QCOMPARE(source.labels, QStringList({"x", "y"}));
        QCOMPARE(source.title, QStringLiteral("T"));
    }

    void testFieldConstructorKeepsValuesAndHasNoRowId()
    {
        const BloggerPost post("b", "p", std::nullopt, std::nullopt, "", "", "", {}, 0, "#",
                               PostStatus::Scheduled, "9");
        QCOMPARE(post.internalId, -1);
        QCOMPARE(post.offlineForPostWithId, QStringLiteral("9"));
        QVERIFY(post.isOnBlogger());
        QCOMPARE(post.area(), PostArea::Published);
    }

    void testAreaOfEveryStatus_data()
    {
        QTest::addColumn<PostStatus>("status");
        QTest::addColumn<PostArea>("area");
        QTest::addColumn<bool>("onBlogger");
        QTest::newRow("published") << PostStatus::Published << PostArea::Published << true;
        QTest::newRow("scheduled") << PostStatus::Scheduled << PostArea::Published << true;
        QTest::newRow("draft") << PostStatus::Draft << PostArea::Draft << true;
        QTest::newRow("offline") << PostStatus::Offline << PostArea::Offline << false;
        QTest::newRow("synced copy") << PostStatus::SyncedCopy << PostArea::Offline << false;
        QTest::newRow("deleted") << PostStatus::Deleted << PostArea::Offline << false;
        QTest::newRow("autosaved") << PostStatus::Autosaved << PostArea::Offline << false;
    }

    void testAreaOfEveryStatus()
    {
        QFETCH(PostStatus, status);
        QFETCH(PostArea, area);
        QFETCH(bool, onBlogger);
        QCOMPARE(PostAreaAndStatusConverter().areaForStatus(status), area);
        BloggerPost post;
        post.postStatus = status;
        QCOMPARE(post.area(), area);
        QCOMPARE(post.isOnBlogger(), onBlogger);
        // Every raw value reads back as its own status.
        QCOMPARE(PostAreaAndStatusConverter().statusFromString(rawValue(status)), status);
    }

    void testStatusTextsAreExactAndCaseSensitive()
    {
        const PostAreaAndStatusConverter converter;
        QCOMPARE(rawValue(PostStatus::SyncedCopy), QStringLiteral("Synced Copy"));
        QCOMPARE(converter.statusFromString("Synced Copy"), PostStatus::SyncedCopy);
        QCOMPARE(converter.statusFromString("SyncedCopy"), PostStatus::Offline);
        QCOMPARE(converter.statusFromString("published"), PostStatus::Offline);
        QCOMPARE(converter.statusFromString(" Published"), PostStatus::Offline);
        QCOMPARE(converter.statusFromString(""), PostStatus::Offline);
        QCOMPARE(converter.statusFromString("Draft"), PostStatus::Draft);
        QCOMPARE(converter.areaFromString("Published"), PostArea::Published);
        QCOMPARE(converter.areaFromString("Draft"), PostArea::Draft);
        QCOMPARE(converter.areaFromString("Offline"), PostArea::Offline);
        QCOMPARE(converter.areaFromString("Scheduled"), PostArea::Offline);
        QCOMPARE(converter.areaFromString("draft"), PostArea::Offline);
        QCOMPARE(converter.areaFromString(""), PostArea::Offline);
    }

    void testQueryKeywordsOfSortAndFilter()
    {
        QCOMPARE(rawValue(PostSortOptions::PublishDate), QStringLiteral("PublishDate"));
        QCOMPARE(rawValue(PostSortOptions::UpdatedDate), QStringLiteral("UpdatedDate"));
        QCOMPARE(rawValue(PostSortOptions::Title), QStringLiteral("Title"));
        QCOMPARE(rawValue(PostSortOptions::CommentsCount), QStringLiteral("CommentsCount"));
        QCOMPARE(rawValue(PostSortOrderOptions::Ascending), QStringLiteral("ASC"));
        QCOMPARE(rawValue(PostSortOrderOptions::Descending), QStringLiteral("DESC"));
        QCOMPARE(rawValue(PostFilterOptions::ByArea), QStringLiteral("PostArea"));
        QCOMPARE(rawValue(PostFilterOptions::ByStatus), QStringLiteral("PostStatus"));
    }

    void testPostDescriptionLeavesOutPreview()
    {
        BloggerPost post("b", "p", std::nullopt, std::nullopt, "Title", "Body", "UNIQUE-PREVIEW", {"a", "b"},
                         2, "u", PostStatus::SyncedCopy, "7");
        const QString text = post.toString();
        QVERIFY(!text.contains("UNIQUE-PREVIEW"));
        QVERIFY(text.contains(", status: Synced Copy, area: Offline, offlineForPostWithId: 7"));
        QVERIFY(text.startsWith("internalId: -1, blogId: b, postId: p, publishDate: nil, updatedDate: nil"));
        QVERIFY(text.contains("labels: [\"a\", \"b\"]"));
        post.publishDate = QDateTime(QDate(2015, 3, 1), QTime(10, 20, 30), Qt::UTC);
        QVERIFY(post.toString().contains("publishDate: 2015-03-01 10:20:30"));
    }

    void testOtherRecordDefaults()
    {
        const BloggerBlog blog;
        QCOMPARE(blog.blogUrl, QStringLiteral("#"));
        QVERIFY(blog.blogId.isEmpty() && blog.userId.isEmpty() && blog.blogName.isEmpty() &&
                blog.blogStatus.isEmpty());
        const BloggerUser user;
        QCOMPARE(user.toString(), QStringLiteral("userId: , userName: , userLink: #, userPicture: #"));
        const BloggerPostComment comment;
        QVERIFY(comment.commentId.isEmpty());
        QVERIFY(!comment.publishDate.has_value());
        QCOMPARE(comment.sentimentScore, 0);
        QCOMPARE(comment.author, BloggerUser());
    }

    void testCommentAuthorsAreIndependent()
    {
        BloggerPostComment first;
        BloggerPostComment second;
        first.author.userName = "Ann";
        QVERIFY(second.author.userName.isEmpty());
        BloggerPostComment withFields("b", "p", "c", BloggerUser("u", "n", "l", ""), std::nullopt, "x");
        QVERIFY(!withFields.publishDate.has_value());
        QCOMPARE(withFields.sentimentScore, 0);
        QVERIFY(
            withFields.toString().endsWith(", author: userId: u, userName: n, userLink: l, userPicture: "));
    }

    void testDescriptions()
    {
        QCOMPARE(BloggerSuccessResponse(false, "x").toString(), QStringLiteral("Success: false, details: x"));
        QCOMPARE(BloggerSuccessResponse(true, "").toString(), QStringLiteral("Success: true, details: "));
        QCOMPARE(BloggerBlog("1", "2", "n", "u", "LIVE").toString(),
                 QStringLiteral("blogId: 1, userId: 2, blogName: n, blogUrl: u, blogStatus: LIVE"));
    }

    void testConstants()
    {
        QCOMPARE(GoogleServiceConstants::RefreshTokenTime, 2700.0);
        QCOMPARE(GoogleServiceConstants::StandardTimeout, 60.0);
        QCOMPARE(GoogleServiceConstants::MaxResultsPerPage, 20);
        QCOMPARE(GoogleServiceConstants::MaxResultPagesForPosts, 5);
        QCOMPARE(GoogleServiceConstants::MaxResultPagesForComments, 10);
        QCOMPARE(GoogleServiceConstants::NoInternalId, -1);
        QVERIFY(GoogleServiceConstants::NoId().isEmpty() && !GoogleServiceConstants::NoId().isNull());
        QCOMPARE(GoogleServiceConstants::NoOfflineId(), QStringLiteral("0"));
        QCOMPARE(GoogleServiceConstants::NoUrl(), QStringLiteral("#"));
        QCOMPARE(GoogleServiceConstants::ListSelfBlogsEvent(), QStringLiteral("ListSelfBlogsEvent"));
        QCOMPARE(GoogleServiceConstants::UploadAlbumPhoto(), QStringLiteral("UploadAlbumPhoto"));
    }

    void testRandomIdIsFreshUpperCaseUuid()
    {
        static const QRegularExpression form(
            "^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
        QSet<QString> seen;
        for (int i = 0; i < 200; ++i) {
            const QString id = GoogleServiceConstants::RandomId();
            QVERIFY2(form.match(id).hasMatch(), qPrintable(id));
            seen.insert(id);
        }
        QCOMPARE(seen.size(), 200);
    }

    void testRandomIntIdStaysInUnsigned32BitRange()
    {
        bool sawAboveSigned32 = false;
        for (int i = 0; i < 2000; ++i) {
            const std::int64_t value = GoogleServiceConstants::RandomIntId();
            QVERIFY(value >= 0);
            QVERIFY(value <= 4294967295LL);
            sawAboveSigned32 = sawAboveSigned32 || value > 2147483647LL;
        }
        QVERIFY(sawAboveSigned32); // would fail if the draw were narrowed to a signed 32-bit value
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "TestRecords.moc"

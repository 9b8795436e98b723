#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "services/PostAutoSaveService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Blog = QStringLiteral("blog-autosave");

BloggerPost edited(const QString& title, const QString& content)
{
    BloggerPost post;
    post.blogId = Blog;
    post.postId = QStringLiteral("published-1");
    post.title = title;
    post.content = content;
    post.labels = {QStringLiteral("a")};
    post.postStatus = PostStatus::Published;
    return post;
}

} // namespace

// The autosave of the post being edited: its own row, written in order off the main thread, removed when
// the editing ends without anything to keep, never over a row that is no longer an autosave.
class TestPostAutoSaveService : public QObject
{
    Q_OBJECT

    std::optional<BloggerPost> m_post;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        PostsLocalAccessAppService().deleteAllPostsForBlogWithoutCascade(Blog);
        m_post = edited("Title", "<p>one</p>");
    }

    void testEachTurnStoresTheEditedPostAsItsOwnAutosavedRow()
    {
        PostsLocalAccessAppService().addOrUpdatePost(*m_post);
        PostAutoSaveService service;
        QCOMPARE(service.interval(), 10000);
        service.setInterval(50);
        service.start([this] { return m_post; }, "REC-1", m_post->postId);
        QSignalSpy saved(&service, &PostAutoSaveService::autosaved);
        QVERIFY(saved.wait(20000));
        const BloggerPost record = *PostsLocalAccessAppService().getPost("REC-1");
        QCOMPARE(record.postStatus, PostStatus::Autosaved);
        QCOMPARE(record.offlineForPostWithId, QStringLiteral("published-1"));
        QCOMPARE(record.content, QStringLiteral("<p>one</p>"));
        // The post being edited is untouched.
        QCOMPARE(PostsLocalAccessAppService().getPost("published-1")->postStatus, PostStatus::Published);

        m_post->content = "<p>two</p>";
        QTRY_COMPARE(PostsLocalAccessAppService().getPost("REC-1")->content, QStringLiteral("<p>two</p>"));
        service.finish(false);
        service.waitForStoreWork();
        QVERIFY(PostsLocalAccessAppService().getPost("REC-1"));
    }

    void testUnchangedPostIsNotWrittenAgain()
    {
        PostAutoSaveService service;
        service.start([this] { return m_post; }, "REC-2", QString());
        QSignalSpy saved(&service, &PostAutoSaveService::autosaved);
        service.autosave();
        service.autosave();
        service.waitForStoreWork();
        QTRY_COMPARE(saved.size(), 1);
        QCOMPARE(PostsLocalAccessAppService().getPost("REC-2")->offlineForPostWithId,
                 GoogleServiceConstants::NoOfflineId());
        m_post->title = "Changed";
        service.autosave();
        QTRY_COMPARE(saved.size(), 2);
        service.finish(true);
    }

    void testEmptiedPostRemovesItsRecord()
    {
        PostAutoSaveService service;
        service.start([this] { return m_post; }, "REC-3", QString());
        service.autosave();
        service.waitForStoreWork();
        QVERIFY(PostsLocalAccessAppService().getPost("REC-3"));
        m_post = edited("", "");
        m_post->labels.clear();
        service.autosave();
        service.waitForStoreWork();
        QVERIFY(!PostsLocalAccessAppService().getPost("REC-3"));
        service.finish(true);
    }

    void testDiscardRunsAfterPendingWritesAndSparesSavedPost()
    {
        PostAutoSaveService service;
        service.start([this] { return m_post; }, "REC-4", QString());
        for (int i = 0; i < 20; ++i) {
            m_post->content = QStringLiteral("<p>%1</p>").arg(i);
            service.autosave();
        }
        service.finish(true);
        service.waitForStoreWork();
        // Written twenty times, then removed: the removal came last.
        QVERIFY(!PostsLocalAccessAppService().getPost("REC-4"));

        // A row saved under the record's id as a post of its own is no autosave any more.
        BloggerPost kept = PostAutoSaveService::autosaveRecord(*m_post, "REC-5", QString());
        kept.postStatus = PostStatus::Offline;
        PostsLocalAccessAppService().addOrUpdatePost(kept);
        PostAutoSaveService::discardRecord("REC-5");
        QVERIFY(PostsLocalAccessAppService().getPost("REC-5"));
    }

    void testNothingIsStoredWhileTheEditorHasNoPost()
    {
        PostAutoSaveService service;
        service.start([] { return std::optional<BloggerPost>(); }, "REC-6", QString());
        service.autosave();
        service.waitForStoreWork();
        QVERIFY(!PostsLocalAccessAppService().getPost("REC-6"));
        QVERIFY(service.isRunning());
        service.finish(true);
        QVERIFY(!service.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestPostAutoSaveService)
#include "TestPostAutoSaveService.moc"

#include "BlockRecorder.h"
#include "HeldDatabaseLock.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleResponseAnalysisService.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QThread>
#include <QtTest>

#include <algorithm>

namespace {

const QString kitchenBlogId = QStringLiteral("7093345128812460051");

struct Blocks
{
    BlockRecorder<bool> list;
    BlockRecorder<BloggerSuccessResponse> listError;
    BlockRecorder<BloggerPost> get;
    BlockRecorder<BloggerSuccessResponse> getError;
    BlockRecorder<bool> remove;
    BlockRecorder<BloggerSuccessResponse> removeError;
    QMutex threadMutex;
    QThread* lastThread = nullptr;

    int total() const
    {
        return list.calls() + listError.calls() + get.calls() + getError.calls() + remove.calls() +
               removeError.calls();
    }
    void noteThread()
    {
        QMutexLocker locker(&threadMutex);
        lastThread = QThread::currentThread();
    }
};

// Waits for the first closure, then for the work queued behind it: exactly one closure of all may have run.
bool waitForExactlyOne(const Blocks& blocks)
{
    if (!QTest::qWaitFor([&] { return blocks.total() > 0; }, 15000)) {
        return false;
    }
    return TestSupport::queuedWorkDone() && blocks.total() == 1;
}

// Older than the seeded posts, so they fill the later pages of the listing.
void seedManyPosts(GoogleStandin& standin, const QString& blogId, int count)
{
    const QDateTime base = QDateTime::fromString("2014-06-01T12:00:00Z", Qt::ISODate);
    for (int i = 0; i < count; ++i) {
        StandinPost post;
        post.title = QStringLiteral("Extra post %1").arg(i);
        post.content = QStringLiteral("<p>Body %1</p>").arg(i);
        post.labels = i % 3 == 0 ? QStringList{"extra"} : QStringList{};
        post.updated = base.addSecs(-3600LL * i);
        post.published = post.updated.addSecs(-60);
        post.draft = i % 7 == 0;
        if (!post.draft) {
            post.urlPath = QStringLiteral("2014/06/extra-%1.html").arg(i);
        }
        standin.addPost(blogId, post);
    }
}

// The stand-in's post under a new title, now the most recently updated of its blog.
void retitle(GoogleStandin& standin, const QString& blogId, const QString& postId, const QString& title)
{
    StandinPost post = standin.post(blogId, postId).value();
    post.title = title;
    post.updated = QDateTime::currentDateTimeUtc();
    QVERIFY(standin.updatePost(blogId, post));
}

QList<BloggerPost> storedPosts(const QString& blogId)
{
    QList<BloggerPost> posts = PostsLocalAccessAppService().listAllPostsforBlog(blogId);
    std::sort(posts.begin(), posts.end(),
              [](const BloggerPost& a, const BloggerPost& b) { return a.internalId < b.internalId; });
    return posts;
}

QStringList ids(const QList<BloggerPost>& posts)
{
    QStringList list;
    for (const BloggerPost& post : posts) {
        list.append(post.postId);
    }
    list.sort();
    return list;
}

BloggerPost localPost(const QString& postId, PostStatus status, const QString& title,
                      const QString& offlineFor = GoogleServiceConstants::NoOfflineId())
{
    BloggerPost post;
    post.blogId = StandinHarness::blogId();
    post.postId = postId;
    post.title = title;
    post.content = QStringLiteral("<p>") + title + QStringLiteral(" written here</p>");
    post.updatedDate = QDateTime::fromString("2016-01-02T03:04:05Z", Qt::ISODate);
    post.postStatus = status;
    post.offlineForPostWithId = offlineFor;
    return post;
}

} // namespace

class TestPostsRemotePersistenceAppService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<Blocks> b;
    std::shared_ptr<PostsRemotePersistenceAppService> m_service;

    QByteArray feedPath(const QString& blogId = StandinHarness::blogId()) const
    {
        return "/feeds/" + blogId.toUtf8() + "/posts/default";
    }

    QStringList standinPostIds(const QString& blogId) const
    {
        QStringList list;
        const StandinBlog blog = h->standin.blog(blogId).value();
        for (const StandinPost& post : blog.posts) {
            list.append(post.id);
        }
        return list;
    }

    // The ids of the first `count` posts of the listing: most recently updated first.
    QStringList newestStandinPostIds(const QString& blogId, int count) const
    {
        QList<StandinPost> posts = h->standin.blog(blogId)->posts;
        std::stable_sort(posts.begin(), posts.end(), [](const StandinPost& x, const StandinPost& y) {
            return x.updated != y.updated ? x.updated > y.updated : x.id > y.id;
        });
        QStringList list;
        for (int i = 0; i < std::min<int>(count, posts.size()); ++i) {
            list.append(posts[i].id);
        }
        list.sort();
        return list;
    }

    bool download(const QString& blogId = StandinHarness::blogId())
    {
        m_service->listAndPersistAllBlogPosts(blogId);
        return waitForExactlyOne(*b);
    }

    void resetBlocks()
    {
        b = std::make_unique<Blocks>();
        Blocks* blocks = b.get();
        m_service->onListAndPersistAllBlogPostsSuccess = [blocks] {
            blocks->noteThread();
            blocks->list.block()(true);
        };
        m_service->onListAndPersistAllBlogPostsError = blocks->listError.block();
        m_service->onGetAndPersistBlogPostSuccess = blocks->get.block();
        m_service->onGetAndPersistBlogPostError = blocks->getError.block();
        m_service->onDeleteBlogPostSuccess = [blocks] { blocks->remove.block()(true); };
        m_service->onDeleteBlogPostError = blocks->removeError.block();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        // One database for the whole process: every case starts from blogs without rows or bookkeeping.
        for (const QString& blogId : {StandinHarness::blogId(), kitchenBlogId}) {
            PostsLocalAccessAppService().deleteAllPostsForBlogWithoutCascade(blogId);
            PersistentServiceState().setLastUpdated(blogId, QDateTime());
            PersistentServiceState().setBlogWasQueried(blogId, false);
        }
        h = std::make_unique<StandinHarness>();
        m_service = PostsRemotePersistenceAppService::create(h->auth);
        m_service->setTimeoutInterval(5);
        resetBlocks();
    }

    void cleanup()
    {
        m_service.reset();
        h.reset();
        b.reset();
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
    }

    // ---- download ----

    void testDownloadStoresTheFirstHundredAndRecordsTheUpdate()
    {
        seedManyPosts(h->standin, StandinHarness::blogId(), 90); // 114 on Blogger
        const QStringList expected = newestStandinPostIds(StandinHarness::blogId(), 100);
        const QDateTime before = QDateTime::currentDateTime();
        QVERIFY(download());
        QCOMPARE(b->list.calls(), 1);

        const QList<BloggerPost> stored = storedPosts(StandinHarness::blogId());
        QCOMPARE(stored.size(), 100);
        QCOMPARE(ids(stored), expected);
        const PersistentServiceState state;
        QVERIFY(state.getBlogWasQueried(StandinHarness::blogId()));
        const std::optional<QDateTime> updated = state.getLastUpdated(StandinHarness::blogId());
        QVERIFY(updated.has_value());
        QVERIFY(*updated >= before.addSecs(-1) && *updated <= QDateTime::currentDateTime().addSecs(1));
        QVERIFY(!state.getBlogWasQueried(kitchenBlogId));

        const StandinPost source = h->standin.post(StandinHarness::blogId(), expected.first()).value();
        const BloggerPost post = PostsLocalAccessAppService().getPost(source.id).value();
        QCOMPARE(post.blogId, StandinHarness::blogId());
        QCOMPARE(post.title, source.title);
        QCOMPARE(post.labels, source.labels);
        QCOMPARE(post.postStatus, source.draft ? PostStatus::Draft : PostStatus::Published);
    }

    void testClosuresRunOnTheNetworkThreadNotTheMainThread()
    {
        QVERIFY(download());
        QMutexLocker locker(&b->threadMutex);
        QVERIFY(b->lastThread != nullptr);
        QVERIFY(b->lastThread != QThread::currentThread());
    }

    void testSecondDownloadUpdatesChangedAddsNewAndDeletesNothing()
    {
        QVERIFY(download());
        const QStringList first = ids(storedPosts(StandinHarness::blogId()));
        QCOMPARE(first.size(), 24);
        const QDateTime firstUpdate =
            PersistentServiceState().getLastUpdated(StandinHarness::blogId()).value();

        const QString changedId = first.at(3);
        const QString goneId = first.at(5);
        retitle(h->standin, StandinHarness::blogId(), changedId, "Changed on Blogger");
        QVERIFY(h->standin.removePost(StandinHarness::blogId(), goneId));
        StandinPost fresh;
        fresh.title = "Fresh on Blogger";
        fresh.content = "<p>new</p>";
        fresh.updated = QDateTime::currentDateTimeUtc();
        fresh.published = fresh.updated;
        fresh.urlPath = "2016/01/fresh.html";
        const QString freshId = h->standin.addPost(StandinHarness::blogId(), fresh);

        resetBlocks();
        QVERIFY(download());
        QCOMPARE(b->list.calls(), 1);
        const QList<BloggerPost> second = storedPosts(StandinHarness::blogId());
        QCOMPARE(second.size(), 25);
        QVERIFY(ids(second).contains(freshId));
        // Absent from the listing is not deleted: the listing holds only the newest pages.
        QVERIFY(ids(second).contains(goneId));
        QCOMPARE(PostsLocalAccessAppService().getPost(changedId)->title, QString("Changed on Blogger"));
        QCOMPARE(PostsLocalAccessAppService().getPost(freshId)->title, QString("Fresh on Blogger"));
        QVERIFY(PersistentServiceState().getLastUpdated(StandinHarness::blogId()).value() >= firstUpdate);
    }

    void testLocalOnlyPostsAreNeverChangedByADownload()
    {
        QVERIFY(download());
        QStringList onBlogger;
        for (const BloggerPost& post : storedPosts(StandinHarness::blogId())) {
            if (post.postStatus == PostStatus::Published) {
                onBlogger.append(post.postId);
            }
        }
        QVERIFY(onBlogger.size() >= 4);
        const QString autosavedId = onBlogger.at(0);
        const QString offlineId = onBlogger.at(1);
        const QString deletedId = onBlogger.at(2);
        const QString syncedSourceId = onBlogger.at(3);

        const PostsLocalAccessAppService store;
        // Edits of published posts kept here under the published post's id, as autosave and offline
        // copies store them; a synced copy with an id of its own; a post that never was on Blogger.
        store.addOrUpdatePost(localPost(autosavedId, PostStatus::Autosaved, "Autosaved edit"));
        store.addOrUpdatePost(localPost(offlineId, PostStatus::Offline, "Offline edit"));
        store.addOrUpdatePost(localPost(deletedId, PostStatus::Deleted, "Deleted here"));
        const QString syncedId = GoogleServiceConstants::RandomId();
        store.addOrUpdatePost(localPost(syncedId, PostStatus::SyncedCopy, "Synced copy", syncedSourceId));
        const QString onlyHereId = GoogleServiceConstants::RandomId();
        store.addOrUpdatePost(localPost(onlyHereId, PostStatus::Offline, "Only here"));
        const QList<BloggerPost> localBefore = {
            store.getPost(autosavedId).value(), store.getPost(offlineId).value(),
            store.getPost(deletedId).value(), store.getPost(syncedId).value(),
            store.getPost(onlyHereId).value()};

        for (const QString& id : {autosavedId, offlineId, deletedId, syncedSourceId}) {
            retitle(h->standin, StandinHarness::blogId(), id, "Changed on Blogger");
        }
        resetBlocks();
        QVERIFY(download());
        QCOMPARE(b->list.calls(), 1);

        const QList<BloggerPost> localAfter = {
            store.getPost(autosavedId).value(), store.getPost(offlineId).value(),
            store.getPost(deletedId).value(), store.getPost(syncedId).value(),
            store.getPost(onlyHereId).value()};
        QCOMPARE(localAfter, localBefore);
        // The published post behind the synced copy mirrors Blogger and follows it.
        QCOMPARE(store.getPost(syncedSourceId)->title, QString("Changed on Blogger"));
        QCOMPARE(store.getPost(syncedSourceId)->postStatus, PostStatus::Published);
        QCOMPARE(storedPosts(StandinHarness::blogId()).size(), 26);
    }

    void testFaultOnThirdPageStoresNothingAndKeepsLastUpdate_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("html error page") << int(StandinFault::Kind::HtmlErrorPage);
        QTest::newRow("json error object") << int(StandinFault::Kind::ErrorObject);
        QTest::newRow("malformed feed") << int(StandinFault::Kind::MalformedBody);
        QTest::newRow("non-utf8 feed") << int(StandinFault::Kind::NonUtf8Body);
        QTest::newRow("no reply") << int(StandinFault::Kind::NoReply);
        QTest::newRow("stall past the time-out") << int(StandinFault::Kind::Stall);
    }

    void testFaultOnThirdPageStoresNothingAndKeepsLastUpdate()
    {
        QFETCH(int, kind);
        seedManyPosts(h->standin, StandinHarness::blogId(), 90);
        QVERIFY(download());
        const QList<BloggerPost> before = storedPosts(StandinHarness::blogId());
        const std::optional<QDateTime> lastUpdate =
            PersistentServiceState().getLastUpdated(StandinHarness::blogId());
        QVERIFY(lastUpdate.has_value());

        // Changes that the first two pages carry: none of them may reach the store.
        retitle(h->standin, StandinHarness::blogId(), ids(before).first(), "Changed on Blogger");
        StandinPost fresh;
        fresh.title = "Fresh on Blogger";
        fresh.updated = QDateTime::currentDateTimeUtc();
        fresh.published = fresh.updated;
        h->standin.addPost(StandinHarness::blogId(), fresh);
        // Switched on while the second page is answered, so it hits the third (and any retry of it).
        const QByteArray path = feedPath();
        connect(
            &h->standin, &GoogleStandin::requestLogged, &h->standin,
            [this, kind, path](const LoggedRequest& request) {
                if (request.path() == path && request.queryValue("start-index") == "21") {
                    h->standin.addFault(StandinFault::Kind(kind), path);
                }
            },
            Qt::DirectConnection);
        if (StandinFault::Kind(kind) == StandinFault::Kind::Stall) {
            m_service->setTimeoutInterval(0.3);
        }
        resetBlocks();
        QVERIFY(download());
        QCOMPARE(b->listError.calls(), 1);
        QVERIFY(!b->listError.last().success);
        QVERIFY(!b->listError.last().details.isEmpty());
        for (const LoggedRequest& request : h->standin.requests("GET", path).mid(5)) {
            QVERIFY(request.queryValue("start-index").toInt() <= 41);
        }

        QCOMPARE(storedPosts(StandinHarness::blogId()), before);
        QCOMPARE(PersistentServiceState().getLastUpdated(StandinHarness::blogId()), lastUpdate);
    }

    void testDownloadThatCannotBeStoredSaysNothingWasStored()
    {
        QVERIFY(download());
        const QList<BloggerPost> before = storedPosts(StandinHarness::blogId());
        const std::optional<QDateTime> lastUpdate =
            PersistentServiceState().getLastUpdated(StandinHarness::blogId());
        retitle(h->standin, StandinHarness::blogId(), ids(before).first(), "Changed on Blogger");
        SQLiteDB::sharedInstance().setBusyTimeout(50);
        {
            // Another process writes to the database for longer than the busy time-out.
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            resetBlocks();
            QVERIFY(download());
            QCOMPARE(b->listError.calls(), 1);
            QVERIFY2(b->listError.last().details.startsWith("Nothing was stored: "),
                     qPrintable(b->listError.last().details));
        }
        QCOMPARE(storedPosts(StandinHarness::blogId()), before);
        QCOMPARE(PersistentServiceState().getLastUpdated(StandinHarness::blogId()), lastUpdate);
    }

    void testFailedFirstDownloadLeavesBlogUnqueried()
    {
        h->standin.addFault(StandinFault::Kind::ErrorObject, feedPath(kitchenBlogId));
        QVERIFY(download(kitchenBlogId));
        QCOMPARE(b->listError.calls(), 1);
        QVERIFY(b->listError.last().details.contains("Backend Error"));
        QVERIFY(storedPosts(kitchenBlogId).isEmpty());
        QVERIFY(!PersistentServiceState().getBlogWasQueried(kitchenBlogId));
        QVERIFY(!PersistentServiceState().getLastUpdated(kitchenBlogId).has_value());
    }

    void testEmptyBlogIsQueriedWithNothingStored()
    {
        for (const QString& id : standinPostIds(kitchenBlogId)) {
            h->standin.removePost(kitchenBlogId, id);
        }
        QVERIFY(download(kitchenBlogId));
        QCOMPARE(b->list.calls(), 1);
        QVERIFY(storedPosts(kitchenBlogId).isEmpty());
        QVERIFY(PersistentServiceState().getBlogWasQueried(kitchenBlogId));
        QVERIFY(PersistentServiceState().getLastUpdated(kitchenBlogId).has_value());
    }

    // ---- credentials ----

    void testNoRefreshTokenEndsEveryOperationInItsErrorClosure()
    {
        h->auth->setRefreshToken(std::nullopt);
        const QString expected = GoogleAuthentificationService::noRefreshTokenMessage() + "." +
                                 GoogleResponseAnalysisService::reauthentificationAdvice();
        QVERIFY(download());
        QCOMPARE(b->listError.calls(), 1);
        QCOMPARE(b->listError.last().details, expected);

        const QString postId = standinPostIds(StandinHarness::blogId()).first();
        resetBlocks();
        m_service->getAndPersistBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->getError.calls(), 1);
        QCOMPARE(b->getError.last().details, expected);

        resetBlocks();
        m_service->deleteBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->removeError.calls(), 1);
        QCOMPARE(b->removeError.last().details, expected);

        QCOMPARE(h->standin.requestCount(), 0);
        QVERIFY(h->standin.post(StandinHarness::blogId(), postId).has_value());
        QVERIFY(storedPosts(StandinHarness::blogId()).isEmpty());
        QVERIFY(!PersistentServiceState().getBlogWasQueried(StandinHarness::blogId()));
    }

    void testRevokedGrantAndExpiredTokenAdviseSigningInAgain()
    {
        h->standin.revokeAllRefreshTokens();
        h->standin.expireAllAccessTokens();
        QVERIFY(download());
        QCOMPARE(b->listError.calls(), 1);
        const QString details = b->listError.last().details;
        QVERIFY2(details.endsWith(GoogleResponseAnalysisService::reauthentificationAdvice()),
                 qPrintable(details));
        QVERIFY(storedPosts(StandinHarness::blogId()).isEmpty());
    }

    // ---- one post ----

    void testGetStoresThePostAsBloggerHasItNow()
    {
        QVERIFY(download());
        const QString postId = ids(storedPosts(StandinHarness::blogId())).at(2);
        retitle(h->standin, StandinHarness::blogId(), postId, "Reloaded title");

        resetBlocks();
        m_service->getAndPersistBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        const BloggerPost post = b->get.last();
        QCOMPARE(post.postId, postId);
        QCOMPARE(post.title, QString("Reloaded title"));
        QVERIFY(post.internalId != GoogleServiceConstants::NoInternalId);
        QCOMPARE(PostsLocalAccessAppService().getPost(postId).value(), post);
        QCOMPARE(storedPosts(StandinHarness::blogId()).size(), 24);
    }

    void testGetOfAPostNotStoredYetAddsIt()
    {
        const QString postId = standinPostIds(StandinHarness::blogId()).last();
        m_service->getAndPersistBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->get.calls(), 1);
        QCOMPARE(ids(storedPosts(StandinHarness::blogId())), QStringList{postId});
    }

    void testGetNeverReplacesAnAutosavedEditOfThePost()
    {
        const QString postId = standinPostIds(StandinHarness::blogId()).first();
        const PostsLocalAccessAppService store;
        store.addOrUpdatePost(localPost(postId, PostStatus::Autosaved, "Autosaved edit"));
        const BloggerPost before = store.getPost(postId).value();

        m_service->getAndPersistBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->getError.calls(), 1);
        QVERIFY(b->getError.last().details.startsWith("Nothing was stored: "));
        QVERIFY(b->getError.last().details.contains("Autosaved"));
        QCOMPARE(store.getPost(postId).value(), before);
    }

    void testGetOfAPostGoneFromBloggerStoresNothing()
    {
        m_service->getAndPersistBlogPost("1234567890", StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->getError.calls(), 1);
        QVERIFY(storedPosts(StandinHarness::blogId()).isEmpty());
    }

    // ---- delete ----

    void testDeleteRemovesThePostOnBloggerAndHereWithItsComments()
    {
        QVERIFY(download());
        const QStringList stored = ids(storedPosts(StandinHarness::blogId()));
        const QString postId = stored.at(4);
        const CommentsLocalAccessAppService comments;
        BloggerPostComment comment(StandinHarness::blogId(), postId, "777001",
                                   BloggerUser("1", "Reader", "#", ""), QDateTime::currentDateTime(), "Nice");
        comments.addOrUpdatePostComment(comment);
        QCOMPARE(comments.listAllCommentsForPost(postId).size(), 1);

        resetBlocks();
        m_service->deleteBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->remove.calls(), 1);
        QVERIFY(!h->standin.post(StandinHarness::blogId(), postId).has_value());
        QCOMPARE(h->standin.requests("DELETE", "/blogger/v3/blogs/").size(), 1);
        QVERIFY(!PostsLocalAccessAppService().getPost(postId).has_value());
        QVERIFY(comments.listAllCommentsForPost(postId).isEmpty());
        QCOMPARE(storedPosts(StandinHarness::blogId()).size(), stored.size() - 1);
    }

    void testRefusedDeleteKeepsThePostEverywhere()
    {
        QVERIFY(download());
        const QString postId = ids(storedPosts(StandinHarness::blogId())).at(4);
        h->standin.addFault(StandinFault::Kind::ErrorObject, "/blogger/v3/blogs/");

        resetBlocks();
        m_service->deleteBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->removeError.calls(), 1);
        QCOMPARE(b->removeError.last().details, QString("Backend Error"));
        QVERIFY(h->standin.post(StandinHarness::blogId(), postId).has_value());
        QVERIFY(PostsLocalAccessAppService().getPost(postId).has_value());
    }

    void testDeleteWhoseLocalCopyCannotBeRemovedSaysSo()
    {
        QVERIFY(download());
        const QString postId = ids(storedPosts(StandinHarness::blogId())).at(4);
        SQLiteDB::sharedInstance().setBusyTimeout(50);
        {
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            resetBlocks();
            m_service->deleteBlogPost(postId, StandinHarness::blogId());
            QVERIFY(waitForExactlyOne(*b));
            QCOMPARE(b->removeError.calls(), 1);
            QCOMPARE(b->removeError.last().details, PostsRemotePersistenceAppService::localCopyKeptMessage());
        }
        QVERIFY(!h->standin.post(StandinHarness::blogId(), postId).has_value());
        QVERIFY(PostsLocalAccessAppService().getPost(postId).has_value());
    }

    void testDeleteKeepsAnOfflineCopyThatSharesThePostId()
    {
        // Turning a published post into an offline one keeps its id, then deletes it on Blogger.
        QVERIFY(download());
        const QString postId = ids(storedPosts(StandinHarness::blogId())).at(6);
        const PostsLocalAccessAppService store;
        store.addOrUpdatePost(localPost(postId, PostStatus::Offline, "Offline now"));
        const BloggerPost before = store.getPost(postId).value();

        resetBlocks();
        m_service->deleteBlogPost(postId, StandinHarness::blogId());
        QVERIFY(waitForExactlyOne(*b));
        QCOMPARE(b->remove.calls(), 1);
        QVERIFY(!h->standin.post(StandinHarness::blogId(), postId).has_value());
        QCOMPARE(store.getPost(postId).value(), before);
    }
};

QTEST_GUILESS_MAIN(TestPostsRemotePersistenceAppService)
#include "TestPostsRemotePersistenceAppService.moc"

#include "BlockRecorder.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "google/PhotoGoogleService.h"
#include "platform/ApplicationFolders.h"
#include "services/LocalImages.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "services/UploadPhotosGroupService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString writeImage(const QString& folder, const QString& name, const QSize& size)
{
    const QString path = folder + QLatin1Char('/') + name;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(path, "PNG");
    return path;
}

BloggerPost draftPost(const QString& postId, const QString& title, PostStatus status)
{
    BloggerPost post;
    post.blogId = StandinHarness::blogId();
    post.postId = postId;
    post.title = title;
    post.content = QStringLiteral("<p>") + title + QStringLiteral("</p>");
    post.labels = {QStringLiteral("one"), QStringLiteral("two")};
    post.postStatus = status;
    return post;
}

} // namespace

// What publishing uses below the windows: local image copies, the photo upload, the batch of uploads and
// the add and update of a post with the store kept in step, against the stand-in on 127.0.0.1.
class TestPublishingServices : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    QTemporaryDir m_files;
    QString m_dataFolder;

    static QString imagesFolder()
    {
        const QString folder = ApplicationFolders::applicationsFolder();
        QDir().mkpath(folder);
        return folder;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_dataFolder = TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        PostsLocalAccessAppService().deleteAllPostsForBlogWithoutCascade(StandinHarness::blogId());
        h = std::make_unique<StandinHarness>();
    }

    void cleanup() { h.reset(); }

    // ---- local images ----

    void testCopiedNameKeepsIdAndExtensionAndMakesOtherCharactersSafe()
    {
        QCOMPARE(LocalImages::copiedFileName("ID-", "photo.jpg"), QStringLiteral("ID-photo.jpg"));
        QCOMPARE(LocalImages::copiedFileName("ID-", "my \"best\" p&ic \u00e9\U0001F600.JPEG"),
                 QStringLiteral("ID-my__best__p_ic___.JPEG"));
        QCOMPARE(LocalImages::copiedFileName("ID-", "a_b-c.1.png"), QStringLiteral("ID-a_b-c.1.png"));
    }

    void testImageAddressesReadBackAsPaths()
    {
        QCOMPARE(LocalImages::filePathForAddress("file:///tmp/a b/x.png"), QStringLiteral("/tmp/a b/x.png"));
        QCOMPARE(LocalImages::filePathForAddress("file:///tmp/R&amp;D/&quot;q&quot;.png"),
                 QStringLiteral("/tmp/R&D/\"q\".png"));
        QCOMPARE(LocalImages::filePathForAddress("file:///a&amp;quot;b"), QStringLiteral("/a&quot;b"));
        QVERIFY(!LocalImages::filePathForAddress("https://host/x.png"));
        QVERIFY(!LocalImages::filePathForAddress("file://"));
    }

    void testCopyGoesIntoApplicationsFolderOfDataFolder()
    {
        const QString source = writeImage(m_files.path(), "pic.png", QSize(3, 3));
        const LocalImages::Copy copy = LocalImages::copyIntoFolder(source);
        QVERIFY2(copy.path, qPrintable(copy.error));
        QCOMPARE(QFileInfo(*copy.path).absolutePath(), m_dataFolder + QStringLiteral("/Applications"));
        QVERIFY(QFileInfo(*copy.path).fileName().endsWith("pic.png"));
        QCOMPARE(QFileInfo(*copy.path).fileName().size(), 36 + 7);
        QVERIFY(QFile::remove(*copy.path));
    }

    void testCopyOfMissingFileSaysWhy()
    {
        const LocalImages::Copy copy = LocalImages::copyIntoFolder(m_files.path() + "/gone.png");
        QVERIFY(!copy.path);
        QVERIFY(copy.error.contains("gone.png"));
    }

    // ---- one photo ----

    void testPhotoUploadSendsTheFileAndAnswersTheStoredAddress()
    {
        const QString source = writeImage(m_files.path(), "sunset beach.png", QSize(8, 6));
        const qsizetype seeded = h->standin.photos().size();
        auto web = PhotoGoogleService::create(h->auth);
        BlockRecorder<QString> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        web->onUploadAlbumPhotoBlockSuccess = ok.block();
        web->onUploadAlbumPhotoBlockError = error.block();
        web->uploadAlbumPhoto(source);
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(ok.calls(), 1);
        const QList<StandinPhoto> photos = h->standin.photos().mid(seeded);
        QCOMPARE(photos.size(), 1);
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(photos.first().data, file.readAll());
        QCOMPARE(photos.first().fileName, QStringLiteral("sunset beach.png"));
        QVERIFY(ok.last().startsWith(h->standin.serverUrl().toString() + "/photos/" + photos.first().id));

        const QList<LoggedRequest> sent =
            h->standin.requests("POST", "/data/feed/api/user/default/albumid/default");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().header("Content-Type"), QByteArray("image/png"));
        const QByteArray authorization = sent.first().header("Authorization");
        QVERIFY(authorization.startsWith("OAuth "));
        QVERIFY(h->standin.isAccessTokenValid(QString::fromUtf8(authorization.mid(6))));
        QCOMPARE(sent.first().header("Slug"), QByteArray("sunset%20beach.png"));
    }

    // What is not a picture never leaves, whatever its name; the album's own refusal is said plainly.
    void testPhotoUploadSendsOnlyPicturesAndSaysRefusalsPlainly()
    {
        const QString text = m_files.path() + "/not-an-image.png";
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plain text");
        file.close();
        const int before = h->standin.requestCount();
        for (const QString& source : {text, QStringLiteral("/dev/zero"), m_files.path()}) {
            auto web = PhotoGoogleService::create(h->auth);
            BlockRecorder<QString> ok;
            BlockRecorder<BloggerSuccessResponse> error;
            web->onUploadAlbumPhotoBlockSuccess = ok.block();
            web->onUploadAlbumPhotoBlockError = error.block();
            web->uploadAlbumPhoto(source);
            QVERIFY(waitForOneOf(ok, error));
            QCOMPARE(error.calls(), 1);
            QCOMPARE(error.last().details, PhotoGoogleService::notAPictureMessage(source));
        }
        QCOMPARE(h->standin.requests("POST", "/data/feed/api/user/default/albumid/default").size(), 0);

        const QString picture = writeImage(m_files.path(), "refused.png", QSize(2, 2));
        h->standin.addFault(StandinFault{StandinFault::Kind::ErrorObject, "/data/feed", "POST", 1, 0, {}});
        auto web = PhotoGoogleService::create(h->auth);
        BlockRecorder<QString> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        web->onUploadAlbumPhotoBlockSuccess = ok.block();
        web->onUploadAlbumPhotoBlockError = error.block();
        web->uploadAlbumPhoto(picture);
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(error.calls(), 1);
        QVERIFY2(error.last().details.startsWith("The photo album did not accept the picture refused.png"),
                 qPrintable(error.last().details));
        QVERIFY(!error.last().details.contains('<'));
        QVERIFY(h->standin.requestCount() > before);
    }

    void testCancelEndsStalledUploadWithoutStoringIt()
    {
        const QString source = writeImage(m_files.path(), "stall.png", QSize(2, 2));
        h->standin.addFault(StandinFault::Kind::Stall, "/data/feed");
        auto web = PhotoGoogleService::create(h->auth);
        BlockRecorder<QString> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        web->onUploadAlbumPhotoBlockSuccess = ok.block();
        web->onUploadAlbumPhotoBlockError = error.block();
        web->uploadAlbumPhoto(source);
        QTRY_COMPARE(h->standin.stalledCount(), 1);
        web->cancelUpload();
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(error.calls(), 1);
    }

    // ---- a post's images ----

    // Only pictures copied into the images folder go: a picture elsewhere, a link out of the folder, a
    // file that is no picture, a device and a file over the cap each stop the group before any request.
    void testGroupUploadsOnlyPicturesInTheImagesFolder()
    {
        const QString folder = imagesFolder();
        const QString good = "file://" + writeImage(folder, "good.png", QSize(2, 2));
        const QString outside = writeImage(m_files.path(), "private.png", QSize(2, 2));
        QVERIFY(QFile::link(outside, folder + "/link.png"));
        QFile text(folder + "/secret.png");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("password=hunter2");
        text.close();
        QFile large(folder + "/large.png");
        QVERIFY(large.open(QIODevice::WriteOnly));
        large.write("\x89PNG\r\n\x1a\n");
        QVERIFY(large.resize(PhotoGoogleService::MaximumPhotoSize + 1));
        large.close();
        const QStringList refused = {"file://" + outside,
                                     "file://" + folder + "/link.png",
                                     "file://" + folder + "/secret.png",
                                     "file:///dev/zero",
                                     "file://" + folder + "/large.png",
                                     "file://" + folder + "/../x.png",
                                     "file://" + folder + "/gone.png"};
        const int before = h->standin.requestCount();
        for (const QString& address : refused) {
            auto group = UploadPhotosGroupService::create(h->auth);
            BlockRecorder<QHash<QString, QString>> ok;
            BlockRecorder<BloggerSuccessResponse> error;
            group->onUploadPhotosSuccess = ok.block();
            group->onUploadPhotosError = error.block();
            group->uploadPhotos({good, address});
            QVERIFY(waitForOneOf(ok, error));
            QCOMPARE(error.calls(), 1);
            const QString path = *LocalImages::filePathForAddress(address);
            QVERIFY2(error.last().details.contains(path), qPrintable(error.last().details));
        }
        QCOMPARE(h->standin.requestCount(), before);
    }

    void testImagesUploadOneAfterAnotherEachOnce()
    {
        const QString a = "file://" + writeImage(imagesFolder(), "a.png", QSize(2, 2));
        const QString b = "file://" + writeImage(imagesFolder(), "b.png", QSize(3, 2));
        const qsizetype seeded = h->standin.photos().size();
        auto group = UploadPhotosGroupService::create(h->auth);
        BlockRecorder<QHash<QString, QString>> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        group->onUploadPhotosSuccess = ok.block();
        group->onUploadPhotosError = error.block();
        group->uploadPhotos({a, b, a});
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(ok.calls(), 1);
        const QList<StandinPhoto> photos = h->standin.photos().mid(seeded);
        QCOMPARE(photos.size(), 2);
        QCOMPARE(photos[0].fileName, QStringLiteral("a.png"));
        QCOMPARE(photos[1].fileName, QStringLiteral("b.png"));
        const QHash<QString, QString> uploaded = ok.last();
        QCOMPARE(uploaded.size(), 2);
        const QString content =
            "<p>x</p><img src=\"" + a + "\"><IMG SRC=\"" + b + "\"><img src=\"" + a + "\"><p>" + a + "</p>";
        const QString replaced = UploadPhotosGroupService::replaceImages(content, uploaded);
        QCOMPARE(replaced, "<p>x</p><img src=\"" + uploaded[a] + "\"><IMG SRC=\"" + uploaded[b] +
                               "\"><img src=\"" + uploaded[a] + "\"><p>" + a + "</p>");
    }

    void testFailedImageStopsTheGroup()
    {
        const QString a = "file://" + writeImage(imagesFolder(), "a.png", QSize(2, 2));
        const QString b = "file://" + writeImage(imagesFolder(), "b.png", QSize(2, 2));
        const QString c = "file://" + writeImage(imagesFolder(), "c.png", QSize(2, 2));
        const qsizetype seeded = h->standin.photos().size();
        h->standin.addFault(StandinFault{StandinFault::Kind::ErrorObject, "/data/feed", "POST", 1, 0, {}});
        auto group = UploadPhotosGroupService::create(h->auth);
        BlockRecorder<QHash<QString, QString>> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        group->onUploadPhotosSuccess = ok.block();
        group->onUploadPhotosError = error.block();
        // The fault takes the first request: nothing after it is sent.
        group->uploadPhotos({a, b, c});
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(error.calls(), 1);
        // waitForOneOf waited for the work queued behind the error: a next upload would be on its way.
        QCOMPARE(h->standin.requests("POST", "/data/feed").size(), 1);
        QCOMPARE(h->standin.photos().size(), seeded);
    }

    // ---- add and update ----

    void testAddStoresTheReplyInPlaceOfTheLocalPost()
    {
        const BloggerPost offline = draftPost("LOCAL-1", "Written offline", PostStatus::Offline);
        PostsLocalAccessAppService().addOrUpdatePost(offline);
        BloggerPost toPublish = offline;
        toPublish.postStatus = PostStatus::Published;
        auto service = PostsRemotePersistenceAppService::create(h->auth);
        BlockRecorder<BloggerPost> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        service->onAddBlogPostSuccess = ok.block();
        service->onAddBlogPostError = error.block();
        service->addBlogPost(toPublish, offline.postId);
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(ok.calls(), 1);
        const BloggerPost stored = ok.last();
        QVERIFY(stored.postId != offline.postId);
        QCOMPARE(stored.postStatus, PostStatus::Published);
        QCOMPARE(stored.labels, (QStringList{"one", "two"}));
        QVERIFY(!PostsLocalAccessAppService().getPost(offline.postId));
        QCOMPARE(PostsLocalAccessAppService().getPost(stored.postId)->title,
                 QStringLiteral("Written offline"));
        const std::optional<StandinPost> remote = h->standin.post(StandinHarness::blogId(), stored.postId);
        QVERIFY(remote);
        QCOMPARE(remote->content, QStringLiteral("<p>Written offline</p>"));
    }

    void testUpdateOfSyncedCopyLeavesThePostStoredOnce()
    {
        const QString publishedId = h->standin.blog(StandinHarness::blogId())->posts.first().id;
        BloggerPost published = draftPost(publishedId, "On Blogger", PostStatus::Published);
        PostsLocalAccessAppService().addOrUpdatePost(published);
        const BloggerPost copy = draftPost("COPY-1", "Copy edited", PostStatus::SyncedCopy);
        PostsLocalAccessAppService().addOrUpdatePost(BloggerPost(copy.blogId, copy.postId, {}, {}, copy.title,
                                                                 copy.content, {}, copy.labels, 0, "#",
                                                                 PostStatus::SyncedCopy, publishedId));
        BloggerPost toPublish = copy;
        toPublish.postStatus = PostStatus::Published;
        auto service = PostsRemotePersistenceAppService::create(h->auth);
        BlockRecorder<BloggerPost> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        service->onUpdateBlogPostSuccess = ok.block();
        service->onUpdateBlogPostError = error.block();
        service->updateBlogPost(toPublish, publishedId, copy.postId);
        QVERIFY(waitForOneOf(ok, error));
        QCOMPARE(ok.calls(), 1);
        QCOMPARE(ok.last().postId, publishedId);
        QVERIFY(!PostsLocalAccessAppService().getPost(copy.postId));
        const QList<BloggerPost> all =
            PostsLocalAccessAppService().listAllPostsforBlog(StandinHarness::blogId());
        QCOMPARE(std::count_if(all.begin(), all.end(),
                               [&](const BloggerPost& p) { return p.title == "Copy edited"; }),
                 1);
        QCOMPARE(h->standin.post(StandinHarness::blogId(), publishedId)->title,
                 QStringLiteral("Copy edited"));
    }

    void testCancelledAddCallsNothing()
    {
        h->standin.addFault(StandinFault::Kind::Stall, "/feeds/");
        auto service = PostsRemotePersistenceAppService::create(h->auth);
        BlockRecorder<BloggerPost> ok;
        BlockRecorder<BloggerSuccessResponse> error;
        service->onAddBlogPostSuccess = ok.block();
        service->onAddBlogPostError = error.block();
        service->addBlogPost(draftPost("", "Never", PostStatus::Published));
        QTRY_COMPARE(h->standin.stalledCount(), 1);
        service->cancelPublishing();
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(ok.calls() + error.calls(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPublishingServices)
#include "TestPublishingServices.moc"

#include "AppTestMain.h"
#include "EditorAppDriver.h"
#include "HeldDatabaseLock.h"
#include "HostileContent.h"
#include "LocalHttpServer.h"
#include "ScriptResult.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "common/GoogleServiceConstants.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/PostPreviewService.h"
#include "platform/ApplicationFolders.h"
#include "platform/Clock.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLiteDB.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWebEngineScript>

#include <algorithm>
#include <atomic>

#include <signal.h>

namespace {

const QString Blog = QStringLiteral("4120843728710463922");

bool isUuid(const QString& id)
{
    return id.size() == 36 && !QUuid::fromString(id).isNull() && id == id.toUpper();
}

QList<BloggerPost> storedPosts()
{
    return PostsLocalAccessAppService().listAllPostsforBlog(Blog);
}

std::optional<StandinPost> standinPostTitled(GoogleStandin& standin, const QString& title)
{
    // Held here: a range over a member of the temporary optional would outlive it.
    const std::optional<StandinBlog> blog = standin.blog(Blog);
    for (const StandinPost& post : blog->posts) {
        if (post.title == title) {
            return post;
        }
    }
    return std::nullopt;
}

// The stand-in's post, stored here as a download would store it.
BloggerPost mirror(GoogleStandin& standin, const StandinPost& remote)
{
    BloggerPost post(
        Blog, remote.id, remote.published, remote.updated, remote.title, remote.content, QString(),
        remote.labels, remote.comments.size(), standin.serverUrl().toString() + "/" + remote.urlPath,
        remote.draft ? PostStatus::Draft : PostStatus::Published, GoogleServiceConstants::NoOfflineId());
    PostsLocalAccessAppService().addOrUpdatePost(post);
    return *PostsLocalAccessAppService().getPost(remote.id);
}

// The blog's posts but its drafts, stored as a download stores them, and listed.
bool listStandinPosts(EditorAppDriver& d, GoogleStandin& standin)
{
    qsizetype listed = 0;
    const std::optional<StandinBlog> blog = standin.blog(Blog);
    for (const StandinPost& post : blog->posts) {
        if (!post.draft) {
            mirror(standin, post);
            ++listed;
        }
    }
    d.app->windowController()->applicationControllerService()->reloadPostsList();
    return QTest::qWaitFor([&] { return d.listedTitles().size() == listed; }, EditorAppDriver::Timeout);
}

// What the client sent. A post published by an earlier case shows its pictures from the stand-in, and
// the reading pane may still be fetching them.
int sentRequests(const GoogleStandin& standin)
{
    return standin.requestCount() - int(standin.requests("GET", "/photos/").size());
}

// The editor's deadline on its page's answers, for one case: the application, and its view, may go first.
auto scriptDeadline(EditorAppDriver& d, int milliseconds)
{
    const QPointer<WebView> view = d.editor()->webViewOutlet();
    const int usual = view->scriptDeadlineMs();
    view->setScriptDeadlineMs(milliseconds);
    return qScopeGuard([view, usual] {
        if (view) {
            view->setScriptDeadlineMs(usual);
        }
    });
}

} // namespace

// Writing and publishing through the whole application in this process, against the stand-in on
// 127.0.0.1, as a user works the editor.
class TestPostEditorFlows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // First: the first editor of the session, whose page is still loading as the keys come.
    void testKeysTypedRightAfterOpeningAllReachTheTitle();
    void testNewPostIsPublishedWithTitleContentAndLabelsAndListed();
    void testScheduledForLocalTimeReachesBloggerAtThatInstant();
    void testSaveAsDraftKeepsItADraftOnBlogger();
    void testSaveOfflineStoresOnlyHereUnderFreshId();
    void testEditOfPublishedPostUpdatesItOnBlogger();
    void testSyncedCopyIsListedOfflineThenPublishedOverOriginal();
    void testOfflineCopyWithPublishedVersionDeleted();
    void testTwoLocalImagesAreUploadedAndSourcesRewritten();
    void testUploadOfNonPictureOrOutsideFileStopsBeforeAnythingIsSent();
    void testCancelDuringStalledUploadKeepsPostInEditor();
    void testValidationStopsBeforeAnythingIsSent();
    void testNothingTypedWhilePublishingIsLost();
    void testPostOnBloggerBeforeItsCancelStaysInEditorAndIsUpdatedAfter();
    void testRetryAfterLostAnswerNeverPublishesASecondCopy_data();
    void testRetryAfterLostAnswerNeverPublishesASecondCopy();
    void testTextOnScreenAtThePressIsWhatIsKeptOrPublished();
    void testTrickyContentSurvivesSaveOfflineAndReopen();
    void testKeepVersionSaveStoresNewPostOffline();
    void testKeepVersionSaveOfPublishedPostMakesOfflineCopy();
    void testKeepVersionDontSaveDropsAutosave();
    void testKeepVersionCancelKeepsEditorOpen();
    void testSecondPostWhileEditingIsRefusedAndQuitTooUntilClosed();
    void testAutosaveIsOfferedBackAfterUnexpectedExit();
    void testAutosavesAreOfferedOneAfterAnotherInTitleOrder();
    void testAutosaveThatCannotBeWrittenIsToldUntilOneIs();
    void testPreviewsShowThePostAsItStandsInTheEditor();
    void testTemplateLoopingAlertsAndPromptsHoldsNoWindow();
    void testLoopingEmbedHoldsNeitherSaveNorClose();
    void testPageThatStopsAnsweringEndsSaveAndCloseAndKeepsAutosave();
    void testPageWhoseRendererEndsIsToldAsStoppedNotAsSlow();
    void testDownloadedPostOpenedForEditingOpensNothingByItself();
    void testPublishedPostIsScrolledIntoViewInTheList();

    void cleanupTestCase() { d.app.reset(); }

private:
    EditorAppDriver d;
    GoogleStandin m_standin;
    QTemporaryDir m_files;
    QString m_imageA;
    QString m_imageB;
};

void TestPostEditorFlows::initTestCase()
{
    TestSupport::useFreshDataFolder();
    QVERIFY(m_standin.start(0) != 0);
    m_imageA = m_files.path() + "/harbour.png";
    m_imageB = m_files.path() + "/boats & nets.png";
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QVERIFY(image.save(m_imageA, "PNG"));
    image.fill(Qt::darkRed);
    QVERIFY(image.save(m_imageB, "PNG"));
}

void TestPostEditorFlows::init()
{
    m_standin.reset();
    ApplicationHarness::removeAllPosts(Blog);
    EditorAppDriver::signInTo(m_standin, Blog);
    if (!d.app) {
        QVERIFY(d.launch());
        return;
    }
    // One application for the cases that do not restart it: a launch costs seconds.
    const QString user = m_standin.defaultAccountId();
    GoogleAuthentificationService& auth = *d.app->delegate()->authentificationService();
    auth.setAccessToken(PersistentAccessTokens(user).accessToken());
    auth.setRefreshToken(PersistentAccessTokens(user).refreshToken());
    d.app->alerts.clear();
    d.app->answers.clear();
    d.app->windowController()->onAreaChangeRequest(PostArea::Published);
    QTRY_COMPARE(d.listedTitles(), QStringList());
}

void TestPostEditorFlows::cleanup()
{
    m_standin.clearFaults();
    m_standin.releaseStalled();
    if (!d.app) {
        return;
    }
    if (d.editor()->publishingPost()) {
        d.editor()->onCancelPublishing();
    }
    d.editor()->close();
    QVERIFY(d.waitForEditorClosed());
    d.posts()->postAutoSaveService()->setInterval(PostAutoSaveService::AutoSaveIntervalMs);
    d.posts()->postAutoSaveService()->waitForStoreWork();
    QVERIFY(ApplicationHarness::settle());
}

void TestPostEditorFlows::testKeysTypedRightAfterOpeningAllReachTheTitle()
{
    QVERIFY(listStandinPosts(d, m_standin));
    QWidget* main = d.app->window();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QListView* view = d.list()->tableViewOutlet();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 1);
    QTest::keyClick(view, Qt::Key_N, Qt::ControlModifier);
    QVERIFY2(!d.editor()->editorLoaded(), "the page is to be still loading");
    // To the window that has the focus, as the window system sends them; the list's type-ahead would
    // take the "W" to "Why the moon matters".
    QTest::keyClicks(nullptr, "Weekend tides");
    QVERIFY(d.waitForEditor());
    QTRY_COMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Weekend tides"));
    QCOMPARE(view->selectionModel()->selectedIndexes(), selected);

    // Published with the mouse, the button took the focus; the next editor starts in its title all the same.
    d.typeAtEnd("Swell from the west");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("Swell from the west"); }));
    TestSupport::press(d.editor()->publishButtonOutlet());
    QVERIFY(d.waitForEditorClosed());
    QVERIFY(standinPostTitled(m_standin, "Weekend tides"));
    const int before = sentRequests(m_standin);
    QVERIFY(d.openNewPost());
    QVERIFY(QTest::qWaitForWindowActive(d.editor()->window()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.editor()->postTitleOutlet()));
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Space);
    // A press of Publish reads the page first: that answer would come before this one.
    d.pageContent();
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral(" "));
    QVERIFY(d.app->alerts.isEmpty());
    QCOMPARE(sentRequests(m_standin), before);

    // Edit reads the post first: keys typed meanwhile follow its title.
    d.editor()->close();
    QVERIFY(d.waitForEditorClosed());
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    const QModelIndexList listed = view->selectionModel()->selectedIndexes();
    d.app->windowController()->onEditPostRequest(standinPostTitled(m_standin, "Weekend tides")->id);
    QTest::keyClicks(nullptr, " at dawn");
    QVERIFY(d.waitForEditor());
    QTRY_COMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Weekend tides at dawn"));
    QCOMPARE(view->selectionModel()->selectedIndexes(), listed);
}

void TestPostEditorFlows::testNewPostIsPublishedWithTitleContentAndLabelsAndListed()
{
    QVERIFY(d.openNewPost());
    QCOMPARE(d.editor()->window()->windowTitle(), QStringLiteral("New Post"));
    QVERIFY(d.write("Spring tides", " moon , , sea ", "Water everywhere"));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());

    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "Spring tides");
    QVERIFY(remote);
    QVERIFY2(remote->content.contains("Water everywhere"), qPrintable(remote->content));
    QCOMPARE(remote->labels, (QStringList{"moon", "sea"}));
    QVERIFY(!remote->draft);
    const std::optional<BloggerPost> stored = PostsLocalAccessAppService().getPost(remote->id);
    QVERIFY(stored);
    QCOMPARE(stored->postStatus, PostStatus::Published);
    QCOMPARE(storedPosts().size(), 1);
    QTRY_VERIFY(d.listedTitles().contains("Spring tides"));
    // Nothing asked and nothing left behind.
    QVERIFY(d.app->alerts.isEmpty());
    QCOMPARE(PostsLocalAccessAppService()
                 .listFilteredPostsForBlog(Blog, PostSortOptions::Title, PostSortOrderOptions::Ascending,
                                           PostFilterOptions::ByStatus, "Autosaved")
                 .size(),
             0);
}

void TestPostEditorFlows::testScheduledForLocalTimeReachesBloggerAtThatInstant()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Neap tides", "", "Later"));
    d.editor()->scheduledCheckboxOutlet()->click();
    const QDate day = QDate::currentDate().addDays(40);
    d.editor()->publishDateTimeOutlet()->setDateTime(QDateTime(day, QTime(21, 15), Qt::LocalTime));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());

    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "Neap tides");
    QVERIFY(remote);
    QCOMPARE(remote->published.toSecsSinceEpoch(),
             QDateTime(day, QTime(21, 15), Qt::LocalTime).toSecsSinceEpoch());
    const std::optional<BloggerPost> stored = PostsLocalAccessAppService().getPost(remote->id);
    QCOMPARE(stored->postStatus, PostStatus::Scheduled);
    QCOMPARE(stored->publishDate->toLocalTime().time(), QTime(21, 15));
    QCOMPARE(stored->publishDate->toLocalTime().date(), day);
    QTRY_VERIFY(
        std::any_of(d.list()->postsList().begin(), d.list()->postsList().end(), [](const BloggerPost& p) {
            return p.title == "Neap tides" && p.postStatus == PostStatus::Scheduled;
        }));

    // Opened again, the picker shows the same wall-clock time.
    QVERIFY(d.openPost(remote->id));
    QVERIFY(d.editor()->scheduledCheckboxOutlet()->isChecked());
    QCOMPARE(d.editor()->publishDateTimeOutlet()->dateTime(), QDateTime(day, QTime(21, 15), Qt::LocalTime));
    d.editor()->close();
}

void TestPostEditorFlows::testSaveAsDraftKeepsItADraftOnBlogger()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Rough notes", "draft", "Not yet"));
    d.editor()->postStatusOutlet()->setCurrentIndex(1);
    Q_EMIT d.editor()->postStatusOutlet()->activated(1);
    QCOMPARE(d.editor()->publishButtonOutlet()->text(), QStringLiteral("Save as Draft"));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "Rough notes");
    QVERIFY(remote && remote->draft);
    QCOMPARE(PostsLocalAccessAppService().getPost(remote->id)->postStatus, PostStatus::Draft);
}

void TestPostEditorFlows::testSaveOfflineStoresOnlyHereUnderFreshId()
{
    const int requestsBefore = m_standin.requests("POST", "/feeds/").size();
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Kept here", "local", "Only on this computer"));
    d.editor()->postStatusOutlet()->setCurrentIndex(2);
    Q_EMIT d.editor()->postStatusOutlet()->activated(2);
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 1);
    QVERIFY2(isUuid(posts.first().postId), qPrintable(posts.first().postId));
    QCOMPARE(posts.first().postStatus, PostStatus::Offline);
    QCOMPARE(posts.first().labels, QStringList{"local"});
    QCOMPARE(m_standin.requests("POST", "/feeds/").size(), requestsBefore);
    QVERIFY(!standinPostTitled(m_standin, "Kept here"));
}

void TestPostEditorFlows::testEditOfPublishedPostUpdatesItOnBlogger()
{
    const StandinPost remote = m_standin.blog(Blog)->posts.at(1);
    const BloggerPost stored = mirror(m_standin, remote);
    QVERIFY(d.openPost(stored.postId));
    QCOMPARE(d.editor()->window()->windowTitle(), QStringLiteral("Edit Post \u00B7 ") + remote.title);
    d.editor()->postTitleOutlet()->setText("Retitled");
    d.typeAtEnd(" Added later.");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("Added later."); }));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const std::optional<StandinPost> updated = m_standin.post(Blog, remote.id);
    QCOMPARE(updated->title, QStringLiteral("Retitled"));
    QVERIFY(updated->content.contains("Added later."));
    QCOMPARE(m_standin.blog(Blog)->posts.size(), 24);
    QCOMPARE(storedPosts().size(), 1);
    QCOMPARE(PostsLocalAccessAppService().getPost(remote.id)->title, QStringLiteral("Retitled"));
}

void TestPostEditorFlows::testSyncedCopyIsListedOfflineThenPublishedOverOriginal()
{
    const StandinPost remote = m_standin.blog(Blog)->posts.at(2);
    mirror(m_standin, remote);
    QVERIFY(d.openPost(remote.id, true));
    QCOMPARE(d.editor()->publishedToOfflineUpdateTypeOutlet()->currentIndex(), 0);
    d.typeAtEnd(" Copy edit.");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("Copy edit."); }));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());

    const std::optional<BloggerPost> copy = PostsLocalAccessAppService().getOfflinePostForPost(remote.id);
    QVERIFY(copy);
    QCOMPARE(copy->postStatus, PostStatus::SyncedCopy);
    QVERIFY(isUuid(copy->postId));
    QCOMPARE(PostsLocalAccessAppService().getPost(remote.id)->content, remote.content);
    QCOMPARE(m_standin.post(Blog, remote.id)->content, remote.content);
    // Listed among the offline posts.
    d.app->windowController()->onAreaChangeRequest(PostArea::Offline);
    QTRY_COMPARE(d.listedTitles(), QStringList{remote.title});

    QVERIFY(d.openPost(copy->postId));
    QCOMPARE(d.editor()->postStatusOutlet()->currentText(), QStringLiteral("Save Locally"));
    d.editor()->postStatusOutlet()->setCurrentIndex(0);
    Q_EMIT d.editor()->postStatusOutlet()->activated(0);
    std::atomic<int> areaReads{0};
    ApplicationControllerService::setListingReadHook([&](PostArea, PostSortOptions) { ++areaReads; });
    auto unhook = qScopeGuard([] { ApplicationControllerService::setListingReadHook({}); });
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    // The copy leaves the offline posts, and the list follows without reading the area again.
    QTRY_COMPARE(d.listedTitles(), QStringList());
    QCOMPARE(areaReads.load(), 0);
    QVERIFY(m_standin.post(Blog, remote.id)->content.contains("Copy edit."));
    const QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().postId, remote.id);
    QCOMPARE(posts.first().postStatus, PostStatus::Published);
    QVERIFY(posts.first().content.contains("Copy edit."));
    QCOMPARE(m_standin.blog(Blog)->posts.size(), 24);
}

void TestPostEditorFlows::testOfflineCopyWithPublishedVersionDeleted()
{
    const StandinPost remote = m_standin.blog(Blog)->posts.at(3);
    mirror(m_standin, remote);
    QVERIFY(d.openPost(remote.id, true));
    d.editor()->publishedToOfflineUpdateTypeOutlet()->setCurrentIndex(2);
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    QVERIFY(!m_standin.post(Blog, remote.id));
    const QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 1);
    QVERIFY(isUuid(posts.first().postId));
    QCOMPARE(posts.first().postStatus, PostStatus::Offline);
    QCOMPARE(posts.first().title, remote.title);
    QCOMPARE(posts.first().content, remote.content);
}

void TestPostEditorFlows::testTwoLocalImagesAreUploadedAndSourcesRewritten()
{
    const qsizetype photosBefore = m_standin.photos().size();
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("With pictures", "", "Look:"));
    QVERIFY(d.addImage(m_imageA));
    QVERIFY(d.addImage(m_imageB));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "With pictures");
    QVERIFY(remote);
    QVERIFY2(!remote->content.contains("file://"), qPrintable(remote->content));
    const QList<StandinPhoto> photos = m_standin.photos().mid(photosBefore);
    QCOMPARE(photos.size(), 2);
    for (const StandinPhoto& photo : photos) {
        QVERIFY2(remote->content.contains("src=\"" + m_standin.serverUrl().toString() + "/photos/" +
                                          photo.id + "/"),
                 qPrintable(remote->content));
    }
    QVERIFY(photos[1].fileName.endsWith("boats___nets.png"));
}

void TestPostEditorFlows::testUploadOfNonPictureOrOutsideFileStopsBeforeAnythingIsSent()
{
    const QString broken = m_files.path() + "/broken.png";
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    const int postsBefore = m_standin.blog(Blog)->posts.size();
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Half uploaded", "", "Two pictures:"));
    QVERIFY(d.addImage(m_imageA));
    QVERIFY(d.addImage(broken));
    const QString content = d.editor()->postFromEditor()->content;
    const int requestsBefore = sentRequests(m_standin);
    d.clickPublish();
    QTRY_COMPARE(d.alertTitles(), QStringList{"Cannot publish your post"});
    QVERIFY2(d.app->alerts.first().message.contains("broken.png is not a PNG, JPEG, GIF or TIFF picture"),
             qPrintable(d.app->alerts.first().message));
    QTRY_VERIFY(!d.editor()->publishingPost());
    QCOMPARE(sentRequests(m_standin), requestsBefore);
    QCOMPARE(m_standin.blog(Blog)->posts.size(), postsBefore);
    QVERIFY(d.editor()->isWindowOpened());
    QCOMPARE(d.editor()->publishButtonOutlet()->text(), QStringLiteral("Publish"));
    QCOMPARE(d.editor()->postFromEditor()->content, content);
    QVERIFY(content.contains("file://"));
    // And in the autosave.
    d.posts()->postAutoSaveService()->autosave();
    d.posts()->postAutoSaveService()->waitForStoreWork();
    const QString record = d.posts()->postAutoSaveService()->recordId();
    QCOMPARE(PostsLocalAccessAppService().getPost(record)->content, content);

    // A picture the post names outside the images folder (say, one of the user's own) is never sent.
    d.evaluate("document.getElementById('editor').innerHTML = ''");
    d.evaluate(PostEditorWindowController::addLocalImageScript("file://" + m_imageA));
    QVERIFY(d.waitForWindowContent([&](const QString& c) { return !c.contains("broken.png"); }));
    d.clickPublish();
    QTRY_COMPARE(d.alertTitles().size(), 2);
    QVERIFY2(d.app->alerts.last().message.contains("file://" + m_imageA + ", which is not a picture added"),
             qPrintable(d.app->alerts.last().message));
    QTRY_VERIFY(!d.editor()->publishingPost());
    QCOMPARE(sentRequests(m_standin), requestsBefore);
    QVERIFY(d.editor()->isWindowOpened());
}

void TestPostEditorFlows::testCancelDuringStalledUploadKeepsPostInEditor()
{
    m_standin.addFault(StandinFault::Kind::Stall, "/data/feed");
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Stalled", "", "Picture:"));
    QVERIFY(d.addImage(m_imageA));
    d.clickPublish();
    QTRY_COMPARE(m_standin.stalledCount(), 1);
    QTRY_VERIFY(d.editor()->publishingPost());
    QCOMPARE(d.editor()->publishButtonOutlet()->text(), QStringLiteral("Cancel"));
    d.app->answers << 0;
    d.clickPublish();
    QTRY_VERIFY(!d.editor()->publishingPost());
    QCOMPARE(d.alertTitles(), QStringList{"Do you want to cancel the publishing process ?"});
    QCOMPARE(d.editor()->publishButtonOutlet()->text(), QStringLiteral("Publish"));
    QVERIFY(d.editor()->isWindowOpened());
    m_standin.releaseStalled();
    QTRY_COMPARE(m_standin.stalledCount(), 0);
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(!standinPostTitled(m_standin, "Stalled"));
    QVERIFY(d.editor()->isWindowOpened());
    QCOMPARE(d.alertTitles().size(), 1);
}

void TestPostEditorFlows::testValidationStopsBeforeAnythingIsSent()
{
    const int before = sentRequests(m_standin);
    QVERIFY(d.openNewPost());
    d.clickPublish();
    QTRY_COMPARE(d.alertTitles(), QStringList{"Post title"});
    d.editor()->postTitleOutlet()->setText("Title only");
    d.clickPublish();
    QTRY_COMPARE(d.alertTitles(), (QStringList{"Post title", "Post content"}));
    QCOMPARE(sentRequests(m_standin), before);
}

void TestPostEditorFlows::testNothingTypedWhilePublishingIsLost()
{
    m_standin.addFault(StandinFault::Kind::Stall, "/data/feed");
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Typed during", "a", "Before the press"));
    QVERIFY(d.addImage(m_imageA));
    const QString pressed = d.pageContent();
    d.clickPublish();
    QTRY_COMPARE(m_standin.stalledCount(), 1);
    QTRY_VERIFY(d.editor()->publishingPost());
    // The text, title and labels cannot change while the post is on its way.
    d.typeAtEnd(" typed while publishing");
    QTest::keyClicks(d.editor()->postTitleOutlet(), " more");
    QTest::keyClicks(d.editor()->postLabelsOutlet(), ", b");
    QCOMPARE(d.pageContent(), pressed);
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Typed during"));
    QCOMPARE(d.editor()->postLabelsOutlet()->text(), QStringLiteral("a"));
    QVERIFY(!d.editor()->postStatusOutlet()->isEnabled());

    // Cancelled: editable again, with the post as it was.
    d.app->answers << 0;
    d.clickPublish();
    QTRY_VERIFY(!d.editor()->publishingPost());
    d.typeAtEnd(" after cancel");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("after cancel"); }));
    QVERIFY(!d.editor()->postTitleOutlet()->isReadOnly());

    // Published: what went out is what the editor showed.
    m_standin.clearFaults();
    m_standin.releaseStalled();
    const QString published = d.pageContent();
    d.clickPublish();
    // Reaches the page after the press has locked it.
    d.typeAtEnd(" lost words");
    QVERIFY(d.waitForEditorClosed());
    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "Typed during");
    QVERIFY(remote);
    QVERIFY(remote->content.contains("after cancel"));
    QVERIFY(!remote->content.contains("lost words"));
    QCOMPARE(remote->content.count("<img"), published.count("<img"));
}

void TestPostEditorFlows::testPostOnBloggerBeforeItsCancelStaysInEditorAndIsUpdatedAfter()
{
    m_standin.addFault(StandinFault{
        StandinFault::Kind::Stall, "/feeds/" + Blog.toUtf8() + "/posts/default", "POST", 1, 0, {}});
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Cancelled too late", "", "First words"));
    d.clickPublish();
    QTRY_COMPARE(m_standin.stalledCount(), 1);
    m_standin.releaseStalled();
    // Blogger's answer is stored before the cancel is handled: no event of this thread runs meanwhile.
    const auto stored = [] {
        const QList<BloggerPost> posts = storedPosts();
        return std::any_of(posts.cbegin(), posts.cend(), [](const BloggerPost& p) {
            return p.title == "Cancelled too late" && p.isOnBlogger();
        });
    };
    QDeadlineTimer deadline(20000);
    while (!stored() && !deadline.hasExpired()) {
        QThread::msleep(5);
    }
    QVERIFY(stored());
    d.editor()->onCancelPublishing();
    QTRY_COMPARE(d.alertTitles(), QStringList{"Your post is on Blogger"});
    QVERIFY(d.editor()->isWindowOpened());
    d.typeAtEnd(" more words");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("more words"); }));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    int copies = 0;
    const auto blog = m_standin.blog(Blog);
    for (const StandinPost& post : blog->posts) {
        if (post.title == "Cancelled too late") {
            ++copies;
            QVERIFY2(post.content.contains("more words"), qPrintable(post.content));
        }
    }
    QCOMPARE(copies, 1);
}

void TestPostEditorFlows::testRetryAfterLostAnswerNeverPublishesASecondCopy_data()
{
    QTest::addColumn<int>("clockAhead");
    QTest::addColumn<QString>("retriedTitle");
    QTest::newRow("clock an hour ahead") << 3600 << "Lost answer";
    QTest::newRow("title fixed before the retry") << 0 << "Lost answer, fixed";
}

void TestPostEditorFlows::testRetryAfterLostAnswerNeverPublishesASecondCopy()
{
    QFETCH(int, clockAhead);
    QFETCH(QString, retriedTitle);
    Clock::setOffsetForTesting(clockAhead);
    const auto restoreClock = qScopeGuard([] { Clock::setOffsetForTesting(0); });
    m_standin.addFault(StandinFault{
        StandinFault::Kind::LostReply, "/feeds/" + Blog.toUtf8() + "/posts/default", "POST", 1, 0, {}});
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Lost answer", "", "First words"));
    d.clickPublish();
    const auto copies = [this] {
        QList<StandinPost> found;
        const std::optional<StandinBlog> blog = m_standin.blog(Blog);
        for (const StandinPost& post : blog->posts) {
            if (post.title.startsWith("Lost answer")) {
                found << post;
            }
        }
        return found;
    };
    QTRY_COMPARE(d.alertTitles(), QStringList{"Cannot publish your post"});
    QCOMPARE(copies().size(), 1);
    d.editor()->postTitleOutlet()->setText(retriedTitle);
    d.typeAtEnd(" more words");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("more words"); }));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const QList<StandinPost> posts = copies();
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().title, retriedTitle);
    QVERIFY2(posts.first().content.contains("more words"), qPrintable(posts.first().content));
}

// The page is busy for a few seconds while the last words wait to be reported: the text kept or published
// is still the one on screen at the press, never the older one last reported.
void TestPostEditorFlows::testTextOnScreenAtThePressIsWhatIsKeptOrPublished()
{
    const QString typeThenBusy =
        QStringLiteral("(function(){const r=document.getElementById('editor');r.focus();"
                       "const s=getSelection();s.selectAllChildren(r);s.collapseToEnd();"
                       "document.execCommand('insertText',false,'%1');"
                       "const t=Date.now();while(Date.now()-t<4000){}})()");
    QVERIFY(d.openNewPost());
    // Busy, not stopped, however slow the machine.
    const auto restore = scriptDeadline(d, 10 * EditorAppDriver::Timeout);
    QVERIFY(d.write("Kept at the press", "", "Start"));
    d.editor()->webViewOutlet()->evaluateScript(typeThenBusy.arg(" closing words"), {});
    d.app->answers << 0;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    QCOMPARE(d.alertTitles(), QStringList{"Do you want to keep this post version ?"});
    const QList<BloggerPost> kept = storedPosts();
    QCOMPARE(kept.size(), 1);
    QVERIFY2(kept.first().content.contains("closing words"), qPrintable(kept.first().content));

    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Published at the press", "", "Start"));
    d.editor()->webViewOutlet()->evaluateScript(typeThenBusy.arg(" publishing words"), {});
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const std::optional<StandinPost> remote = standinPostTitled(m_standin, "Published at the press");
    QVERIFY(remote);
    QVERIFY2(remote->content.contains("publishing words"), qPrintable(remote->content));
}

void TestPostEditorFlows::testTrickyContentSurvivesSaveOfflineAndReopen()
{
    const QString tricky =
        QStringLiteral("<p>Quotes \" and ' and back\\slash and 100% &amp; more</p>\n<p>line<br>break\n</p>"
                       "<p>Caf\u00e9 \U0001F600</p><table><tbody><tr><td style=\"color: "
                       "red;\">cell</td></tr></tbody></table>"
                       "<iframe src=\"about:blank\" width=\"100\"></iframe><!-- note -->");
    BloggerPost offline(Blog, GoogleServiceConstants::RandomId(), {}, {}, "Tricky", tricky, {}, {"x"}, 0, "#",
                        PostStatus::Offline, GoogleServiceConstants::NoOfflineId());
    PostsLocalAccessAppService().addOrUpdatePost(offline);

    QVERIFY(d.openPost(offline.postId));
    QCOMPARE(d.pageContent(), tricky);
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    QCOMPARE(PostsLocalAccessAppService().getPost(offline.postId)->content, tricky);

    QVERIFY(d.openPost(offline.postId));
    QCOMPARE(d.pageContent(), tricky);
    d.typeAtEnd("!");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("!"); }));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    const QString edited = PostsLocalAccessAppService().getPost(offline.postId)->content;
    QVERIFY2(edited.startsWith(tricky.left(tricky.indexOf("<!--"))), qPrintable(edited));
    QVERIFY(edited.contains("<!-- note -->") && edited.contains("!"));

    QVERIFY(d.openPost(offline.postId));
    QCOMPARE(d.pageContent(), edited);
    d.editor()->close();
}

void TestPostEditorFlows::testKeepVersionSaveStoresNewPostOffline()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Unfinished", "later", "Half a thought"));
    d.app->answers << 0;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    QCOMPARE(d.alertTitles(), QStringList{"Do you want to keep this post version ?"});
    const QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().postStatus, PostStatus::Offline);
    QCOMPARE(posts.first().title, QStringLiteral("Unfinished"));
    QVERIFY(posts.first().content.contains("Half a thought"));
    QVERIFY(isUuid(posts.first().postId));
}

void TestPostEditorFlows::testKeepVersionSaveOfPublishedPostMakesOfflineCopy()
{
    const StandinPost remote = m_standin.blog(Blog)->posts.at(4);
    mirror(m_standin, remote);
    QVERIFY(d.openPost(remote.id));
    d.typeAtEnd(" local thought");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("local thought"); }));
    d.app->answers << 0;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 2);
    const BloggerPost original = *PostsLocalAccessAppService().getPost(remote.id);
    QCOMPARE(original.content, remote.content);
    QCOMPARE(original.postStatus, PostStatus::Published);
    posts.removeIf([&](const BloggerPost& p) { return p.postId == remote.id; });
    QCOMPARE(posts.first().postStatus, PostStatus::Offline);
    QVERIFY(posts.first().content.contains("local thought"));
    QCOMPARE(m_standin.post(Blog, remote.id)->content, remote.content);
}

void TestPostEditorFlows::testKeepVersionDontSaveDropsAutosave()
{
    d.posts()->postAutoSaveService()->setInterval(100);
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Throwaway", "", "Not worth keeping"));
    QSignalSpy saved(d.posts()->postAutoSaveService(), &PostAutoSaveService::autosaved);
    QVERIFY(saved.wait(20000));
    const QString record = saved.last().at(0).toString();
    QCOMPARE(PostsLocalAccessAppService().getPost(record)->postStatus, PostStatus::Autosaved);
    d.app->answers << 1;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    d.posts()->postAutoSaveService()->waitForStoreWork();
    QVERIFY(!PostsLocalAccessAppService().getPost(record));
    QCOMPARE(storedPosts().size(), 0);
}

void TestPostEditorFlows::testKeepVersionCancelKeepsEditorOpen()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Still here", "a", "Everything in it"));
    d.app->answers << 2;
    d.editor()->window()->close();
    QTRY_COMPARE(d.alertTitles(), QStringList{"Do you want to keep this post version ?"});
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(d.editor()->isWindowOpened());
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Still here"));
    QVERIFY(d.pageContent().contains("Everything in it"));
    QCOMPARE(storedPosts().size(), 0);
    d.editor()->close();
}

void TestPostEditorFlows::testSecondPostWhileEditingIsRefusedAndQuitTooUntilClosed()
{
    QVERIFY(d.openNewPost());
    d.app->delegate()->newPost();
    QTRY_COMPARE(d.alertTitles(), QStringList{"You are already editing a post"});
    QVERIFY(d.app->windowController()->hasAnEditingPost());
    // Ctrl+Q in the main window: the message, and in front the editor that is to be closed first.
    d.app->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d.app->window()));
    QTest::keyClick(d.app->window(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_COMPARE(d.alertTitles().last(), QStringLiteral("You are editing a post"));
    QVERIFY(d.app->window()->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(d.editor()->window()));
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    QVERIFY(!d.app->windowController()->hasAnEditingPost());
    QVERIFY(d.app->delegate()->applicationShouldTerminate());
}

void TestPostEditorFlows::testAutosaveThatCannotBeWrittenIsToldUntilOneIs()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Kept on screen", "", "words the store refused"));
    QLabel* status = d.editor()->autosaveStatusOutlet();
    PostAutoSaveService* autosave = d.posts()->postAutoSaveService();
    QSignalSpy failed(autosave, &PostAutoSaveService::autosaveFailed);
    SQLiteDB::sharedInstance().setBusyTimeout(50);
    {
        // Another process holds the database: every write fails.
        HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
        QVERIFY(other.isHeld());
        autosave->autosave();
        QTRY_VERIFY_WITH_TIMEOUT(failed.size() >= 1, 20000);
        autosave->autosave();
        QTRY_VERIFY_WITH_TIMEOUT(failed.size() >= 2, 20000);
    }
    SQLiteDB::sharedInstance().setBusyTimeout(5000);
    QVERIFY(!status->isHidden());
    QVERIFY(status->text().contains("Autosave cannot write this post"));
    QVERIFY(d.app->alerts.isEmpty());
    QCOMPARE(d.editor()->postFromEditor()->title, QStringLiteral("Kept on screen"));

    QSignalSpy saved(autosave, &PostAutoSaveService::autosaved);
    autosave->autosave();
    QVERIFY(saved.wait(20000));
    QVERIFY(status->isHidden());
}

void TestPostEditorFlows::testAutosaveIsOfferedBackAfterUnexpectedExit()
{
    const StandinPost remote = m_standin.blog(Blog)->posts.at(5);
    mirror(m_standin, remote);
    d.posts()->postAutoSaveService()->setInterval(100);
    QVERIFY(d.openPost(remote.id));
    d.editor()->postTitleOutlet()->setText("Edited before the crash");
    d.typeAtEnd(" unsaved words");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("unsaved words"); }));
    QSignalSpy saved(d.posts()->postAutoSaveService(), &PostAutoSaveService::autosaved);
    QVERIFY(QTest::qWaitFor(
        [&] { return !saved.isEmpty() && saved.last().at(1).toString().contains("unsaved words"); }, 20000));
    // The application goes away with the editor open, as after a crash.
    d.app.reset();
    QCOMPARE(PostsLocalAccessAppService().getPost(remote.id)->title, remote.title);

    QVERIFY(d.launch());
    QVERIFY(d.waitForEditor());
    QCOMPARE(d.editor()->window()->windowTitle(), QStringLiteral("Edit Post \u00B7 Edited before the crash"));
    QVERIFY(d.pageContent().contains("unsaved words"));
    QVERIFY(!d.editor()->isFreshNewPost());
    // Publishing it updates the post it was made from.
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    QCOMPARE(m_standin.post(Blog, remote.id)->title, QStringLiteral("Edited before the crash"));
    d.posts()->postAutoSaveService()->waitForStoreWork();
    QCOMPARE(storedPosts().size(), 1);
}

void TestPostEditorFlows::testAutosavesAreOfferedOneAfterAnotherInTitleOrder()
{
    for (const QString& title : {QStringLiteral("Zebra notes"), QStringLiteral("Apple notes")}) {
        BloggerPost record(Blog, GoogleServiceConstants::RandomId(), {}, {}, title, "<p>" + title + "</p>",
                           {}, {}, 0, "#", PostStatus::Autosaved, GoogleServiceConstants::NoOfflineId());
        PostsLocalAccessAppService().addOrUpdatePost(record);
    }
    d.app.reset();
    QVERIFY(d.launch());
    QVERIFY(d.waitForEditor());
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Apple notes"));
    QCOMPARE(d.pageContent(), QStringLiteral("<p>Apple notes</p>"));
    d.app->answers << 0;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    QVERIFY(d.waitForEditor());
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Zebra notes"));
    d.app->answers << 1;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    d.posts()->postAutoSaveService()->waitForStoreWork();
    const QList<BloggerPost> posts = storedPosts();
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().title, QStringLiteral("Apple notes"));
    QCOMPARE(posts.first().postStatus, PostStatus::Offline);
}

void TestPostEditorFlows::testPreviewsShowThePostAsItStandsInTheEditor()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Preview me", "", "Not yet published"));
    d.evaluate("document.getElementById('preview').click()");
    PostPreviewService* previews = d.posts()->postPreviewService();
    QTRY_VERIFY(previews->previewWindowController() && previews->previewWindowController()->isWindowLoaded());
    QTRY_COMPARE(previews->previewWindowController()->window()->windowTitle(),
                 QStringLiteral("Preview \u00B7 Preview me"));
    d.evaluate("document.getElementById('livePreview').click()");
    QTRY_VERIFY(previews->livePreviewWindowController() &&
                previews->livePreviewWindowController()->isWindowLoaded());
    QTRY_COMPARE(previews->livePreviewWindowController()->window()->windowTitle(),
                 QStringLiteral("Live Preview \u00B7 Preview me"));
    // Nothing was published.
    QVERIFY(!standinPostTitled(m_standin, "Preview me"));
    QVERIFY(d.app->alerts.isEmpty());
    previews->previewWindowController()->close();
    previews->livePreviewWindowController()->close();
}

void TestPostEditorFlows::testTemplateLoopingAlertsAndPromptsHoldsNoWindow()
{
    // Each OK of the engine's own dialog brought the next one: the whole application stayed modal.
    const QString blogUrl = m_standin.serverUrl().toString();
    PersistentServiceState().setBlogTemplate(
        blogUrl, "<html><head><title>Tide Tables</title><script>"
                 "var answers = [];"
                 "for (var i = 0; i < 20; i++) { alert('Hi ' + i); answers.push(prompt('Password?'), "
                 "confirm('Sure?')); }"
                 "document.title = 'asked ' + JSON.stringify(answers.slice(0, 2));"
                 "setInterval(function () { alert('again'); prompt('again'); }, 1);"
                 "</script></head><body><div class='blog-posts'></div></body></html>");
    auto forgetTemplate = qScopeGuard([&] { PersistentServiceState().setBlogTemplate(blogUrl, QString()); });
    QStringList dialogs;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &watch, [&dialogs] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            dialogs << modal->windowTitle();
            modal->close();
        }
    });
    watch.start(10);
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Held", "", "Typed before"));
    PostPreviewService* previews = d.posts()->postPreviewService();
    // An earlier case's window may still be there, closed: this click's window is a new one.
    const QPointer<LivePreviewWindowController> earlier = previews->livePreviewWindowController();
    d.evaluate("document.getElementById('livePreview').click()");
    QTRY_VERIFY(previews->livePreviewWindowController() &&
                previews->livePreviewWindowController() != earlier &&
                previews->livePreviewWindowController()->isWindowLoaded());
    const QPointer<LivePreviewWindowController> live = previews->livePreviewWindowController();
    QTRY_COMPARE_WITH_TIMEOUT(ScriptResult::evaluate(*live->webviewOutlet(), "document.title").toString(),
                              QStringLiteral("asked [null,false]"), 30000);
    live->close();
    QTRY_VERIFY(!live->window()->isVisible());
    QVERIFY(live == previews->livePreviewWindowController());
    QTest::keyClicks(d.editor()->postTitleOutlet(), " still mine");
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Held still mine"));
    QVERIFY2(dialogs.isEmpty(), qPrintable(dialogs.join(", ")));
}

void TestPostEditorFlows::testLoopingEmbedHoldsNeitherSaveNorClose()
{
    // A frame whose script runs asks for /looping-N, then never ends; one whose script does not run shows
    // its noscript picture /noscript-N.png. Either request says the frame of opening N is in. Each opening
    // has frames of its own: the main window's reading pane shows the post too and loads its frames when
    // it likes, so a count of requests over all openings said nothing of this one's.
    LocalHttpServer embeds;
    QVERIFY(embeds.start());
    embeds.route("/still", "<html><body><p>A map</p></body></html>");
    const auto framesFor = [&](int opening) {
        const QString n = QString::number(opening);
        embeds.route("/loop-" + n.toUtf8(),
                     "<html><body><noscript><img src=\"/noscript-" + n.toUtf8() +
                         ".png\"></noscript><script>var x = new XMLHttpRequest(); x.open('GET', '/looping-" +
                         n.toUtf8() + "', false); x.send(); while (true) {}</script></body></html>");
        embeds.route("/noscript-" + n.toUtf8() + ".png", HostileContent::pngBytes(), "image/png");
        embeds.route("/looping-" + n.toUtf8(), "ok", "text/plain");
        // The post's own frame attributes, a sandbox of its own included, go back as they came.
        return QStringLiteral("<iframe src=\"%1\" width=\"320\"></iframe><iframe sandbox=\"allow-scripts\" "
                              "src=\"%2\"></iframe>")
            .arg(embeds.url("/loop-" + n).toString(), embeds.url("/still").toString());
    };
    const auto frameIn = [&](int opening) {
        const QByteArray n = QByteArray::number(opening);
        return !embeds.requestsFor("/looping-" + n).isEmpty() ||
               !embeds.requestsFor("/noscript-" + n + ".png").isEmpty();
    };
    const QString frames = framesFor(1);
    StandinPost remote = m_standin.blog(Blog)->posts.at(3);
    remote.content = QStringLiteral("<p>With embeds</p>") + frames;
    QVERIFY(m_standin.updatePost(Blog, remote));
    mirror(m_standin, remote);
    const int deadline = EditorAppDriver::Timeout;

    QVERIFY(d.openPost(remote.id));
    QTRY_VERIFY_WITH_TIMEOUT(frameIn(1) && !embeds.requestsFor("/still").isEmpty(), deadline);
    d.typeAtEnd(" Then more.");
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("Then more."); }));
    d.clickPublish();
    QTRY_VERIFY_WITH_TIMEOUT(!d.editor()->isWindowOpened(), deadline);
    const QString sent = m_standin.post(Blog, remote.id)->content;
    QVERIFY2(sent.contains("Then more.") && sent.contains(frames), qPrintable(sent));
    QVERIFY2(d.app->alerts.isEmpty(), qPrintable(d.alertTitles().join(", ")));

    // The user's close asks its question as ever.
    remote.content = QStringLiteral("<p>With embeds again</p>") + framesFor(2);
    mirror(m_standin, remote);
    QVERIFY(d.openPost(remote.id));
    QTRY_VERIFY_WITH_TIMEOUT(frameIn(2), deadline);
    d.app->answers << 1;
    d.editor()->window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!d.editor()->isWindowOpened(), deadline);
    QCOMPARE(d.alertTitles(), QStringList{"Do you want to keep this post version ?"});
}

void TestPostEditorFlows::testPageThatStopsAnsweringEndsSaveAndCloseAndKeepsAutosave()
{
    const int deadline = EditorAppDriver::Timeout;
    d.posts()->postAutoSaveService()->setInterval(100);
    QVERIFY(d.openNewPost());
    // Not 5 s for each wait.
    std::optional restore = scriptDeadline(d, 500);
    QSignalSpy saved(d.posts()->postAutoSaveService(), &PostAutoSaveService::autosaved);
    QVERIFY(d.write("Stalled", "kept", "Words before the stall"));
    QVERIFY(QTest::qWaitFor(
        [&] { return !saved.isEmpty() && saved.last().at(1).toString().contains("before the stall"); },
        20000));
    // The page's own thread never comes back; every later script waits behind this one.
    d.editor()->webViewOutlet()->evaluateScript(QStringLiteral("while (true) {}"), {});

    d.editor()->postStatusOutlet()->setCurrentIndex(2);
    Q_EMIT d.editor()->postStatusOutlet()->activated(2);
    d.clickPublish();
    QTRY_VERIFY_WITH_TIMEOUT(d.app->alerts.size() == 1, deadline);
    QCOMPARE(d.alertTitles(), QStringList{"The editor did not answer"});
    QVERIFY(d.app->alerts.first().message.contains("autosaved last is kept"));
    QVERIFY(!d.editor()->postTitleOutlet()->isReadOnly() && !d.editor()->postLabelsOutlet()->isReadOnly());
    QVERIFY(d.editor()->isWindowOpened() && !d.editor()->publishingPost());

    // The window manager's close ends too, without a question the page could not serve.
    d.editor()->window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!d.editor()->isWindowOpened(), deadline);
    // Told after the window went, in a turn of its own.
    QTRY_COMPARE(d.alertTitles(), QStringList({"The editor did not answer", "The editor did not answer"}));
    d.posts()->postAutoSaveService()->waitForStoreWork();
    const QList<BloggerPost> kept = storedPosts();
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.first().postStatus, PostStatus::Autosaved);
    QVERIFY(kept.first().content.contains("before the stall"));

    // The next post gets a page that answers; the record is offered back at the next start.
    restore.reset();
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Fresh", "", "A page that answers"));
    d.app->answers << 1;
    d.editor()->window()->close();
    QVERIFY(d.waitForEditorClosed());
    d.app.reset();
    QVERIFY(d.launch());
    QVERIFY(d.waitForEditor());
    QCOMPARE(d.editor()->postTitleOutlet()->text(), QStringLiteral("Stalled"));
    QVERIFY(d.pageContent().contains("Words before the stall"));
}

void TestPostEditorFlows::testPageWhoseRendererEndsIsToldAsStoppedNotAsSlow()
{
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Ended", "", "Words before the end"));
    WebView* view = d.editor()->webViewOutlet();
    // Only the renderer's end can settle the reads below: the deadline lies far beyond the waits.
    const auto restore = scriptDeadline(d, 10 * EditorAppDriver::Timeout);
    const qint64 renderer = view->webPage()->renderProcessPid();
    QVERIFY(renderer > 0);
    view->evaluateScript(QStringLiteral("while (true) {}"), {});
    d.clickPublish();
    QVERIFY(d.editor()->contentLocked());
    QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(d.alertTitles(), QStringList{"The editor stopped"}, EditorAppDriver::Timeout);
    QVERIFY(!d.editor()->contentLocked() && !d.editor()->publishingPost());
    d.editor()->window()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!d.editor()->isWindowOpened(), EditorAppDriver::Timeout);
    QTRY_COMPARE(d.alertTitles(), QStringList({"The editor stopped", "The editor stopped"}));
    QVERIFY(!standinPostTitled(m_standin, "Ended"));
}

void TestPostEditorFlows::testDownloadedPostOpenedForEditingOpensNothingByItself()
{
    LocalHttpServer listener;
    QVERIFY(listener.start());
    const QString data = ApplicationFolders::dataFolder();
    // A co-author's post whose pictures and frames carry the editor's request paths, and a script.
    StandinPost hostile;
    hostile.title = QStringLiteral("Innocent title");
    hostile.content =
        QStringLiteral("<p>Nothing to see</p>") +
        HostileContent::fileFramesAndMarkers({data + QStringLiteral("/Preferences.json")}) +
        QStringLiteral("<img src=\"/penhollow-editor/addlocalimage:\">"
                       "<script>document.body.dataset.ran = 'yes';</script>") +
        HostileContent::probeScript("post", listener.baseUrl().toString(QUrl::StripTrailingSlash),
                                    m_standin.serverUrl().toString(), {QStringLiteral("file:///etc/passwd")});
    hostile.published = hostile.updated = QDateTime::currentDateTimeUtc();
    hostile.urlPath = QStringLiteral("2026/12/innocent.html");
    hostile.id = m_standin.addPost(Blog, hostile);
    mirror(m_standin, *m_standin.post(Blog, hostile.id));
    QVERIFY(d.openPost(hostile.id));
    QVERIFY(d.waitForWindowContent([](const QString& c) { return c.contains("Nothing to see"); }));

    // The user's own click on Preview comes after everything the post asked for: only it opens anything.
    PostPreviewService* previews = d.posts()->postPreviewService();
    // A window of an earlier preview may still be there, closed: the click's own is a new one.
    const MiniBrowserWindowController* earlier = previews->previewWindowController();
    d.evaluate("document.getElementById('preview').click()");
    QTRY_VERIFY(previews->previewWindowController() && previews->previewWindowController() != earlier &&
                previews->previewWindowController()->isWindowLoaded());
    LivePreviewWindowController* live = previews->livePreviewWindowController();
    QVERIFY(!live || !live->isWindowLoaded() || !live->window()->isVisible());
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QVERIFY(!(qobject_cast<QFileDialog*>(top) && top->isVisible()));
    }
    // The preview ran none of the post's script, and nothing reached the listener.
    WebView* preview = previews->previewWindowController()->webviewOutlet();
    QTRY_VERIFY(HostileContent::occurrences(*preview, QStringLiteral("Nothing to see")) >= 1);
    QCOMPARE(ScriptResult::evaluate(*preview, "document.body.dataset.ran || 'no'",
                                    QWebEngineScript::ApplicationWorld)
                 .toString(),
             QStringLiteral("no"));
    QVERIFY(m_standin.requests("GET", "/done-").isEmpty());
    QVERIFY(listener.requests().isEmpty());
    previews->previewWindowController()->close();
}

void TestPostEditorFlows::testPublishedPostIsScrolledIntoViewInTheList()
{
    d.app->windowController()->onPostsSortRequest(PostSortOptions::Title, PostSortOrderOptions::Ascending);
    auto bySortDate = qScopeGuard([this] {
        d.app->windowController()->onPostsSortRequest(PostSortOptions::UpdatedDate,
                                                      PostSortOrderOptions::Descending);
    });
    QVERIFY(listStandinPosts(d, m_standin));
    QListView* view = d.list()->tableViewOutlet();
    view->scrollToTop();
    QVERIFY(view->verticalScrollBar()->maximum() > 0);
    QVERIFY(d.openNewPost());
    QVERIFY(d.write("Zostera meadows", "", "Seagrass at low water"));
    d.clickPublish();
    QVERIFY(d.waitForEditorClosed());
    // Listed last, far below the rows in view: the list goes to it.
    QTRY_COMPARE(d.listedTitles().last(), QStringLiteral("Zostera meadows"));
    const QModelIndex published = view->model()->index(int(d.listedTitles().size()) - 1, 0);
    QTRY_VERIFY(view->viewport()->rect().contains(view->visualRect(published)));
    QVERIFY(d.list()->isRowHighlighted(published.row()));
}

PENHOLLOW_APP_TEST_MAIN(TestPostEditorFlows)
#include "TestPostEditorFlows.moc"

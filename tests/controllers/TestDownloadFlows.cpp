#include "AppTestMain.h"
#include "OnlineApplication.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationDownloadControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/TableContentViewController.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>

namespace {

const QString Tide = OnlineApplication::tideTables();

QList<BloggerPost> storedPosts(const QString& blogId = Tide)
{
    QList<BloggerPost> posts = PostsLocalAccessAppService().listAllPostsforBlog(blogId);
    std::sort(posts.begin(), posts.end(),
              [](const BloggerPost& a, const BloggerPost& b) { return a.internalId < b.internalId; });
    return posts;
}

// Older than the seeded posts, so they fill the later pages of the listing.
void seedManyPosts(GoogleStandin& standin, int count)
{
    const QDateTime base = QDateTime::fromString("2014-06-01T12:00:00Z", Qt::ISODate);
    for (int i = 0; i < count; ++i) {
        StandinPost post;
        post.title = QStringLiteral("Extra post %1").arg(i);
        post.content = QStringLiteral("<p>Body %1</p>").arg(i);
        post.updated = base.addSecs(-3600LL * i);
        post.published = post.updated.addSecs(-60);
        post.urlPath = QStringLiteral("2014/06/extra-%1.html").arg(i);
        standin.addPost(Tide, post);
    }
}

// The stand-in's post under a new title and text, now the most recently updated of its blog.
void changeOnBlogger(GoogleStandin& standin, const QString& postId, const QString& title)
{
    StandinPost post = standin.post(Tide, postId).value();
    post.title = title;
    post.content = QStringLiteral("<p>") + title + QStringLiteral(", as Blogger has it now.</p>");
    post.updated = QDateTime::currentDateTimeUtc();
    QVERIFY(standin.updatePost(Tide, post));
}

QString addOnBlogger(GoogleStandin& standin, const QString& title)
{
    StandinPost post;
    post.title = title;
    post.content = QStringLiteral("<p>New on Blogger.</p>");
    post.updated = QDateTime::currentDateTimeUtc();
    post.published = post.updated;
    post.urlPath = QStringLiteral("2024/01/fresh.html");
    return standin.addPost(Tide, post);
}

} // namespace

// Downloads, reloads and deletions of posts from the main window against the stand-in, as a user works
// them, and every fault the service can show on the way: the busy state always ends, each failure is one
// readable alert, and the store keeps what it had.
class TestDownloadFlows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }
    void init();
    void cleanup() { m_online.reset(); }

    void testNeverQueriedBlogIsDownloadedWhenTheWindowOpens();
    void testDownloadShowsNewAndChangedPostsAndKeepsLocalOnlyPosts();
    void testReloadFromBloggerShowsThePostAsBloggerHasIt();
    void testReloadOfPostGoneFromBloggerSaysSoAndKeepsIt();
    void testDeleteOfPublishedPostAfterConfirmationRemovesItEverywhere();
    void testDeleteRefusedByBloggerKeepsThePostEverywhere();
    void testFaultAtEachStepOfTheDownload_data();
    void testFaultAtEachStepOfTheDownload();
    void testStoppedServiceEndsSpinnerAndSaysServiceDidNotAnswer();
    void testStalledServiceShowsSpinnerUntilTheTimeOut();
    void testDownloadWithoutRefreshTokenEndsWithAdvice();
    void testSecondDownloadWhileOneRunsSendsNothingMore();

private:
    // Launches on Tide Tables, never downloaded, and waits for the download the window starts.
    void launchAndDownload(double timeoutSeconds = 5);
    ApplicationWindowController* window() { return m_online->app().windowController(); }
    void selectPost(const QString& title);
    // Chooses an item of the selected post's actions menu, as the user does.
    void choosePostAction(const QString& item);
    QString postIdOf(const QString& title) const;
    // The published titles of the hundred most recently updated posts: what one download brings.
    QStringList listedByTheDownload() const;
    void waitForOperationsToEnd();

    std::unique_ptr<OnlineApplication> m_online;
};

void TestDownloadFlows::init()
{
    m_online = std::make_unique<OnlineApplication>();
    m_online->forgetEverything();
    m_online->storeSignedInAccount(OnlineApplication::mara(), Tide, false);
}

void TestDownloadFlows::launchAndDownload(double timeoutSeconds)
{
    QVERIFY(m_online->launch(timeoutSeconds));
    QVERIFY(window());
    const QStringList expected = listedByTheDownload();
    QVERIFY2(m_online->waitForListHeader(QStringLiteral("Published Posts (%1)").arg(expected.size())),
             qPrintable(m_online->listHeader() + " " + m_online->alertTexts().join('\n')));
    QTRY_VERIFY(!m_online->isLoading());
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
}

void TestDownloadFlows::waitForOperationsToEnd()
{
    QVERIFY(m_online->waitForOperationsToEnd());
}

QStringList TestDownloadFlows::listedByTheDownload() const
{
    QList<StandinPost> posts = m_online->standin.blog(Tide)->posts;
    std::stable_sort(posts.begin(), posts.end(),
                     [](const StandinPost& a, const StandinPost& b) { return a.updated > b.updated; });
    QStringList titles;
    for (const StandinPost& post : posts.mid(0, 100)) {
        if (!post.draft) {
            titles << post.title;
        }
    }
    return titles;
}

QString TestDownloadFlows::postIdOf(const QString& title) const
{
    // A copy of the blog: the range must not outlive the optional it comes from.
    const std::optional<StandinBlog> blog = m_online->standin.blog(Tide);
    for (const StandinPost& post : blog ? blog->posts : QList<StandinPost>{}) {
        if (post.title == title) {
            return post.id;
        }
    }
    return QString();
}

void TestDownloadFlows::selectPost(const QString& title)
{
    const int row = int(m_online->listedTitles().indexOf(title));
    QVERIFY(row >= 0);
    QListView* view = window()->tableContentViewController()->tableViewOutlet();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void TestDownloadFlows::choosePostAction(const QString& item)
{
    PostTopViewController* bar = window()->postTopViewController();
    QWidget* menuButton = bar->menuButtonOutlet();
    TestSupport::press(menuButton);
    QTRY_VERIFY(bar->optionsMenu() && bar->optionsMenu()->isVisible());
    QAction* chosen = nullptr;
    for (QAction* action : bar->optionsMenu()->actions()) {
        if (action->text() == item) {
            chosen = action;
        }
    }
    QVERIFY2(chosen, qPrintable(item));
    bar->optionsMenu()->close();
    chosen->trigger();
}

void TestDownloadFlows::testNeverQueriedBlogIsDownloadedWhenTheWindowOpens()
{
    QVERIFY(!PersistentServiceState().getLastUpdated(Tide));
    launchAndDownload();
    QCOMPARE(m_online->listedTitles(), listedByTheDownload());
    QCOMPARE(storedPosts().size(), m_online->standin.blog(Tide)->posts.size());
    QVERIFY(PersistentServiceState().getBlogWasQueried(Tide));
    QVERIFY(PersistentServiceState().getLastUpdated(Tide));
    // The other blog of the account waits until it is chosen.
    QVERIFY(storedPosts(OnlineApplication::kitchenLedger()).isEmpty());
}

void TestDownloadFlows::testDownloadShowsNewAndChangedPostsAndKeepsLocalOnlyPosts()
{
    launchAndDownload();
    const QStringList before = m_online->listedTitles();
    // Work of this computer: an offline post, and an edit of a published post that autosave kept.
    const BloggerPost offline =
        ApplicationHarness::storePost(Tide, QStringLiteral("offline-1"), "Harbour notes", PostStatus::Offline,
                                      QDateTime::currentDateTime());
    const QString editedId = postIdOf(before.at(3));
    BloggerPost edited = PostsLocalAccessAppService().getPost(editedId).value();
    edited.title = QStringLiteral("My edit in progress");
    edited.postStatus = PostStatus::Autosaved;
    PostsLocalAccessAppService().addOrUpdatePost(edited);
    edited = PostsLocalAccessAppService().getPost(editedId).value();

    // Blogger meanwhile: one new post, one changed, the edited one changed too, one gone.
    const QString freshId = addOnBlogger(m_online->standin, QStringLiteral("Fresh from the harbour"));
    changeOnBlogger(m_online->standin, postIdOf(before.at(5)), QStringLiteral("Changed on Blogger"));
    changeOnBlogger(m_online->standin, editedId, QStringLiteral("Changed there as well"));
    const QString goneId = postIdOf(before.last());
    QVERIFY(m_online->standin.removePost(Tide, goneId));

    m_online->pressDownload();
    QVERIFY(m_online->isLoading() || m_online->runningOperations() == 1);
    waitForOperationsToEnd();
    QVERIFY(!m_online->isLoading());
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
    const QStringList after = m_online->listedTitles();
    QVERIFY(after.mid(0, 3).contains(QStringLiteral("Fresh from the harbour")));
    QVERIFY(after.contains(QStringLiteral("Changed on Blogger")));
    QVERIFY(!after.contains(before.at(5)));
    // Absent from the listing is not deleted: the post stays here.
    QVERIFY(after.contains(before.last()));
    QVERIFY(PostsLocalAccessAppService().getPost(goneId));
    QCOMPARE(PostsLocalAccessAppService().getPost(freshId)->postStatus, PostStatus::Published);
    // This computer's work is as it was.
    QCOMPARE(PostsLocalAccessAppService().getPost(QStringLiteral("offline-1")),
             std::optional<BloggerPost>(offline));
    QCOMPARE(PostsLocalAccessAppService().getPost(editedId), std::optional<BloggerPost>(edited));
    QVERIFY(!after.contains(QStringLiteral("Changed there as well")));
}

void TestDownloadFlows::testReloadFromBloggerShowsThePostAsBloggerHasIt()
{
    launchAndDownload();
    const QString title = m_online->listedTitles().at(2);
    const QString postId = postIdOf(title);
    selectPost(title);
    QTRY_COMPARE(window()->postTopViewController()->postTitleLabelOutlet()->text(), title);
    changeOnBlogger(m_online->standin, postId, QStringLiteral("Rewritten on Blogger"));

    std::atomic<int> areaReads{0};
    ApplicationControllerService::setListingReadHook([&](PostArea, PostSortOptions) { ++areaReads; });
    auto unhook = qScopeGuard([] { ApplicationControllerService::setListingReadHook({}); });
    choosePostAction(QStringLiteral("Reload from Blogger"));
    waitForOperationsToEnd();
    // The post on show is the one Blogger has now.
    QTRY_COMPARE(window()->postTopViewController()->postTitleLabelOutlet()->text(),
                 QStringLiteral("Rewritten on Blogger"));
    QVERIFY2(m_online->app().alerts.isEmpty(), qPrintable(m_online->alertTexts().join('\n')));
    QTRY_VERIFY(m_online->listedTitles().contains(QStringLiteral("Rewritten on Blogger")));
    QVERIFY(!m_online->listedTitles().contains(title));
    // The list follows the one post without reading the area again.
    QCOMPARE(areaReads.load(), 0);
    const BloggerPost stored = PostsLocalAccessAppService().getPost(postId).value();
    QCOMPARE(stored.title, QStringLiteral("Rewritten on Blogger"));
    QVERIFY(stored.content.contains(QStringLiteral("as Blogger has it now")));
    // One post asked for, nothing else.
    QCOMPARE(
        m_online->standin.requests("GET", "/feeds/" + Tide.toUtf8() + "/posts/default/" + postId.toUtf8())
            .size(),
        1);
    QVERIFY(!m_online->isLoading());
}

void TestDownloadFlows::testReloadOfPostGoneFromBloggerSaysSoAndKeepsIt()
{
    launchAndDownload();
    const QString title = m_online->listedTitles().at(1);
    const QString postId = postIdOf(title);
    const BloggerPost before = PostsLocalAccessAppService().getPost(postId).value();
    QVERIFY(m_online->standin.removePost(Tide, postId));

    selectPost(title);
    QTRY_COMPARE(window()->postTopViewController()->postTitleLabelOutlet()->text(), title);
    choosePostAction(QStringLiteral("Reload from Blogger"));
    waitForOperationsToEnd();
    QCOMPARE(m_online->app().alerts.size(), 1);
    QCOMPARE(m_online->app().alerts.first().title, ApplicationDownloadControllerService::reloadFailedTitle());
    QVERIFY(!m_online->app().alerts.first().message.contains(QLatin1Char('<')));
    QCOMPARE(PostsLocalAccessAppService().getPost(postId), std::optional<BloggerPost>(before));
    QVERIFY(!m_online->isLoading());
}

void TestDownloadFlows::testDeleteOfPublishedPostAfterConfirmationRemovesItEverywhere()
{
    launchAndDownload();
    const QString title = m_online->listedTitles().at(1);
    const QString postId = postIdOf(title);
    selectPost(title);

    QTRY_COMPARE(window()->postTopViewController()->postTitleLabelOutlet()->text(), title);

    m_online->app().answers.enqueue(1); // Cancel first: nothing happens anywhere.
    choosePostAction(QStringLiteral("Delete Post"));
    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    // The question names the post, and Return answers Cancel.
    QCOMPARE(m_online->app().alerts.first().title, QStringLiteral("Delete \u201c%1\u201d?").arg(title));
    QCOMPARE(m_online->app().alerts.first().buttons.at(m_online->app().alerts.first().defaultButton),
             QStringLiteral("Cancel"));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_online->standin.post(Tide, postId));
    QVERIFY(m_online->standin.requests("DELETE", "/blogger/v3/blogs/").isEmpty());

    m_online->app().answers.enqueue(0); // Delete
    choosePostAction(QStringLiteral("Delete Post"));
    QTRY_COMPARE(m_online->app().alerts.size(), 2);
    QCOMPARE(m_online->app().alerts.last().message, QStringLiteral("It will be deleted from Blogger too."));
    waitForOperationsToEnd();
    QCOMPARE(m_online->app().alerts.size(), 2);
    QVERIFY(!m_online->standin.post(Tide, postId));
    QVERIFY(!PostsLocalAccessAppService().getPost(postId));
    QTRY_VERIFY(!m_online->listedTitles().contains(title));
    // The post on show is gone: the right column shows no post.
    QTRY_COMPARE(window()->postTopViewController()->postTitleLabelOutlet()->text(), QString());
    QVERIFY(!m_online->isLoading());
}

void TestDownloadFlows::testDeleteRefusedByBloggerKeepsThePostEverywhere()
{
    launchAndDownload();
    const QString title = m_online->listedTitles().first();
    const QString postId = postIdOf(title);
    StandinFault refusal;
    refusal.kind = StandinFault::Kind::ErrorObject;
    refusal.method = "DELETE";
    refusal.status = 403;
    refusal.message = QStringLiteral("We're sorry, but you don't have permission to access this resource.");
    m_online->standin.addFault(refusal);

    m_online->app().answers.enqueue(0);
    window()->onDeletePostRequest(postId);
    QTRY_COMPARE(m_online->app().alerts.size(), 2);
    waitForOperationsToEnd();
    const AlertRequest alert = m_online->app().alerts.last();
    QCOMPARE(alert.title, ApplicationDownloadControllerService::deleteFailedTitle());
    QVERIFY(alert.message.startsWith(refusal.message));
    QVERIFY(m_online->standin.post(Tide, postId));
    QVERIFY(PostsLocalAccessAppService().getPost(postId));
    QVERIFY(m_online->listedTitles().contains(title));
    QVERIFY(!m_online->isLoading());
}

void TestDownloadFlows::testFaultAtEachStepOfTheDownload_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("kind");
    const QList<QPair<const char*, StandinFault::Kind>> kinds = {
        {"no reply", StandinFault::Kind::NoReply},
        {"stall past the time-out", StandinFault::Kind::Stall},
        {"html error page", StandinFault::Kind::HtmlErrorPage},
        {"json error object", StandinFault::Kind::ErrorObject},
        {"malformed body", StandinFault::Kind::MalformedBody}};
    for (const char* step : {"token refresh", "page 1 of 5", "page 3 of 5"}) {
        for (const auto& kind : kinds) {
            QTest::addRow("%s, %s", step, kind.first) << QString::fromLatin1(step) << int(kind.second);
        }
    }
}

void TestDownloadFlows::testFaultAtEachStepOfTheDownload()
{
    QFETCH(QString, step);
    QFETCH(int, kind);
    seedManyPosts(m_online->standin, 80);
    launchAndDownload(1);
    const QList<BloggerPost> before = storedPosts();
    QCOMPARE(before.size(), 100);
    const std::optional<QDateTime> lastUpdate = PersistentServiceState().getLastUpdated(Tide);
    QVERIFY(lastUpdate);

    // Changes the first pages carry: none may reach the store.
    addOnBlogger(m_online->standin, QStringLiteral("Fresh from the harbour"));
    changeOnBlogger(m_online->standin, before.at(4).postId, QStringLiteral("Changed on Blogger"));

    const QByteArray feed = "/feeds/" + Tide.toUtf8() + "/posts/default";
    if (step == QStringLiteral("token refresh")) {
        // Without a fresh token the request goes out with the old one: make that one useless too.
        m_online->standin.expireAllAccessTokens();
        m_online->standin.addFault(StandinFault::Kind(kind), "/oauth2/v3/token");
    } else if (step == QStringLiteral("page 1 of 5")) {
        m_online->standin.addFault(StandinFault::Kind(kind), feed);
    } else {
        GoogleStandin* standin = &m_online->standin;
        QObject::connect(
            standin, &GoogleStandin::requestLogged, standin,
            [standin, kind, feed](const LoggedRequest& request) {
                if (request.path() == feed && request.queryValue("start-index") == "21") {
                    standin->addFault(StandinFault::Kind(kind), feed);
                }
            },
            Qt::DirectConnection);
    }

    m_online->pressDownload();
    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    waitForOperationsToEnd();
    QVERIFY(
        ApplicationHarness::settleAfterTimeout(1200)); // past the time-out: a second report would show now
    QCOMPARE(m_online->app().alerts.size(), 1);
    const AlertRequest alert = m_online->app().alerts.first();
    QCOMPARE(alert.style, AlertStyle::Critical);
    QCOMPARE(alert.title, ApplicationDownloadControllerService::downloadFailedTitle());
    QVERIFY2(!alert.message.contains(QLatin1Char('<')) && !alert.message.contains(QLatin1Char('{')),
             qPrintable(alert.message));
    QVERIFY(alert.message.size() <= GoogleResponseAnalysisService::MaximumMessageLength +
                                        GoogleResponseAnalysisService::reauthentificationAdvice().size() + 1);
    if (StandinFault::Kind(kind) == StandinFault::Kind::NoReply ||
        StandinFault::Kind(kind) == StandinFault::Kind::Stall) {
        QVERIFY2(alert.message.contains(QStringLiteral("No response received from Blogger")),
                 qPrintable(alert.message));
    }
    QVERIFY(!m_online->isLoading());
    QCOMPARE(storedPosts(), before);
    QCOMPARE(PersistentServiceState().getLastUpdated(Tide), lastUpdate);
    QVERIFY(!m_online->listedTitles().contains(QStringLiteral("Fresh from the harbour")));
}

void TestDownloadFlows::testStoppedServiceEndsSpinnerAndSaysServiceDidNotAnswer()
{
    launchAndDownload();
    const QList<BloggerPost> before = storedPosts();
    m_online->standin.stop();
    m_online->pressDownload();
    waitForOperationsToEnd();
    QCOMPARE(m_online->app().alerts.size(), 1);
    QVERIFY2(
        m_online->app().alerts.first().message.startsWith(GoogleAuthentificationService::noResponseMessage()),
        qPrintable(m_online->app().alerts.first().message));
    QVERIFY(!m_online->isLoading());
    QCOMPARE(storedPosts(), before);
}

void TestDownloadFlows::testStalledServiceShowsSpinnerUntilTheTimeOut()
{
    launchAndDownload(1);
    m_online->standin.addFault(StandinFault::Kind::Stall);
    m_online->pressDownload();
    QTRY_VERIFY(m_online->isLoading());
    QTRY_COMPARE(m_online->standin.stalledCount(), 1);
    QVERIFY(m_online->app().alerts.isEmpty());
    QTRY_COMPARE(m_online->app().alerts.size(), 1);
    QTRY_VERIFY(!m_online->isLoading());
    QVERIFY(m_online->app().alerts.first().message.startsWith(
        GoogleAuthentificationService::noResponseMessage()));
}

void TestDownloadFlows::testDownloadWithoutRefreshTokenEndsWithAdvice()
{
    launchAndDownload();
    m_online->standin.clearRequests();
    m_online->authentificationService().setRefreshToken(std::nullopt);
    m_online->pressDownload();
    waitForOperationsToEnd();
    QCOMPARE(m_online->app().alerts.size(), 1);
    QVERIFY(m_online->app().alerts.first().message.endsWith(
        GoogleResponseAnalysisService::reauthentificationAdvice()));
    QVERIFY(!m_online->isLoading());
    QCOMPARE(m_online->standin.requestCount(), 0);
}

void TestDownloadFlows::testSecondDownloadWhileOneRunsSendsNothingMore()
{
    launchAndDownload();
    m_online->standin.clearRequests();
    m_online->standin.addFault(StandinFault::Kind::Stall, "/oauth2/v3/token", 1);
    window()->onDownloadBloggerDataRequest();
    QTRY_COMPARE(m_online->standin.stalledCount(), 1);
    window()->onDownloadBloggerDataRequest();
    QVERIFY(ApplicationHarness::settle());
    m_online->standin.releaseStalled();
    waitForOperationsToEnd();
    QVERIFY(m_online->app().alerts.isEmpty());
    QCOMPARE(m_online->standin.requests("POST", "/oauth2/v3/token").size(), 1);
    QStringList pages;
    for (const LoggedRequest& request : m_online->standin.requests("GET", "/feeds/")) {
        pages << request.queryValue("start-index");
    }
    QVERIFY(!pages.isEmpty());
    QCOMPARE(pages.removeDuplicates(), 0);
    QVERIFY(!m_online->isLoading());
}

PENHOLLOW_APP_TEST_MAIN(TestDownloadFlows)
#include "TestDownloadFlows.moc"

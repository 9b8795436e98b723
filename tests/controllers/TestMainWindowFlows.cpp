#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "common/GoogleDateService.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "ui/UiColors.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/LeftMenuViewController.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/TableContentViewController.h"
#include "ui/main/TableTopViewController.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSemaphore>
#include <QSplitter>
#include <QThreadPool>
#include <QWebEnginePage>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace {

using TestSupport::findAnywhere;
using TestSupport::press;

const QString Travel = QStringLiteral("travel");
const QString TravelTwin = QStringLiteral("travel-twin");
const QString Garden = QStringLiteral("garden");

QDateTime at(int day, int hour = 10)
{
    return QDateTime(QDate(2024, 3, day), QTime(hour, 0), Qt::LocalTime);
}

} // namespace

// The main window worked as a user works it: areas, sorting, selection, keyboard, accounts and blogs,
// deletion. The application runs in this process on a seeded store; nothing here needs the network.
class TestMainWindowFlows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testLaunchListsPublishedAreaWithCountAndLastUpdate();
    void testLaunchShowsTheDefaultPageInThePostView();
    void testPostAskedBeforeThePostViewExistsShowsAfterItsDefaultPage();
    void testEachAreaListsOnlyItsPosts();
    void testSortByEachKeyInBothOrders();
    void testSelectingPostShowsHeaderMenuAndContent();
    void testKeyboardMovesSelectionAndContentFollows();
    void testQuickSelectionsEndWithHeaderAndPaneOnTheLastPost();
    void testBlogChangeSendsTheBlogTheUserSawAmongSameTitles();
    void testAccountChangeListsThatAccountsBlogsThenApplies();
    void testApplyWithoutBlogIsRefusedAndChangesNothing();
    void testDeleteOfflinePostAsksAndCancelKeepsIt();
    void testDeleteOfBloggerPostAsksBeforeAnything();
    void testQuickAreaAndSortChangesShowTheLastAsked();
    void testTabReachesEveryControlInOrder();
    void testListHasTheFocusAtLaunchAndWhenTheWindowComesBack();
    void testNewPostLooksHoveredOnlyUnderThePointerOrTheKeyboard();
    void testRingShowsOnlyWhereTheKeyboardPutTheFocus();
    void testScreenReadersHearNamedButtonsAndRowsWithStatusAndDate();
    void testSizePositionAndColumnsComeBackAfterRestartOnlyOntoAScreen();

private:
    TableContentViewController* list() const
    {
        return m_app->windowController()->tableContentViewController();
    }
    TableTopViewController* header() const { return m_app->windowController()->tableTopViewController(); }
    PostTopViewController* postBar() const { return m_app->windowController()->postTopViewController(); }
    QStringList listedTitles() const;
    void selectRow(int row);
    void waitForListing(const QString& typeLabel);
    void openAccountsPopover();
    bool listingsSettled();
    // Another window becomes the active one, then the main window again.
    bool leaveAndComeBack();
    bool newPostLooksHovered() const;
    // The control draws its own ring on its edge.
    static bool drawsRing(QWidget* control);
    QWidget* ringOf(QWidget* control) const;

    std::unique_ptr<ApplicationHarness> m_app;
    QDateTime m_lastUpdate;
};

void TestMainWindowFlows::initTestCase()
{
    TestSupport::useFreshDataFolder();
    ApplicationHarness::storeAccount(
        BloggerUser("mara", "Mara Quill", "https://profiles/mara", ""),
        {BloggerBlog(Travel, "mara", "Travel Notes", "https://travel/", "LIVE"),
         BloggerBlog(TravelTwin, "mara", "Travel Notes", "https://travel-twin/", "LIVE")},
        Travel);
    ApplicationHarness::storeAccount(BloggerUser("ned", "Ned Harrow", "https://profiles/ned", ""),
                                     {BloggerBlog(Garden, "ned", "Garden Diary", "https://garden/", "LIVE")},
                                     Garden);
    m_lastUpdate = QDateTime(QDate(2024, 3, 20), QTime(18, 45), Qt::LocalTime);
    PersistentServiceState().setLastUpdated(Travel, m_lastUpdate);
}

void TestMainWindowFlows::init()
{
    // Every case starts on Mara's first blog with the same posts.
    PersistentServiceState state;
    state.setUserId(QStringLiteral("mara"));
    state.setBlogId(Travel);
    for (const QString& blog : {Travel, TravelTwin, Garden}) {
        ApplicationHarness::removeAllPosts(blog);
    }
    ApplicationHarness::storePost(Travel, "p-lisbon", "Lisbon trams", PostStatus::Published, at(5), 5,
                                  "<h1>Lisbon</h1><p>Yellow trams climb the hills.</p>");
    ApplicationHarness::storePost(Travel, "p-alps", "Alps in winter", PostStatus::Published, at(12), 0);
    ApplicationHarness::storePost(Travel, "p-bergen", "Bergen rain", PostStatus::Published, at(2), 12);
    ApplicationHarness::storePost(Travel, "p-crete", "Crete soon", PostStatus::Scheduled, at(18), 0);
    ApplicationHarness::storePost(Travel, "d-porto", "Porto draft", PostStatus::Draft, at(9));
    ApplicationHarness::storePost(Travel, "d-oslo", "Oslo draft", PostStatus::Draft, at(3));
    ApplicationHarness::storePost(Travel, "o-notes", "Packing notes", PostStatus::Offline, at(7));
    ApplicationHarness::storePost(Travel, "s-lisbon", "Lisbon trams (copy)", PostStatus::SyncedCopy, at(8));
    ApplicationHarness::storePost(TravelTwin, "t-one", "Twin blog post", PostStatus::Published, at(4));
    ApplicationHarness::storePost(Garden, "g-roses", "Roses", PostStatus::Published, at(6), 2);

    // Each case starts with the window as a first run has it.
    UserDefaults::standardUserDefaults().removeObjectForKey(ApplicationWindowController::windowStateKey());
    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    QVERIFY(m_app->windowController());
    QTRY_VERIFY(m_app->windowController()->windowOutlet()->isVisible());
    waitForListing(QStringLiteral("Published Posts (4)"));
}

void TestMainWindowFlows::cleanup()
{
    m_app.reset();
}

QStringList TestMainWindowFlows::listedTitles() const
{
    QStringList titles;
    for (const BloggerPost& post : list()->postsList()) {
        titles << post.title;
    }
    return titles;
}

void TestMainWindowFlows::waitForListing(const QString& typeLabel)
{
    QTRY_COMPARE(header()->postsTypeLabelOutlet()->text(), typeLabel);
}

void TestMainWindowFlows::selectRow(int row)
{
    QListView* view = list()->tableViewOutlet();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestMainWindowFlows::testLaunchListsPublishedAreaWithCountAndLastUpdate()
{
    // Published and scheduled posts, most recently updated first.
    QCOMPARE(listedTitles(), QStringList({"Crete soon", "Alps in winter", "Lisbon trams", "Bergen rain"}));
    QCOMPARE(header()->lastUpdatedLabelOutlet()->text(),
             QStringLiteral("Last Update ") + GoogleDateService().displayDate(m_lastUpdate));
    QVERIFY(m_app->alerts.isEmpty());
    // The title stands alone: no display name is set for the window manager to append.
    QCOMPARE(m_app->window()->windowTitle(), QStringLiteral("Penhollow for Blogger"));
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    QCoreApplication::setApplicationName(name);
}

void TestMainWindowFlows::testLaunchShowsTheDefaultPageInThePostView()
{
    // The post view comes after the list, with its default page.
    PostContentViewController* pane = m_app->windowController()->postContentViewController();
    QTRY_VERIFY(pane->webviewOutlet() && pane->webviewOutlet()->url().fileName() == "default.html" &&
                !pane->webviewOutlet()->webPage()->isLoading());
    QVERIFY(!m_app->postViewText().trimmed().isEmpty());
}

void TestMainWindowFlows::testPostAskedBeforeThePostViewExistsShowsAfterItsDefaultPage()
{
    m_app.reset();
    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    PostContentViewController* pane = m_app->windowController()->postContentViewController();
    QVERIFY(!pane->webviewOutlet());
    m_app->windowController()->displayPost(*PostsLocalAccessAppService().getPost(QStringLiteral("p-lisbon")));
    QTRY_VERIFY(pane->webviewOutlet() && !pane->webviewOutlet()->webPage()->isLoading() &&
                m_app->postViewText().contains(QStringLiteral("Yellow trams climb the hills.")));
    // Nothing queued by the launch takes the post's place.
    QVERIFY(m_app->settle());
    QVERIFY(pane->webviewOutlet()->url().fileName() != "default.html");
    QVERIFY(m_app->postViewText().contains(QStringLiteral("Yellow trams climb the hills.")));
}

void TestMainWindowFlows::testEachAreaListsOnlyItsPosts()
{
    MenuContentViewController* menu = m_app->windowController()->menuContentViewController();
    press(menu->draftPostsMenuController()->view());
    waitForListing(QStringLiteral("Draft Posts (2)"));
    QCOMPARE(listedTitles(), QStringList({"Porto draft", "Oslo draft"}));

    press(menu->localPostsMenuController()->view());
    waitForListing(QStringLiteral("Offline Posts (2)"));
    QCOMPARE(listedTitles(), QStringList({"Lisbon trams (copy)", "Packing notes"}));

    press(menu->publicPostsMenuController()->view());
    waitForListing(QStringLiteral("Published Posts (4)"));
    QCOMPARE(listedTitles().size(), 4);
}

void TestMainWindowFlows::testSortByEachKeyInBothOrders()
{
    struct Case
    {
        int sortBy;
        int order;
        QStringList titles;
    };
    // Positions in the popover: by updated, published, comments, title; descending, ascending.
    const QList<Case> cases = {
        {0, 1, {"Bergen rain", "Lisbon trams", "Alps in winter", "Crete soon"}},
        {1, 0, {"Crete soon", "Alps in winter", "Lisbon trams", "Bergen rain"}},
        {1, 1, {"Bergen rain", "Lisbon trams", "Alps in winter", "Crete soon"}},
        {2, 0, {"Bergen rain", "Lisbon trams"}},
        {2, 1, {}},
        {3, 1, {"Alps in winter", "Bergen rain", "Crete soon", "Lisbon trams"}},
        {3, 0, {"Lisbon trams", "Crete soon", "Bergen rain", "Alps in winter"}},
        {0, 0, {"Crete soon", "Alps in winter", "Lisbon trams", "Bergen rain"}},
    };
    for (const Case& c : cases) {
        press(header()->sortButtonOutlet());
        auto* sortBy = findAnywhere<QComboBox>(QStringLiteral("sortByComboOutlet"));
        auto* order = findAnywhere<QComboBox>(QStringLiteral("sortOrderComboOutlet"));
        auto* sort = findAnywhere<QPushButton>(QStringLiteral("sortButton"));
        QVERIFY(sortBy && order && sort);
        QTRY_VERIFY(sort->isVisible());
        sortBy->setCurrentIndex(c.sortBy);
        order->setCurrentIndex(c.order);
        QTest::mouseClick(sort, Qt::LeftButton);
        QTRY_VERIFY(!sort->isVisible());
        if (c.sortBy == 2) {
            // By comments: the order among equal counts is the store's; check the counts only.
            const auto counts = [&] {
                QList<qint64> listed;
                for (const BloggerPost& post : list()->postsList()) {
                    listed << post.commentsCount;
                }
                return listed;
            };
            QList<qint64> expected = {12, 5, 0, 0};
            if (c.order == 1) {
                std::reverse(expected.begin(), expected.end());
            }
            QTRY_COMPARE(counts(), expected);
            if (!c.titles.isEmpty()) {
                QCOMPARE(listedTitles().mid(0, 2), c.titles);
            }
        } else {
            QTRY_COMPARE(listedTitles(), c.titles);
        }
    }
}

void TestMainWindowFlows::testSelectingPostShowsHeaderMenuAndContent()
{
    selectRow(2); // Lisbon trams
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Lisbon trams"));
    QCOMPARE(postBar()->postTypeLabelOutlet()->text(), QStringLiteral("Published Post"));
    QCOMPARE(postBar()->postCommentsCountLabelOutlet()->text(), QStringLiteral("5 Comments"));
    QVERIFY(postBar()->postCommentsCountLabelOutlet()->isVisibleTo(postBar()->view()));
    QCOMPARE(postBar()->postStatusIconOutlet()->imageName(), QStringLiteral("PublishedPostStatusIcon"));
    QTRY_VERIFY(m_app->postViewText().contains(QStringLiteral("Yellow trams climb the hills.")));
    QVERIFY(list()->isRowHighlighted(2));

    press(postBar()->menuButtonOutlet());
    QTRY_VERIFY(postBar()->optionsMenu());
    QStringList items;
    for (QAction* action : postBar()->optionsMenu()->actions()) {
        items << action->text();
    }
    QCOMPARE(items, QStringList({"Edit Post", "Add Comment", "Show Comments", "Reload from Blogger",
                                 "Show Post on Blogger", "Share Post", "Delete Post"}));
    postBar()->optionsMenu()->close();

    MenuContentViewController* menu = m_app->windowController()->menuContentViewController();
    press(menu->draftPostsMenuController()->view());
    waitForListing(QStringLiteral("Draft Posts (2)"));
    // A new area shows no post until one is chosen.
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QString());
    selectRow(0);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Porto draft"));
    QCOMPARE(postBar()->postTypeLabelOutlet()->text(), QStringLiteral("Draft Post"));
    QVERIFY(!postBar()->postCommentsCountLabelOutlet()->isVisibleTo(postBar()->view()));
    press(postBar()->menuButtonOutlet());
    items.clear();
    for (QAction* action : postBar()->optionsMenu()->actions()) {
        items << action->text();
    }
    QCOMPARE(items, QStringList({"Edit Post", "Reload from Blogger", "Delete Post"}));
    postBar()->optionsMenu()->close();
}

void TestMainWindowFlows::testKeyboardMovesSelectionAndContentFollows()
{
    selectRow(0);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Crete soon"));
    QListView* view = list()->tableViewOutlet();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    QTest::keyClick(view, Qt::Key_Down);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Lisbon trams"));
    QTRY_VERIFY(m_app->postViewText().contains(QStringLiteral("Yellow trams")));
    QTest::keyClick(view, Qt::Key_Up);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    QVERIFY(list()->isRowHighlighted(1));
    QVERIFY(!list()->isRowHighlighted(2));
}

void TestMainWindowFlows::testQuickSelectionsEndWithHeaderAndPaneOnTheLastPost()
{
    // Rows chosen as fast as a user goes through the list; the gaps are what the user does.
    const QList<int> gaps{0, 20, 40, 80};
    const int rows = int(list()->numberOfRows());
    QVERIFY(rows >= 3);
    for (int round = 0; round < 10; ++round) {
        int row = 0;
        for (int i = 0; i < 4; ++i) {
            QTest::qWait(gaps.at((round + i) % gaps.size()));
            row = (round + i) % rows;
            selectRow(row);
        }
        const BloggerPost last = list()->postsList().at(row);
        QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), last.title);
        const QString body = last.postId == QStringLiteral("p-lisbon")
                                 ? QStringLiteral("Yellow trams")
                                 : QStringLiteral("Body of ") + last.title;
        QTRY_VERIFY2_WITH_TIMEOUT(m_app->postViewText().contains(body), qPrintable(last.title), 30000);
        QCOMPARE(postBar()->postTitleLabelOutlet()->text(), last.title);
    }
}

void TestMainWindowFlows::openAccountsPopover()
{
    auto* settings = findAnywhere<QWidget>(QStringLiteral("avatarImageOutlet"));
    press(settings);
    QTRY_VERIFY(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet")) &&
                findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))->isVisible());
    QTRY_COMPARE(findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))->count(), 2);
}

void TestMainWindowFlows::testBlogChangeSendsTheBlogTheUserSawAmongSameTitles()
{
    openAccountsPopover();
    auto* accounts = findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"));
    auto* blogs = findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"));
    QTRY_COMPARE(blogs->count(), 2);
    QCOMPARE(accounts->currentText(), QStringLiteral("Mara Quill"));
    QCOMPARE(blogs->itemText(0), blogs->itemText(1));
    QCOMPARE(blogs->currentIndex(), 0);

    blogs->setCurrentIndex(1);
    QTest::mouseClick(findAnywhere<QPushButton>(QStringLiteral("applySelectionButton")), Qt::LeftButton);
    waitForListing(QStringLiteral("Published Posts (1)"));
    QCOMPARE(listedTitles(), QStringList({"Twin blog post"}));
    QCOMPARE(m_app->delegate()->authentificationService()->dynamicServiceState().blogId(), TravelTwin);
    QCOMPARE(PersistentServiceState().blogId(), std::optional<QString>(TravelTwin));
    QVERIFY(!blogs->isVisible());

    // Opening again preselects the twin, not the first blog with that title.
    openAccountsPopover();
    QTRY_COMPARE(findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))->currentIndex(), 1);
}

void TestMainWindowFlows::testAccountChangeListsThatAccountsBlogsThenApplies()
{
    openAccountsPopover();
    auto* accounts = findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"));
    auto* blogs = findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"));
    const int ned = accounts->findText(QStringLiteral("Ned Harrow"));
    QVERIFY(ned >= 0);
    accounts->setCurrentIndex(ned);
    Q_EMIT accounts->activated(ned);
    QTRY_COMPARE(blogs->count(), 1);
    QCOMPARE(blogs->itemText(0), QStringLiteral("Garden Diary"));
    QTest::mouseClick(findAnywhere<QPushButton>(QStringLiteral("applySelectionButton")), Qt::LeftButton);
    waitForListing(QStringLiteral("Published Posts (1)"));
    QCOMPARE(listedTitles(), QStringList({"Roses"}));
    const DynamicServiceState& state = m_app->delegate()->authentificationService()->dynamicServiceState();
    QCOMPARE(state.userId(), QStringLiteral("ned"));
    QCOMPARE(state.blogId(), Garden);
    QCOMPARE(m_app->delegate()->authentificationService()->accessToken(),
             std::optional<QString>("access-ned"));
}

void TestMainWindowFlows::testApplyWithoutBlogIsRefusedAndChangesNothing()
{
    openAccountsPopover();
    auto* blogs = findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"));
    QTRY_COMPARE(blogs->count(), 2);
    blogs->setCurrentIndex(-1);
    QTest::mouseClick(findAnywhere<QPushButton>(QStringLiteral("applySelectionButton")), Qt::LeftButton);
    QTRY_COMPARE(m_app->alerts.size(), 1);
    QCOMPARE(m_app->delegate()->authentificationService()->dynamicServiceState().blogId(), Travel);
    QCOMPARE(PersistentServiceState().blogId(), std::optional<QString>(Travel));
    QCOMPARE(listedTitles().size(), 4);
}

void TestMainWindowFlows::testDeleteOfflinePostAsksAndCancelKeepsIt()
{
    MenuContentViewController* menu = m_app->windowController()->menuContentViewController();
    press(menu->localPostsMenuController()->view());
    waitForListing(QStringLiteral("Offline Posts (2)"));
    const int row = int(listedTitles().indexOf(QStringLiteral("Packing notes")));
    selectRow(row);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Packing notes"));

    m_app->answers.enqueue(1); // Cancel
    postBar()->deletePostClick();
    QTRY_COMPARE(m_app->alerts.size(), 1);
    const AlertRequest& question = m_app->alerts.first();
    QCOMPARE(question.title, QStringLiteral("Delete \u201cPacking notes\u201d?"));
    QCOMPARE(question.message, QStringLiteral("It will be deleted from this computer."));
    QCOMPARE(question.buttons, QStringList({"Delete", "Cancel"}));
    QCOMPARE(question.defaultButton, 1);
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(PostsLocalAccessAppService().getPost(QStringLiteral("o-notes")));
    QCOMPARE(listedTitles().size(), 2);

    std::atomic<int> areaReads{0};
    ApplicationControllerService::setListingReadHook([&](PostArea, PostSortOptions) { ++areaReads; });
    auto unhook = qScopeGuard([] { ApplicationControllerService::setListingReadHook({}); });
    m_app->answers.enqueue(0); // Delete
    postBar()->deletePostClick();
    waitForListing(QStringLiteral("Offline Posts (1)"));
    QVERIFY(!PostsLocalAccessAppService().getPost(QStringLiteral("o-notes")));
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QString());
    QCOMPARE(listedTitles(), QStringList({"Lisbon trams (copy)"}));
    // The list loses the deleted post without reading the area again.
    QCOMPARE(areaReads.load(), 0);
}

void TestMainWindowFlows::testDeleteOfBloggerPostAsksBeforeAnything()
{
    selectRow(1);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    m_app->answers.enqueue(1); // Cancel
    postBar()->deletePostClick();
    QTRY_COMPARE(m_app->alerts.size(), 1);
    QCOMPARE(m_app->alerts.first().message, QStringLiteral("It will be deleted from Blogger too."));
    QVERIFY(ApplicationHarness::settle());
    QCOMPARE(m_app->alerts.size(), 1);
    QVERIFY(PostsLocalAccessAppService().getPost(QStringLiteral("p-alps")));
}

// Every read asked for has ended and what it handed to the main thread has run.
bool TestMainWindowFlows::listingsSettled()
{
    if (!QThreadPool::globalInstance()->waitForDone(20000)) {
        return false;
    }
    // A result reaches the list in two main-thread turns; each marker runs after what was queued before it.
    for (int turn = 0; turn < 3; ++turn) {
        bool ran = false;
        Dispatch::toMainThread([&ran] { ran = true; });
        if (!QTest::qWaitFor([&ran] { return ran; }, 10000)) {
            return false;
        }
    }
    return true;
}

void TestMainWindowFlows::testQuickAreaAndSortChangesShowTheLastAsked()
{
    // The next read of the published area by date is held until released, as a slow read would be, so
    // it ends after the reads asked for later.
    QSemaphore release;
    std::atomic<bool> holding{false};
    std::atomic<int> held{0};
    ApplicationControllerService::setListingReadHook([&](PostArea area, PostSortOptions sort) {
        if (area == PostArea::Published && sort == PostSortOptions::UpdatedDate && holding.exchange(false)) {
            ++held;
            release.acquire();
        }
    });
    auto unhook = qScopeGuard([&] {
        release.release(8);
        ApplicationControllerService::setListingReadHook({});
    });
    MenuContentViewController* menu = m_app->windowController()->menuContentViewController();

    // Published, then Offline.
    press(menu->draftPostsMenuController()->view());
    waitForListing(QStringLiteral("Draft Posts (2)"));
    holding = true;
    press(menu->publicPostsMenuController()->view());
    press(menu->localPostsMenuController()->view());
    waitForListing(QStringLiteral("Offline Posts (2)"));
    QTRY_COMPARE(held.load(), 1);
    release.release();
    QVERIFY2(listingsSettled(), "the listing reads did not end");
    QCOMPARE(header()->postsTypeLabelOutlet()->text(), QStringLiteral("Offline Posts (2)"));
    QCOMPARE(listedTitles(), QStringList({"Lisbon trams (copy)", "Packing notes"}));

    // Published, then a sort by title.
    holding = true;
    press(menu->publicPostsMenuController()->view());
    m_app->windowController()->onPostsSortRequest(PostSortOptions::Title, PostSortOrderOptions::Ascending);
    QTRY_COMPARE(listedTitles(),
                 QStringList({"Alps in winter", "Bergen rain", "Crete soon", "Lisbon trams"}));
    QTRY_COMPARE(held.load(), 2);
    release.release();
    QVERIFY2(listingsSettled(), "the listing reads did not end");
    QCOMPARE(listedTitles(), QStringList({"Alps in winter", "Bergen rain", "Crete soon", "Lisbon trams"}));
    QCOMPARE(header()->postsTypeLabelOutlet()->text(), QStringLiteral("Published Posts (4)"));

    m_app->windowController()->onPostsSortRequest(PostSortOptions::UpdatedDate,
                                                  PostSortOrderOptions::Descending);
    QTRY_COMPARE(listedTitles(),
                 QStringList({"Crete soon", "Alps in winter", "Lisbon trams", "Bergen rain"}));
}

void TestMainWindowFlows::testTabReachesEveryControlInOrder()
{
    selectRow(0);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Crete soon"));
    QWidget* window = m_app->window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget* newPost = m_app->find<QWidget>(QStringLiteral("hitAreaViewOutlet"));
    newPost->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), newPost);
    WebView* web = m_app->windowController()->postContentViewController()->webviewOutlet();
    // Down the columns from left to right; the post's first button (Edit, hidden for a scheduled
    // post) is skipped, and Tab leaves the post view again for New Post.
    const QStringList expected{"publicPostsMenuView",    "draftPostsMenuView", "localPostsMenuView",
                               "helpImageOutlet",        "avatarImageOutlet",  "downloadPostsButtonOutlet",
                               "sortButtonOutlet",       "tableViewOutlet",    "operationButton2Outlet",
                               "operationButton3Outlet", "menuButtonOutlet",   "webviewOutlet",
                               "hitAreaViewOutlet"};
    const auto focused = [web] {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) {
            return QString();
        }
        return web->isAncestorOf(focus) ? QStringLiteral("webviewOutlet") : focus->objectName();
    };
    for (const QString& name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // One Tab each. The post view hands the focus on once its page has let it go, which may pass
        // through the engine's own widgets inside the view first.
        QTRY_COMPARE(focused(), name);
    }
}

bool TestMainWindowFlows::leaveAndComeBack()
{
    QWidget other;
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other)) {
        return false;
    }
    m_app->window()->activateWindow();
    return QTest::qWaitForWindowActive(m_app->window());
}

bool TestMainWindowFlows::newPostLooksHovered() const
{
    auto* title = m_app->find<QLabel>(QStringLiteral("titleLabelOutlet"));
    auto* picture = m_app->find<ImageView>(QStringLiteral("avatarImageViewOutlet"));
    return title->palette().color(QPalette::WindowText) == UiColors::accent() ||
           picture->imageName() == QStringLiteral("NewPostOrange");
}

bool TestMainWindowFlows::drawsRing(QWidget* control)
{
    const QColor edge = control->grab().toImage().pixelColor(1, control->height() / 2);
    return edge == control->palette().color(QPalette::Highlight);
}

QWidget* TestMainWindowFlows::ringOf(QWidget* control) const
{
    return control->parentWidget()->findChild<QWidget*>(control->objectName() + QStringLiteral("FocusRing"));
}

void TestMainWindowFlows::testListHasTheFocusAtLaunchAndWhenTheWindowComesBack()
{
    QListView* view = list()->tableViewOutlet();
    QVERIFY(QTest::qWaitForWindowActive(m_app->window()));
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(!ringOf(view)->isVisible());
    QVERIFY(!newPostLooksHovered());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Crete soon"));

    QVERIFY(leaveAndComeBack());
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(!ringOf(view)->isVisible());
    QVERIFY(!newPostLooksHovered());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
}

void TestMainWindowFlows::testNewPostLooksHoveredOnlyUnderThePointerOrTheKeyboard()
{
    QVERIFY(QTest::qWaitForWindowActive(m_app->window()));
    QWidget* newPost = m_app->find<QWidget>(QStringLiteral("hitAreaViewOutlet"));
    QWidget* away = list()->tableViewOutlet()->viewport();
    QTest::mouseMove(newPost);
    QTRY_VERIFY(newPostLooksHovered());
    QTest::mouseMove(away);
    QTRY_VERIFY(!newPostLooksHovered());

    // Shift+Tab from the first area entry reaches it; the pointer passing over it changes nothing then.
    m_app->find<QWidget>(QStringLiteral("publicPostsMenuView"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTRY_COMPARE(QApplication::focusWidget(), newPost);
    QVERIFY(newPostLooksHovered());
    QVERIFY(drawsRing(newPost));
    QTest::mouseMove(newPost);
    QTest::mouseMove(away);
    QTRY_VERIFY(!newPost->underMouse());
    QVERIFY(newPostLooksHovered());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_VERIFY(!newPostLooksHovered());
}

void TestMainWindowFlows::testRingShowsOnlyWhereTheKeyboardPutTheFocus()
{
    QListView* view = list()->tableViewOutlet();
    QVERIFY(QTest::qWaitForWindowActive(m_app->window()));
    // The focus the program gives a button, as a window gives its first control: no ring.
    QWidget* newPost = m_app->find<QWidget>(QStringLiteral("hitAreaViewOutlet"));
    newPost->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), newPost);
    QVERIFY(!drawsRing(newPost));

    // A click, then the window left and back: no ring.
    selectRow(1);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    QCOMPARE(QApplication::focusWidget(), view);
    QVERIFY(leaveAndComeBack());
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(!ringOf(view)->isVisible());

    // Tab: a ring, kept when the window comes back, gone after a click.
    header()->sortButtonOutlet()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(ringOf(view)->isVisible());
    QVERIFY(leaveAndComeBack());
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(ringOf(view)->isVisible());
    selectRow(2);
    QTRY_VERIFY(!ringOf(view)->isVisible());

    // The reading pane clicked: no ring, nor when the window comes back.
    WebView* web = m_app->windowController()->postContentViewController()->webviewOutlet();
    QTRY_VERIFY(m_app->postViewText().contains(QStringLiteral("Yellow trams")));
    QWidget* page = web->focusProxy() ? web->focusProxy() : web;
    QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_VERIFY(web->isAncestorOf(QApplication::focusWidget()) || web->hasFocus());
    QVERIFY(leaveAndComeBack());
    QTRY_VERIFY(web->isAncestorOf(QApplication::focusWidget()) || web->hasFocus());
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(!ringOf(web)->isVisible());
}

void TestMainWindowFlows::testScreenReadersHearNamedButtonsAndRowsWithStatusAndDate()
{
    selectRow(0);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Crete soon"));
    const QList<std::pair<QString, QString>> buttons{{"hitAreaViewOutlet", "New Post"},
                                                     {"avatarImageViewOutlet", "New Post"},
                                                     {"publicPostsMenuView", "Published"},
                                                     {"draftPostsMenuView", "Draft"},
                                                     {"localPostsMenuView", "Offline"},
                                                     {"helpImageOutlet", "Help"},
                                                     {"avatarImageOutlet", "Settings"},
                                                     {"downloadPostsButtonOutlet", "Download posts"},
                                                     {"sortButtonOutlet", "Sort"},
                                                     {"operationButton2Outlet", "Edit Post"},
                                                     {"operationButton3Outlet", "Keep Offline"},
                                                     {"menuButtonOutlet", "More actions"}};
    for (const auto& [objectName, name] : buttons) {
        QWidget* widget = m_app->find<QWidget>(objectName);
        QVERIFY2(widget, qPrintable(objectName));
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        QVERIFY2(control && control->isValid(), qPrintable(objectName));
        QCOMPARE(control->role(), QAccessible::Button);
        QCOMPARE(control->text(QAccessible::Name), name);
        QVERIFY(control->actionInterface() && control->actionInterface()->actionNames().contains(
                                                  QAccessibleActionInterface::pressAction()));
    }
    // Pressing through the accessibility interface is pressing the control.
    QAccessibleInterface* drafts =
        QAccessible::queryAccessibleInterface(m_app->find<QWidget>(QStringLiteral("draftPostsMenuView")));
    drafts->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    waitForListing(QStringLiteral("Draft Posts (2)"));

    // A row says the title, the status and the date of the post.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list()->tableViewOutlet());
    QVERIFY(table && table->tableInterface());
    QAccessibleInterface* row = table->tableInterface()->cellAt(0, 0);
    QVERIFY(row);
    QCOMPARE(row->text(QAccessible::Name),
             QStringLiteral("Porto draft, Draft, ") + GoogleDateService().displayDate(at(9)));
}

void TestMainWindowFlows::testSizePositionAndColumnsComeBackAfterRestartOnlyOntoAScreen()
{
    auto restart = [this] {
        m_app.reset();
        m_app = std::make_unique<ApplicationHarness>();
        return m_app->launch() &&
               QTest::qWaitFor([this] { return m_app->window() && m_app->window()->isVisible(); }, 20000);
    };
    auto splitter = [this](const char* name) { return m_app->find<QSplitter>(QString::fromLatin1(name)); };
    const QRect area = m_app->window()->screen()->availableGeometry();
    const QSize least = m_app->window()->minimumSize();
    // Larger than the least size where the screen has room for it.
    const QSize size(least.width() + (area.width() >= least.width() + 100 ? 60 : 0),
                     least.height() + (area.height() >= least.height() + 100 ? 40 : 10));
    const QRect chosen(area.topLeft() + QPoint(30, 20), size);
    m_app->window()->setGeometry(chosen);
    // As the user drags a divider: the other column takes the rest.
    auto drag = [](QSplitter* columns, int first) {
        const QList<int> sizes = columns->sizes();
        columns->setSizes({first, sizes.value(0) + sizes.value(1) - first});
    };
    QTRY_COMPARE(m_app->window()->size(), chosen.size());
    drag(splitter("viewSplitOutlet"), 210);
    drag(splitter("contentSplitView"), 284);
    QTRY_COMPARE(splitter("contentSplitView")->sizes().value(0), 284);
    const QPoint position = m_app->window()->pos();

    QVERIFY(restart());
    QTRY_COMPARE(m_app->window()->size(), chosen.size());
    QCOMPARE(m_app->window()->pos(), position);
    QTRY_COMPARE(splitter("viewSplitOutlet")->sizes().value(0), 210);
    QTRY_COMPARE(splitter("contentSplitView")->sizes().value(0), 284);

    // A place on no screen of this run (a monitor unplugged since) is not taken up.
    m_app.reset();
    UserDefaults::standardUserDefaults().setObject(
        QStringLiteral("-9000,-9000,%1,%2,0;210,284").arg(chosen.width()).arg(chosen.height()),
        ApplicationWindowController::windowStateKey());
    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    QTRY_VERIFY(m_app->window() && m_app->window()->isVisible());
    QCOMPARE(m_app->window()->size(), chosen.size());
    QVERIFY(m_app->window()->screen()->availableGeometry().contains(m_app->window()->pos()));
}

PENHOLLOW_APP_TEST_MAIN(TestMainWindowFlows)
#include "TestMainWindowFlows.moc"

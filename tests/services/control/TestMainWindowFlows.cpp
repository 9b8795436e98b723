#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/WebView.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "ui/main/ApplicationWindowController.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/LeftMenuViewController.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/TableContentViewController.h"
#include "ui/main/TableTopViewController.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QWebEnginePage>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

const QString Travel = QStringLiteral("travel");
const QString TravelTwin = QStringLiteral("travel-twin");
const QString Garden = QStringLiteral("garden");

template <typename T> T* findAnywhere(const QString& name)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) {
            if (auto* self = qobject_cast<T*>(top)) {
                return self;
            }
        }
        if (T* found = top->findChild<T*>(name)) {
            return found;
        }
    }
    return nullptr;
}

QDateTime at(int day, int hour = 10)
{
    return QDateTime(QDate(2024, 3, day), QTime(hour, 0), Qt::LocalTime);
}

void press(QWidget* widget)
{
    QVERIFY(widget);
    QTest::mousePress(widget, Qt::LeftButton, {}, widget->rect().center());
    QTest::mouseRelease(widget, Qt::LeftButton, {}, widget->rect().center());
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
    void testEachAreaListsOnlyItsPosts();
    void testSortByEachKeyInBothOrders();
    void testSelectingPostShowsHeaderMenuAndContent();
    void testKeyboardMovesSelectionAndContentFollows();
    void testBlogChangeSendsTheBlogTheUserSawAmongSameTitles();
    void testAccountChangeListsThatAccountsBlogsThenApplies();
    void testApplyWithoutBlogIsRefusedAndChangesNothing();
    void testDeleteOfflinePostAsksAndCancelKeepsIt();
    void testDeleteOfBloggerPostAsksBeforeAnything();

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
    QString postViewText();
    void openAccountsPopover();

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

QString TestMainWindowFlows::postViewText()
{
    WebView* web = m_app->windowController()->postContentViewController()->webviewOutlet();
    // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
    auto text = std::make_shared<std::optional<QString>>();
    web->page()->toPlainText([text](const QString& value) { *text = value; });
    if (!QTest::qWaitFor([&] { return text->has_value(); }, 10000)) {
        return QStringLiteral("<no answer>");
    }
    return **text;
}

void TestMainWindowFlows::testLaunchListsPublishedAreaWithCountAndLastUpdate()
{
    // Published and scheduled posts, most recently updated first.
    QCOMPARE(listedTitles(), QStringList({"Crete soon", "Alps in winter", "Lisbon trams", "Bergen rain"}));
    QCOMPARE(header()->lastUpdatedLabelOutlet()->text(),
             QStringLiteral("Last Update ") + GoogleDateService().displayDate(m_lastUpdate));
    QVERIFY(m_app->alerts.isEmpty());
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
    QTRY_VERIFY(postViewText().contains(QStringLiteral("Yellow trams climb the hills.")));
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
    QTRY_VERIFY(postViewText().contains(QStringLiteral("Yellow trams")));
    QTest::keyClick(view, Qt::Key_Up);
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    QVERIFY(list()->isRowHighlighted(1));
    QVERIFY(!list()->isRowHighlighted(2));
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
    QCOMPARE(question.title, QStringLiteral("Delete this post?"));
    QCOMPARE(question.message, QStringLiteral("It will be deleted from this computer."));
    QCOMPARE(question.buttons, QStringList({"Delete", "Cancel"}));
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(PostsLocalAccessAppService().getPost(QStringLiteral("o-notes")));
    QCOMPARE(listedTitles().size(), 2);

    m_app->answers.enqueue(0); // Delete
    postBar()->deletePostClick();
    waitForListing(QStringLiteral("Offline Posts (1)"));
    QVERIFY(!PostsLocalAccessAppService().getPost(QStringLiteral("o-notes")));
    QTRY_COMPARE(postBar()->postTitleLabelOutlet()->text(), QString());
    QCOMPARE(listedTitles(), QStringList({"Lisbon trams (copy)"}));
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

PENHOLLOW_APP_TEST_MAIN(TestMainWindowFlows)
#include "TestMainWindowFlows.moc"

#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "model/BloggerPost.h"
#include "platform/Dispatch.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/PostTopViewController.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <thread>

namespace {

BloggerPost makePost(PostStatus status, const QString& postId,
                     const QString& title = QStringLiteral("A Title"), std::int64_t commentsCount = 0)
{
    BloggerPost post;
    post.postId = postId;
    post.title = title;
    post.postStatus = status;
    post.commentsCount = commentsCount;
    post.publishDate = QDateTime(QDate(2015, 6, 3), QTime(9, 30));
    post.updatedDate = QDateTime(QDate(2015, 6, 4), QTime(18, 5));
    post.url = QStringLiteral("https://blog.example.com/2015/06/a-title.html");
    return post;
}

// Records every request the bar raises, as "closure:postId".
struct Requests
{
    QStringList raised;

    void listenTo(PostTopViewController& bar)
    {
        auto record = [this](const char* name) {
            return [this, name](const QString& postId) {
                raised.append(QLatin1String(name) + QLatin1Char(':') + postId);
            };
        };
        bar.onEditPostRequest = record("edit");
        bar.onOfflinePostRequest = record("offline");
        bar.onDisplayPostCommentsRequest = record("comments");
        bar.onAddCommentRequest = record("addComment");
        bar.onReloadPostFromBloggerRequest = record("reload");
        bar.onDeletePostRequest = record("delete");
    }
};

} // namespace

class TestPostTopView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testPublishedPostShowsThreeButtonsRaisingTheirOwnRequests();
    void testDraftAfterPublishedTurnsButtonTwoIntoEditAndBack();
    void testCommentsCountHasNoSingularForm();
    void testSyncedCopyKeepsTheSpaceInTypeAndImageName();
    void testMissingDatesReadNever();
    void testDefaultViewEmptiesEverythingAndNextPostShowsAgain();
    void testPressBeforeClosureIsSetDoesNothing();
    void testTitleWidthFollowsTheBarAndLongTitleIsElided();
    void testPostChangedAfterShowPostDoesNotReachTheBar();
    void testShowPostFromBackgroundThreadAppliesInCallOrder();

private:
    void show(const BloggerPost& post);

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<PostTopViewController> m_bar;
    Requests m_requests;
};

void TestPostTopView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestPostTopView::init()
{
    m_bar = std::make_unique<PostTopViewController>();
    m_requests = {};
    m_requests.listenTo(*m_bar);
    // Placed in a window as the main window places it.
    m_window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    // The offscreen platform warns at every change of a window's size limits.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(m_bar->view());
    m_window->resize(600, 64);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestPostTopView::cleanup()
{
    m_bar.reset();
    m_window.reset();
}

void TestPostTopView::show(const BloggerPost& post)
{
    m_bar->showPost(post);
    QTRY_VERIFY(m_bar->currentPost() && m_bar->currentPost()->postId == post.postId);
}

void TestPostTopView::testPublishedPostShowsThreeButtonsRaisingTheirOwnRequests()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1"), QStringLiteral("Spring"), 5));

    QCOMPARE(m_bar->postTypeLabelOutlet()->text(), QStringLiteral("Published Post"));
    QCOMPARE(m_bar->postTitleLabelOutlet()->text(), QStringLiteral("Spring"));
    QCOMPARE(m_bar->postCommentsCountLabelOutlet()->text(), QStringLiteral("5 Comments"));
    QVERIFY(!m_bar->postCommentsCountLabelOutlet()->isHidden());
    QCOMPARE(m_bar->postStatusIconOutlet()->imageName(), QStringLiteral("PublishedPostStatusIcon"));
    QCOMPARE(m_bar->menuButtonOutlet()->imageName(), QStringLiteral("PostMenuIcon"));

    ImageButtonView* buttons[] = {m_bar->operationButton1Outlet(), m_bar->operationButton2Outlet(),
                                  m_bar->operationButton3Outlet()};
    const QStringList images{QStringLiteral("EditPost"), QStringLiteral("CommentsIcon"),
                             QStringLiteral("OfflineIcon")};
    const QStringList expected{QStringLiteral("edit:p1"), QStringLiteral("comments:p1"),
                               QStringLiteral("offline:p1")};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!buttons[i]->isHidden());
        QCOMPARE(buttons[i]->imageName(), images[i]);
        QTest::mousePress(buttons[i], Qt::LeftButton);
        QCOMPARE(m_requests.raised, QStringList{expected[i]});
        m_requests.raised.clear();
    }
}

void TestPostTopView::testDraftAfterPublishedTurnsButtonTwoIntoEditAndBack()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1"), QStringLiteral("Spring"), 2));
    show(makePost(PostStatus::Draft, QStringLiteral("d1"), QStringLiteral("Summer"), 3));

    QVERIFY(m_bar->operationButton1Outlet()->isHidden());
    QVERIFY(m_bar->postCommentsCountLabelOutlet()->isHidden());
    QCOMPARE(m_bar->postCommentsCountLabelOutlet()->text(), QStringLiteral("3 Comments"));
    QCOMPARE(m_bar->operationButton2Outlet()->imageName(), QStringLiteral("EditPost"));
    QCOMPARE(m_bar->operationButton3Outlet()->imageName(), QStringLiteral("OfflineIcon"));
    QTest::mousePress(m_bar->operationButton2Outlet(), Qt::LeftButton);
    QTest::mousePress(m_bar->operationButton3Outlet(), Qt::LeftButton);
    QCOMPARE(m_requests.raised, (QStringList{QStringLiteral("edit:d1"), QStringLiteral("offline:d1")}));

    m_requests.raised.clear();
    show(makePost(PostStatus::Published, QStringLiteral("p2")));
    QVERIFY(!m_bar->operationButton1Outlet()->isHidden());
    QCOMPARE(m_bar->operationButton2Outlet()->imageName(), QStringLiteral("CommentsIcon"));
    QTest::mousePress(m_bar->operationButton2Outlet(), Qt::LeftButton);
    QCOMPARE(m_requests.raised, QStringList{QStringLiteral("comments:p2")});
}

void TestPostTopView::testCommentsCountHasNoSingularForm()
{
    show(makePost(PostStatus::Published, QStringLiteral("one"), QStringLiteral("t"), 1));
    QCOMPARE(m_bar->postCommentsCountLabelOutlet()->text(), QStringLiteral("1 Comments"));
    show(makePost(PostStatus::Published, QStringLiteral("none"), QStringLiteral("t"), 0));
    QCOMPARE(m_bar->postCommentsCountLabelOutlet()->text(), QStringLiteral("0 Comments"));
}

void TestPostTopView::testSyncedCopyKeepsTheSpaceInTypeAndImageName()
{
    show(makePost(PostStatus::SyncedCopy, QStringLiteral("s1")));
    QCOMPARE(m_bar->postTypeLabelOutlet()->text(), QStringLiteral("Synced Copy Post"));
    QCOMPARE(m_bar->postStatusIconOutlet()->imageName(), QStringLiteral("Synced CopyPostStatusIcon"));
    QVERIFY(!m_bar->postStatusIconOutlet()->pixmap().isNull());
}

void TestPostTopView::testMissingDatesReadNever()
{
    BloggerPost post = makePost(PostStatus::Draft, QStringLiteral("d1"));
    post.publishDate.reset();
    show(post);
    const QString updated = GoogleDateService().displayDate(post.updatedDate);
    QVERIFY(updated != QStringLiteral("Never"));
    QCOMPARE(m_bar->postDatesLabelOutlet()->text(), QStringLiteral("Never \u00b7 ") + updated);

    post.postId = QStringLiteral("d2");
    post.updatedDate.reset();
    show(post);
    QCOMPARE(m_bar->postDatesLabelOutlet()->text(), QStringLiteral("Never \u00b7 Never"));
}

void TestPostTopView::testDefaultViewEmptiesEverythingAndNextPostShowsAgain()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1"), QStringLiteral("Spring"), 4));
    m_bar->loadDefaultView();
    QTRY_VERIFY(m_bar->postTitleLabelOutlet()->text().isEmpty());
    QVERIFY(m_bar->postTypeLabelOutlet()->text().isEmpty());
    QVERIFY(m_bar->postCommentsCountLabelOutlet()->text().isEmpty());
    QVERIFY(m_bar->postDatesLabelOutlet()->text().isEmpty());
    QWidget* controls[] = {m_bar->postStatusIconOutlet(),   m_bar->menuButtonOutlet(),
                           m_bar->operationButton1Outlet(), m_bar->operationButton2Outlet(),
                           m_bar->operationButton3Outlet(), m_bar->delimiterViewOutlet()};
    for (QWidget* control : controls) {
        QVERIFY2(control->isHidden(), qPrintable(control->objectName()));
    }

    show(makePost(PostStatus::Offline, QStringLiteral("o1"), QStringLiteral("Autumn")));
    QCOMPARE(m_bar->postTitleLabelOutlet()->text(), QStringLiteral("Autumn"));
    for (QWidget* control : controls) {
        const bool expectHidden = control == m_bar->operationButton1Outlet();
        QVERIFY2(control->isHidden() == expectHidden, qPrintable(control->objectName()));
    }
    QVERIFY(m_bar->postCommentsCountLabelOutlet()->isHidden());
}

void TestPostTopView::testPressBeforeClosureIsSetDoesNothing()
{
    m_bar->onEditPostRequest = nullptr;
    show(makePost(PostStatus::Draft, QStringLiteral("d1")));
    QTest::mousePress(m_bar->operationButton2Outlet(), Qt::LeftButton);
    QVERIFY(m_requests.raised.isEmpty());

    QStringList late;
    m_bar->onEditPostRequest = [&](const QString& postId) { late.append(postId); };
    QTest::mousePress(m_bar->operationButton2Outlet(), Qt::LeftButton);
    QCOMPARE(late, QStringList{QStringLiteral("d1")});
}

void TestPostTopView::testTitleWidthFollowsTheBarAndLongTitleIsElided()
{
    QLabel* title = m_bar->postTitleLabelOutlet();
    QCOMPARE(title->maximumWidth(), 450);
    m_window->resize(800, 64);
    QCOMPARE(title->maximumWidth(), 650);

    // The bar keeps its height: a long title stays on one line within the width.
    const QString longTitle = QStringLiteral("A rather long title ").repeated(20).trimmed();
    show(makePost(PostStatus::Published, QStringLiteral("p1"), longTitle));
    QCOMPARE(title->text(), longTitle);
    QCOMPARE(title->toolTip(), longTitle);
    QVERIFY(title->width() <= 650);
    QCOMPARE(m_bar->view()->height(), 64);
}

void TestPostTopView::testPostChangedAfterShowPostDoesNotReachTheBar()
{
    BloggerPost post = makePost(PostStatus::Published, QStringLiteral("p1"), QStringLiteral("As sent"), 2);
    m_bar->showPost(post);
    post.title = QStringLiteral("Changed later");
    post.postStatus = PostStatus::Draft;
    QTRY_COMPARE(m_bar->postTitleLabelOutlet()->text(), QStringLiteral("As sent"));
    QCOMPARE(m_bar->currentPost()->postStatus, PostStatus::Published);
    QVERIFY(!m_bar->operationButton1Outlet()->isHidden());
}

void TestPostTopView::testShowPostFromBackgroundThreadAppliesInCallOrder()
{
    std::thread caller([bar = m_bar.get()] {
        for (int i = 0; i < 200; ++i) {
            bar->showPost(makePost(i % 2 ? PostStatus::Published : PostStatus::Draft, QString::number(i),
                                   QStringLiteral("Title %1").arg(i), i));
        }
        bar->loadDefaultView();
        bar->showPost(makePost(PostStatus::Draft, QStringLiteral("last"), QStringLiteral("Last one"), 7));
    });
    caller.join();
    // Queued behind every job of the calls, so the bar has its final state once it has run.
    bool settled = false;
    Dispatch::toMainThread([&settled] { settled = true; });
    QTRY_VERIFY(settled);
    QCOMPARE(m_bar->postTitleLabelOutlet()->text(), QStringLiteral("Last one"));
    QCOMPARE(m_bar->currentPost()->postId, QStringLiteral("last"));
    QCOMPARE(m_bar->postCommentsCountLabelOutlet()->text(), QStringLiteral("7 Comments"));
    QVERIFY(m_bar->postCommentsCountLabelOutlet()->isHidden());
    QVERIFY(m_bar->operationButton1Outlet()->isHidden());
    QVERIFY(!m_bar->menuButtonOutlet()->isHidden());
}

QTEST_MAIN(TestPostTopView)
#include "TestPostTopView.moc"

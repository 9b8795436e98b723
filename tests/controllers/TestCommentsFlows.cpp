#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "GoogleStandin.h"
#include "common/GoogleDateService.h"
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/CommentsControllerService.h"
#include "google/GoogleServiceEndpoints.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/NetworkPictureDecoder.h"
#include "platform/gui/RemoteImageCache.h"
#include "platform/gui/WebView.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "ui/UiColors.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/SpinnerView.h"
#include "ui/main/TableContentViewController.h"
#include "ui/windows/CommentListItemDelegate.h"
#include "ui/windows/CommentTableCellView.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"
#include "ui/windows/NewCommentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using TestSupport::findAnywhere;
using TestSupport::press;

const QString Mara = QStringLiteral("107741234567812345678");
const QString TideTables = QStringLiteral("4120843728710463922");
const QString LowTide = QStringLiteral("8816602137345629201"); // Ned, an anonymous reader, Iris
const QString Moon = QStringLiteral("8816602137321871862");    // no comments

} // namespace

// Reading, downloading, adding and deleting comments in the running application, against the stand-in;
// and the help it opens.
class TestCommentsFlows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testPostWithoutCommentsShowsNoComments();
    void testPostWithCommentsShowsNamesDatesTextAndAvatars();
    void testSecondShowingListsStoredCommentsWithoutDownload();
    void testDownloadAgainShowsCommentTheStandinGained();
    void testFailedDownloadEndsBusyStateAndSaysWhy();
    void testAddCommentPublishesListsItAndClosesWindow();
    void testFailedAddKeepsWindowAndText();
    void testRetryAfterLostAnswerNeverAddsASecondComment();
    void testEmptyCommentIsNotSent();
    void testDeleteAsksFirstThenRemovesOnBloggerAndInList();
    void testFailedDeleteKeepsCommentAndEndsBusyState();
    void testMenuOnRowReplacedDuringRefreshDoesNothing();
    void testTabIntoTheListShowsItsRingAndTheCommentReturnOpens();
    void testNavigateToProfileOpensAuthorsPageInBrowser();
    void testAccountsPopoverOffersNoCommentAuthors();
    void testHelpOpensFromMenuAndSettingsPanel();

private:
    CommentsListWindowController* list() const
    {
        return m_app->windowController()
            ->applicationControllerService()
            ->commentsControllerService()
            ->commentsListWindowController();
    }
    NewCommentWindowController* newComment() const
    {
        return m_app->windowController()
            ->applicationControllerService()
            ->commentsControllerService()
            ->newCommentWindowController();
    }
    // The post selected in the main window's list, and the item of its menu chosen, as the user does.
    void choosePostMenuItem(const QString& postId, const QString& item);
    // The comments of the post as the list shows them, once nothing is under way.
    void openComments(const QString& postId, int expectedRows);
    QStringList shownNames() const;
    int rowOf(const QString& author) const;
    // The row is drawn as the current one.
    bool rowShownCurrent(int row) const;
    // The store, the main window's list row and the post's header all give the post that many comments.
    void expectCommentCount(const QString& postId, std::int64_t count);

    GoogleStandin m_standin;
    std::unique_ptr<ApplicationHarness> m_app;
    QList<QUrl> m_opened;
};

void TestCommentsFlows::initTestCase()
{
    TestSupport::useFreshDataFolder();
    QVERIFY(m_standin.start(0) != 0);
    TestSupport::pointGoogleServicesAt(m_standin.serverUrl());
    ExternalUrlOpener::setOpener([this](const QUrl& url) {
        m_opened << url;
        return true;
    });
}

void TestCommentsFlows::init()
{
    m_standin.reset();
    m_opened.clear();
    RemoteImageCache::shared().clear();
    ApplicationHarness::storeAccount(BloggerUser(Mara, "Mara Quill",
                                                 m_standin.serverUrl().toString() + "/profile/mara",
                                                 m_standin.serverUrl().toString() + "/img/mara-quill.png"),
                                     {BloggerBlog(TideTables, Mara, "Tide Tables",
                                                  m_standin.serverUrl().toString() + "/tidetables/", "LIVE")},
                                     TideTables);
    PersistentAccessTokens tokens(Mara);
    tokens.setAccessToken(m_standin.issueAccessToken(Mara));
    tokens.setRefreshToken(m_standin.issueRefreshToken(Mara));
    for (const QString& postId : {LowTide, Moon}) {
        CommentsLocalAccessAppService().deleteAllCommentsForPostWithoutCascade(postId);
        PersistentServiceState().setCommentsDownloaded(postId, false);
        const StandinPost post = m_standin.post(TideTables, postId).value();
        ApplicationHarness::storePost(TideTables, postId, post.title, PostStatus::Published, post.updated,
                                      post.comments.size(), post.content);
    }
    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    QTRY_VERIFY(m_app->windowController()->windowOutlet()->isVisible());
    m_standin.clearRequests();
}

void TestCommentsFlows::cleanup()
{
    m_app.reset();
}

void TestCommentsFlows::choosePostMenuItem(const QString& postId, const QString& item)
{
    TableContentViewController* posts = m_app->windowController()->tableContentViewController();
    QTRY_VERIFY(posts->numberOfRows() > 0);
    int row = -1;
    for (int i = 0; i < posts->postsList().size(); ++i) {
        if (posts->postsList().at(i).postId == postId) {
            row = i;
        }
    }
    QVERIFY(row >= 0);
    QListView* view = posts->tableViewOutlet();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
    PostTopViewController* bar = m_app->windowController()->postTopViewController();
    QTRY_VERIFY(bar->currentPost() && bar->currentPost()->postId == postId);
    press(bar->menuButtonOutlet());
    QTRY_VERIFY(bar->optionsMenu() && bar->optionsMenu()->isVisible());
    QAction* chosen = nullptr;
    for (QAction* action : bar->optionsMenu()->actions()) {
        if (action->text() == item) {
            chosen = action;
        }
    }
    QVERIFY(chosen);
    chosen->trigger();
    bar->optionsMenu()->close();
}

void TestCommentsFlows::openComments(const QString& postId, int expectedRows)
{
    choosePostMenuItem(postId, QStringLiteral("Show Comments"));
    QTRY_VERIFY(list()->isWindowLoaded() && list()->window()->isVisible());
    QTRY_VERIFY(list()->post() && list()->post()->postId == postId);
    QTRY_VERIFY(!list()->isLoading() && list()->comments().size() == expectedRows);
}

QStringList TestCommentsFlows::shownNames() const
{
    QStringList names;
    for (int row = 0; row < list()->comments().size(); ++row) {
        names << list()->itemDelegate()->filledCell(row).commentUserName();
    }
    return names;
}

int TestCommentsFlows::rowOf(const QString& author) const
{
    return int(shownNames().indexOf(author));
}

void TestCommentsFlows::expectCommentCount(const QString& postId, std::int64_t count)
{
    QTRY_COMPARE(PostsLocalAccessAppService().getPost(postId).value().commentsCount, count);
    TableContentViewController* posts = m_app->windowController()->tableContentViewController();
    const auto listed = [&] {
        for (const BloggerPost& post : posts->postsList()) {
            if (post.postId == postId) {
                return post.commentsCount;
            }
        }
        return std::int64_t(-1);
    };
    QTRY_COMPARE(listed(), count);
    QTRY_COMPARE(m_app->windowController()->postTopViewController()->postCommentsCountLabelOutlet()->text(),
                 QString::number(count) + QStringLiteral(" Comments"));
}

void TestCommentsFlows::testPostWithoutCommentsShowsNoComments()
{
    openComments(Moon, 0);
    QCOMPARE(list()->window()->windowTitle(), QStringLiteral("Comments \u00B7 Why the moon matters"));
    QCOMPARE(list()->commentsCountLabelOutlet()->text(), QStringLiteral("No Comments"));
    QVERIFY(!list()->tableViewOutlet()->isVisible());
    QCOMPARE(m_standin
                 .requests("GET", "/blogger/v3/blogs/" + TideTables.toUtf8() + "/posts/" + Moon.toUtf8() +
                                      "/comments")
                 .size(),
             1);
    QVERIFY(m_app->alerts.isEmpty());
}

void TestCommentsFlows::testPostWithCommentsShowsNamesDatesTextAndAvatars()
{
    openComments(LowTide, 3);
    QCOMPARE(list()->window()->windowTitle(),
             QStringLiteral("Comments \u00B7 Low tide at Porthcurno & beyond"));
    QVERIFY(list()->tableViewOutlet()->isVisible());
    QCOMPARE(list()->commentsCountLabelOutlet()->text(), QString());
    // Newest first.
    QCOMPARE(shownNames(), QStringList({"Iris Penwarden", "Anonymous", "Ned Harrow"}));
    const StandinPost source = m_standin.post(TideTables, LowTide).value();
    CommentListItemDelegate* rows = list()->itemDelegate();
    QCOMPARE(rows->filledCell(2).commentDateAndTime(),
             GoogleDateService().displayDate(source.comments[0].published));
    QVERIFY(QRegularExpression("^[A-Z][a-z]+ \\d\\d, \\d{4} \\d\\d:\\d\\d$")
                .match(rows->filledCell(2).commentDateAndTime())
                .hasMatch());
    QCOMPARE(rows->filledCell(2).commentContent(), QStringLiteral("Lovely pictures & words\nThanks!"));
    QCOMPARE(rows->filledCell(1).commentContent(), QStringLiteral("Was the water really <i>that</i> cold?"));
    // The stand-in's pictures arrive in the background: one request each, whatever the rows drawn.
    for (int row = 0; row < 3; ++row) {
        const QString picture = list()->comments().at(row).author.userPicture;
        QTRY_VERIFY(RemoteImageCache::shared().cachedImage(picture).has_value());
        QVERIFY(!RemoteImageCache::shared().cachedImage(picture)->isNull());
        QVERIFY(!rows->filledCell(row).avatarOutlet()->pixmap().isNull());
    }
    QCOMPARE(m_standin.requests("GET", "/img/ned-harrow.png").size(), 1);
    // Set at start for every picture reader of the process, whatever the bytes above passed.
    QCOMPARE(QImageReader::allocationLimit(), NetworkPictureDecoder::AllocationLimitMegabytes);
}

void TestCommentsFlows::testSecondShowingListsStoredCommentsWithoutDownload()
{
    openComments(LowTide, 3);
    list()->close();
    m_standin.clearRequests();
    // This time through the comments button beside the post's title.
    PostTopViewController* bar = m_app->windowController()->postTopViewController();
    QCOMPARE(bar->operationButton2Outlet()->imageName(), QStringLiteral("CommentsIcon"));
    press(bar->operationButton2Outlet());
    QTRY_VERIFY(list()->window()->isVisible());
    QTRY_COMPARE(list()->comments().size(), 3);
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_standin.requests("GET", "/blogger/").isEmpty());
}

void TestCommentsFlows::testDownloadAgainShowsCommentTheStandinGained()
{
    openComments(LowTide, 3);
    StandinPost post = m_standin.post(TideTables, LowTide).value();
    StandinComment gained;
    gained.id = QStringLiteral("99001");
    gained.authorId = QStringLiteral("11223344556677889900");
    gained.authorName = QStringLiteral("Ned Harrow");
    gained.published = gained.updated = QDateTime::currentDateTimeUtc();
    gained.content = QStringLiteral("One more thing &amp; then I stop");
    post.comments.append(gained);
    QVERIFY(m_standin.updatePost(TideTables, post));

    QTest::mouseClick(list()->downloadCommentsButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(list()->comments().size() == 4);
    QTRY_VERIFY(!list()->isLoading());
    QCOMPARE(list()->itemDelegate()->filledCell(0).commentContent(),
             QStringLiteral("One more thing & then I stop"));
    QVERIFY(list()->downloadCommentsButtonOutlet()->isEnabled());
    expectCommentCount(LowTide, 4);
}

void TestCommentsFlows::testFailedDownloadEndsBusyStateAndSaysWhy()
{
    m_standin.addFault(StandinFault::Kind::ErrorObject, "/blogger/v3/");
    choosePostMenuItem(LowTide, QStringLiteral("Show Comments"));
    QTRY_VERIFY(m_app->alerts.size() == 1);
    QCOMPARE(m_app->alerts.first().title, QStringLiteral("Cannot download the comments"));
    QCOMPARE(m_app->alerts.first().message, QStringLiteral("Backend Error"));
    QTRY_VERIFY(!list()->isLoading());
    QVERIFY(list()->downloadCommentsButtonOutlet()->isEnabled());
    QVERIFY(!list()->spinningIndicatorOutlet()->isVisible());
    QVERIFY(!PersistentServiceState().getCommentsDownloaded(LowTide));

    m_standin.clearFaults();
    QTest::mouseClick(list()->downloadCommentsButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(list()->comments().size() == 3);
}

void TestCommentsFlows::testAddCommentPublishesListsItAndClosesWindow()
{
    openComments(LowTide, 3);
    QTest::mouseClick(list()->newCommentButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(newComment()->isWindowLoaded() && newComment()->window()->isVisible());
    QTRY_COMPARE(newComment()->window()->windowTitle(),
                 QStringLiteral("New comment  \u00B7 Low tide at Porthcurno & beyond"));
    QCOMPARE(newComment()->userNameLabelOutlet()->text(), QStringLiteral("Mara Quill"));
    QTest::keyClicks(newComment()->textFieldOutlet(), "Same <tide> & \"same\" cold");
    QTest::keyClick(newComment()->textFieldOutlet(), Qt::Key_Return);
    QTest::keyClicks(newComment()->textFieldOutlet(), "Mara");
    // Esc closes the window; the text waits for this post and for no other.
    QVERIFY(QTest::qWaitForWindowActive(newComment()->window()));
    QTest::keyClick(newComment()->textFieldOutlet(), Qt::Key_Escape);
    QTRY_VERIFY(!newComment()->window()->isVisible());
    choosePostMenuItem(Moon, QStringLiteral("Add Comment"));
    QTRY_COMPARE(newComment()->postId(), Moon);
    QCOMPARE(newComment()->textFieldOutlet()->toPlainText(), QString());
    choosePostMenuItem(LowTide, QStringLiteral("Add Comment"));
    QTRY_COMPARE(newComment()->postId(), LowTide);
    QCOMPARE(newComment()->textFieldOutlet()->toPlainText(),
             QStringLiteral("Same <tide> & \"same\" cold\nMara"));
    // Typing goes on where it stopped.
    QVERIFY(newComment()->textFieldOutlet()->textCursor().atEnd());
    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);

    QTRY_VERIFY(!newComment()->window()->isVisible());
    const StandinPost post = m_standin.post(TideTables, LowTide).value();
    QCOMPARE(post.comments.size(), 4);
    // Sent as the HTML that shows what was typed.
    QCOMPARE(post.comments.last().content,
             QStringLiteral("Same &lt;tide&gt; &amp; &quot;same&quot; cold<br />Mara"));
    QTRY_COMPARE(list()->comments().size(), 4);
    expectCommentCount(LowTide, 4);
    if (QTest::currentTestFailed()) {
        return;
    }
    CommentTableCellView& first = list()->itemDelegate()->filledCell(0);
    QCOMPARE(first.commentUserName(), QStringLiteral("Mara Quill"));
    QCOMPARE(first.commentContent(), QStringLiteral("Same <tide> & \"same\" cold\nMara"));
    QVERIFY(newComment()->publishCommentButtonOutlet()->isEnabled());
    QVERIFY(m_app->alerts.isEmpty());
    // Once sent, the text is not offered again.
    QTest::mouseClick(list()->newCommentButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(newComment()->window()->isVisible());
    QCOMPARE(newComment()->textFieldOutlet()->toPlainText(), QString());
}

void TestCommentsFlows::testFailedAddKeepsWindowAndText()
{
    choosePostMenuItem(LowTide, QStringLiteral("Add Comment"));
    QTRY_VERIFY(newComment()->isWindowLoaded() && newComment()->window()->isVisible());
    QTRY_COMPARE(newComment()->postId(), LowTide);
    QTest::keyClicks(newComment()->textFieldOutlet(), "Lost in the fog?");
    m_standin.addFault(StandinFault::Kind::NoReply, "/feeds/");
    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(m_app->alerts.size() == 1);
    QCOMPARE(m_app->alerts.first().title, QStringLiteral("Cannot add the comment"));
    QVERIFY(m_app->alerts.first().message.startsWith(QStringLiteral("No response received")));
    QTRY_VERIFY(newComment()->publishCommentButtonOutlet()->isEnabled());
    QVERIFY(newComment()->window()->isVisible());
    QCOMPARE(newComment()->textFieldOutlet()->toPlainText(), QStringLiteral("Lost in the fog?"));
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.size(), 3);

    // Once the service answers again, the same text goes out.
    m_standin.clearFaults();
    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(!newComment()->window()->isVisible());
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.last().content,
             QStringLiteral("Lost in the fog?"));
}

void TestCommentsFlows::testRetryAfterLostAnswerNeverAddsASecondComment()
{
    choosePostMenuItem(LowTide, QStringLiteral("Add Comment"));
    QTRY_VERIFY(newComment()->isWindowLoaded() && newComment()->window()->isVisible());
    QTRY_COMPARE(newComment()->postId(), LowTide);
    QTest::keyClicks(newComment()->textFieldOutlet(), "Heard only once");
    m_standin.addFault(StandinFault{StandinFault::Kind::LostReply, "/feeds/", "POST", 1, 0, {}});
    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);
    QTRY_COMPARE(m_app->alerts.size(), 1);
    QTRY_VERIFY(newComment()->publishCommentButtonOutlet()->isEnabled());
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.size(), 4);

    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);
    QTRY_VERIFY(!newComment()->window()->isVisible());
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.size(), 4);
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.last().content, QStringLiteral("Heard only once"));
    expectCommentCount(LowTide, 4);
}

void TestCommentsFlows::testEmptyCommentIsNotSent()
{
    choosePostMenuItem(LowTide, QStringLiteral("Add Comment"));
    QTRY_VERIFY(newComment()->isWindowLoaded() && newComment()->window()->isVisible());
    QTest::keyClicks(newComment()->textFieldOutlet(), "  ");
    QTest::keyClick(newComment()->textFieldOutlet(), Qt::Key_Return);
    QTest::keyClicks(newComment()->textFieldOutlet(), " ");
    QTest::mouseClick(newComment()->publishCommentButtonOutlet(), Qt::LeftButton);
    QTRY_COMPARE(m_app->alerts.size(), 1);
    QCOMPARE(m_app->alerts.first().title, QStringLiteral("Cannot add the comment"));
    QVERIFY(newComment()->window()->isVisible());
    QVERIFY(m_standin.requests("POST", "/feeds/").isEmpty());
}

void TestCommentsFlows::testDeleteAsksFirstThenRemovesOnBloggerAndInList()
{
    openComments(LowTide, 3);
    const int ned = rowOf("Ned Harrow");
    const QString nedComment = list()->comments().at(ned).commentId;

    // Cancel, noting whether the list was busy while the question was open.
    bool busyWhileAsked = true;
    Alert::setPresenter([this, &busyWhileAsked](const AlertRequest& request) {
        m_app->alerts << request;
        busyWhileAsked = list()->isLoading();
        request.completion(1);
    });
    list()->cellClick(ned);
    list()->commentMenu()->actions().first()->trigger();
    QTRY_COMPARE(m_app->alerts.size(), 1);
    m_app->recordAlerts();
    QVERIFY(!busyWhileAsked);
    const AlertRequest question = m_app->alerts.first();
    QCOMPARE(question.title, QStringLiteral("Delete the comment by Ned Harrow?"));
    QCOMPARE(question.message, QStringLiteral("It will be deleted from Blogger."));
    QCOMPARE(question.buttons, QStringList({"Delete", "Cancel"}));
    QCOMPARE(question.defaultButton, 1);
    QVERIFY(!list()->isLoading());
    QVERIFY(m_standin.requests("DELETE", "/feeds/").isEmpty());
    QCOMPARE(list()->comments().size(), 3);

    m_app->answers.enqueue(0); // Delete
    list()->cellClick(ned);
    list()->commentMenu()->actions().first()->trigger();
    QTRY_VERIFY(list()->comments().size() == 2);
    QTRY_VERIFY(!list()->isLoading());
    QCOMPARE(shownNames(), QStringList({"Iris Penwarden", "Anonymous"}));
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.size(), 2);
    const StandinPost remaining = m_standin.post(TideTables, LowTide).value();
    for (const StandinComment& comment : remaining.comments) {
        QVERIFY(comment.id != nedComment);
    }
    QCOMPARE(CommentsLocalAccessAppService().listAllCommentsForPost(LowTide).size(), 2);
    expectCommentCount(LowTide, 2);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_app->alerts.size(), 2);
}

void TestCommentsFlows::testFailedDeleteKeepsCommentAndEndsBusyState()
{
    openComments(LowTide, 3);
    m_standin.addFault(StandinFault::Kind::HtmlErrorPage, "/feeds/");
    m_app->answers.enqueue(0);
    list()->cellClick(0);
    list()->commentMenu()->actions().first()->trigger();
    QTRY_VERIFY(m_app->alerts.size() == 2);
    QCOMPARE(m_app->alerts.last().title, QStringLiteral("Cannot delete the comment"));
    QTRY_VERIFY(!list()->isLoading());
    QCOMPARE(list()->comments().size(), 3);
    QCOMPARE(m_standin.post(TideTables, LowTide)->comments.size(), 3);
}

void TestCommentsFlows::testMenuOnRowReplacedDuringRefreshDoesNothing()
{
    openComments(LowTide, 3);
    list()->cellClick(rowOf("Iris Penwarden"));
    QTRY_VERIFY(list()->commentMenu() && list()->commentMenu()->isVisible());
    QPointer<QMenu> menu = list()->commentMenu();

    // Meanwhile Iris's comment went from Blogger, and a download replaces the list.
    StandinPost post = m_standin.post(TideTables, LowTide).value();
    post.comments.removeIf(
        [](const StandinComment& c) { return c.authorName == QLatin1String("Iris Penwarden"); });
    QVERIFY(m_standin.updatePost(TideTables, post));
    list()->downloadCommentsButtonClick();
    QTRY_VERIFY(list()->comments().size() == 2 && !list()->isLoading());

    QVERIFY(menu);
    menu->actions().first()->trigger();
    menu->actions().last()->trigger();
    QVERIFY(ApplicationHarness::settle());
    QVERIFY(m_app->alerts.isEmpty());
    QVERIFY(m_opened.isEmpty());
    QVERIFY(m_standin.requests("DELETE", "/feeds/").isEmpty());
    QVERIFY(!list()->isLoading());
}

bool TestCommentsFlows::rowShownCurrent(int row) const
{
    QListView* table = list()->tableViewOutlet();
    // The row's corner, left blank by the avatar and the name.
    const QPoint corner = table->visualRect(table->model()->index(row, 0)).topLeft() + QPoint(3, 3);
    return table->viewport()->grab().toImage().pixelColor(corner) == UiColors::selectedRow();
}

void TestCommentsFlows::testTabIntoTheListShowsItsRingAndTheCommentReturnOpens()
{
    openComments(LowTide, 3);
    QWidget* window = list()->window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QListView* table = list()->tableViewOutlet();
    QWidget* ring = table->parentWidget()->findChild<QWidget*>(QStringLiteral("tableViewOutletFocusRing"));
    QVERIFY(ring);
    list()->downloadCommentsButtonOutlet()->setFocus(Qt::OtherFocusReason);
    for (int tabs = 0; tabs < 3 && QApplication::focusWidget() != table; ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), table);
    QTRY_VERIFY(ring->isVisible());
    QTRY_VERIFY(rowShownCurrent(0));
    QVERIFY(!rowShownCurrent(1));
    QTest::keyClick(table, Qt::Key_Down);
    QTRY_VERIFY(rowShownCurrent(1));
    QVERIFY(!rowShownCurrent(0));
    QTest::keyClick(table, Qt::Key_Return);
    QTRY_VERIFY(list()->commentMenu() && list()->commentMenu()->isVisible());
    QCOMPARE(list()->menuCommentId(), list()->comments().at(1).commentId);
    list()->commentMenu()->close();
}

void TestCommentsFlows::testNavigateToProfileOpensAuthorsPageInBrowser()
{
    openComments(LowTide, 3);
    list()->cellClick(rowOf("Ned Harrow"));
    list()->commentMenu()->actions().last()->trigger();
    QCOMPARE(m_opened,
             QList<QUrl>({QUrl(m_standin.serverUrl().toString() + "/profile/11223344556677889900")}));
    QVERIFY(!list()->isLoading());
}

void TestCommentsFlows::testAccountsPopoverOffersNoCommentAuthors()
{
    openComments(LowTide, 3);
    press(findAnywhere<QWidget>(QStringLiteral("avatarImageOutlet")));
    QComboBox* accounts = nullptr;
    QTRY_VERIFY((accounts = findAnywhere<QComboBox>(QStringLiteral("activeAccountComboBoxOutlet"))) &&
                accounts->isVisible());
    QVERIFY(ApplicationHarness::settle());
    QCOMPARE(accounts->count(), 1);
    QCOMPARE(accounts->itemText(0), QStringLiteral("Mara Quill"));
}

void TestCommentsFlows::testHelpOpensFromMenuAndSettingsPanel()
{
    auto* help = m_app->windowController()->windowOutlet()->menuBar()->findChild<QAction*>(
        QStringLiteral("helpAction"));
    QVERIFY(help);
    help->trigger();
    QTRY_VERIFY(m_app->delegate()->helpBrowser() && m_app->delegate()->helpBrowser()->isWindowLoaded() &&
                m_app->delegate()->helpBrowser()->window()->isVisible());
    QCOMPARE(m_app->delegate()->helpBrowser()->window()->windowTitle(), QStringLiteral("Help"));
    MiniBrowserWindowController* fromMenu = m_app->delegate()->helpBrowser();

    // The panel's button brings back the same window, closed by the user in between.
    fromMenu->window()->close();
    QTRY_VERIFY(!fromMenu->window()->isVisible());
    press(findAnywhere<QWidget>(QStringLiteral("helpImageOutlet")));
    MiniBrowserWindowController* fromPanel = nullptr;
    QTRY_VERIFY((fromPanel = m_app->windowController()->applicationControllerService()->helpBrowser()) &&
                fromPanel->isWindowLoaded() && fromPanel->window()->isVisible());
    QCOMPARE(fromPanel, fromMenu);
    QCOMPARE(fromPanel->window()->windowTitle(), QStringLiteral("Help"));
    int helpWindows = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        helpWindows += window->windowTitle() == QStringLiteral("Help") ? 1 : 0;
    }
    QCOMPARE(helpWindows, 1);
    QVERIFY(m_app->alerts.isEmpty());
}

PENHOLLOW_APP_TEST_MAIN(TestCommentsFlows)
#include "TestCommentsFlows.moc"

#include "EditorTestDriver.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "common/GoogleDateService.h"
#include "common/GoogleServiceConstants.h"
#include "platform/gui/ImageView.h"
#include "ui/main/SpinnerView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeZone>
#include <QToolButton>

#include <memory>

namespace {

BloggerPost storedPost(PostStatus status, const QString& content = QStringLiteral("<p>Body</p>"))
{
    BloggerPost post;
    post.blogId = QStringLiteral("blog-1");
    post.postId = QStringLiteral("post-") + rawValue(status);
    post.title = QStringLiteral("Stored ") + rawValue(status);
    post.content = content;
    post.labels = {QStringLiteral("travel"), QStringLiteral("food")};
    post.postStatus = status;
    post.publishDate = QDateTime(QDate(2031, 7, 14), QTime(18, 30), Qt::LocalTime);
    if (status == PostStatus::SyncedCopy) {
        post.offlineForPostWithId = QStringLiteral("post-Published");
    }
    return post;
}

struct Submitted
{
    BloggerPost post;
    QStringList images;
    PublishedToOfflineUpdateType updateType;
};

} // namespace

// The editor window: filling it from a post, the publishing controls and their layouts, validation, the
// busy state and the questions asked on close.
class TestPostEditorWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testNewPostOpensEmptyWithPublishLayoutAndCurrentDate();
    void testPostWithoutIdIsTreatedAsNewPost();
    void testScheduledPostOpensWithCheckboxDateAndItsTitle();
    void testTypingTitleRetitlesWindow();
    void testTitleTypedBeforePageIsReadyIsKept();
    void testEachStoredStatusChoosesItsLayout();
    void testPublishedPostTakenOfflineOffersUpdateTypes();
    void testNewPostSetToOfflineIsPlainLocalSave();
    void testSyncedCopyOffersPublishOrSaveLocally();
    void testCheckboxCountsOnlyWithPublished();
    void testOfflineOpeningChoosesOfflineFirst();
    void testSubmitCarriesPostImagesAndUpdateType();
    void testSubmitReadsLatestTextFromPage();
    void testLabelsAreTrimmedEmptiesDroppedOrderKept();
    void testScheduledDateIsPickedWallClockOnce();
    void testValidationAlertsInOrder();
    void testLoadingTwiceStillRestoresButtonTitle();
    void testLoadingBeforeWindowExistsChangesNothing();
    void testCancelQuestionWhilePublishing();
    void testCloseWhilePublishingIsRefused();
    void testCloseOfEmptyPostAsksNothing();
    void testKeepVersionQuestionAnswers_data();
    void testKeepVersionQuestionAnswers();
    void testOwnerCloseAsksNothing();
    void testEscapeAndCtrlWAreTheUsersClose();
    void testHelpButtonExplainsUpdateTypes();
    void testLocalImagesCollectedAsSubmitFindsThem();

private:
    PostEditorWindowController& editor() { return m_driver->editor; }
    QStringList visibleControls();
    void clickPublish() { editor().publishButtonOutlet()->click(); }
    void choose(int index)
    {
        // As the user picks an entry: the list reports it as activated.
        editor().postStatusOutlet()->setCurrentIndex(index);
        Q_EMIT editor().postStatusOutlet()->activated(index);
    }

    std::unique_ptr<EditorTestDriver> m_driver;
    QList<Submitted> m_submitted;
    QList<bool> m_closeAnswers;
    int m_closedWithNoOptions = 0;
    int m_cancels = 0;
};

void TestPostEditorWindow::initTestCase()
{
    TestSupport::useFreshDataFolder();
    m_driver = std::make_unique<EditorTestDriver>();
    editor().onSubmitRequest = [this](const BloggerPost& post, const QStringList& images,
                                      PublishedToOfflineUpdateType type) {
        // Locked from the press until the owner settles the submit; this owner only records it.
        QVERIFY(editor().contentLocked());
        m_submitted.append({post, images, type});
        editor().setContentLocked(false);
    };
    editor().onWindowCloseRequest = [this](bool save) { m_closeAnswers.append(save); };
    editor().onWindowHasClosedWithNoOptions = [this] { ++m_closedWithNoOptions; };
    editor().onCancelPublishing = [this] { ++m_cancels; };
}

void TestPostEditorWindow::init()
{
    m_driver->alerts.clear();
    m_driver->answers.clear();
    m_submitted.clear();
    m_closeAnswers.clear();
    m_closedWithNoOptions = 0;
    m_cancels = 0;
}

void TestPostEditorWindow::cleanup()
{
    if (editor().publishingPost()) {
        editor().loading(false);
        QTRY_VERIFY(!editor().publishingPost());
    }
    editor().close();
}

QStringList TestPostEditorWindow::visibleControls()
{
    QStringList names;
    const QList<QWidget*> controls = {
        editor().offlineCopyIconOutlet(),        editor().scheduledCheckboxOutlet(),
        editor().scheduledCheckboxLabelOutlet(), editor().publishDateTimeOutlet(),
        editor().publishPostHelpButton(),        editor().publishedToOfflineUpdateTypeOutlet()};
    for (QWidget* control : controls) {
        if (!control->isHidden()) {
            names << control->objectName();
        }
    }
    return names;
}

void TestPostEditorWindow::testNewPostOpensEmptyWithPublishLayoutAndCurrentDate()
{
    QVERIFY(!editor().isWindowOpened());
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    QVERIFY(m_driver->open(std::nullopt));
    QVERIFY(editor().isWindowOpened());
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("New Post"));
    QVERIFY(editor().isFreshNewPost());
    QCOMPARE(editor().postTitleOutlet()->text(), QString());
    QCOMPARE(editor().postLabelsOutlet()->text(), QString());
    QCOMPARE(editor().postStatusOutlet()->count(), 3);
    QCOMPARE(editor().postStatusOutlet()->currentText(), QStringLiteral("Published"));
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Publish"));
    QCOMPARE(visibleControls(), (QStringList{"scheduledCheckboxOutlet", "scheduledCheckboxLabelOutlet"}));
    QVERIFY(editor().publishDateTimeOutlet()->dateTime() >= before);
    QVERIFY(!editor().scheduledCheckboxOutlet()->isChecked());
    QCOMPARE(m_driver->pageContent(), QString());
    const std::optional<BloggerPost> post = editor().postFromEditor();
    QVERIFY(post);
    QCOMPARE(post->postId, GoogleServiceConstants::NoId());
    QCOMPARE(post->postStatus, PostStatus::Published);
    QVERIFY(post->publishDate && *post->publishDate >= before);
}

void TestPostEditorWindow::testPostWithoutIdIsTreatedAsNewPost()
{
    BloggerPost handed = storedPost(PostStatus::Draft);
    handed.postId = GoogleServiceConstants::NoId();
    QVERIFY(m_driver->open(handed));
    QVERIFY(editor().isFreshNewPost());
    QCOMPARE(editor().postTitleOutlet()->text(), QString());
    QCOMPARE(editor().originalInEditPost()->postStatus, PostStatus::Published);
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("New Post"));
}

void TestPostEditorWindow::testScheduledPostOpensWithCheckboxDateAndItsTitle()
{
    const BloggerPost post = storedPost(PostStatus::Scheduled);
    QVERIFY(m_driver->open(post));
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("Edit Post \u00B7 Stored Scheduled"));
    QVERIFY(editor().scheduledCheckboxOutlet()->isChecked());
    QCOMPARE(editor().publishDateTimeOutlet()->dateTime(), *post.publishDate);
    // Written as the application writes dates everywhere else.
    QCOMPARE(editor().publishDateTimeOutlet()->text(), GoogleDateService().displayDate(post.publishDate));
    QCOMPARE(visibleControls(), (QStringList{"scheduledCheckboxOutlet", "scheduledCheckboxLabelOutlet",
                                             "publishDateTimeOutlet"}));
    QCOMPARE(editor().postLabelsOutlet()->text(), QStringLiteral("travel, food"));
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Scheduled);
}

void TestPostEditorWindow::testTypingTitleRetitlesWindow()
{
    QVERIFY(m_driver->open(std::nullopt));
    QTest::keyClicks(editor().postTitleOutlet(), QStringLiteral("Hi"));
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("New Post \u00B7 Hi"));
    editor().postTitleOutlet()->clear();
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("New Post"));
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft)));
    editor().postTitleOutlet()->clear();
    QCOMPARE(editor().window()->windowTitle(), QStringLiteral("Edit Post"));
}

void TestPostEditorWindow::testTitleTypedBeforePageIsReadyIsKept()
{
    PostEditorWindowController early;
    QSignalSpy shown(&early, &PostEditorWindowController::editorContentShown);
    early.editPost(storedPost(PostStatus::Draft));
    early.showWindow();
    QVERIFY(!early.editorLoaded());
    // Typed before the page's load is delivered, which needs the event loop.
    early.postTitleOutlet()->selectAll();
    QTest::keyClicks(early.postTitleOutlet(), QStringLiteral("Typed early"));
    QVERIFY(shown.wait(EditorTestDriver::Timeout));
    QVERIFY(early.isWindowOpened());
    QCOMPARE(early.postTitleOutlet()->text(), QStringLiteral("Typed early"));
    QCOMPARE(early.postFromEditor()->title, QStringLiteral("Typed early"));
    QCOMPARE(early.postLabelsOutlet()->text(), QStringLiteral("travel, food"));
}

void TestPostEditorWindow::testEachStoredStatusChoosesItsLayout()
{
    struct Case
    {
        PostStatus status;
        QString status_text;
        QString button;
        QStringList controls;
    };
    const QList<Case> cases = {
        {PostStatus::Published,
         "Published",
         "Publish",
         {"scheduledCheckboxOutlet", "scheduledCheckboxLabelOutlet"}},
        {PostStatus::Draft, "Draft", "Save as Draft", {}},
        {PostStatus::Offline, "Offline", "Save", {}},
        {PostStatus::Deleted, "Offline", "Save", {}},
        {PostStatus::Autosaved, "Offline", "Save", {}},
        {PostStatus::SyncedCopy, "Save Locally", "Save", {"offlineCopyIconOutlet"}},
    };
    for (const Case& c : cases) {
        QVERIFY(m_driver->open(storedPost(c.status)));
        QCOMPARE(editor().postStatusOutlet()->currentText(), c.status_text);
        QCOMPARE(editor().publishButtonOutlet()->text(), c.button);
        QCOMPARE(visibleControls(), c.controls);
    }
}

void TestPostEditorWindow::testPublishedPostTakenOfflineOffersUpdateTypes()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Published)));
    choose(2);
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save"));
    QCOMPARE(visibleControls(), (QStringList{"publishPostHelpButton", "publishedToOfflineUpdateTypeOutlet"}));
    QCOMPARE(editor().publishedToOfflineUpdateTypeOutlet()->count(), 3);
    choose(1);
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save as Draft"));
    QCOMPARE(visibleControls(), QStringList());
    choose(0);
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Publish"));
}

void TestPostEditorWindow::testNewPostSetToOfflineIsPlainLocalSave()
{
    QVERIFY(m_driver->open(std::nullopt));
    choose(2);
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save"));
    QCOMPARE(visibleControls(), QStringList());
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Offline);
}

void TestPostEditorWindow::testSyncedCopyOffersPublishOrSaveLocally()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::SyncedCopy)));
    QCOMPARE(editor().postStatusOutlet()->count(), 2);
    QCOMPARE(editor().postStatusOutlet()->itemText(0), QStringLiteral("Publish"));
    QCOMPARE(editor().postStatusOutlet()->itemText(1), QStringLiteral("Save Locally"));
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Offline);
    choose(0);
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Publish"));
    QCOMPARE(visibleControls(), QStringList{"offlineCopyIconOutlet"});
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Published);
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 1);
    QCOMPARE(m_submitted.first().post.postStatus, PostStatus::Published);
    QCOMPARE(m_submitted.first().post.offlineForPostWithId, QStringLiteral("post-Published"));
}

void TestPostEditorWindow::testCheckboxCountsOnlyWithPublished()
{
    QVERIFY(m_driver->open(std::nullopt));
    editor().scheduledCheckboxOutlet()->click();
    QCOMPARE(visibleControls(), (QStringList{"scheduledCheckboxOutlet", "scheduledCheckboxLabelOutlet",
                                             "publishDateTimeOutlet"}));
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Scheduled);
    choose(1);
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Draft);
    QCOMPARE(visibleControls(), QStringList());
    QVERIFY(editor().scheduledCheckboxOutlet()->isChecked());
    choose(0);
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Scheduled);
    editor().scheduledCheckboxOutlet()->click();
    QCOMPARE(editor().selectedPostStatus(), PostStatus::Published);
    QCOMPARE(visibleControls(), (QStringList{"scheduledCheckboxOutlet", "scheduledCheckboxLabelOutlet"}));
}

void TestPostEditorWindow::testOfflineOpeningChoosesOfflineFirst()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Published), true));
    QCOMPARE(editor().postStatusOutlet()->currentText(), QStringLiteral("Offline"));
    QCOMPARE(visibleControls(), (QStringList{"publishPostHelpButton", "publishedToOfflineUpdateTypeOutlet"}));
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save"));
}

void TestPostEditorWindow::testSubmitCarriesPostImagesAndUpdateType()
{
    const QString content =
        QStringLiteral("<p>\U0001F600 x</p><img src=\"file:///a/one.png\"><img src=\"https://remote/r.png\">"
                       "<IMG SRC=\"file:///a/two.gif\"><img src=\"file:///a/one.png\">");
    BloggerPost post = storedPost(PostStatus::Published, content);
    QVERIFY(m_driver->open(post));
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 1);
    const Submitted& sent = m_submitted.first();
    QCOMPARE(sent.post.content, content);
    QCOMPARE(sent.post.postStatus, PostStatus::Published);
    QCOMPARE(sent.post.postId, post.postId);
    QCOMPARE(sent.images, (QStringList{"file:///a/one.png", "file:///a/two.gif", "file:///a/one.png"}));
    QCOMPARE(sent.updateType, PublishedToOfflineUpdateType::SyncedCopy);
    // The submit changes nothing in the window: the owner switches the busy state.
    QVERIFY(!editor().publishingPost());
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Publish"));

    choose(2);
    editor().publishedToOfflineUpdateTypeOutlet()->setCurrentIndex(2);
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 2);
    QCOMPARE(m_submitted.last().updateType, PublishedToOfflineUpdateType::DeletePublishedVersion);
    QCOMPARE(m_submitted.last().post.postStatus, PostStatus::Offline);
    editor().publishedToOfflineUpdateTypeOutlet()->setCurrentIndex(-1);
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 3);
    QCOMPARE(m_submitted.last().updateType, PublishedToOfflineUpdateType::OfflineCopy);
    editor().publishedToOfflineUpdateTypeOutlet()->setCurrentIndex(0);
}

void TestPostEditorWindow::testSubmitReadsLatestTextFromPage()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft, QStringLiteral("<p>old</p>"))));
    // The edit and the click in one turn: the page's own report of the edit has not arrived yet.
    m_driver->editor.webViewOutlet()->evaluateScript(
        QStringLiteral("(function(){const r=document.getElementById('editor');r.focus();"
                       "getSelection().selectAllChildren(r);getSelection().collapseToEnd();"
                       "document.execCommand('insertText',false,' new');})()"),
        {});
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 1);
    QCOMPARE(m_submitted.first().post.content, QStringLiteral("<p>old new</p>"));
    QCOMPARE(m_submitted.first().post.postStatus, PostStatus::Draft);
}

void TestPostEditorWindow::testLabelsAreTrimmedEmptiesDroppedOrderKept()
{
    QVERIFY(m_driver->open(std::nullopt));
    editor().postLabelsOutlet()->setText(QStringLiteral("  zeta , ,alpha,,  m\u00e9lange  ,"));
    QCOMPARE(editor().postFromEditor()->labels, (QStringList{"zeta", "alpha", "m\u00e9lange"}));
    editor().postLabelsOutlet()->setText(QStringLiteral(" , "));
    QCOMPARE(editor().postFromEditor()->labels, QStringList());
}

void TestPostEditorWindow::testScheduledDateIsPickedWallClockOnce()
{
    const BloggerPost published = storedPost(PostStatus::Published);
    QVERIFY(m_driver->open(published));
    editor().publishDateTimeOutlet()->setDateTime(
        QDateTime(QDate(2032, 1, 2), QTime(9, 45, 33), Qt::LocalTime));
    // Published: the picker does not count.
    QCOMPARE(editor().postFromEditor()->publishDate, published.publishDate);

    QVERIFY(m_driver->open(std::nullopt));
    editor().scheduledCheckboxOutlet()->click();
    editor().publishDateTimeOutlet()->setDateTime(QDateTime(QDate(2032, 1, 2), QTime(9, 45), Qt::LocalTime));
    const QDateTime picked = *editor().postFromEditor()->publishDate;
    QCOMPARE(picked.toLocalTime().date(), QDate(2032, 1, 2));
    QCOMPARE(picked.toLocalTime().time(), QTime(9, 45));
    QCOMPARE(picked.toSecsSinceEpoch(),
             QDateTime(QDate(2032, 1, 2), QTime(9, 45), Qt::LocalTime).toSecsSinceEpoch());
}

void TestPostEditorWindow::testValidationAlertsInOrder()
{
    QVERIFY(m_driver->open(std::nullopt));
    clickPublish();
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Post title"});
    QCOMPARE(m_driver->alerts.first().message,
             QStringLiteral("Don't forget to add a title before publishing!"));
    QCOMPARE(m_driver->alerts.first().style, AlertStyle::Critical);

    editor().postTitleOutlet()->setText(QStringLiteral("   "));
    clickPublish();
    QTRY_COMPARE(m_driver->alertTitles(), (QStringList{"Post title", "Post content"}));
    QCOMPARE(m_driver->alerts.last().message,
             QStringLiteral("Don't forget to add some content before publishing!"));
    m_driver->typeAtEnd(QStringLiteral("text"));
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 1);
    QCOMPARE(m_submitted.first().post.title, QStringLiteral("   "));
    QCOMPARE(m_driver->alerts.size(), 2);

    QVERIFY(m_driver->open(storedPost(PostStatus::Scheduled)));
    editor().scheduledCheckboxOutlet()->click();
    clickPublish();
    QTRY_COMPARE(m_driver->alertTitles().last(), QStringLiteral("Cannot update this post"));
    QVERIFY(m_driver->alerts.last().message.startsWith(
        QStringLiteral("Your post is already scheduled and cannot be updated as a published post.\nIf you")));
    editor().scheduledCheckboxOutlet()->click();
    clickPublish();
    QTRY_COMPARE(m_submitted.size(), 2);
    QCOMPARE(m_submitted.last().post.postStatus, PostStatus::Scheduled);

    QVERIFY(m_driver->open(storedPost(PostStatus::Published)));
    editor().scheduledCheckboxOutlet()->click();
    const int before = int(m_driver->alerts.size());
    clickPublish();
    QTRY_COMPARE(m_driver->alerts.size(), before + 1);
    QCOMPARE(m_driver->alerts.last().message,
             QStringLiteral("Your post is already published and cannot be scheduled"));
    QCOMPARE(m_submitted.size(), 2);
}

void TestPostEditorWindow::testLoadingTwiceStillRestoresButtonTitle()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft)));
    editor().loading(true);
    editor().loading(true);
    // Both "on"s are queued in order; once the main thread caught up, both were applied.
    QVERIFY(TestSupport::mainThreadCaughtUp());
    QVERIFY(editor().publishingPost());
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Cancel"));
    QVERIFY(!editor().spinningIndicatorOutlet()->isHidden());
    QVERIFY(editor().publishPostHelpButton()->isHidden());
    editor().loading(false);
    QTRY_VERIFY(!editor().publishingPost());
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save as Draft"));
    QVERIFY(editor().spinningIndicatorOutlet()->isHidden());
    // An "off" with nothing running leaves the title alone.
    editor().loading(false);
    QVERIFY(TestSupport::mainThreadCaughtUp());
    QCOMPARE(editor().publishButtonOutlet()->text(), QStringLiteral("Save as Draft"));
}

void TestPostEditorWindow::testLoadingBeforeWindowExistsChangesNothing()
{
    PostEditorWindowController fresh;
    fresh.loading(true);
    QVERIFY(TestSupport::mainThreadCaughtUp());
    QVERIFY(!fresh.isWindowLoaded());
    QVERIFY(!fresh.publishingPost());
    QVERIFY(!fresh.isWindowOpened());
    QVERIFY(!fresh.isWindowLoaded());
    QVERIFY(!fresh.postFromEditor());
}

void TestPostEditorWindow::testCancelQuestionWhilePublishing()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft)));
    editor().loading(true);
    QTRY_VERIFY(editor().publishingPost());
    m_driver->answers << 1;
    clickPublish();
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Do you want to cancel the publishing process ?"});
    QCOMPARE(m_driver->alerts.first().message,
             QStringLiteral("Resources already published will not be removed"));
    QCOMPARE(m_driver->alerts.first().buttons, (QStringList{"Yes", "No"}));
    QCOMPARE(m_cancels, 0);
    m_driver->answers << 0;
    clickPublish();
    QTRY_COMPARE(m_cancels, 1);
    QCOMPARE(m_submitted.size(), 0);
    // An emptied title is the first thing said, before any question.
    editor().postTitleOutlet()->clear();
    clickPublish();
    QTRY_COMPARE(m_driver->alertTitles().last(), QStringLiteral("Post title"));
    QCOMPARE(m_cancels, 1);
}

void TestPostEditorWindow::testCloseWhilePublishingIsRefused()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft)));
    editor().loading(true);
    QTRY_VERIFY(editor().publishingPost());
    QVERIFY(!editor().window()->close());
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Cannot close the editor"});
    QCOMPARE(m_driver->alerts.first().message,
             QStringLiteral("Please wait for the publishing process to finish before closing the editor"));
    QVERIFY(editor().isWindowOpened());
}

void TestPostEditorWindow::testCloseOfEmptyPostAsksNothing()
{
    QVERIFY(m_driver->open(std::nullopt));
    editor().window()->close();
    QTRY_VERIFY(!editor().isWindowOpened());
    QCOMPARE(m_closedWithNoOptions, 1);
    QVERIFY(m_driver->alerts.isEmpty());
    QVERIFY(m_closeAnswers.isEmpty());
}

void TestPostEditorWindow::testEscapeAndCtrlWAreTheUsersClose()
{
    QVERIFY(m_driver->open(std::nullopt));
    editor().postLabelsOutlet()->setText(QStringLiteral("only-a-label"));
    QWidget* window = editor().window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    editor().postLabelsOutlet()->setFocus();
    m_driver->answers << 2 << 2; // Cancel, twice
    QTest::keyClick(editor().postLabelsOutlet(), Qt::Key_Escape);
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Do you want to keep this post version ?"});
    QTest::keyClick(editor().postLabelsOutlet(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(m_driver->alertTitles().size(), 2);
    QCOMPARE(m_driver->alertTitles().last(), QStringLiteral("Do you want to keep this post version ?"));
    QVERIFY(editor().isWindowOpened());
}

void TestPostEditorWindow::testKeepVersionQuestionAnswers_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QList<bool>>("answers");
    QTest::newRow("Save") << 0 << QList<bool>{true};
    QTest::newRow("Don't Save") << 1 << QList<bool>{false};
    QTest::newRow("Cancel") << 2 << QList<bool>{};
}

void TestPostEditorWindow::testKeepVersionQuestionAnswers()
{
    QFETCH(int, button);
    QFETCH(QList<bool>, answers);
    QVERIFY(m_driver->open(std::nullopt));
    // A label alone is something to keep.
    editor().postLabelsOutlet()->setText(QStringLiteral("only-a-label"));
    m_driver->answers << button;
    editor().window()->close();
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Do you want to keep this post version ?"});
    QCOMPARE(m_driver->alerts.first().buttons, (QStringList{"Save", "Don't Save", "Cancel"}));
    QCOMPARE(m_driver->alerts.first().message, QString());
    QCOMPARE(m_closeAnswers, answers);
    // Closing is the owner's business: the window stays open and editable whatever the answer.
    QVERIFY(editor().isWindowOpened());
    QCOMPARE(editor().postLabelsOutlet()->text(), QStringLiteral("only-a-label"));
    QCOMPARE(m_closedWithNoOptions, 0);
}

void TestPostEditorWindow::testOwnerCloseAsksNothing()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Published)));
    editor().close();
    QVERIFY(!editor().isWindowOpened());
    QVERIFY(m_driver->alerts.isEmpty());
    QCOMPARE(m_closedWithNoOptions, 0);
    // The editor serves the next post.
    QVERIFY(m_driver->open(storedPost(PostStatus::Draft)));
    QCOMPARE(editor().postTitleOutlet()->text(), QStringLiteral("Stored Draft"));
}

void TestPostEditorWindow::testHelpButtonExplainsUpdateTypes()
{
    QVERIFY(m_driver->open(storedPost(PostStatus::Published), true));
    editor().publishPostHelpButton()->click();
    QTRY_COMPARE(m_driver->alertTitles(), QStringList{"Saving a published post to offline"});
    QCOMPARE(m_driver->alerts.first().style, AlertStyle::Informational);
    QVERIFY(m_driver->alerts.first().message.contains(QStringLiteral(
        "\n\n3. Delete the Published Version: An offline copy of the post will be made and the "
        "published version will be removed from Blogger")));
}

void TestPostEditorWindow::testLocalImagesCollectedAsSubmitFindsThem()
{
    QCOMPARE(PostEditorWindowController::localImages(QStringLiteral("<img src=\"\"><img alt=x>")),
             QStringList());
    QCOMPARE(PostEditorWindowController::localImages(QStringLiteral("<img src='file:///single.png'>")),
             QStringList());
    QCOMPARE(PostEditorWindowController::localImages(QStringLiteral(
                 "<img src=\"FILE:///upper.png\"><img src=\"file:///x.png\" src=\"file:///y.png\">")),
             QStringList{"file:///x.png"});
}

PENHOLLOW_WEB_TEST_MAIN(TestPostEditorWindow)
#include "TestPostEditorWindow.moc"

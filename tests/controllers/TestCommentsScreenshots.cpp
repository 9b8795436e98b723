#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "LocalHttpServer.h"
#include "Screenshot.h"
#include "ScriptResult.h"
#include "TestSupport.h"

#include "GoogleStandin.h"
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/CommentsControllerService.h"
#include "controllers/PostPreviewService.h"
#include "platform/ApplicationFolders.h"
#include "platform/gui/RemoteImageCache.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"
#include "ui/windows/NewCommentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

const QString Mara = QStringLiteral("107741234567812345678");
const QString TideTables = QStringLiteral("4120843728710463922");
const QString LowTide = QStringLiteral("8816602137345629201");

// A round picture with the person's initials, as profile pictures look.
QByteArray portrait(const QColor& color, const QString& initials)
{
    QImage image(96, 96, QImage::Format_ARGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(38);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, initials);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

StandinComment comment(const QString& id, const QString& authorId, const QString& name, const QString& image,
                       const QDateTime& published, const QString& content)
{
    StandinComment c;
    c.id = id;
    c.authorId = authorId;
    c.authorName = name;
    c.authorImage = image;
    c.published = c.updated = published;
    c.content = content;
    return c;
}

} // namespace

// Pictures of the comments list, the new-comment window, the live preview and the help, for people to look
// at, taken in a real (virtual) X display so the web views paint. Each must be written and not blank.
class TestCommentsScreenshots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void testCommentsList();
    void testNewComment();
    void testLivePreview();
    void testHelp();

private:
    // Raising the window would cover a menu that is open over it.
    void shoot(QWidget* window, const QString& name, bool raise = true);
    CommentsControllerService* comments() const
    {
        return m_app->windowController()->applicationControllerService()->commentsControllerService();
    }

    GoogleStandin m_standin;
    LocalHttpServer m_pictures;
    std::unique_ptr<ApplicationHarness> m_app;
};

void TestCommentsScreenshots::initTestCase()
{
    TestSupport::useFreshDataFolder();
    QVERIFY(m_pictures.start());
    m_pictures.route("/ned.png", portrait(QColor(52, 120, 198), "NH"), "image/png");
    m_pictures.route("/iris.png", portrait(QColor(46, 160, 110), "IP"), "image/png");
    m_pictures.route("/mara.png", portrait(QColor(243, 88, 57), "MQ"), "image/png");

    QVERIFY(m_standin.start(0) != 0);
    const QString base = m_standin.serverUrl().toString();
    TestSupport::pointGoogleServicesAt(base);

    StandinPost post = m_standin.post(TideTables, LowTide).value();
    const QDateTime start = QDateTime(QDate(2015, 3, 28), QTime(15, 31), Qt::UTC);
    post.comments = {
        comment("501", "11223344556677889900", "Ned Harrow", m_pictures.url("/ned.png").toString(), start,
                "Lovely pictures &amp; words<br />Thanks!"),
        comment("502", QString(), "Anonymous", QString(), start.addSecs(3600),
                "Was the water really &lt;i&gt;that&lt;/i&gt; cold?"),
        comment(
            "503", "99887766554433221100", "Iris Penwarden", m_pictures.url("/iris.png").toString(),
            start.addSecs(2 * 3600),
            "I walked the same path last spring — the café at the end is still open, and the owner still "
            "keeps a tide table pinned by the door. We waited out the flood tide there with two pots of tea "
            "and a slice of saffron cake.<br /><br />Go early: the coach parties arrive at eleven."),
        comment("504", "11223344556677889900", "Ned Harrow", m_pictures.url("/ned.png").toString(),
                start.addSecs(26 * 3600), "Next time, the Minack at low water?"),
    };
    QVERIFY(m_standin.updatePost(TideTables, post));

    ApplicationHarness::storeAccount(
        BloggerUser(Mara, "Mara Quill", base + "/profile/mara", m_pictures.url("/mara.png").toString()),
        {BloggerBlog(TideTables, Mara, "Tide Tables", base + "/tidetables/", "LIVE")}, TideTables);
    PersistentAccessTokens tokens(Mara);
    tokens.setAccessToken(m_standin.issueAccessToken(Mara));
    tokens.setRefreshToken(m_standin.issueRefreshToken(Mara));
    ApplicationHarness::storePost(TideTables, LowTide, post.title, PostStatus::Published, post.updated, 4,
                                  post.content);

    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    QMainWindow* window = m_app->windowController()->windowOutlet();
    QTRY_VERIFY(window->isVisible());
    window->move(20, 20);
}

void TestCommentsScreenshots::cleanupTestCase()
{
    m_app.reset();
}

void TestCommentsScreenshots::shoot(QWidget* window, const QString& name, bool raise)
{
    if (raise) {
        window->raise();
        window->activateWindow();
    }
    QVERIFY(ApplicationHarness::settle());
    const QString path = Screenshot::saveScreenArea(window, name);
    QVERIFY2(!path.isEmpty() && QFileInfo(path).size() > 8000, qPrintable(name));
}

void TestCommentsScreenshots::testCommentsList()
{
    CommentsListWindowController* list = comments()->commentsListWindowController();
    m_app->windowController()->onDisplayPostCommentsRequest(LowTide);
    QTRY_VERIFY(list->isWindowLoaded() && list->window()->isVisible());
    QTRY_VERIFY(list->comments().size() == 4 && !list->isLoading());
    list->window()->setGeometry(120, 90, 480, 640);
    // The pictures arrive in the background.
    for (const BloggerPostComment& comment : list->comments()) {
        QTRY_VERIFY2(RemoteImageCache::shared().cachedImage(comment.author.userPicture).has_value(),
                     qPrintable(comment.author.userPicture));
    }
    shoot(list->window(), QStringLiteral("comments-list"));

    QListView* table = list->tableViewOutlet();
    const QRect row = table->visualRect(table->model()->index(1, 0));
    // The menu opens where the pointer is.
    const QPoint at(140, row.center().y());
    QCursor::setPos(table->viewport()->mapToGlobal(at));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(list->commentMenu() && list->commentMenu()->isVisible());
    shoot(list->window(), QStringLiteral("comments-list-menu"), false);
    list->commentMenu()->close();

    // Tab into the list and Down: its ring, and the comment Return would open.
    QTRY_VERIFY(list->window()->isActiveWindow());
    list->downloadCommentsButtonOutlet()->setFocus(Qt::OtherFocusReason);
    for (int tabs = 0; tabs < 3 && QApplication::focusWidget() != table; ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Down);
    const QPoint edge = table->mapToGlobal(QPoint(1, table->height() / 2));
    QTRY_COMPARE(Screenshot::screenPixel(edge), table->palette().color(QPalette::Highlight));
    shoot(list->window(), QStringLiteral("comments-list-keyboard"));
}

void TestCommentsScreenshots::testNewComment()
{
    NewCommentWindowController* window = comments()->newCommentWindowController();
    m_app->windowController()->onAddCommentRequest(LowTide);
    QTRY_VERIFY(window->isWindowLoaded() && window->window()->isVisible());
    window->window()->move(160, 140);
    QTest::keyClicks(window->textFieldOutlet(),
                     "Thank you all! The water was every bit as cold as it looks.");
    QTRY_VERIFY(!window->shownPictureAddress().isEmpty());
    shoot(window->window(), QStringLiteral("new-comment"));
    window->close();
}

void TestCommentsScreenshots::testLivePreview()
{
    // A picture from this computer, shown in the blog's own page.
    QImage picture(480, 220, QImage::Format_RGB32);
    QLinearGradient sea(0, 0, 0, 220);
    sea.setColorAt(0, QColor(120, 180, 220));
    sea.setColorAt(1, QColor(30, 80, 120));
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), sea);
    painter.fillRect(QRect(0, 170, 480, 50), QColor(226, 205, 160));
    painter.end();
    // Pictures reach a page only from the folder picked pictures are copied to.
    QVERIFY(QDir().mkpath(ApplicationFolders::applicationsFolder()));
    const QString path = ApplicationFolders::applicationsFolder() + QStringLiteral("/porthcurno.png");
    QVERIFY(picture.save(path));

    BloggerPost post;
    post.blogId = TideTables;
    post.postId = LowTide;
    post.title = QStringLiteral("Low tide at Porthcurno & beyond");
    post.content =
        QStringLiteral("<p>The sand was <b>gold</b> &amp; the water cold. We came down the cliff path "
                       "an hour before low water and had the beach to ourselves.</p>"
                       "<div class=\"separator\"><img src=\"file://") +
        path + QStringLiteral("\" /></div><p>Next: the Minack, if the weather holds.</p>");
    PostPreviewService previews(m_app->delegate()->authentificationService());
    previews.showLivePreview(post);
    LivePreviewWindowController* live = previews.livePreviewWindowController();
    QTRY_VERIFY(live->isWindowLoaded() && live->window()->isVisible());
    QTRY_VERIFY(live->content().has_value());
    live->window()->setGeometry(60, 50, 1000, 700);
    // Shot once the local picture has been drawn from its data address.
    QTRY_VERIFY(ScriptResult::evaluate(*live->webviewOutlet(),
                                       "document.querySelector('.post-body img') != null && "
                                       "document.querySelector('.post-body img').naturalWidth > 0")
                    .toBool());
    shoot(live->window(), QStringLiteral("live-preview"));

    previews.showPreview(post);
    MiniBrowserWindowController* plain = previews.previewWindowController();
    QTRY_VERIFY(plain->isWindowLoaded() && plain->window()->isVisible());
    plain->window()->setGeometry(100, 80, 860, 640);
    shoot(plain->window(), QStringLiteral("preview"));
}

void TestCommentsScreenshots::testHelp()
{
    auto* help = m_app->windowController()->windowOutlet()->menuBar()->findChild<QAction*>(
        QStringLiteral("helpAction"));
    QVERIFY(help);
    help->trigger();
    QTRY_VERIFY(m_app->delegate()->helpBrowser() && m_app->delegate()->helpBrowser()->isWindowLoaded());
    QWidget* window = m_app->delegate()->helpBrowser()->window();
    QTRY_VERIFY(window->isVisible());
    window->setGeometry(80, 40, 900, 760);
    shoot(window, QStringLiteral("help"));

    WebView* web = m_app->delegate()->helpBrowser()->webviewOutlet();
    web->evaluateScript("document.getElementById('comments').scrollIntoView(); true", {});
    shoot(window, QStringLiteral("help-comments"));
}

PENHOLLOW_APP_TEST_MAIN(TestCommentsScreenshots)
#include "TestCommentsScreenshots.moc"

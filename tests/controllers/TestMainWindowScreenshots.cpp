#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "WidgetDriving.h"

#include "controllers/ApplicationWindowController.h"
#include "platform/gui/WebView.h"
#include "store/PersistentServiceState.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/LeftMenuViewController.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/TableContentViewController.h"
#include "ui/main/TableTopViewController.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>

// Pictures of the main window for people to look at, taken in a real (virtual) X display so the web
// views paint. Each picture must be written and must not be blank.
class TestMainWindowScreenshots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_app.reset(); }
    void testEachArea();
    void testSelectedPostAndItsMenu();
    void testPopovers();
    void testWidePictureAndKeyboardFocus();

private:
    void shoot(const QString& name);
    // The picture shows the focus ring on the control's edge.
    void expectRing(QWidget* control, const QString& name);
    void selectRow(int row);

    std::unique_ptr<ApplicationHarness> m_app;
};

void TestMainWindowScreenshots::initTestCase()
{
    TestSupport::useFreshDataFolder();
    const QString blog = QStringLiteral("travel");
    ApplicationHarness::storeAccount(BloggerUser("mara", "Mara Quill", "", ""),
                                     {BloggerBlog(blog, "mara", "Travel Notes", "https://travel/", "LIVE"),
                                      BloggerBlog("food", "mara", "Kitchen Table", "https://food/", "LIVE")},
                                     blog);
    ApplicationHarness::storeAccount(
        BloggerUser("ned", "Ned Harrow", "", ""),
        {BloggerBlog("garden", "ned", "Garden Diary", "https://garden/", "LIVE")}, "garden");
    PersistentServiceState state;
    state.setUserId(QStringLiteral("mara"));
    state.setBlogId(blog);
    state.setLastUpdated(blog, QDateTime(QDate(2024, 3, 20), QTime(18, 45)));
    const QString article = QStringLiteral(
        "<h2>Yellow trams</h2><p>Line 28 climbs from Martim Moniz to Prazeres, through Graça and Alfama. "
        "Take it early, before the queues.</p><blockquote>The city is best on foot, and second best on the "
        "28.</blockquote><ul><li>Tickets on board cost more</li><li>Hold on at the curves</li></ul>");
    // A picture far wider than the reading pane, as blog pictures nearly always are.
    const QString widePicture =
        QStringLiteral(
            "<p>Above the snow line the path turns to ice by noon.</p>"
            "<p><img width='1600' height='700' alt='Mountains' src='data:image/svg+xml;base64,%1'></p>"
            "<p>We turned back at the hut and watched the light go from the terrace.</p>")
            .arg(QLatin1String(
                "PHN2ZyB4bWxucz0iaHR0cDovL3d3dy53My5vcmcvMjAwMC9zdmciIHdpZHRoPSIxNjAwIiBoZWlnaHQ9IjcwMCIgdmll"
                "d0JveD0iMCAwIDE2MDAgNzAwIj48ZGVmcz48bGluZWFyR3JhZGllbnQgaWQ9InMiIHgxPSIwIiB5MT0iMCIgeDI9IjAi"
                "IHkyPSIxIj48c3RvcCBvZmZzZXQ9IjAiIHN0b3AtY29sb3I9IiM4ZWM1ZTgiLz48c3RvcCBvZmZzZXQ9IjEiIHN0b3At"
                "Y29sb3I9IiNlOGYzZmEiLz48L2xpbmVhckdyYWRpZW50PjwvZGVmcz48cmVjdCB3aWR0aD0iMTYwMCIgaGVpZ2h0PSI3"
                "MDAiIGZpbGw9InVybCgjcykiLz48cG9seWdvbiBwb2ludHM9IjAsNTYwIDI2MCwyNjAgNDMwLDQyMCA3MDAsMTUwIDk4"
                "MCw0NzAgMTE4MCwzMDAgMTYwMCw2MDAgMTYwMCw3MDAgMCw3MDAiIGZpbGw9IiM2YjdmOGYiLz48cG9seWdvbiBwb2lu"
                "dHM9IjYxMCwyNTAgNzAwLDE1MCA3OTAsMjUwIDc0MCwyMzAgNzAwLDI2MCA2NjAsMjM1IiBmaWxsPSIjZmZmZmZmIi8+"
                "PHBvbHlnb24gcG9pbnRzPSIxMTEwLDM2MCAxMTgwLDMwMCAxMjUwLDM2MCAxMjEwLDM1MCAxMTgwLDM3MCAxMTUwLDM1"
                "MiIgZmlsbD0iI2ZmZmZmZiIvPjxyZWN0IHk9IjYwMCIgd2lkdGg9IjE2MDAiIGhlaWdodD0iMTAwIiBmaWxsPSIjM2Y2"
                "ZTRhIi8+PGNpcmNsZSBjeD0iMTM4MCIgY3k9IjEzMCIgcj0iNjAiIGZpbGw9IiNmZmU5YTgiLz48L3N2Zz4="));
    const QStringList titles = {"Lisbon trams",        "Alps in winter",  "Bergen in the rain",
                                "Crete, soon",         "A week in Porto", "Night train to Vienna",
                                "Markets of Marrakesh"};
    for (int i = 0; i < titles.size(); ++i) {
        ApplicationHarness::storePost(blog, QStringLiteral("p%1").arg(i), titles[i],
                                      i == 3 ? PostStatus::Scheduled : PostStatus::Published,
                                      QDateTime(QDate(2024, 3, 19 - i), QTime(9 + i, 15)), (i * 7) % 13,
                                      i == 0   ? article
                                      : i == 1 ? widePicture
                                               : QString());
    }
    ApplicationHarness::storePost(blog, "d1", "Oslo, notes for later", PostStatus::Draft,
                                  QDateTime::currentDateTime());
    ApplicationHarness::storePost(blog, "d2", "Packing list", PostStatus::Draft,
                                  QDateTime::currentDateTime().addDays(-3));
    ApplicationHarness::storePost(blog, "o1", "Lisbon trams (copy)", PostStatus::SyncedCopy,
                                  QDateTime::currentDateTime());
    ApplicationHarness::storePost(blog, "o2", "Ideas", PostStatus::Offline,
                                  QDateTime::currentDateTime().addDays(-1));

    m_app = std::make_unique<ApplicationHarness>();
    QVERIFY(m_app->launch());
    QMainWindow* window = m_app->windowController()->windowOutlet();
    QTRY_VERIFY(window->isVisible());
    window->move(40, 40);
    QTRY_VERIFY(m_app->windowController()->tableContentViewController()->numberOfRows() > 0);
}

void TestMainWindowScreenshots::shoot(const QString& name)
{
    QVERIFY(ApplicationHarness::settle());
    const QString path = Screenshot::saveScreenArea(m_app->windowController()->windowOutlet(), name);
    QVERIFY2(!path.isEmpty() && QFileInfo(path).size() > 10000, qPrintable(name));
}

void TestMainWindowScreenshots::selectRow(int row)
{
    QListView* view = m_app->windowController()->tableContentViewController()->tableViewOutlet();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
}

void TestMainWindowScreenshots::testEachArea()
{
    MenuContentViewController* menu = m_app->windowController()->menuContentViewController();
    shoot(QStringLiteral("main-window-published"));
    TestSupport::press(menu->draftPostsMenuController()->view());
    QTRY_COMPARE(m_app->windowController()->tableTopViewController()->postsTypeLabelOutlet()->text(),
                 QStringLiteral("Draft Posts (2)"));
    shoot(QStringLiteral("main-window-draft"));
    TestSupport::press(menu->localPostsMenuController()->view());
    QTRY_COMPARE(m_app->windowController()->tableTopViewController()->postsTypeLabelOutlet()->text(),
                 QStringLiteral("Offline Posts (2)"));
    selectRow(0);
    // The header changes at once; the pane once the post's text is read and loaded.
    QTRY_VERIFY(m_app->postViewText().contains(QStringLiteral("Body of Lisbon trams (copy)")));
    shoot(QStringLiteral("main-window-offline"));
    TestSupport::press(menu->publicPostsMenuController()->view());
    QTRY_COMPARE(m_app->windowController()->tableTopViewController()->postsTypeLabelOutlet()->text(),
                 QStringLiteral("Published Posts (7)"));
}

void TestMainWindowScreenshots::testSelectedPostAndItsMenu()
{
    PostTopViewController* bar = m_app->windowController()->postTopViewController();
    // Most recently updated first: the article is the first row.
    selectRow(0);
    QTRY_COMPARE(bar->postTitleLabelOutlet()->text(), QStringLiteral("Lisbon trams"));
    QTRY_VERIFY(m_app->postViewText().contains(QStringLiteral("Yellow trams")));
    shoot(QStringLiteral("main-window-selected-post"));
    TestSupport::press(bar->menuButtonOutlet());
    QTRY_VERIFY(bar->optionsMenu() && bar->optionsMenu()->isVisible());
    shoot(QStringLiteral("main-window-post-menu"));
    bar->optionsMenu()->close();
}

void TestMainWindowScreenshots::testPopovers()
{
    TestSupport::press(m_app->windowController()->tableTopViewController()->sortButtonOutlet());
    QTRY_VERIFY(m_app->windowController()->tableTopViewController()->popover());
    shoot(QStringLiteral("main-window-sort-popover"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);

    QWidget* settings =
        m_app->windowController()->windowOutlet()->findChild<QWidget*>(QStringLiteral("avatarImageOutlet"));
    TestSupport::press(settings);
    QComboBox* blogs = nullptr;
    QTRY_VERIFY((blogs = TestSupport::findAnywhere<QComboBox>(QStringLiteral("activeBlogComboBoxOutlet"))) &&
                blogs->isVisible() && blogs->count() == 2);
    shoot(QStringLiteral("main-window-accounts-popover"));
}

void TestMainWindowScreenshots::testWidePictureAndKeyboardFocus()
{
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    PostTopViewController* bar = m_app->windowController()->postTopViewController();
    selectRow(1);
    QTRY_COMPARE(bar->postTitleLabelOutlet()->text(), QStringLiteral("Alps in winter"));
    shoot(QStringLiteral("main-window-wide-picture"));

    QMainWindow* window = m_app->windowController()->windowOutlet();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window, 20000));
    QWidget* sort = m_app->windowController()->tableTopViewController()->sortButtonOutlet();
    sort->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(sort->hasFocus());
    shoot(QStringLiteral("main-window-focus-on-sort"));

    // The list and the reading pane draw no ring themselves: one is laid over them.
    QWidget* list = m_app->windowController()->tableContentViewController()->tableViewOutlet();
    list->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(list->hasFocus());
    expectRing(list, QStringLiteral("main-window-focus-on-list"));
    QWidget* post = m_app->windowController()->postContentViewController()->webviewOutlet();
    post->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(post->isAncestorOf(QApplication::focusWidget()) || post->hasFocus());
    expectRing(post, QStringLiteral("main-window-focus-on-post"));
}

void TestMainWindowScreenshots::expectRing(QWidget* control, const QString& name)
{
    // Halfway down the control's left edge, inside the ring's two pixels, as the screen shows it.
    const QPoint edge = control->mapToGlobal(QPoint(1, control->height() / 2));
    QTRY_COMPARE(Screenshot::screenPixel(edge), control->palette().color(QPalette::Highlight));
    shoot(name);
}

PENHOLLOW_APP_TEST_MAIN(TestMainWindowScreenshots)
#include "TestMainWindowScreenshots.moc"

#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/PostsControllerService.h"
#include "model/BloggerBlog.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerUser.h"
#include "platform/Alert.h"
#include "platform/gui/MessageBoxAlertPresenter.h"
#include "platform/gui/Popover.h"
#include "ui/UiColors.h"
#include "ui/main/AccountsAndBlogsPopoverViewController.h"
#include "ui/main/AlternativeButtonView.h"
#include "ui/main/KeyboardFocus.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/SettingsAndAccountViewController.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <xcb/xcb.h>

namespace {

// What the window manager says on the root window, read from the server.
QList<xcb_window_t> rootWindows(const char* property)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        return {};
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(qstrlen(property)), property), nullptr);
    QList<xcb_window_t> windows;
    if (!atom) {
        return windows;
    }
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 4096), nullptr);
    free(atom);
    if (reply) {
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        windows = QList<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply) / 4);
        free(reply);
    }
    return windows;
}

// The window the manager made the active one.
bool isActive(QWidget* window)
{
    return rootWindows("_NET_ACTIVE_WINDOW").value(0) == xcb_window_t(window->winId());
}

// The manager's stack, bottom first: true when `upper` lies above `lower`.
bool stackedAbove(QWidget* upper, QWidget* lower)
{
    const QList<xcb_window_t> stack = rootWindows("_NET_CLIENT_LIST_STACKING");
    const auto above = stack.indexOf(xcb_window_t(upper->winId()));
    const auto below = stack.indexOf(xcb_window_t(lower->winId()));
    return above >= 0 && below >= 0 && above > below;
}

// The test's own move: asked again until done, as a request made while another window is still being
// mapped can be overtaken by that window's activation.
bool activate(QWidget* window)
{
    return QTest::qWaitFor(
        [&] {
            if (isActive(window)) {
                return true;
            }
            window->activateWindow();
            return false;
        },
        PENHOLLOW_TRY_TIMEOUT);
}

QMessageBox* shownMessage(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && box->text() == title) {
            return box;
        }
    }
    return nullptr;
}

// A press and release of the first button by the X server, on the middle of the widget. The pointer goes
// there first, until the server's own crossing event says it is over the widget, wherever the manager put
// the window.
bool clickOn(QWidget* widget)
{
    const bool over = QTest::qWaitFor(
        [&] {
            if (widget->underMouse()) {
                return true;
            }
            QCursor::setPos(widget->mapToGlobal(widget->rect().center()));
            return false;
        },
        PENHOLLOW_TRY_TIMEOUT);
    return over &&
           QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")}) == 0;
}

// Pixels of the list drawn in the colour of its current comment.
int currentRowPixels(QListView* table)
{
    const QImage image = table->viewport()->grab().toImage();
    const QRgb current = UiColors::selectedRow().rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == current ? 1 : 0;
        }
    }
    return count;
}

BloggerPostComment comment(const QString& id, const QString& text)
{
    return BloggerPostComment(QStringLiteral("b1"), QStringLiteral("p1"), id,
                              BloggerUser(QStringLiteral("u-") + id, QStringLiteral("Reader"), {}, {}),
                              QDateTime(QDate(2015, 3, 9), QTime(7, 31), Qt::LocalTime), text);
}

} // namespace

// Focus, stacking and looks where a window manager decides them: run under Xvfb with openbox
// (tests/scripts/with-window-manager.sh), through the xcb platform.
class TestWindowManagerFocus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void testQuitWhileEditingPutsTheEditorInFront();
    void testCommentsWindowOpenedAgainShowsNoKeyboardRing();
    void testAddAccountLooksPlainWhenThePopoverOpensAgain();
};

void TestWindowManagerFocus::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY2(!rootWindows("_NET_SUPPORTING_WM_CHECK").isEmpty(), "no window manager runs on the display");
    TestSupport::useFreshDataFolder();
}

void TestWindowManagerFocus::testQuitWhileEditingPutsTheEditorInFront()
{
    ApplicationHarness::storeAccount(
        BloggerUser("mara", "Mara Quill", "https://profiles/mara", ""),
        {BloggerBlog("travel", "mara", "Travel Notes", "https://travel/", "LIVE")}, "travel");
    ApplicationHarness app;
    QVERIFY(app.launch());
    QTRY_VERIFY(app.window() && app.window()->isVisible());
    PostEditorWindowController* editor =
        app.windowController()->applicationControllerService()->postsControllerService()->postEditor();
    app.delegate()->newPost();
    QTRY_VERIFY(editor->isWindowOpened());
    QWidget* main = app.window();
    QWidget* editorWindow = editor->window();
    QTRY_VERIFY(isActive(editorWindow));
    // The messages are shown as the application shows them.
    Alert::setPresenter(&MessageBoxAlertPresenter::present);

    for (QWidget* typedIn : {main, editorWindow}) {
        QVERIFY(activate(typedIn));
        QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == typedIn);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = shownMessage(QStringLiteral("You are editing a post"))));
        // The manager puts the message and the editor in front of the main window: the message is the
        // editor's.
        QTRY_VERIFY(isActive(box));
        QTRY_VERIFY(stackedAbove(editorWindow, main));
        QCOMPARE(box->parentWidget(), editorWindow);
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!shownMessage(QStringLiteral("You are editing a post")));
        QTRY_VERIFY(isActive(editorWindow));
        QVERIFY(stackedAbove(editorWindow, main));
        QVERIFY(main->isVisible());
    }
    app.recordAlerts();
    app.answers << 1;
    editor->close();
    QTRY_VERIFY(!editor->isWindowOpened());
}

void TestWindowManagerFocus::testCommentsWindowOpenedAgainShowsNoKeyboardRing()
{
    CommentsListWindowController list;
    BloggerPost post;
    post.postId = QStringLiteral("p1");
    post.title = QStringLiteral("Harbour");
    list.showComments(post, {comment("c1", "First"), comment("c2", "Second"), comment("c3", "Third")});
    list.showWindow();
    QWidget* window = list.window();
    QListView* table = list.tableViewOutlet();
    QTRY_VERIFY(isActive(window));
    QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == window);
    QTRY_COMPARE(table->model()->rowCount(), 3);

    // Tab to the list, Down, Return for the menu, Escape twice: the menu, then the window.
    for (int tabs = 0; tabs < 4 && QApplication::focusWidget() != table; ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Down);
    QVERIFY(KeyboardFocus::ringShown(table));
    QVERIFY(currentRowPixels(table) > 0);
    QTest::keyClick(table, Qt::Key_Return);
    QTRY_VERIFY(list.commentMenu() && list.commentMenu()->isVisible());
    QTest::keyClick(list.commentMenu(), Qt::Key_Escape);
    QTRY_VERIFY(!list.commentMenu() || !list.commentMenu()->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Escape);
    QTRY_VERIFY(!window->isVisible());

    // Opened again, as a click opens it: the list has the focus back, and nothing shows the keyboard's.
    list.showWindow();
    QTRY_VERIFY(isActive(window));
    QTRY_COMPARE(QApplication::focusWidget(), table);
    QVERIFY(!KeyboardFocus::ringShown(table));
    QVERIFY(!window->findChild<QWidget*>(QStringLiteral("tableViewOutletFocusRing"))->isVisible());
    QCOMPARE(currentRowPixels(table), 0);

    // Tab still brings both.
    for (int tabs = 0; tabs < 4 && !KeyboardFocus::ringShown(table); ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(KeyboardFocus::ringShown(table));
    QVERIFY(currentRowPixels(table) > 0);
    list.close();
}

void TestWindowManagerFocus::testAddAccountLooksPlainWhenThePopoverOpensAgain()
{
    MenuContentViewController pane;
    QWidget* view = pane.view();
    view->resize(240, 640);
    view->move(100, 100);
    // What Add Account opens: a window of its own, closed again by the user.
    QWidget signIn;
    signIn.resize(300, 200);
    signIn.move(700, 100);
    pane.onAddNewAccountRequest = [&] {
        signIn.show();
        signIn.activateWindow();
    };
    view->show();
    QVERIFY(activate(view->window()));
    SettingsAndAccountViewController* settings = pane.settingsAndAccountViewController();
    settings->listUsers({BloggerUser("mara", "Mara Quill", {}, {})}, "mara");
    settings->listBlogs({BloggerBlog("travel", "mara", "Travel Notes", "https://travel/", "LIVE")}, "travel");
    auto* gear = view->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageOutlet"));
    auto openPopover = [&] {
        return clickOn(gear) &&
               QTest::qWaitFor([&] { return settings->popover() && settings->popover()->isShown(); },
                               PENHOLLOW_TRY_TIMEOUT);
    };

    QVERIFY(openPopover());
    QWidget* content = settings->controller()->view();
    auto* add = content->findChild<QPushButton*>(QStringLiteral("addNewAccountButton"));
    auto* refresh = content->findChild<QPushButton*>(QStringLiteral("refreshAccountAndBlogsButton"));
    auto* account = content->findChild<QComboBox*>(QStringLiteral("activeAccountComboBoxOutlet"));
    QVERIFY(clickOn(add));
    QTRY_VERIFY(isActive(&signIn));
    QVERIFY(!settings->popover()->isShown());
    signIn.close();
    QVERIFY(activate(view->window()));

    // Opened again with the pointer elsewhere: the Account box has the focus, Add Account draws as Refresh.
    QVERIFY(openPopover());
    QTRY_COMPARE(QApplication::focusWidget(), account);
    QCursor::setPos(view->mapToGlobal(QPoint(view->width() + 100, view->height() / 2)));
    QTRY_VERIFY(!add->underMouse());
    const QImage addLook = add->grab().toImage();
    const QImage refreshLook = refresh->grab().toImage();
    for (const QPoint& at :
         {QPoint(1, addLook.height() / 2), QPoint(4, addLook.height() / 2), QPoint(4, 3)}) {
        QCOMPARE(addLook.pixelColor(at), refreshLook.pixelColor(at));
    }
    QVERIFY(!add->isDefault());
    settings->close();
}

PENHOLLOW_APP_TEST_MAIN(TestWindowManagerFocus)
#include "TestWindowManagerFocus.moc"

#include "TestSupport.h"

#include "model/BloggerPost.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/PostTopViewController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <memory>

namespace {

BloggerPost makePost(PostStatus status, const QString& postId,
                     const QString& url = QStringLiteral("https://blog.example.com/2015/06/spring.html"))
{
    BloggerPost post;
    post.postId = postId;
    post.title = QStringLiteral("Spring");
    post.postStatus = status;
    post.url = url;
    return post;
}

QStringList titles(const QList<QAction*>& actions)
{
    QStringList result;
    for (const QAction* action : actions) {
        result.append(action->text());
    }
    return result;
}

QAction* actionTitled(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

// Chooses the item the way a user does: a click on it in the open menu.
void choose(QMenu* menu, const QString& title)
{
    QAction* action = actionTitled(menu, title);
    QVERIFY2(action, qPrintable(title));
    QVERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

const QStringList PublishedItems{QStringLiteral("Edit Post"),
                                 QStringLiteral("Add Comment"),
                                 QStringLiteral("Show Comments"),
                                 QStringLiteral("Reload from Blogger"),
                                 QStringLiteral("Show Post on Blogger"),
                                 QStringLiteral("Share Post"),
                                 QStringLiteral("Delete Post")};

} // namespace

class TestPostActionsMenu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testNoMenuWithoutAPost();
    void testMenuButtonPressOpensMenuBelowTheButton();
    void testItemsPerStatusInOrder_data();
    void testItemsPerStatusInOrder();
    void testSameItemObjectsInEachNewMenu();
    void testItemsHaveTwelvePixelImagesAndLetterShortcuts();
    void testDeleteRaisesOnceWithTheShownPost();
    void testLetterShortcutChoosesItemWhileMenuIsOpen();
    void testShowOnBloggerOpensOnlyWebAddresses_data();
    void testShowOnBloggerOpensOnlyWebAddresses();
    void testCopyLinkPutsAddressOnClipboard();
    void testEmailLinkEscapesTitleAndAddress();
    void testShareOffersNothingForAPostWithoutAddress();

private:
    void show(const BloggerPost& post);
    QMenu* openMenu();

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<PostTopViewController> m_bar;
    QList<QUrl> m_opened;
};

void TestPostActionsMenu::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestPostActionsMenu::init()
{
    m_opened.clear();
    ExternalUrlOpener::setOpener([this](const QUrl& url) {
        m_opened.append(url);
        return true;
    });
    m_bar = std::make_unique<PostTopViewController>();
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

void TestPostActionsMenu::cleanup()
{
    m_bar.reset();
    m_window.reset();
    ExternalUrlOpener::setOpener(nullptr);
}

void TestPostActionsMenu::show(const BloggerPost& post)
{
    m_bar->showPost(post);
    QTRY_VERIFY(m_bar->currentPost() && m_bar->currentPost()->postId == post.postId);
}

QMenu* TestPostActionsMenu::openMenu()
{
    QTest::mousePress(m_bar->menuButtonOutlet(), Qt::LeftButton);
    QMenu* menu = m_bar->optionsMenu();
    if (menu && !QTest::qWaitForWindowExposed(menu)) {
        return nullptr;
    }
    return menu;
}

void TestPostActionsMenu::testNoMenuWithoutAPost()
{
    m_bar->showOptionsMenu();
    QVERIFY(!m_bar->optionsMenu());
}

void TestPostActionsMenu::testMenuButtonPressOpensMenuBelowTheButton()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1")));
    QMenu* menu = openMenu();
    QVERIFY(menu);
    QVERIFY(menu->isVisible());
    ImageButtonView* button = m_bar->menuButtonOutlet();
    const QRect buttonOnScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
    QVERIFY(menu->geometry().top() >= buttonOnScreen.bottom());
}

void TestPostActionsMenu::testItemsPerStatusInOrder_data()
{
    QTest::addColumn<PostStatus>("status");
    QTest::addColumn<QStringList>("items");
    const QStringList short3{QStringLiteral("Edit Post"), QStringLiteral("Reload from Blogger"),
                             QStringLiteral("Delete Post")};
    const QStringList short2{QStringLiteral("Edit Post"), QStringLiteral("Delete Post")};
    QTest::newRow("Published") << PostStatus::Published << PublishedItems;
    QTest::newRow("Scheduled") << PostStatus::Scheduled << short3;
    QTest::newRow("Draft") << PostStatus::Draft << short3;
    QTest::newRow("Offline") << PostStatus::Offline << short2;
    QTest::newRow("Synced Copy") << PostStatus::SyncedCopy << short2;
    QTest::newRow("Deleted") << PostStatus::Deleted << short2;
    QTest::newRow("Autosaved") << PostStatus::Autosaved << short2;
}

void TestPostActionsMenu::testItemsPerStatusInOrder()
{
    QFETCH(PostStatus, status);
    QFETCH(QStringList, items);
    show(makePost(status, QStringLiteral("x")));
    QMenu* menu = openMenu();
    QVERIFY(menu);
    QCOMPARE(titles(menu->actions()), items);
}

void TestPostActionsMenu::testSameItemObjectsInEachNewMenu()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1")));
    QPointer<QMenu> first = openMenu();
    QVERIFY(first);
    const QList<QAction*> publishedItems = first->actions();
    first->close();

    QPointer<QMenu> again = openMenu();
    QVERIFY(again && again != first);
    QCOMPARE(again->actions(), publishedItems);
    QTRY_VERIFY(!first);

    show(makePost(PostStatus::Draft, QStringLiteral("d1")));
    QMenu* draft = openMenu();
    QVERIFY(draft && draft != again);
    QCOMPARE(draft->actions(), (QList<QAction*>{publishedItems[0], publishedItems[3], publishedItems[6]}));
}

void TestPostActionsMenu::testItemsHaveTwelvePixelImagesAndLetterShortcuts()
{
    const QList<QAction*> items = m_bar->menuOptions().value(PostStatus::Published);
    QCOMPARE(titles(items), PublishedItems);
    const QStringList letters{QStringLiteral("E"), QStringLiteral("C"), QStringLiteral("V"),
                              QStringLiteral("R"), QStringLiteral("B"), QStringLiteral("S"),
                              QStringLiteral("D")};
    for (int i = 0; i < items.size(); ++i) {
        QVERIFY2(!items[i]->icon().isNull(), qPrintable(items[i]->text()));
        QCOMPARE(items[i]->icon().actualSize(QSize(16, 16)), QSize(12, 12));
        QCOMPARE(items[i]->icon().actualSize(QSize(64, 64)), QSize(12, 12));
        QCOMPARE(items[i]->shortcut().toString(), letters[i]);
        // It acts inside the open menu only, so it is not shown as a window shortcut.
        QVERIFY(!items[i]->isShortcutVisibleInContextMenu());
    }
}

void TestPostActionsMenu::testDeleteRaisesOnceWithTheShownPost()
{
    QStringList raised;
    auto record = [&raised](const char* name) {
        return [&raised, name](const QString& postId) { raised.append(QLatin1String(name) + ':' + postId); };
    };
    m_bar->onEditPostRequest = record("edit");
    m_bar->onAddCommentRequest = record("addComment");
    m_bar->onDisplayPostCommentsRequest = record("comments");
    m_bar->onReloadPostFromBloggerRequest = record("reload");
    m_bar->onOfflinePostRequest = record("offline");
    m_bar->onDeletePostRequest = record("delete");
    show(makePost(PostStatus::Published, QStringLiteral("p1")));
    show(makePost(PostStatus::Offline, QStringLiteral("o2")));

    choose(openMenu(), QStringLiteral("Delete Post"));
    QCOMPARE(raised, QStringList{QStringLiteral("delete:o2")});
    QVERIFY(!m_bar->optionsMenu()->isVisible());
    QVERIFY(m_opened.isEmpty());
}

void TestPostActionsMenu::testLetterShortcutChoosesItemWhileMenuIsOpen()
{
    QStringList reloaded;
    m_bar->onReloadPostFromBloggerRequest = [&](const QString& postId) { reloaded.append(postId); };
    show(makePost(PostStatus::Draft, QStringLiteral("d1")));
    QMenu* menu = openMenu();
    QVERIFY(menu);
    // "Show Comments" is not in a draft's menu: its letter does nothing.
    QTest::keyClick(menu, Qt::Key_V);
    QVERIFY(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_R);
    QCOMPARE(reloaded, QStringList{QStringLiteral("d1")});
    QVERIFY(!menu->isVisible());
}

void TestPostActionsMenu::testShowOnBloggerOpensOnlyWebAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << QStringLiteral("https://blog.example.com/2015/06/spring.html") << true;
    QTest::newRow("http") << QStringLiteral("http://blog.example.com/p?x=1") << true;
    QTest::newRow("script") << QStringLiteral("javascript:alert(document.cookie)") << false;
    QTest::newRow("relative") << QStringLiteral("/2015/06/spring.html") << false;
    QTest::newRow("no address") << QStringLiteral("#") << false;
    QTest::newRow("local file") << QStringLiteral("file:///etc/passwd") << false;
    QTest::newRow("no host") << QStringLiteral("https:///path") << false;
}

void TestPostActionsMenu::testShowOnBloggerOpensOnlyWebAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, opened);
    show(makePost(PostStatus::Published, QStringLiteral("p1"), address));
    choose(openMenu(), QStringLiteral("Show Post on Blogger"));
    if (opened) {
        QCOMPARE(m_opened, QList<QUrl>{QUrl(address)});
    } else {
        QVERIFY2(m_opened.isEmpty(), qPrintable(m_opened.value(0).toString()));
    }
}

void TestPostActionsMenu::testCopyLinkPutsAddressOnClipboard()
{
    QApplication::clipboard()->setText(QStringLiteral("before"));
    const QString address = QStringLiteral("https://blog.example.com/2015/06/spring.html");
    show(makePost(PostStatus::Published, QStringLiteral("p1"), address));
    choose(openMenu(), QStringLiteral("Share Post"));
    QMenu* share = m_bar->shareMenu();
    QVERIFY(share);
    QVERIFY(QTest::qWaitForWindowExposed(share));
    QCOMPARE(titles(share->actions()),
             (QStringList{QStringLiteral("Copy Link"), QStringLiteral("Email Link")}));
    choose(share, QStringLiteral("Copy Link"));
    QCOMPARE(QApplication::clipboard()->text(), address);
    QVERIFY(m_opened.isEmpty());
}

void TestPostActionsMenu::testEmailLinkEscapesTitleAndAddress()
{
    BloggerPost post = makePost(PostStatus::Published, QStringLiteral("p1"),
                                QStringLiteral("https://blog.example.com/p?a=1&b=2#top"));
    post.title = QStringLiteral("Fish & Chips? 100% #1 + caf\u00e9=yes");
    show(post);
    choose(openMenu(), QStringLiteral("Share Post"));
    QVERIFY(QTest::qWaitForWindowExposed(m_bar->shareMenu()));
    choose(m_bar->shareMenu(), QStringLiteral("Email Link"));

    QCOMPARE(m_opened.size(), 1);
    const QUrl mail = m_opened.first();
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QVERIFY(!mail.hasFragment());
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItems().size(), 2);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), post.title);
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), post.url);
    // Mail programs read "+" literally: spaces travel as %20.
    QVERIFY(!mail.toEncoded().contains(' '));
    QVERIFY(mail.toEncoded().contains("Fish%20%26%20Chips"));
}

void TestPostActionsMenu::testShareOffersNothingForAPostWithoutAddress()
{
    show(makePost(PostStatus::Published, QStringLiteral("p1"), QStringLiteral("javascript:alert(1)")));
    choose(openMenu(), QStringLiteral("Share Post"));
    QMenu* share = m_bar->shareMenu();
    QVERIFY(share);
    QCOMPARE(share->actions().size(), 2);
    for (QAction* action : share->actions()) {
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
    }
}

QTEST_MAIN(TestPostActionsMenu)
#include "TestPostActionsMenu.moc"

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/Popover.h"
#include "ui/UiColors.h"
#include "ui/main/AlternativeButtonView.h"
#include "ui/main/LeftMenuViewClass.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/SettingsAndAccountViewController.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

QWidget* entry(QWidget* pane, const char* name)
{
    return pane->findChild<LeftMenuViewClass*>(QString::fromLatin1(name));
}

QString entryIcon(QWidget* pane, const char* name)
{
    return entry(pane, name)->findChild<ImageView*>(QStringLiteral("iconOutlet"))->imageName();
}

QColor entryTitleColor(QWidget* pane, const char* name)
{
    return entry(pane, name)
        ->findChild<QLabel*>(QStringLiteral("menuLabelOutlet"))
        ->palette()
        .color(QPalette::WindowText);
}

// The pane shown as a window of its own, with its settings popover open.
struct OpenPane
{
    MenuContentViewController pane;
    QWidget* view = nullptr;

    OpenPane()
    {
        view = pane.view();
        view->resize(200, 600);
        view->show();
    }
    SettingsAndAccountViewController* panel() const { return pane.settingsAndAccountViewController(); }
    bool popoverShown() const { return panel()->popover() && panel()->popover()->isShown(); }
    void openPopover()
    {
        QTest::mousePress(view->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageOutlet")),
                          Qt::LeftButton);
    }
    QWidget* popoverContent() const { return panel()->popover()->popupWindow(); }
};

} // namespace

class TestMenuContentViewController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testPublishedIsTheActiveEntryAfterLoadingAndNothingIsRaised();
    void testClickOnInactiveEntryMakesItTheOnlyActiveOneAndRaisesItsArea();
    void testClickOnActiveEntryChangesNothingAndRaisesNothing();
    void testClickWithoutListenerStillSwitchesEntries();
    void testEntriesStayAnchoredToTheTopAndFollowTheWidth();
    void testApplyRefreshAndAddAccountClosePopoverBeforeRelaying_data();
    void testApplyRefreshAndAddAccountClosePopoverBeforeRelaying();
    void testClosingRelaysCloseWithoutListener();
    void testAccountChangeAndSignInAgainLeavePopoverOpen();
    void testHelpAndPopoverOpenAreRelayed();
    void testListsReachThePopoverAndApplySendsAccountThenBlog();
};

void TestMenuContentViewController::testPublishedIsTheActiveEntryAfterLoadingAndNothingIsRaised()
{
    MenuContentViewController pane;
    int requests = 0;
    pane.onAreaChangeRequest = [&](PostArea) { ++requests; };
    QWidget* view = pane.view();

    QCOMPARE(entryIcon(view, "publicPostsMenuView"), QStringLiteral("LeftPublishedBlue"));
    QCOMPARE(entryIcon(view, "draftPostsMenuView"), QStringLiteral("LeftDraftGray"));
    QCOMPARE(entryIcon(view, "localPostsMenuView"), QStringLiteral("LeftOfflineGray"));
    QCOMPARE(entryTitleColor(view, "publicPostsMenuView"), UiColors::accent());
    QCOMPARE(entryTitleColor(view, "draftPostsMenuView"), UiColors::normalText());
    QCOMPARE(entryTitleColor(view, "localPostsMenuView"), UiColors::normalText());
    QCOMPARE(entry(view, "draftPostsMenuView")->findChild<QLabel*>(QStringLiteral("menuLabelOutlet"))->text(),
             QStringLiteral("Draft"));
    QCOMPARE(requests, 0);
}

void TestMenuContentViewController::testClickOnInactiveEntryMakesItTheOnlyActiveOneAndRaisesItsArea()
{
    OpenPane open;
    QList<PostArea> areas;
    open.pane.onAreaChangeRequest = [&](PostArea area) { areas.append(area); };

    QTest::mousePress(entry(open.view, "draftPostsMenuView"), Qt::LeftButton);
    QCOMPARE(areas, QList<PostArea>{PostArea::Draft});
    QCOMPARE(entryIcon(open.view, "publicPostsMenuView"), QStringLiteral("LeftPublishedGray"));
    QCOMPARE(entryIcon(open.view, "draftPostsMenuView"), QStringLiteral("LeftDraftBlue"));
    QCOMPARE(entryIcon(open.view, "localPostsMenuView"), QStringLiteral("LeftOfflineGray"));
    QCOMPARE(entryTitleColor(open.view, "publicPostsMenuView"), UiColors::normalText());
    QCOMPARE(entryTitleColor(open.view, "draftPostsMenuView"), UiColors::accent());

    QTest::mousePress(entry(open.view, "localPostsMenuView"), Qt::LeftButton);
    QCOMPARE(areas, (QList<PostArea>{PostArea::Draft, PostArea::Offline}));
    QCOMPARE(entryIcon(open.view, "draftPostsMenuView"), QStringLiteral("LeftDraftGray"));
    QCOMPARE(entryIcon(open.view, "localPostsMenuView"), QStringLiteral("LeftOfflineBlue"));

    QTest::mousePress(entry(open.view, "publicPostsMenuView"), Qt::LeftButton);
    QCOMPARE(areas.last(), PostArea::Published);
    QCOMPARE(entryIcon(open.view, "publicPostsMenuView"), QStringLiteral("LeftPublishedBlue"));
}

void TestMenuContentViewController::testClickOnActiveEntryChangesNothingAndRaisesNothing()
{
    OpenPane open;
    int requests = 0;
    open.pane.onAreaChangeRequest = [&](PostArea) { ++requests; };

    QTest::mousePress(entry(open.view, "publicPostsMenuView"), Qt::LeftButton);
    QCOMPARE(requests, 0);
    QCOMPARE(entryIcon(open.view, "publicPostsMenuView"), QStringLiteral("LeftPublishedBlue"));

    // Only the primary button switches.
    QTest::mousePress(entry(open.view, "draftPostsMenuView"), Qt::RightButton);
    QCOMPARE(requests, 0);
    QCOMPARE(entryIcon(open.view, "publicPostsMenuView"), QStringLiteral("LeftPublishedBlue"));

    QTest::mousePress(entry(open.view, "draftPostsMenuView"), Qt::LeftButton);
    QTest::mousePress(entry(open.view, "draftPostsMenuView"), Qt::LeftButton);
    QCOMPARE(requests, 1);
    QCOMPARE(entryIcon(open.view, "draftPostsMenuView"), QStringLiteral("LeftDraftBlue"));

    // Return and Space switch as a press does.
    QTest::keyClick(entry(open.view, "localPostsMenuView"), Qt::Key_Return);
    QCOMPARE(requests, 2);
    QCOMPARE(entryIcon(open.view, "localPostsMenuView"), QStringLiteral("LeftOfflineBlue"));
    QTest::keyClick(entry(open.view, "publicPostsMenuView"), Qt::Key_Space);
    QCOMPARE(requests, 3);
}

void TestMenuContentViewController::testClickWithoutListenerStillSwitchesEntries()
{
    OpenPane open;
    QTest::mousePress(entry(open.view, "localPostsMenuView"), Qt::LeftButton);
    QCOMPARE(entryIcon(open.view, "localPostsMenuView"), QStringLiteral("LeftOfflineBlue"));
    QCOMPARE(entryIcon(open.view, "publicPostsMenuView"), QStringLiteral("LeftPublishedGray"));
}

void TestMenuContentViewController::testEntriesStayAnchoredToTheTopAndFollowTheWidth()
{
    OpenPane open;
    QWidget* menu = open.view->findChild<QWidget*>(QStringLiteral("menuViewOutlet"));
    open.view->resize(170, 600);
    QTRY_COMPARE(menu->width(), 170);
    QCOMPARE(entry(open.view, "publicPostsMenuView")->geometry(), QRect(0, 25, 170, 55));
    QCOMPARE(entry(open.view, "draftPostsMenuView")->geometry(), QRect(0, 85, 170, 55));
    QCOMPARE(entry(open.view, "localPostsMenuView")->geometry(), QRect(0, 145, 170, 55));

    open.view->resize(240, 420);
    QTRY_COMPARE(menu->width(), 240);
    QTRY_COMPARE(entry(open.view, "publicPostsMenuView")->geometry(), QRect(0, 25, 240, 55));
    QCOMPARE(entry(open.view, "draftPostsMenuView")->geometry(), QRect(0, 85, 240, 55));
    QCOMPARE(entry(open.view, "localPostsMenuView")->geometry(), QRect(0, 145, 240, 55));
}

void TestMenuContentViewController::testApplyRefreshAndAddAccountClosePopoverBeforeRelaying_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("request");
    QTest::newRow("apply") << QStringLiteral("applySelectionButton") << QStringLiteral("apply");
    QTest::newRow("refresh") << QStringLiteral("refreshAccountAndBlogsButton") << QStringLiteral("refresh");
    QTest::newRow("add account") << QStringLiteral("addNewAccountButton") << QStringLiteral("add");
}

void TestMenuContentViewController::testApplyRefreshAndAddAccountClosePopoverBeforeRelaying()
{
    QFETCH(QString, button);
    QFETCH(QString, request);
    OpenPane open;
    QStringList raised;
    QList<bool> shownWhenRaised;
    open.pane.onAccountAndBlogChangeRequest = [&](const QString&, const QString&) {
        raised.append(QStringLiteral("apply"));
        shownWhenRaised.append(open.popoverShown());
    };
    open.pane.onRefreshCurrentAccountRequest = [&] {
        raised.append(QStringLiteral("refresh"));
        shownWhenRaised.append(open.popoverShown());
    };
    open.pane.onAddNewAccountRequest = [&] {
        raised.append(QStringLiteral("add"));
        shownWhenRaised.append(open.popoverShown());
    };
    open.openPopover();
    QVERIFY(open.popoverShown());

    QTest::mouseClick(open.popoverContent()->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(raised, QStringList{request});
    QCOMPARE(shownWhenRaised, QList<bool>{false});
    QVERIFY(!open.popoverShown());
}

void TestMenuContentViewController::testClosingRelaysCloseWithoutListener()
{
    OpenPane open;
    open.openPopover();
    QTest::mouseClick(
        open.popoverContent()->findChild<QPushButton*>(QStringLiteral("refreshAccountAndBlogsButton")),
        Qt::LeftButton);
    QVERIFY(!open.popoverShown());

    // Return on a focused button presses it.
    int refreshes = 0;
    open.pane.onRefreshCurrentAccountRequest = [&refreshes] { ++refreshes; };
    open.openPopover();
    QTest::keyClick(
        open.popoverContent()->findChild<QPushButton*>(QStringLiteral("refreshAccountAndBlogsButton")),
        Qt::Key_Return);
    QCOMPARE(refreshes, 1);
    QVERIFY(!open.popoverShown());
}

void TestMenuContentViewController::testAccountChangeAndSignInAgainLeavePopoverOpen()
{
    OpenPane open;
    QStringList accounts;
    int signIns = 0;
    open.pane.onAccountChangeRequest = [&](const QString& userId) { accounts.append(userId); };
    open.pane.onReauthentificateCurrentAccountRequest = [&] { ++signIns; };
    open.pane.listUsers({BloggerUser(QStringLiteral("u1"), QStringLiteral("Ann"), {}, {}),
                         BloggerUser(QStringLiteral("u2"), QStringLiteral("Bob"), {}, {})},
                        QStringLiteral("u1"));
    open.openPopover();
    auto* accountBox =
        open.popoverContent()->findChild<QComboBox*>(QStringLiteral("activeAccountComboBoxOutlet"));
    QTRY_COMPARE(accountBox->count(), 2);

    QTest::keyClick(accountBox, Qt::Key_Down);
    QCOMPARE(accounts, QStringList{QStringLiteral("u2")});
    QVERIFY(open.popoverShown());

    auto* signInAgain =
        open.popoverContent()->findChild<QPushButton*>(QStringLiteral("reauthentificateAccountButton"));
    // It signs in the current account, not the one chosen in the box.
    QCOMPARE(signInAgain->toolTip(), QStringLiteral("Sign in to the current account again"));
    QTest::mouseClick(signInAgain, Qt::LeftButton);
    QCOMPARE(signIns, 1);
    QVERIFY(open.popoverShown());
}

void TestMenuContentViewController::testHelpAndPopoverOpenAreRelayed()
{
    OpenPane open;
    int helps = 0;
    int opens = 0;
    open.pane.onHelpRequest = [&] { ++helps; };
    open.pane.onAccountsAndBlogsSettingsPopupOpen = [&] { ++opens; };

    QTest::mousePress(open.view->findChild<AlternativeButtonView*>(QStringLiteral("helpImageOutlet")),
                      Qt::LeftButton);
    QCOMPARE(helps, 1);
    QCOMPARE(opens, 0);
    open.openPopover();
    QCOMPARE(opens, 1);
    QCOMPARE(helps, 1);
    QVERIFY(open.popoverShown());
}

void TestMenuContentViewController::testListsReachThePopoverAndApplySendsAccountThenBlog()
{
    OpenPane open;
    QList<QStringList> applied;
    open.pane.onAccountAndBlogChangeRequest = [&](const QString& account, const QString& blog) {
        applied.append({account, blog});
    };
    open.pane.listUsers({BloggerUser(QStringLiteral("u1"), QStringLiteral("Ann"), {}, {})},
                        QStringLiteral("u1"));
    open.pane.listBlogs(
        {BloggerBlog(QStringLiteral("b1"), QStringLiteral("u1"), QStringLiteral("Notes"), {}, {})},
        QStringLiteral("b1"));
    open.openPopover();
    auto* blogBox = open.popoverContent()->findChild<QComboBox*>(QStringLiteral("activeBlogComboBoxOutlet"));
    QTRY_COMPARE(blogBox->currentText(), QStringLiteral("Notes"));

    QTest::mouseClick(open.popoverContent()->findChild<QPushButton*>(QStringLiteral("applySelectionButton")),
                      Qt::LeftButton);
    QCOMPARE(applied, (QList<QStringList>{{QStringLiteral("u1"), QStringLiteral("b1")}}));
}

QTEST_MAIN(TestMenuContentViewController)
#include "TestMenuContentViewController.moc"

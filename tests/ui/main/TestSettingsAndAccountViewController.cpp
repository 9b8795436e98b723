#include "PointerEvents.h"
#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "platform/gui/Popover.h"
#include "ui/main/AccountsAndBlogsPopoverViewController.h"
#include "ui/main/AlternativeButtonView.h"
#include "ui/main/SettingsAndAccountViewController.h"

#include <QComboBox>
#include <QPointer>
#include <QTest>

namespace {

AlternativeButtonView* image(QWidget* view, const char* name)
{
    return view->findChild<AlternativeButtonView*>(QString::fromLatin1(name));
}

} // namespace

class TestSettingsAndAccountViewController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testHoverShowsOrangeImagesAndLeavingRestoresGray();
    void testSettingsClickWithoutListenersShowsPopover();
    void testOpenRequestComesBeforePopoverShows();
    void testSecondClickMakesNewPopoverOverSameContentWithLastLists();
    void testListsGivenBeforeFirstOpeningShowWhenItOpens();
};

void TestSettingsAndAccountViewController::testHoverShowsOrangeImagesAndLeavingRestoresGray()
{
    SettingsAndAccountViewController panel;
    QWidget* view = panel.view();
    view->show();
    AlternativeButtonView* help = image(view, "helpImageOutlet");
    AlternativeButtonView* settings = image(view, "avatarImageOutlet");
    QCOMPARE(help->imageName(), QStringLiteral("LeftHelpGray"));
    QCOMPARE(settings->imageName(), QStringLiteral("LeftSettingsGray"));

    PointerEvents::enter(help);
    QCOMPARE(help->imageName(), QStringLiteral("LeftHelpOrange"));
    QCOMPARE(settings->imageName(), QStringLiteral("LeftSettingsGray"));
    PointerEvents::leave(help);
    QCOMPARE(help->imageName(), QStringLiteral("LeftHelpGray"));

    PointerEvents::enter(settings);
    QCOMPARE(settings->imageName(), QStringLiteral("LeftSettingsOrange"));
    PointerEvents::leave(settings);
    QCOMPARE(settings->imageName(), QStringLiteral("LeftSettingsGray"));
}

void TestSettingsAndAccountViewController::testSettingsClickWithoutListenersShowsPopover()
{
    SettingsAndAccountViewController panel;
    QWidget* view = panel.view();
    view->show();
    panel.close(); // nothing opened yet
    QTest::mousePress(image(view, "avatarImageOutlet"), Qt::LeftButton);
    QVERIFY(panel.popover());
    QVERIFY(panel.popover()->isShown());
    QCOMPARE(panel.popover()->contentViewController(), panel.controller());
    panel.close();
    QVERIFY(!panel.popover()->isShown());
}

void TestSettingsAndAccountViewController::testOpenRequestComesBeforePopoverShows()
{
    SettingsAndAccountViewController panel;
    QWidget* view = panel.view();
    view->show();
    bool made = false;
    bool shown = true;
    panel.onAccountsAndBlogsSettingsPopupOpen = [&] {
        made = panel.popover() != nullptr;
        shown = panel.popover() && panel.popover()->isShown();
    };
    QTest::mousePress(image(view, "avatarImageOutlet"), Qt::LeftButton);
    QVERIFY(made);
    QVERIFY(!shown);
    QVERIFY(panel.popover()->isShown());
}

void TestSettingsAndAccountViewController::testSecondClickMakesNewPopoverOverSameContentWithLastLists()
{
    SettingsAndAccountViewController panel;
    QWidget* view = panel.view();
    view->show();
    panel.listBlogs({BloggerBlog(QStringLiteral("b1"), {}, QStringLiteral("First"), {}, {})},
                    QStringLiteral("b1"));
    QTest::mousePress(image(view, "avatarImageOutlet"), Qt::LeftButton);
    QPointer<Popover> first = panel.popover();
    QWidget* content = panel.controller()->view();
    QCOMPARE(content->window(), first->popupWindow());
    QTRY_COMPARE(panel.controller()->activeBlogComboBoxOutlet()->currentText(), QStringLiteral("First"));

    panel.listBlogs({BloggerBlog(QStringLiteral("b2"), {}, QStringLiteral("Second"), {}, {})},
                    QStringLiteral("b2"));
    QTRY_COMPARE(panel.controller()->activeBlogComboBoxOutlet()->currentText(), QStringLiteral("Second"));
    QTest::mousePress(image(view, "avatarImageOutlet"), Qt::LeftButton);
    QVERIFY(first.isNull());
    QVERIFY(panel.popover()->isShown());
    QCOMPARE(panel.controller()->view(), content);
    QCOMPARE(content->window(), panel.popover()->popupWindow());
    QVERIFY(content->isVisible());
    QCOMPARE(content->findChild<QComboBox*>(QStringLiteral("activeBlogComboBoxOutlet"))->currentText(),
             QStringLiteral("Second"));
}

void TestSettingsAndAccountViewController::testListsGivenBeforeFirstOpeningShowWhenItOpens()
{
    SettingsAndAccountViewController panel;
    panel.listUsers({BloggerUser(QStringLiteral("u1"), QStringLiteral("Ann"), {}, {})}, QStringLiteral("u1"));
    panel.listBlogs({BloggerBlog(QStringLiteral("b1"), {}, QStringLiteral("Notes"), {}, {})},
                    QStringLiteral("b1"));
    QTRY_COMPARE(panel.controller()->blogs().size(), 1);
    QVERIFY(!panel.controller()->isViewLoaded());

    QWidget* view = panel.view();
    view->show();
    QTest::mousePress(image(view, "avatarImageOutlet"), Qt::LeftButton);
    QWidget* popup = panel.popover()->popupWindow();
    QCOMPARE(popup->findChild<QComboBox*>(QStringLiteral("activeAccountComboBoxOutlet"))->currentText(),
             QStringLiteral("Ann"));
    QCOMPARE(popup->findChild<QComboBox*>(QStringLiteral("activeBlogComboBoxOutlet"))->currentText(),
             QStringLiteral("Notes"));
}

QTEST_MAIN(TestSettingsAndAccountViewController)
#include "TestSettingsAndAccountViewController.moc"

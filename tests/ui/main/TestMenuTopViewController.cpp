#include "PointerEvents.h"
#include "ui/UiColors.h"
#include "ui/main/AlternativeButtonView.h"
#include "ui/main/ClickAreaView.h"
#include "ui/main/MenuTopViewController.h"

#include <QLabel>
#include <QPalette>
#include <QTest>

namespace {

QColor titleColor(QWidget* view)
{
    return view->findChild<QLabel*>(QStringLiteral("titleLabelOutlet"))
        ->palette()
        .color(QPalette::WindowText);
}

QString buttonImage(QWidget* view)
{
    return view->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageViewOutlet"))->imageName();
}

} // namespace

class TestMenuTopViewController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testTitleAndRestingButton();
    void testHoverOverHitAreaLightsTitleAndButtonAndLeavingRestoresThem();
    void testPressBeforeRequestIsSetDoesNothing();
    void testEachPressOnHitAreaOrButtonRaisesOneRequest();
};

void TestMenuTopViewController::testTitleAndRestingButton()
{
    MenuTopViewController pane;
    QWidget* view = pane.view();
    QCOMPARE(view->findChild<QLabel*>(QStringLiteral("titleLabelOutlet"))->text(),
             QStringLiteral("New Post"));
    QCOMPARE(buttonImage(view), QStringLiteral("NewPostGray"));
    QCOMPARE(titleColor(view), UiColors::normalText());
}

void TestMenuTopViewController::testHoverOverHitAreaLightsTitleAndButtonAndLeavingRestoresThem()
{
    MenuTopViewController pane;
    QWidget* view = pane.view();
    view->resize(200, 64);
    view->show();
    auto* hitArea = view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet"));
    auto* title = view->findChild<QLabel*>(QStringLiteral("titleLabelOutlet"));
    // Whatever colour the title had before, leaving gives the normal one.
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    title->setPalette(palette);

    PointerEvents::enter(hitArea);
    QCOMPARE(titleColor(view), UiColors::accent());
    QCOMPARE(buttonImage(view), QStringLiteral("NewPostOrange"));

    PointerEvents::leave(hitArea);
    QCOMPARE(titleColor(view), UiColors::normalText());
    QCOMPARE(buttonImage(view), QStringLiteral("NewPostGray"));
}

void TestMenuTopViewController::testPressBeforeRequestIsSetDoesNothing()
{
    MenuTopViewController pane;
    QWidget* view = pane.view();
    view->show();
    QTest::mousePress(view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet")), Qt::LeftButton);
    QTest::mousePress(view->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageViewOutlet")),
                      Qt::LeftButton);
    QCOMPARE(titleColor(view), UiColors::normalText());
    QCOMPARE(buttonImage(view), QStringLiteral("NewPostGray"));
}

void TestMenuTopViewController::testEachPressOnHitAreaOrButtonRaisesOneRequest()
{
    MenuTopViewController pane;
    QWidget* view = pane.view();
    view->show();
    int requests = 0;
    // Set after loading, as the window does.
    pane.onNewPostRequest = [&] { ++requests; };

    QTest::mousePress(view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet")), Qt::LeftButton);
    QCOMPARE(requests, 1);
    QTest::mouseRelease(view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet")), Qt::LeftButton);
    QCOMPARE(requests, 1);

    auto* avatar = view->findChild<AlternativeButtonView*>(QStringLiteral("avatarImageViewOutlet"));
    QTest::mouseClick(avatar, Qt::LeftButton);
    QCOMPARE(requests, 2);

    // Only the primary button acts, and a double-click acts once.
    QTest::mousePress(avatar, Qt::RightButton);
    QTest::mousePress(view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet")), Qt::MiddleButton);
    QCOMPARE(requests, 2);
    PointerEvents::doubleClick(avatar);
    QCOMPARE(requests, 3);
    QTest::keyClick(view->findChild<ClickAreaView*>(QStringLiteral("hitAreaViewOutlet")), Qt::Key_Space);
    QCOMPARE(requests, 4);
}

QTEST_MAIN(TestMenuTopViewController)
#include "TestMenuTopViewController.moc"

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "ui/main/AccountsAndBlogsPopoverViewController.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <thread>

namespace {

BloggerUser user(const char* id, const char* name)
{
    return BloggerUser(QString::fromLatin1(id), QString::fromLatin1(name), {}, {});
}

BloggerBlog blog(const char* id, const char* name)
{
    return BloggerBlog(QString::fromLatin1(id), {}, QString::fromLatin1(name), {}, {});
}

QComboBox* accountBox(QWidget* view)
{
    return view->findChild<QComboBox*>(QStringLiteral("activeAccountComboBoxOutlet"));
}

QComboBox* blogBox(QWidget* view)
{
    return view->findChild<QComboBox*>(QStringLiteral("activeBlogComboBoxOutlet"));
}

QPushButton* button(QWidget* view, const char* name)
{
    return view->findChild<QPushButton*>(QString::fromLatin1(name));
}

using Applied = QList<QStringList>;

} // namespace

class TestAccountsAndBlogsPopoverViewController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testCurrentAccountIsPreselectedAndUnknownIdSelectsNone();
    void testTwoUsersWithOneNamePreselectTheCurrentOneById();
    void testTwoBlogsWithOneTitleApplySendsTheShownBlog();
    void testUnknownBlogSelectsFirstAndEmptyBlogsSendNoId();
    void testApplyWithEmptyListsSendsNoIds();
    void testListsGivenBeforeLoadingAppearWhenLoaded();
    void testNewUsersRefillAccountsAndLeaveBlogs();
    void testListsFromBackgroundThreadArriveInOrder();
    void testChoosingAccountRaisesItsIdAndRefillsRaiseNothing();
    void testAccountActionWithoutSelectionRaisesNothing();
};

void TestAccountsAndBlogsPopoverViewController::testCurrentAccountIsPreselectedAndUnknownIdSelectsNone()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    content.listUsers({user("u1", "Ann"), user("u2", "Bob"), user("u3", "Cy")}, QStringLiteral("u2"));
    QTRY_COMPARE(accountBox(view)->count(), 3);
    QCOMPARE(accountBox(view)->currentIndex(), 1);

    content.listUsers({user("u1", "Ann"), user("u2", "Bob")}, QStringLiteral("gone"));
    QTRY_COMPARE(accountBox(view)->count(), 2);
    QCOMPARE(accountBox(view)->currentIndex(), -1);
}

void TestAccountsAndBlogsPopoverViewController::testTwoUsersWithOneNamePreselectTheCurrentOneById()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    Applied applied;
    content.onAccountAndBlogChangeRequest = [&](const QString& a, const QString& b) {
        applied.append({a, b});
    };
    content.listUsers({user("u1", "Sam"), user("u2", "Sam")}, QStringLiteral("u2"));
    content.listBlogs({blog("b1", "Notes")}, QStringLiteral("b1"));
    QTRY_COMPARE(blogBox(view)->count(), 1);
    QCOMPARE(accountBox(view)->currentIndex(), 1);

    QTest::mouseClick(button(view, "applySelectionButton"), Qt::LeftButton);
    QCOMPARE(applied, (Applied{{QStringLiteral("u2"), QStringLiteral("b1")}}));
}

void TestAccountsAndBlogsPopoverViewController::testTwoBlogsWithOneTitleApplySendsTheShownBlog()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    Applied applied;
    content.onAccountAndBlogChangeRequest = [&](const QString& a, const QString& b) {
        applied.append({a, b});
    };
    content.listUsers({user("u1", "Ann")}, QStringLiteral("u1"));
    content.listBlogs({blog("b1", "Diary"), blog("b2", "Diary"), blog("b3", "Work")}, QStringLiteral("b2"));
    QTRY_COMPARE(blogBox(view)->count(), 3);
    QCOMPARE(blogBox(view)->currentIndex(), 1);

    QTest::mouseClick(button(view, "applySelectionButton"), Qt::LeftButton);
    QCOMPARE(applied, (Applied{{QStringLiteral("u1"), QStringLiteral("b2")}}));
}

void TestAccountsAndBlogsPopoverViewController::testUnknownBlogSelectsFirstAndEmptyBlogsSendNoId()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    Applied applied;
    content.onAccountAndBlogChangeRequest = [&](const QString& a, const QString& b) {
        applied.append({a, b});
    };
    content.listUsers({user("u1", "Ann")}, QStringLiteral("u1"));
    content.listBlogs({blog("b1", "Diary"), blog("b2", "Work")}, QStringLiteral("gone"));
    QTRY_COMPARE(blogBox(view)->count(), 2);
    QCOMPARE(blogBox(view)->currentIndex(), 0);

    content.listBlogs({}, QStringLiteral("b1"));
    QTRY_COMPARE(blogBox(view)->count(), 0);
    QCOMPARE(blogBox(view)->currentIndex(), -1);
    QTest::mouseClick(button(view, "applySelectionButton"), Qt::LeftButton);
    QCOMPARE(applied, (Applied{{QStringLiteral("u1"), QString()}}));
}

void TestAccountsAndBlogsPopoverViewController::testApplyWithEmptyListsSendsNoIds()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    Applied applied;
    content.onAccountAndBlogChangeRequest = [&](const QString& a, const QString& b) {
        applied.append({a, b});
    };
    QTest::mouseClick(button(view, "applySelectionButton"), Qt::LeftButton);
    QCOMPARE(applied, (Applied{{QString(), QString()}}));
}

void TestAccountsAndBlogsPopoverViewController::testListsGivenBeforeLoadingAppearWhenLoaded()
{
    AccountsAndBlogsPopoverViewController content;
    content.listUsers({user("u1", "Ann"), user("u2", "Bob")}, QStringLiteral("u2"));
    content.listBlogs({blog("b1", "Diary"), blog("b2", "Work")}, QStringLiteral("b2"));
    QTRY_COMPARE(content.blogs().size(), 2);
    QVERIFY(!content.isViewLoaded());

    QWidget* view = content.view();
    QCOMPARE(accountBox(view)->count(), 2);
    QCOMPARE(accountBox(view)->currentText(), QStringLiteral("Bob"));
    QCOMPARE(blogBox(view)->count(), 2);
    QCOMPARE(blogBox(view)->currentText(), QStringLiteral("Work"));
}

void TestAccountsAndBlogsPopoverViewController::testNewUsersRefillAccountsAndLeaveBlogs()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    content.listUsers({user("u1", "Ann")}, QStringLiteral("u1"));
    content.listBlogs({blog("b1", "Diary"), blog("b2", "Work")}, QStringLiteral("b2"));
    QTRY_COMPARE(blogBox(view)->count(), 2);

    content.listUsers({user("u7", "Zoe"), user("u8", "Yan")}, QStringLiteral("u8"));
    QTRY_COMPARE(accountBox(view)->count(), 2);
    QCOMPARE(accountBox(view)->itemText(0), QStringLiteral("Zoe"));
    QCOMPARE(accountBox(view)->currentText(), QStringLiteral("Yan"));
    QCOMPARE(blogBox(view)->count(), 2);
    QCOMPARE(blogBox(view)->currentText(), QStringLiteral("Work"));
}

void TestAccountsAndBlogsPopoverViewController::testListsFromBackgroundThreadArriveInOrder()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    std::thread worker([&content] {
        for (int i = 0; i < 20; ++i) {
            const QString n = QString::number(i);
            content.listUsers({BloggerUser(QStringLiteral("u") + n, QStringLiteral("User ") + n, {}, {})},
                              QStringLiteral("u") + n);
            content.listBlogs({BloggerBlog(QStringLiteral("b") + n, {}, QStringLiteral("Blog ") + n, {}, {}),
                               BloggerBlog(QStringLiteral("c") + n, {}, QStringLiteral("Blog ") + n, {}, {})},
                              QStringLiteral("c") + n);
        }
    });
    worker.join();
    QTRY_COMPARE(content.currentBlog(), QStringLiteral("c19"));
    QCOMPARE(content.currentAccount(), QStringLiteral("u19"));
    QCOMPARE(accountBox(view)->currentText(), QStringLiteral("User 19"));
    QCOMPARE(blogBox(view)->count(), 2);
    QCOMPARE(blogBox(view)->currentIndex(), 1);
    QCOMPARE(blogBox(view)->currentText(), QStringLiteral("Blog 19"));
}

void TestAccountsAndBlogsPopoverViewController::testChoosingAccountRaisesItsIdAndRefillsRaiseNothing()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    view->show();
    QStringList chosen;
    content.onAccountChangeRequest = [&](const QString& userId) { chosen.append(userId); };
    content.listUsers({user("u1", "Ann"), user("u2", "Bob")}, QStringLiteral("u1"));
    QTRY_COMPARE(accountBox(view)->count(), 2);
    content.listUsers({user("u1", "Ann"), user("u2", "Bob"), user("u3", "Cy")}, QStringLiteral("u2"));
    QTRY_COMPARE(accountBox(view)->count(), 3);
    QVERIFY(chosen.isEmpty());

    QTest::keyClick(accountBox(view), Qt::Key_Down);
    QCOMPARE(chosen, QStringList{QStringLiteral("u3")});
}

void TestAccountsAndBlogsPopoverViewController::testAccountActionWithoutSelectionRaisesNothing()
{
    AccountsAndBlogsPopoverViewController content;
    QWidget* view = content.view();
    int raised = 0;
    content.onAccountChangeRequest = [&](const QString&) { ++raised; };
    // Nothing can be typed in, so no index outside the list can come from the user.
    QVERIFY(!accountBox(view)->isEditable());
    QVERIFY(!blogBox(view)->isEditable());
    content.listUsers({user("u1", "Ann")}, QStringLiteral("nobody"));
    QTRY_COMPARE(accountBox(view)->count(), 1);
    QCOMPARE(accountBox(view)->currentIndex(), -1);
    content.activeAccountOutletChanged();
    QCOMPARE(raised, 0);
}

QTEST_MAIN(TestAccountsAndBlogsPopoverViewController)
#include "TestAccountsAndBlogsPopoverViewController.moc"

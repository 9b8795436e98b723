#include "TestSupport.h"

#include "platform/gui/ImageView.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"
#include "ui/main/PostTableCellView.h"

#include <QLabel>
#include <QTest>

class TestPostTableCellView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void testNegativeCountHidesNumberAndIconUntilACountComesBack();
    void testCountIsWrittenWithoutSeparatorsAndNeverReadBack();
    void testUnselectingLeavesNoBackgroundAndNoMarker();
    void testSyncedCopyStatusImageKeepsItsSpace();
    void testUnknownImageNameLeavesIconEmpty();
};

void TestPostTableCellView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestPostTableCellView::testNegativeCountHidesNumberAndIconUntilACountComesBack()
{
    PostTableCellView cell;
    cell.setCommentsCount(4);
    cell.setCommentsCount(-1);
    QCOMPARE(cell.commentsCountLabel()->text(), QString());
    QVERIFY(!cell.commentsCountLabel()->isVisibleTo(&cell));
    QVERIFY(!cell.commentsIcon()->isVisibleTo(&cell));

    cell.setCommentsCount(-7);
    QVERIFY(!cell.commentsIcon()->isVisibleTo(&cell));

    cell.setCommentsCount(0);
    QCOMPARE(cell.commentsCountLabel()->text(), QStringLiteral("0"));
    QVERIFY(cell.commentsCountLabel()->isVisibleTo(&cell));
    QVERIFY(cell.commentsIcon()->isVisibleTo(&cell));
    QCOMPARE(cell.commentsIcon()->imageName(), QStringLiteral("CommentsCountIcon"));
}

void TestPostTableCellView::testCountIsWrittenWithoutSeparatorsAndNeverReadBack()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    PostTableCellView cell;
    cell.setCommentsCount(1500);
    QCOMPARE(cell.commentsCountLabel()->text(), QStringLiteral("1500"));
    QCOMPARE(cell.commentsCount(), -1);
    QCOMPARE(cell.property("commentsCount").toLongLong(), -1);
}

void TestPostTableCellView::testUnselectingLeavesNoBackgroundAndNoMarker()
{
    PostTableCellView cell;
    cell.selectRow(true);
    QCOMPARE(ViewBackground::color(&cell), UiColors::selectedRow());
    QCOMPARE(ViewBackground::color(cell.selectedView()), UiColors::accent());

    cell.selectRow(false);
    QCOMPARE(ViewBackground::color(&cell).alpha(), 0);
    QCOMPARE(ViewBackground::color(cell.selectedView()).alpha(), 0);
}

void TestPostTableCellView::testSyncedCopyStatusImageKeepsItsSpace()
{
    QCOMPARE(PostTableCellView::statusImageName(PostStatus::SyncedCopy),
             QStringLiteral("Synced CopyPostStatusIcon"));
    PostTableCellView cell;
    cell.setPostImage(PostTableCellView::statusImageName(PostStatus::SyncedCopy));
    QCOMPARE(cell.postImage(), QStringLiteral("Synced CopyPostStatusIcon"));
}

void TestPostTableCellView::testUnknownImageNameLeavesIconEmpty()
{
    PostTableCellView cell;
    cell.setPostImage(QStringLiteral("DraftPostStatusIcon"));
    cell.setPostImage(QStringLiteral("NoSuchPostStatusIcon"));
    QCOMPARE(cell.postImage(), QString());
    QVERIFY(cell.icon()->pixmap().isNull());
}

QTEST_MAIN(TestPostTableCellView)
#include "TestPostTableCellView.moc"

#include "PointerEvents.h"
#include "TestSupport.h"

#include "platform/gui/Popover.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/SortPopoverController.h"
#include "ui/main/SpinnerView.h"
#include "ui/main/TableTopViewController.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>
#include <utility>

using SortRequest = std::pair<PostSortOptions, PostSortOrderOptions>;

class TestTableTopView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testEmptyAreaWithoutDateReadsZeroAndNever();
    void testCountAndAreaFromAnotherThreadKeepCallOrder();
    void testLoadingOffRestoresDownloadButtonAndStopsSpinner();
    void testCallsBeforeTheViewLoadsChangeNothing();
    void testDownloadPressRaisesOneRequest();
    void testHoverPulseLeavesEveryGeometryUnchanged();
    void testKeyboardOpensSortsAndClosesTheSortPopover();
    void testDoubleClickOnSortLeavesThePopoverOpen();
    void testSortChoicesSurviveFromOneOpeningToTheNext();
    void testEveryComboPositionMapsToItsSortKey();
    void testOutOfRangeSelectionsFallBackToUpdatedDescending();
    void testSortWithoutListenerStillClosesPopover();
    void testClickOutsidePopoverClosesItWithoutRequest();

private:
    void openSortPopover();
    SortRequest pressSort();

    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<TableTopViewController> m_header;
    QList<SortRequest> m_sortRequests;
};

void TestTableTopView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestTableTopView::init()
{
    m_header = std::make_unique<TableTopViewController>();
    m_host = std::make_unique<QWidget>();
    m_host->resize(600, 400);
    auto* layout = new QVBoxLayout(m_host.get());
    layout->addWidget(m_header->view());
    layout->addStretch();
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    m_sortRequests.clear();
    m_header->onPostsSortRequest = [this](PostSortOptions sortBy, PostSortOrderOptions order) {
        m_sortRequests.append({sortBy, order});
    };
}

void TestTableTopView::cleanup()
{
    m_header.reset();
    m_host.reset();
}

void TestTableTopView::openSortPopover()
{
    QTest::mousePress(m_header->sortButtonOutlet(), Qt::LeftButton);
    QVERIFY(m_header->popover());
    QTRY_VERIFY(m_header->popover()->isShown());
}

SortRequest TestTableTopView::pressSort()
{
    const qsizetype before = m_sortRequests.size();
    SortPopoverController* content = m_header->sortPopoverController();
    QTest::mouseClick(content->sortButton(), Qt::LeftButton);
    if (m_sortRequests.size() != before + 1) {
        return {PostSortOptions::PublishDate, PostSortOrderOptions::Ascending};
    }
    return m_sortRequests.last();
}

void TestTableTopView::testEmptyAreaWithoutDateReadsZeroAndNever()
{
    m_header->displayPostsInfo(0, PostArea::Published, std::nullopt);
    QTRY_COMPARE(m_header->postsTypeLabelOutlet()->text(), QStringLiteral("Published Posts (0)"));
    QCOMPARE(m_header->lastUpdatedLabelOutlet()->text(), QStringLiteral("Last Update Never"));

    m_header->displayPostsInfo(3, PostArea::Draft, std::nullopt);
    QTRY_COMPARE(m_header->postsTypeLabelOutlet()->text(), QStringLiteral("Draft Posts (3)"));
}

void TestTableTopView::testCountAndAreaFromAnotherThreadKeepCallOrder()
{
    const QDateTime when(QDate(2015, 3, 14), QTime(9, 26), Qt::LocalTime);
    TableTopViewController* header = m_header.get();
    std::unique_ptr<QThread> worker(QThread::create([header, when] {
        header->displayPostsInfo(12, PostArea::Offline, std::nullopt);
        header->loading(true);
        header->displayPostsInfo(1234, PostArea::Published, when);
        header->loading(false);
    }));
    worker->start();
    QVERIFY(worker->wait(10000));
    QTRY_COMPARE(m_header->postsTypeLabelOutlet()->text(), QStringLiteral("Published Posts (1234)"));
    QVERIFY(m_header->lastUpdatedLabelOutlet()->text().startsWith(QStringLiteral("Last Update ")));
    QVERIFY(m_header->lastUpdatedLabelOutlet()->text().contains(QStringLiteral("2015")));
    QVERIFY(m_header->downloadPostsButtonOutlet()->isVisible());
    QVERIFY(!m_header->spinningIndicatorOutlet()->isVisible());
}

void TestTableTopView::testLoadingOffRestoresDownloadButtonAndStopsSpinner()
{
    QVERIFY(!m_header->spinningIndicatorOutlet()->isVisible());

    m_header->loading(true);
    auto* spinner = qobject_cast<SpinnerView*>(m_header->spinningIndicatorOutlet());
    QVERIFY(spinner);
    QTRY_VERIFY(spinner->isVisible());
    QVERIFY(spinner->isAnimating());
    QVERIFY(!m_header->downloadPostsButtonOutlet()->isVisible());

    m_header->loading(false);
    QTRY_VERIFY(!spinner->isVisible());
    QVERIFY(!spinner->isAnimating());
    QVERIFY(spinner->maximum() > spinner->minimum());
    QVERIFY(m_header->downloadPostsButtonOutlet()->isVisible());
}

void TestTableTopView::testCallsBeforeTheViewLoadsChangeNothing()
{
    TableTopViewController header;
    header.loading(true);
    header.displayPostsInfo(5, PostArea::Draft, std::nullopt);
    QCoreApplication::processEvents();
    QVERIFY(!header.isViewLoaded());
    QVERIFY(header.postsTypeLabelOutlet() == nullptr);

    header.view();
    QVERIFY(!header.spinningIndicatorOutlet()->isVisibleTo(header.view()));
    QVERIFY(header.downloadPostsButtonOutlet()->isVisibleTo(header.view()));
}

void TestTableTopView::testDownloadPressRaisesOneRequest()
{
    int requests = 0;
    m_header->onDownloadBloggerDataRequest = [&requests] { ++requests; };
    QTest::mousePress(m_header->downloadPostsButtonOutlet(), Qt::LeftButton);
    QCOMPARE(requests, 1);
    QVERIFY(m_sortRequests.isEmpty());
    QVERIFY(!m_header->popover());
    // Another button does nothing; a double-click acts once.
    QTest::mousePress(m_header->downloadPostsButtonOutlet(), Qt::RightButton);
    QTest::mousePress(m_header->sortButtonOutlet(), Qt::RightButton);
    QCOMPARE(requests, 1);
    QVERIFY(!m_header->popover());
    PointerEvents::doubleClick(m_header->downloadPostsButtonOutlet());
    QCOMPARE(requests, 2);
    // Space and Return press it too.
    QTest::keyClick(m_header->downloadPostsButtonOutlet(), Qt::Key_Space);
    QTest::keyClick(m_header->downloadPostsButtonOutlet(), Qt::Key_Return);
    QCOMPARE(requests, 4);
}

void TestTableTopView::testKeyboardOpensSortsAndClosesTheSortPopover()
{
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    ImageButtonView* sort = m_header->sortButtonOutlet();
    sort->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(sort->hasFocus());

    // The popover takes the focus, Return sorts from its first control and the focus comes back.
    QTest::keyClick(sort, Qt::Key_Space);
    QVERIFY(m_header->popover());
    QTRY_VERIFY(m_header->popover()->isShown());
    SortPopoverController* content = m_header->sortPopoverController();
    QTRY_COMPARE(QApplication::focusWidget(), content->sortByComboOutlet());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_sortRequests.size(), 1);
    QTRY_VERIFY(!m_header->popover()->isShown());
    QTRY_VERIFY(sort->hasFocus());

    // Escape closes it without sorting.
    QTest::keyClick(sort, Qt::Key_Return);
    QTRY_VERIFY(m_header->popover()->isShown());
    QTRY_COMPARE(QApplication::focusWidget(), content->sortByComboOutlet());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!m_header->popover()->isShown());
    QTRY_VERIFY(sort->hasFocus());
    QCOMPARE(m_sortRequests.size(), 1);
}

void TestTableTopView::testHoverPulseLeavesEveryGeometryUnchanged()
{
    const QList<QWidget*> widgets = m_host->findChildren<QWidget*>();
    auto geometries = [&widgets] {
        QList<QRect> rects;
        for (QWidget* widget : widgets) {
            rects.append(widget->geometry());
        }
        return rects;
    };
    const QList<QRect> resting = geometries();
    ImageButtonView* sort = m_header->sortButtonOutlet();
    QVERIFY(sort->isInitiated());
    PointerEvents::enter(sort);
    QVERIFY(sort->frameAnimated());
    // Any layout change the pulse asked for is carried out now.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(geometries(), resting);
    // The pulse still shows the picture 1.2 times as large, from the same origin.
    auto* pulse = m_host->findChild<ImageView*>(QStringLiteral("pulseView"));
    QVERIFY(pulse && pulse->isVisible());
    QCOMPARE(pulse->geometry(), QRect(sort->pos(), QSize(qRound(*sort->originalWidth() * 1.2),
                                                         qRound(*sort->originalHeight() * 1.2))));
    QTRY_VERIFY(!sort->frameAnimated());
    QVERIFY(!pulse->isVisible());
    QCOMPARE(geometries(), resting);
}

void TestTableTopView::testDoubleClickOnSortLeavesThePopoverOpen()
{
    openSortPopover();
    // The second press of the double-click reaches the open pop-up, over the sort button.
    QWidget* popup = m_header->popover()->popupWindow();
    QWindow* handle = popup->windowHandle();
    QVERIFY(handle);
    ImageButtonView* sort = m_header->sortButtonOutlet();
    const QPoint onSort = handle->mapFromGlobal(sort->mapToGlobal(sort->rect().center()));
    QTest::mousePress(handle, Qt::LeftButton, {}, onSort);
    QTest::mouseDClick(handle, Qt::LeftButton, {}, onSort);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, onSort);
    QCoreApplication::processEvents();
    QVERIFY(m_header->popover()->isShown());
}

void TestTableTopView::testSortChoicesSurviveFromOneOpeningToTheNext()
{
    openSortPopover();
    SortPopoverController* content = m_header->sortPopoverController();
    QCOMPARE(content->sortByComboOutlet()->currentIndex(), 0);
    QCOMPARE(content->sortOrderComboOutlet()->currentIndex(), 0);
    QVERIFY(!content->sortByComboOutlet()->isEditable());
    QVERIFY(!content->sortOrderComboOutlet()->isEditable());

    content->sortByComboOutlet()->setCurrentIndex(2);
    content->sortOrderComboOutlet()->setCurrentIndex(1);
    Popover* first = m_header->popover();
    QCOMPARE(pressSort(), SortRequest(PostSortOptions::CommentsCount, PostSortOrderOptions::Ascending));
    QCOMPARE(m_sortRequests.size(), 1);
    QVERIFY(!first->isShown());

    openSortPopover();
    QVERIFY(m_header->popover()->popupWindow()->isAncestorOf(content->view()));
    QCOMPARE(content->sortByComboOutlet()->currentIndex(), 2);
    QCOMPARE(content->sortOrderComboOutlet()->currentIndex(), 1);
    QCOMPARE(content->sortByComboOutlet()->currentText(), QStringLiteral("Comments"));
    QCOMPARE(content->sortOrderComboOutlet()->currentText(), QStringLiteral("Ascending"));
}

void TestTableTopView::testEveryComboPositionMapsToItsSortKey()
{
    const PostSortOptions byPosition[] = {PostSortOptions::UpdatedDate, PostSortOptions::PublishDate,
                                          PostSortOptions::CommentsCount, PostSortOptions::Title};
    const PostSortOrderOptions orderByPosition[] = {PostSortOrderOptions::Descending,
                                                    PostSortOrderOptions::Ascending};
    for (int sortBy = 0; sortBy < 4; ++sortBy) {
        for (int order = 0; order < 2; ++order) {
            openSortPopover();
            SortPopoverController* content = m_header->sortPopoverController();
            content->sortByComboOutlet()->setCurrentIndex(sortBy);
            content->sortOrderComboOutlet()->setCurrentIndex(order);
            QCOMPARE(pressSort(), SortRequest(byPosition[sortBy], orderByPosition[order]));
        }
    }
    QCOMPARE(m_sortRequests.size(), 8);
}

void TestTableTopView::testOutOfRangeSelectionsFallBackToUpdatedDescending()
{
    openSortPopover();
    SortPopoverController* content = m_header->sortPopoverController();
    content->sortByComboOutlet()->setCurrentIndex(3);
    content->sortOrderComboOutlet()->setCurrentIndex(1);
    content->sortByComboOutlet()->setCurrentIndex(-1);
    QCOMPARE(pressSort(), SortRequest(PostSortOptions::UpdatedDate, PostSortOrderOptions::Ascending));

    openSortPopover();
    content->sortOrderComboOutlet()->setCurrentIndex(-1);
    QCOMPARE(pressSort(), SortRequest(PostSortOptions::UpdatedDate, PostSortOrderOptions::Descending));
}

void TestTableTopView::testSortWithoutListenerStillClosesPopover()
{
    m_header->onPostsSortRequest = nullptr;
    openSortPopover();
    QTest::mouseClick(m_header->sortPopoverController()->sortButton(), Qt::LeftButton);
    QTRY_VERIFY(!m_header->popover()->isShown());
}

void TestTableTopView::testClickOutsidePopoverClosesItWithoutRequest()
{
    openSortPopover();
    // Through the window system, as a real click reaches an application with an open pop-up.
    QTest::mouseClick(m_host->windowHandle(), Qt::LeftButton, {},
                      QPoint(m_host->width() / 2, m_host->height() - 10));
    QTRY_VERIFY(!m_header->popover()->isShown());
    QVERIFY(m_sortRequests.isEmpty());
}

QTEST_MAIN(TestTableTopView)
#include "TestTableTopView.moc"

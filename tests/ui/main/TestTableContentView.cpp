#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"
#include "ui/main/PostListItemDelegate.h"
#include "ui/main/PostTableCellView.h"
#include "ui/main/TableContentViewController.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

BloggerPost makePost(const QString& postId, PostStatus status = PostStatus::Published, qint64 comments = 0)
{
    BloggerPost post;
    post.postId = postId;
    post.title = QStringLiteral("Title of ") + postId;
    post.contentPreview = QStringLiteral("Preview of ") + postId;
    post.postStatus = status;
    post.commentsCount = comments;
    post.updatedDate = QDateTime(QDate(2016, 5, 2), QTime(10, 30), Qt::LocalTime);
    return post;
}

QList<BloggerPost> threePosts()
{
    return {makePost(QStringLiteral("a")), makePost(QStringLiteral("b")), makePost(QStringLiteral("c"))};
}

} // namespace

class TestTableContentView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testEmptyListHasNoRowsAndClicksRaiseNothing();
    void testCommentCountShowsForPublishedPostsOnly();
    void testRowShowsUpdatedDateAndNeverWithoutOne();
    void testSyncedCopyRowAsksForImageWithSpace();
    void testPreviewShowsCharactersNotEntities();
    void testPreselectedIdHighlightsOnlyItsRow();
    void testPreselectedIdNamingNoPostHighlightsNothing();
    void testEmptyPreselectedIdHighlightsNothing();
    void testRelistingWithoutIdDropsHighlight();
    void testUserSelectionEndsPreselectedHighlight();
    void testSelectedRowIsDrawnWithSelectedLook();
    void testSelectingRaisesOnceAndReclickRaisesNothing();
    void testListingDropsOldSelection();
    void testArrowKeysRaiseForEachNewRow();
    void testArrowDownGoesOnFromPreselectedPost();
    void testFirstDownAfterTabSelectsFirstPostNotSecond();
    void testListingFromBackgroundThreadKeepsCallOrder();
    void testTenThousandPostsNeedNoWidgetPerRow();
    void testRowsArePaintedAsTheCellShowsThemAndLaidOutOnce();

private:
    void list(const QList<BloggerPost>& posts, const std::optional<QString>& preselectedId = std::nullopt);
    void clickRow(int row);
    QListView* table() const { return m_pane->tableViewOutlet(); }

    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<TableContentViewController> m_pane;
    QStringList m_requests;
};

void TestTableContentView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestTableContentView::init()
{
    m_pane = std::make_unique<TableContentViewController>();
    m_host = std::make_unique<QWidget>();
    m_host->resize(360, 600);
    auto* layout = new QVBoxLayout(m_host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    // As in the main window, the list does not start at the window's corner.
    auto* bar = new QWidget;
    bar->setFixedHeight(64);
    layout->addWidget(bar);
    layout->addWidget(m_pane->view());
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    m_requests.clear();
    m_pane->onPostSelectedRequest = [this](const QString& postId) { m_requests.append(postId); };
}

void TestTableContentView::cleanup()
{
    m_pane.reset();
    m_host.reset();
}

void TestTableContentView::list(const QList<BloggerPost>& posts, const std::optional<QString>& preselectedId)
{
    m_pane->listPosts(posts, preselectedId);
    QTRY_COMPARE(m_pane->numberOfRows(), posts.size());
    QTRY_COMPARE(m_pane->preselectedPostId(), preselectedId);
    QCoreApplication::processEvents();
}

void TestTableContentView::clickRow(int row)
{
    const QRect rect = table()->visualRect(table()->model()->index(row, 0));
    QVERIFY(rect.isValid());
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestTableContentView::testEmptyListHasNoRowsAndClicksRaiseNothing()
{
    list(threePosts());
    list({});
    QCOMPARE(m_pane->numberOfRows(), 0);
    QVERIFY(m_pane->cellForRow(0) == nullptr);
    QVERIFY(!m_pane->isRowHighlighted(0));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, QPoint(100, 30));
    QTest::keyClick(table(), Qt::Key_Down);
    QVERIFY(m_requests.isEmpty());
}

void TestTableContentView::testCommentCountShowsForPublishedPostsOnly()
{
    list({makePost(QStringLiteral("p"), PostStatus::Published, 0),
          makePost(QStringLiteral("d"), PostStatus::Draft, 5),
          makePost(QStringLiteral("s"), PostStatus::Scheduled, 5),
          makePost(QStringLiteral("q"), PostStatus::Published, 42)});

    PostTableCellView* cell = m_pane->cellForRow(0);
    QCOMPARE(cell->commentsCountLabel()->text(), QStringLiteral("0"));
    QVERIFY(cell->commentsCountLabel()->isVisibleTo(cell));
    QVERIFY(cell->commentsIcon()->isVisibleTo(cell));

    for (int row : {1, 2}) {
        cell = m_pane->cellForRow(row);
        QCOMPARE(cell->commentsCountLabel()->text(), QString());
        QVERIFY(!cell->commentsCountLabel()->isVisibleTo(cell));
        QVERIFY(!cell->commentsIcon()->isVisibleTo(cell));
    }

    cell = m_pane->cellForRow(3);
    QCOMPARE(cell->commentsCountLabel()->text(), QStringLiteral("42"));
    QVERIFY(cell->commentsIcon()->isVisibleTo(cell));
}

void TestTableContentView::testRowShowsUpdatedDateAndNeverWithoutOne()
{
    BloggerPost undated = makePost(QStringLiteral("u"));
    undated.updatedDate.reset();
    undated.publishDate = QDateTime(QDate(2014, 1, 1), QTime(8, 0), Qt::LocalTime);
    BloggerPost dated = makePost(QStringLiteral("d"));
    dated.publishDate = QDateTime(QDate(2011, 7, 9), QTime(8, 0), Qt::LocalTime);
    list({undated, dated});

    QCOMPARE(m_pane->cellForRow(0)->postDate(), QStringLiteral("Never"));
    PostTableCellView* cell = m_pane->cellForRow(1);
    QCOMPARE(cell->postDate(), GoogleDateService().displayDate(dated.updatedDate));
    QVERIFY(cell->postDate().contains(QStringLiteral("2016")));
    QCOMPARE(cell->postTitle(), QStringLiteral("Title of d"));
    QCOMPARE(cell->postPreview(), QStringLiteral("Preview of d"));
}

void TestTableContentView::testPreviewShowsCharactersNotEntities()
{
    BloggerPost post = makePost(QStringLiteral("e"));
    // As the store keeps it: tags gone, entities still written out.
    post.contentPreview = QStringLiteral("Sand &amp; water, &quot;quoted&quot; &lt;b&gt; and &amp;lt;");
    list({post});
    QCOMPARE(m_pane->cellForRow(0)->postPreview(), QStringLiteral("Sand & water, \"quoted\" <b> and &lt;"));
    QCOMPARE(m_pane->postsList().first().contentPreview, post.contentPreview);
}

void TestTableContentView::testSyncedCopyRowAsksForImageWithSpace()
{
    list({makePost(QStringLiteral("o"), PostStatus::Offline),
          makePost(QStringLiteral("s"), PostStatus::SyncedCopy)});
    QCOMPARE(m_pane->cellForRow(0)->postImage(), QStringLiteral("OfflinePostStatusIcon"));
    QCOMPARE(m_pane->cellForRow(1)->postImage(), QStringLiteral("Synced CopyPostStatusIcon"));
}

void TestTableContentView::testPreselectedIdHighlightsOnlyItsRow()
{
    list(threePosts(), QStringLiteral("b"));
    QVERIFY(!m_pane->isRowHighlighted(0));
    QVERIFY(m_pane->isRowHighlighted(1));
    QVERIFY(!m_pane->isRowHighlighted(2));
    QCOMPARE(ViewBackground::color(m_pane->cellForRow(1)), UiColors::selectedRow());
    QCOMPARE(ViewBackground::color(m_pane->cellForRow(1)->selectedView()), UiColors::accent());
    QCOMPARE(ViewBackground::color(m_pane->cellForRow(0)).alpha(), 0);
    QCOMPARE(ViewBackground::color(m_pane->cellForRow(0)->selectedView()).alpha(), 0);
    // Highlighting is a look, not a selection: nothing is raised.
    QVERIFY(m_requests.isEmpty());
    QVERIFY(table()->selectionModel()->selectedIndexes().isEmpty());
}

void TestTableContentView::testPreselectedIdNamingNoPostHighlightsNothing()
{
    list(threePosts(), QStringLiteral("gone"));
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!m_pane->isRowHighlighted(row));
    }
}

void TestTableContentView::testEmptyPreselectedIdHighlightsNothing()
{
    // Posts only on this computer may carry no Blogger id.
    list({makePost(QString(), PostStatus::Offline), makePost(QStringLiteral("b")),
          makePost(QString(), PostStatus::Offline)},
         QString());
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!m_pane->isRowHighlighted(row));
        QCOMPARE(ViewBackground::color(m_pane->cellForRow(row)).alpha(), 0);
    }
}

void TestTableContentView::testRelistingWithoutIdDropsHighlight()
{
    list(threePosts(), QStringLiteral("b"));
    QVERIFY(m_pane->isRowHighlighted(1));
    list(threePosts());
    QCOMPARE(m_pane->preselectedPostId(), std::nullopt);
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!m_pane->isRowHighlighted(row));
    }
}

void TestTableContentView::testUserSelectionEndsPreselectedHighlight()
{
    list(threePosts(), QStringLiteral("b"));
    clickRow(2);
    QCOMPARE(m_requests, QStringList{QStringLiteral("c")});
    QVERIFY(m_pane->isRowHighlighted(2));
    QVERIFY(!m_pane->isRowHighlighted(1));
    QCOMPARE(ViewBackground::color(m_pane->cellForRow(1)).alpha(), 0);
}

void TestTableContentView::testSelectedRowIsDrawnWithSelectedLook()
{
    list(threePosts());
    clickRow(1);
    QCoreApplication::processEvents();
    // The whole window, as the screen shows it.
    const QImage image = m_host->grab().toImage();
    const QRect selected = table()->visualRect(table()->model()->index(1, 0));
    const QRect plain = table()->visualRect(table()->model()->index(2, 0));
    const qreal ratio = image.devicePixelRatio();
    auto pixel = [&](int x, int y) {
        const QPoint inWindow = table()->viewport()->mapTo(m_host.get(), QPoint(x, y));
        return image.pixelColor(inWindow * ratio).rgb();
    };
    for (int y : {selected.top() + 2, selected.bottom() - 2}) {
        QCOMPARE(pixel(selected.right() - 3, y), UiColors::selectedRow().rgb());
        QCOMPARE(pixel(selected.left() + 1, y), UiColors::accent().rgb());
    }
    for (int y : {plain.top() + 2, plain.bottom() - 2}) {
        QCOMPARE(pixel(plain.right() - 3, y), UiColors::paneBackground().rgb());
        QCOMPARE(pixel(plain.left() + 1, y), UiColors::paneBackground().rgb());
    }
}

void TestTableContentView::testSelectingRaisesOnceAndReclickRaisesNothing()
{
    list(threePosts());
    clickRow(1);
    QCOMPARE(m_requests, QStringList{QStringLiteral("b")});
    clickRow(1);
    QCOMPARE(m_requests, QStringList{QStringLiteral("b")});
    clickRow(0);
    QCOMPARE(m_requests, (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
}

void TestTableContentView::testListingDropsOldSelection()
{
    list(threePosts());
    clickRow(1);
    list({makePost(QStringLiteral("x")), makePost(QStringLiteral("y")), makePost(QStringLiteral("z"))});
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!m_pane->isRowHighlighted(row));
    }
    // The row at the old place now shows another post: a click must report it.
    clickRow(1);
    QCOMPARE(m_requests, (QStringList{QStringLiteral("b"), QStringLiteral("y")}));
}

void TestTableContentView::testArrowKeysRaiseForEachNewRow()
{
    list(threePosts());
    clickRow(0);
    QTest::keyClick(table(), Qt::Key_Down);
    QTest::keyClick(table(), Qt::Key_Down);
    QTest::keyClick(table(), Qt::Key_Down); // already the last row
    QTest::keyClick(table(), Qt::Key_Up);
    QCOMPARE(m_requests, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                      QStringLiteral("b")}));
    QVERIFY(m_pane->isRowHighlighted(1));
    QVERIFY(!m_pane->isRowHighlighted(2));
}

void TestTableContentView::testArrowDownGoesOnFromPreselectedPost()
{
    list(threePosts(), QStringLiteral("b"));
    QTest::keyClick(table(), Qt::Key_Down);
    QCOMPARE(m_requests, QStringList{QStringLiteral("c")});
    QVERIFY(!m_pane->isRowHighlighted(1));
}

void TestTableContentView::testFirstDownAfterTabSelectsFirstPostNotSecond()
{
    list(threePosts());
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    // Taking the focus puts the list's cursor on the first row without selecting it.
    table()->clearFocus();
    QTRY_VERIFY(!table()->hasFocus());
    table()->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(table()->hasFocus());
    QTest::keyClick(table(), Qt::Key_Down);
    QCOMPARE(m_requests, QStringList{QStringLiteral("a")});
    QVERIFY(m_pane->isRowHighlighted(0));
    QTest::keyClick(table(), Qt::Key_Down);
    QCOMPARE(m_requests, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

void TestTableContentView::testListingFromBackgroundThreadKeepsCallOrder()
{
    TableContentViewController* pane = m_pane.get();
    QList<BloggerPost> first = threePosts();
    const QList<BloggerPost> second = {makePost(QStringLiteral("late"))};
    std::unique_ptr<QThread> worker(QThread::create([pane, &first, second] {
        pane->listPosts(first, QStringLiteral("a"));
        // The caller's list changes after the call: the pane must show what it was handed.
        first[0].title = QStringLiteral("changed");
        pane->listPosts(first, QStringLiteral("b"));
        pane->listPosts(second, QStringLiteral("late"));
    }));
    worker->start();
    QVERIFY(worker->wait(10000));
    QTRY_COMPARE(m_pane->preselectedPostId(), std::optional<QString>(QStringLiteral("late")));
    QCOMPARE(m_pane->numberOfRows(), 1);
    QCOMPARE(m_pane->postsList().first().postId, QStringLiteral("late"));
    QVERIFY(m_pane->isRowHighlighted(0));
}

void TestTableContentView::testTenThousandPostsNeedNoWidgetPerRow()
{
    QList<BloggerPost> posts;
    for (int n = 0; n < 10000; ++n) {
        posts.append(makePost(QStringLiteral("post-%1").arg(n)));
    }
    list(posts, QStringLiteral("post-9999"));
    table()->scrollToBottom();
    QCoreApplication::processEvents();
    table()->viewport()->repaint();

    QVERIFY(qobject_cast<PostListItemDelegate*>(table()->itemDelegate()));
    QVERIFY(table()->uniformItemSizes());
    QVERIFY(table()->indexAt(QPoint(10, table()->viewport()->height() - 10)).row() == 9999);
    QVERIFY(m_pane->isRowHighlighted(9999));
    int cells = 0;
    for (QWidget* widget : QApplication::allWidgets()) {
        cells += qobject_cast<PostTableCellView*>(widget) ? 1 : 0;
    }
    QCOMPARE(cells, 1);
    QVERIFY(m_host->findChildren<QWidget*>().size() < 40);
}

void TestTableContentView::testRowsArePaintedAsTheCellShowsThemAndLaidOutOnce()
{
    QList<BloggerPost> posts = threePosts();
    posts[0].title =
        QStringLiteral("A title long enough to be cut short at the end of its only line in the list");
    posts[0].contentPreview = QString(QStringLiteral("Words of the preview &amp; more words ")).repeated(12);
    posts[1].postStatus = PostStatus::Draft;
    posts[2].commentsCount = 1500;
    list(posts, QStringLiteral("b"));
    auto* delegate = qobject_cast<PostListItemDelegate*>(table()->itemDelegate());
    QVERIFY(delegate);
    const int width = table()->viewport()->width();
    for (int row = 0; row < posts.size(); ++row) {
        // What the row paints, beside the cell widget filled for it and drawn whole.
        QImage painted(width, delegate->rowHeight(), QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::white);
        {
            QPainter painter(&painted);
            QStyleOptionViewItem option;
            option.rect = QRect(0, 0, width, delegate->rowHeight());
            delegate->paint(&painter, option, table()->model()->index(row, 0));
        }
        QImage drawn(painted.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::white);
        PostTableCellView* cell = m_pane->cellForRow(row);
        QVERIFY(cell);
        cell->render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        {
            // The separator is the list's, not the cell's.
            QPainter painter(&drawn);
            painter.fillRect(QRect(16, drawn.height() - 1, width - 16, 1), UiColors::separatorLine());
        }
        int differing = 0;
        int inked = 0;
        for (int y = 0; y < painted.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb a = painted.pixel(x, y);
                const QRgb b = drawn.pixel(x, y);
                inked += b != qRgb(255, 255, 255) ? 1 : 0;
                differing += qAbs(qGray(a) - qGray(b)) > 48 ? 1 : 0;
            }
        }
        QVERIFY2(inked > 200, qPrintable(QStringLiteral("row %1 drew nothing").arg(row)));
        QVERIFY2(
            differing * 50 < inked,
            qPrintable(QStringLiteral("row %1: %2 of %3 pixels differ").arg(row).arg(differing).arg(inked)));
    }

    // Painting again lays nothing out again; a new width lays each row out once more.
    table()->viewport()->repaint();
    const int laidOut = delegate->laidOutRows();
    QCOMPARE(laidOut, int(posts.size()));
    table()->viewport()->repaint();
    QCOMPARE(delegate->laidOutRows(), laidOut);
    m_host->resize(300, 600);
    QTRY_VERIFY(table()->viewport()->width() < width);
    table()->viewport()->repaint();
    QCOMPARE(delegate->laidOutRows(), int(posts.size()));
}

QTEST_MAIN(TestTableContentView)
#include "TestTableContentView.moc"

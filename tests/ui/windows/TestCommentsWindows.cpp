#include "HostilePictures.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/NetworkPictureDecoder.h"
#include "platform/gui/RemoteImageCache.h"
#include "ui/main/SpinnerView.h"
#include "ui/windows/AvatarImage.h"
#include "ui/windows/CommentListItemDelegate.h"
#include "ui/windows/CommentTableCellView.h"
#include "ui/windows/CommentTextLabel.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/NewCommentWindowController.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTcpServer>
#include <QTextLayout>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

using namespace HostilePictures;

QByteArray pngOf(const QColor& color, int side = 40)
{
    return plain(color, side);
}

QByteArray pngOfMono(int side)
{
    return plain(Qt::black, side, "PNG", false, QImage::Format_Mono);
}

// Holds every thread of the global pool until it goes.
class GlobalPoolHeld
{
public:
    GlobalPoolHeld()
    {
        for (int i = 0; i < m_threads; ++i) {
            QThreadPool::globalInstance()->start([this] {
                m_running.release();
                m_released.acquire();
            });
        }
    }
    ~GlobalPoolHeld()
    {
        m_released.release(m_threads);
        QThreadPool::globalInstance()->waitForDone();
    }
    bool waitUntilHeld() { return m_running.tryAcquire(m_threads, PENHOLLOW_TRY_TIMEOUT); }

private:
    const int m_threads = QThreadPool::globalInstance()->maxThreadCount();
    QSemaphore m_running;
    QSemaphore m_released;
};

BloggerPost postTitled(const QString& title, const QString& postId = QStringLiteral("p1"))
{
    BloggerPost post;
    post.postId = postId;
    post.title = title;
    post.postStatus = PostStatus::Published;
    return post;
}

BloggerPostComment comment(const QString& id, const QString& author, const QString& content,
                           const QString& picture = QString(), const QString& link = QString())
{
    return BloggerPostComment(QStringLiteral("b1"), QStringLiteral("p1"), id,
                              BloggerUser(QStringLiteral("u-") + id, author, link, picture),
                              QDateTime(QDate(2015, 3, 9), QTime(7, 31), Qt::LocalTime), content);
}

// The pixels of what a label shows, for comparing pictures.
QImage shown(const QLabel* label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

// The comments list, its cells and the new-comment window, worked through their widgets.
class TestCommentsWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->start());
        m_server->route("/red.png", pngOf(Qt::red), "image/png");
        m_server->route("/blank.png", pngOf(Qt::transparent, 1), "image/png");
        m_server->route("/blue.png", pngOf(Qt::blue), "image/png");
        m_server->route("/page.html", "<html>no picture</html>", "text/html");
    }

    void init()
    {
        RemoteImageCache::shared().clear();
        m_list = std::make_unique<CommentsListWindowController>();
    }

    void cleanup() { m_list.reset(); }

    // ---- the list ----

    void testEmptyListHidesTableAndSaysNoComments()
    {
        QVERIFY(show(postTitled("Quiet"), {}));
        QTRY_COMPARE(m_list->commentsCountLabelOutlet()->text(), QStringLiteral("No Comments"));
        QVERIFY(!m_list->tableViewOutlet()->isVisible());
        QTRY_COMPARE(m_list->window()->windowTitle(), QStringLiteral("Comments \u00B7 Quiet"));

        m_list->showComments(postTitled("Quiet"), {comment("c1", "Ned", "Hello")});
        QTRY_VERIFY(m_list->tableViewOutlet()->isVisible());
        QCOMPARE(m_list->commentsCountLabelOutlet()->text(), QString());
        QCOMPARE(m_list->tableViewOutlet()->model()->rowCount(), 1);
    }

    void testCommentsGivenBeforeTheWindowLoadsShowWhenItOpens()
    {
        m_list->showComments(postTitled(""), {comment("c1", "Ned", "One"), comment("c2", "Iris", "Two")});
        QVERIFY(TestSupport::mainThreadCaughtUp());
        QVERIFY(!m_list->isWindowLoaded());
        m_list->showWindow();
        QCOMPARE(m_list->window()->windowTitle(), QStringLiteral("Comments \u00B7 "));
        // The window opens at once, with its list (not "No Comments") and the rows in the next turn.
        QVERIFY(m_list->tableViewOutlet()->isVisible());
        QCOMPARE(m_list->commentsCountLabelOutlet()->text(), QString());
        QTRY_COMPARE(m_list->tableViewOutlet()->model()->rowCount(), 2);
        QVERIFY(m_list->tableViewOutlet()->isVisible());
    }

    void testWithoutPostTitleStaysAsInterfaceFileHasIt()
    {
        m_list->showWindow();
        QCOMPARE(m_list->window()->windowTitle(), QStringLiteral("Comments"));
        QCOMPARE(m_list->commentsCountLabelOutlet()->text(), QStringLiteral("No Comments"));
    }

    void testShowCommentsFromAnotherThreadArrivesWhole()
    {
        m_list->showWindow();
        QList<BloggerPostComment> comments;
        for (int i = 0; i < 50; ++i) {
            comments << comment(QString::number(i), "Reader", QStringLiteral("Comment %1").arg(i));
        }
        std::unique_ptr<QThread> thread(QThread::create([this, comments] {
            for (int round = 0; round < 20; ++round) {
                m_list->showComments(postTitled(QStringLiteral("Round %1").arg(round)),
                                     comments.mid(0, round + 30));
            }
        }));
        thread->start();
        QVERIFY(thread->wait(5000));
        QTRY_COMPARE(m_list->window()->windowTitle(), QStringLiteral("Comments \u00B7 Round 19"));
        QCOMPARE(m_list->comments().size(), 49);
    }

    void testRowShowsNameDateAndTextAsPlainText()
    {
        QVERIFY(show(postTitled("T"), {comment("c1", "Ned Harrow",
                                               "Was it &lt;i&gt;that&lt;/i&gt; cold?<br />Brr &amp; more")}));
        CommentTableCellView& cell = m_list->itemDelegate()->filledCell(0);
        QCOMPARE(cell.commentUserName(), QStringLiteral("Ned Harrow"));
        QCOMPARE(cell.commentDateAndTime(),
                 GoogleDateService().displayDate(QDateTime(QDate(2015, 3, 9), QTime(7, 31), Qt::LocalTime)));
        QCOMPARE(cell.commentContent(), QStringLiteral("Was it <i>that</i> cold?\nBrr & more"));
        // Shown as the characters they are, never as markup.
        QCOMPARE(cell.contentLabelOutlet()->textFormat(), Qt::PlainText);
        QCOMPARE(cell.nameLabelOutlet()->textFormat(), Qt::PlainText);
        QCOMPARE(cell.commentUserAvatar(), QString());
        // The text reads in the window's own face and size.
        QCOMPARE(QFontInfo(cell.contentLabelOutlet()->font()).family(),
                 QFontInfo(m_list->window()->font()).family());
        QCOMPARE(QFontInfo(cell.contentLabelOutlet()->font()).pixelSize(),
                 QFontInfo(m_list->window()->font()).pixelSize());
    }

    void testLineBreakMakesTheRowOneLineHigher()
    {
        QVERIFY(
            show(postTitled("T"), {comment("c1", "A", "two words"), comment("c2", "B", "two<br />words")}));
        CommentListItemDelegate* rows = m_list->itemDelegate();
        const int oneLine = rows->rowHeight(0);
        const int twoLines = rows->rowHeight(1);
        const int lineHeight = int(std::ceil(CommentTextLabel::measureText("two", 1000).height()));
        QCOMPARE(twoLines - oneLine, lineHeight);
        QCOMPARE(oneLine, lineHeight + CommentTableCellView::ChromeHeight);
        // The cell drawn is as high as its row, its text 7 from the left and 10 higher than the text.
        CommentTableCellView& cell = rows->filledCell(1);
        QCOMPARE(cell.height(), twoLines);
        QCOMPARE(cell.contentLabelOutlet()->x(), 7);
        QCOMPARE(cell.contentLabelOutlet()->height(), 2 * lineHeight + 10);
        QCOMPARE(cell.contentLabelOutlet()->width(), cell.width() - 16);
    }

    void testRowsBeyondTheFirstScreenEndUpAtTheirMeasuredHeight()
    {
        QList<BloggerPostComment> comments;
        for (int i = 0; i < 120; ++i) {
            // Narrow and wide letters: estimates from the length are wrong for them.
            const QString text = i % 3 == 0   ? QStringLiteral("Yes")
                                 : i % 3 == 1 ? QStringLiteral("il ").repeated(80 + i)
                                              : QStringLiteral("WM ").repeated(60 + i);
            comments << comment(QString::number(i), "Reader", text);
        }
        m_list->window()->resize(420, 500);
        CommentListItemDelegate* rows = m_list->itemDelegate();
        QListView* table = m_list->tableViewOutlet();
        // Idle measuring held back, to see the list laid out from estimates first.
        rows->setFirstTurnDelay(1500);
        QVERIFY(show(postTitled("T"), comments));
        QTRY_VERIFY(table->visualRect(table->model()->index(119, 0)).isValid());
        // The first screen is measured at once, the far rows are estimated.
        QVERIFY(rows->isMeasured(0) && rows->isMeasured(3));
        QVERIFY(!rows->isMeasured(119));
        int estimatedWrong = 0;
        for (int row = 60; row < 120; ++row) {
            estimatedWrong +=
                table->visualRect(table->model()->index(row, 0)).height() != rows->rowHeight(row);
        }
        QVERIFY(estimatedWrong > 10);
        QTRY_VERIFY(rows->isMeasured(119) && rows->isMeasured(100));
        QTRY_VERIFY([&] {
            for (int row = 0; row < 120; ++row) {
                // An estimated row may be measured later and move the rows below it.
                if (!rows->isMeasured(row) ||
                    table->visualRect(table->model()->index(row, 0)).height() != rows->rowHeight(row)) {
                    return false;
                }
            }
            return true;
        }());
        // Scrolled to the end, the last row is drawn whole; scrolled again while the range settles.
        QTRY_VERIFY([&] {
            table->scrollToBottom();
            return table->visualRect(table->model()->index(119, 0)).bottom() ==
                   table->viewport()->height() - 1;
        }());
    }

    void testLongWordWrapsInsteadOfRunningOut()
    {
        const QString address = QStringLiteral("https://example.com/") + QString(300, QLatin1Char('a'));
        m_list->window()->resize(420, 500);
        QVERIFY(show(postTitled("T"), {comment("c1", "A", address)}));
        const QSizeF size =
            CommentTextLabel::measureText(address, m_list->itemDelegate()->layoutWidth() - 16);
        QVERIFY(size.width() <= m_list->itemDelegate()->layoutWidth() - 16);
        QVERIFY(m_list->itemDelegate()->rowHeight(0) >
                3 * QFontMetrics(CommentTextLabel::commentFont()).height());
    }

    void testLongTextIsLaidOutInPiecesAsOneLayoutLaysItOut()
    {
        // Words, line ends, runs without blanks far longer than a piece, pairs of surrogates and accents.
        QString text;
        for (int n = 0; text.size() < 6 * CommentTextLabel::PieceLength; ++n) {
            text += QStringLiteral("word%1 ").arg(n);
            if (n % 40 == 0) {
                text += QString(1500 + n, QLatin1Char('x')) + QStringLiteral("\n");
            }
            if (n % 13 == 0) {
                text += QStringLiteral("\U0001F600e\u0301");
            }
        }
        for (const int width : {37, 300, 2000}) {
            QTextLayout whole(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator),
                              CommentTextLabel::commentFont());
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            whole.setTextOption(option);
            QStringList expected;
            qreal height = 0;
            whole.beginLayout();
            for (QTextLine line = whole.createLine(); line.isValid(); line = whole.createLine()) {
                line.setLineWidth(width);
                expected << whole.text().mid(line.textStart(), line.textLength());
                height += line.height();
            }
            whole.endLayout();
            const QStringList lines = CommentTextLabel::lines(text, width);
            QCOMPARE(lines, expected);
            QCOMPARE(CommentTextLabel::measureText(text, width).height(), height);
        }
    }

    void testLongTextWithoutBlanksWrapsWhole()
    {
        const QString text = QString(256 * 1024, QLatin1Char('w'));
        const QStringList lines = CommentTextLabel::lines(text, 400);
        QVERIFY(lines.size() > 1000);
        QCOMPARE(lines.join(QString()), text);
        for (const QString& line : lines) {
            QVERIFY(QFontMetricsF(CommentTextLabel::commentFont()).horizontalAdvance(line) <= 401);
        }
        m_list->window()->resize(420, 500);
        QVERIFY(show(postTitled("T"), {comment("c1", "A", text), comment("c2", "B", "after")}));
        QVERIFY(m_list->itemDelegate()->rowHeight(0) >
                lines.size() * QFontMetrics(CommentTextLabel::commentFont()).height() / 2);
    }

    void testClickOnRowOpensItsMenuAndBelowTheRowsNothing()
    {
        QVERIFY(show(postTitled("T"), {comment("c1", "Ned", "Hi"), comment("c2", "Iris", "Ho")}));
        QListView* table = m_list->tableViewOutlet();
        QTRY_VERIFY(table->visualRect(table->model()->index(1, 0)).isValid());
        const QRect last = table->visualRect(table->model()->index(1, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(20, last.bottom() + 30));
        QVERIFY(!m_list->commentMenu());

        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, last.center());
        QTRY_VERIFY(m_list->commentMenu() && m_list->commentMenu()->isVisible());
        QStringList items;
        for (QAction* action : m_list->commentMenu()->actions()) {
            items << action->text();
            QVERIFY(!action->icon().isNull());
        }
        QCOMPARE(items, QStringList({"Delete Comment", "Navigate to Profile"}));
        QCOMPARE(m_list->menuCommentId(), QStringLiteral("c2"));
        m_list->commentMenu()->close();
        QTRY_VERIFY(!m_list->commentMenu() || !m_list->commentMenu()->isVisible());

        // Return on the current row opens its menu too, under the row.
        table->setCurrentIndex(table->model()->index(0, 0));
        QTest::keyClick(table, Qt::Key_Return);
        QTRY_VERIFY(m_list->commentMenu() && m_list->commentMenu()->isVisible());
        QCOMPARE(m_list->menuCommentId(), QStringLiteral("c1"));
        m_list->commentMenu()->close();
    }

    void testDeleteLeavesTheBusyStateToTheAnswer()
    {
        QVERIFY(show(postTitled("T", "p9"), {comment("c1", "Ned", "Hi"), comment("c2", "Iris", "Ho")}));
        QStringList requests;
        bool busyWhenAsked = true;
        m_list->onDeleteCommentRequest = [&](const QString& commentId, const QString& postId) {
            busyWhenAsked = m_list->isLoading() || !m_list->downloadCommentsButtonOutlet()->isEnabled();
            requests << commentId + "/" + postId;
        };
        m_list->cellClick(1);
        m_list->commentMenu()->actions().first()->trigger();
        QCOMPARE(requests, QStringList({"c2/p9"}));
        // The question comes first: busy only once the user has said Delete.
        QVERIFY(!busyWhenAsked);
        QVERIFY(!m_list->isLoading());
    }

    void testEscapeAndCtrlWCloseBothWindows()
    {
        QVERIFY(show(postTitled("T", "p9"), {comment("c1", "Ned", "Hi")}));
        QWidget* list = m_list->window();
        list->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(list));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : list, Qt::Key_Escape);
        QTRY_VERIFY(!list->isVisible());

        NewCommentWindowController window;
        window.prepare(postTitled("Low tide", "p3"), BloggerUser("u", "Mara Quill", "", ""));
        window.showWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.window()));
        window.textFieldOutlet()->setFocus();
        QTest::keyClick(window.textFieldOutlet(), Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!window.window()->isVisible());
    }

    void testNavigateToProfileLeavesBusyStateAlone()
    {
        QVERIFY(show(postTitled("T"), {comment("c1", "Ned", "Hi", QString(), "https://blogger/profile/1")}));
        QStringList links;
        m_list->onNavigateToProfileRequest = [&](const QString& link) { links << link; };
        m_list->cellClick(0);
        m_list->commentMenu()->actions().last()->trigger();
        QCOMPARE(links, QStringList({"https://blogger/profile/1"}));
        QVERIFY(!m_list->isLoading());
        QVERIFY(m_list->newCommentButtonOutlet()->isEnabled());
    }

    void testMenuActsOnTheCommentItOpenedOnAfterRefresh()
    {
        QVERIFY(show(postTitled("T", "p1"), {comment("c1", "Ned", "Hi"), comment("c2", "Iris", "Ho")}));
        QStringList deleted;
        QStringList links;
        m_list->onDeleteCommentRequest = [&](const QString& commentId, const QString&) {
            deleted << commentId;
        };
        m_list->onNavigateToProfileRequest = [&](const QString& link) { links << link; };

        // The list grew while the menu was open: the same comment now sits on another row.
        m_list->cellClick(1);
        m_list->showComments(postTitled("T", "p1"),
                             {comment("c0", "New", "First!"), comment("c1", "Ned", "Hi"),
                              comment("c2", "Iris", "Ho", QString(), "https://iris")});
        QTRY_COMPARE(m_list->comments().size(), 3);
        m_list->commentMenu()->actions().last()->trigger();
        QCOMPARE(links, QStringList({"https://iris"}));

        // The comment is gone after a refresh: neither action does anything.
        m_list->cellClick(2);
        m_list->showComments(postTitled("T", "p1"), {comment("c0", "New", "First!")});
        QTRY_COMPARE(m_list->comments().size(), 1);
        m_list->commentMenu()->actions().first()->trigger();
        m_list->commentMenu()->actions().last()->trigger();
        QVERIFY(deleted.isEmpty());
        QCOMPARE(links.size(), 1);
        QVERIFY(!m_list->isLoading());
    }

    void testLoadingSwitchesSpinnerAndBothButtons()
    {
        QVERIFY(show(postTitled("T"), {}));
        QVERIFY(!m_list->spinningIndicatorOutlet()->isVisible());
        m_list->loading(true);
        QTRY_VERIFY(m_list->spinningIndicatorOutlet()->isVisible());
        QVERIFY(m_list->spinningIndicatorOutlet()->isAnimating());
        QVERIFY(!m_list->downloadCommentsButtonOutlet()->isEnabled());
        QVERIFY(!m_list->newCommentButtonOutlet()->isEnabled());
        m_list->loading(false);
        QTRY_VERIFY(!m_list->spinningIndicatorOutlet()->isVisible());
        QVERIFY(m_list->downloadCommentsButtonOutlet()->isEnabled());
        QVERIFY(m_list->newCommentButtonOutlet()->isEnabled());
    }

    void testButtonsRaiseTheirRequestWithThePostIdOnlyWithAPost()
    {
        QStringList requests;
        m_list->onDownloadCommentsRequest = [&](const QString& postId) { requests << "download " + postId; };
        m_list->onAddCommentRequest = [&](const QString& postId) { requests << "add " + postId; };
        m_list->showWindow();
        QTest::mouseClick(m_list->downloadCommentsButtonOutlet(), Qt::LeftButton);
        QTest::mouseClick(m_list->newCommentButtonOutlet(), Qt::LeftButton);
        QVERIFY(requests.isEmpty());
        m_list->showComments(postTitled("T", "p7"), {});
        QTRY_VERIFY(m_list->post().has_value());
        QTest::mouseClick(m_list->downloadCommentsButtonOutlet(), Qt::LeftButton);
        QTest::mouseClick(m_list->newCommentButtonOutlet(), Qt::LeftButton);
        QCOMPARE(requests, QStringList({"download p7", "add p7"}));
    }

    void testAvatarsArriveInTheBackgroundAndFailuresShowThePlaceholder()
    {
        const QString red = m_server->url("/red.png").toString();
        const QString notPicture = m_server->url("/page.html").toString();
        QVERIFY(show(postTitled("T"),
                     {comment("c1", "Ned", "Hi", red), comment("c2", "Anon", "Ho", notPicture),
                      comment("c3", "Nobody", "Hm", "not an address"),
                      comment("c4", "Anonymous", "Hey", m_server->url("/blank.png").toString())}));
        CommentListItemDelegate* rows = m_list->itemDelegate();
        // Never waited for while a row is drawn: the placeholder shows meanwhile.
        auto isPlaceholder = [](const QLabel* avatar) {
            const QImage image = shown(avatar);
            return !image.isNull() && image.pixelColor(2 * image.width() / 10, image.height() / 2) ==
                                          AvatarImage::placeholderColor();
        };
        QVERIFY(isPlaceholder(rows->filledCell(0).avatarOutlet()));
        QTRY_VERIFY(RemoteImageCache::shared().cachedImage(red).has_value());
        QTRY_VERIFY(RemoteImageCache::shared().cachedImage(notPicture).has_value());
        const QImage avatar = shown(rows->filledCell(0).avatarOutlet());
        QVERIFY(!avatar.isNull());
        QCOMPARE(avatar.pixelColor(avatar.width() / 2, avatar.height() / 2), QColor(Qt::red));
        QVERIFY(isPlaceholder(rows->filledCell(1).avatarOutlet()));
        QVERIFY(isPlaceholder(rows->filledCell(2).avatarOutlet()));
        // Blogger's transparent pixel for an author without a picture is no picture either.
        QTRY_VERIFY(
            RemoteImageCache::shared().cachedImage(m_server->url("/blank.png").toString()).has_value());
        QVERIFY(isPlaceholder(rows->filledCell(3).avatarOutlet()));
        // Asked for once each, however often the rows are drawn.
        rows->filledCell(0);
        rows->filledCell(0);
        QCOMPARE(m_server->requestsFor("/red.png").size(), 1);
    }

    // Every row drawn had its picture fetched and decoded, whether its window was still open or not.
    void testClosedListFetchesNoMoreOfItsAvatars()
    {
        const QByteArray slow = slowPng(RemoteImageCache::MaximumBytes - 1024);
        QList<BloggerPostComment> comments;
        for (int i = 0; i < 12; ++i) {
            const QByteArray path = "/row/" + QByteArray::number(i) + ".png";
            m_server->route(path, slow, "image/png");
            comments << comment(QString::number(i), "Reader", "Hi", m_server->url(path).toString());
        }
        m_list->window()->resize(500, 1000);
        QVERIFY(show(postTitled("T"), comments));
        const auto rowsFetched = [this] {
            const QList<LocalHttpServer::Request> requests = m_server->requests();
            return std::count_if(requests.cbegin(), requests.cend(), [](const LocalHttpServer::Request& r) {
                return r.path().startsWith("/row/");
            });
        };
        QTRY_VERIFY(rowsFetched() > 0);
        m_list->close();
        // A picture asked for after the close comes after whatever the list had started.
        std::optional<QImage> later;
        RemoteImageCache::shared().load(m_server->url("/blue.png").toString(), this,
                                        [&](const QImage& image) { later = image; });
        QTRY_VERIFY(later.has_value());
        QVERIFY2(rowsFetched() <= RemoteImageCache::MaximumPending,
                 qPrintable(QString::number(rowsFetched())));
    }

    // Any format Qt reads was taken, judged by the size its header declared, on the store's pool: an SVG
    // took seconds, an ICO's PNG was read whole, a GIF's or JPEG's few kilobytes made minutes of work.
    void testAvatarIsOnlyABoundedPngJpegOrGifDecodedOffTheStorePool_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("arrives");
        const QSize refused(0, 0); // a null image
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
                               "<rect width='10' height='10' fill='red'/></svg>";
        QTest::newRow("svgz") << gzipped(svg) << refused;
        QTest::newRow("svg") << svg << refused;
        QTest::newRow("ico holding a png over the cap") << iconOf(pngOfMono(3000)) << refused;
        QTest::newRow("png over the cap") << pngOfMono(5600) << refused;
        QTest::newRow("png holding more than its header declares")
            << pngHolding(16, deflatedZeros(1)) << refused;
        QTest::newRow("gif naming more pixels than its frame") << gifOf(2, {4, 0, 0}, 3000) << refused;
        QTest::newRow("jpeg of endless scans")
            << jpegRepeatingLastScan(plain(Qt::blue, 64, "JPEG", true), 150) << refused;
        QTest::newRow("png") << withChunksAfterHeader(pngOf(Qt::red), textChunk(4096)) << QSize(40, 40);
        QTest::newRow("jpeg") << plain(Qt::blue, 48, "JPEG") << QSize(48, 48);
        QTest::newRow("progressive jpeg") << plain(Qt::blue, 48, "JPEG", true) << QSize(48, 48);
        QTest::newRow("gif") << gifOf(2, {4, 1, 1}, 2) << QSize(2, 2);
    }

    void testAvatarIsOnlyABoundedPngJpegOrGifDecodedOffTheStorePool()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, arrives);
        QVERIFY(&NetworkPictureDecoder::pool() != QThreadPool::globalInstance());
        const QByteArray path = "/avatar-" + QByteArray(QTest::currentDataTag()).replace(' ', '-');
        m_server->route(path, bytes, "image/png");
        // The store's queue runs on the global pool: held whole, no picture may wait for it.
        GlobalPoolHeld held;
        QVERIFY(held.waitUntilHeld());
        RemoteImageCache cache;
        std::optional<QImage> avatar;
        cache.load(m_server->url(path).toString(), this, [&](const QImage& image) { avatar = image; });
        QTRY_VERIFY(avatar.has_value());
        QCOMPARE(avatar->size(), arrives);
        // Nothing but the picture is read: a PNG's text chunks are never inflated.
        QVERIFY(avatar->text().isEmpty());
    }

    // A GIF of 1 x 1 whose frame is larger: the decoder walks the whole frame.
    void testGifWalkingMorePixelsThanItDeclaresIsHandedBackUndecoded()
    {
        QByteArray gif = gifOf(64, {4, 0, 0}, 64 * 64 / 2);
        gif[6] = gif[8] = char(1);
        QCOMPARE(NetworkPictureDecoder::declaredPixels(gif), 1);
        const auto outcome =
            NetworkPictureDecoder::decodeWithin(gif, RemoteImageCache::MaximumPixels, 256, 1);
        QVERIFY(outcome.image.isNull());
        QCOMPARE(outcome.largerPixels, 64 * 64);
    }

    // JPEGs that declared 1 pixel to a scan of ours and 2048 x 2048 to their decoder went first on both
    // decoding threads, each for most of a second: a plain picture asked for after them waited for them all.
    void testCrowdOfPicturesLyingAboutTheirSizeLetsAPlainOneThrough()
    {
        constexpr int Crowd = 60;
        const QByteArray liar = jpegDeclaringOnePixel(plain(Qt::blue, 2048, "JPEG", true));
        QCOMPARE(NetworkPictureDecoder::declaredPixels(liar), 2048 * 2048);
        const auto crowdPath = [](int i) { return "/crowd/" + QByteArray::number(i) + ".jpg"; };
        for (int i = 0; i < Crowd; ++i) {
            m_server->route(crowdPath(i), liar, "image/jpeg");
        }
        m_server->route("/plain-8.png", pngOf(Qt::red, 8), "image/png");
        RemoteImageCache cache;
        auto crowdRows = std::make_unique<QObject>();
        int crowdBefore = 0;
        for (int i = 0; i < Crowd; ++i) {
            cache.load(m_server->url(crowdPath(i)).toString(), crowdRows.get(),
                       [&](const QImage&) { ++crowdBefore; });
        }
        std::optional<QImage> plainPicture;
        cache.load(m_server->url("/plain-8.png").toString(), this, [&](const QImage& image) {
            plainPicture = image;
            crowdRows.reset();
        });
        QTRY_VERIFY(plainPicture.has_value() || crowdBefore >= Crowd / 2);
        QVERIFY2(plainPicture.has_value() && crowdBefore < Crowd / 2,
                 qPrintable(QString::number(crowdBefore)));
        QCOMPARE(plainPicture->size(), QSize(8, 8));
        // The crowd's rows went: what was not yet fetched never is.
        std::optional<QImage> later;
        cache.load(m_server->url("/blue.png").toString(), this, [&](const QImage& image) { later = image; });
        QTRY_VERIFY(later.has_value());
        qsizetype fetched = 0;
        for (int i = 0; i < Crowd; ++i) {
            fetched += m_server->requestsFor(crowdPath(i)).size();
        }
        QVERIFY2(fetched < Crowd / 2, qPrintable(QString::number(fetched)));
    }

    void testProtocolRelativePictureAddressIsReadAsHttps()
    {
        QCOMPARE(RemoteImageCache::imageAddress("//lh3.googleusercontent.com/a/s35/photo.jpg"),
                 QUrl("https://lh3.googleusercontent.com/a/s35/photo.jpg"));
        QCOMPARE(RemoteImageCache::imageAddress("http://img1.blogblog.com/img/blank.gif"),
                 QUrl("http://img1.blogblog.com/img/blank.gif"));
        QVERIFY(RemoteImageCache::imageAddress("file:///etc/passwd").isEmpty());
        QVERIFY(RemoteImageCache::imageAddress("#").isEmpty());
        QVERIFY(RemoteImageCache::imageAddress("").isEmpty());
    }

    void testSlowPictureEndsWithTheTimeOut()
    {
        // A server that accepts and never answers.
        QTcpServer hang;
        QVERIFY(hang.listen(QHostAddress::LocalHost));
        const QString address = QStringLiteral("http://127.0.0.1:%1/slow.png").arg(hang.serverPort());
        RemoteImageCache cache;
        cache.setTimeout(0.5);
        QImage result(1, 1, QImage::Format_ARGB32);
        bool done = false;
        cache.load(address, this, [&](const QImage& image) {
            result = image;
            done = true;
        });
        QTRY_VERIFY(done);
        QVERIFY(result.isNull());
    }

    // ---- the new-comment window ----

    void testNewCommentShowsPostAndUserWithEmptyText()
    {
        NewCommentWindowController window;
        window.prepare(postTitled("Low tide", "p3"),
                       BloggerUser("u", "Mara Quill", "", m_server->url("/blue.png").toString()));
        window.showWindow();
        QTRY_COMPARE(window.postId(), QStringLiteral("p3"));
        QCOMPARE(window.window()->windowTitle(), QStringLiteral("New comment  \u00B7 Low tide"));
        QCOMPARE(window.postTitleLabelOutlet()->text(), QStringLiteral("New comment for Low tide"));
        QCOMPARE(window.userNameLabelOutlet()->text(), QStringLiteral("Mara Quill"));
        QCOMPARE(window.textFieldOutlet()->toPlainText(), QString());
        QTRY_COMPARE(window.shownPictureAddress(), m_server->url("/blue.png").toString());
        const QImage picture = shown(window.imageViewOutlet());
        QCOMPARE(picture.pixelColor(picture.width() / 2, picture.height() / 2), QColor(Qt::blue));
    }

    void testSecondRequestShowsTheNewPostAndForgetsTheText()
    {
        NewCommentWindowController window;
        window.prepare(postTitled("First", "p1"), BloggerUser("u", "Mara", "", ""));
        window.showWindow();
        QTRY_VERIFY(window.isWindowLoaded());
        QTest::keyClicks(window.textFieldOutlet(), "Typed the first time");
        window.close();
        window.prepare(postTitled("Second", "p2"), BloggerUser("v", "Ned", "", ""));
        window.showWindow();
        QTRY_COMPARE(window.postTitleLabelOutlet()->text(), QStringLiteral("New comment for Second"));
        QCOMPARE(window.window()->windowTitle(), QStringLiteral("New comment  \u00B7 Second"));
        QCOMPARE(window.userNameLabelOutlet()->text(), QStringLiteral("Ned"));
        QCOMPARE(window.textFieldOutlet()->toPlainText(), QString());
        QVERIFY(window.window()->isVisible());
    }

    void testPictureThatCannotBeHadShowsUserAvatar()
    {
        const QImage userAvatar = ImageLibrary::pixmap("UserAvatar", QSize(44, 44), 1.0)
                                      .toImage()
                                      .convertToFormat(QImage::Format_ARGB32);
        for (const QString& address :
             {QString(), QStringLiteral("not an address"), m_server->url("/page.html").toString(),
              QStringLiteral("//127.0.0.1:1/x.png")}) {
            NewCommentWindowController window;
            window.prepare(postTitled("T"), BloggerUser("u", "Mara", "", address));
            window.showWindow();
            QTRY_COMPARE(window.userNameLabelOutlet()->text(), QStringLiteral("Mara"));
            // The cache hands its answer to the window as it stores it; what the window does next is queued.
            QTRY_VERIFY(RemoteImageCache::shared().cachedImage(address).has_value());
            QVERIFY(TestSupport::mainThreadCaughtUp());
            QCOMPARE(window.shownPictureAddress(), QString());
            QCOMPARE(shown(window.imageViewOutlet()), userAvatar);
        }
    }

    void testPublishHandsTheTextAndPostIdAsTyped()
    {
        NewCommentWindowController window;
        QList<BloggerPostComment> published;
        window.onPublishCommentRequest = [&](const BloggerPostComment& c) { published << c; };
        window.prepare(postTitled("T", "p5"), std::nullopt);
        window.showWindow();
        QTRY_COMPARE(window.postId(), QStringLiteral("p5"));
        QTest::mouseClick(window.publishCommentButtonOutlet(), Qt::LeftButton);
        QTest::keyClicks(window.textFieldOutlet(), "  <b>Nice</b> & true  ");
        QTest::mouseClick(window.publishCommentButtonOutlet(), Qt::LeftButton);
        QCOMPARE(published.size(), 2);
        QCOMPARE(published[0].content, QString());
        QCOMPARE(published[0].postId, QStringLiteral("p5"));
        QCOMPARE(published[1].content, QStringLiteral("  <b>Nice</b> & true  "));
        // The window changes nothing itself: still open, text kept.
        QVERIFY(window.window()->isVisible());
        QCOMPARE(window.textFieldOutlet()->toPlainText(), QStringLiteral("  <b>Nice</b> & true  "));
    }

    void testPublishBeforeAnyPostCarriesNoPostId()
    {
        NewCommentWindowController window;
        QList<BloggerPostComment> published;
        window.onPublishCommentRequest = [&](const BloggerPostComment& c) { published << c; };
        window.showWindow();
        window.publishCommentButtonClick();
        QCOMPARE(published.size(), 1);
        QCOMPARE(published[0].postId, QString());
    }

    void testLoadingSwitchesSpinnerAndPublishButton()
    {
        NewCommentWindowController window;
        window.showWindow();
        QVERIFY(!window.spinningIndicatorOutlet()->isVisible());
        window.loading(true);
        QVERIFY(window.publishCommentButtonOutlet()->isEnabled()); // applied later, on the main thread
        QTRY_VERIFY(!window.publishCommentButtonOutlet()->isEnabled());
        QVERIFY(window.spinningIndicatorOutlet()->isVisible());
        window.loading(false);
        QTRY_VERIFY(window.publishCommentButtonOutlet()->isEnabled());
        QVERIFY(!window.spinningIndicatorOutlet()->isVisible());
    }

private:
    // Hands the comments over as the controller does, opens the window and waits until they are shown.
    bool show(const BloggerPost& post, const QList<BloggerPostComment>& comments)
    {
        m_list->showComments(post, comments);
        m_list->showWindow();
        return QTest::qWaitFor([&] { return m_list->post() && m_list->comments() == comments; }, 20000);
    }

    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<CommentsListWindowController> m_list;
};

QTEST_MAIN(TestCommentsWindows)
#include "TestCommentsWindows.moc"

#include "CommentsListWindowController.h"

#include "CommentListItemDelegate.h"
#include "CommentListModel.h"
#include "CommentTableCellView.h"
#include "ui_CommentsListWindow.h"

#include "common/GoogleDateService.h"
#include "platform/Dispatch.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/RemoteImageCache.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"
#include "ui/main/FocusRing.h"
#include "ui/main/KeyboardFocus.h"
#include "ui/main/SpinnerView.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include <utility>

namespace {

// Drawn at 12 x 12 whatever the image's own size, sharp on high-density screens too.
QIcon menuIcon(const QString& imageName)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(ImageLibrary::pixmap(imageName, QSize(12, 12), ratio));
    }
    return icon;
}

} // namespace

CommentsListWindowController::CommentsListWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::CommentsListWindow>())
{
}

CommentsListWindowController::~CommentsListWindowController()
{
    delete m_menu.data();
}

QString CommentsListWindowController::windowTitleFor(const QString& postTitle)
{
    return QStringLiteral("Comments \u00B7 ") + postTitle;
}

std::unique_ptr<QWidget> CommentsListWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

void CommentsListWindowController::windowDidLoad()
{
    closeWithKeys();
    ViewBackground::setColor(window(), UiColors::banner());
    m_ui->downloadCommentsButtonOutlet->setIcon(ImageLibrary::icon(QStringLiteral("DownloadIcon")));
    m_ui->newCommentButtonOutlet->setIcon(ImageLibrary::icon(QStringLiteral("CommentsMenuOption")));
    // The label lies over the list: clicks must reach the rows under it.
    m_ui->commentsCountLabelOutlet->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette labelPalette = m_ui->commentsCountLabelOutlet->palette();
    labelPalette.setColor(QPalette::WindowText, UiColors::normalText());
    m_ui->commentsCountLabelOutlet->setPalette(labelPalette);

    QListView* table = m_ui->tableViewOutlet;
    m_model = new CommentListModel(this);
    m_delegate = new CommentListItemDelegate(
        [this](CommentTableCellView& cell, int row) {
            if (row < 0 || row >= m_model->comments().size()) {
                return;
            }
            const BloggerPostComment& comment = m_model->comments().at(row);
            cell.setCommentUserName(comment.author.userName);
            cell.setCommentDateAndTime(m_model->displayDate(row));
            // Measured already for the row's height: the cell need not measure it again.
            cell.setDecodedContent(m_model->decodedContent(row),
                                   m_delegate->rowHeight(row) - CommentTableCellView::ChromeHeight);
            cell.setAvatarRequester(rowsOnScreen());
            cell.setCommentUserAvatar(comment.author.userPicture);
        },
        m_model, table, this);
    table->setModel(m_model);
    table->setItemDelegate(m_delegate);
    table->setUniformItemSizes(false);
    table->setResizeMode(QListView::Adjust);
    table->setMouseTracking(false);
    ViewBackground::setColor(table->viewport(), UiColors::paneBackground());
    // The keyboard's way through the comments: the list's ring, and the comment Return would open.
    FocusRing::attach(table);
    connect(KeyboardFocus::of(table), &KeyboardFocus::ringShownChanged, table->viewport(),
            [viewport = table->viewport()] { viewport->update(); });
    connect(table, &QListView::clicked, this, [this](const QModelIndex& index) { cellClick(index.row()); });
    table->installEventFilter(this);
    connect(table, &QListView::customContextMenuRequested, this,
            [this, table](const QPoint& point) { cellClick(table->indexAt(point).row()); });
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { m_rowsMoved = true; });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_rowsMoved = true; });
    connect(this, &WindowController::windowWillClose, this,
            [this] { delete std::exchange(m_rowsOnScreen, nullptr); });
    connect(&RemoteImageCache::shared(), &RemoteImageCache::imageReady, this, [this] {
        if (isWindowLoaded()) {
            m_ui->tableViewOutlet->viewport()->update();
        }
    });

    connect(m_ui->downloadCommentsButtonOutlet, &QPushButton::clicked, this,
            &CommentsListWindowController::downloadCommentsButtonClick);
    connect(m_ui->newCommentButtonOutlet, &QPushButton::clicked, this,
            &CommentsListWindowController::newCommentButtonClick);

    // The window opens first; a long list fills it in a turn of its own.
    m_fillPending = true;
    Dispatch::toMainThread(this, [this] {
        if (!m_fillPending) {
            return;
        }
        m_fillPending = false;
        m_model->setComments(std::exchange(m_pendingComments, {}));
        refresh();
    });
    applyLoading();
    refresh();
}

const QObject* CommentsListWindowController::rowsOnScreen()
{
    if (!m_rowsOnScreen || m_rowsMoved) {
        // The rows drawn before stay until this drawing is done: those still shown are asked for again.
        if (m_rowsOnScreen) {
            m_rowsOnScreen->deleteLater();
        }
        m_rowsOnScreen = new QObject(this);
        m_rowsMoved = false;
    }
    return m_rowsOnScreen;
}

void CommentsListWindowController::showComments(const BloggerPost& post,
                                                const QList<BloggerPostComment>& comments)
{
    Dispatch::toMainThread(this, [this, post, comments] {
        m_post = post;
        if (!isWindowLoaded()) {
            m_pendingComments = comments;
            return;
        }
        m_fillPending = false;
        m_pendingComments.clear();
        m_model->setComments(comments);
        refresh();
    });
}

const QList<BloggerPostComment>& CommentsListWindowController::comments() const
{
    return m_model && !m_fillPending ? m_model->comments() : m_pendingComments;
}

void CommentsListWindowController::refresh()
{
    if (m_post) {
        window()->setWindowTitle(windowTitleFor(m_post->title));
    }
    windowShowsComments(!comments().isEmpty());
}

void CommentsListWindowController::windowShowsComments(bool show)
{
    m_ui->tableViewOutlet->setVisible(show);
    m_ui->commentsCountLabelOutlet->setText(show ? QString() : QStringLiteral("No Comments"));
}

void CommentsListWindowController::loading(bool on)
{
    Dispatch::toMainThread(this, [this, on] {
        m_loading = on;
        if (isWindowLoaded()) {
            applyLoading();
        }
    });
}

void CommentsListWindowController::applyLoading()
{
    m_ui->spinningIndicatorOutlet->setVisible(m_loading);
    m_ui->downloadCommentsButtonOutlet->setEnabled(!m_loading);
    m_ui->newCommentButtonOutlet->setEnabled(!m_loading);
}

void CommentsListWindowController::cellClick(int row)
{
    openCommentMenu(row, QCursor::pos());
}

bool CommentsListWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Return or Space on a comment opens its menu, under the row.
    if (isWindowLoaded() && watched == m_ui->tableViewOutlet && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QModelIndex current = m_ui->tableViewOutlet->currentIndex();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && current.isValid()) {
            QListView* table = m_ui->tableViewOutlet;
            openCommentMenu(current.row(),
                            table->viewport()->mapToGlobal(table->visualRect(current).bottomLeft()));
            return true;
        }
    }
    return WindowController::eventFilter(watched, event);
}

void CommentsListWindowController::openCommentMenu(int row, const QPoint& at)
{
    if (!m_model || row < 0 || row >= m_model->comments().size()) {
        return;
    }
    m_menuCommentId = m_model->comments().at(row).commentId;
    m_menuPostId = m_post ? m_post->postId : QString();
    delete m_menu.data();
    m_menu = new QMenu(window());
    m_menu->setObjectName(QStringLiteral("commentMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = m_menu->addAction(menuIcon(QStringLiteral("DeleteColoredMenuOption")),
                                        QStringLiteral("Delete Comment"), this,
                                        &CommentsListWindowController::deleteCommentOptionClick);
    remove->setObjectName(QStringLiteral("deleteCommentAction"));
    QAction* profile = m_menu->addAction(menuIcon(QStringLiteral("NavigateColoredMenuOption")),
                                         QStringLiteral("Navigate to Profile"), this,
                                         &CommentsListWindowController::navigateToProfileClick);
    profile->setObjectName(QStringLiteral("navigateToProfileAction"));
    m_menu->popup(at);
}

QMenu* CommentsListWindowController::commentMenu() const
{
    return m_menu;
}

std::optional<BloggerPostComment> CommentsListWindowController::menuComment() const
{
    if (!m_model || m_menuCommentId.isEmpty()) {
        return std::nullopt;
    }
    // The list may have been replaced while the menu was open: only the comment it was opened on counts.
    const int row = m_model->rowOfComment(m_menuCommentId);
    if (row < 0) {
        return std::nullopt;
    }
    return m_model->comments().at(row);
}

void CommentsListWindowController::deleteCommentOptionClick()
{
    const std::optional<BloggerPostComment> comment = menuComment();
    if (!comment || !m_post || m_post->postId != m_menuPostId) {
        return;
    }
    // The busy state waits for the answer to the question this raises.
    if (onDeleteCommentRequest) {
        onDeleteCommentRequest(comment->commentId, m_menuPostId);
    }
}

void CommentsListWindowController::navigateToProfileClick()
{
    const std::optional<BloggerPostComment> comment = menuComment();
    if (!comment) {
        return;
    }
    if (onNavigateToProfileRequest) {
        onNavigateToProfileRequest(comment->author.userLink);
    }
}

void CommentsListWindowController::downloadCommentsButtonClick()
{
    if (onDownloadCommentsRequest && m_post) {
        onDownloadCommentsRequest(m_post->postId);
    }
}

void CommentsListWindowController::newCommentButtonClick()
{
    if (onAddCommentRequest && m_post) {
        onAddCommentRequest(m_post->postId);
    }
}

QListView* CommentsListWindowController::tableViewOutlet() const
{
    return isWindowLoaded() ? m_ui->tableViewOutlet : nullptr;
}

QLabel* CommentsListWindowController::commentsCountLabelOutlet() const
{
    return isWindowLoaded() ? m_ui->commentsCountLabelOutlet : nullptr;
}

SpinnerView* CommentsListWindowController::spinningIndicatorOutlet() const
{
    return isWindowLoaded() ? m_ui->spinningIndicatorOutlet : nullptr;
}

QPushButton* CommentsListWindowController::downloadCommentsButtonOutlet() const
{
    return isWindowLoaded() ? m_ui->downloadCommentsButtonOutlet : nullptr;
}

QPushButton* CommentsListWindowController::newCommentButtonOutlet() const
{
    return isWindowLoaded() ? m_ui->newCommentButtonOutlet : nullptr;
}

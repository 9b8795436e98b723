#include "TableContentViewController.h"

#include "common/StringServices.h"

#include "ui_TableContentView.h"

#include "FocusRing.h"
#include "PostListItemDelegate.h"
#include "PostListModel.h"
#include "PostTableCellView.h"
#include "common/GoogleDateService.h"
#include "platform/Dispatch.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QSignalBlocker>

struct TableContentViewController::Private
{
    PostListModel model;
    PostListItemDelegate* delegate = nullptr;
    std::optional<QString> preselectedPostId;
    // The preselection shows only until the user picks a row of the current listing.
    bool userSelectedSinceListing = false;
};

TableContentViewController::TableContentViewController(QObject* parent)
    : ViewController(parent), d(std::make_unique<Private>())
{
}

TableContentViewController::~TableContentViewController()
{
    // The list's view and delegate reach into this controller: they go before its members.
    if (isViewLoaded()) {
        delete view();
    }
}

void TableContentViewController::loadView()
{
    m_ui = std::make_unique<Ui::TableContentView>();
    setView(viewFromInterface(*m_ui));
    bindTableView();
    viewSetup();
}

void TableContentViewController::bindTableView()
{
    QListView* table = m_ui->tableViewOutlet;
    d->delegate = new PostListItemDelegate([this](PostTableCellView& cell, int row) { fillCell(cell, row); },
                                           [this](int row) { return describeRow(row); },
                                           [this](int row) { return isRowHighlighted(row); }, table);
    d->delegate->watch(&d->model);
    table->setItemDelegate(d->delegate);
    table->setModel(&d->model);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TableContentViewController::tableViewSelectionDidChange);
    table->installEventFilter(this);
}

bool TableContentViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewLoaded() && watched == m_ui->tableViewOutlet && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool arrow = key->key() == Qt::Key_Down || key->key() == Qt::Key_Up;
        if (arrow && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && selectFirstRowByKey()) {
            return true;
        }
    }
    return ViewController::eventFilter(watched, event);
}

bool TableContentViewController::selectFirstRowByKey()
{
    // The list puts its cursor on the first row when it takes the focus, so the first arrow would move on
    // to the second: with nothing selected or highlighted, the first arrow selects the first post.
    QListView* table = m_ui->tableViewOutlet;
    if (numberOfRows() == 0 || table->selectionModel()->hasSelection()) {
        return false;
    }
    // Arrows go on from a highlighted preselected post.
    const QModelIndex current = table->currentIndex();
    if (current.isValid() && isRowHighlighted(current.row())) {
        return false;
    }
    table->setCurrentIndex(d->model.index(0));
    return true;
}

void TableContentViewController::viewSetup()
{
    ViewBackground::setColor(view(), UiColors::paneBackground());
    QListView* table = m_ui->tableViewOutlet;
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, UiColors::paneBackground());
    table->setPalette(palette);
    table->verticalScrollBar()->setSingleStep(d->delegate->rowHeight() / 3);
    FocusRing::attach(table);
}

void TableContentViewController::listPosts(const QList<BloggerPost>& posts,
                                           const std::optional<QString>& preselectedId)
{
    Dispatch::toMainThread(this, [this, posts, preselectedId] {
        d->preselectedPostId = preselectedId;
        d->userSelectedSinceListing = false;
        // A reset drops the old selection: a kept row index would now name another post.
        d->model.setPosts(posts);
        // Laid out now: a resize of the list (as the window first shows) leaves its layout a tenth of a
        // second away, and the new rows would wait for it.
        if (isViewLoaded() && m_ui->tableViewOutlet->isVisible()) {
            m_ui->tableViewOutlet->doItemsLayout();
        }
        placeCursorOnPreselectedRow();
    });
}

void TableContentViewController::scrollToPost(const QString& postId)
{
    Dispatch::toMainThread(this, [this, postId] {
        if (!isViewLoaded()) {
            return;
        }
        const QList<BloggerPost>& posts = d->model.posts();
        for (qsizetype row = 0; row < posts.size(); ++row) {
            if (posts.at(row).postId == postId) {
                m_ui->tableViewOutlet->scrollTo(d->model.index(int(row)), QAbstractItemView::EnsureVisible);
                return;
            }
        }
    });
}

void TableContentViewController::placeCursorOnPreselectedRow()
{
    if (!isViewLoaded() || !d->preselectedPostId || d->preselectedPostId->isEmpty()) {
        return;
    }
    const QList<BloggerPost>& posts = d->model.posts();
    for (qsizetype row = 0; row < posts.size(); ++row) {
        if (posts.at(row).postId == *d->preselectedPostId) {
            // Arrow keys go on from the highlighted post; silent, so the list neither scrolls nor selects.
            QItemSelectionModel* selection = m_ui->tableViewOutlet->selectionModel();
            const QSignalBlocker blocker(selection);
            selection->setCurrentIndex(d->model.index(int(row)), QItemSelectionModel::NoUpdate);
            return;
        }
    }
}

void TableContentViewController::tableViewSelectionDidChange(const QItemSelection& selected,
                                                             const QItemSelection&)
{
    m_ui->tableViewOutlet->viewport()->update();
    QList<int> rows;
    for (const QModelIndex& index : selected.indexes()) {
        rows.append(index.row());
    }
    if (rows.isEmpty()) {
        return;
    }
    d->userSelectedSinceListing = true;
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        if (row >= d->model.posts().size()) {
            continue;
        }
        const QString postId = d->model.posts().at(row).postId;
        if (onPostSelectedRequest) {
            auto request = onPostSelectedRequest;
            request(postId);
        }
    }
}

PostListItemDelegate::Row TableContentViewController::describeRow(int row) const
{
    const QList<BloggerPost>& posts = d->model.posts();
    if (row < 0 || row >= posts.size()) {
        return {};
    }
    const BloggerPost& post = posts.at(row);
    PostListItemDelegate::Row shown;
    shown.title = post.title;
    shown.date = GoogleDateService().displayDate(post.updatedDate);
    // The stored preview keeps the post's entities ("&amp;"); people read the characters.
    shown.preview = StringServices().decodeCommentHtml(post.contentPreview);
    shown.commentsCount = post.postStatus == PostStatus::Published ? post.commentsCount : -1;
    shown.imageName = PostTableCellView::statusImageName(post.postStatus);
    return shown;
}

void TableContentViewController::fillCell(PostTableCellView& cell, int row) const
{
    if (row < 0 || row >= d->model.posts().size()) {
        return;
    }
    const PostListItemDelegate::Row shown = describeRow(row);
    cell.setPostTitle(shown.title);
    cell.setPostDate(shown.date);
    cell.setPostPreview(shown.preview);
    cell.setCommentsCount(shown.commentsCount);
    cell.setPostImage(shown.imageName);
    cell.selectRow(isRowHighlighted(row));
}

const QList<BloggerPost>& TableContentViewController::postsList() const
{
    return d->model.posts();
}

std::optional<QString> TableContentViewController::preselectedPostId() const
{
    return d->preselectedPostId;
}

qsizetype TableContentViewController::numberOfRows() const
{
    return d->model.rowCount();
}

PostTableCellView* TableContentViewController::cellForRow(qsizetype row)
{
    if (row < 0 || row >= numberOfRows()) {
        return nullptr;
    }
    view();
    const int width = m_ui->tableViewOutlet->viewport()->width();
    return &d->delegate->filledCell(int(row), width);
}

bool TableContentViewController::isRowHighlighted(qsizetype row) const
{
    if (row < 0 || row >= numberOfRows()) {
        return false;
    }
    if (isViewLoaded()) {
        const QModelIndexList selected = m_ui->tableViewOutlet->selectionModel()->selectedIndexes();
        for (const QModelIndex& index : selected) {
            if (index.row() == row) {
                return true;
            }
        }
    }
    return !d->userSelectedSinceListing && d->preselectedPostId && !d->preselectedPostId->isEmpty() &&
           d->model.posts().at(row).postId == *d->preselectedPostId;
}

QListView* TableContentViewController::tableViewOutlet() const
{
    return isViewLoaded() ? m_ui->tableViewOutlet : nullptr;
}

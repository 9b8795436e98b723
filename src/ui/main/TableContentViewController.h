#pragma once

#include "PostListItemDelegate.h"
#include "model/BloggerPost.h"
#include "platform/gui/ViewController.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TableContentView;
}
class PostTableCellView;
class QItemSelection;
class QListView;

// The list of the current area's posts, one row per post, in the order given.
class TableContentViewController : public ViewController
{
    Q_OBJECT
public:
    explicit TableContentViewController(QObject* parent = nullptr);
    ~TableContentViewController() override;

    std::function<void(const QString& postId)> onPostSelectedRequest;

    // Any thread; the list is replaced on the main thread in call order.
    void listPosts(const QList<BloggerPost>& posts, const std::optional<QString>& preselectedId);
    // Any thread; after the lists asked for before it: scrolls the list to the post if it is listed.
    void scrollToPost(const QString& postId);

    // Main thread: what the list shows now.
    const QList<BloggerPost>& postsList() const;
    std::optional<QString> preselectedPostId() const;
    qsizetype numberOfRows() const;
    // The row's cell filled as it is drawn; null for a row beyond the list.
    PostTableCellView* cellForRow(qsizetype row);
    // The selected row; and, until the user selects a row, the rows of a non-empty preselected id.
    bool isRowHighlighted(qsizetype row) const;

    QListView* tableViewOutlet() const;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindTableView();
    void viewSetup();
    void tableViewSelectionDidChange(const QItemSelection& selected, const QItemSelection& deselected);
    void placeCursorOnPreselectedRow();
    // True when the key selected the first row.
    bool selectFirstRowByKey();
    void fillCell(PostTableCellView& cell, int row) const;
    PostListItemDelegate::Row describeRow(int row) const;

    std::unique_ptr<Ui::TableContentView> m_ui;
    struct Private;
    std::unique_ptr<Private> d;
};

#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "platform/gui/WindowController.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class CommentsListWindow;
}
class CommentListItemDelegate;
class CommentListModel;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class SpinnerView;

// The comments of one post, a row each, with a menu on each row (delete the comment, open its author's
// profile) and two buttons (download the comments again, write a new one). It shows what its controller
// hands it and raises the user's requests through closures; it reads neither network nor store.
class CommentsListWindowController : public WindowController
{
    Q_OBJECT
public:
    explicit CommentsListWindowController(QObject* parent = nullptr);
    ~CommentsListWindowController() override;

    std::function<void(const QString& commentId, const QString& postId)> onDeleteCommentRequest;
    std::function<void(const QString& userLink)> onNavigateToProfileRequest;
    std::function<void(const QString& postId)> onAddCommentRequest;
    std::function<void(const QString& postId)> onDownloadCommentsRequest;

    // Any thread: the post and its comments replace what the window shows, on the main thread. Before the
    // window is loaded they are only kept, and the window shows them when it loads.
    void showComments(const BloggerPost& post, const QList<BloggerPostComment>& comments);
    // Any thread; applied on the main thread.
    void loading(bool on);

    static QString windowTitleFor(const QString& postTitle);

    // Main thread.
    std::optional<BloggerPost> post() const { return m_post; }
    const QList<BloggerPostComment>& comments() const;
    bool isLoading() const { return m_loading; }

    // Opens the menu of the row, as a click on it does; nothing for a row that does not exist.
    void cellClick(int row);
    // The same at a place of the screen (under the row, when the keyboard asked for it).
    void openCommentMenu(int row, const QPoint& at);
    // The menu opened last, while it is open.
    QMenu* commentMenu() const;
    // The comment the open menu acts on.
    QString menuCommentId() const { return m_menuCommentId; }
    void deleteCommentOptionClick();
    void navigateToProfileClick();
    void downloadCommentsButtonClick();
    void newCommentButtonClick();

    QListView* tableViewOutlet() const;
    QLabel* commentsCountLabelOutlet() const;
    SpinnerView* spinningIndicatorOutlet() const;
    QPushButton* downloadCommentsButtonOutlet() const;
    QPushButton* newCommentButtonOutlet() const;
    CommentListItemDelegate* itemDelegate() const { return m_delegate; }

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void windowShowsComments(bool show);
    void applyLoading();
    std::optional<BloggerPostComment> menuComment() const;
    const QObject* rowsOnScreen();

    std::unique_ptr<Ui::CommentsListWindow> m_ui;
    CommentListModel* m_model = nullptr;
    CommentListItemDelegate* m_delegate = nullptr;
    QPointer<QMenu> m_menu;
    std::optional<BloggerPost> m_post;
    QList<BloggerPostComment> m_pendingComments;
    // The comments given before the window was made reach the list in the turn after it opens.
    bool m_fillPending = false;
    bool m_loading = false;
    QString m_menuCommentId;
    QString m_menuPostId;
    // The rows drawn since the list last moved, on whose behalf their pictures are asked for: when the list
    // moves or closes they go, and pictures of rows no longer shown are not fetched.
    QObject* m_rowsOnScreen = nullptr;
    bool m_rowsMoved = false;
};

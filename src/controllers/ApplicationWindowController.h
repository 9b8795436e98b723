#pragma once

#include "controllers/ApplicationControllerService.h"
#include "model/BloggerBlog.h"
#include "model/BloggerPost.h"
#include "model/BloggerUser.h"
#include "model/PostEnumerations.h"
#include "platform/gui/WindowController.h"

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class ApplicationWindow;
}
class DraggableView;
class GoogleAuthentificationService;
class MenuContentViewController;
class MenuTopViewController;
class PostContentViewController;
class PostTopViewController;
class QMainWindow;
class QMouseEvent;
class TableContentViewController;
class TableTopViewController;

// The main window: places its six panes, relays every request they raise through closures of the same
// name, and hands data down to them. It holds no data of its own and reaches neither store nor network.
class ApplicationWindowController : public WindowController
{
    Q_OBJECT
public:
    using PostIdBlock = std::function<void(const QString& postId)>;

    // Creates the application controller that drives the window; it sets every closure below. The first
    // listing takes `firstListing` when it was read for what the window shows.
    explicit ApplicationWindowController(std::shared_ptr<GoogleAuthentificationService> service,
                                         QFuture<ApplicationControllerService::ReadListing> firstListing = {},
                                         QObject* parent = nullptr);
    ~ApplicationWindowController() override;

    std::function<void()> onWindowLoadComplete;
    std::function<void()> onNewPostRequest;
    std::function<void(PostArea area)> onAreaChangeRequest;
    std::function<void()> onDownloadBloggerDataRequest;
    std::function<void(PostSortOptions sortBy, PostSortOrderOptions sortOrder)> onPostsSortRequest;
    PostIdBlock onPostSelectedRequest;
    std::function<void(const QString& account, const QString& blog)> onAccountAndBlogChangeRequest;
    std::function<void(const QString& userId)> onAccountChangeRequest;
    std::function<void()> onAccountsAndBlogsSettingsPopupOpen;
    std::function<void()> onHelpRequest;
    std::function<void()> onReauthentificateCurrentAccountRequest;
    std::function<void()> onRefreshCurrentAccountRequest;
    std::function<void()> onAddNewAccountRequest;
    PostIdBlock onEditPostRequest;
    PostIdBlock onOfflinePostRequest;
    PostIdBlock onDisplayPostCommentsRequest;
    PostIdBlock onAddCommentRequest;
    PostIdBlock onReloadPostFromBloggerRequest;
    PostIdBlock onDeletePostRequest;

    // Asked before the window closes; unset lets it close.
    std::function<bool()> windowShouldCloseHandler;

    ApplicationControllerService* applicationControllerService() const;

    // Downward operations: any thread for the ones that hand data to panes.
    void newPost();
    bool hasAnEditingPost() const;
    // Brings the post editor to the front, when it is on screen; its window, else null.
    QWidget* showEditingPost();
    void reopenApplicationWindow();
    void loading(bool flag);
    void listUsers(const QList<BloggerUser>& users, const QString& currentUser);
    void listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog);
    void listPosts(const QList<BloggerPost>& posts, PostArea area, std::optional<QDateTime> lastUpdate,
                   std::optional<QString> preselectedPostId);
    void displayPost(const BloggerPost& post);
    // Scrolls the list to the post, when it is listed.
    void scrollToPost(const QString& postId);
    void loadDefaultView();
    // The keys go to the post list again, as when the window first showed, with no ring drawn.
    void focusPostList();
    void openHelp();

    QMainWindow* windowOutlet() const;
    DraggableView* viewSplitOutlet() const;
    QWidget* view00Outlet() const;
    QWidget* view01Outlet() const;
    QWidget* view02Outlet() const;
    QWidget* view10Outlet() const;
    QWidget* view11Outlet() const;
    QWidget* view12Outlet() const;

    MenuTopViewController* menuTopViewController() const;
    TableTopViewController* tableTopViewController() const;
    PostTopViewController* postTopViewController() const;
    MenuContentViewController* menuContentViewController() const;
    TableContentViewController* tableContentViewController() const;
    PostContentViewController* postContentViewController() const;

    // The preferences key of the window's size, position and column widths.
    static QString windowStateKey();

    // Moves the window by the drag since the press, keeping its size.
    void windowDragged(QMouseEvent* event, QPointF windowInitialLocation);

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;
    bool windowShouldClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Size, position and column widths of the last run, kept in the preferences.
    void restoreWindowState();
    void saveWindowState();
    void applyRestoredColumns();
    void setupWindow();
    void setWindowUIConfiguration();
    // Tab runs down the columns from left to right, as the eye reads them.
    void setupKeyboardOrder();
    void setupMenuTopView();
    void setupTableTopView();
    void setupPostTopView();
    void setupMenuContentView();
    void setupTableContentView();
    void setupPostContentView();
    // The post view's pane and its web engine come once the list has painted its first rows, or at
    // once when the pane is asked for anything before.
    void placePostContentView();
    void placePostContentViewAfterListPaint();

    std::unique_ptr<Ui::ApplicationWindow> m_ui;
    QPointer<QMainWindow> m_windowOutlet;
    // Only a window the user has seen has a state worth keeping.
    bool m_windowShown = false;
    // Left column and post list widths to apply once the window is laid out.
    std::optional<std::pair<int, int>> m_restoredColumns;
    bool m_postContentViewPlaced = false;
    // The first listing is in the list: its next paint lets the post view come.
    bool m_awaitingListPaint = false;
    std::unique_ptr<ApplicationControllerService> m_applicationControllerService;
    std::unique_ptr<MenuTopViewController> m_menuTopViewController;
    std::unique_ptr<TableTopViewController> m_tableTopViewController;
    std::unique_ptr<PostTopViewController> m_postTopViewController;
    std::unique_ptr<MenuContentViewController> m_menuContentViewController;
    std::unique_ptr<TableContentViewController> m_tableContentViewController;
    std::unique_ptr<PostContentViewController> m_postContentViewController;
};

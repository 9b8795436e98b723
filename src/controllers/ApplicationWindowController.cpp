#include "ApplicationWindowController.h"

#include "ui_ApplicationWindow.h"

#include "common/AppKeyPrefix.h"
#include "common/SystemConfiguration.h"
#include "controllers/ApplicationControllerService.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "ui/main/DraggableView.h"
#include "ui/main/MenuContentViewController.h"
#include "ui/main/MenuTopViewController.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/PostTopViewController.h"
#include "ui/main/TableContentViewController.h"
#include "ui/main/TableTopViewController.h"

#include <QGuiApplication>
#include <QListView>
#include <QMainWindow>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace {

// How long the post view waits for the list to be drawn with its first rows.
constexpr std::chrono::milliseconds PostContentViewLatest{1000};

// The pane fills its container and follows its size.
void place(QWidget* paneView, QWidget* container)
{
    auto* layout = qobject_cast<QVBoxLayout*>(container->layout());
    if (!layout) {
        layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    paneView->setParent(container);
    paneView->setGeometry(container->rect());
    layout->addWidget(paneView);
    paneView->show();
}

} // namespace

ApplicationWindowController::ApplicationWindowController(
    std::shared_ptr<GoogleAuthentificationService> service,
    QFuture<ApplicationControllerService::ReadListing> firstListing, QObject* parent)
    : WindowController(parent)
{
    m_applicationControllerService =
        std::make_unique<ApplicationControllerService>(this, std::move(service), std::move(firstListing));
}

ApplicationWindowController::~ApplicationWindowController()
{
    saveWindowState();
    // The controller may still have work queued for this window: it goes first.
    m_applicationControllerService.reset();
}

ApplicationControllerService* ApplicationWindowController::applicationControllerService() const
{
    return m_applicationControllerService.get();
}

std::unique_ptr<QWidget> ApplicationWindowController::loadWindow()
{
    m_ui = std::make_unique<Ui::ApplicationWindow>();
    auto window = windowFromInterface<QMainWindow>(*m_ui);
    m_windowOutlet = static_cast<QMainWindow*>(window.get());
    return window;
}

void ApplicationWindowController::windowDidLoad()
{
    setupWindow();
    WindowController::windowDidLoad();
    if (onWindowLoadComplete) {
        onWindowLoadComplete();
    }
    windowOutlet()->activateWindow();
}

bool ApplicationWindowController::windowShouldClose()
{
    return !windowShouldCloseHandler || windowShouldCloseHandler();
}

void ApplicationWindowController::setupWindow()
{
    // The post view's web engine takes the main thread for a while as it starts and loads its page: it
    // comes once the list shows its posts (placePostContentViewAfterListPaint).
    setupPostContentView();
    setupMenuTopView();
    setupTableTopView();
    setupPostTopView();
    setupMenuContentView();
    setupTableContentView();
    setWindowUIConfiguration();
    restoreWindowState();
    setupKeyboardOrder();
    // The keys go to the post list when the window first shows, so Up and Down go through the posts at
    // once; the window gives the focus back to where it was each time it comes back.
    m_tableContentViewController->tableViewOutlet()->setFocus(Qt::OtherFocusReason);
    m_ui->viewSplitOutlet->onMouseDragged = [this](QMouseEvent* event, QPointF initial) {
        windowDragged(event, initial);
    };
}

void ApplicationWindowController::setWindowUIConfiguration()
{
    QMainWindow* window = windowOutlet();
    window->setWindowTitle(QStringLiteral("Penhollow for Blogger"));
    window->activateWindow();
    // Any window can go full screen here; there is no toolbar to remove.
    if (SystemConfiguration().isAtLeastYosemite()) {
        window->setWindowFlag(Qt::FramelessWindowHint, true);
    }
    // Columns: the left one keeps its width, the post view takes what the window gains.
    m_ui->viewSplitOutlet->setStretchFactor(0, 0);
    m_ui->viewSplitOutlet->setStretchFactor(1, 1);
    m_ui->contentSplitView->setStretchFactor(0, 0);
    m_ui->contentSplitView->setStretchFactor(1, 1);
    m_ui->viewSplitOutlet->setSizes({200, 1000});
    m_ui->contentSplitView->setSizes({360, 640});
}

QString ApplicationWindowController::windowStateKey()
{
    return QStringLiteral("WINDOW_") + APP_KEY_PREFIX + QStringLiteral("main");
}

void ApplicationWindowController::saveWindowState()
{
    QMainWindow* window = m_windowOutlet;
    if (!m_ui || !window || !m_windowShown) {
        return;
    }
    // "x,y,width,height,maximized;left column,post list": the size the window has when not maximised.
    const QRect frame = window->isMaximized() ? window->normalGeometry() : window->geometry();
    const QPoint origin = window->isMaximized() ? frame.topLeft() : window->pos();
    const QList<int> left = m_ui->viewSplitOutlet->sizes();
    const QList<int> list = m_ui->contentSplitView->sizes();
    const QString state = QStringLiteral("%1,%2,%3,%4,%5;%6,%7")
                              .arg(origin.x())
                              .arg(origin.y())
                              .arg(frame.width())
                              .arg(frame.height())
                              .arg(window->isMaximized() ? 1 : 0)
                              .arg(left.value(0))
                              .arg(list.value(0));
    UserDefaults::standardUserDefaults().setObject(state, windowStateKey());
}

void ApplicationWindowController::restoreWindowState()
{
    const QStringList parts =
        UserDefaults::standardUserDefaults().stringForKey(windowStateKey()).value_or(QString()).split(u';');
    const QStringList frame = parts.value(0).split(u',');
    const QStringList columns = parts.value(1).split(u',');
    if (parts.size() != 2 || frame.size() != 5 || columns.size() != 2) {
        return;
    }
    QList<int> numbers;
    for (const QString& text : frame + columns) {
        bool ok = false;
        numbers.append(text.toInt(&ok));
        if (!ok) {
            return;
        }
    }
    QMainWindow* window = windowOutlet();
    const QRect saved(numbers[0], numbers[1], numbers[2], numbers[3]);
    QScreen* home = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) {
        // Its title bar must be on a screen of this run, or the user could not reach it.
        if (screen->availableGeometry().contains(saved.topLeft() + QPoint(40, 10))) {
            home = screen;
        }
    }
    QScreen* sizing = home ? home : QGuiApplication::primaryScreen();
    const QSize room = sizing ? sizing->availableGeometry().size() : saved.size();
    window->resize(saved.size().boundedTo(room).expandedTo(window->minimumSize()));
    if (home) {
        window->move(saved.topLeft());
    }
    if (numbers[4] == 1) {
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    }
    if (numbers[5] > 0 && numbers[6] > 0) {
        m_restoredColumns = {numbers[5], numbers[6]};
    }
}

void ApplicationWindowController::applyRestoredColumns()
{
    if (!m_restoredColumns || !m_ui) {
        return;
    }
    // Against the widths the splitters have once laid out: a splitter spreads any other total out.
    auto apply = [](QSplitter* splitter, int first) {
        const QList<int> sizes = splitter->sizes();
        int total = 0;
        for (int size : sizes) {
            total += size;
        }
        if (sizes.size() == 2 && total > first) {
            splitter->setSizes({first, total - first});
        }
    };
    apply(m_ui->viewSplitOutlet, m_restoredColumns->first);
    apply(m_ui->contentSplitView, m_restoredColumns->second);
    m_restoredColumns.reset();
}

bool ApplicationWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (m_awaitingListPaint && event->type() == QEvent::Paint && m_tableContentViewController &&
        watched == m_tableContentViewController->tableViewOutlet()->viewport()) {
        m_awaitingListPaint = false;
        // Once this paint is done.
        Dispatch::toMainThread(this, [this] { placePostContentView(); });
    }
    // Kept when the window goes, whether the user closes it or the application quits.
    if (watched == m_windowOutlet && event->type() == QEvent::Show) {
        m_windowShown = true;
        applyRestoredColumns();
    } else if (watched == m_windowOutlet && event->type() == QEvent::Hide) {
        saveWindowState();
    }
    return WindowController::eventFilter(watched, event);
}

void ApplicationWindowController::setupKeyboardOrder()
{
    QMainWindow* window = windowOutlet();
    static const char* const order[] = {
        "hitAreaViewOutlet", "publicPostsMenuView",    "draftPostsMenuView",        "localPostsMenuView",
        "helpImageOutlet",   "avatarImageOutlet",      "downloadPostsButtonOutlet", "sortButtonOutlet",
        "tableViewOutlet",   "operationButton1Outlet", "operationButton2Outlet",    "operationButton3Outlet",
        "menuButtonOutlet",  "webviewOutlet"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        QWidget* widget = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (!widget) {
            continue;
        }
        if (previous) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

void ApplicationWindowController::windowDragged(QMouseEvent* event, QPointF windowInitialLocation)
{
    QWidget* window = m_ui ? windowOutlet() : nullptr;
    if (!window) {
        return;
    }
    const QPointF current = window->mapFromGlobal(event->globalPosition());
    const QPointF origin = current - windowInitialLocation + QPointF(window->pos());
    window->move(origin.toPoint());
}

void ApplicationWindowController::setupMenuTopView()
{
    m_menuTopViewController = std::make_unique<MenuTopViewController>();
    place(m_menuTopViewController->view(), m_ui->view00Outlet);
    m_menuTopViewController->onNewPostRequest = [this] {
        if (onNewPostRequest) {
            onNewPostRequest();
        }
    };
}

void ApplicationWindowController::setupTableTopView()
{
    m_tableTopViewController = std::make_unique<TableTopViewController>();
    place(m_tableTopViewController->view(), m_ui->view01Outlet);
    m_tableTopViewController->onDownloadBloggerDataRequest = [this] {
        if (onDownloadBloggerDataRequest) {
            onDownloadBloggerDataRequest();
        }
    };
    m_tableTopViewController->onPostsSortRequest = [this](PostSortOptions sortBy,
                                                          PostSortOrderOptions order) {
        if (onPostsSortRequest) {
            onPostsSortRequest(sortBy, order);
        }
    };
}

void ApplicationWindowController::setupPostTopView()
{
    m_postTopViewController = std::make_unique<PostTopViewController>();
    place(m_postTopViewController->view(), m_ui->view02Outlet);
    // The window's closure is read when the pane raises its request, so later assignments count.
    auto relay = [this](PostIdBlock ApplicationWindowController::*closure) {
        return [this, closure](const QString& postId) {
            if (this->*closure) {
                (this->*closure)(postId);
            }
        };
    };
    PostTopViewController& pane = *m_postTopViewController;
    pane.onEditPostRequest = relay(&ApplicationWindowController::onEditPostRequest);
    pane.onOfflinePostRequest = relay(&ApplicationWindowController::onOfflinePostRequest);
    pane.onDisplayPostCommentsRequest = relay(&ApplicationWindowController::onDisplayPostCommentsRequest);
    pane.onAddCommentRequest = relay(&ApplicationWindowController::onAddCommentRequest);
    pane.onReloadPostFromBloggerRequest = relay(&ApplicationWindowController::onReloadPostFromBloggerRequest);
    pane.onDeletePostRequest = relay(&ApplicationWindowController::onDeletePostRequest);
}

void ApplicationWindowController::setupMenuContentView()
{
    m_menuContentViewController = std::make_unique<MenuContentViewController>();
    place(m_menuContentViewController->view(), m_ui->view10Outlet);
    auto relay = [this](std::function<void()> ApplicationWindowController::*closure) {
        return [this, closure] {
            if (this->*closure) {
                (this->*closure)();
            }
        };
    };
    MenuContentViewController& pane = *m_menuContentViewController;
    pane.onAreaChangeRequest = [this](PostArea area) {
        if (onAreaChangeRequest) {
            onAreaChangeRequest(area);
        }
    };
    pane.onAccountAndBlogChangeRequest = [this](const QString& account, const QString& blog) {
        if (onAccountAndBlogChangeRequest) {
            onAccountAndBlogChangeRequest(account, blog);
        }
    };
    pane.onAccountChangeRequest = [this](const QString& userId) {
        if (onAccountChangeRequest) {
            onAccountChangeRequest(userId);
        }
    };
    pane.onReauthentificateCurrentAccountRequest =
        relay(&ApplicationWindowController::onReauthentificateCurrentAccountRequest);
    pane.onRefreshCurrentAccountRequest = relay(&ApplicationWindowController::onRefreshCurrentAccountRequest);
    pane.onAddNewAccountRequest = relay(&ApplicationWindowController::onAddNewAccountRequest);
    pane.onAccountsAndBlogsSettingsPopupOpen =
        relay(&ApplicationWindowController::onAccountsAndBlogsSettingsPopupOpen);
    pane.onHelpRequest = relay(&ApplicationWindowController::onHelpRequest);
}

void ApplicationWindowController::setupTableContentView()
{
    m_tableContentViewController = std::make_unique<TableContentViewController>();
    place(m_tableContentViewController->view(), m_ui->view11Outlet);
    m_tableContentViewController->tableViewOutlet()->viewport()->installEventFilter(this);
    m_tableContentViewController->onPostSelectedRequest = [this](const QString& postId) {
        if (onPostSelectedRequest) {
            onPostSelectedRequest(postId);
        }
    };
}

void ApplicationWindowController::setupPostContentView()
{
    m_postContentViewController = std::make_unique<PostContentViewController>();
}

void ApplicationWindowController::placePostContentView()
{
    if (m_postContentViewPlaced || !m_ui || !m_postContentViewController) {
        return;
    }
    m_postContentViewPlaced = true;
    m_awaitingListPaint = false;
    place(m_postContentViewController->view(), m_ui->view12Outlet);
    setupKeyboardOrder();
}

void ApplicationWindowController::placePostContentViewAfterListPaint()
{
    if (m_postContentViewPlaced || m_awaitingListPaint) {
        return;
    }
    // Behind the list's own queued change, so the paint waited for shows the rows.
    Dispatch::toMainThread(this, [this] {
        QWidget* list =
            m_tableContentViewController ? m_tableContentViewController->tableViewOutlet() : nullptr;
        if (m_postContentViewPlaced || !list || !list->isVisible()) {
            placePostContentView();
            return;
        }
        m_awaitingListPaint = true;
        // A window that is never drawn (covered up, on no screen) must not keep its post view out.
        QTimer::singleShot(PostContentViewLatest, this, [this] { placePostContentView(); });
    });
}

void ApplicationWindowController::newPost()
{
    if (m_applicationControllerService) {
        m_applicationControllerService->newPost();
    }
}

bool ApplicationWindowController::hasAnEditingPost() const
{
    return m_applicationControllerService && m_applicationControllerService->hasAnEditingPost();
}

QWidget* ApplicationWindowController::showEditingPost()
{
    return m_applicationControllerService ? m_applicationControllerService->showEditingPost() : nullptr;
}

void ApplicationWindowController::reopenApplicationWindow()
{
    QWidget* w = window();
    if (w->isMinimized()) {
        w->showNormal();
    }
    w->show();
    w->raise();
    w->activateWindow();
}

// The panes exist on the main thread only, so data goes there first; the panes queue their own changes
// behind it, and the order of the calls is kept.

void ApplicationWindowController::loading(bool flag)
{
    Dispatch::toMainThread(this, [this, flag] {
        if (m_tableTopViewController) {
            m_tableTopViewController->loading(flag);
        }
    });
}

void ApplicationWindowController::listUsers(const QList<BloggerUser>& users, const QString& currentUser)
{
    Dispatch::toMainThread(this, [this, users, currentUser] {
        if (m_menuContentViewController) {
            m_menuContentViewController->listUsers(users, currentUser);
        }
    });
}

void ApplicationWindowController::listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog)
{
    Dispatch::toMainThread(this, [this, blogs, currentBlog] {
        if (m_menuContentViewController) {
            m_menuContentViewController->listBlogs(blogs, currentBlog);
        }
    });
}

void ApplicationWindowController::listPosts(const QList<BloggerPost>& posts, PostArea area,
                                            std::optional<QDateTime> lastUpdate,
                                            std::optional<QString> preselectedPostId)
{
    Dispatch::toMainThread(this, [this, posts, area, lastUpdate, preselectedPostId] {
        if (m_tableContentViewController) {
            m_tableContentViewController->listPosts(posts, preselectedPostId);
        }
        placePostContentViewAfterListPaint();
        if (m_tableTopViewController) {
            m_tableTopViewController->displayPostsInfo(posts.size(), area, lastUpdate);
        }
    });
}

void ApplicationWindowController::scrollToPost(const QString& postId)
{
    Dispatch::toMainThread(this, [this, postId] {
        if (m_tableContentViewController) {
            m_tableContentViewController->scrollToPost(postId);
        }
    });
}

void ApplicationWindowController::displayPost(const BloggerPost& post)
{
    Dispatch::toMainThread(this, [this, post] {
        if (m_postTopViewController) {
            m_postTopViewController->showPost(post);
        }
        placePostContentView();
        if (m_postContentViewController) {
            m_postContentViewController->loadHtmlOnMainThread(post);
        }
    });
}

void ApplicationWindowController::loadDefaultView()
{
    Dispatch::toMainThread(this, [this] {
        if (m_postTopViewController) {
            m_postTopViewController->loadDefaultView();
        }
        placePostContentView();
        if (m_postContentViewController) {
            m_postContentViewController->loadDefaultView();
        }
    });
}

void ApplicationWindowController::focusPostList()
{
    Dispatch::toMainThread(this, [this] {
        if (m_tableContentViewController) {
            m_tableContentViewController->tableViewOutlet()->setFocus(Qt::OtherFocusReason);
        }
    });
}

void ApplicationWindowController::openHelp()
{
    if (onHelpRequest) {
        onHelpRequest();
    }
}

QMainWindow* ApplicationWindowController::windowOutlet() const
{
    return m_windowOutlet;
}

DraggableView* ApplicationWindowController::viewSplitOutlet() const
{
    return m_ui ? m_ui->viewSplitOutlet : nullptr;
}

QWidget* ApplicationWindowController::view00Outlet() const
{
    return m_ui ? m_ui->view00Outlet : nullptr;
}
QWidget* ApplicationWindowController::view01Outlet() const
{
    return m_ui ? m_ui->view01Outlet : nullptr;
}
QWidget* ApplicationWindowController::view02Outlet() const
{
    return m_ui ? m_ui->view02Outlet : nullptr;
}
QWidget* ApplicationWindowController::view10Outlet() const
{
    return m_ui ? m_ui->view10Outlet : nullptr;
}
QWidget* ApplicationWindowController::view11Outlet() const
{
    return m_ui ? m_ui->view11Outlet : nullptr;
}
QWidget* ApplicationWindowController::view12Outlet() const
{
    return m_ui ? m_ui->view12Outlet : nullptr;
}

MenuTopViewController* ApplicationWindowController::menuTopViewController() const
{
    return m_menuTopViewController.get();
}

TableTopViewController* ApplicationWindowController::tableTopViewController() const
{
    return m_tableTopViewController.get();
}

PostTopViewController* ApplicationWindowController::postTopViewController() const
{
    return m_postTopViewController.get();
}

MenuContentViewController* ApplicationWindowController::menuContentViewController() const
{
    return m_menuContentViewController.get();
}

TableContentViewController* ApplicationWindowController::tableContentViewController() const
{
    return m_tableContentViewController.get();
}

PostContentViewController* ApplicationWindowController::postContentViewController() const
{
    return m_postContentViewController.get();
}

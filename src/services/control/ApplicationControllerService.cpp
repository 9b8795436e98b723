#include "ApplicationControllerService.h"

#include "ApplicationDownloadControllerService.h"
#include "CommentsControllerService.h"
#include "PostsControllerService.h"
#include "common/BackgroundRunner.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Alert.h"
#include "platform/Dispatch.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/main/ApplicationWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"

#include <QMutex>

#include <utility>

namespace {

QMutex listingReadHookMutex;
std::function<void(PostArea, PostSortOptions)> listingReadHook;

void beforeListingRead(PostArea area, PostSortOptions sort)
{
    std::function<void(PostArea, PostSortOptions)> hook;
    {
        QMutexLocker locker(&listingReadHookMutex);
        hook = listingReadHook;
    }
    if (hook) {
        hook(area, sort);
    }
}

} // namespace

void ApplicationControllerService::setListingReadHook(
    std::function<void(PostArea area, PostSortOptions sort)> hook)
{
    QMutexLocker locker(&listingReadHookMutex);
    listingReadHook = std::move(hook);
}

// One read of an area's posts: what it was asked for, and its result once there.
struct ApplicationControllerService::ListingRead
{
    QString blogId;
    PostArea area;
    PostSortOptions sort;
    PostSortOrderOptions order;

    QMutex mutex;
    bool done = false;
    QList<BloggerPost> posts;
    std::optional<QDateTime> lastUpdate;
    std::function<void(const QList<BloggerPost>&, const std::optional<QDateTime>&)> then;

    void run()
    {
        beforeListingRead(area, sort);
        QList<BloggerPost> read = PostsLocalAccessAppService().listPostRowsForBlog(
            blogId, sort, order, PostFilterOptions::ByArea, rawValue(area));
        const std::optional<QDateTime> updated = PersistentServiceState().getLastUpdated(blogId);
        std::function<void(const QList<BloggerPost>&, const std::optional<QDateTime>&)> next;
        {
            QMutexLocker locker(&mutex);
            done = true;
            posts = std::move(read);
            lastUpdate = updated;
            next = std::move(then);
        }
        if (next) {
            next(posts, lastUpdate);
        }
    }

    // Runs `next` with the result, at once when it is there, else on the reading thread when it comes.
    void whenDone(std::function<void(const QList<BloggerPost>&, const std::optional<QDateTime>&)> next)
    {
        QMutexLocker locker(&mutex);
        if (!done) {
            then = std::move(next);
            return;
        }
        locker.unlock();
        next(posts, lastUpdate);
    }
};

ApplicationControllerService::ApplicationControllerService(ApplicationWindowController* controller,
                                                           std::shared_ptr<GoogleAuthentificationService> service,
                                                           QObject* parent)
    : QObject(parent), m_windowController(controller), m_authentificationService(std::move(service))
{
    m_applicationDownloadControllerService =
        std::make_unique<ApplicationDownloadControllerService>(m_authentificationService, this);
    m_commentsControllerService = std::make_unique<CommentsControllerService>(m_authentificationService, this);
    m_postsControllerService = std::make_unique<PostsControllerService>(m_authentificationService, this);
    setupEvents();
    prefetchFirstListing();
}

ApplicationControllerService::~ApplicationControllerService() = default;

ApplicationWindowController* ApplicationControllerService::windowController() const
{
    return m_windowController;
}

GoogleAuthentificationService& ApplicationControllerService::authentificationService() const
{
    return *m_authentificationService;
}

PostsControllerService* ApplicationControllerService::postsControllerService() const
{
    return m_postsControllerService.get();
}

CommentsControllerService* ApplicationControllerService::commentsControllerService() const
{
    return m_commentsControllerService.get();
}

ApplicationDownloadControllerService* ApplicationControllerService::applicationDownloadControllerService() const
{
    return m_applicationDownloadControllerService.get();
}

MiniBrowserWindowController* ApplicationControllerService::helpBrowser() const
{
    return m_helpBrowser.get();
}

bool ApplicationControllerService::hasAnEditingPost() const
{
    return m_postsControllerService->hasAnEditingPost();
}

void ApplicationControllerService::newPost()
{
    m_postsControllerService->newPost();
}

void ApplicationControllerService::setupEvents()
{
    ApplicationWindowController& window = *m_windowController;
    window.onWindowLoadComplete = [this] { onWindowLoadComplete(); };
    window.onNewPostRequest = [this] { onNewPostRequest(); };
    window.onAreaChangeRequest = [this](PostArea area) { onAreaChangeRequest(area); };
    window.onDownloadBloggerDataRequest = [this] { onDownloadBloggerDataRequest(); };
    window.onPostsSortRequest = [this](PostSortOptions sortBy, PostSortOrderOptions sortOrder) {
        onPostsSortRequest(sortBy, sortOrder);
    };
    window.onPostSelectedRequest = [this](const QString& postId) { onPostSelectedRequest(postId); };
    window.onAccountAndBlogChangeRequest = [this](const QString& account, const QString& blog) {
        onAccountAndBlogChangeRequest(account, blog);
    };
    window.onAccountChangeRequest = [this](const QString& userId) { onAccountChangeRequest(userId); };
    window.onAccountsAndBlogsSettingsPopupOpen = [this] { onAccountsAndBlogsSettingsPopupOpen(); };
    window.onHelpRequest = [this] { onHelpRequest(); };
    window.onReauthentificateCurrentAccountRequest = [this] { onReauthentificateCurrentAccountRequest(); };
    window.onRefreshCurrentAccountRequest = [this] { onRefreshCurrentAccountRequest(); };
    window.onAddNewAccountRequest = [this] { onAddNewAccountRequest(); };
    window.onEditPostRequest = [this](const QString& postId) { onEditPostRequest(postId); };
    window.onOfflinePostRequest = [this](const QString& postId) { onOfflinePostRequest(postId); };
    window.onDisplayPostCommentsRequest = [this](const QString& postId) { onDisplayPostCommentsRequest(postId); };
    window.onAddCommentRequest = [this](const QString& postId) { onAddCommentRequest(postId); };
    window.onReloadPostFromBloggerRequest = [this](const QString& postId) {
        onReloadPostFromBloggerRequest(postId);
    };
    window.onDeletePostRequest = [this](const QString& postId) { onDeletePostRequest(postId); };
}

void ApplicationControllerService::prefetchFirstListing()
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    auto read = std::make_shared<ListingRead>();
    read->blogId = state.blogId();
    read->area = state.area();
    read->sort = state.sort();
    read->order = state.sortOrder();
    m_prefetchedListing = read;
    BackgroundRunner().run([read] { read->run(); });
}

void ApplicationControllerService::listPosts(std::optional<QString> preselectedPostId,
                                             std::function<void()> listed)
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    std::shared_ptr<ListingRead> read = std::exchange(m_prefetchedListing, nullptr);
    if (!read || read->blogId != state.blogId() || read->area != state.area() || read->sort != state.sort() ||
        read->order != state.sortOrder()) {
        read = std::make_shared<ListingRead>();
        read->blogId = state.blogId();
        read->area = state.area();
        read->sort = state.sort();
        read->order = state.sortOrder();
        BackgroundRunner().run([read] { read->run(); });
    }
    // Reads run side by side and may finish in any order: only the last one asked for is shown.
    const std::uint64_t generation = ++m_listingGeneration;
    m_lastFullListing = generation;
    if (listed) {
        m_whenListed.push_back(std::move(listed));
    }
    QPointer<ApplicationControllerService> self = this;
    ListedPosts shown{read->blogId, read->area, read->sort, read->order, {}};
    read->whenDone([self, generation, shown, preselectedPostId](const QList<BloggerPost>& posts,
                                                                const std::optional<QDateTime>& lastUpdate) {
        ListedPosts listing = shown;
        listing.posts = posts;
        Dispatch::toMainThread(self, [generation, listing, lastUpdate,
                                      preselectedPostId](ApplicationControllerService* controller) {
            controller->showListing(generation, listing, lastUpdate, preselectedPostId);
        });
    });
}

void ApplicationControllerService::showListing(std::uint64_t generation, const ListedPosts& listing,
                                               const std::optional<QDateTime>& lastUpdate,
                                               const std::optional<QString>& preselectedPostId)
{
    if (generation != m_listingGeneration) {
        return;
    }
    m_listed = listing;
    m_listedGeneration = generation;
    m_unlistedChanges.clear();
    if (m_windowController) {
        m_windowController->listPosts(listing.posts, listing.area, lastUpdate, preselectedPostId);
    }
    for (const std::function<void()>& next : std::exchange(m_whenListed, {})) {
        next();
    }
}

void ApplicationControllerService::updateListedPosts(const QStringList& changedPostIds,
                                                     const QStringList& discardedPostIds)
{
    for (const QString& postId : changedPostIds) {
        if (!m_unlistedChanges.contains(postId)) {
            m_unlistedChanges.append(postId);
        }
    }
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    // Without a listing of what the window should show to start from, the area is read whole.
    if (!m_listed || m_lastFullListing > m_listedGeneration || m_listed->blogId != state.blogId() ||
        m_listed->area != state.area() || m_listed->sort != state.sort() ||
        m_listed->order != state.sortOrder()) {
        listPosts(m_selectedPostId);
        return;
    }
    const std::uint64_t generation = ++m_listingGeneration;
    QPointer<ApplicationControllerService> self = this;
    BackgroundRunner().run([self, generation, base = *m_listed, changed = m_unlistedChanges, discardedPostIds,
                            preselectedPostId = m_selectedPostId] {
        bool read = false;
        ListedPosts listing = base;
        listing.posts = PostsLocalAccessAppService().updatePostRows(
            base.posts, changed, base.blogId, base.sort, base.order, PostFilterOptions::ByArea,
            rawValue(base.area), &read);
        listing.posts.removeIf(
            [&](const BloggerPost& post) { return discardedPostIds.contains(post.postId); });
        const std::optional<QDateTime> lastUpdate = PersistentServiceState().getLastUpdated(base.blogId);
        Dispatch::toMainThread(self, [generation, read, listing, lastUpdate,
                                      preselectedPostId](ApplicationControllerService* controller) {
            if (generation != controller->m_listingGeneration) {
                return;
            }
            if (!read) {
                controller->listPosts(controller->m_selectedPostId);
                return;
            }
            controller->showListing(generation, listing, lastUpdate, preselectedPostId);
        });
    });
}

void ApplicationControllerService::postsEdited(const QStringList& changedPostIds,
                                               const QStringList& discardedPostIds,
                                               const std::optional<BloggerPost>& shown)
{
    if (shown) {
        m_selectedPostId = shown->postId;
        if (m_windowController) {
            m_windowController->displayPost(*shown);
        }
    }
    updateListedPosts(changedPostIds, discardedPostIds);
}

void ApplicationControllerService::reloadPostsList()
{
    listPosts(m_selectedPostId);
}

void ApplicationControllerService::showPost(const BloggerPost& post)
{
    m_selectedPostId = post.postId;
    if (m_windowController) {
        m_windowController->displayPost(post);
    }
    listPosts(m_selectedPostId);
}

void ApplicationControllerService::postChanged(const QString& postId)
{
    if (m_selectedPostId == postId) {
        onPostSelectedRequest(postId);
    }
    updateListedPosts({postId});
}

void ApplicationControllerService::onWindowLoadComplete()
{
    const QString blogId = m_authentificationService->dynamicServiceState().blogId();
    // Posts left behind by an unexpected exit are offered back once the window lists the blog.
    QPointer<PostsControllerService> posts = m_postsControllerService.get();
    listPosts(std::nullopt, [posts, blogId] {
        if (posts) {
            posts->recoverAutosavedPosts(blogId);
        }
    });
    if (!PersistentServiceState().getBlogWasQueried(blogId)) {
        m_applicationDownloadControllerService->downloadBlogPosts(blogId);
    }
}

void ApplicationControllerService::onNewPostRequest()
{
    newPost();
}

void ApplicationControllerService::onAreaChangeRequest(PostArea area)
{
    m_authentificationService->dynamicServiceState().setArea(area);
    m_selectedPostId.reset();
    m_windowController->loadDefaultView();
    listPosts(std::nullopt);
}

void ApplicationControllerService::onDownloadBloggerDataRequest()
{
    m_applicationDownloadControllerService->downloadBlogPosts(
        m_authentificationService->dynamicServiceState().blogId());
}

void ApplicationControllerService::onPostsSortRequest(PostSortOptions sortBy, PostSortOrderOptions sortOrder)
{
    DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    state.setSort(sortBy);
    state.setSortOrder(sortOrder);
    reloadPostsList();
}

void ApplicationControllerService::onPostSelectedRequest(const QString& postId)
{
    m_selectedPostId = postId;
    QPointer<ApplicationControllerService> self = this;
    BackgroundRunner().run([self, postId] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        Dispatch::toMainThread(self, [post, postId](ApplicationControllerService* controller) {
            // A later selection wins: only the post still selected is shown.
            if (!controller->m_windowController || controller->m_selectedPostId != postId) {
                return;
            }
            if (post) {
                controller->m_windowController->displayPost(*post);
            } else {
                controller->m_windowController->loadDefaultView();
            }
        });
    });
}

void ApplicationControllerService::onAccountAndBlogChangeRequest(const QString& account, const QString& blog)
{
    if (account == GoogleServiceConstants::NoId() || blog == GoogleServiceConstants::NoId()) {
        LocalNotificationService().showInfoAlert(QStringLiteral("Choose an account and a blog"),
                                                 QStringLiteral("Pick both an account and one of its blogs, then "
                                                                "apply again."));
        return;
    }
    if (!m_authentificationService->changeUserAndBlogAndTokens(account, blog)) {
        LocalNotificationService().showCriticalAlert(
            QStringLiteral("Cannot change the account"),
            QStringLiteral("No sign-in is stored for this account. Add the account again from the settings."));
        return;
    }
    PersistentServiceState state;
    state.setUserId(account);
    state.setBlogId(blog);
    m_selectedPostId.reset();
    m_windowController->loadDefaultView();
    listPosts(std::nullopt);
    if (!state.getBlogWasQueried(blog)) {
        m_applicationDownloadControllerService->downloadBlogPosts(blog);
    }
}

void ApplicationControllerService::onAccountChangeRequest(const QString& userId)
{
    const QString currentBlog = m_authentificationService->dynamicServiceState().blogId();
    QPointer<ApplicationWindowController> window = m_windowController;
    BackgroundRunner().run([window, userId, currentBlog] {
        const QList<BloggerBlog> blogs = UserBlogsLocalAccessAppService().listAllBlogsForUser(userId);
        Dispatch::toMainThread(window, [blogs, currentBlog](ApplicationWindowController* w) {
            w->listBlogs(blogs, currentBlog);
        });
    });
}

void ApplicationControllerService::onAccountsAndBlogsSettingsPopupOpen()
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    const QString userId = state.userId();
    const QString blogId = state.blogId();
    QPointer<ApplicationWindowController> window = m_windowController;
    BackgroundRunner().run([window, userId, blogId] {
        UserBlogsLocalAccessAppService store;
        // The users table also holds comment authors: only accounts signed in on this computer are offered.
        QList<BloggerUser> users = store.listUsers();
        users.removeIf(
            [](const BloggerUser& user) { return !PersistentAccessTokens(user.userId).refreshToken(); });
        const QList<BloggerBlog> blogs = store.listAllBlogsForUser(userId);
        Dispatch::toMainThread(window, [users, blogs, userId, blogId](ApplicationWindowController* w) {
            w->listUsers(users, userId);
            w->listBlogs(blogs, blogId);
        });
    });
}

void ApplicationControllerService::onHelpRequest()
{
    // One help window for the application: asked again, the same window comes to the front with its page.
    if (!m_helpBrowser) {
        m_helpBrowser = std::make_unique<MiniBrowserWindowController>();
    }
    m_helpBrowser->openHelp();
}

void ApplicationControllerService::onReauthentificateCurrentAccountRequest()
{
    m_applicationDownloadControllerService->reauthentificateCurrentAccount();
}

void ApplicationControllerService::onRefreshCurrentAccountRequest()
{
    m_applicationDownloadControllerService->refreshCurrentAccount();
}

void ApplicationControllerService::onAddNewAccountRequest()
{
    m_applicationDownloadControllerService->addNewAccount();
}

void ApplicationControllerService::onEditPostRequest(const QString& postId)
{
    m_postsControllerService->editPost(postId);
}

void ApplicationControllerService::onOfflinePostRequest(const QString& postId)
{
    m_postsControllerService->offlinePost(postId);
}

void ApplicationControllerService::onDisplayPostCommentsRequest(const QString& postId)
{
    m_commentsControllerService->showComments(postId);
}

void ApplicationControllerService::onAddCommentRequest(const QString& postId)
{
    m_commentsControllerService->addComment(postId);
}

void ApplicationControllerService::onReloadPostFromBloggerRequest(const QString& postId)
{
    m_applicationDownloadControllerService->reloadPost(postId);
}

void ApplicationControllerService::onDeletePostRequest(const QString& postId)
{
    QPointer<ApplicationControllerService> self = this;
    BackgroundRunner().run([self, postId] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        Dispatch::toMainThread(self, [post, postId](ApplicationControllerService* controller) {
            if (!post) {
                return;
            }
            QPointer<ApplicationControllerService> self = controller;
            const bool onBlogger = post->isOnBlogger();
            const QString title = post->title.trimmed();
            AlertRequest question{AlertStyle::Warning,
                                  title.isEmpty() ? QStringLiteral("Delete this post?")
                                                  : QStringLiteral("Delete \u201c%1\u201d?").arg(title),
                                  onBlogger ? QStringLiteral("It will be deleted from Blogger too.")
                                            : QStringLiteral("It will be deleted from this computer."),
                                  {QStringLiteral("Delete"), QStringLiteral("Cancel")},
                                  [self, postId, onBlogger](int button) {
                                      if (!self || button != 0) {
                                          return;
                                      }
                                      if (onBlogger) {
                                          self->m_applicationDownloadControllerService->deleteBloggerPost(postId);
                                      } else {
                                          self->deleteLocalPost(postId);
                                      }
                                  },
                                  // Return must never delete.
                                  1};
            Alert::present(question);
        });
    });
}

void ApplicationControllerService::deleteLocalPost(const QString& postId)
{
    if (m_selectedPostId == postId) {
        m_selectedPostId.reset();
    }
    m_windowController->loadDefaultView();
    QPointer<ApplicationControllerService> self = this;
    BackgroundRunner().run([self, postId] {
        const bool deleted = PostsLocalAccessAppService().deleteBlogPost(postId, true);
        Dispatch::toMainThread(self, [deleted, postId](ApplicationControllerService* controller) {
            if (!deleted) {
                LocalNotificationService().showCriticalAlert(
                    QStringLiteral("Cannot delete the post"),
                    QStringLiteral("The post could not be removed from this computer. Nothing was changed."));
            }
            controller->updateListedPosts({postId});
        });
    });
}

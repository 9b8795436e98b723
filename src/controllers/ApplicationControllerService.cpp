#include "ApplicationControllerService.h"

#include "ApplicationDownloadControllerService.h"
#include "CommentsControllerService.h"
#include "PostsControllerService.h"
#include "common/Async.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Alert.h"
#include "platform/Dispatch.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
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

ApplicationControllerService::ApplicationControllerService(
    ApplicationWindowController* controller, std::shared_ptr<GoogleAuthentificationService> service,
    QFuture<ReadListing> firstListing, QObject* parent)
    : QObject(parent), m_windowController(controller), m_authentificationService(std::move(service))
{
    m_applicationDownloadControllerService =
        std::make_unique<ApplicationDownloadControllerService>(m_authentificationService);
    m_commentsControllerService = std::make_unique<CommentsControllerService>(m_authentificationService);
    m_postsControllerService = std::make_unique<PostsControllerService>(m_authentificationService);
    setupEvents();
    setupControllerEvents();
    prefetchFirstListing(std::move(firstListing));
}

ApplicationControllerService::~ApplicationControllerService() = default;

ApplicationWindowController* ApplicationControllerService::windowController() const
{
    Dispatch::requireMainThread("ApplicationControllerService::windowController");
    return m_windowController;
}

GoogleAuthentificationService& ApplicationControllerService::authentificationService() const
{
    Dispatch::requireMainThread("ApplicationControllerService::authentificationService");
    return *m_authentificationService;
}

PostsControllerService* ApplicationControllerService::postsControllerService() const
{
    Dispatch::requireMainThread("ApplicationControllerService::postsControllerService");
    return m_postsControllerService.get();
}

CommentsControllerService* ApplicationControllerService::commentsControllerService() const
{
    Dispatch::requireMainThread("ApplicationControllerService::commentsControllerService");
    return m_commentsControllerService.get();
}

ApplicationDownloadControllerService*
ApplicationControllerService::applicationDownloadControllerService() const
{
    Dispatch::requireMainThread("ApplicationControllerService::applicationDownloadControllerService");
    return m_applicationDownloadControllerService.get();
}

MiniBrowserWindowController* ApplicationControllerService::helpBrowser() const
{
    Dispatch::requireMainThread("ApplicationControllerService::helpBrowser");
    return m_helpBrowser.get();
}

bool ApplicationControllerService::hasAnEditingPost() const
{
    Dispatch::requireMainThread("ApplicationControllerService::hasAnEditingPost");
    return m_postsControllerService->hasAnEditingPost();
}

QWidget* ApplicationControllerService::showEditingPost()
{
    Dispatch::requireMainThread("ApplicationControllerService::showEditingPost");
    return m_postsControllerService->showEditingPost();
}

void ApplicationControllerService::newPost()
{
    Dispatch::requireMainThread("ApplicationControllerService::newPost");
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
    window.onDisplayPostCommentsRequest = [this](const QString& postId) {
        onDisplayPostCommentsRequest(postId);
    };
    window.onAddCommentRequest = [this](const QString& postId) { onAddCommentRequest(postId); };
    window.onReloadPostFromBloggerRequest = [this](const QString& postId) {
        onReloadPostFromBloggerRequest(postId);
    };
    window.onDeletePostRequest = [this](const QString& postId) { onDeletePostRequest(postId); };
}

void ApplicationControllerService::setupControllerEvents()
{
    ApplicationDownloadControllerService* download = m_applicationDownloadControllerService.get();
    connect(download, &ApplicationDownloadControllerService::busyChanged, this, [this](bool busy) {
        if (m_windowController) {
            m_windowController->loading(busy);
        }
    });
    connect(download, &ApplicationDownloadControllerService::blogDownloaded, this,
            &ApplicationControllerService::reloadPostsList);
    connect(download, &ApplicationDownloadControllerService::postChanged, this,
            &ApplicationControllerService::postChanged);
    // The accounts popover shows the names and blogs just read.
    connect(download, &ApplicationDownloadControllerService::accountRefreshed, this,
            &ApplicationControllerService::listAccountsAndBlogs);
    // The new account's first blog: listed, and downloaded when it never was.
    connect(download, &ApplicationDownloadControllerService::newAccountAdded, this,
            [this](const QString& userId, const QString& blogId) {
                changeAccountAndBlog(userId, blogId);
                listAccountsAndBlogs();
            });
    connect(m_commentsControllerService.get(), &CommentsControllerService::postChanged, this,
            &ApplicationControllerService::postChanged);
    PostsControllerService* posts = m_postsControllerService.get();
    connect(posts, &PostsControllerService::postsEdited, this, &ApplicationControllerService::postsEdited);
}

void ApplicationControllerService::prefetchFirstListing(QFuture<ReadListing> begun)
{
    if (!begun.isValid()) {
        m_prefetchedListing = startListingRead();
        return;
    }
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    m_prefetchedListing =
        ListingRead{{state.blogId(), state.area(), state.sort(), state.sortOrder(), {}}, std::move(begun)};
}

ApplicationControllerService::ReadListing ApplicationControllerService::readStoredAccountListing()
{
    const PersistentServiceState stored;
    const std::optional<QString> userId = stored.userId();
    const std::optional<QString> blogId = stored.blogId();
    if (!userId || !blogId || *userId == GoogleServiceConstants::NoId() ||
        *blogId == GoogleServiceConstants::NoId()) {
        return {};
    }
    // The area and order every start lists first.
    const DynamicServiceState start;
    return readListing({*blogId, start.area(), start.sort(), start.sortOrder(), {}});
}

ApplicationControllerService::ReadListing ApplicationControllerService::readListing(const ListedPosts& asked)
{
    beforeListingRead(asked.area, asked.sort);
    ReadListing read{asked, {}};
    read.listing.posts = PostsLocalAccessAppService().listPostRowsForBlog(
        asked.blogId, asked.sort, asked.order, PostFilterOptions::ByArea, rawValue(asked.area));
    read.lastUpdate = PersistentServiceState().getLastUpdated(asked.blogId);
    return read;
}

ApplicationControllerService::ListingRead ApplicationControllerService::startListingRead() const
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    ListingRead read{{state.blogId(), state.area(), state.sort(), state.sortOrder(), {}}, {}};
    read.result = Async::run([asked = read.asked] { return readListing(asked); });
    return read;
}

void ApplicationControllerService::listPosts(std::optional<QString> preselectedPostId,
                                             std::function<void()> listed)
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    std::optional<ListingRead> read = std::exchange(m_prefetchedListing, std::nullopt);
    if (!read || read->asked.blogId != state.blogId() || read->asked.area != state.area() ||
        read->asked.sort != state.sort() || read->asked.order != state.sortOrder()) {
        read = startListingRead();
    }
    // Reads run side by side and may finish in any order: only the last one asked for is shown.
    const std::uint64_t generation = ++m_listingGeneration;
    m_lastFullListing = generation;
    if (listed) {
        m_whenListed.push_back(std::move(listed));
    }
    Async::then(read->result, this,
                [this, generation, preselectedPostId, asked = read->asked](const ReadListing& read) {
                    // A read begun before the window existed may have found another blog stored by then.
                    if (read.listing.blogId != asked.blogId || read.listing.area != asked.area ||
                        read.listing.sort != asked.sort || read.listing.order != asked.order) {
                        if (generation == m_listingGeneration) {
                            listPosts(preselectedPostId);
                        }
                        return;
                    }
                    showListing(generation, read.listing, read.lastUpdate, preselectedPostId);
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
    Async::runThenCallback(
        this,
        [base = *m_listed, changed = m_unlistedChanges, discardedPostIds] {
            bool read = false;
            ReadListing update{base, {}};
            update.listing.posts = PostsLocalAccessAppService().updatePostRows(
                base.posts, changed, base.blogId, base.sort, base.order, PostFilterOptions::ByArea,
                rawValue(base.area), &read);
            update.listing.posts.removeIf(
                [&](const BloggerPost& post) { return discardedPostIds.contains(post.postId); });
            update.lastUpdate = PersistentServiceState().getLastUpdated(base.blogId);
            return std::make_pair(read, update);
        },
        [this, generation, preselectedPostId = m_selectedPostId](const std::pair<bool, ReadListing>& result) {
            if (generation != m_listingGeneration) {
                return;
            }
            if (!result.first) {
                listPosts(m_selectedPostId);
                return;
            }
            showListing(generation, result.second.listing, result.second.lastUpdate, preselectedPostId);
        });
}

void ApplicationControllerService::postsEdited(const QStringList& changedPostIds,
                                               const QStringList& discardedPostIds,
                                               const std::optional<BloggerPost>& shown)
{
    Dispatch::requireMainThread("ApplicationControllerService::postsEdited");
    if (shown) {
        m_selectedPostId = shown->postId;
        if (m_windowController) {
            m_windowController->displayPost(*shown);
        }
        // The post kept is highlighted wherever it is listed: brought into view once it is.
        m_whenListed.push_back([this, postId = shown->postId] {
            if (m_windowController) {
                m_windowController->scrollToPost(postId);
            }
        });
    }
    updateListedPosts(changedPostIds, discardedPostIds);
}

void ApplicationControllerService::reloadPostsList()
{
    Dispatch::requireMainThread("ApplicationControllerService::reloadPostsList");
    listPosts(m_selectedPostId);
}

void ApplicationControllerService::showPost(const BloggerPost& post)
{
    Dispatch::requireMainThread("ApplicationControllerService::showPost");
    m_selectedPostId = post.postId;
    if (m_windowController) {
        m_windowController->displayPost(post);
    }
    listPosts(m_selectedPostId);
}

void ApplicationControllerService::postChanged(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::postChanged");
    if (m_selectedPostId == postId) {
        onPostSelectedRequest(postId);
    }
    updateListedPosts({postId});
}

void ApplicationControllerService::onWindowLoadComplete()
{
    Dispatch::requireMainThread("ApplicationControllerService::onWindowLoadComplete");
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
    Dispatch::requireMainThread("ApplicationControllerService::onNewPostRequest");
    newPost();
}

void ApplicationControllerService::onAreaChangeRequest(PostArea area)
{
    Dispatch::requireMainThread("ApplicationControllerService::onAreaChangeRequest");
    m_authentificationService->dynamicServiceState().setArea(area);
    m_selectedPostId.reset();
    m_windowController->loadDefaultView();
    listPosts(std::nullopt);
}

void ApplicationControllerService::onDownloadBloggerDataRequest()
{
    Dispatch::requireMainThread("ApplicationControllerService::onDownloadBloggerDataRequest");
    m_applicationDownloadControllerService->downloadBlogPosts(
        m_authentificationService->dynamicServiceState().blogId());
}

void ApplicationControllerService::onPostsSortRequest(PostSortOptions sortBy, PostSortOrderOptions sortOrder)
{
    Dispatch::requireMainThread("ApplicationControllerService::onPostsSortRequest");
    DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    state.setSort(sortBy);
    state.setSortOrder(sortOrder);
    reloadPostsList();
}

void ApplicationControllerService::onPostSelectedRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onPostSelectedRequest");
    m_selectedPostId = postId;
    Async::runThenCallback(
        this, [postId] { return PostsLocalAccessAppService().getPost(postId); },
        [this, postId](const std::optional<BloggerPost>& post) {
            // A later selection wins: only the post still selected is shown.
            if (!m_windowController || m_selectedPostId != postId) {
                return;
            }
            if (post) {
                m_windowController->displayPost(*post);
            } else {
                m_windowController->loadDefaultView();
            }
        });
}

void ApplicationControllerService::onAccountAndBlogChangeRequest(const QString& account, const QString& blog)
{
    Dispatch::requireMainThread("ApplicationControllerService::onAccountAndBlogChangeRequest");
    changeAccountAndBlog(account, blog);
}

void ApplicationControllerService::changeAccountAndBlog(const QString& account, const QString& blog)
{
    if (account == GoogleServiceConstants::NoId() || blog == GoogleServiceConstants::NoId()) {
        LocalNotificationService().showInfoAlert(
            QStringLiteral("Choose an account and a blog"),
            QStringLiteral("Pick both an account and one of its blogs, then "
                           "apply again."));
        return;
    }
    if (!m_authentificationService->changeUserAndBlogAndTokens(account, blog)) {
        LocalNotificationService().showCriticalAlert(
            QStringLiteral("Cannot change the account"),
            QStringLiteral(
                "No sign-in is stored for this account. Add the account again from the settings."));
        return;
    }
    PersistentServiceState state;
    state.setUserId(account);
    state.setBlogId(blog);
    m_selectedPostId.reset();
    m_windowController->loadDefaultView();
    // Whatever had the keys (the reading pane, the popover) is gone or emptied: they go back to the posts.
    m_windowController->focusPostList();
    listPosts(std::nullopt);
    if (!state.getBlogWasQueried(blog)) {
        m_applicationDownloadControllerService->downloadBlogPosts(blog);
    }
}

void ApplicationControllerService::onAccountChangeRequest(const QString& userId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onAccountChangeRequest");
    const QString currentBlog = m_authentificationService->dynamicServiceState().blogId();
    ApplicationWindowController* window = m_windowController;
    Async::runThenCallback(
        window, [userId] { return UserBlogsLocalAccessAppService().listAllBlogsForUser(userId); },
        [window, currentBlog](const QList<BloggerBlog>& blogs) { window->listBlogs(blogs, currentBlog); });
}

void ApplicationControllerService::onAccountsAndBlogsSettingsPopupOpen()
{
    Dispatch::requireMainThread("ApplicationControllerService::onAccountsAndBlogsSettingsPopupOpen");
    listAccountsAndBlogs();
}

void ApplicationControllerService::listAccountsAndBlogs()
{
    const DynamicServiceState& state = m_authentificationService->dynamicServiceState();
    const QString userId = state.userId();
    const QString blogId = state.blogId();
    ApplicationWindowController* window = m_windowController;
    Async::runThenCallback(
        window,
        [userId] {
            UserBlogsLocalAccessAppService store;
            // The users table also holds comment authors: only accounts signed in on this computer are
            // offered.
            QList<BloggerUser> users = store.listUsers();
            users.removeIf(
                [](const BloggerUser& user) { return !PersistentAccessTokens(user.userId).refreshToken(); });
            return std::make_pair(users, store.listAllBlogsForUser(userId));
        },
        [window, userId, blogId](const std::pair<QList<BloggerUser>, QList<BloggerBlog>>& read) {
            window->listUsers(read.first, userId);
            window->listBlogs(read.second, blogId);
        });
}

void ApplicationControllerService::onHelpRequest()
{
    Dispatch::requireMainThread("ApplicationControllerService::onHelpRequest");
    // One help window for the application: asked again, the same window comes to the front with its page.
    if (!m_helpBrowser) {
        m_helpBrowser = std::make_unique<MiniBrowserWindowController>();
    }
    m_helpBrowser->openHelp();
}

void ApplicationControllerService::onReauthentificateCurrentAccountRequest()
{
    Dispatch::requireMainThread("ApplicationControllerService::onReauthentificateCurrentAccountRequest");
    m_applicationDownloadControllerService->reauthentificateCurrentAccount();
}

void ApplicationControllerService::onRefreshCurrentAccountRequest()
{
    Dispatch::requireMainThread("ApplicationControllerService::onRefreshCurrentAccountRequest");
    m_applicationDownloadControllerService->refreshCurrentAccount();
}

void ApplicationControllerService::onAddNewAccountRequest()
{
    Dispatch::requireMainThread("ApplicationControllerService::onAddNewAccountRequest");
    m_applicationDownloadControllerService->addNewAccount();
}

void ApplicationControllerService::onEditPostRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onEditPostRequest");
    m_postsControllerService->editPost(postId);
}

void ApplicationControllerService::onOfflinePostRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onOfflinePostRequest");
    m_postsControllerService->offlinePost(postId);
}

void ApplicationControllerService::onDisplayPostCommentsRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onDisplayPostCommentsRequest");
    m_commentsControllerService->showComments(postId);
}

void ApplicationControllerService::onAddCommentRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onAddCommentRequest");
    m_commentsControllerService->addComment(postId);
}

void ApplicationControllerService::onReloadPostFromBloggerRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onReloadPostFromBloggerRequest");
    m_applicationDownloadControllerService->reloadPost(postId);
}

void ApplicationControllerService::onDeletePostRequest(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationControllerService::onDeletePostRequest");
    Async::runThenCallback(
        this, [postId] { return PostsLocalAccessAppService().getPost(postId); },
        [this, postId](const std::optional<BloggerPost>& post) {
            if (!post) {
                return;
            }
            QPointer<ApplicationControllerService> self = this;
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
                                          self->m_applicationDownloadControllerService->deleteBloggerPost(
                                              postId);
                                      } else {
                                          self->deleteLocalPost(postId);
                                      }
                                  },
                                  // Return must never delete.
                                  1};
            Alert::present(question);
        });
}

void ApplicationControllerService::deleteLocalPost(const QString& postId)
{
    if (m_selectedPostId == postId) {
        m_selectedPostId.reset();
    }
    m_windowController->loadDefaultView();
    Async::runThenCallback(
        this, [postId] { return PostsLocalAccessAppService().deleteBlogPost(postId, true); },
        [this, postId](bool deleted) {
            if (!deleted) {
                LocalNotificationService().showCriticalAlert(
                    QStringLiteral("Cannot delete the post"),
                    QStringLiteral("The post could not be removed from this computer. Nothing was changed."));
            }
            updateListedPosts({postId});
        });
}

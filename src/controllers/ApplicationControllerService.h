#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"

#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ApplicationDownloadControllerService;
class ApplicationWindowController;
class CommentsControllerService;
class GoogleAuthentificationService;
class MiniBrowserWindowController;
class PostsControllerService;
class QWidget;

// Drives the main window: sets its closures, reads what they ask for from the local store on a background
// thread and hands the results down; what needs Blogger goes to the feature controllers.
class ApplicationControllerService : public QObject
{
    Q_OBJECT
public:
    // A listing as handed to the window, with what it was read for.
    struct ListedPosts
    {
        QString blogId;
        PostArea area = PostArea::Published;
        PostSortOptions sort = PostSortOptions::UpdatedDate;
        PostSortOrderOptions order = PostSortOrderOptions::Descending;
        QList<BloggerPost> posts;
    };
    // An area as read from the store, with the time of the blog's last download.
    struct ReadListing
    {
        ListedPosts listing;
        std::optional<QDateTime> lastUpdate;
    };

    // Sets every closure of the window before it returns. `firstListing`, when valid, is a read begun
    // before the window existed (see readStoredAccountListing); the first listing takes it when it was
    // read for what the window is to show.
    ApplicationControllerService(ApplicationWindowController* controller,
                                 std::shared_ptr<GoogleAuthentificationService> service,
                                 QFuture<ReadListing> firstListing = {}, QObject* parent = nullptr);

    // Any thread: the current area of the stored account's current blog as the window first lists it,
    // read straight from the preferences and the store; no blog and no posts when none is stored.
    static ReadListing readStoredAccountListing();
    ~ApplicationControllerService() override;

    bool hasAnEditingPost() const;
    QWidget* showEditingPost();
    void newPost();

    // Reads the current area again and lists it, keeping the selected post highlighted.
    void reloadPostsList();
    // Shows the post in the window and lists the current area again with it highlighted.
    void showPost(const BloggerPost& post);
    // The editor changed these posts in the store: the listing is brought up to date by reading them
    // again, not the whole area. The discarded ones (autosave records on their way out) are left out
    // whether or not they are gone yet; `shown`, when given, is shown and stays highlighted.
    void postsEdited(const QStringList& changedPostIds, const QStringList& discardedPostIds,
                     const std::optional<BloggerPost>& shown);
    // A post changed or went away in the store: lists again and, when it is the post on show, shows it
    // anew (or the default view once it is gone).
    void postChanged(const QString& postId);

    // For tests: runs on the reading thread before each read of an area's posts, so a test can hold one.
    static void setListingReadHook(std::function<void(PostArea area, PostSortOptions sort)> hook);

    ApplicationWindowController* windowController() const;
    GoogleAuthentificationService& authentificationService() const;
    PostsControllerService* postsControllerService() const;
    CommentsControllerService* commentsControllerService() const;
    ApplicationDownloadControllerService* applicationDownloadControllerService() const;
    MiniBrowserWindowController* helpBrowser() const;

    // Handlers of the window's requests, named after its closures.
    void onWindowLoadComplete();
    void onNewPostRequest();
    void onAreaChangeRequest(PostArea area);
    void onDownloadBloggerDataRequest();
    void onPostsSortRequest(PostSortOptions sortBy, PostSortOrderOptions sortOrder);
    void onPostSelectedRequest(const QString& postId);
    void onAccountAndBlogChangeRequest(const QString& account, const QString& blog);
    void onAccountChangeRequest(const QString& userId);
    void onAccountsAndBlogsSettingsPopupOpen();
    void onHelpRequest();
    void onReauthentificateCurrentAccountRequest();
    void onRefreshCurrentAccountRequest();
    void onAddNewAccountRequest();
    void onEditPostRequest(const QString& postId);
    void onOfflinePostRequest(const QString& postId);
    void onDisplayPostCommentsRequest(const QString& postId);
    void onAddCommentRequest(const QString& postId);
    void onReloadPostFromBloggerRequest(const QString& postId);
    void onDeletePostRequest(const QString& postId);

private:
    // One read of an area's posts: what it was asked for, and its result to come.
    struct ListingRead
    {
        ListedPosts asked;
        QFuture<ReadListing> result;
    };

    void setupEvents();
    // What the feature controllers report.
    void setupControllerEvents();
    void changeAccountAndBlog(const QString& account, const QString& blog);
    void listAccountsAndBlogs();
    // `listed` runs on the main thread once the window has the list.
    void listPosts(std::optional<QString> preselectedPostId, std::function<void()> listed = {});
    void showListing(std::uint64_t generation, const ListedPosts& listing,
                     const std::optional<QDateTime>& lastUpdate,
                     const std::optional<QString>& preselectedPostId);
    void updateListedPosts(const QStringList& changedPostIds, const QStringList& discardedPostIds = {});
    // Starts reading the current area in the background, unless a read was begun before; the first
    // listing takes it if nothing changed.
    void prefetchFirstListing(QFuture<ReadListing> begun);
    // Starts reading the current area on the thread pool.
    ListingRead startListingRead() const;
    // Any thread: reads one area of one blog.
    static ReadListing readListing(const ListedPosts& asked);
    void deleteLocalPost(const QString& postId);

    QPointer<ApplicationWindowController> m_windowController;
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<ApplicationDownloadControllerService> m_applicationDownloadControllerService;
    std::unique_ptr<CommentsControllerService> m_commentsControllerService;
    std::unique_ptr<PostsControllerService> m_postsControllerService;
    std::unique_ptr<MiniBrowserWindowController> m_helpBrowser;
    // The post on show, so a new listing keeps it highlighted (main thread).
    std::optional<QString> m_selectedPostId;
    // The read started while the window is being built, taken by the first listing (main thread).
    std::optional<ListingRead> m_prefetchedListing;
    // Counts the listings asked for; a read that is not the last one asked for is dropped (main thread).
    std::uint64_t m_listingGeneration = 0;
    // What waits for a listing to be shown; a dropped read hands it on to the next (main thread).
    std::vector<std::function<void()>> m_whenListed;
    // The generation of the last whole read asked for, and of the listing on show (main thread).
    std::uint64_t m_lastFullListing = 0;
    std::uint64_t m_listedGeneration = 0;
    std::optional<ListedPosts> m_listed;
    // Posts changed since the listing on show was read (main thread).
    QStringList m_unlistedChanges;
};

#pragma once

#include "google/BlockProperty.h"
#include "model/BloggerPost.h"
#include "model/BloggerSuccessResponse.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class GoogleAuthentificationService;
class PostsGoogleService;

// A blog's posts brought from Blogger into the local store, and a post deleted on both. The token is
// refreshed first, inside the web service. Closures run on the store queue (Dispatch), never on the network
// thread, exactly one of a pair per started operation; error texts have passed through
// GoogleResponseAnalysisService.
//
// Rows kept only on this computer (area Offline: Offline, Synced Copy, Autosaved, Deleted) are never
// changed by these operations, also when they share the post id of a post on Blogger. A download adds
// and updates the rows that mirror Blogger and deletes nothing.
class PostsRemotePersistenceAppService : public std::enable_shared_from_this<PostsRemotePersistenceAppService>
{
public:
    static std::shared_ptr<PostsRemotePersistenceAppService>
    create(std::shared_ptr<GoogleAuthentificationService> service);

    BlockProperty<void()> onListAndPersistAllBlogPostsSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onListAndPersistAllBlogPostsError;
    BlockProperty<void(BloggerPost)> onGetAndPersistBlogPostSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetAndPersistBlogPostError;
    BlockProperty<void()> onDeleteBlogPostSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onDeleteBlogPostError;
    BlockProperty<void(BloggerPost)> onAddBlogPostSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onAddBlogPostError;
    BlockProperty<void(BloggerPost)> onUpdateBlogPostSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onUpdateBlogPostError;

    // The listing's pages stored in one transaction; then the blog's last update and "queried" are
    // recorded. A failed listing or store keeps the store and the last update as they were.
    void listAndPersistAllBlogPosts(const QString& blogId);
    // Succeeds with the post as stored.
    void getAndPersistBlogPost(const QString& postId, const QString& blogId);
    // Deleted on Blogger, then its local mirror with the mirror's comments; a mirror that cannot be
    // removed ends in the error closure.
    void deleteBlogPost(const QString& postId, const QString& blogId);
    // A new post on Blogger; the reply is stored. replacesLocalPostId names the row kept only on this
    // computer that the published post takes the place of (an offline post being published): it is removed
    // in the same transaction. Succeeds with the post as stored.
    void addBlogPost(const BloggerPost& post, const QString& replacesLocalPostId = QString());
    // The post with that id on Blogger takes the post's title, content, labels and state; the reply is
    // stored, and replacesLocalPostId (a synced copy being published over its post) removed with it.
    void updateBlogPost(const BloggerPost& post, const QString& postId,
                        const QString& replacesLocalPostId = QString());
    // Ends the add or update that runs; no block is called for it.
    void cancelPublishing();
    // The autosave record of the post being published: stored with Blogger's reply, in the same
    // transaction, it is linked to the post Blogger made or updated (PostAutoSaveService).
    void setAutosaveRecordId(const QString& recordId);

    // Transfer time-out of the web requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

    static QString publishedButNotStoredMessage()
    {
        return QStringLiteral(
            "Your post is on Blogger, but it could not be saved on this computer. Download the "
            "blog's posts to see it here.");
    }
    static QString nothingStoredMessage(const QString& reason)
    {
        return QStringLiteral("Nothing was stored: ") + reason;
    }
    static QString localCopyKeptMessage()
    {
        return QStringLiteral("The post was deleted on Blogger, but its copy on this computer could not be "
                              "removed.");
    }

private:
    explicit PostsRemotePersistenceAppService(std::shared_ptr<GoogleAuthentificationService> service);

    struct Stored
    {
        bool ok = false;
        // The statuses of the rows kept as they were because they live only on this computer.
        QList<PostStatus> keptLocal;
    };
    Stored storeDownloadedPosts(const QList<BloggerPost>& posts) const;
    // False when the store failed; a row kept only on this computer stays and is no failure.
    bool removeLocalMirror(const QString& postId) const;
    bool publishingCancelled();
    // The post as stored, or none when the store failed (nothing of it was written).
    std::optional<BloggerPost> storePublishedPost(const BloggerPost& published,
                                                  const QString& replacesLocalPostId) const;
    std::shared_ptr<PostsGoogleService> makeWebService() const;
    QString autosaveRecordId() const;

    using ErrorBlock = BlockProperty<void(BloggerSuccessResponse)>;
    void fail(ErrorBlock PostsRemotePersistenceAppService::*errorBlock, const QString& message);
    struct Publication;
    // The web service of an add or update, its closures set; the caller sends the request.
    std::shared_ptr<PostsGoogleService> startPublishing(const Publication& publication,
                                                        const QString& replacesLocalPostId);

    const std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::atomic<double> m_timeoutInterval;
    mutable std::mutex m_publishingMutex;
    // Weak: the web service's closures hold this service; the pending request keeps the web service.
    std::weak_ptr<PostsGoogleService> m_publishing;
    bool m_publishingCancelled = false;
    QString m_autosaveRecordId;
};

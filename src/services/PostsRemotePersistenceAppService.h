#pragma once

#include "google/BlockProperty.h"
#include "model/BloggerPost.h"
#include "model/BloggerSuccessResponse.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>

class GoogleAuthentificationService;
class PostsGoogleService;

// A blog's posts brought from Blogger into the local store, and a post deleted on both. The token is
// refreshed first, inside the web service. Closures run on the network thread, exactly one of a pair per
// started operation; error texts have passed through GoogleResponseAnalysisService.
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

    // The listing's pages stored in one transaction; then the blog's last update and "queried" are
    // recorded. A failed listing or store keeps the store and the last update as they were.
    void listAndPersistAllBlogPosts(const QString& blogId);
    // Succeeds with the post as stored.
    void getAndPersistBlogPost(const QString& postId, const QString& blogId);
    // Deleted on Blogger, then its local mirror with the mirror's comments; a mirror that cannot be
    // removed ends in the error closure.
    void deleteBlogPost(const QString& postId, const QString& blogId);

    // Transfer time-out of the web requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

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
    std::shared_ptr<PostsGoogleService> makeWebService() const;

    using ErrorBlock = BlockProperty<void(BloggerSuccessResponse)>;
    void fail(ErrorBlock PostsRemotePersistenceAppService::*errorBlock, const QString& message);

    const std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::atomic<double> m_timeoutInterval;
};

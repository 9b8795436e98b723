#pragma once

#include "google/BlockProperty.h"
#include "google/ServiceClock.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"
#include "model/BloggerUser.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class CommentsGoogleService;
class GoogleAuthentificationService;

// A post's comments brought from Blogger into the local store, and a comment added or deleted on both.
// The token is refreshed first, inside the web service. Closures run on the store queue (Dispatch), never
// on the network thread, exactly one of a pair per started operation; error texts have passed through
// GoogleResponseAnalysisService.
//
// An author without an id (an anonymous comment) is stored under an id of its own comment, so that
// anonymous authors are never merged into one user row.
class CommentsRemotePersistenceAppService
    : public std::enable_shared_from_this<CommentsRemotePersistenceAppService>
{
public:
    static std::shared_ptr<CommentsRemotePersistenceAppService>
    create(std::shared_ptr<GoogleAuthentificationService> service);

    BlockProperty<void()> onListAndPersistAllPostCommentsSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onListAndPersistAllPostCommentsError;
    BlockProperty<void(BloggerPostComment)> onAddPostCommentSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onAddPostCommentError;
    BlockProperty<void()> onDeletePostCommentSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onDeletePostCommentError;

    // The listed comments stored in one transaction, and the post's comments marked as downloaded. When the
    // listing reached the post's last comment, stored comments that Blogger no longer has are removed and
    // the post's comment count becomes the number listed. A store that fails keeps the comments as they
    // were and reports that nothing was stored.
    void listAndPersistAllPostComments(const QString& postId, const QString& blogId);
    // Succeeds with the comment as stored, counted in the post's comment count. Once Blogger has it, the add
    // succeeds: when the store fails, the post's comments are marked for download at their next showing
    // instead.
    void addPostComment(const BloggerPostComment& comment, const QString& blogId);
    // Adds of a post's comment sent before, whose answers never came.
    struct EarlierAdds
    {
        ServiceClock::Sent firstSent;
        QStringList contents;
        // The signed-in user, as stored; empty when not known.
        BloggerUser user;

        // Blogger names a comment's author by profile, which the user's record may not know: the name
        // then tells. Anyone, when the user is not known.
        bool isByTheUser(const BloggerUser& author) const;
    };
    // As addPostComment, unless one of the earlier adds arrived: the post's comment by the user with one of
    // their texts, published since the first was sent, is then stored and succeeds instead.
    void addPostCommentOnce(const BloggerPostComment& comment, const QString& blogId,
                            const EarlierAdds& earlier);
    // Deleted on Blogger, then in the store with one less in the post's comment count; a store that fails
    // marks the comments for download as above.
    void deletePostComment(const QString& commentId, const QString& postId, const QString& blogId);

    // Transfer time-out of the web requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

private:
    explicit CommentsRemotePersistenceAppService(std::shared_ptr<GoogleAuthentificationService> service);

    std::shared_ptr<CommentsGoogleService> makeWebService() const;
    // False when nothing was stored.
    static bool storeComments(const QString& postId, const QList<BloggerPostComment>& comments,
                              bool removeOthers);
    // The post's comment count goes down with it when countedPostId is given.
    static bool removeStoredComment(const QString& commentId, const QString& countedPostId);
    // The post's comment count goes up when the comment is new here.
    static bool storeAddedComment(const BloggerPostComment& comment);
    // Stores the comment Blogger has, then succeeds with it.
    void added(const BloggerPostComment& comment);

    using ErrorBlock = BlockProperty<void(BloggerSuccessResponse)>;
    void fail(ErrorBlock CommentsRemotePersistenceAppService::*errorBlock, const QString& message);

    const std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::atomic<double> m_timeoutInterval;
};

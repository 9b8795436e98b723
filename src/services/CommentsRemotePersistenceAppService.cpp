#include "CommentsRemotePersistenceAppService.h"

#include "common/GoogleServiceConstants.h"
#include "google/CommentsGoogleService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "model/PostEnumerations.h"
#include "platform/Dispatch.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentServiceState.h"

CommentsRemotePersistenceAppService::CommentsRemotePersistenceAppService(
    std::shared_ptr<GoogleAuthentificationService> service)
    : m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

std::shared_ptr<CommentsRemotePersistenceAppService>
CommentsRemotePersistenceAppService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<CommentsRemotePersistenceAppService>(
        new CommentsRemotePersistenceAppService(std::move(service)));
}

std::shared_ptr<CommentsGoogleService> CommentsRemotePersistenceAppService::makeWebService() const
{
    // One web service per operation: its closures and listed comments belong to that operation.
    std::shared_ptr<CommentsGoogleService> web = CommentsGoogleService::create(m_authentificationService);
    web->setTimeoutInterval(timeoutInterval());
    return web;
}

void CommentsRemotePersistenceAppService::fail(ErrorBlock CommentsRemotePersistenceAppService::*errorBlock,
                                               const QString& message)
{
    (this->*errorBlock)(BloggerSuccessResponse(
        false, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(message)));
}

bool CommentsRemotePersistenceAppService::removeStoredComment(const QString& commentId,
                                                              const QString& countedPostId)
{
    return CommentsLocalAccessAppService().removeComment(commentId, countedPostId);
}

bool CommentsRemotePersistenceAppService::storeAddedComment(const BloggerPostComment& comment)
{
    return CommentsLocalAccessAppService().storeAddedComment(comment);
}

bool CommentsRemotePersistenceAppService::storeComments(const QString& postId,
                                                        const QList<BloggerPostComment>& comments,
                                                        bool removeOthers)
{
    return CommentsLocalAccessAppService().storeListedComments(postId, comments, removeOthers);
}

void CommentsRemotePersistenceAppService::listAndPersistAllPostComments(const QString& postId,
                                                                        const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<CommentsGoogleService> web = makeWebService();
    // The web service is kept by its own pending request; the closure must not keep it in turn.
    std::weak_ptr<CommentsGoogleService> weakWeb = web;
    web->onListPostCommentsBlockSuccess = [me, weakWeb, postId](const QList<BloggerPostComment>& comments) {
        const std::shared_ptr<CommentsGoogleService> web = weakWeb.lock();
        const bool complete = web && web->listedAllComments();
        Dispatch::toStoreQueue([me, postId, comments, complete] {
            if (!storeComments(postId, comments, complete)) {
                me->fail(&CommentsRemotePersistenceAppService::onListAndPersistAllPostCommentsError,
                         PostsRemotePersistenceAppService::nothingStoredMessage(QStringLiteral(
                             "the downloaded comments could not be saved on this computer. The "
                             "comments already here are unchanged.")));
                return;
            }
            PersistentServiceState().setCommentsDownloaded(postId, true);
            me->onListAndPersistAllPostCommentsSuccess();
        });
    };
    web->onListPostCommentsBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&CommentsRemotePersistenceAppService::onListAndPersistAllPostCommentsError,
                     failure.details);
        });
    };
    web->listPostComments(postId, blogId);
}

void CommentsRemotePersistenceAppService::addPostComment(const BloggerPostComment& comment,
                                                         const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<CommentsGoogleService> web = makeWebService();
    web->onAddPostCommentBlockSuccess = [me](const BloggerPostComment& comment) { me->added(comment); };
    web->onAddPostCommentBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&CommentsRemotePersistenceAppService::onAddPostCommentError, failure.details);
        });
    };
    web->addPostComment(comment, blogId);
}

void CommentsRemotePersistenceAppService::addPostCommentOnce(const BloggerPostComment& comment,
                                                             const QString& blogId,
                                                             const EarlierAdds& earlier)
{
    auto me = shared_from_this();
    std::shared_ptr<CommentsGoogleService> web = makeWebService();
    web->onListPostCommentsBlockSuccess = [me, comment, blogId,
                                           earlier](const QList<BloggerPostComment>& listed) {
        // On Blogger's clock, which this listing has just told.
        const QDateTime since = earlier.firstSent.onServiceClock().addSecs(-ServiceClock::SlackSeconds);
        for (const BloggerPostComment& candidate : listed) {
            if (earlier.contents.contains(candidate.content) && candidate.publishDate &&
                *candidate.publishDate >= since && earlier.isByTheUser(candidate.author)) {
                me->added(candidate);
                return;
            }
        }
        me->addPostComment(comment, blogId);
    };
    web->onListPostCommentsBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&CommentsRemotePersistenceAppService::onAddPostCommentError, failure.details);
        });
    };
    web->listPostComments(comment.postId, blogId);
}

bool CommentsRemotePersistenceAppService::EarlierAdds::isByTheUser(const BloggerUser& author) const
{
    if (user.userId.isEmpty() && user.userName.isEmpty()) {
        return true;
    }
    const QString profileId = CommentsGoogleService::authorIdFromProfileLink(user.userLink);
    return (!profileId.isEmpty() && author.userId == profileId) ||
           (!user.userName.isEmpty() && author.userName == user.userName);
}

void CommentsRemotePersistenceAppService::added(const BloggerPostComment& comment)
{
    auto me = shared_from_this();
    Dispatch::toStoreQueue([me, comment] {
        if (!storeAddedComment(comment)) {
            PersistentServiceState().setCommentsDownloaded(comment.postId, false);
        }
        me->onAddPostCommentSuccess(
            CommentsLocalAccessAppService().getPostComment(comment.commentId).value_or(comment));
    });
}

void CommentsRemotePersistenceAppService::deletePostComment(const QString& commentId, const QString& postId,
                                                            const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<CommentsGoogleService> web = makeWebService();
    web->onDeletePostCommentBlockSuccess = [me, commentId, postId](bool) {
        Dispatch::toStoreQueue([me, commentId, postId] {
            if (!removeStoredComment(commentId, postId)) {
                PersistentServiceState().setCommentsDownloaded(postId, false);
            }
            me->onDeletePostCommentSuccess();
        });
    };
    web->onDeletePostCommentBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&CommentsRemotePersistenceAppService::onDeletePostCommentError, failure.details);
        });
    };
    web->deletePostComment(commentId, postId, blogId);
}

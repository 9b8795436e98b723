#include "PostsRemotePersistenceAppService.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/PostsGoogleService.h"
#include "platform/Dispatch.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"

#include <QDateTime>

PostsRemotePersistenceAppService::PostsRemotePersistenceAppService(
    std::shared_ptr<GoogleAuthentificationService> service)
    : m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

std::shared_ptr<PostsRemotePersistenceAppService>
PostsRemotePersistenceAppService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<PostsRemotePersistenceAppService>(
        new PostsRemotePersistenceAppService(std::move(service)));
}

std::shared_ptr<PostsGoogleService> PostsRemotePersistenceAppService::makeWebService() const
{
    // One web service per operation: its closures and listed posts belong to that operation.
    std::shared_ptr<PostsGoogleService> web = PostsGoogleService::create(m_authentificationService);
    web->setTimeoutInterval(timeoutInterval());
    return web;
}

void PostsRemotePersistenceAppService::fail(ErrorBlock PostsRemotePersistenceAppService::*errorBlock,
                                            const QString& message)
{
    (this->*errorBlock)(BloggerSuccessResponse(
        false, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(message)));
}

PostsRemotePersistenceAppService::Stored
PostsRemotePersistenceAppService::storeDownloadedPosts(const QList<BloggerPost>& posts) const
{
    Stored outcome;
    outcome.keptLocal = PostsLocalAccessAppService().storeDownloadedPosts(posts, &outcome.ok);
    return outcome;
}

bool PostsRemotePersistenceAppService::removeLocalMirror(const QString& postId) const
{
    return PostsLocalAccessAppService().removeDeletedPost(postId);
}

void PostsRemotePersistenceAppService::listAndPersistAllBlogPosts(const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<PostsGoogleService> web = makeWebService();
    web->onListBlogPostsBlockSuccess = [me, blogId](const QList<BloggerPost>& posts) {
        Dispatch::toStoreQueue([me, blogId, posts] {
            if (!me->storeDownloadedPosts(posts).ok) {
                me->fail(
                    &PostsRemotePersistenceAppService::onListAndPersistAllBlogPostsError,
                    nothingStoredMessage(QStringLiteral("the downloaded posts could not be saved on this "
                                                        "computer. The posts already here are unchanged.")));
                return;
            }
            // One write of the preferences, flushed once.
            PersistentServiceState().setDownloaded(blogId, QDateTime::currentDateTime());
            me->onListAndPersistAllBlogPostsSuccess();
        });
    };
    web->onListBlogPostsBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&PostsRemotePersistenceAppService::onListAndPersistAllBlogPostsError, failure.details);
        });
    };
    web->listBlogPosts(blogId);
}

void PostsRemotePersistenceAppService::getAndPersistBlogPost(const QString& postId, const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<PostsGoogleService> web = makeWebService();
    web->onGetBlogPostBlockSuccess = [me](const BloggerPost& post) {
        Dispatch::toStoreQueue([me, post] {
            const Stored stored = me->storeDownloadedPosts({post});
            if (!stored.ok || post.postId.isEmpty()) {
                me->fail(
                    &PostsRemotePersistenceAppService::onGetAndPersistBlogPostError,
                    nothingStoredMessage(QStringLiteral("the post could not be saved on this computer.")));
                return;
            }
            if (!stored.keptLocal.isEmpty()) {
                me->fail(&PostsRemotePersistenceAppService::onGetAndPersistBlogPostError,
                         nothingStoredMessage(QStringLiteral("this post is kept on this computer as ") +
                                              rawValue(stored.keptLocal.first()) +
                                              QStringLiteral(" and stays as it is.")));
                return;
            }
            me->onGetAndPersistBlogPostSuccess(
                PostsLocalAccessAppService().getPost(post.postId).value_or(post));
        });
    };
    web->onGetBlogPostBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&PostsRemotePersistenceAppService::onGetAndPersistBlogPostError, failure.details);
        });
    };
    web->getBlogPost(postId, blogId);
}

void PostsRemotePersistenceAppService::deleteBlogPost(const QString& postId, const QString& blogId)
{
    auto me = shared_from_this();
    std::shared_ptr<PostsGoogleService> web = makeWebService();
    web->onDeleteBlogPostBlockSuccess = [me, postId](bool) {
        Dispatch::toStoreQueue([me, postId] {
            if (!me->removeLocalMirror(postId)) {
                me->fail(&PostsRemotePersistenceAppService::onDeleteBlogPostError, localCopyKeptMessage());
                return;
            }
            me->onDeleteBlogPostSuccess();
        });
    };
    web->onDeleteBlogPostBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] {
            me->fail(&PostsRemotePersistenceAppService::onDeleteBlogPostError, failure.details);
        });
    };
    web->deleteBlogPost(postId, blogId);
}

std::optional<BloggerPost>
PostsRemotePersistenceAppService::storePublishedPost(const BloggerPost& published,
                                                     const QString& replacesLocalPostId) const
{
    return PostsLocalAccessAppService().storePublishedPost(published, replacesLocalPostId,
                                                           autosaveRecordId());
}

// What tells an add from an update: the web call's closures, the blocks that answer and the words for a
// reply that names no post.
struct PostsRemotePersistenceAppService::Publication
{
    BlockProperty<void(BloggerPost)> PostsGoogleService::*webSuccess;
    ErrorBlock PostsGoogleService::*webError;
    BlockProperty<void(BloggerPost)> PostsRemotePersistenceAppService::*success;
    ErrorBlock PostsRemotePersistenceAppService::*error;
    QString unnamedMessage;
};

std::shared_ptr<PostsGoogleService>
PostsRemotePersistenceAppService::startPublishing(const Publication& publication,
                                                  const QString& replacesLocalPostId)
{
    auto me = shared_from_this();
    std::shared_ptr<PostsGoogleService> web = makeWebService();
    {
        std::lock_guard<std::mutex> lock(m_publishingMutex);
        m_publishing = web;
        m_publishingCancelled = false;
    }
    PostsGoogleService& service = *web;
    (service.*publication.webSuccess) = [me, publication, replacesLocalPostId](const BloggerPost& published) {
        Dispatch::toStoreQueue([me, publication, replacesLocalPostId, published] {
            if (published.postId.isEmpty()) {
                me->fail(publication.error, publication.unnamedMessage);
                return;
            }
            const std::optional<BloggerPost> stored = me->storePublishedPost(published, replacesLocalPostId);
            if (!stored) {
                // On Blogger all the same: said plainly, so the user does not publish it twice.
                me->fail(publication.error, publishedButNotStoredMessage());
                return;
            }
            (me.get()->*publication.success)(*stored);
        });
    };
    (service.*publication.webError) = [me, publication](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, publication, failure] {
            if (me->publishingCancelled()) {
                return;
            }
            me->fail(publication.error, failure.details);
        });
    };
    return web;
}

void PostsRemotePersistenceAppService::addBlogPost(const BloggerPost& post,
                                                   const QString& replacesLocalPostId)
{
    startPublishing({&PostsGoogleService::onAddBlogPostBlockSuccess,
                     &PostsGoogleService::onAddBlogPostBlockError,
                     &PostsRemotePersistenceAppService::onAddBlogPostSuccess,
                     &PostsRemotePersistenceAppService::onAddBlogPostError,
                     QStringLiteral("Blogger did not name the new post.")},
                    replacesLocalPostId)
        ->addBlogPost(post);
}

void PostsRemotePersistenceAppService::updateBlogPost(const BloggerPost& post, const QString& postId,
                                                      const QString& replacesLocalPostId)
{
    startPublishing({&PostsGoogleService::onUpdateBlogPostBlockSuccess,
                     &PostsGoogleService::onUpdateBlogPostBlockError,
                     &PostsRemotePersistenceAppService::onUpdateBlogPostSuccess,
                     &PostsRemotePersistenceAppService::onUpdateBlogPostError,
                     QStringLiteral("Blogger did not name the updated post.")},
                    replacesLocalPostId)
        ->updateBlogPost(post, postId);
}

bool PostsRemotePersistenceAppService::publishingCancelled()
{
    std::lock_guard<std::mutex> lock(m_publishingMutex);
    return m_publishingCancelled;
}

void PostsRemotePersistenceAppService::setAutosaveRecordId(const QString& recordId)
{
    std::lock_guard<std::mutex> lock(m_publishingMutex);
    m_autosaveRecordId = recordId;
}

QString PostsRemotePersistenceAppService::autosaveRecordId() const
{
    std::lock_guard<std::mutex> lock(m_publishingMutex);
    return m_autosaveRecordId;
}

void PostsRemotePersistenceAppService::cancelPublishing()
{
    std::shared_ptr<PostsGoogleService> web;
    {
        std::lock_guard<std::mutex> lock(m_publishingMutex);
        m_publishingCancelled = true;
        web = m_publishing.lock();
    }
    if (web) {
        web->cancelPublishing();
    }
}

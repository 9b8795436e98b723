#include "UserBlogsRemotePersistenceAppService.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/UsersAndBlogsGoogleService.h"
#include "platform/Dispatch.h"
#include "store/UserBlogsLocalAccessAppService.h"

UserBlogsRemotePersistenceAppService::UserBlogsRemotePersistenceAppService(
    std::shared_ptr<GoogleAuthentificationService> service)
    : m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

std::shared_ptr<UserBlogsRemotePersistenceAppService>
UserBlogsRemotePersistenceAppService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<UserBlogsRemotePersistenceAppService>(
        new UserBlogsRemotePersistenceAppService(std::move(service)));
}

void UserBlogsRemotePersistenceAppService::fail(const QString& message)
{
    onGetAndPersistUserAndBlogsError(BloggerSuccessResponse(
        false, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(message)));
}

void UserBlogsRemotePersistenceAppService::getAndPersistUserAndBlogs(const QString& accessToken)
{
    auto me = shared_from_this();
    // A web service per request: a closure that held its own service would never let it go.
    auto web = UsersAndBlogsGoogleService::create(m_authentificationService, accessToken);
    web->setTimeoutInterval(timeoutInterval());
    web->onGetSelfUserDetailsBlockSuccess = [me, accessToken](const BloggerUser& user) {
        // Stored under an empty id, the account could never be chosen or signed in again.
        if (user.userId.isEmpty()) {
            Dispatch::toStoreQueue([me] { me->fail(noUserIdMessage()); });
            return;
        }
        me->listAndPersistBlogs(user, accessToken);
    };
    web->onGetSelfUserDetailsBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] { me->fail(failure.details); });
    };
    web->getSelfUserDetails();
}

void UserBlogsRemotePersistenceAppService::listAndPersistBlogs(const BloggerUser& user,
                                                               const QString& accessToken)
{
    auto me = shared_from_this();
    auto web = UsersAndBlogsGoogleService::create(m_authentificationService, accessToken);
    web->setTimeoutInterval(timeoutInterval());
    web->onListSelfBlogsBlockSuccess = [me, user](const QList<BloggerBlog>& listed) {
        Dispatch::toStoreQueue([me, user, listed] {
            QList<BloggerBlog> blogs;
            for (const BloggerBlog& blog : listed) {
                // A blog without an id could never be selected or downloaded.
                if (!blog.blogId.isEmpty()) {
                    blogs.append(blog);
                }
            }
            if (blogs.isEmpty()) {
                me->fail(noBlogMessage());
                return;
            }
            if (!UserBlogsLocalAccessAppService().addOrUpdateUserAndBlogs(user, blogs)) {
                me->fail(notStoredMessage());
                return;
            }
            me->onGetAndPersistUserAndBlogsSuccess(user, blogs);
        });
    };
    web->onListSelfBlogsBlockError = [me](const BloggerSuccessResponse& failure) {
        Dispatch::toStoreQueue([me, failure] { me->fail(failure.details); });
    };
    web->listSelfBlogs(user.userId);
}

#include "ApplicationDownloadControllerService.h"

#include "common/Async.h"
#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/UsersAndBlogsGoogleService.h"
#include "platform/Dispatch.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "services/UserBlogsRemotePersistenceAppService.h"
#include "services/WelcomeNewAccountService.h"
#include "store/PersistentAccessTokens.h"
#include "store/PostsLocalAccessAppService.h"

ApplicationDownloadControllerService::ApplicationDownloadControllerService(
    std::shared_ptr<GoogleAuthentificationService> service, QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service))
{
}

ApplicationDownloadControllerService::~ApplicationDownloadControllerService() = default;

void ApplicationDownloadControllerService::beginOperation()
{
    // Operations overlap (a download of one blog and a reload of a post): the busy state stays on until
    // the last one ends.
    if (m_runningOperations++ == 0) {
        Q_EMIT busyChanged(true);
    }
}

void ApplicationDownloadControllerService::endOperation()
{
    if (m_runningOperations == 0) {
        return;
    }
    if (--m_runningOperations == 0) {
        Q_EMIT busyChanged(false);
    }
}

void ApplicationDownloadControllerService::showError(const QString& title, const QString& message) const
{
    LocalNotificationService().showCriticalAlert(
        title, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(message));
}

// ---- posts ----

void ApplicationDownloadControllerService::downloadBlogPosts(const QString& blogId)
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::downloadBlogPosts");
    if (m_downloadingBlogs.contains(blogId)) {
        return;
    }
    m_downloadingBlogs.insert(blogId);
    beginOperation();

    QPointer<ApplicationDownloadControllerService> self(this);
    auto remote = PostsRemotePersistenceAppService::create(m_authentificationService);
    remote->setTimeoutInterval(m_authentificationService->timeoutInterval());
    remote->onListAndPersistAllBlogPostsSuccess = [self, blogId] {
        Dispatch::toMainThread(self, [blogId](ApplicationDownloadControllerService* controller) {
            controller->downloadFinished(blogId, std::nullopt);
        });
    };
    remote->onListAndPersistAllBlogPostsError = [self, blogId](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [blogId, failure](ApplicationDownloadControllerService* controller) {
            controller->downloadFinished(blogId, failure.details);
        });
    };
    remote->listAndPersistAllBlogPosts(blogId);
}

void ApplicationDownloadControllerService::downloadFinished(const QString& blogId,
                                                            const std::optional<QString>& failure)
{
    m_downloadingBlogs.remove(blogId);
    if (!failure) {
        Q_EMIT blogDownloaded(blogId);
    }
    endOperation();
    if (failure) {
        showError(downloadFailedTitle(), *failure);
    }
}

void ApplicationDownloadControllerService::withStoredPost(const QString& postId, const QString& failureTitle,
                                                          std::function<void(const BloggerPost& post)> next)
{
    beginOperation();
    Async::runThenCallback(
        this, [postId] { return PostsLocalAccessAppService().getPost(postId); },
        [this, failureTitle, next](const std::optional<BloggerPost>& post) {
            if (!post || !post->isOnBlogger()) {
                endOperation();
                showError(failureTitle, post ? QStringLiteral("This post is kept only on this computer.")
                                             : QStringLiteral("This post is no longer stored here."));
                return;
            }
            next(*post);
        });
}

void ApplicationDownloadControllerService::reloadPost(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::reloadPost");
    QPointer<ApplicationDownloadControllerService> self(this);
    withStoredPost(postId, reloadFailedTitle(), [self, postId](const BloggerPost& stored) {
        auto remote = PostsRemotePersistenceAppService::create(self->m_authentificationService);
        remote->setTimeoutInterval(self->m_authentificationService->timeoutInterval());
        remote->onGetAndPersistBlogPostSuccess = [self, postId](const BloggerPost&) {
            Dispatch::toMainThread(self, [postId](ApplicationDownloadControllerService* controller) {
                Q_EMIT controller->postChanged(postId);
                controller->endOperation();
            });
        };
        remote->onGetAndPersistBlogPostError = [self](const BloggerSuccessResponse& failure) {
            Dispatch::toMainThread(self, [failure](ApplicationDownloadControllerService* controller) {
                controller->endOperation();
                controller->showError(reloadFailedTitle(), failure.details);
            });
        };
        remote->getAndPersistBlogPost(postId, stored.blogId);
    });
}

void ApplicationDownloadControllerService::deleteBloggerPost(const QString& postId)
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::deleteBloggerPost");
    QPointer<ApplicationDownloadControllerService> self(this);
    withStoredPost(postId, deleteFailedTitle(), [self, postId](const BloggerPost& stored) {
        auto remote = PostsRemotePersistenceAppService::create(self->m_authentificationService);
        remote->setTimeoutInterval(self->m_authentificationService->timeoutInterval());
        remote->onDeleteBlogPostSuccess = [self, postId] {
            Dispatch::toMainThread(self, [postId](ApplicationDownloadControllerService* controller) {
                Q_EMIT controller->postChanged(postId);
                controller->endOperation();
            });
        };
        remote->onDeleteBlogPostError = [self](const BloggerSuccessResponse& failure) {
            Dispatch::toMainThread(self, [failure](ApplicationDownloadControllerService* controller) {
                controller->endOperation();
                controller->showError(deleteFailedTitle(), failure.details);
            });
        };
        remote->deleteBlogPost(postId, stored.blogId);
    });
}

// ---- accounts ----

void ApplicationDownloadControllerService::keepAccessToken(const QString& userId,
                                                           const QString& accessToken) const
{
    PersistentAccessTokens(userId).setAccessToken(accessToken);
    if (m_authentificationService->dynamicServiceState().userId() == userId) {
        m_authentificationService->setAccessToken(accessToken);
    }
}

void ApplicationDownloadControllerService::reauthentificateCurrentAccount()
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::reauthentificateCurrentAccount");
    const QString userId = m_authentificationService->dynamicServiceState().userId();
    const std::uint64_t flow = ++m_reauthentificationFlow;
    QPointer<ApplicationDownloadControllerService> self(this);
    m_authentificationService->setAuthentificatedBlock(
        [self, flow, userId](bool success, std::optional<QString> error, std::optional<QString> accessToken,
                             std::optional<QString> refreshToken) {
            Dispatch::toMainThread(self, [=](ApplicationDownloadControllerService* controller) {
                controller->reauthentificationTokens(flow, userId, success, error.value_or(QString()),
                                                     accessToken.value_or(QString()),
                                                     refreshToken.value_or(QString()));
            });
        });
    m_authentificationService->authentificateNewUser();
}

void ApplicationDownloadControllerService::reauthentificationTokens(std::uint64_t flow, const QString& userId,
                                                                    bool success, const QString& error,
                                                                    const QString& accessToken,
                                                                    const QString& refreshToken)
{
    if (flow != m_reauthentificationFlow) {
        return;
    }
    if (!success || accessToken.isEmpty() || refreshToken.isEmpty()) {
        showError(reauthentificationFailedTitle(),
                  error.isEmpty()
                      ? QStringLiteral("The sign-in did not give Penhollow access to the account.")
                      : error);
        return;
    }
    // Whose tokens these are is only known once the service says who signed in.
    beginOperation();
    QPointer<ApplicationDownloadControllerService> self(this);
    auto web = UsersAndBlogsGoogleService::create(m_authentificationService, accessToken);
    web->setTimeoutInterval(m_authentificationService->timeoutInterval());
    web->onGetSelfUserDetailsBlockSuccess = [=](const BloggerUser& user) {
        Dispatch::toMainThread(self, [=](ApplicationDownloadControllerService* controller) {
            controller->reauthentificatedUser(userId, user, accessToken, refreshToken);
        });
    };
    web->onGetSelfUserDetailsBlockError = [self](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [failure](ApplicationDownloadControllerService* controller) {
            controller->endOperation();
            controller->showError(reauthentificationFailedTitle(), failure.details);
        });
    };
    web->getSelfUserDetails();
}

void ApplicationDownloadControllerService::reauthentificatedUser(const QString& userId,
                                                                 const BloggerUser& user,
                                                                 const QString& accessToken,
                                                                 const QString& refreshToken)
{
    endOperation();
    if (user.userId != userId) {
        // Stored under the current account, another account's tokens would show its blogs as this one's.
        LocalNotificationService().showCriticalAlert(
            otherAccountTitle(),
            QStringLiteral(
                "You signed in as %1, not as the current account, so nothing was changed. Choose Sign "
                "In Again and pick the current account, or use Add Account to add %1.")
                .arg(user.userName.isEmpty() ? QStringLiteral("another account") : user.userName));
        return;
    }
    PersistentAccessTokens tokens(userId);
    tokens.setAccessToken(accessToken);
    tokens.setRefreshToken(refreshToken);
    if (m_authentificationService->dynamicServiceState().userId() == userId) {
        m_authentificationService->setAccessToken(accessToken);
        m_authentificationService->setRefreshToken(refreshToken);
    }
    LocalNotificationService().showInfoAlert(
        reauthentificatedTitle(),
        QStringLiteral("Penhollow can reach Blogger for %1 again.")
            .arg(user.userName.isEmpty() ? QStringLiteral("this account") : user.userName));
}

void ApplicationDownloadControllerService::refreshCurrentAccount()
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::refreshCurrentAccount");
    const QString userId = m_authentificationService->dynamicServiceState().userId();
    beginOperation();
    QPointer<ApplicationDownloadControllerService> self(this);
    // The new token goes to this command alone until it is known to belong to the account still current.
    m_authentificationService->refreshAuthentificationCode(
        false, [self, userId](bool success, const QString& message, std::optional<QString> accessToken) {
            Dispatch::toMainThread(self, [=](ApplicationDownloadControllerService* controller) {
                controller->accountTokenRefreshed(userId, success, message, accessToken.value_or(QString()));
            });
        });
}

void ApplicationDownloadControllerService::accountTokenRefreshed(const QString& userId, bool success,
                                                                 const QString& message,
                                                                 const QString& accessToken)
{
    if (!success || accessToken.isEmpty()) {
        endOperation();
        showError(refreshFailedTitle(), message);
        return;
    }
    keepAccessToken(userId, accessToken);
    QPointer<ApplicationDownloadControllerService> self(this);
    auto remote = UserBlogsRemotePersistenceAppService::create(m_authentificationService);
    remote->setTimeoutInterval(m_authentificationService->timeoutInterval());
    remote->onGetAndPersistUserAndBlogsSuccess = [self](const BloggerUser&, const QList<BloggerBlog>&) {
        Dispatch::toMainThread(self, [](ApplicationDownloadControllerService* controller) {
            controller->endOperation();
            Q_EMIT controller->accountRefreshed();
        });
    };
    remote->onGetAndPersistUserAndBlogsError = [self](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [failure](ApplicationDownloadControllerService* controller) {
            controller->endOperation();
            controller->showError(refreshFailedTitle(), failure.details);
        });
    };
    remote->getAndPersistUserAndBlogs(accessToken);
}

void ApplicationDownloadControllerService::addNewAccount()
{
    Dispatch::requireMainThread("ApplicationDownloadControllerService::addNewAccount");
    if (!m_welcomeNewAccountService) {
        m_welcomeNewAccountService = std::make_unique<WelcomeNewAccountService>(m_authentificationService);
    }
    QPointer<ApplicationDownloadControllerService> self(this);
    m_welcomeNewAccountService->setOnOperationTerminated([self](const QString& userId, const QString& blogId,
                                                                const QString& accessToken,
                                                                const QString& refreshToken) {
        if (self) {
            self->accountAdded(userId, blogId, accessToken, refreshToken);
        }
    });
    m_welcomeNewAccountService->authenticateNewAccount();
}

void ApplicationDownloadControllerService::accountAdded(const QString& userId, const QString& blogId,
                                                        const QString& accessToken,
                                                        const QString& refreshToken)
{
    WelcomeNewAccountService::storeAccount(userId, blogId, accessToken, refreshToken);
    Q_EMIT newAccountAdded(userId, blogId);
}

#include "WelcomeNewAccountService.h"

#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleResponseAnalysisService.h"
#include "platform/Dispatch.h"
#include "services/UserBlogsRemotePersistenceAppService.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"

#include <QPointer>

WelcomeNewAccountService::WelcomeNewAccountService(std::shared_ptr<GoogleAuthentificationService> service,
                                                   QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service))
{
}

WelcomeNewAccountService::~WelcomeNewAccountService() = default;

void WelcomeNewAccountService::setOnOperationTerminated(OperationTerminated closure)
{
    m_onOperationTerminated = std::move(closure);
}

void WelcomeNewAccountService::authenticateNewAccount()
{
    Dispatch::requireMainThread("WelcomeNewAccountService::authenticateNewAccount");
    const std::uint64_t flow = ++m_flow;
    m_userId.clear();
    m_blogId.clear();
    m_accessToken.clear();
    m_refreshToken.clear();
    QPointer<WelcomeNewAccountService> self(this);
    m_authentificationService->setAuthentificatedBlock(
        [self, flow](bool success, std::optional<QString> error, std::optional<QString> accessToken,
                     std::optional<QString> refreshToken) {
            Dispatch::toMainThread(self, [=](WelcomeNewAccountService* service) {
                service->tokensReceived(flow, success, error.value_or(QString()),
                                        accessToken.value_or(QString()), refreshToken.value_or(QString()));
            });
        });
    m_authentificationService->authentificateNewUser();
}

void WelcomeNewAccountService::tokensReceived(std::uint64_t flow, bool success, const QString& error,
                                              const QString& accessToken, const QString& refreshToken)
{
    if (flow != m_flow) {
        return;
    }
    if (!success || accessToken.isEmpty() || refreshToken.isEmpty()) {
        fail(flow, signInFailedTitle(),
             error.isEmpty() ? QStringLiteral("The sign-in did not give Penhollow access to the account.")
                             : error);
        return;
    }
    m_accessToken = accessToken;
    m_refreshToken = refreshToken;

    QPointer<WelcomeNewAccountService> self(this);
    auto remote = UserBlogsRemotePersistenceAppService::create(m_authentificationService);
    remote->setTimeoutInterval(m_authentificationService->timeoutInterval());
    remote->onGetAndPersistUserAndBlogsSuccess = [self, flow](const BloggerUser& user,
                                                              const QList<BloggerBlog>& blogs) {
        Dispatch::toMainThread(
            self, [=](WelcomeNewAccountService* service) { service->accountRead(flow, user, blogs); });
    };
    remote->onGetAndPersistUserAndBlogsError = [self, flow](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [=](WelcomeNewAccountService* service) {
            service->fail(flow, accountFailedTitle(), failure.details);
        });
    };
    remote->getAndPersistUserAndBlogs(accessToken);
}

void WelcomeNewAccountService::accountRead(std::uint64_t flow, const BloggerUser& user,
                                           const QList<BloggerBlog>& blogs)
{
    if (flow != m_flow || blogs.isEmpty()) {
        return;
    }
    m_userId = user.userId;
    m_blogId = blogs.first().blogId;
    // A copy: the closure may replace itself or start another flow.
    const OperationTerminated closure = m_onOperationTerminated;
    if (closure) {
        closure(m_userId, m_blogId, m_accessToken, m_refreshToken);
    }
}

void WelcomeNewAccountService::fail(std::uint64_t flow, const QString& title, const QString& message)
{
    if (flow != m_flow) {
        return;
    }
    LocalNotificationService().showCriticalAlert(
        title, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(message));
}

void WelcomeNewAccountService::storeAccount(const QString& userId, const QString& blogId,
                                            const QString& accessToken, const QString& refreshToken)
{
    // Tokens first: the current account must never name one whose tokens are missing.
    PersistentAccessTokens tokens(userId);
    tokens.setAccessToken(accessToken);
    tokens.setRefreshToken(refreshToken);
    PersistentServiceState state;
    state.setUserId(userId);
    state.setBlogId(blogId);
}

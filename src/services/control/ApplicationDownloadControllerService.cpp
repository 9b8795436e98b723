#include "ApplicationDownloadControllerService.h"

#include "ApplicationControllerService.h"
#include "FeatureNotReady.h"

ApplicationDownloadControllerService::ApplicationDownloadControllerService(
    std::shared_ptr<GoogleAuthentificationService> service,
    ApplicationControllerService* applicationControllerService, QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_applicationControllerService(applicationControllerService)
{
}

ApplicationDownloadControllerService::~ApplicationDownloadControllerService() = default;

void ApplicationDownloadControllerService::downloadBlogPosts(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Downloading posts from Blogger"));
}

void ApplicationDownloadControllerService::reloadPost(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Reloading a post from Blogger"));
}

void ApplicationDownloadControllerService::deleteBloggerPost(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Deleting a post on Blogger"));
}

void ApplicationDownloadControllerService::reauthentificateCurrentAccount()
{
    FeatureNotReady::tell(QStringLiteral("Signing in to the account again"));
}

void ApplicationDownloadControllerService::refreshCurrentAccount()
{
    FeatureNotReady::tell(QStringLiteral("Refreshing the account and its blogs"));
}

void ApplicationDownloadControllerService::addNewAccount()
{
    FeatureNotReady::tell(QStringLiteral("Adding an account"));
}

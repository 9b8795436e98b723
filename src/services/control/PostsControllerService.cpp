#include "PostsControllerService.h"

#include "ApplicationControllerService.h"
#include "FeatureNotReady.h"

PostsControllerService::PostsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                               ApplicationControllerService* applicationControllerService,
                                               QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_applicationControllerService(applicationControllerService)
{
}

PostsControllerService::~PostsControllerService() = default;

bool PostsControllerService::hasAnEditingPost() const
{
    return false;
}

void PostsControllerService::newPost()
{
    FeatureNotReady::tell(QStringLiteral("Writing a new post"));
}

void PostsControllerService::editPost(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Editing a post"));
}

void PostsControllerService::offlinePost(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Keeping a copy of a post on this computer"));
}

#include "CommentsControllerService.h"

#include "ApplicationControllerService.h"
#include "FeatureNotReady.h"

CommentsControllerService::CommentsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                                     ApplicationControllerService* applicationControllerService,
                                                     QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_applicationControllerService(applicationControllerService)
{
}

CommentsControllerService::~CommentsControllerService() = default;

void CommentsControllerService::showComments(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Reading the comments of a post"));
}

void CommentsControllerService::addComment(const QString&)
{
    FeatureNotReady::tell(QStringLiteral("Writing a comment"));
}

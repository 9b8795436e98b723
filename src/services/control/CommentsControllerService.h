#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class ApplicationControllerService;
class GoogleAuthentificationService;

// Comments of a post: the comments list and the new-comment window.
class CommentsControllerService : public QObject
{
    Q_OBJECT
public:
    CommentsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                              ApplicationControllerService* applicationControllerService,
                              QObject* parent = nullptr);
    ~CommentsControllerService() override;

    void showComments(const QString& postId);
    void addComment(const QString& postId);

private:
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    QPointer<ApplicationControllerService> m_applicationControllerService;
};

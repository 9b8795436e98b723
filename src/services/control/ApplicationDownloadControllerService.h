#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class ApplicationControllerService;
class GoogleAuthentificationService;

// Downloads from Blogger: the current blog's posts, one post again, a post's deletion, the account.
class ApplicationDownloadControllerService : public QObject
{
    Q_OBJECT
public:
    ApplicationDownloadControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                         ApplicationControllerService* applicationControllerService,
                                         QObject* parent = nullptr);
    ~ApplicationDownloadControllerService() override;

    void downloadBlogPosts(const QString& blogId);
    void reloadPost(const QString& postId);
    void deleteBloggerPost(const QString& postId);
    void reauthentificateCurrentAccount();
    void refreshCurrentAccount();
    void addNewAccount();

private:
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    QPointer<ApplicationControllerService> m_applicationControllerService;
};

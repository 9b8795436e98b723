#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class ApplicationControllerService;
class GoogleAuthentificationService;

// Writing posts: the one editor of the process and the posts it opens.
class PostsControllerService : public QObject
{
    Q_OBJECT
public:
    PostsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                           ApplicationControllerService* applicationControllerService, QObject* parent = nullptr);
    ~PostsControllerService() override;

    // True while the editor window is on screen.
    bool hasAnEditingPost() const;
    void newPost();
    void editPost(const QString& postId);
    void offlinePost(const QString& postId);

private:
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    QPointer<ApplicationControllerService> m_applicationControllerService;
};

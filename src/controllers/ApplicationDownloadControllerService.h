#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerUser.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class GoogleAuthentificationService;
class WelcomeNewAccountService;

// What the main window asks of Blogger: the current blog's posts downloaded, one post read again, a post
// deleted there, the account signed in again or refreshed, an account added. Each operation that talks to
// the service shows the window's busy state and ends it once, whatever the outcome; a failure ends in one
// critical alert. Requests take the sign-in service's time-out. Main thread.
class ApplicationDownloadControllerService : public QObject
{
    Q_OBJECT
public:
    ApplicationDownloadControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                         QObject* parent = nullptr);
    ~ApplicationDownloadControllerService() override;

    // A second request for a blog whose download runs is ignored.
    void downloadBlogPosts(const QString& blogId);
    void reloadPost(const QString& postId);
    // Deletes a post that is on Blogger, there and here; the caller has asked the user.
    void deleteBloggerPost(const QString& postId);
    void reauthentificateCurrentAccount();
    void refreshCurrentAccount();
    // The new account becomes the current one.
    void addNewAccount();

    // Operations that talk to the service now.
    int runningOperations() const { return m_runningOperations; }
    WelcomeNewAccountService* welcomeNewAccountService() const { return m_welcomeNewAccountService.get(); }

    static QString downloadFailedTitle() { return QStringLiteral("Cannot download your posts"); }
    static QString reloadFailedTitle() { return QStringLiteral("Cannot reload the post"); }
    static QString deleteFailedTitle() { return QStringLiteral("Cannot delete the post"); }
    static QString reauthentificationFailedTitle() { return QStringLiteral("Cannot sign in again"); }
    static QString otherAccountTitle() { return QStringLiteral("Signed in to another account"); }
    static QString reauthentificatedTitle() { return QStringLiteral("Signed in again"); }
    static QString refreshFailedTitle() { return QStringLiteral("Cannot refresh the account"); }

Q_SIGNALS:
    // An operation that talks to the service started with none running, or the last one ended.
    void busyChanged(bool busy);
    // The blog's posts were downloaded into the store.
    void blogDownloaded(const QString& blogId);
    // The post was reloaded from Blogger or deleted there and here.
    void postChanged(const QString& postId);
    // The current account's name and blogs were read again into the store.
    void accountRefreshed();
    // A new account is stored; it is to become the current one with this blog.
    void newAccountAdded(const QString& userId, const QString& blogId);

private:
    void beginOperation();
    void endOperation();
    void showError(const QString& title, const QString& message) const;
    // Reads the stored post on a background thread, then runs next with it on the main thread.
    void withStoredPost(const QString& postId, const QString& failureTitle,
                        std::function<void(const BloggerPost& post)> next);
    void downloadFinished(const QString& blogId, const std::optional<QString>& failure);
    void reauthentificationTokens(std::uint64_t flow, const QString& userId, bool success,
                                  const QString& error, const QString& accessToken,
                                  const QString& refreshToken);
    void reauthentificatedUser(const QString& userId, const BloggerUser& user, const QString& accessToken,
                               const QString& refreshToken);
    void accountTokenRefreshed(const QString& userId, bool success, const QString& message,
                               const QString& accessToken);
    void accountAdded(const QString& userId, const QString& blogId, const QString& accessToken,
                      const QString& refreshToken);
    // The token of userId, stored and, while userId is still the current account, used from now on.
    void keepAccessToken(const QString& userId, const QString& accessToken) const;

    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<WelcomeNewAccountService> m_welcomeNewAccountService;
    QSet<QString> m_downloadingBlogs;
    int m_runningOperations = 0;
    std::uint64_t m_reauthentificationFlow = 0;
};

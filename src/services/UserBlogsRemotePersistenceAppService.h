#pragma once

#include "google/BlockProperty.h"
#include "model/BloggerBlog.h"
#include "model/BloggerSuccessResponse.h"
#include "model/BloggerUser.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>

class GoogleAuthentificationService;

// The signed-in user and their blogs read from Blogger with a given access token (no refresh) and
// stored together. Closures run on the store queue (Dispatch), never on the network thread, exactly one of
// a pair per started operation; error texts have passed through GoogleResponseAnalysisService. Any failure
// stores nothing.
class UserBlogsRemotePersistenceAppService
    : public std::enable_shared_from_this<UserBlogsRemotePersistenceAppService>
{
public:
    static std::shared_ptr<UserBlogsRemotePersistenceAppService>
    create(std::shared_ptr<GoogleAuthentificationService> service);

    BlockProperty<void(BloggerUser, QList<BloggerBlog>)> onGetAndPersistUserAndBlogsSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetAndPersistUserAndBlogsError;

    // The user's details, then the user's blogs; an account without a blog is an error.
    void getAndPersistUserAndBlogs(const QString& accessToken);

    // Transfer time-out of the web requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

    static QString noBlogMessage()
    {
        return QStringLiteral("This account has no blog on Blogger. Create a blog on Blogger with this "
                              "account first, then add the account again.");
    }
    static QString notStoredMessage()
    {
        return QStringLiteral("The account and its blogs could not be saved on this computer. Nothing was "
                              "stored; please try again.");
    }

    static QString noUserIdMessage()
    {
        return QStringLiteral("The service did not say which account signed in. Nothing was stored.");
    }

private:
    explicit UserBlogsRemotePersistenceAppService(std::shared_ptr<GoogleAuthentificationService> service);

    void listAndPersistBlogs(const BloggerUser& user, const QString& accessToken);
    void fail(const QString& message);

    const std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::atomic<double> m_timeoutInterval;
};

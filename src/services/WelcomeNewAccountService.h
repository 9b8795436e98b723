#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerSuccessResponse.h"
#include "model/BloggerUser.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class GoogleAuthentificationService;

// Adds an account: the sign-in window, the code-for-tokens exchange, then the user's details and blogs
// read and stored. When the account has a blog, onOperationTerminated gets the user id, the id of the
// first blog and both tokens. Every failure is shown as an alert and ends the flow without the closure.
// Lives on the main thread; the closure runs there, after authenticateNewAccount has returned.
class WelcomeNewAccountService : public QObject
{
    Q_OBJECT
public:
    using OperationTerminated = std::function<void(const QString& userId, const QString& blogId,
                                                   const QString& accessToken, const QString& refreshToken)>;

    explicit WelcomeNewAccountService(std::shared_ptr<GoogleAuthentificationService> service,
                                      QObject* parent = nullptr);
    ~WelcomeNewAccountService() override;

    void setOnOperationTerminated(OperationTerminated closure);
    // A new call starts a new flow; what an earlier flow still brings is dropped.
    void authenticateNewAccount();

    // What the flow last obtained; empty until then.
    QString userId() const { return m_userId; }
    QString blogId() const { return m_blogId; }
    QString accessToken() const { return m_accessToken; }
    QString refreshToken() const { return m_refreshToken; }

    // The tokens and the account chosen, as the start-up reads them again; main thread.
    static void storeAccount(const QString& userId, const QString& blogId, const QString& accessToken,
                             const QString& refreshToken);

    static QString signInFailedTitle() { return QStringLiteral("Cannot sign in"); }
    static QString accountFailedTitle() { return QStringLiteral("Cannot add the account"); }

private:
    void tokensReceived(std::uint64_t flow, bool success, const QString& error, const QString& accessToken,
                        const QString& refreshToken);
    void accountRead(std::uint64_t flow, const BloggerUser& user, const QList<BloggerBlog>& blogs);
    void fail(std::uint64_t flow, const QString& title, const QString& message);

    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    OperationTerminated m_onOperationTerminated;
    std::uint64_t m_flow = 0;
    QString m_userId;
    QString m_blogId;
    QString m_accessToken;
    QString m_refreshToken;
};

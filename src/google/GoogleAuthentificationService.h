#pragma once

#include "google/AuthentificationWindow.h"
#include "google/BlockProperty.h"
#include "platform/UrlSession.h"
#include "store/DynamicServiceState.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// The OAuth 2.0 credentials of the application and of the signed-in account: sign-in through the
// consent window, code-for-tokens exchange, and the refresh-token grant.
// Completions run on the network thread. Tokens are read and replaced whole, under a lock.
class GoogleAuthentificationService : public std::enable_shared_from_this<GoogleAuthentificationService>
{
public:
    // On success error is none and both tokens are present; on failure both tokens are none.
    using AuthentificatedBlock =
        std::function<void(bool success, std::optional<QString> error, std::optional<QString> accessToken,
                           std::optional<QString> refreshToken)>;
    // On success the message is "" and the token present; on failure the message says why.
    using RefreshBlock =
        std::function<void(bool success, QString message, std::optional<QString> accessToken)>;
    using WindowFactory = std::function<std::unique_ptr<AuthentificationWindow>()>;

    static std::shared_ptr<GoogleAuthentificationService> create(QString clientId, QString clientSecret,
                                                                 QString clientScope, QString redirectUri);
    // With the client values the application was built with.
    static std::shared_ptr<GoogleAuthentificationService> createWithConfiguredClient();

    ~GoogleAuthentificationService();
    GoogleAuthentificationService(const GoogleAuthentificationService&) = delete;
    GoogleAuthentificationService& operator=(const GoogleAuthentificationService&) = delete;

    DynamicServiceState& dynamicServiceState() const { return *m_dynamicServiceState; }
    QString clientId() const { return m_clientId; }
    QString clientSecret() const { return m_clientSecret; }
    QString clientScope() const { return m_clientScope; }
    QString redirectUri() const { return m_redirectUri; }

    std::optional<QString> accessToken() const;
    void setAccessToken(const std::optional<QString>& token);
    std::optional<QString> refreshToken() const;
    void setRefreshToken(const std::optional<QString>& token);
    std::optional<QString> userId() const;

    bool initiateFromPersistentStorage();
    bool changeUserAndBlogAndTokens(const QString& userId, const QString& blogId);
    void authentificateNewUser();
    void authentificateUser(const QString& userId);
    void openLoginWindow();
    void setAuthentificatedBlock(AuthentificatedBlock block);
    bool shouldRefreshToken() const;
    // The block is always called once, also when no refresh token is held or no reply comes.
    void refreshAuthentificationCode(bool keepToken, RefreshBlock block);

    // How the sign-in window is made; the application sets it, tests set a fake.
    void setAuthentificationWindowFactory(WindowFactory factory);
    // The window opened last, held until the next sign-in; may be null.
    AuthentificationWindow* authentificationWindow() const;

    // Transfer time-out of the token requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

    // The application/x-www-form-urlencoded field "name=value&" with the value percent-encoded.
    static QByteArray formField(const QString& name, const QString& value);

    static QString noResponseMessage()
    {
        return QStringLiteral(
            "No response received from Blogger. Please check your internet connection and retry");
    }
    static QString noRefreshTokenMessage()
    {
        return QStringLiteral("No refresh token is held for this account. Please sign in again");
    }
    static QString noWindowMessage() { return QStringLiteral("The sign-in window could not be opened"); }
    // A refresh that failed for one of these reasons leaves nothing worth sending a request with.
    static bool refreshFailureEndsOperation(const QString& message)
    {
        return message == noResponseMessage() || message == noRefreshTokenMessage();
    }

private:
    GoogleAuthentificationService(QString clientId, QString clientSecret, QString clientScope,
                                  QString redirectUri);

    // POSTs the form body to the token endpoint; the completion runs on the network thread.
    void sendTokenRequest(QByteArray body, UrlSession::CompletionHandler completion);
    void requestAuthentificationTokens(const QString& code);
    void handleTokensReply(const UrlSession::Reply& reply);
    void handleRefreshReply(bool keepToken, const RefreshBlock& block, const UrlSession::Reply& reply);

    std::unique_ptr<DynamicServiceState> m_dynamicServiceState;
    const QString m_clientId;
    const QString m_clientSecret;
    const QString m_clientScope;
    const QString m_redirectUri;

    mutable QMutex m_mutex;
    std::optional<QString> m_authentificationToken;
    std::optional<QString> m_refreshAuthentificationToken;
    std::optional<QString> m_userId;
    std::unique_ptr<AuthentificationWindow> m_authentificationWindow;
    WindowFactory m_windowFactory;

    BlockProperty<void(bool, std::optional<QString>, std::optional<QString>, std::optional<QString>)>
        m_authentificatedBlock;
    std::atomic<double> m_timeoutInterval;
};

#include "GoogleAuthentificationService.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleRequestServiceBase.h"
#include "google/GoogleServiceEndpoints.h"
#include "google/JsonServiceError.h"
#include "platform/Dispatch.h"
#include "platform/UrlSession.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace {

void printLine(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::optional<QString> textFor(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

GoogleAuthentificationService::GoogleAuthentificationService(QString clientId, QString clientSecret,
                                                             QString clientScope, QString redirectUri)
    : m_dynamicServiceState(std::make_unique<DynamicServiceState>()), m_clientId(std::move(clientId)),
      m_clientSecret(std::move(clientSecret)), m_clientScope(std::move(clientScope)),
      m_redirectUri(std::move(redirectUri)), m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

GoogleAuthentificationService::~GoogleAuthentificationService()
{
    // The last holder can be a network completion; the window is GUI and may only go on the main thread.
    QCoreApplication* app = QCoreApplication::instance();
    if (m_authentificationWindow && app && QThread::currentThread() != app->thread()) {
        AuthentificationWindow* window = m_authentificationWindow.release();
        Dispatch::toMainThread([window] { delete window; });
    }
}

std::shared_ptr<GoogleAuthentificationService> GoogleAuthentificationService::create(QString clientId,
                                                                                     QString clientSecret,
                                                                                     QString clientScope,
                                                                                     QString redirectUri)
{
    return std::shared_ptr<GoogleAuthentificationService>(new GoogleAuthentificationService(
        std::move(clientId), std::move(clientSecret), std::move(clientScope), std::move(redirectUri)));
}

std::shared_ptr<GoogleAuthentificationService> GoogleAuthentificationService::createWithConfiguredClient()
{
    return create(GoogleServiceEndpoints::clientId(), GoogleServiceEndpoints::clientSecret(),
                  GoogleServiceEndpoints::clientScope(), GoogleServiceEndpoints::redirectUri());
}

std::optional<QString> GoogleAuthentificationService::accessToken() const
{
    QMutexLocker locker(&m_mutex);
    return m_authentificationToken;
}

void GoogleAuthentificationService::setAccessToken(const std::optional<QString>& token)
{
    QMutexLocker locker(&m_mutex);
    m_authentificationToken = token;
}

std::optional<QString> GoogleAuthentificationService::refreshToken() const
{
    QMutexLocker locker(&m_mutex);
    return m_refreshAuthentificationToken;
}

void GoogleAuthentificationService::setRefreshToken(const std::optional<QString>& token)
{
    QMutexLocker locker(&m_mutex);
    m_refreshAuthentificationToken = token;
}

std::optional<QString> GoogleAuthentificationService::userId() const
{
    QMutexLocker locker(&m_mutex);
    return m_userId;
}

bool GoogleAuthentificationService::initiateFromPersistentStorage()
{
    PersistentServiceState state;
    const QString userId = state.userId().value_or(GoogleServiceConstants::NoId());
    const QString blogId = state.blogId().value_or(GoogleServiceConstants::NoId());
    return changeUserAndBlogAndTokens(userId, blogId);
}

bool GoogleAuthentificationService::changeUserAndBlogAndTokens(const QString& userId, const QString& blogId)
{
    if (userId == GoogleServiceConstants::NoId() || blogId == GoogleServiceConstants::NoId()) {
        return false;
    }
    PersistentAccessTokens tokens(userId);
    const std::optional<QString> access = tokens.accessToken();
    const std::optional<QString> refresh = tokens.refreshToken();
    if (!access || !refresh) {
        return false;
    }
    {
        QMutexLocker locker(&m_mutex);
        m_authentificationToken = access;
        m_refreshAuthentificationToken = refresh;
    }
    m_dynamicServiceState->setUserId(userId);
    m_dynamicServiceState->setBlogId(blogId);
    return true;
}

void GoogleAuthentificationService::authentificateNewUser()
{
    openLoginWindow();
}

void GoogleAuthentificationService::authentificateUser(const QString& userId)
{
    PersistentAccessTokens tokens(userId);
    const std::optional<QString> access = tokens.accessToken();
    const std::optional<QString> refresh = tokens.refreshToken();
    {
        QMutexLocker locker(&m_mutex);
        m_userId = userId;
        m_authentificationToken = access;
        m_refreshAuthentificationToken = refresh;
    }
    if (!access) {
        openLoginWindow();
    }
}

void GoogleAuthentificationService::setAuthentificationWindowFactory(WindowFactory factory)
{
    QMutexLocker locker(&m_mutex);
    m_windowFactory = std::move(factory);
}

AuthentificationWindow* GoogleAuthentificationService::authentificationWindow() const
{
    QMutexLocker locker(&m_mutex);
    return m_authentificationWindow.get();
}

void GoogleAuthentificationService::openLoginWindow()
{
    WindowFactory factory;
    {
        QMutexLocker locker(&m_mutex);
        factory = m_windowFactory;
    }
    std::unique_ptr<AuthentificationWindow> window = factory ? factory() : nullptr;
    if (!window) {
        printLine("No sign-in window could be made");
        std::shared_ptr<GoogleAuthentificationService> self = shared_from_this();
        UrlSession::runOnNetworkThread([self] {
            self->m_authentificatedBlock(false, std::optional<QString>(noWindowMessage()), std::nullopt,
                                         std::nullopt);
        });
        return;
    }
    // The window lives inside this service: a strong reference back would keep both alive forever.
    std::weak_ptr<GoogleAuthentificationService> weakSelf = weak_from_this();
    window->submitBlock([weakSelf](const QString& code) {
        if (std::shared_ptr<GoogleAuthentificationService> self = weakSelf.lock()) {
            self->requestAuthentificationTokens(code);
        }
    });
    AuthentificationWindow* opened = window.get();
    std::unique_ptr<AuthentificationWindow> previous;
    {
        QMutexLocker locker(&m_mutex);
        previous = std::move(m_authentificationWindow);
        m_authentificationWindow = std::move(window);
    }
    previous.reset();
    opened->openWindow(m_clientId, m_clientSecret, m_clientScope, m_redirectUri);
}

void GoogleAuthentificationService::setAuthentificatedBlock(AuthentificatedBlock block)
{
    m_authentificatedBlock = std::move(block);
}

bool GoogleAuthentificationService::shouldRefreshToken() const
{
    return true;
}

QByteArray GoogleAuthentificationService::formField(const QString& name, const QString& value)
{
    return name.toUtf8() + '=' + QUrl::toPercentEncoding(value) + '&';
}

void GoogleAuthentificationService::sendTokenRequest(QByteArray body,
                                                     UrlSession::CompletionHandler completion)
{
    UrlSession::Request request;
    request.url = QUrl(GoogleServiceEndpoints::tokenUrl());
    request.method = "POST";
    request.addValue("application/x-www-form-urlencoded", "Content-Type");
    request.body = std::move(body);
    request.maximumBodySize = GoogleRequestServiceBase::MaximumJsonReplySize;
    UrlSession(timeoutInterval()).dataTask(std::move(request), std::move(completion))->resume();
}

void GoogleAuthentificationService::requestAuthentificationTokens(const QString& code)
{
    std::shared_ptr<GoogleAuthentificationService> self = shared_from_this();
    sendTokenRequest(
        formField(QStringLiteral("code"), code) + formField(QStringLiteral("client_id"), m_clientId) +
            formField(QStringLiteral("client_secret"), m_clientSecret) +
            formField(QStringLiteral("redirect_uri"), m_redirectUri) + "grant_type=authorization_code&",
        [self](UrlSession::Reply reply) { self->handleTokensReply(reply); });
}

void GoogleAuthentificationService::handleTokensReply(const UrlSession::Reply& reply)
{
    const std::optional<QByteArray>& body = reply.body;
    const std::optional<QString>& error = reply.error;
    auto fail = [this](const QString& message) {
        m_authentificatedBlock(false, std::optional<QString>(message), std::nullopt, std::nullopt);
    };
    // No reply at all (refused, reset, timed out) reads as the web clients say it, not as a transport text.
    if (!body) {
        fail(noResponseMessage());
        return;
    }
    if (error) {
        fail(*error);
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(QStringLiteral("Response parse error: ") + parseError.errorString());
        return;
    }
    if (!document.isObject()) {
        fail(QStringLiteral("Could not parse response"));
        return;
    }
    const QJsonObject object = document.object();
    if (std::optional<QString> refusal = JsonServiceError::message(object)) {
        fail(*refusal);
        return;
    }
    if (!reply.hasSuccessStatus()) {
        fail(GoogleRequestServiceBase::statusMessage(reply.statusCode));
        return;
    }
    const std::optional<QString> access = textFor(object, QLatin1StringView("access_token"));
    const std::optional<QString> refresh = textFor(object, QLatin1StringView("refresh_token"));
    if (!access || !refresh) {
        fail(QStringLiteral("Could not parse response"));
        return;
    }
    m_authentificatedBlock(true, std::nullopt, access, refresh);
}

void GoogleAuthentificationService::refreshAuthentificationCode(bool keepToken, RefreshBlock block)
{
    const std::optional<QString> refresh = refreshToken();
    if (!refresh) {
        printLine("Null authentification token !");
        // Answer all the same, and never inline: the caller's busy state must end.
        UrlSession::runOnNetworkThread([block] {
            if (block) {
                block(false, noRefreshTokenMessage(), std::nullopt);
            }
        });
        return;
    }

    std::shared_ptr<GoogleAuthentificationService> self = shared_from_this();
    sendTokenRequest(formField(QStringLiteral("refresh_token"), *refresh) +
                         formField(QStringLiteral("client_id"), m_clientId) +
                         formField(QStringLiteral("client_secret"), m_clientSecret) +
                         "grant_type=refresh_token&",
                     [self, keepToken, block](UrlSession::Reply reply) {
                         self->handleRefreshReply(keepToken, block, reply);
                     });
}

void GoogleAuthentificationService::handleRefreshReply(bool keepToken, const RefreshBlock& block,
                                                       const UrlSession::Reply& reply)
{
    const std::optional<QByteArray>& body = reply.body;
    const std::optional<QString>& error = reply.error;
    auto answer = [&block](bool success, const QString& message, std::optional<QString> token) {
        if (block) {
            block(success, message, std::move(token));
        }
    };
    if (!body) {
        printLine("Null Data @authentification token !");
        answer(false, noResponseMessage(), std::nullopt);
        return;
    }
    if (error) {
        answer(false, *error, std::nullopt);
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        answer(false, QStringLiteral("Parse error: ") + parseError.errorString(), std::nullopt);
        return;
    }
    if (!document.isObject()) {
        answer(false, JsonServiceError::couldNotParseMessage(), std::nullopt);
        return;
    }
    const QJsonObject object = document.object();
    if (std::optional<QString> refusal = JsonServiceError::message(object)) {
        answer(false, *refusal, std::nullopt);
        return;
    }
    if (std::optional<QString> description = textFor(object, QLatin1StringView("error_description"))) {
        answer(false, *description, std::nullopt);
        return;
    }
    if (!reply.hasSuccessStatus()) {
        answer(false, GoogleRequestServiceBase::statusMessage(reply.statusCode), std::nullopt);
        return;
    }
    const std::optional<QString> access = textFor(object, QLatin1StringView("access_token"));
    if (!access) {
        // The old token may still be good: a reply without a new one must not wipe it.
        answer(false, JsonServiceError::couldNotParseMessage(), std::nullopt);
        return;
    }
    // A refresh that gave back the token held changes nothing: no preferences write and flush for it.
    const bool changed = access != accessToken();
    if (keepToken) {
        setAccessToken(access);
    }
    if (changed) {
        PersistentServiceState().setLastTokenRefresh(m_dynamicServiceState->blogId(),
                                                     QDateTime::currentDateTime());
    }
    answer(true, QString(""), access);
}

#pragma once

#include "google/BlockProperty.h"
#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"
#include "model/BloggerUser.h"
#include "platform/UrlSession.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class GoogleAuthentificationService;

// What the web-service clients share: the sign-in service, the Atom request bodies, the JSON readers
// and the service-error check. Clients are owned through std::shared_ptr (made by their create
// functions), so a pending request keeps its client alive until its completion has run.
class GoogleRequestServiceBase : public std::enable_shared_from_this<GoogleRequestServiceBase>
{
public:
    // JSON replies are small records; far below the Atom feeds' limit.
    static constexpr qint64 MaximumJsonReplySize = 8 * 1024 * 1024;

    virtual ~GoogleRequestServiceBase();
    GoogleRequestServiceBase(const GoogleRequestServiceBase&) = delete;
    GoogleRequestServiceBase& operator=(const GoogleRequestServiceBase&) = delete;

    std::shared_ptr<GoogleAuthentificationService> authentificationService() const;
    void setAuthentificationService(std::shared_ptr<GoogleAuthentificationService> service);

    BloggerUser parseUserJson(const QJsonObject& object) const;
    BloggerUser parseCommentUserJson(const QJsonObject& object) const;
    BloggerPostComment parseCommentJson(const QJsonObject& object) const;
    QString postRequestBody(const BloggerPost& post) const;
    QString commentRequestBody(const BloggerPostComment& comment) const;
    QString albumRequestBody(const QString& title, const QString& description) const;
    // Failure with the service's message when "error" is present and not null.
    BloggerSuccessResponse detectServiceErrorOnJsonResponse(const QJsonObject& object) const;
    QString clear(const std::optional<QString>& text) const;
    QString escape(const QString& text) const;

    // Transfer time-out of this client's requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    double timeoutInterval() const { return m_timeoutInterval; }

    static QString noResponseMessage();
    // The failure of a reply without a body: its refusal for size says so, anything else is no response.
    static BloggerSuccessResponse noBodyFailure(const UrlSession::Reply& reply);
    // For a reply whose status is outside 2xx and whose body says nothing more.
    static QString statusMessage(int statusCode);
    static QString invalidUrlMessage()
    {
        return QStringLiteral("Cannot make the request. The URL is invalid");
    }
    static QString noBlogSelectedMessage()
    {
        return QStringLiteral(
            "No account or blog selected. Please select an account and a blog before using the "
            "application - you can do that from the Settings panel");
    }
    // Ids go into request paths as they stand: only non-empty unreserved text is accepted.
    static bool isValidPathId(const QString& id);
    // The text of an Atom reply, or the failure to report: no body, transport error, no UTF-8 text.
    static std::variant<QString, BloggerSuccessResponse> textOfReply(const UrlSession::Reply& reply);
    // The decimal text of a fresh unsigned 32-bit number.
    static QString randomQueryValue();

protected:
    explicit GoogleRequestServiceBase(std::shared_ptr<GoogleAuthentificationService> service);

    template <typename T> std::shared_ptr<T> self()
    {
        return std::static_pointer_cast<T>(shared_from_this());
    }

    // Starts the request; the completion runs on the network thread.
    std::shared_ptr<UrlSession::Task>
    send(UrlSession::Request request, UrlSession::CompletionHandler completion, bool resume = true) const;
    // Runs work later on the network thread, where replies are handled: callers are never called back inline.
    static void later(std::function<void()> work);

    // Refreshes the token (keeping the new one), then runs work. A refresh that leaves nothing to send
    // with (no refresh token, no reply) ends the operation through fail instead.
    void afterTokenRefresh(std::function<void()> work, std::function<void(BloggerSuccessResponse)> fail);
    // "OAuth " and the current token; logs when the token is empty or missing.
    QByteArray authorizationValue() const;

    // The decoded JSON object of a reply, or the failure to report: no body, transport error,
    // parse error, no object, service error, a status outside 2xx, in that order.
    std::variant<QJsonObject, BloggerSuccessResponse> jsonObjectOfReply(const UrlSession::Reply& reply) const;

    using ErrorBlock = BlockProperty<void(BloggerSuccessResponse)>;
    // Tells the operation's error block, later on the network thread: callers are never called back inline.
    template <typename Service> void failLater(ErrorBlock Service::*errorBlock, const QString& message)
    {
        auto me = self<Service>();
        later([me, errorBlock, message] { ((*me).*errorBlock)(BloggerSuccessResponse(false, message)); });
    }
    // The request to address, or none once the error block was told why: no blog selected, or the blog id,
    // an id of pathIds or the address unfit for a request.
    template <typename Service>
    std::optional<UrlSession::Request> requestFor(ErrorBlock Service::*errorBlock, const QString& blogId,
                                                  const QStringList& pathIds, const QString& address)
    {
        if (blogId.isEmpty()) {
            failLater(errorBlock, noBlogSelectedMessage());
            return std::nullopt;
        }
        UrlSession::Request request;
        request.url = QUrl(address, QUrl::StrictMode);
        if (!isValidPathId(blogId) || !std::all_of(pathIds.begin(), pathIds.end(), isValidPathId) ||
            !request.url.isValid()) {
            failLater(errorBlock, invalidUrlMessage());
            return std::nullopt;
        }
        return request;
    }

private:
    mutable QMutex m_mutex;
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::atomic<double> m_timeoutInterval;
};

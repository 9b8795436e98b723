#include "UsersAndBlogsGoogleService.h"

#include "google/GoogleServiceEndpoints.h"
#include "google/JsonServiceError.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

std::optional<QString> textFor(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

UsersAndBlogsGoogleService::UsersAndBlogsGoogleService(std::shared_ptr<GoogleAuthentificationService> service,
                                                       QString accessToken)
    : GoogleRequestServiceBase(std::move(service)), m_accessToken(std::move(accessToken))
{
}

std::shared_ptr<UsersAndBlogsGoogleService>
UsersAndBlogsGoogleService::create(std::shared_ptr<GoogleAuthentificationService> service,
                                   QString accessToken)
{
    return std::shared_ptr<UsersAndBlogsGoogleService>(
        new UsersAndBlogsGoogleService(std::move(service), std::move(accessToken)));
}

UrlSession::Request UsersAndBlogsGoogleService::requestFor(const QString& pathAndQuery) const
{
    UrlSession::Request request;
    request.url =
        QUrl(GoogleServiceEndpoints::googleApiUrl() + pathAndQuery + randomQueryValue(), QUrl::StrictMode);
    request.method = "GET";
    request.addValue(QByteArray("OAuth ") + m_accessToken.toUtf8(), "Authorization");
    request.maximumBodySize = MaximumJsonReplySize;
    return request;
}

void UsersAndBlogsGoogleService::getSelfUserDetails()
{
    UrlSession::Request request = requestFor(QStringLiteral("/oauth2/v1/userinfo?rand="));
    auto me = self<UsersAndBlogsGoogleService>();
    if (!request.url.isValid()) {
        later(
            [me] { me->onGetSelfUserDetailsBlockError(BloggerSuccessResponse(false, invalidUrlMessage())); });
        return;
    }
    send(std::move(request), [me](UrlSession::Reply reply) {
        auto read = me->jsonObjectOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onGetSelfUserDetailsBlockError(*failure);
            return;
        }
        const BloggerUser user = me->parseUserJson(std::get<QJsonObject>(read));
        // A reply without an id is no user: storing it would make an account nobody can sign in to.
        if (user.userId.isEmpty()) {
            me->onGetSelfUserDetailsBlockError(
                BloggerSuccessResponse(false, JsonServiceError::couldNotParseMessage()));
            return;
        }
        me->onGetSelfUserDetailsBlockSuccess(user);
    });
}

void UsersAndBlogsGoogleService::listSelfBlogs(const QString& userId)
{
    UrlSession::Request request = requestFor(QStringLiteral("/blogger/v3/users/self/blogs?rand="));
    auto me = self<UsersAndBlogsGoogleService>();
    if (!request.url.isValid()) {
        later([me] { me->onListSelfBlogsBlockError(BloggerSuccessResponse(false, invalidUrlMessage())); });
        return;
    }
    send(std::move(request), [me, userId](UrlSession::Reply reply) {
        auto read = me->jsonObjectOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onListSelfBlogsBlockError(*failure);
            return;
        }
        QList<BloggerBlog> blogs;
        const QJsonValue items = std::get<QJsonObject>(read).value(QLatin1StringView("items"));
        if (items.isArray()) {
            for (const QJsonValue& item : items.toArray()) {
                const QJsonObject blog = item.toObject();
                blogs.append(BloggerBlog(me->clear(textFor(blog, QLatin1StringView("id"))), me->clear(userId),
                                         me->clear(textFor(blog, QLatin1StringView("name"))),
                                         me->clear(textFor(blog, QLatin1StringView("url"))),
                                         me->clear(textFor(blog, QLatin1StringView("status")))));
            }
        }
        me->onListSelfBlogsBlockSuccess(blogs);
    });
}

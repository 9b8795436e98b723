#include "GoogleRequestServiceBase.h"

#include "common/GoogleDateService.h"
#include "common/GoogleServiceConstants.h"
#include "google/AtomNamespaces.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleServiceEndpoints.h"
#include "google/JsonServiceError.h"
#include "google/ServiceClock.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QMutexLocker>
#include <QStringDecoder>

#include <cstdio>

namespace {

std::optional<QString> jsonTextFor(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

GoogleRequestServiceBase::GoogleRequestServiceBase(std::shared_ptr<GoogleAuthentificationService> service)
    : m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

GoogleRequestServiceBase::~GoogleRequestServiceBase() = default;

std::shared_ptr<GoogleAuthentificationService> GoogleRequestServiceBase::authentificationService() const
{
    QMutexLocker locker(&m_mutex);
    return m_authentificationService;
}

void GoogleRequestServiceBase::setAuthentificationService(
    std::shared_ptr<GoogleAuthentificationService> service)
{
    QMutexLocker locker(&m_mutex);
    m_authentificationService = std::move(service);
}

BloggerUser GoogleRequestServiceBase::parseUserJson(const QJsonObject& object) const
{
    return BloggerUser(clear(jsonTextFor(object, QLatin1StringView("id"))),
                       clear(jsonTextFor(object, QLatin1StringView("name"))),
                       clear(jsonTextFor(object, QLatin1StringView("link"))),
                       clear(jsonTextFor(object, QLatin1StringView("picture"))));
}

BloggerUser GoogleRequestServiceBase::parseCommentUserJson(const QJsonObject& object) const
{
    std::optional<QString> picture;
    const QJsonValue image = object.value(QLatin1StringView("image"));
    if (image.isObject()) {
        picture = jsonTextFor(image.toObject(), QLatin1StringView("url"));
    }
    return BloggerUser(clear(jsonTextFor(object, QLatin1StringView("id"))),
                       clear(jsonTextFor(object, QLatin1StringView("displayName"))),
                       clear(jsonTextFor(object, QLatin1StringView("url"))), clear(picture));
}

BloggerPostComment GoogleRequestServiceBase::parseCommentJson(const QJsonObject& object) const
{
    const std::optional<QString> id = jsonTextFor(object, QLatin1StringView("id"));
    const std::optional<QString> published = jsonTextFor(object, QLatin1StringView("published"));
    const std::optional<QString> content = jsonTextFor(object, QLatin1StringView("content"));
    BloggerUser author(QString(""), QString(""), QString(""), QString(""));
    const QJsonValue authorValue = object.value(QLatin1StringView("author"));
    if (authorValue.isObject()) {
        author = parseCommentUserJson(authorValue.toObject());
    }
    std::optional<QDateTime> publishDate;
    if (published) {
        publishDate = GoogleDateService().parseDate(*published);
    }
    return BloggerPostComment(GoogleServiceConstants::NoId(), GoogleServiceConstants::NoId(), clear(id),
                              author, publishDate, clear(content));
}

QString GoogleRequestServiceBase::postRequestBody(const BloggerPost& post) const
{
    QString body = QStringLiteral("<entry xmlns='") + AtomNamespaces::Atom + QStringLiteral("'>");
    body += QStringLiteral("<title type='text'>") + escape(post.title) + QStringLiteral("</title>");
    if (post.postStatus == PostStatus::Scheduled && post.publishDate) {
        body += QStringLiteral("<published type='text'>") + GoogleDateService().isoDate(*post.publishDate) +
                QStringLiteral("</published>");
    }
    body += QStringLiteral("<content type='html'>") + escape(post.content) + QStringLiteral("</content>");
    for (const QString& label : post.labels) {
        body += QStringLiteral("<category scheme='") + AtomNamespaces::BloggerCategoryScheme +
                QStringLiteral("' term=\"") + escape(label) + QStringLiteral("\" />");
    }
    if (post.postStatus == PostStatus::Draft) {
        body += QStringLiteral("<app:control xmlns:app='") + AtomNamespaces::App +
                QStringLiteral("'><app:draft>yes</app:draft></app:control>");
    }
    body += QStringLiteral("</entry>");
    return body;
}

QString GoogleRequestServiceBase::commentRequestBody(const BloggerPostComment& comment) const
{
    return QStringLiteral("<entry xmlns='") + AtomNamespaces::Atom + QStringLiteral("'>") +
           QStringLiteral("<title type='text'></title>") + QStringLiteral("<content type='html'>") +
           escape(comment.content) + QStringLiteral("</content>") + QStringLiteral("</entry>");
}

QString GoogleRequestServiceBase::albumRequestBody(const QString& title, const QString& description) const
{
    return QStringLiteral("<entry xmlns='") + AtomNamespaces::Atom + QStringLiteral("' xmlns:media='") +
           AtomNamespaces::MediaRss + QStringLiteral("' xmlns:gphoto='") + AtomNamespaces::Photo +
           QStringLiteral("'>") + QStringLiteral("<title type='text'>") + escape(title) +
           QStringLiteral("</title>") + QStringLiteral("<summary type='text'>") + escape(description) +
           QStringLiteral("</summary>") + QStringLiteral("<gphoto:access>public</gphoto:access>") +
           QStringLiteral("<media:group><media:keywords></media:keywords></media:group>") +
           QStringLiteral("<category scheme='") + AtomNamespaces::GDataKindScheme +
           QStringLiteral("' term='") + AtomNamespaces::Photo + QStringLiteral("#album'></category>") +
           QStringLiteral("</entry>");
}

BloggerSuccessResponse
GoogleRequestServiceBase::detectServiceErrorOnJsonResponse(const QJsonObject& object) const
{
    if (std::optional<QString> message = JsonServiceError::message(object)) {
        return BloggerSuccessResponse(false, *message);
    }
    return BloggerSuccessResponse(true, QString(""));
}

QString GoogleRequestServiceBase::clear(const std::optional<QString>& text) const
{
    return text ? *text : QString("");
}

QString GoogleRequestServiceBase::escape(const QString& text) const
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1StringView("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1StringView("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1StringView("&gt;"));
    escaped.replace(QLatin1Char('"'), QLatin1StringView("&quot;"));
    escaped.replace(QLatin1Char('\''), QLatin1StringView("&#39;"));
    return escaped;
}

QString GoogleRequestServiceBase::noResponseMessage()
{
    return GoogleAuthentificationService::noResponseMessage();
}

bool GoogleRequestServiceBase::isValidPathId(const QString& id)
{
    if (id.isEmpty()) {
        return false;
    }
    for (const QChar c : id) {
        const char16_t u = c.unicode();
        const bool unreserved = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                                u == '-' || u == '.' || u == '_' || u == '~';
        if (!unreserved) {
            return false;
        }
    }
    // "." and ".." would climb the path.
    return id != QLatin1StringView(".") && id != QLatin1StringView("..");
}

QString GoogleRequestServiceBase::randomQueryValue()
{
    return QString::number(GoogleServiceConstants::RandomIntId());
}

std::shared_ptr<UrlSession::Task> GoogleRequestServiceBase::send(UrlSession::Request request,
                                                                 UrlSession::CompletionHandler completion,
                                                                 bool resume) const
{
    UrlSession session(timeoutInterval());
    // Blogger's replies tell its clock; a blog's own page, which may be served by anyone, does not.
    const QString address = request.url.toString();
    const bool fromBlogger = address.startsWith(GoogleServiceEndpoints::bloggerUrl() + QLatin1Char('/')) ||
                             address.startsWith(GoogleServiceEndpoints::googleApiUrl() + QLatin1Char('/'));
    if (fromBlogger) {
        completion = [completion = std::move(completion)](UrlSession::Reply reply) {
            if (!reply.date.isEmpty()) {
                ServiceClock::observe(ServiceClock::parseHttpDate(reply.date));
            }
            completion(std::move(reply));
        };
    }
    std::shared_ptr<UrlSession::Task> task = session.dataTask(std::move(request), std::move(completion));
    if (resume) {
        task->resume();
    }
    return task;
}

void GoogleRequestServiceBase::later(std::function<void()> work)
{
    UrlSession::runOnNetworkThread(std::move(work));
}

void GoogleRequestServiceBase::afterTokenRefresh(std::function<void()> work,
                                                 std::function<void(BloggerSuccessResponse)> fail)
{
    std::shared_ptr<GoogleAuthentificationService> service = authentificationService();
    if (!service) {
        later([fail] { fail(BloggerSuccessResponse(false, noBlogSelectedMessage())); });
        return;
    }
    if (!service->shouldRefreshToken()) {
        later(std::move(work));
        return;
    }
    service->refreshAuthentificationCode(
        true, [work, fail](bool success, const QString& message, const std::optional<QString>&) {
            if (!success && GoogleAuthentificationService::refreshFailureEndsOperation(message)) {
                fail(BloggerSuccessResponse(false, message));
                return;
            }
            // A refused refresh still sends with the token held: the reply tells whether it was good.
            work();
        });
}

QByteArray GoogleRequestServiceBase::authorizationValue() const
{
    std::shared_ptr<GoogleAuthentificationService> service = authentificationService();
    const QString token = service ? service->accessToken().value_or(QString()) : QString();
    if (token.isEmpty()) {
        std::fputs("==> Empty authentificationService.accessToken !\n", stdout);
        std::fflush(stdout);
    }
    return QByteArray("OAuth ") + token.toUtf8();
}

BloggerSuccessResponse GoogleRequestServiceBase::noBodyFailure(const UrlSession::Reply& reply)
{
    if (reply.tooLarge && reply.error) {
        return BloggerSuccessResponse(false, QStringLiteral("Request error: ") + *reply.error);
    }
    return BloggerSuccessResponse(false, noResponseMessage());
}

std::variant<QString, BloggerSuccessResponse>
GoogleRequestServiceBase::textOfReply(const UrlSession::Reply& reply)
{
    if (!reply.body) {
        return noBodyFailure(reply);
    }
    if (reply.error) {
        return BloggerSuccessResponse(false, QStringLiteral("Request error: ") + *reply.error);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(*reply.body);
    if (decoder.hasError()) {
        return BloggerSuccessResponse(false, QStringLiteral("Request error: No response received"));
    }
    return text;
}

QString GoogleRequestServiceBase::statusMessage(int statusCode)
{
    return QStringLiteral("Request error: the service answered with HTTP status %1").arg(statusCode);
}

std::variant<QJsonObject, BloggerSuccessResponse>
GoogleRequestServiceBase::jsonObjectOfReply(const UrlSession::Reply& reply) const
{
    if (!reply.body) {
        return noBodyFailure(reply);
    }
    if (reply.error) {
        return BloggerSuccessResponse(false, QStringLiteral("Request error: ") + *reply.error);
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*reply.body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return BloggerSuccessResponse(false, QStringLiteral("Parse error: ") + parseError.errorString());
    }
    if (!document.isObject()) {
        return BloggerSuccessResponse(false, JsonServiceError::couldNotParseMessage());
    }
    const QJsonObject object = document.object();
    const BloggerSuccessResponse serviceError = detectServiceErrorOnJsonResponse(object);
    if (!serviceError.success) {
        return serviceError;
    }
    if (!reply.hasSuccessStatus()) {
        return BloggerSuccessResponse(false, statusMessage(reply.statusCode));
    }
    return object;
}

#include "CommentsGoogleService.h"

#include "common/GoogleServiceConstants.h"
#include "common/StringServices.h"
#include "google/BloggerXMLParser.h"
#include "google/GoogleServiceEndpoints.h"
#include "google/JsonServiceError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

// What a reply that is not the expected entry says, readable for the user: a service error object's
// message, an HTML page's title, or the text itself.
QString failureText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('{'))) {
        const QJsonDocument document = QJsonDocument::fromJson(trimmed.toUtf8());
        if (document.isObject()) {
            if (std::optional<QString> message = JsonServiceError::message(document.object())) {
                return *message;
            }
        }
    }
    if (trimmed.startsWith(QLatin1Char('<'))) {
        static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                              QRegularExpression::CaseInsensitiveOption |
                                                  QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = title.match(trimmed);
        const QString titleText = match.hasMatch() ? match.captured(1).trimmed() : QString();
        if (!titleText.isEmpty()) {
            return titleText;
        }
        const QString plain = StringServices().removeHtmlEntries(trimmed).simplified();
        if (!plain.isEmpty()) {
            return plain;
        }
    }
    return trimmed.isEmpty() ? GoogleRequestServiceBase::noResponseMessage() : trimmed;
}

// The failure a reply whose status is outside 2xx stands for: what its body says, else its status.
BloggerSuccessResponse statusFailure(const UrlSession::Reply& reply, const QString& text)
{
    return BloggerSuccessResponse(false, text.trimmed().isEmpty()
                                             ? GoogleRequestServiceBase::statusMessage(reply.statusCode)
                                             : failureText(text));
}

} // namespace

CommentsGoogleService::CommentsGoogleService(std::shared_ptr<GoogleAuthentificationService> service)
    : GoogleRequestServiceBase(std::move(service))
{
}

std::shared_ptr<CommentsGoogleService>
CommentsGoogleService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<CommentsGoogleService>(new CommentsGoogleService(std::move(service)));
}

std::optional<QList<BloggerPostComment>> CommentsGoogleService::listedComments() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_listedComments;
}

bool CommentsGoogleService::listedAllComments() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_listedAll;
}

QString CommentsGoogleService::authorIdFromProfileLink(const QString& link)
{
    const QUrl url(link.startsWith(QLatin1StringView("//")) ? QStringLiteral("https:") + link : link);
    if (!url.isValid()) {
        return QString();
    }
    const QStringList segments = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segments.size() != 2 || segments.first() != QLatin1StringView("profile")) {
        return QString();
    }
    const QString id = segments.last();
    return isValidPathId(id) ? id : QString();
}

void CommentsGoogleService::listPostComments(const QString& postId, const QString& blogId)
{
    {
        QMutexLocker locker(&m_stateMutex);
        m_listedComments = QList<BloggerPostComment>();
        m_listedAll = false;
    }
    auto me = self<CommentsGoogleService>();
    afterTokenRefresh([me, postId, blogId] { me->_listPostComments(postId, blogId, 0, QString()); },
                      [me](BloggerSuccessResponse failure) { me->onListPostCommentsBlockError(failure); });
}

void CommentsGoogleService::_listPostComments(const QString& postId, const QString& blogId,
                                              std::int64_t currentPage, const QString& pageToken)
{
    auto me = self<CommentsGoogleService>();
    if (currentPage >= GoogleServiceConstants::MaxResultPagesForComments) {
        later([me] {
            me->onListPostCommentsBlockSuccess(me->listedComments().value_or(QList<BloggerPostComment>()));
        });
        return;
    }
    if (currentPage < 0) {
        failLater(&CommentsGoogleService::onListPostCommentsBlockError, invalidUrlMessage());
        return;
    }
    QString address = GoogleServiceEndpoints::googleApiUrl() + QStringLiteral("/blogger/v3/blogs/") + blogId +
                      QStringLiteral("/posts/") + postId + QStringLiteral("/comments?maxResults=") +
                      QString::number(GoogleServiceConstants::MaxResultsPerPage);
    if (!pageToken.isEmpty()) {
        address += QStringLiteral("&pageToken=") + QString::fromLatin1(QUrl::toPercentEncoding(pageToken));
    }
    address += QStringLiteral("&rand=") + randomQueryValue();
    std::optional<UrlSession::Request> request =
        requestFor(&CommentsGoogleService::onListPostCommentsBlockError, blogId, {postId}, address);
    if (!request) {
        return;
    }
    request->method = "GET";
    request->addValue(authorizationValue(), "Authorization");
    request->maximumBodySize = MaximumJsonReplySize;

    send(std::move(*request), [me, postId, blogId, currentPage](UrlSession::Reply reply) {
        auto read = me->jsonObjectOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onListPostCommentsBlockError(*failure);
            return;
        }
        const QJsonObject& object = std::get<QJsonObject>(read);
        QList<BloggerPostComment> page;
        const QJsonValue items = object.value(QLatin1StringView("items"));
        if (items.isArray()) {
            for (const QJsonValue& item : items.toArray()) {
                BloggerPostComment comment = me->parseCommentJson(item.toObject());
                // Without an id a comment cannot be stored, deleted or told apart from another.
                if (comment.commentId.isEmpty()) {
                    continue;
                }
                comment.blogId = blogId;
                comment.postId = postId;
                page.append(comment);
            }
        }
        const QJsonValue next = object.value(QLatin1StringView("nextPageToken"));
        const QString nextToken = next.isString() ? next.toString() : QString();
        {
            QMutexLocker locker(&me->m_stateMutex);
            if (!me->m_listedComments) {
                me->m_listedComments = QList<BloggerPostComment>();
            }
            me->m_listedComments->append(page);
            me->m_listedAll = nextToken.isEmpty();
        }
        if (nextToken.isEmpty()) {
            me->onListPostCommentsBlockSuccess(me->listedComments().value_or(QList<BloggerPostComment>()));
            return;
        }
        me->_listPostComments(postId, blogId, currentPage + 1, nextToken);
    });
}

void CommentsGoogleService::getPostComment(const QString& commentId, const QString& postId,
                                           const QString& blogId)
{
    auto me = self<CommentsGoogleService>();
    afterTokenRefresh([me, commentId, postId, blogId] { me->_getPostComment(commentId, postId, blogId); },
                      [me](BloggerSuccessResponse failure) { me->onGetPostCommentBlockError(failure); });
}

void CommentsGoogleService::_getPostComment(const QString& commentId, const QString& postId,
                                            const QString& blogId)
{
    std::optional<UrlSession::Request> request =
        requestFor(&CommentsGoogleService::onGetPostCommentBlockError, blogId, {postId, commentId},
                   GoogleServiceEndpoints::googleApiUrl() + QStringLiteral("/blogger/v3/blogs/") + blogId +
                       QStringLiteral("/posts/") + postId + QStringLiteral("/comments/") + commentId +
                       QStringLiteral("?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "GET";
    request->addValue(authorizationValue(), "Authorization");
    request->maximumBodySize = MaximumJsonReplySize;

    auto me = self<CommentsGoogleService>();
    send(std::move(*request), [me, postId, blogId](UrlSession::Reply reply) {
        auto read = me->jsonObjectOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onGetPostCommentBlockError(*failure);
            return;
        }
        BloggerPostComment comment = me->parseCommentJson(std::get<QJsonObject>(read));
        if (comment.commentId.isEmpty()) {
            me->onGetPostCommentBlockError(
                BloggerSuccessResponse(false, JsonServiceError::couldNotParseMessage()));
            return;
        }
        comment.blogId = blogId;
        comment.postId = postId;
        me->onGetPostCommentBlockSuccess(comment);
    });
}

void CommentsGoogleService::addPostComment(const BloggerPostComment& comment, const QString& blogId)
{
    auto me = self<CommentsGoogleService>();
    afterTokenRefresh([me, comment, blogId] { me->_addPostComment(comment, blogId); },
                      [me](BloggerSuccessResponse failure) { me->onAddPostCommentBlockError(failure); });
}

void CommentsGoogleService::_addPostComment(const BloggerPostComment& comment, const QString& blogId)
{
    const QString postId = comment.postId;
    std::optional<UrlSession::Request> request = requestFor(
        &CommentsGoogleService::onAddPostCommentBlockError, blogId, {postId},
        GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + blogId + QLatin1Char('/') +
            postId + QStringLiteral("/comments/default?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "POST";
    request->sendOnce = true;
    request->addValue("application/atom+xml", "Content-Type");
    request->addValue("2", "GData-Version");
    request->addValue(authorizationValue(), "Authorization");
    request->body = commentRequestBody(comment).toUtf8();

    auto me = self<CommentsGoogleService>();
    send(std::move(*request), [me, postId, blogId](UrlSession::Reply reply) {
        auto text = GoogleRequestServiceBase::textOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&text)) {
            me->onAddPostCommentBlockError(*failure);
            return;
        }
        if (!reply.hasSuccessStatus()) {
            me->onAddPostCommentBlockError(statusFailure(reply, std::get<QString>(text)));
            return;
        }
        auto [response, added] = BloggerXMLParser().parseComment(std::get<QString>(text));
        if (!response.success || !added || added->commentId.isEmpty()) {
            me->onAddPostCommentBlockError(
                BloggerSuccessResponse(false, failureText(std::get<QString>(text))));
            return;
        }
        added->blogId = blogId;
        added->postId = postId;
        // The Atom entry names its author by profile address only.
        added->author.userId = authorIdFromProfileLink(added->author.userLink);
        me->onAddPostCommentBlockSuccess(*added);
    });
}

void CommentsGoogleService::deletePostComment(const QString& commentId, const QString& postId,
                                              const QString& blogId)
{
    auto me = self<CommentsGoogleService>();
    afterTokenRefresh([me, commentId, postId, blogId] { me->_deletePostComment(commentId, postId, blogId); },
                      [me](BloggerSuccessResponse failure) { me->onDeletePostCommentBlockError(failure); });
}

void CommentsGoogleService::_deletePostComment(const QString& commentId, const QString& postId,
                                               const QString& blogId)
{
    std::optional<UrlSession::Request> request =
        requestFor(&CommentsGoogleService::onDeletePostCommentBlockError, blogId, {postId, commentId},
                   GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + blogId +
                       QLatin1Char('/') + postId + QStringLiteral("/comments/default/") + commentId +
                       QStringLiteral("?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "DELETE";
    request->addValue("2", "GData-Version");
    request->addValue(authorizationValue(), "Authorization");

    auto me = self<CommentsGoogleService>();
    send(std::move(*request), [me](UrlSession::Reply reply) {
        auto text = GoogleRequestServiceBase::textOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&text)) {
            me->onDeletePostCommentBlockError(*failure);
            return;
        }
        if (!reply.hasSuccessStatus()) {
            me->onDeletePostCommentBlockError(statusFailure(reply, std::get<QString>(text)));
            return;
        }
        me->onDeletePostCommentBlockSuccess(true);
    });
}

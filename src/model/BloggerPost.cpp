#include "BloggerPost.h"

#include "common/GoogleServiceConstants.h"
#include "model/PostAreaAndStatusConverter.h"

BloggerPost::BloggerPost()
    : internalId(GoogleServiceConstants::NoInternalId), blogId(GoogleServiceConstants::NoId()),
      postId(GoogleServiceConstants::NoId()), title(""), content(""), contentPreview(""),
      commentsCount(GoogleServiceConstants::NoComments), url(GoogleServiceConstants::NoUrl()),
      postStatus(PostStatus::Autosaved), offlineForPostWithId(GoogleServiceConstants::NoOfflineId())
{
}

BloggerPost::BloggerPost(QString blogId, QString postId, std::optional<QDateTime> publishDate,
                         std::optional<QDateTime> updatedDate, QString title, QString content,
                         QString contentPreview, QStringList labels, std::int64_t commentsCount, QString url,
                         PostStatus postStatus, QString offlineForPostWithId)
    : internalId(GoogleServiceConstants::NoInternalId), blogId(std::move(blogId)), postId(std::move(postId)),
      publishDate(std::move(publishDate)), updatedDate(std::move(updatedDate)), title(std::move(title)),
      content(std::move(content)), contentPreview(std::move(contentPreview)), labels(std::move(labels)),
      commentsCount(commentsCount), url(std::move(url)), postStatus(postStatus),
      offlineForPostWithId(std::move(offlineForPostWithId))
{
}

BloggerPost BloggerPost::initWithPost(const BloggerPost& post)
{
    BloggerPost copy(post);
    copy.internalId = GoogleServiceConstants::NoInternalId;
    return copy;
}

PostArea BloggerPost::area() const
{
    return PostAreaAndStatusConverter().areaForStatus(postStatus);
}

bool BloggerPost::isOnBlogger() const
{
    const PostArea postArea = area();
    return postArea == PostArea::Published || postArea == PostArea::Draft;
}

QString describeOptionalDate(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid()) {
        return QStringLiteral("nil");
    }
    return date->toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" +0000");
}

QString BloggerPost::toString() const
{
    QStringList quoted;
    for (const QString& label : labels) {
        quoted << '"' + label + '"';
    }
    return QStringLiteral("internalId: ") + QString::number(internalId) + QStringLiteral(", blogId: ") +
           blogId + QStringLiteral(", postId: ") + postId + QStringLiteral(", publishDate: ") +
           describeOptionalDate(publishDate) + QStringLiteral(", updatedDate: ") +
           describeOptionalDate(updatedDate) + QStringLiteral(", title: ") + title +
           QStringLiteral(", content: ") + content + QStringLiteral(", labels: [") + quoted.join(", ") +
           QStringLiteral("], commentsCount: ") + QString::number(commentsCount) + QStringLiteral(", url: ") +
           url + QStringLiteral(", status: ") + rawValue(postStatus) + QStringLiteral(", area: ") +
           rawValue(area()) + QStringLiteral(", offlineForPostWithId: ") + offlineForPostWithId;
}

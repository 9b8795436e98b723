#include "BloggerBlog.h"

#include "common/GoogleServiceConstants.h"

BloggerBlog::BloggerBlog()
    : blogId(GoogleServiceConstants::NoId()), userId(GoogleServiceConstants::NoId()), blogName(""),
      blogUrl(GoogleServiceConstants::NoUrl()), blogStatus("")
{
}

BloggerBlog::BloggerBlog(QString blogId, QString userId, QString blogName, QString blogUrl,
                         QString blogStatus)
    : blogId(std::move(blogId)), userId(std::move(userId)), blogName(std::move(blogName)),
      blogUrl(std::move(blogUrl)), blogStatus(std::move(blogStatus))
{
}

QString BloggerBlog::toString() const
{
    return QStringLiteral("blogId: ") + blogId + QStringLiteral(", userId: ") + userId +
           QStringLiteral(", blogName: ") + blogName + QStringLiteral(", blogUrl: ") + blogUrl +
           QStringLiteral(", blogStatus: ") + blogStatus;
}

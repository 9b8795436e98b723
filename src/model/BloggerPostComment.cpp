#include "BloggerPostComment.h"

#include "common/GoogleServiceConstants.h"
#include "model/BloggerPost.h"

BloggerPostComment::BloggerPostComment()
    : blogId(GoogleServiceConstants::NoId()), postId(GoogleServiceConstants::NoId()),
      commentId(GoogleServiceConstants::NoId()), content("")
{
}

BloggerPostComment::BloggerPostComment(QString blogId, QString postId, QString commentId, BloggerUser author,
                                       std::optional<QDateTime> publishDate, QString content)
    : blogId(std::move(blogId)), postId(std::move(postId)), commentId(std::move(commentId)),
      author(std::move(author)), publishDate(std::move(publishDate)), content(std::move(content))
{
}

QString BloggerPostComment::toString() const
{
    return QStringLiteral("blogId: ") + blogId + QStringLiteral(", postId: ") + postId +
           QStringLiteral(", commentId: ") + commentId + QStringLiteral(", publishDate: ") +
           describeOptionalDate(publishDate) + QStringLiteral(", content: ") + content +
           QStringLiteral(", sentimentScore: ") + QString::number(sentimentScore) +
           QStringLiteral(", author: ") + author.toString();
}

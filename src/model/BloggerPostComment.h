#pragma once

#include "model/BloggerUser.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

class BloggerPostComment
{
public:
    BloggerPostComment();
    BloggerPostComment(QString blogId, QString postId, QString commentId, BloggerUser author,
                       std::optional<QDateTime> publishDate, QString content);

    QString toString() const;
    bool operator==(const BloggerPostComment&) const = default;

    QString blogId;
    QString postId;
    QString commentId;
    BloggerUser author;
    std::optional<QDateTime> publishDate;
    QString content;
    std::int64_t sentimentScore = 0;
};

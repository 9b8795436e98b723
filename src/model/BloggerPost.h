#pragma once

#include "model/PostEnumerations.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// One blog post as every layer exchanges it. A value: copies are independent.
class BloggerPost
{
public:
    BloggerPost();
    BloggerPost(QString blogId, QString postId, std::optional<QDateTime> publishDate,
                std::optional<QDateTime> updatedDate, QString title, QString content, QString contentPreview,
                QStringList labels, std::int64_t commentsCount, QString url, PostStatus postStatus,
                QString offlineForPostWithId);

    // A new post with every field of `post` but not its row id: the copy is not stored yet.
    static BloggerPost initWithPost(const BloggerPost& post);

    PostArea area() const;
    bool isOnBlogger() const;
    QString toString() const;

    bool operator==(const BloggerPost&) const = default;

    std::int64_t internalId;
    QString blogId;
    QString postId;
    std::optional<QDateTime> publishDate;
    std::optional<QDateTime> updatedDate;
    QString title;
    QString content;
    QString contentPreview;
    QStringList labels;
    std::int64_t commentsCount;
    QString url;
    PostStatus postStatus;
    QString offlineForPostWithId;
};

// Every member moves by its bytes (Qt's shared types, integers, an optional of QDateTime): a list of
// 10,000 posts grows by reallocating its block instead of moving each post.
Q_DECLARE_TYPEINFO(BloggerPost, Q_RELOCATABLE_TYPE);

// How dates print in the toString descriptions: the instant in UTC, or "nil".
QString describeOptionalDate(const std::optional<QDateTime>& date);

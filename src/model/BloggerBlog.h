#pragma once

#include <QString>

class BloggerBlog
{
public:
    BloggerBlog();
    BloggerBlog(QString blogId, QString userId, QString blogName, QString blogUrl, QString blogStatus);

    QString toString() const;
    bool operator==(const BloggerBlog&) const = default;

    QString blogId;
    QString userId;
    QString blogName;
    QString blogUrl;
    QString blogStatus;
};

#pragma once

#include "model/BloggerBlog.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The BLOGS table: the blogs of every account, keyed by the service's blog id.
class BlogsSQLAccess
{
public:
    BlogsSQLAccess();
    explicit BlogsSQLAccess(SQLiteDB& db);

    std::optional<BloggerBlog> getBlog(const QString& blogId) const;
    QList<BloggerBlog> listBlogsForUser(const QString& userId) const;
    // True when it inserted; false when the id was stored already (that row is left as it was).
    bool addBlogIfNotExists(const BloggerBlog& blog) const;
    // Also rewrites the owning account.
    void updateBlog(const BloggerBlog& blog) const;
    void deleteBlog(const QString& blogId) const;

    static BloggerBlog blogFromRow(const SQLRow& row);

    SQLiteDB* db;
    const QString ADD_BLOG_SQL;
    const QString DELETE_BLOG_SQL;
    const QString UPDATE_BLOG_SQL;
    const QString GET_BLOGS_SQL;
    const QString GET_BLOG_SQL;
};

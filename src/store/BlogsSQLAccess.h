#pragma once

#include "model/BloggerBlog.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The BLOGS table: the blogs of every account, keyed by the service's blog id.
// Where an operation takes `ok`, *ok is false when the store failed: a failed read is never "absent".
class BlogsSQLAccess
{
    // The connection is the store's own: only its services open transactions on it.
    friend class UserBlogsLocalAccessAppService;
    SQLiteDB* db;

public:
    BlogsSQLAccess();
    explicit BlogsSQLAccess(SQLiteDB& db);

    std::optional<BloggerBlog> getBlog(const QString& blogId, bool* ok = nullptr) const;
    QList<BloggerBlog> listBlogsForUser(const QString& userId, bool* ok = nullptr) const;
    // True when it inserted; false when the id was stored already (that row is left as it was) or the
    // store failed (*ok false).
    bool addBlogIfNotExists(const BloggerBlog& blog, bool* ok = nullptr) const;
    // Also rewrites the owning account. False when the store failed.
    bool updateBlog(const BloggerBlog& blog) const;
    bool deleteBlog(const QString& blogId) const;

    static BloggerBlog blogFromRow(const SQLRow& row);

    const QString ADD_BLOG_SQL;
    const QString DELETE_BLOG_SQL;
    const QString UPDATE_BLOG_SQL;
    const QString GET_BLOGS_SQL;
    const QString GET_BLOG_SQL;
    const QString BLOG_EXISTS_SQL;
};

#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "store/BlogsSQLAccess.h"
#include "store/UsersSQLAccess.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The local store of accounts and their blogs, with the deletion cascades. Each change runs as one
// transaction: when it cannot begin, or a step fails, nothing of it is stored and the operation says so.
class UserBlogsLocalAccessAppService
{
public:
    UserBlogsLocalAccessAppService();
    explicit UserBlogsLocalAccessAppService(SQLiteDB& database);

    std::optional<BloggerUser> getUser(const QString& userId, bool* ok = nullptr) const;
    QList<BloggerUser> listUsers(bool* ok = nullptr) const;
    QList<BloggerBlog> listAllBlogsForUser(const QString& userId, bool* ok = nullptr) const;
    std::optional<BloggerBlog> getBlog(const QString& blogId, bool* ok = nullptr) const;
    // True when the record was new and inserted, false when the stored row was updated or nothing was
    // stored (*ok false).
    bool addOrUpdateUser(const BloggerUser& user, bool* ok = nullptr) const;
    bool addOrUpdateBlog(const BloggerBlog& blog, bool* ok = nullptr) const;
    // The account with its blogs, together, so the account never appears without them. False when nothing
    // was stored.
    bool addOrUpdateUserAndBlogs(const BloggerUser& user, const QList<BloggerBlog>& blogs) const;
    // With cascade also the blog's posts; their comments stay.
    bool deleteBlog(const QString& blogId, bool cascade) const;
    // With cascade also the account's blogs and their posts; comments and their authors stay.
    bool deleteUser(const QString& userId, bool cascade) const;

private:
    UsersSQLAccess usersDB;
    BlogsSQLAccess blogsDB;
};

#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "store/BlogsSQLAccess.h"
#include "store/UsersSQLAccess.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The local store of accounts and their blogs, with the deletion cascades.
class UserBlogsLocalAccessAppService
{
public:
    UserBlogsLocalAccessAppService();
    explicit UserBlogsLocalAccessAppService(SQLiteDB& database);

    std::optional<BloggerUser> getUser(const QString& userId) const;
    QList<BloggerUser> listUsers() const;
    QList<BloggerBlog> listAllBlogsForUser(const QString& userId) const;
    // True when the record was new and inserted, false when the stored row was updated.
    bool addOrUpdateUser(const BloggerUser& user) const;
    bool addOrUpdateBlog(const BloggerBlog& blog) const;
    // With cascade also the blog's posts; their comments stay.
    void deleteBlog(const QString& blogId, bool cascade) const;
    // With cascade also the account's blogs and their posts; comments and their authors stay.
    void deleteUser(const QString& userId, bool cascade) const;

    UsersSQLAccess usersDB;
    BlogsSQLAccess blogsDB;
};

#include "UserBlogsLocalAccessAppService.h"

#include "store/PostsLocalAccessAppService.h"
#include "store/SQLiteDB.h"

UserBlogsLocalAccessAppService::UserBlogsLocalAccessAppService() : usersDB(), blogsDB() {}

UserBlogsLocalAccessAppService::UserBlogsLocalAccessAppService(SQLiteDB& database)
    : usersDB(database), blogsDB(database)
{
}

std::optional<BloggerUser> UserBlogsLocalAccessAppService::getUser(const QString& userId, bool* ok) const
{
    return usersDB.getUser(userId, ok);
}

QList<BloggerUser> UserBlogsLocalAccessAppService::listUsers(bool* ok) const
{
    return usersDB.listUsers(ok);
}

QList<BloggerBlog> UserBlogsLocalAccessAppService::listAllBlogsForUser(const QString& userId, bool* ok) const
{
    return blogsDB.listBlogsForUser(userId, ok);
}

std::optional<BloggerBlog> UserBlogsLocalAccessAppService::getBlog(const QString& blogId, bool* ok) const
{
    return blogsDB.getBlog(blogId, ok);
}

bool UserBlogsLocalAccessAppService::addOrUpdateUser(const BloggerUser& user, bool* ok) const
{
    bool added = false;
    const bool stored = usersDB.db->transaction([&] {
        bool read = false;
        added = usersDB.addUserIfNotExists(user, &read);
        return read && (added || usersDB.updateUser(user));
    });
    if (ok) {
        *ok = stored;
    }
    return stored && added;
}

bool UserBlogsLocalAccessAppService::addOrUpdateBlog(const BloggerBlog& blog, bool* ok) const
{
    bool added = false;
    const bool stored = blogsDB.db->transaction([&] {
        bool read = false;
        added = blogsDB.addBlogIfNotExists(blog, &read);
        return read && (added || blogsDB.updateBlog(blog));
    });
    if (ok) {
        *ok = stored;
    }
    return stored && added;
}

bool UserBlogsLocalAccessAppService::addOrUpdateUserAndBlogs(const BloggerUser& user,
                                                             const QList<BloggerBlog>& blogs) const
{
    return usersDB.db->transaction([&] {
        bool ok = false;
        addOrUpdateUser(user, &ok);
        for (qsizetype i = 0; ok && i < blogs.size(); ++i) {
            addOrUpdateBlog(blogs.at(i), &ok);
        }
        return ok;
    });
}

bool UserBlogsLocalAccessAppService::deleteBlog(const QString& blogId, bool cascade) const
{
    return blogsDB.db->transaction([&] {
        return blogsDB.deleteBlog(blogId) &&
               (!cascade ||
                PostsLocalAccessAppService(*blogsDB.db).deleteAllPostsForBlogWithoutCascade(blogId));
    });
}

bool UserBlogsLocalAccessAppService::deleteUser(const QString& userId, bool cascade) const
{
    return usersDB.db->transaction([&] {
        if (!usersDB.deleteUser(userId)) {
            return false;
        }
        if (!cascade) {
            return true;
        }
        bool read = false;
        const QList<BloggerBlog> blogs = listAllBlogsForUser(userId, &read);
        if (!read) {
            return false;
        }
        for (const BloggerBlog& blog : blogs) {
            if (!deleteBlog(blog.blogId, true)) {
                return false;
            }
        }
        return true;
    });
}

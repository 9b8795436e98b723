#include "UserBlogsLocalAccessAppService.h"

#include "store/PostsLocalAccessAppService.h"
#include "store/SQLiteDB.h"

UserBlogsLocalAccessAppService::UserBlogsLocalAccessAppService() : usersDB(), blogsDB() {}

UserBlogsLocalAccessAppService::UserBlogsLocalAccessAppService(SQLiteDB& database)
    : usersDB(database), blogsDB(database)
{
}

std::optional<BloggerUser> UserBlogsLocalAccessAppService::getUser(const QString& userId) const
{
    return usersDB.getUser(userId);
}

QList<BloggerUser> UserBlogsLocalAccessAppService::listUsers() const
{
    return usersDB.listUsers();
}

QList<BloggerBlog> UserBlogsLocalAccessAppService::listAllBlogsForUser(const QString& userId) const
{
    return blogsDB.listBlogsForUser(userId);
}

bool UserBlogsLocalAccessAppService::addOrUpdateUser(const BloggerUser& user) const
{
    bool added = false;
    usersDB.db->transaction([&] {
        added = usersDB.addUserIfNotExists(user);
        if (!added) {
            usersDB.updateUser(user);
        }
    });
    return added;
}

bool UserBlogsLocalAccessAppService::addOrUpdateBlog(const BloggerBlog& blog) const
{
    bool added = false;
    blogsDB.db->transaction([&] {
        added = blogsDB.addBlogIfNotExists(blog);
        if (!added) {
            blogsDB.updateBlog(blog);
        }
    });
    return added;
}

void UserBlogsLocalAccessAppService::deleteBlog(const QString& blogId, bool cascade) const
{
    blogsDB.db->transaction([&] {
        blogsDB.deleteBlog(blogId);
        if (cascade) {
            PostsLocalAccessAppService(*blogsDB.db).deleteAllPostsForBlogWithoutCascade(blogId);
        }
    });
}

void UserBlogsLocalAccessAppService::deleteUser(const QString& userId, bool cascade) const
{
    usersDB.db->transaction([&] {
        usersDB.deleteUser(userId);
        if (cascade) {
            for (const BloggerBlog& blog : listAllBlogsForUser(userId)) {
                deleteBlog(blog.blogId, true);
            }
        }
    });
}

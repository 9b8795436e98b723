#include "BlogsSQLAccess.h"

#include "store/SQLRowReader.h"
#include "store/SQLiteDB.h"
#include "store/StoreOutcome.h"

BlogsSQLAccess::BlogsSQLAccess() : BlogsSQLAccess(SQLiteDB::sharedInstance()) {}

BlogsSQLAccess::BlogsSQLAccess(SQLiteDB& db)
    : db(&db), ADD_BLOG_SQL(QStringLiteral("INSERT INTO BLOGS VALUES (NULL, ?, ?, ?, ?, ?)")),
      DELETE_BLOG_SQL(QStringLiteral("DELETE FROM BLOGS WHERE BlogId = ?")),
      UPDATE_BLOG_SQL(QStringLiteral(
          "UPDATE BLOGS SET BlogName = ?, UserId = ?, BlogUrl = ?, BlogStatus = ? WHERE BlogId = ?")),
      GET_BLOGS_SQL(QStringLiteral("SELECT * FROM BLOGS WHERE UserId = ?")),
      GET_BLOG_SQL(QStringLiteral("SELECT * FROM BLOGS WHERE BlogId = ?")),
      BLOG_EXISTS_SQL(QStringLiteral("SELECT 1 FROM BLOGS WHERE BlogId = ? LIMIT 1"))
{
}

BloggerBlog BlogsSQLAccess::blogFromRow(const SQLRow& row)
{
    BloggerBlog blog;
    if (const SQLColumn* column = row.find(QStringLiteral("BlogId"))) {
        blog.blogId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserId"))) {
        blog.userId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("BlogName"))) {
        blog.blogName = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("BlogUrl"))) {
        blog.blogUrl = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("BlogStatus"))) {
        blog.blogStatus = column->asString();
    }
    return blog;
}

std::optional<BloggerBlog> BlogsSQLAccess::getBlog(const QString& blogId, bool* ok) const
{
    std::optional<BloggerBlog> blog;
    const bool read = db->readRows(GET_BLOG_SQL, {blogId}, [&](const SQLRowReader& row) {
        blog = blogFromRow(row.row());
        return false;
    });
    report(ok, read);
    return read ? blog : std::nullopt;
}

QList<BloggerBlog> BlogsSQLAccess::listBlogsForUser(const QString& userId, bool* ok) const
{
    QList<BloggerBlog> blogs;
    for (const SQLRow& row : db->query(GET_BLOGS_SQL, {userId}, ok)) {
        blogs.append(blogFromRow(row));
    }
    return blogs;
}

bool BlogsSQLAccess::addBlogIfNotExists(const BloggerBlog& blog, bool* ok) const
{
    bool exists = false;
    const bool read = db->readRows(BLOG_EXISTS_SQL, {blog.blogId}, [&](const SQLRowReader&) {
        exists = true;
        return false;
    });
    if (!read || exists) {
        report(ok, read);
        return false;
    }
    bool written = false;
    db->query(ADD_BLOG_SQL, {blog.blogId, blog.userId, blog.blogName, blog.blogUrl, blog.blogStatus},
              &written);
    report(ok, written);
    return written;
}

bool BlogsSQLAccess::updateBlog(const BloggerBlog& blog) const
{
    bool written = false;
    db->query(UPDATE_BLOG_SQL, {blog.blogName, blog.userId, blog.blogUrl, blog.blogStatus, blog.blogId},
              &written);
    return written;
}

bool BlogsSQLAccess::deleteBlog(const QString& blogId) const
{
    bool written = false;
    db->query(DELETE_BLOG_SQL, {blogId}, &written);
    return written;
}

#include "BlogsSQLAccess.h"

#include "store/SQLiteDB.h"

BlogsSQLAccess::BlogsSQLAccess() : BlogsSQLAccess(SQLiteDB::sharedInstance()) {}

BlogsSQLAccess::BlogsSQLAccess(SQLiteDB& db)
    : db(&db), ADD_BLOG_SQL(QStringLiteral("INSERT INTO BLOGS VALUES (NULL, ?, ?, ?, ?, ?)")),
      DELETE_BLOG_SQL(QStringLiteral("DELETE FROM BLOGS WHERE BlogId = ?")),
      UPDATE_BLOG_SQL(QStringLiteral(
          "UPDATE BLOGS SET BlogName = ?, UserId = ?, BlogUrl = ?, BlogStatus = ? WHERE BlogId = ?")),
      GET_BLOGS_SQL(QStringLiteral("SELECT * FROM BLOGS WHERE UserId = ?")),
      GET_BLOG_SQL(QStringLiteral("SELECT * FROM BLOGS WHERE BlogId = ?"))
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

std::optional<BloggerBlog> BlogsSQLAccess::getBlog(const QString& blogId) const
{
    const QList<SQLRow> rows = db->query(GET_BLOG_SQL, {blogId});
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return blogFromRow(rows.first());
}

QList<BloggerBlog> BlogsSQLAccess::listBlogsForUser(const QString& userId) const
{
    QList<BloggerBlog> blogs;
    for (const SQLRow& row : db->query(GET_BLOGS_SQL, {userId})) {
        blogs.append(blogFromRow(row));
    }
    return blogs;
}

bool BlogsSQLAccess::addBlogIfNotExists(const BloggerBlog& blog) const
{
    if (getBlog(blog.blogId)) {
        return false;
    }
    db->query(ADD_BLOG_SQL, {blog.blogId, blog.userId, blog.blogName, blog.blogUrl, blog.blogStatus});
    return true;
}

void BlogsSQLAccess::updateBlog(const BloggerBlog& blog) const
{
    db->query(UPDATE_BLOG_SQL, {blog.blogName, blog.userId, blog.blogUrl, blog.blogStatus, blog.blogId});
}

void BlogsSQLAccess::deleteBlog(const QString& blogId) const
{
    db->query(DELETE_BLOG_SQL, {blogId});
}

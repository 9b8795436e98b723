#include "PostsSQLAccess.h"

#include "common/GoogleDateService.h"
#include "common/StringServices.h"
#include "model/PostAreaAndStatusConverter.h"
#include "store/SQLiteDB.h"

namespace {

QString dateText(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid()) {
        return QString("");
    }
    return GoogleDateService().isoDate(*date);
}

QString labelsText(const QStringList& labels)
{
    QString text("");
    for (const QString& label : labels) {
        text += label;
        text += QLatin1Char(',');
    }
    return text;
}

} // namespace

PostsSQLAccess::PostsSQLAccess() : PostsSQLAccess(SQLiteDB::sharedInstance()) {}

PostsSQLAccess::PostsSQLAccess(SQLiteDB& db)
    : db(&db),
      ADD_POST_SQL(QStringLiteral("INSERT INTO POSTS VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")),
      UPDATE_POST_SQL(QStringLiteral("UPDATE POSTS SET PublishDate = ?, UpdatedDate = ?, Title = ?, Content "
                                     "= ?, ContentPreview = ?, Labels = "
                                     "?, CommentsCount = ?, PostUrl = ?, PostStatus = ?, PostArea = ?,  "
                                     "OfflineForPostWithId = ? WHERE PostId "
                                     "= ?")),
      UPDATE_POST_STATUS_SQL(QStringLiteral("UPDATE POSTS SET PostStatus = ?, PostArea = ? WHERE Id = ?")),
      GET_POST_SQL(QStringLiteral("SELECT * FROM POSTS WHERE PostId = ?")),
      GET_OFFLINE_POST_SQL(QStringLiteral("SELECT * FROM POSTS WHERE OfflineForPostWithId = ?")),
      GET_POST_ID_SQL(QStringLiteral("SELECT * FROM POSTS WHERE Id = ?")),
      // The filter value is bound; only the enumerations' raw values are put into the text.
      GET_POSTS_SQL(QStringLiteral(
          "SELECT * FROM POSTS WHERE BlogId = ? AND {FILTER_BY} = ? ORDER BY {ORDER_BY} {ORDER}")),
      GET_ALL_POSTS_SQL(QStringLiteral("SELECT * FROM POSTS WHERE BlogId = ?")),
      DELETE_POST_SQL(QStringLiteral("DELETE FROM POSTS WHERE PostId = ?")),
      DELETE_POST_ID_SQL(QStringLiteral("DELETE FROM POSTS WHERE Id = ?"))
{
}

std::optional<BloggerPost> PostsSQLAccess::firstPost(const QList<SQLRow>& rows) const
{
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return blogPostFromRow(rows.first());
}

std::optional<BloggerPost> PostsSQLAccess::getBlogPost(const QString& postId) const
{
    return firstPost(db->query(GET_POST_SQL, {postId}));
}

std::optional<BloggerPost> PostsSQLAccess::getOfflineBlogPost(const QString& postId) const
{
    return firstPost(db->query(GET_OFFLINE_POST_SQL, {postId}));
}

std::optional<BloggerPost> PostsSQLAccess::getBlogPostById(std::int64_t id) const
{
    return firstPost(db->query(GET_POST_ID_SQL, {QVariant::fromValue<qint64>(id)}));
}

QList<BloggerPost> PostsSQLAccess::listBlogPosts(const QString& blogId, PostSortOptions sort,
                                                 PostSortOrderOptions order, PostFilterOptions filter,
                                                 const QString& filterText) const
{
    QString sql = GET_POSTS_SQL;
    sql.replace(QStringLiteral("{ORDER_BY}"), rawValue(sort));
    sql.replace(QStringLiteral("{ORDER}"), rawValue(order));
    sql.replace(QStringLiteral("{FILTER_BY}"), rawValue(filter));
    const QList<SQLRow> rows = db->query(sql, {blogId, filterText});
    QList<BloggerPost> posts;
    posts.reserve(rows.size());
    for (const SQLRow& row : rows) {
        posts.append(blogPostFromRow(row));
    }
    return posts;
}

QList<BloggerPost> PostsSQLAccess::listAllBlogPosts(const QString& blogId) const
{
    const QList<SQLRow> rows = db->query(GET_ALL_POSTS_SQL, {blogId});
    QList<BloggerPost> posts;
    posts.reserve(rows.size());
    for (const SQLRow& row : rows) {
        posts.append(blogPostFromRow(row));
    }
    return posts;
}

bool PostsSQLAccess::addBlogPostIfNotExists(const BloggerPost& post) const
{
    if (getBlogPost(post.postId)) {
        return false;
    }
    db->query(ADD_POST_SQL,
              {post.blogId, post.postId, dateText(post.publishDate), dateText(post.updatedDate), post.title,
               post.content, StringServices().postPreview(post.content), labelsText(post.labels),
               QVariant::fromValue<qint64>(post.commentsCount), post.url, rawValue(post.postStatus),
               rawValue(post.area()), post.offlineForPostWithId});
    return true;
}

void PostsSQLAccess::updateBlogPost(const BloggerPost& post) const
{
    db->query(UPDATE_POST_SQL,
              {dateText(post.publishDate), dateText(post.updatedDate), post.title, post.content,
               StringServices().postPreview(post.content), labelsText(post.labels),
               QVariant::fromValue<qint64>(post.commentsCount), post.url, rawValue(post.postStatus),
               rawValue(post.area()), post.offlineForPostWithId, post.postId});
}

void PostsSQLAccess::updateBlogPostStatus(std::int64_t id, PostStatus status) const
{
    const PostArea area = PostAreaAndStatusConverter().areaForStatus(status);
    db->query(UPDATE_POST_STATUS_SQL, {rawValue(status), rawValue(area), QVariant::fromValue<qint64>(id)});
}

void PostsSQLAccess::deleteBlogPost(const QString& postId) const
{
    db->query(DELETE_POST_SQL, {postId});
}

void PostsSQLAccess::deleteBlogPostById(std::int64_t id) const
{
    db->query(DELETE_POST_ID_SQL, {QVariant::fromValue<qint64>(id)});
}

BloggerPost PostsSQLAccess::blogPostFromRow(const SQLRow& row) const
{
    BloggerPost post;
    const GoogleDateService dates;
    if (const SQLColumn* column = row.find(QStringLiteral("Id"))) {
        post.internalId = column->asInt();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("BlogId"))) {
        post.blogId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PostId"))) {
        post.postId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PublishDate"))) {
        post.publishDate = dates.parseDate(column->asString());
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UpdatedDate"))) {
        post.updatedDate = dates.parseDate(column->asString());
    }
    if (const SQLColumn* column = row.find(QStringLiteral("Title"))) {
        post.title = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("Content"))) {
        post.content = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("ContentPreview"))) {
        post.contentPreview = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("Labels"))) {
        post.labels = column->asString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    if (const SQLColumn* column = row.find(QStringLiteral("CommentsCount"))) {
        post.commentsCount = column->asInt();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PostUrl"))) {
        post.url = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("OfflineForPostWithId"))) {
        post.offlineForPostWithId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PostStatus"))) {
        post.postStatus = PostAreaAndStatusConverter().statusFromString(column->asString());
    }
    return post;
}

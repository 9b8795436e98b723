#include "CommentsSQLAccess.h"

#include "common/GoogleDateService.h"
#include "store/SQLiteDB.h"

namespace {

QString dateText(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid()) {
        return QString("");
    }
    return GoogleDateService().isoDate(*date);
}

} // namespace

CommentsSQLAccess::CommentsSQLAccess() : CommentsSQLAccess(SQLiteDB::sharedInstance()) {}

CommentsSQLAccess::CommentsSQLAccess(SQLiteDB& db)
    : db(&db), ADD_COMMENT_SQL(QStringLiteral("INSERT INTO COMMENTS VALUES (NULL, ?, ?, ?, ?, ?, ?, ?)")),
      UPDATE_COMMENT_SQL(QStringLiteral(
          "UPDATE COMMENTS SET PublishDate = ?, Content = ?, SentimentScore = ? WHERE CommentId = ?")),
      GET_COMMENTS_SQL(
          QStringLiteral("SELECT * FROM COMMENTS LEFT JOIN USERS ON COMMENTS.AuthorId = USERS.UserId "
                         "WHERE COMMENTS.PostId = ? ORDER BY PublishDate DESC")),
      GET_COMMENT_SQL(QStringLiteral(
          "SELECT * FROM COMMENTS LEFT JOIN USERS ON COMMENTS.AuthorId = USERS.UserId WHERE CommentId = ?")),
      DELETE_COMMENT_SQL(QStringLiteral("DELETE FROM COMMENTS WHERE CommentId = ?"))
{
}

BloggerPostComment CommentsSQLAccess::commentFromRow(const SQLRow& row)
{
    BloggerPostComment comment;
    comment.author = BloggerUser();
    if (const SQLColumn* column = row.find(QStringLiteral("BlogId"))) {
        comment.blogId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PostId"))) {
        comment.postId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("CommentId"))) {
        comment.commentId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("PublishDate"))) {
        comment.publishDate = GoogleDateService().parseDate(column->asString());
    }
    if (const SQLColumn* column = row.find(QStringLiteral("Content"))) {
        comment.content = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserId"))) {
        comment.author.userId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserName"))) {
        comment.author.userName = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserLink"))) {
        comment.author.userLink = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserPicture"))) {
        comment.author.userPicture = column->asString();
    }
    return comment;
}

std::optional<BloggerPostComment> CommentsSQLAccess::getPostComment(const QString& commentId) const
{
    const QList<SQLRow> rows = db->query(GET_COMMENT_SQL, {commentId});
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return commentFromRow(rows.first());
}

QList<BloggerPostComment> CommentsSQLAccess::listPostComments(const QString& postId) const
{
    const QList<SQLRow> rows = db->query(GET_COMMENTS_SQL, {postId});
    QList<BloggerPostComment> comments;
    comments.reserve(rows.size());
    for (const SQLRow& row : rows) {
        comments.append(commentFromRow(row));
    }
    return comments;
}

bool CommentsSQLAccess::addPostCommentIfNotExists(const BloggerPostComment& comment) const
{
    if (getPostComment(comment.commentId)) {
        return false;
    }
    // A new row's score is always 0, whatever the record holds.
    db->query(ADD_COMMENT_SQL,
              {comment.blogId, comment.postId, comment.commentId, comment.author.userId,
               dateText(comment.publishDate), comment.content, QVariant::fromValue<qint64>(0)});
    return true;
}

void CommentsSQLAccess::updatePostComment(const BloggerPostComment& comment) const
{
    db->query(UPDATE_COMMENT_SQL, {dateText(comment.publishDate), comment.content,
                                   QVariant::fromValue<qint64>(comment.sentimentScore), comment.commentId});
}

void CommentsSQLAccess::deletePostComment(const QString& commentId) const
{
    db->query(DELETE_COMMENT_SQL, {commentId});
}

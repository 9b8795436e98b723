#include "CommentsSQLAccess.h"

#include "common/GoogleDateService.h"
#include "store/SQLRowReader.h"
#include "store/SQLiteDB.h"
#include "store/StoreOutcome.h"

#include <array>

namespace {

QString commentDateText(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid()) {
        return QString("");
    }
    return GoogleDateService().isoDate(*date);
}

enum CommentColumn
{
    CommentBlogIdColumn,
    CommentPostIdColumn,
    CommentCommentIdColumn,
    CommentPublishDateColumn,
    CommentContentColumn,
    CommentUserIdColumn,
    CommentUserNameColumn,
    CommentUserLinkColumn,
    CommentUserPictureColumn,
    CommentColumnCount
};

const std::array<QString, CommentColumnCount>& commentColumnNames()
{
    static const std::array<QString, CommentColumnCount> names{
        QStringLiteral("BlogId"),      QStringLiteral("PostId"),   QStringLiteral("CommentId"),
        QStringLiteral("PublishDate"), QStringLiteral("Content"),  QStringLiteral("UserId"),
        QStringLiteral("UserName"),    QStringLiteral("UserLink"), QStringLiteral("UserPicture")};
    return names;
}

// One mapping from columns to a comment, whether they come from an SQLRow or straight from the statement:
// text(column) gives what asString() gives, none for an absent column.
template <typename Text> BloggerPostComment commentFromColumns(const Text& text)
{
    BloggerPostComment comment;
    comment.author = BloggerUser();
    if (std::optional<QString> value = text(CommentBlogIdColumn)) {
        comment.blogId = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentPostIdColumn)) {
        comment.postId = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentCommentIdColumn)) {
        comment.commentId = std::move(*value);
    }
    if (const std::optional<QString> value = text(CommentPublishDateColumn)) {
        comment.publishDate = GoogleDateService().parseDate(*value);
    }
    if (std::optional<QString> value = text(CommentContentColumn)) {
        comment.content = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentUserIdColumn)) {
        comment.author.userId = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentUserNameColumn)) {
        comment.author.userName = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentUserLinkColumn)) {
        comment.author.userLink = std::move(*value);
    }
    if (std::optional<QString> value = text(CommentUserPictureColumn)) {
        comment.author.userPicture = std::move(*value);
    }
    return comment;
}

// Reads comments off a statement; the columns are looked up by name once, on the first row.
class CommentReader
{
public:
    BloggerPostComment read(const SQLRowReader& reader)
    {
        if (!m_resolved) {
            for (int column = 0; column < CommentColumnCount; ++column) {
                m_fields[column] = reader.field(commentColumnNames()[column]);
            }
            m_resolved = true;
        }
        return commentFromColumns([&](CommentColumn column) { return reader.string(m_fields[column]); });
    }

private:
    std::array<SQLRowReader::Field, CommentColumnCount> m_fields;
    bool m_resolved = false;
};

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
      DELETE_COMMENT_SQL(QStringLiteral("DELETE FROM COMMENTS WHERE CommentId = ?")),
      COMMENT_EXISTS_SQL(QStringLiteral("SELECT 1 FROM COMMENTS WHERE CommentId = ? LIMIT 1"))
{
}

BloggerPostComment CommentsSQLAccess::commentFromRow(const SQLRow& row)
{
    const auto& names = commentColumnNames();
    return commentFromColumns([&](CommentColumn column) -> std::optional<QString> {
        const SQLColumn* value = row.find(names[column]);
        return value ? std::optional<QString>(value->asString()) : std::nullopt;
    });
}

std::optional<BloggerPostComment> CommentsSQLAccess::getPostComment(const QString& commentId, bool* ok) const
{
    std::optional<BloggerPostComment> comment;
    CommentReader reader;
    const bool read = db->readRows(GET_COMMENT_SQL, {commentId}, [&](const SQLRowReader& row) {
        comment = reader.read(row);
        return false;
    });
    report(ok, read);
    return read ? comment : std::nullopt;
}

QList<BloggerPostComment> CommentsSQLAccess::listPostComments(const QString& postId, bool* ok) const
{
    QList<BloggerPostComment> comments;
    CommentReader reader;
    const bool read = db->readRows(GET_COMMENTS_SQL, {postId}, [&](const SQLRowReader& row) {
        comments.append(reader.read(row));
        return true;
    });
    report(ok, read);
    return comments;
}

bool CommentsSQLAccess::addPostCommentIfNotExists(const BloggerPostComment& comment, bool* ok) const
{
    bool exists = false;
    const bool read = db->readRows(COMMENT_EXISTS_SQL, {comment.commentId}, [&](const SQLRowReader&) {
        exists = true;
        return false;
    });
    if (!read || exists) {
        report(ok, read);
        return false;
    }
    // A new row's score is always 0, whatever the record holds.
    bool written = false;
    db->query(ADD_COMMENT_SQL,
              {comment.blogId, comment.postId, comment.commentId, comment.author.userId,
               commentDateText(comment.publishDate), comment.content, QVariant::fromValue<qint64>(0)},
              &written);
    report(ok, written);
    return written;
}

bool CommentsSQLAccess::updatePostComment(const BloggerPostComment& comment) const
{
    bool written = false;
    db->query(UPDATE_COMMENT_SQL,
              {commentDateText(comment.publishDate), comment.content,
               QVariant::fromValue<qint64>(comment.sentimentScore), comment.commentId},
              &written);
    return written;
}

bool CommentsSQLAccess::deletePostComment(const QString& commentId) const
{
    bool written = false;
    db->query(DELETE_COMMENT_SQL, {commentId}, &written);
    return written;
}

#pragma once

#include "model/BloggerPostComment.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The COMMENTS table, read joined with the authors in USERS.
// Where an operation takes `ok`, *ok is false when the store failed: a failed read is never "absent".
class CommentsSQLAccess
{
    // The connection is the store's own: only its services open transactions on it.
    friend class CommentsLocalAccessAppService;
    SQLiteDB* db;

public:
    CommentsSQLAccess();
    explicit CommentsSQLAccess(SQLiteDB& db);

    std::optional<BloggerPostComment> getPostComment(const QString& commentId, bool* ok = nullptr) const;
    // Newest first by the stored date text; comments without a date last.
    QList<BloggerPostComment> listPostComments(const QString& postId, bool* ok = nullptr) const;
    // True when it inserted; false when the id was stored already or the store failed (*ok false).
    // The author is not stored here.
    bool addPostCommentIfNotExists(const BloggerPostComment& comment, bool* ok = nullptr) const;
    // Date, content and score only. False when the store failed.
    bool updatePostComment(const BloggerPostComment& comment) const;
    bool deletePostComment(const QString& commentId) const;

    static BloggerPostComment commentFromRow(const SQLRow& row);

    const QString ADD_COMMENT_SQL;
    const QString UPDATE_COMMENT_SQL;
    const QString GET_COMMENTS_SQL;
    const QString GET_COMMENT_SQL;
    const QString DELETE_COMMENT_SQL;
    const QString COMMENT_EXISTS_SQL;
};

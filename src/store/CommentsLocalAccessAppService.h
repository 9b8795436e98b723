#pragma once

#include "model/BloggerPostComment.h"
#include "store/CommentsSQLAccess.h"
#include "store/UsersSQLAccess.h"

#include <QList>
#include <QString>

class SQLiteDB;

// The local store of post comments; their authors are kept in the users table. Each change runs as one
// transaction: when it cannot begin, or a step fails, nothing of it is stored and the operation says so.
class CommentsLocalAccessAppService
{
public:
    CommentsLocalAccessAppService();
    explicit CommentsLocalAccessAppService(SQLiteDB& database);

    QList<BloggerPostComment> listAllCommentsForPost(const QString& postId, bool* ok = nullptr) const;
    // Stores the author when absent (a stored author is never changed here), then the comment.
    // True when the comment was new and inserted, false when the stored one was updated or nothing was
    // stored (*ok false).
    bool addOrUpdatePostComment(const BloggerPostComment& comment, bool* ok = nullptr) const;
    bool deletePostComment(const QString& commentId) const;
    // Authors stay.
    bool deleteAllCommentsForPostWithoutCascade(const QString& postId) const;

    CommentsSQLAccess db;
    UsersSQLAccess userDb;
};

#pragma once

#include "model/BloggerPostComment.h"
#include "store/CommentsSQLAccess.h"
#include "store/UsersSQLAccess.h"

#include <QList>
#include <QString>

class SQLiteDB;

// The local store of post comments; their authors are kept in the users table.
class CommentsLocalAccessAppService
{
public:
    CommentsLocalAccessAppService();
    explicit CommentsLocalAccessAppService(SQLiteDB& database);

    QList<BloggerPostComment> listAllCommentsForPost(const QString& postId) const;
    // Stores the author when absent (a stored author is never changed here), then the comment.
    // True when the comment was new and inserted, false when the stored one was updated.
    bool addOrUpdatePostComment(const BloggerPostComment& comment) const;
    void deletePostComment(const QString& commentId) const;
    // Authors stay.
    void deleteAllCommentsForPostWithoutCascade(const QString& postId) const;

    CommentsSQLAccess db;
    UsersSQLAccess userDb;
};

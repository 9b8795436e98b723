#pragma once

#include "model/BloggerPostComment.h"
#include "store/CommentsSQLAccess.h"
#include "store/UsersSQLAccess.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The local store of post comments; their authors are kept in the users table. Each change runs as one
// transaction: when it cannot begin, or a step fails, nothing of it is stored and the operation says so.
class CommentsLocalAccessAppService
{
public:
    CommentsLocalAccessAppService();
    explicit CommentsLocalAccessAppService(SQLiteDB& database);

    std::optional<BloggerPostComment> getPostComment(const QString& commentId, bool* ok = nullptr) const;
    QList<BloggerPostComment> listAllCommentsForPost(const QString& postId, bool* ok = nullptr) const;
    // Stores the author when absent (a stored author is never changed here), then the comment.
    // True when the comment was new and inserted, false when the stored one was updated or nothing was
    // stored (*ok false).
    bool addOrUpdatePostComment(const BloggerPostComment& comment, bool* ok = nullptr) const;
    bool deletePostComment(const QString& commentId) const;
    // Authors stay.
    bool deleteAllCommentsForPostWithoutCascade(const QString& postId) const;

    // The operations below store comments as Blogger lists them, each author without an id (an anonymous
    // comment) under one made from its comment's id, so that anonymous authors are never merged into one
    // user row; and they keep the comment count of the post's published row in step. Each is one
    // transaction; false when nothing was stored.

    // A post's listed comments. With removeOthers (the listing reached the post's last comment) stored
    // comments that are not listed go, and the count becomes the number listed.
    bool storeListedComments(const QString& postId, const QList<BloggerPostComment>& comments,
                             bool removeOthers) const;
    // A comment added on Blogger; counted when it is new here.
    bool storeAddedComment(const BloggerPostComment& comment) const;
    // A comment deleted on Blogger, with its author when that was stored under the comment's own id; the
    // count of countedPostId goes down with it when one is given and the comment was stored.
    bool removeComment(const QString& commentId, const QString& countedPostId) const;

private:
    static BloggerPostComment withStorableAuthor(const BloggerPostComment& comment);
    static bool isOwnAuthorId(const QString& userId);

    CommentsSQLAccess db;
    UsersSQLAccess userDb;
};

#include "CommentsLocalAccessAppService.h"

#include "store/SQLiteDB.h"

CommentsLocalAccessAppService::CommentsLocalAccessAppService() : db(), userDb() {}

CommentsLocalAccessAppService::CommentsLocalAccessAppService(SQLiteDB& database)
    : db(database), userDb(database)
{
}

QList<BloggerPostComment> CommentsLocalAccessAppService::listAllCommentsForPost(const QString& postId) const
{
    return db.listPostComments(postId);
}

bool CommentsLocalAccessAppService::addOrUpdatePostComment(const BloggerPostComment& comment) const
{
    bool added = false;
    db.db->transaction([&] {
        userDb.addUserIfNotExists(comment.author);
        added = db.addPostCommentIfNotExists(comment);
        if (!added) {
            db.updatePostComment(comment);
        }
    });
    return added;
}

void CommentsLocalAccessAppService::deletePostComment(const QString& commentId) const
{
    db.deletePostComment(commentId);
}

void CommentsLocalAccessAppService::deleteAllCommentsForPostWithoutCascade(const QString& postId) const
{
    db.db->transaction([&] {
        for (const BloggerPostComment& comment : db.listPostComments(postId)) {
            db.deletePostComment(comment.commentId);
        }
    });
}

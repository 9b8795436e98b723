#include "CommentsLocalAccessAppService.h"

#include "store/SQLiteDB.h"

CommentsLocalAccessAppService::CommentsLocalAccessAppService() : db(), userDb() {}

CommentsLocalAccessAppService::CommentsLocalAccessAppService(SQLiteDB& database)
    : db(database), userDb(database)
{
}

QList<BloggerPostComment> CommentsLocalAccessAppService::listAllCommentsForPost(const QString& postId,
                                                                                bool* ok) const
{
    return db.listPostComments(postId, ok);
}

bool CommentsLocalAccessAppService::addOrUpdatePostComment(const BloggerPostComment& comment, bool* ok) const
{
    bool added = false;
    const bool stored = db.db->transaction([&] {
        bool authorStored = false;
        userDb.addUserIfNotExists(comment.author, &authorStored);
        if (!authorStored) {
            return false;
        }
        bool read = false;
        added = db.addPostCommentIfNotExists(comment, &read);
        return read && (added || db.updatePostComment(comment));
    });
    if (ok) {
        *ok = stored;
    }
    return stored && added;
}

bool CommentsLocalAccessAppService::deletePostComment(const QString& commentId) const
{
    return db.deletePostComment(commentId);
}

bool CommentsLocalAccessAppService::deleteAllCommentsForPostWithoutCascade(const QString& postId) const
{
    return db.db->transaction([&] {
        bool read = false;
        const QList<BloggerPostComment> comments = db.listPostComments(postId, &read);
        if (!read) {
            return false;
        }
        for (const BloggerPostComment& comment : comments) {
            if (!db.deletePostComment(comment.commentId)) {
                return false;
            }
        }
        return true;
    });
}

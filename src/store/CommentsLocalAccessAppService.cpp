#include "CommentsLocalAccessAppService.h"

#include "store/PostsSQLAccess.h"
#include "store/SQLiteDB.h"

#include <QSet>

namespace {

const QString OwnAuthorIdPrefix = QStringLiteral("comment-author-");

} // namespace

CommentsLocalAccessAppService::CommentsLocalAccessAppService() : db(), userDb() {}

CommentsLocalAccessAppService::CommentsLocalAccessAppService(SQLiteDB& database)
    : db(database), userDb(database)
{
}

std::optional<BloggerPostComment> CommentsLocalAccessAppService::getPostComment(const QString& commentId,
                                                                                bool* ok) const
{
    return db.getPostComment(commentId, ok);
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

BloggerPostComment CommentsLocalAccessAppService::withStorableAuthor(const BloggerPostComment& comment)
{
    BloggerPostComment storable = comment;
    if (storable.author.userId.isEmpty() && !storable.commentId.isEmpty()) {
        storable.author.userId = OwnAuthorIdPrefix + storable.commentId;
    }
    return storable;
}

bool CommentsLocalAccessAppService::isOwnAuthorId(const QString& userId)
{
    return userId.startsWith(OwnAuthorIdPrefix);
}

bool CommentsLocalAccessAppService::storeListedComments(const QString& postId,
                                                        const QList<BloggerPostComment>& comments,
                                                        bool removeOthers) const
{
    return db.db->transaction([&] {
        QSet<QString> listed;
        int elsewhere = 0;
        for (const BloggerPostComment& comment : comments) {
            // A comment id names one comment: a listing that names another post's comment, or a comment of
            // another post, must not move it, rewrite it or count it here.
            bool read = false;
            const std::optional<BloggerPostComment> stored = db.getPostComment(comment.commentId, &read);
            if (!read) {
                return false;
            }
            if (comment.postId != postId || (stored && stored->postId != postId)) {
                ++elsewhere;
                continue;
            }
            listed.insert(comment.commentId);
            bool ok = false;
            addOrUpdatePostComment(withStorableAuthor(comment), &ok);
            if (!ok) {
                return false;
            }
        }
        if (elsewhere > 0) {
            qInfo("CommentsLocalAccessAppService - %d comment(s) not stored: they belong to another post",
                  elsewhere);
        }
        if (!removeOthers) {
            return true;
        }
        bool read = false;
        const QList<BloggerPostComment> stored = listAllCommentsForPost(postId, &read);
        if (!read) {
            return false;
        }
        for (const BloggerPostComment& comment : stored) {
            if (!listed.contains(comment.commentId) && !removeComment(comment.commentId, QString())) {
                return false;
            }
        }
        return PostsSQLAccess(*db.db).setCommentsCount(postId, listed.size());
    });
}

bool CommentsLocalAccessAppService::storeAddedComment(const BloggerPostComment& comment) const
{
    return db.db->transaction([&] {
        bool ok = false;
        const bool inserted = addOrUpdatePostComment(withStorableAuthor(comment), &ok);
        return ok && (!inserted || PostsSQLAccess(*db.db).addToCommentsCount(comment.postId, 1));
    });
}

bool CommentsLocalAccessAppService::removeComment(const QString& commentId,
                                                  const QString& countedPostId) const
{
    return db.db->transaction([&] {
        bool read = false;
        const std::optional<BloggerPostComment> stored = db.getPostComment(commentId, &read);
        if (!read || !db.deletePostComment(commentId)) {
            return false;
        }
        if (stored && !countedPostId.isEmpty() &&
            !PostsSQLAccess(*db.db).addToCommentsCount(countedPostId, -1)) {
            return false;
        }
        return !stored || !isOwnAuthorId(stored->author.userId) || userDb.deleteUser(stored->author.userId);
    });
}

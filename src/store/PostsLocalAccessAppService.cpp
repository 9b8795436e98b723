#include "PostsLocalAccessAppService.h"

#include "store/CommentsLocalAccessAppService.h"
#include "store/SQLiteDB.h"

#include <QHash>
#include <QSet>

PostsLocalAccessAppService::PostsLocalAccessAppService() : db() {}

PostsLocalAccessAppService::PostsLocalAccessAppService(SQLiteDB& database) : db(database) {}

QList<BloggerPost>
PostsLocalAccessAppService::listFilteredPostsForBlog(const QString& blogId, PostSortOptions sort,
                                                     PostSortOrderOptions order, PostFilterOptions filter,
                                                     const QString& filterText, bool* ok) const
{
    return db.listBlogPosts(blogId, sort, order, filter, filterText, ok);
}

QList<BloggerPost> PostsLocalAccessAppService::listPostRowsForBlog(const QString& blogId,
                                                                   PostSortOptions sort,
                                                                   PostSortOrderOptions order,
                                                                   PostFilterOptions filter,
                                                                   const QString& filterText, bool* ok) const
{
    return db.listBlogPostRows(blogId, sort, order, filter, filterText, ok);
}

QList<BloggerPost> PostsLocalAccessAppService::updatePostRows(const QList<BloggerPost>& listed,
                                                              const QStringList& changedPostIds,
                                                              const QString& blogId, PostSortOptions sort,
                                                              PostSortOrderOptions order,
                                                              PostFilterOptions filter,
                                                              const QString& filterText, bool* ok) const
{
    QList<BloggerPost> result;
    // One transaction: the order and the rows are read from the same state of the table.
    const bool read = db.db->transaction([&] {
        bool step = false;
        const QList<std::int64_t> ids = db.listBlogPostRowIds(blogId, sort, order, filter, filterText, &step);
        if (!step) {
            return false;
        }
        // Where each unchanged row of the earlier listing is; the changed posts' rows are read again.
        const QSet<QString> changed(changedPostIds.cbegin(), changedPostIds.cend());
        QHash<std::int64_t, qsizetype> kept;
        kept.reserve(listed.size());
        for (qsizetype i = 0; i < listed.size(); ++i) {
            if (!changed.contains(listed[i].postId)) {
                kept.insert(listed[i].internalId, i);
            }
        }
        QHash<std::int64_t, BloggerPost> reread;
        for (const QString& postId : changed) {
            for (const BloggerPost& post : db.getBlogPostRows(postId, &step)) {
                reread.insert(post.internalId, post);
            }
            if (!step) {
                return false;
            }
        }
        result.reserve(ids.size());
        for (const std::int64_t id : ids) {
            if (const auto found = reread.constFind(id); found != reread.cend()) {
                result.append(*found);
            } else if (const auto at = kept.constFind(id); at != kept.cend()) {
                result.append(listed[*at]);
            } else {
                const std::optional<BloggerPost> post = db.getBlogPostRowById(id, &step);
                if (!step) {
                    return false;
                }
                if (post) {
                    result.append(*post);
                }
            }
        }
        return true;
    });
    if (ok) {
        *ok = read;
    }
    return read ? result : QList<BloggerPost>();
}

QList<BloggerPost> PostsLocalAccessAppService::listAllPostsforBlog(const QString& blogId, bool* ok) const
{
    return db.listAllBlogPosts(blogId, ok);
}

std::optional<BloggerPost> PostsLocalAccessAppService::getPost(const QString& postId, bool* ok) const
{
    return db.getBlogPost(postId, ok);
}

std::optional<BloggerPost> PostsLocalAccessAppService::getOfflinePostForPost(const QString& postId,
                                                                             bool* ok) const
{
    return db.getOfflineBlogPost(postId, ok);
}

bool PostsLocalAccessAppService::addOrUpdatePost(const BloggerPost& post, bool* ok) const
{
    // One transaction: two callers storing the same new post cannot both insert it.
    bool added = false;
    const bool stored = db.db->transaction([&] {
        bool read = false;
        added = db.addBlogPostIfNotExists(post, &read);
        return read && (added || db.updateBlogPost(post));
    });
    if (ok) {
        *ok = stored;
    }
    return stored && added;
}

QList<bool> PostsLocalAccessAppService::addOrUpdatePosts(const QList<BloggerPost>& posts, bool* ok) const
{
    QList<bool> answers;
    answers.reserve(posts.size());
    const bool stored = db.db->transaction([&] {
        for (const BloggerPost& post : posts) {
            bool postStored = false;
            answers.append(addOrUpdatePost(post, &postStored));
            if (!postStored) {
                return false;
            }
        }
        return true;
    });
    if (ok) {
        *ok = stored;
    }
    return stored ? answers : QList<bool>();
}

bool PostsLocalAccessAppService::updatePostStatus(const QString& postId, PostStatus status) const
{
    // Only status and area change: the stored texts of the row are not written again.
    return db.db->transaction([&] {
        bool read = false;
        const std::optional<std::int64_t> id = db.firstRowIdOfPost(postId, &read);
        return read && (!id || db.updateBlogPostStatus(*id, status));
    });
}

bool PostsLocalAccessAppService::deleteBlogPost(const QString& postId, bool cascade) const
{
    return db.db->transaction([&] {
        return db.deleteBlogPost(postId) &&
               (!cascade ||
                CommentsLocalAccessAppService(*db.db).deleteAllCommentsForPostWithoutCascade(postId));
    });
}

bool PostsLocalAccessAppService::deleteAllPostsForBlogWithoutCascade(const QString& blogId) const
{
    // By row id: a post of another blog that carries the same post id stays.
    return db.db->transaction([&] {
        bool read = false;
        const QList<BloggerPost> posts = db.listAllBlogPosts(blogId, &read);
        if (!read) {
            return false;
        }
        for (const BloggerPost& post : posts) {
            if (!db.deleteBlogPostById(post.internalId)) {
                return false;
            }
        }
        return true;
    });
}

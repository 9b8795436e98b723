#include "PostsLocalAccessAppService.h"

#include "store/CommentsLocalAccessAppService.h"
#include "store/SQLiteDB.h"

PostsLocalAccessAppService::PostsLocalAccessAppService() : db() {}

PostsLocalAccessAppService::PostsLocalAccessAppService(SQLiteDB& database) : db(database) {}

QList<BloggerPost> PostsLocalAccessAppService::listFilteredPostsForBlog(const QString& blogId,
                                                                        PostSortOptions sort,
                                                                        PostSortOrderOptions order,
                                                                        PostFilterOptions filter,
                                                                        const QString& filterText) const
{
    return db.listBlogPosts(blogId, sort, order, filter, filterText);
}

QList<BloggerPost> PostsLocalAccessAppService::listAllPostsforBlog(const QString& blogId) const
{
    return db.listAllBlogPosts(blogId);
}

std::optional<BloggerPost> PostsLocalAccessAppService::getPost(const QString& postId) const
{
    return db.getBlogPost(postId);
}

std::optional<BloggerPost> PostsLocalAccessAppService::getOfflinePostForPost(const QString& postId) const
{
    return db.getOfflineBlogPost(postId);
}

bool PostsLocalAccessAppService::addOrUpdatePost(const BloggerPost& post) const
{
    // One transaction: two callers storing the same new post cannot both insert it.
    bool added = false;
    db.db->transaction([&] {
        added = db.addBlogPostIfNotExists(post);
        if (!added) {
            db.updateBlogPost(post);
        }
    });
    return added;
}

QList<bool> PostsLocalAccessAppService::addOrUpdatePosts(const QList<BloggerPost>& posts) const
{
    QList<bool> answers;
    answers.reserve(posts.size());
    db.db->transaction([&] {
        for (const BloggerPost& post : posts) {
            answers.append(addOrUpdatePost(post));
        }
    });
    return answers;
}

void PostsLocalAccessAppService::updatePostStatus(const QString& postId, PostStatus status) const
{
    // Only status and area change: the stored texts of the row are not written again.
    db.db->transaction([&] {
        const std::optional<BloggerPost> post = db.getBlogPost(postId);
        if (post) {
            db.updateBlogPostStatus(post->internalId, status);
        }
    });
}

void PostsLocalAccessAppService::deleteBlogPost(const QString& postId, bool cascade) const
{
    db.db->transaction([&] {
        db.deleteBlogPost(postId);
        if (cascade) {
            CommentsLocalAccessAppService(*db.db).deleteAllCommentsForPostWithoutCascade(postId);
        }
    });
}

void PostsLocalAccessAppService::deleteAllPostsForBlogWithoutCascade(const QString& blogId) const
{
    // By row id: a post of another blog that carries the same post id stays.
    db.db->transaction([&] {
        const QList<BloggerPost> posts = db.listAllBlogPosts(blogId);
        for (const BloggerPost& post : posts) {
            db.deleteBlogPostById(post.internalId);
        }
    });
}

#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "store/PostsSQLAccess.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The local post store as the rest of the application sees it.
class PostsLocalAccessAppService
{
public:
    PostsLocalAccessAppService();
    explicit PostsLocalAccessAppService(SQLiteDB& database);

    QList<BloggerPost> listFilteredPostsForBlog(const QString& blogId, PostSortOptions sort,
                                                PostSortOrderOptions order, PostFilterOptions filter,
                                                const QString& filterText) const;
    QList<BloggerPost> listAllPostsforBlog(const QString& blogId) const;
    std::optional<BloggerPost> getPost(const QString& postId) const;
    std::optional<BloggerPost> getOfflinePostForPost(const QString& postId) const;
    // True when the post was new and inserted, false when the stored row was updated.
    bool addOrUpdatePost(const BloggerPost& post) const;
    // The same for many posts, written with one commit; the answers in the order of the posts.
    QList<bool> addOrUpdatePosts(const QList<BloggerPost>& posts) const;
    void updatePostStatus(const QString& postId, PostStatus status) const;
    void deleteBlogPost(const QString& postId, bool cascade) const;
    // Leaves the comments of those posts in place.
    void deleteAllPostsForBlogWithoutCascade(const QString& blogId) const;

    PostsSQLAccess db;
};

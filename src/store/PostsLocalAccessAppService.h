#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "store/PostsSQLAccess.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class SQLiteDB;

// The local post store as the rest of the application sees it. Each change runs as one transaction:
// when it cannot begin, or a step fails, nothing of it is stored and the operation says so (false, or
// *ok false). A failed read is never taken for an absent post.
class PostsLocalAccessAppService
{
public:
    PostsLocalAccessAppService();
    explicit PostsLocalAccessAppService(SQLiteDB& database);

    QList<BloggerPost> listFilteredPostsForBlog(const QString& blogId, PostSortOptions sort,
                                                PostSortOrderOptions order, PostFilterOptions filter,
                                                const QString& filterText, bool* ok = nullptr) const;
    // What the post list shows of those posts, in the same order (see PostsSQLAccess::listBlogPostRows).
    QList<BloggerPost> listPostRowsForBlog(const QString& blogId, PostSortOptions sort,
                                           PostSortOrderOptions order, PostFilterOptions filter,
                                           const QString& filterText, bool* ok = nullptr) const;
    // The same listing after some posts changed, made from `listed` (an earlier listing with the same
    // arguments) by reading only the rows of the changed post ids and rows that `listed` lacks; the order
    // comes from the index. Equal to listPostRowsForBlog when `listed` was right but for those posts.
    QList<BloggerPost> updatePostRows(const QList<BloggerPost>& listed, const QStringList& changedPostIds,
                                      const QString& blogId, PostSortOptions sort, PostSortOrderOptions order,
                                      PostFilterOptions filter, const QString& filterText,
                                      bool* ok = nullptr) const;
    QList<BloggerPost> listAllPostsforBlog(const QString& blogId, bool* ok = nullptr) const;
    std::optional<BloggerPost> getPost(const QString& postId, bool* ok = nullptr) const;
    std::optional<BloggerPost> getOfflinePostForPost(const QString& postId, bool* ok = nullptr) const;
    // True when the post was new and inserted, false when the stored row was updated or nothing was
    // stored (*ok false).
    bool addOrUpdatePost(const BloggerPost& post, bool* ok = nullptr) const;
    // The same for many posts, written with one commit; the answers in the order of the posts. When any
    // of them fails nothing is stored: the answers are empty and *ok is false.
    QList<bool> addOrUpdatePosts(const QList<BloggerPost>& posts, bool* ok = nullptr) const;
    // An unknown post id changes nothing and is no failure.
    bool updatePostStatus(const QString& postId, PostStatus status) const;
    bool deleteBlogPost(const QString& postId, bool cascade) const;
    // Leaves the comments of those posts in place.
    bool deleteAllPostsForBlogWithoutCascade(const QString& blogId) const;

    PostsSQLAccess db;
};

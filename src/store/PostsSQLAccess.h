#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class SQLiteDB;

// The POSTS table: posts of every blog, keyed by the service's post id.
class PostsSQLAccess
{
public:
    PostsSQLAccess();
    explicit PostsSQLAccess(SQLiteDB& db);

    std::optional<BloggerPost> getBlogPost(const QString& postId) const;
    // The synced copy of the published post with that id.
    std::optional<BloggerPost> getOfflineBlogPost(const QString& postId) const;
    std::optional<BloggerPost> getBlogPostById(std::int64_t id) const;
    // The blog's posts whose filter column holds exactly filterText, in the requested order.
    QList<BloggerPost> listBlogPosts(const QString& blogId, PostSortOptions sort, PostSortOrderOptions order,
                                     PostFilterOptions filter, const QString& filterText) const;
    QList<BloggerPost> listAllBlogPosts(const QString& blogId) const;
    // True when it inserted, false when a row with the post id was there already (nothing written).
    bool addBlogPostIfNotExists(const BloggerPost& post) const;
    // Every column but Id and BlogId of the rows with the post id.
    void updateBlogPost(const BloggerPost& post) const;
    // Only the status and the area that follows from it, of the one row with that row id.
    void updateBlogPostStatus(std::int64_t id, PostStatus status) const;
    void deleteBlogPost(const QString& postId) const;
    void deleteBlogPostById(std::int64_t id) const;

    BloggerPost blogPostFromRow(const SQLRow& row) const;

    SQLiteDB* db;
    const QString ADD_POST_SQL;
    const QString UPDATE_POST_SQL;
    const QString UPDATE_POST_STATUS_SQL;
    const QString GET_POST_SQL;
    const QString GET_OFFLINE_POST_SQL;
    const QString GET_POST_ID_SQL;
    const QString GET_POSTS_SQL;
    const QString GET_ALL_POSTS_SQL;
    const QString DELETE_POST_SQL;
    const QString DELETE_POST_ID_SQL;

private:
    std::optional<BloggerPost> firstPost(const QList<SQLRow>& rows) const;
};

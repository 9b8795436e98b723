#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "store/SQLRow.h"

#include <QList>
#include <QMultiHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class SQLiteDB;
class SQLRowReader;

// The POSTS table: posts of every blog. One post id names one post: the service's ids are unique across
// blogs and the operations below go by the post id alone, so a post id stored under one blog is never
// added for another (addBlogPostIfNotExists). A database written by an earlier version may still hold a
// later row with the id under another blog: reads by post id answer the first row.
// Where an operation takes `ok`, *ok is false when the store failed: a failed read is never "absent".
class PostsSQLAccess
{
    // The connection is the store's own: only its services open transactions on it.
    friend class PostsLocalAccessAppService;
    SQLiteDB* db;

public:
    PostsSQLAccess();
    explicit PostsSQLAccess(SQLiteDB& db);

    // The first row (lowest row id) with that post id.
    std::optional<BloggerPost> getBlogPost(const QString& postId, bool* ok = nullptr) const;
    // The synced copy of the published post with that id.
    std::optional<BloggerPost> getOfflineBlogPost(const QString& postId, bool* ok = nullptr) const;
    std::optional<BloggerPost> getBlogPostById(std::int64_t id, bool* ok = nullptr) const;
    // The blog's posts whose filter column holds exactly filterText, in the requested order.
    QList<BloggerPost> listBlogPosts(const QString& blogId, PostSortOptions sort, PostSortOrderOptions order,
                                     PostFilterOptions filter, const QString& filterText,
                                     bool* ok = nullptr) const;
    QList<BloggerPost> listAllBlogPosts(const QString& blogId, bool* ok = nullptr) const;
    // The row ids of listBlogPostRows, in its order, read from the index alone.
    QList<std::int64_t> listBlogPostRowIds(const QString& blogId, PostSortOptions sort,
                                           PostSortOrderOptions order, PostFilterOptions filter,
                                           const QString& filterText, bool* ok = nullptr) const;
    // What listBlogPostRows reads, of the rows with that post id, or of the row with that row id.
    QList<BloggerPost> getBlogPostRows(const QString& postId, bool* ok = nullptr) const;
    std::optional<BloggerPost> getBlogPostRowById(std::int64_t id, bool* ok = nullptr) const;
    // The same posts in the same order, with only what a row of the post list shows: row id, blog id,
    // post id, title, preview, updated date, comment count and status. Content, labels, address, publish
    // date and the offline link stay empty: the post is read whole when it is shown or edited.
    QList<BloggerPost> listBlogPostRows(const QString& blogId, PostSortOptions sort,
                                        PostSortOrderOptions order, PostFilterOptions filter,
                                        const QString& filterText, bool* ok = nullptr) const;
    // True when it inserted, false when a row with the post id was there already, of whichever blog
    // (nothing written; *storedBlogId, when given, is then the blog of the first such row), or the store
    // failed (then *ok is false and nothing is written).
    bool addBlogPostIfNotExists(const BloggerPost& post, bool* ok = nullptr,
                                QString* storedBlogId = nullptr) const;
    // Every column but Id and BlogId of the rows of the post's blog with the post id: a row of another
    // blog that carries the same id is not touched. False when the store failed.
    bool updateBlogPost(const BloggerPost& post) const;
    // Whether a post of blogId is the one stored under storedBlogId: the same blog, or either without a
    // blog (never written so by this version).
    static bool isSameBlog(const QString& blogId, const QString& storedBlogId);
    // Only the status and the area that follows from it, of the one row with that row id.
    bool updateBlogPostStatus(std::int64_t id, PostStatus status) const;
    bool deleteBlogPost(const QString& postId) const;
    bool deleteBlogPostById(std::int64_t id) const;
    // The row id of the first row with the post id; none when there is none or the store failed.
    std::optional<std::int64_t> firstRowIdOfPost(const QString& postId, bool* ok = nullptr) const;
    // The statuses of the rows with those post ids, read in one statement.
    QMultiHash<QString, PostStatus> statusesOfPosts(const QStringList& postIds, bool* ok = nullptr) const;
    // The comment count of the row that mirrors the published post; rows kept on this computer keep
    // theirs. False when the store failed.
    bool setCommentsCount(const QString& postId, std::int64_t count) const;
    // The same, by a difference; the count never goes below zero.
    bool addToCommentsCount(const QString& postId, std::int64_t difference) const;

    BloggerPost blogPostFromRow(const SQLRow& row) const;

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
    const QString GET_POST_ROW_ID_SQL;
    const QString GET_POST_ROWS_SQL;
    const QString GET_POST_ROW_IDS_SQL;
    const QString GET_POST_ROWS_OF_POST_SQL;
    const QString GET_POST_ROW_OF_ID_SQL;

private:
    std::optional<BloggerPost> firstPost(const QString& sql, const QVariantList& parameters, bool* ok) const;
    QList<BloggerPost> posts(const QString& sql, const QVariantList& parameters, bool* ok) const;
};

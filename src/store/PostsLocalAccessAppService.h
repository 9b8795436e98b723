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
    // stored. A post whose id is stored under another blog is not stored and is no failure: the other
    // blog's post stays as it was, and a line is logged. Otherwise *ok false says nothing was stored.
    bool addOrUpdatePost(const BloggerPost& post, bool* ok = nullptr) const;
    // The same for many posts, written with one commit; the answers in the order of the posts, one line
    // logged for all those not stored under another blog's id. When any of them fails nothing is stored:
    // the answers are empty and *ok is false.
    QList<bool> addOrUpdatePosts(const QList<BloggerPost>& posts, bool* ok = nullptr) const;
    // An unknown post id changes nothing and is no failure.
    bool updatePostStatus(const QString& postId, PostStatus status) const;
    bool deleteBlogPost(const QString& postId, bool cascade) const;
    // Leaves the comments of those posts in place.
    bool deleteAllPostsForBlogWithoutCascade(const QString& blogId) const;

    // The edited post kept on this computer, under the id and status its original calls for:
    // - a new post, or one offered back from its autosave, becomes a new Offline post;
    // - a synced copy stays the synced copy of its published post;
    // - a published or draft post gets a copy without address or comments: with SyncedCopy the one
    //   synced copy of that post (taking the place of an earlier one), else a new Offline post;
    // - any other post kept here stays under its id as an Offline post.
    // Answers the post as stored; *ok false when nothing was stored (then the post as it would have been),
    // also when its id is stored under another blog.
    BloggerPost keepPostLocally(const BloggerPost& edited, const std::optional<BloggerPost>& original,
                                PublishedToOfflineUpdateType updateType, bool* ok = nullptr) const;
    // Blogger's reply to a publish, stored together with what it takes the place of: the post named
    // replacesLocalPostId, when it is kept only on this computer, goes with its comments, and the
    // autosave record autosaveRecordId (when given) is linked to the published post. Answers the post
    // as stored; none when nothing was stored, also when its id is stored under another blog.
    std::optional<BloggerPost> storePublishedPost(const BloggerPost& published,
                                                  const QString& replacesLocalPostId,
                                                  const QString& autosaveRecordId) const;
    // The record, when it is still an autosave, now offers back the published post with that id, so that
    // publishing it after a crash updates that post instead of adding another. False when the store failed.
    bool linkAutosaveRecord(const QString& recordId, const QString& publishedPostId) const;
    // Removes the record when it is still an autosave (a post saved meanwhile under its id stays).
    bool discardAutosaveRecord(const QString& recordId) const;
    // Posts listed by Blogger stored over their mirrors. Rows kept only on this computer are never written,
    // also when they share the post id; their statuses are answered, one per post left alone. Posts
    // without an id, and posts whose id is stored under another blog, are skipped. *ok false when nothing
    // was stored.
    QList<PostStatus> storeDownloadedPosts(const QList<BloggerPost>& posts, bool* ok = nullptr) const;
    // The post was deleted on Blogger: its mirror goes with its comments, while a row kept only on this
    // computer stays and is no failure. False when the store failed.
    bool removeDeletedPost(const QString& postId) const;

private:
    enum class Storing
    {
        Added,
        Updated,
        // The id is stored under another blog: nothing written.
        Skipped
    };
    // In the caller's transaction; none when the store failed.
    std::optional<Storing> store(const BloggerPost& post) const;
    static void reportSkipped(qsizetype count);
    // For a post the caller answers as stored: false also when its id is stored under another blog, whose
    // post would be answered in its place.
    bool storeAsItself(const BloggerPost& post) const;

    PostsSQLAccess db;
};

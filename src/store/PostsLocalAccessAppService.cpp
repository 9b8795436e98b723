#include "PostsLocalAccessAppService.h"

#include "common/GoogleServiceConstants.h"
#include "model/PostAreaAndStatusConverter.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/SQLiteDB.h"
#include "store/StoreOutcome.h"

#include <QHash>
#include <QSet>

#include <cstdio>

namespace {

// A post kept only on this computer.
BloggerPost localPost(BloggerPost post, const QString& postId, PostStatus status, const QString& offlineFor)
{
    post.postId = postId;
    post.postStatus = status;
    post.offlineForPostWithId = offlineFor;
    return post;
}

// A copy of a published post: no address on Blogger and no comments of its own.
BloggerPost copyOfPublished(BloggerPost post, const QString& postId, PostStatus status,
                            const QString& offlineFor)
{
    post = localPost(std::move(post), postId, status, offlineFor);
    post.url = GoogleServiceConstants::NoUrl();
    post.commentsCount = GoogleServiceConstants::NoComments;
    return post;
}

// Only a post whose stored rows all mirror Blogger may be written over or removed by what Blogger says:
// the store writes every row of a post id at once.
std::optional<PostStatus> localOnlyStatus(const QMultiHash<QString, PostStatus>& statuses,
                                          const QString& postId)
{
    const PostAreaAndStatusConverter converter;
    for (const PostStatus status : statuses.values(postId)) {
        const PostArea area = converter.areaForStatus(status);
        if (area != PostArea::Published && area != PostArea::Draft) {
            return status;
        }
    }
    return std::nullopt;
}

} // namespace

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

std::optional<PostsLocalAccessAppService::Storing>
PostsLocalAccessAppService::store(const BloggerPost& post) const
{
    bool read = false;
    QString storedBlogId;
    if (db.addBlogPostIfNotExists(post, &read, &storedBlogId)) {
        return Storing::Added;
    }
    if (!read) {
        return std::nullopt;
    }
    if (!PostsSQLAccess::isSameBlog(post.blogId, storedBlogId)) {
        return Storing::Skipped;
    }
    return db.updateBlogPost(post) ? std::optional(Storing::Updated) : std::nullopt;
}

void PostsLocalAccessAppService::reportSkipped(qsizetype count)
{
    // Once per store call, not per post: a listing names the same posts at every download. The ids came
    // from the network and stay out of the log.
    if (count > 0) {
        std::fputs(qUtf8Printable(QStringLiteral("PostsLocalAccessAppService - %1 post(s) not stored: their "
                                                 "ids are stored under another blog\n")
                                      .arg(count)),
                   stdout);
        std::fflush(stdout);
    }
}

bool PostsLocalAccessAppService::storeAsItself(const BloggerPost& post) const
{
    const std::optional<Storing> storing = store(post);
    if (storing == Storing::Skipped) {
        reportSkipped(1);
    }
    return storing && *storing != Storing::Skipped;
}

bool PostsLocalAccessAppService::addOrUpdatePost(const BloggerPost& post, bool* ok) const
{
    // One transaction: two callers storing the same new post cannot both insert it.
    std::optional<Storing> storing;
    const bool stored = db.db->transaction([&] {
        storing = store(post);
        return storing.has_value();
    });
    if (stored && storing == Storing::Skipped) {
        reportSkipped(1);
    }
    report(ok, stored);
    return stored && storing == Storing::Added;
}

QList<bool> PostsLocalAccessAppService::addOrUpdatePosts(const QList<BloggerPost>& posts, bool* ok) const
{
    QList<bool> answers;
    answers.reserve(posts.size());
    qsizetype skipped = 0;
    const bool stored = db.db->transaction([&] {
        for (const BloggerPost& post : posts) {
            const std::optional<Storing> storing = store(post);
            if (!storing) {
                return false;
            }
            answers.append(*storing == Storing::Added);
            skipped += *storing == Storing::Skipped ? 1 : 0;
        }
        return true;
    });
    if (stored) {
        reportSkipped(skipped);
    }
    report(ok, stored);
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

BloggerPost PostsLocalAccessAppService::keepPostLocally(const BloggerPost& edited,
                                                        const std::optional<BloggerPost>& original,
                                                        PublishedToOfflineUpdateType updateType,
                                                        bool* ok) const
{
    BloggerPost kept;
    std::optional<BloggerPost> stored;
    const bool saved = db.db->transaction([&] {
        if (!original || original->postStatus == PostStatus::Autosaved) {
            kept = localPost(edited, GoogleServiceConstants::RandomId(), PostStatus::Offline,
                             GoogleServiceConstants::NoOfflineId());
        } else if (original->postStatus == PostStatus::SyncedCopy) {
            kept =
                localPost(edited, original->postId, PostStatus::SyncedCopy, original->offlineForPostWithId);
        } else if (original->isOnBlogger()) {
            if (updateType == PublishedToOfflineUpdateType::SyncedCopy) {
                // One synced copy per published post: a new one takes the place of the old.
                bool read = false;
                const std::optional<BloggerPost> existing = db.getOfflineBlogPost(original->postId, &read);
                if (!read) {
                    return false;
                }
                const QString copyId = existing && existing->postStatus == PostStatus::SyncedCopy
                                           ? existing->postId
                                           : GoogleServiceConstants::RandomId();
                kept = copyOfPublished(edited, copyId, PostStatus::SyncedCopy, original->postId);
            } else {
                kept = copyOfPublished(edited, GoogleServiceConstants::RandomId(), PostStatus::Offline,
                                       GoogleServiceConstants::NoOfflineId());
            }
        } else {
            kept = localPost(edited, original->postId, PostStatus::Offline,
                             GoogleServiceConstants::NoOfflineId());
        }
        if (!storeAsItself(kept)) {
            return false;
        }
        bool step = false;
        stored = db.getBlogPost(kept.postId, &step);
        return step;
    });
    report(ok, saved);
    return saved && stored ? *stored : kept;
}

std::optional<BloggerPost> PostsLocalAccessAppService::storePublishedPost(
    const BloggerPost& published, const QString& replacesLocalPostId, const QString& autosaveRecordId) const
{
    std::optional<BloggerPost> stored;
    const bool written = db.db->transaction([&] {
        bool step = false;
        if (!replacesLocalPostId.isEmpty() && replacesLocalPostId != published.postId) {
            const std::optional<BloggerPost> local = db.getBlogPost(replacesLocalPostId, &step);
            if (!step || (local && !local->isOnBlogger() && !deleteBlogPost(replacesLocalPostId, true))) {
                return false;
            }
        }
        if (!storeAsItself(published) ||
            (!autosaveRecordId.isEmpty() && !linkAutosaveRecord(autosaveRecordId, published.postId))) {
            return false;
        }
        stored = db.getBlogPost(published.postId, &step);
        return step;
    });
    if (!written) {
        return std::nullopt;
    }
    return stored.value_or(published);
}

bool PostsLocalAccessAppService::linkAutosaveRecord(const QString& recordId,
                                                    const QString& publishedPostId) const
{
    return db.db->transaction([&] {
        bool read = false;
        std::optional<BloggerPost> record = db.getBlogPost(recordId, &read);
        if (!read) {
            return false;
        }
        if (!record || record->postStatus != PostStatus::Autosaved ||
            record->offlineForPostWithId == publishedPostId) {
            return true;
        }
        record->offlineForPostWithId = publishedPostId;
        bool written = false;
        addOrUpdatePost(*record, &written);
        return written;
    });
}

bool PostsLocalAccessAppService::discardAutosaveRecord(const QString& recordId) const
{
    return db.db->transaction([&] {
        bool read = false;
        const std::optional<BloggerPost> stored = db.getBlogPost(recordId, &read);
        return read &&
               (!stored || stored->postStatus != PostStatus::Autosaved || deleteBlogPost(recordId, false));
    });
}

QList<PostStatus> PostsLocalAccessAppService::storeDownloadedPosts(const QList<BloggerPost>& posts,
                                                                   bool* ok) const
{
    QList<PostStatus> keptLocal;
    // Read and written in one transaction, so an autosave cannot make a row local between the two.
    // A look-up that fails is no absent row: the whole batch is then not stored.
    const bool stored = db.db->transaction([&] {
        QStringList ids;
        for (const BloggerPost& post : posts) {
            if (!post.postId.isEmpty()) {
                ids.append(post.postId);
            }
        }
        bool read = false;
        const QMultiHash<QString, PostStatus> statuses = db.statusesOfPosts(ids, &read);
        if (!read) {
            return false;
        }
        QList<BloggerPost> mirrors;
        mirrors.reserve(posts.size());
        for (const BloggerPost& post : posts) {
            // Without an id the post would be written over every row with an empty id.
            if (post.postId.isEmpty()) {
                continue;
            }
            if (const std::optional<PostStatus> local = localOnlyStatus(statuses, post.postId)) {
                keptLocal.append(*local);
            } else {
                mirrors.append(post);
            }
        }
        bool written = true;
        if (!mirrors.isEmpty()) {
            addOrUpdatePosts(mirrors, &written);
        }
        return written;
    });
    report(ok, stored);
    return stored ? keptLocal : QList<PostStatus>();
}

bool PostsLocalAccessAppService::removeDeletedPost(const QString& postId) const
{
    return db.db->transaction([&] {
        bool read = false;
        const QMultiHash<QString, PostStatus> statuses = db.statusesOfPosts({postId}, &read);
        return read && (localOnlyStatus(statuses, postId) || deleteBlogPost(postId, true));
    });
}

#pragma once

#include "google/BlockProperty.h"
#include "google/GoogleRequestServiceBase.h"
#include "model/BloggerPostComment.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// A post's comments on Blogger: listed page by page and read from the JSON API, added as an Atom entry to
// the post's comments feed, deleted from it. Each public operation refreshes the token first. Blocks run on
// the network thread; exactly one of a pair per started operation. One operation of a kind at a time per
// instance: the blocks and the listed comments belong to the instance.
class CommentsGoogleService : public GoogleRequestServiceBase
{
public:
    static std::shared_ptr<CommentsGoogleService>
    create(std::shared_ptr<GoogleAuthentificationService> service);

    BlockProperty<void(QList<BloggerPostComment>)> onListPostCommentsBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onListPostCommentsBlockError;
    BlockProperty<void(BloggerPostComment)> onGetPostCommentBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetPostCommentBlockError;
    BlockProperty<void(BloggerPostComment)> onAddPostCommentBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onAddPostCommentBlockError;
    BlockProperty<void(bool)> onDeletePostCommentBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onDeletePostCommentBlockError;

    // The comments gathered by the listing that runs or ran last.
    std::optional<QList<BloggerPostComment>> listedComments() const;
    // True when the last listing reached the post's last comment, false when it stopped at the page limit.
    bool listedAllComments() const;

    // Up to MaxResultPagesForComments pages of MaxResultsPerPage comments, oldest first.
    void listPostComments(const QString& postId, const QString& blogId);
    void _listPostComments(const QString& postId, const QString& blogId, std::int64_t currentPage,
                           const QString& pageToken);
    void getPostComment(const QString& commentId, const QString& postId, const QString& blogId);
    void _getPostComment(const QString& commentId, const QString& postId, const QString& blogId);
    // The comment's content and post id are sent; it comes back as Blogger stored it.
    void addPostComment(const BloggerPostComment& comment, const QString& blogId);
    void _addPostComment(const BloggerPostComment& comment, const QString& blogId);
    void deletePostComment(const QString& commentId, const QString& postId, const QString& blogId);
    void _deletePostComment(const QString& commentId, const QString& postId, const QString& blogId);

    // The author id that a profile address ".../profile/<id>" names; empty when it names none.
    static QString authorIdFromProfileLink(const QString& link);

private:
    explicit CommentsGoogleService(std::shared_ptr<GoogleAuthentificationService> service);

    mutable QMutex m_stateMutex;
    std::optional<QList<BloggerPostComment>> m_listedComments;
    bool m_listedAll = false;
};

#pragma once

#include "google/BlockProperty.h"
#include "google/GoogleRequestServiceBase.h"
#include "model/BloggerPost.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// A blog's posts on Blogger: listed page by page from the Atom feed, read, added, updated, deleted,
// and the blog page fetched as a template. Each public operation except the template fetch refreshes
// the token first. Blocks run on the network thread; exactly one of a pair per started operation.
// One operation of a kind at a time per instance: the blocks and the listed posts belong to the instance.
class PostsGoogleService : public GoogleRequestServiceBase
{
public:
    static std::shared_ptr<PostsGoogleService> create(std::shared_ptr<GoogleAuthentificationService> service);

    BlockProperty<void(QList<BloggerPost>)> onListBlogPostsBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onListBlogPostsBlockError;
    BlockProperty<void(BloggerPost)> onGetBlogPostBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetBlogPostBlockError;
    BlockProperty<void(BloggerPost)> onAddBlogPostBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onAddBlogPostBlockError;
    BlockProperty<void(BloggerPost)> onUpdateBlogPostBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onUpdateBlogPostBlockError;
    BlockProperty<void(bool)> onDeleteBlogPostBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onDeleteBlogPostBlockError;
    BlockProperty<void(QString)> onGetBlogTemplateBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetBlogTemplateBlockError;

    // The posts gathered by the listing that runs or ran last.
    std::optional<QList<BloggerPost>> listedPosts() const;
    // The task of the latest add or update.
    std::shared_ptr<UrlSession::Task> uploadTask() const;

    void listBlogPosts(const QString& blogId);
    void _listBlogPosts(const QString& blogId, std::int64_t currentPage);
    void getBlogPost(const QString& postId, const QString& blogId);
    void _getBlogPost(const QString& postId, const QString& blogId);
    void addBlogPost(const BloggerPost& post);
    void _addBlogPost(const BloggerPost& post);
    void updateBlogPost(const BloggerPost& post, const QString& postId);
    void _updateBlogPost(const BloggerPost& post, const QString& postId);
    void deleteBlogPost(const QString& postId, const QString& blogId);
    void _deleteBlogPost(const QString& postId, const QString& blogId);
    void getBlogPostsTemplate(const QString& url);
    // Ends the add or update that runs, also one still waiting for its token refresh.
    void cancelPublishing();

private:
    explicit PostsGoogleService(std::shared_ptr<GoogleAuthentificationService> service);

    enum class Publishing
    {
        Add,
        Update
    };
    void publish(Publishing kind, const BloggerPost& post, const QString& postId, std::uint64_t generation);
    std::uint64_t nextPublishingGeneration();
    // Listings are numbered; one that failed ignores the page it had already asked for.
    bool isListingRunning(std::uint64_t generation) const;
    void endListingWithError(std::uint64_t generation, const BloggerSuccessResponse& failure);

    mutable QMutex m_stateMutex;
    std::optional<QList<BloggerPost>> m_listedPosts;
    std::shared_ptr<UrlSession::Task> m_uploadTask;
    std::uint64_t m_publishingGeneration = 0;
    std::uint64_t m_cancelledUpToGeneration = 0;
    std::uint64_t m_listingGeneration = 1;
    std::uint64_t m_failedListingGeneration = 0;
};

#include "PostsGoogleService.h"

#include "common/GoogleServiceConstants.h"
#include "google/AtomNamespaces.h"
#include "google/BloggerXMLParser.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleServiceEndpoints.h"

#include <QMutexLocker>
#include <QStringDecoder>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// As textOfReply for a reply of the service, where a status outside 2xx is a failure whatever the body:
// reported with the whole text, like a reply the reader cannot read.
std::variant<QString, BloggerSuccessResponse> textOfServiceReply(const UrlSession::Reply& reply)
{
    auto text = GoogleRequestServiceBase::textOfReply(reply);
    if (const QString* body = std::get_if<QString>(&text); body && !reply.hasSuccessStatus()) {
        return BloggerSuccessResponse(
            false, body->isEmpty() ? GoogleRequestServiceBase::statusMessage(reply.statusCode) : *body);
    }
    return text;
}

// The post of an Atom entry reply, or the failure to report; a reply the reader cannot read, or one without
// an entry, is reported with its whole text.
std::variant<BloggerPost, BloggerSuccessResponse> postOfReply(const UrlSession::Reply& reply)
{
    auto text = textOfServiceReply(reply);
    if (auto* failure = std::get_if<BloggerSuccessResponse>(&text)) {
        return *failure;
    }
    auto [response, post] = BloggerXMLParser().parsePost(std::get<QString>(text));
    if (!response.success || !post) {
        return BloggerSuccessResponse(false, std::get<QString>(text));
    }
    return *post;
}

// Whether the reply looks like a whole feed: it reads as XML up to a root that is an Atom feed, and ends
// with that root's end tag. Cheap, and false for error pages and documents, JSON bodies and replies cut
// short, which end a listing; only then is the next page asked for before this one is read.
bool looksLikeWholeFeed(const QString& text)
{
    QXmlStreamReader reader(text);
    if (!reader.readNextStartElement() || reader.name() != QLatin1StringView("feed") ||
        reader.namespaceUri() != AtomNamespaces::Atom) {
        return false;
    }
    QStringView rest = QStringView(text).trimmed();
    if (!rest.endsWith(u'>')) {
        return false;
    }
    rest.chop(1);
    rest = rest.trimmed();
    return rest.endsWith(reader.qualifiedName()) &&
           rest.chopped(reader.qualifiedName().size()).endsWith(QStringLiteral("</"));
}

} // namespace

PostsGoogleService::PostsGoogleService(std::shared_ptr<GoogleAuthentificationService> service)
    : GoogleRequestServiceBase(std::move(service))
{
}

std::shared_ptr<PostsGoogleService>
PostsGoogleService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<PostsGoogleService>(new PostsGoogleService(std::move(service)));
}

std::optional<QList<BloggerPost>> PostsGoogleService::listedPosts() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_listedPosts;
}

std::shared_ptr<UrlSession::Task> PostsGoogleService::uploadTask() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_uploadTask;
}

void PostsGoogleService::listBlogPosts(const QString& blogId)
{
    {
        QMutexLocker locker(&m_stateMutex);
        m_listedPosts = QList<BloggerPost>();
        ++m_listingGeneration;
    }
    auto me = self<PostsGoogleService>();
    afterTokenRefresh([me, blogId] { me->_listBlogPosts(blogId, 0); },
                      [me](BloggerSuccessResponse failure) { me->onListBlogPostsBlockError(failure); });
}

void PostsGoogleService::_listBlogPosts(const QString& blogId, std::int64_t currentPage)
{
    auto me = self<PostsGoogleService>();
    if (blogId.isEmpty()) {
        failLater(&PostsGoogleService::onListBlogPostsBlockError, noBlogSelectedMessage());
        return;
    }
    if (currentPage >= GoogleServiceConstants::MaxResultPagesForPosts) {
        later([me] { me->onListBlogPostsBlockSuccess(me->listedPosts().value_or(QList<BloggerPost>())); });
        return;
    }
    if (currentPage < 0) {
        failLater(&PostsGoogleService::onListBlogPostsBlockError, invalidUrlMessage());
        return;
    }
    const std::int64_t perPage = GoogleServiceConstants::MaxResultsPerPage;
    std::optional<UrlSession::Request> request = requestFor(
        &PostsGoogleService::onListBlogPostsBlockError, blogId, {},
        GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + blogId +
            QStringLiteral("/posts/default?orderby=updated&max-results=") + QString::number(perPage) +
            QStringLiteral("&start-index=") + QString::number(perPage * currentPage + 1) +
            QStringLiteral("&rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "GET";
    request->addValue("application/atom+xml", "Content-Type");
    request->addValue("2", "GData-Version");
    request->addValue(authorizationValue(), "Authorization");

    std::uint64_t generation = 0;
    {
        QMutexLocker locker(&m_stateMutex);
        generation = m_listingGeneration;
    }
    send(std::move(*request), [me, blogId, currentPage, generation](UrlSession::Reply reply) {
        // A page that arrives after its listing failed (it was already asked for) changes nothing.
        if (!me->isListingRunning(generation)) {
            return;
        }
        auto text = textOfServiceReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&text)) {
            me->endListingWithError(generation, *failure);
            return;
        }
        // The next page is asked for before this one is read, so reading overlaps the wait for it;
        // a reply that is plainly no whole feed ends the listing here, without asking further.
        const bool nextAskedFor = currentPage + 1 < GoogleServiceConstants::MaxResultPagesForPosts &&
                                  looksLikeWholeFeed(std::get<QString>(text));
        if (nextAskedFor) {
            me->_listBlogPosts(blogId, currentPage + 1);
        }
        auto [response, posts] = BloggerXMLParser().parsePostsList(std::get<QString>(text));
        if (!response.success) {
            response.details = std::get<QString>(text);
            me->endListingWithError(generation, response);
            return;
        }
        {
            QMutexLocker locker(&me->m_stateMutex);
            if (!me->m_listedPosts) {
                me->m_listedPosts = QList<BloggerPost>();
            }
            for (BloggerPost& post : posts) {
                post.blogId = blogId;
                me->m_listedPosts->append(post);
            }
        }
        if (!nextAskedFor) {
            me->_listBlogPosts(blogId, currentPage + 1);
        }
    });
}

bool PostsGoogleService::isListingRunning(std::uint64_t generation) const
{
    QMutexLocker locker(&m_stateMutex);
    return generation > m_failedListingGeneration;
}

void PostsGoogleService::endListingWithError(std::uint64_t generation, const BloggerSuccessResponse& failure)
{
    {
        QMutexLocker locker(&m_stateMutex);
        m_failedListingGeneration = std::max(m_failedListingGeneration, generation);
    }
    onListBlogPostsBlockError(failure);
}

void PostsGoogleService::getBlogPost(const QString& postId, const QString& blogId)
{
    auto me = self<PostsGoogleService>();
    afterTokenRefresh([me, postId, blogId] { me->_getBlogPost(postId, blogId); },
                      [me](BloggerSuccessResponse failure) { me->onGetBlogPostBlockError(failure); });
}

void PostsGoogleService::_getBlogPost(const QString& postId, const QString& blogId)
{
    std::optional<UrlSession::Request> request = requestFor(
        &PostsGoogleService::onGetBlogPostBlockError, blogId, {postId},
        GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + blogId +
            QStringLiteral("/posts/default/") + postId + QStringLiteral("?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "GET";
    request->addValue(authorizationValue(), "Authorization");

    auto me = self<PostsGoogleService>();
    send(std::move(*request), [me, blogId](UrlSession::Reply reply) {
        auto read = postOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onGetBlogPostBlockError(*failure);
            return;
        }
        BloggerPost& post = std::get<BloggerPost>(read);
        post.blogId = blogId;
        me->onGetBlogPostBlockSuccess(post);
    });
}

std::uint64_t PostsGoogleService::nextPublishingGeneration()
{
    QMutexLocker locker(&m_stateMutex);
    return ++m_publishingGeneration;
}

void PostsGoogleService::addBlogPost(const BloggerPost& post)
{
    auto me = self<PostsGoogleService>();
    const std::uint64_t generation = nextPublishingGeneration();
    afterTokenRefresh([me, post, generation] { me->publish(Publishing::Add, post, QString(), generation); },
                      [me](BloggerSuccessResponse failure) { me->onAddBlogPostBlockError(failure); });
}

void PostsGoogleService::_addBlogPost(const BloggerPost& post)
{
    publish(Publishing::Add, post, QString(), nextPublishingGeneration());
}

void PostsGoogleService::updateBlogPost(const BloggerPost& post, const QString& postId)
{
    auto me = self<PostsGoogleService>();
    const std::uint64_t generation = nextPublishingGeneration();
    afterTokenRefresh(
        [me, post, postId, generation] { me->publish(Publishing::Update, post, postId, generation); },
        [me](BloggerSuccessResponse failure) { me->onUpdateBlogPostBlockError(failure); });
}

void PostsGoogleService::_updateBlogPost(const BloggerPost& post, const QString& postId)
{
    publish(Publishing::Update, post, postId, nextPublishingGeneration());
}

void PostsGoogleService::publish(Publishing kind, const BloggerPost& post, const QString& postId,
                                 std::uint64_t generation)
{
    const bool adding = kind == Publishing::Add;
    ErrorBlock PostsGoogleService::*errorBlock = adding ? &PostsGoogleService::onAddBlogPostBlockError
                                                        : &PostsGoogleService::onUpdateBlogPostBlockError;
    const QString blogId = post.blogId;
    std::optional<UrlSession::Request> request = requestFor(
        errorBlock, blogId, adding ? QStringList() : QStringList{postId},
        GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + blogId +
            QStringLiteral("/posts/default") + (adding ? QString() : QStringLiteral("/") + postId) +
            QStringLiteral("?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = adding ? "POST" : "PUT";
    request->sendOnce = adding;
    request->addValue("application/atom+xml", "Content-Type");
    request->addValue("2", "GData-Version");
    if (!adding) {
        request->addValue("PUT", "X-HTTP-Method-Override");
    }
    request->addValue(authorizationValue(), "Authorization");
    request->body = postRequestBody(post).toUtf8();

    auto me = self<PostsGoogleService>();
    auto handler = [me, adding, errorBlock, blogId](UrlSession::Reply reply) {
        auto read = postOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            ((*me).*errorBlock)(*failure);
            return;
        }
        BloggerPost& published = std::get<BloggerPost>(read);
        published.blogId = blogId;
        if (adding) {
            me->onAddBlogPostBlockSuccess(published);
        } else {
            me->onUpdateBlogPostBlockSuccess(published);
        }
    };

    std::shared_ptr<UrlSession::Task> task;
    {
        // Checked and stored together, so a cancel either sees this task or stops it here.
        QMutexLocker locker(&m_stateMutex);
        if (generation <= m_cancelledUpToGeneration) {
            locker.unlock();
            failLater(errorBlock, noResponseMessage());
            return;
        }
        task = send(std::move(*request), std::move(handler), false);
        m_uploadTask = task;
    }
    task->resume();
}

void PostsGoogleService::cancelPublishing()
{
    std::shared_ptr<UrlSession::Task> task;
    {
        QMutexLocker locker(&m_stateMutex);
        m_cancelledUpToGeneration = m_publishingGeneration;
        task = m_uploadTask;
    }
    if (task) {
        task->cancel();
    }
}

void PostsGoogleService::deleteBlogPost(const QString& postId, const QString& blogId)
{
    auto me = self<PostsGoogleService>();
    afterTokenRefresh([me, postId, blogId] { me->_deleteBlogPost(postId, blogId); },
                      [me](BloggerSuccessResponse failure) { me->onDeleteBlogPostBlockError(failure); });
}

void PostsGoogleService::_deleteBlogPost(const QString& postId, const QString& blogId)
{
    std::optional<UrlSession::Request> request =
        requestFor(&PostsGoogleService::onDeleteBlogPostBlockError, blogId, {postId},
                   GoogleServiceEndpoints::googleApiUrl() + QStringLiteral("/blogger/v3/blogs/") + blogId +
                       QStringLiteral("/posts/") + postId + QStringLiteral("?rand=") + randomQueryValue());
    if (!request) {
        return;
    }
    request->method = "DELETE";
    request->addValue(authorizationValue(), "Authorization");
    request->maximumBodySize = MaximumJsonReplySize;

    auto me = self<PostsGoogleService>();
    send(std::move(*request), [me](UrlSession::Reply reply) {
        // An empty reply (204) is the service's plain yes; an empty one with an error status is no yes.
        if (reply.body && !reply.error && reply.body->isEmpty()) {
            if (reply.hasSuccessStatus()) {
                me->onDeleteBlogPostBlockSuccess(true);
            } else {
                me->onDeleteBlogPostBlockError(
                    BloggerSuccessResponse(false, statusMessage(reply.statusCode)));
            }
            return;
        }
        auto read = me->jsonObjectOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&read)) {
            me->onDeleteBlogPostBlockError(*failure);
            return;
        }
        me->onDeleteBlogPostBlockSuccess(true);
    });
}

void PostsGoogleService::getBlogPostsTemplate(const QString& url)
{
    auto me = self<PostsGoogleService>();
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1StringView("http") && scheme != QLatin1StringView("https"))) {
        failLater(&PostsGoogleService::onGetBlogTemplateBlockError, invalidUrlMessage());
        return;
    }
    UrlSession::Request request;
    request.url = address;
    request.method = "GET";
    // The blog's own page: an error page is still the page the preview shows.
    send(std::move(request), [me](UrlSession::Reply reply) {
        auto text = GoogleRequestServiceBase::textOfReply(reply);
        if (auto* failure = std::get_if<BloggerSuccessResponse>(&text)) {
            me->onGetBlogTemplateBlockError(*failure);
            return;
        }
        if (std::get<QString>(text).isEmpty()) {
            me->onGetBlogTemplateBlockError(BloggerSuccessResponse(false, noResponseMessage()));
            return;
        }
        me->onGetBlogTemplateBlockSuccess(std::get<QString>(text));
    });
}

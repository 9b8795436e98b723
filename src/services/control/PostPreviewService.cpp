#include "PostPreviewService.h"

#include "common/BackgroundRunner.h"
#include "common/GoogleServiceConstants.h"
#include "google/GoogleAuthentificationService.h"
#include "google/PostsGoogleService.h"
#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "services/PostPreviewComposer.h"
#include "store/PersistentServiceState.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"

#include <QImageReader>
#include <QPointer>
#include <QRegularExpression>

namespace {

// Only a page that looks like a blog page is kept for good: an error page of the moment is not.
bool isBlogTemplate(const QString& page)
{
    static const QRegularExpression body(QStringLiteral("<body\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression blogParts(QStringLiteral("status-msg-wrap|blog-posts"));
    return page.contains(body) && page.contains(blogParts);
}

// The post alone, under a line that says why the blog's page is missing.
QString withoutTemplate(const BloggerPost& post, const QString& reason)
{
    BloggerPost shown = post;
    shown.content =
        QStringLiteral("<p style='padding: 8px 12px; background: #f0f0f0; color: #556064;"
                       " font-size: 13px;'>The blog's page could not be used for this preview: ") +
        reason.toHtmlEscaped() + QStringLiteral("</p>\n") + post.content;
    return PostPreviewComposer().plainPreviewHtml(shown);
}

// The post with its pictures from the images folder named by the picture scheme, and those names; for a
// page whose scripts run, boxes in their place (its scripts could read them back).
BloggerPost withServedPictures(const BloggerPost& post, QStringList& pictures, bool scriptsRun)
{
    BloggerPost shown = post;
    PostPreviewComposer::PictureSize size;
    if (scriptsRun) {
        size = [](const QString& name) {
            return QImageReader(ApplicationFolders::applicationsFolder() + QLatin1Char('/') + name).size();
        };
    }
    shown.content = PostPreviewComposer().withLocalPictureAddresses(post.content, pictures, size);
    return shown;
}

void deliver(QPointer<LivePreviewWindowController> window, const QString& html, const QString& baseUrl,
             const QStringList& pictures)
{
    Dispatch::toMainThread(window, [html, baseUrl, pictures](LivePreviewWindowController* controller) {
        controller->setHtmlContent(html, baseUrl, pictures);
    });
}

} // namespace

PostPreviewService::PostPreviewService(std::shared_ptr<GoogleAuthentificationService> service,
                                       QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

PostPreviewService::~PostPreviewService() = default;

void PostPreviewService::showPreview(const BloggerPost& post)
{
    Dispatch::requireMainThread("PostPreviewService::showPreview");
    m_previewWindowController = std::make_unique<MiniBrowserWindowController>();
    QStringList pictures;
    const BloggerPost shown = withServedPictures(post, pictures, false);
    m_previewWindowController->openStrangerPage(PostPreviewComposer::previewTitle(post.title),
                                                PostPreviewComposer().plainPreviewHtml(shown), pictures);
}

void PostPreviewService::showLivePreview(const BloggerPost& post)
{
    Dispatch::requireMainThread("PostPreviewService::showLivePreview");
    m_livePreviewWindowController = std::make_unique<LivePreviewWindowController>();
    m_livePreviewWindowController->openWindow(PostPreviewComposer::livePreviewTitle(post.title));
    QPointer<LivePreviewWindowController> window = m_livePreviewWindowController.get();

    const QString blogId = post.blogId.isEmpty() && m_authentificationService
                               ? m_authentificationService->dynamicServiceState().blogId()
                               : post.blogId;
    std::shared_ptr<GoogleAuthentificationService> auth = m_authentificationService;
    const double timeout = m_timeoutInterval;
    BackgroundRunner().run([window, edited = post, blogId, auth, timeout] {
        // Only the post's own pictures are served: nothing of the template is rewritten.
        QStringList pictures;
        const BloggerPost post = withServedPictures(edited, pictures, true);
        const std::optional<BloggerBlog> blog = UserBlogsLocalAccessAppService().blogsDB.getBlog(blogId);
        if (!blog || blog->blogUrl.trimmed().isEmpty()) {
            deliver(window, withoutTemplate(post, QStringLiteral("the blog of this post is not known.")),
                    QString(), pictures);
            return;
        }
        const QString blogUrl = blog->blogUrl;
        const std::optional<QString> cached = PersistentServiceState().getBlogTemplate(blogUrl);
        if (cached && isBlogTemplate(*cached)) {
            deliver(window, PostPreviewComposer().livePreviewHtml(*cached, post), blogUrl, pictures);
            return;
        }
        std::shared_ptr<PostsGoogleService> web = PostsGoogleService::create(auth);
        web->setTimeoutInterval(timeout);
        web->onGetBlogTemplateBlockSuccess = [window, post, blogUrl, pictures](const QString& page) {
            if (isBlogTemplate(page)) {
                PersistentServiceState().setBlogTemplate(blogUrl, page);
            }
            BackgroundRunner().run([window, post, blogUrl, page, pictures] {
                deliver(window, PostPreviewComposer().livePreviewHtml(page, post), blogUrl, pictures);
            });
        };
        web->onGetBlogTemplateBlockError = [window, post, blogUrl,
                                            pictures](const BloggerSuccessResponse& failure) {
            const QString reason = failure.details;
            BackgroundRunner().run([window, post, blogUrl, reason, pictures] {
                deliver(window, withoutTemplate(post, reason), blogUrl, pictures);
            });
        };
        web->getBlogPostsTemplate(PostPreviewComposer::templateAddress(blogUrl));
    });
}

#include "PostPreviewService.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleAuthentificationService.h"
#include "google/PostsGoogleService.h"
#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/LocalPictureServer.h"
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

// The post with its pictures from the images folder as the page will get them, and their names: for a
// page whose scripts run, from the picture server under the grant (or boxes in their place when there is
// none), else from the picture scheme.
BloggerPost withServedPictures(const BloggerPost& post, QStringList& pictures, bool scriptsRun,
                               const QString& grantBase = QString())
{
    BloggerPost shown = post;
    if (!scriptsRun) {
        shown.content = PostPreviewComposer().withLocalPictureAddresses(post.content, pictures);
    } else if (!grantBase.isEmpty()) {
        shown.content = PostPreviewComposer().withLocalPictureAddresses(post.content, pictures, grantBase);
    } else {
        shown.content =
            PostPreviewComposer().withLocalPicturePlaceholders(post.content, [](const QString& name) {
                return QImageReader(ApplicationFolders::applicationsFolder() + QLatin1Char('/') + name)
                    .size();
            });
    }
    return shown;
}

void deliver(QPointer<LivePreviewWindowController> window, const QString& html, const QString& baseUrl,
             const QString& grant, const QStringList& pictures)
{
    Dispatch::toMainThread(window, [html, baseUrl, grant, pictures](LivePreviewWindowController* controller) {
        LocalPictureServer::instance().allow(grant, pictures);
        controller->setHtmlContent(html, baseUrl);
    });
}

} // namespace

PostPreviewService::PostPreviewService(std::shared_ptr<GoogleAuthentificationService> service,
                                       QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

PostPreviewService::~PostPreviewService()
{
    withdrawPictureGrant();
}

void PostPreviewService::withdrawPictureGrant()
{
    LocalPictureServer::instance().closeGrant(m_pictureGrant);
    m_pictureGrant.clear();
}

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
    // The pictures of the previous live preview are no longer served.
    withdrawPictureGrant();
    m_pictureGrant = LocalPictureServer::instance().openGrant();
    const QString grant = m_pictureGrant;
    // The grant is the window's: its key may have been read by the template's scripts.
    connect(m_livePreviewWindowController.get(), &WindowController::windowWillClose, this, [this, grant] {
        if (m_pictureGrant == grant) {
            withdrawPictureGrant();
        }
    });
    const QString grantBase = grant.isEmpty() ? QString() : LocalPictureServer::instance().addressBase(grant);
    m_livePreviewWindowController->openWindow(PostPreviewComposer::livePreviewTitle(post.title));
    QPointer<LivePreviewWindowController> window = m_livePreviewWindowController.get();

    const QString blogId = post.blogId.isEmpty() && m_authentificationService
                               ? m_authentificationService->dynamicServiceState().blogId()
                               : post.blogId;
    std::shared_ptr<GoogleAuthentificationService> auth = m_authentificationService;
    const double timeout = m_timeoutInterval;
    Dispatch::toBackground([window, edited = post, blogId, auth, timeout, grant, grantBase] {
        // Only the post's own pictures are served: nothing of the template is rewritten.
        QStringList pictures;
        const BloggerPost post = withServedPictures(edited, pictures, true, grantBase);
        const std::optional<BloggerBlog> blog = UserBlogsLocalAccessAppService().getBlog(blogId);
        if (!blog || blog->blogUrl.trimmed().isEmpty()) {
            deliver(window, withoutTemplate(post, QStringLiteral("the blog of this post is not known.")),
                    QString(), grant, pictures);
            return;
        }
        const QString blogUrl = blog->blogUrl;
        const std::optional<QString> cached = PersistentServiceState().getBlogTemplate(blogUrl);
        if (cached && isBlogTemplate(*cached)) {
            deliver(window, PostPreviewComposer().livePreviewHtml(*cached, post), blogUrl, grant, pictures);
            return;
        }
        std::shared_ptr<PostsGoogleService> web = PostsGoogleService::create(auth);
        web->setTimeoutInterval(timeout);
        web->onGetBlogTemplateBlockSuccess = [window, post, blogUrl, grant, pictures](const QString& page) {
            if (isBlogTemplate(page)) {
                PersistentServiceState().setBlogTemplate(blogUrl, page);
            }
            Dispatch::toBackground([window, post, blogUrl, page, grant, pictures] {
                deliver(window, PostPreviewComposer().livePreviewHtml(page, post), blogUrl, grant, pictures);
            });
        };
        web->onGetBlogTemplateBlockError = [window, post, blogUrl, grant,
                                            pictures](const BloggerSuccessResponse& failure) {
            const QString reason = failure.details;
            Dispatch::toBackground([window, post, blogUrl, reason, grant, pictures] {
                deliver(window, withoutTemplate(post, reason), blogUrl, grant, pictures);
            });
        };
        web->getBlogPostsTemplate(PostPreviewComposer::templateAddress(blogUrl));
    });
}

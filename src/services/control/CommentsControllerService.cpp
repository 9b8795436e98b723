#include "CommentsControllerService.h"

#include "ApplicationControllerService.h"
#include "common/BackgroundRunner.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Alert.h"
#include "platform/Dispatch.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "services/CommentsRemotePersistenceAppService.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/NewCommentWindowController.h"

#include <QUrl>

CommentsControllerService::CommentsControllerService(
    std::shared_ptr<GoogleAuthentificationService> service,
    ApplicationControllerService* applicationControllerService, QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_applicationControllerService(applicationControllerService),
      m_commentsListWindowController(std::make_unique<CommentsListWindowController>()),
      m_newCommentWindowController(std::make_unique<NewCommentWindowController>()),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
    setupEvents();
}

CommentsControllerService::~CommentsControllerService() = default;

CommentsListWindowController* CommentsControllerService::commentsListWindowController() const
{
    return m_commentsListWindowController.get();
}

NewCommentWindowController* CommentsControllerService::newCommentWindowController() const
{
    return m_newCommentWindowController.get();
}

void CommentsControllerService::setupEvents()
{
    CommentsListWindowController& list = *m_commentsListWindowController;
    list.onDeleteCommentRequest = [this](const QString& commentId, const QString& postId) {
        deleteComment(commentId, postId);
    };
    list.onNavigateToProfileRequest = [this](const QString& userLink) { navigateToProfile(userLink); };
    list.onAddCommentRequest = [this](const QString& postId) { addComment(postId); };
    list.onDownloadCommentsRequest = [this](const QString& postId) { downloadComments(postId); };
    m_newCommentWindowController->onPublishCommentRequest = [this](const BloggerPostComment& comment) {
        publishComment(comment);
    };
}

void CommentsControllerService::beginBusy()
{
    ++m_busy;
    m_commentsListWindowController->loading(true);
}

void CommentsControllerService::endBusy()
{
    m_busy = qMax(0, m_busy - 1);
    m_commentsListWindowController->loading(m_busy > 0);
}

void CommentsControllerService::showComments(const QString& postId)
{
    QPointer<CommentsControllerService> self = this;
    BackgroundRunner().run([self, postId] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        const QList<BloggerPostComment> comments =
            CommentsLocalAccessAppService().listAllCommentsForPost(postId);
        const bool downloaded = PersistentServiceState().getCommentsDownloaded(postId);
        Dispatch::toMainThread(
            self, [post, comments, downloaded, postId](CommentsControllerService* controller) {
                if (!post) {
                    return;
                }
                CommentsListWindowController* list = controller->m_commentsListWindowController.get();
                list->showComments(*post, comments);
                BackgroundRunner().runOnMainThread(list, [list] { list->showWindow(); });
                if (!downloaded && post->isOnBlogger()) {
                    controller->downloadComments(postId);
                }
            });
    });
}

void CommentsControllerService::refreshList(const QString& postId)
{
    QPointer<CommentsControllerService> self = this;
    BackgroundRunner().run([self, postId] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        const QList<BloggerPostComment> comments =
            CommentsLocalAccessAppService().listAllCommentsForPost(postId);
        Dispatch::toMainThread(self, [post, comments, postId](CommentsControllerService* controller) {
            CommentsListWindowController* list = controller->m_commentsListWindowController.get();
            // The list may show another post by now; that one stays.
            if (!post || !list->post() || list->post()->postId != postId) {
                return;
            }
            list->showComments(*post, comments);
        });
    });
}

void CommentsControllerService::commentsChanged(const QString& postId)
{
    refreshList(postId);
    // The post's comment count changed with them: the main window's list and header show it anew.
    if (m_applicationControllerService) {
        m_applicationControllerService->postChanged(postId);
    }
}

void CommentsControllerService::downloadComments(const QString& postId)
{
    beginBusy();
    QPointer<CommentsControllerService> self = this;
    const double timeout = m_timeoutInterval;
    std::shared_ptr<GoogleAuthentificationService> auth = m_authentificationService;
    BackgroundRunner().run([self, postId, timeout, auth] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        if (!post) {
            Dispatch::toMainThread(self,
                                   [](CommentsControllerService* controller) { controller->endBusy(); });
            return;
        }
        std::shared_ptr<CommentsRemotePersistenceAppService> remote =
            CommentsRemotePersistenceAppService::create(auth);
        remote->setTimeoutInterval(timeout);
        remote->onListAndPersistAllPostCommentsSuccess = [self, postId] {
            Dispatch::toMainThread(self, [postId](CommentsControllerService* controller) {
                controller->commentsChanged(postId);
                controller->endBusy();
            });
        };
        remote->onListAndPersistAllPostCommentsError = [self](const BloggerSuccessResponse& failure) {
            LocalNotificationService().showCriticalAlert(QStringLiteral("Cannot download the comments"),
                                                         failure.details);
            Dispatch::toMainThread(self,
                                   [](CommentsControllerService* controller) { controller->endBusy(); });
        };
        remote->listAndPersistAllPostComments(postId, post->blogId);
    });
}

void CommentsControllerService::deleteComment(const QString& commentId, const QString& postId)
{
    QPointer<CommentsControllerService> self = this;
    AlertRequest question{
        AlertStyle::Warning,
        deleteQuestionTitle(commentId),
        QStringLiteral("It will be deleted from Blogger."),
        {QStringLiteral("Delete"), QStringLiteral("Cancel")},
        [self, commentId, postId](int button) {
            if (!self || button != 0) {
                return;
            }
            // Busy only once the user has said Delete.
            self->beginBusy();
            const double timeout = self->m_timeoutInterval;
            std::shared_ptr<GoogleAuthentificationService> auth = self->m_authentificationService;
            BackgroundRunner().run([self, commentId, postId, timeout, auth] {
                const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
                auto remote = CommentsRemotePersistenceAppService::create(auth);
                remote->setTimeoutInterval(timeout);
                remote->onDeletePostCommentSuccess = [self, postId] {
                    Dispatch::toMainThread(self, [postId](CommentsControllerService* controller) {
                        controller->commentsChanged(postId);
                        controller->endBusy();
                    });
                };
                remote->onDeletePostCommentError = [self](const BloggerSuccessResponse& failure) {
                    LocalNotificationService().showCriticalAlert(QStringLiteral("Cannot delete the comment"),
                                                                 failure.details);
                    Dispatch::toMainThread(
                        self, [](CommentsControllerService* controller) { controller->endBusy(); });
                };
                remote->deletePostComment(commentId, postId,
                                          post ? post->blogId : GoogleServiceConstants::NoId());
            });
        },
        // Return must never delete.
        1};
    Alert::present(question);
}

QString CommentsControllerService::deleteQuestionTitle(const QString& commentId) const
{
    for (const BloggerPostComment& comment : m_commentsListWindowController->comments()) {
        if (comment.commentId == commentId && !comment.author.userName.trimmed().isEmpty()) {
            return QStringLiteral("Delete the comment by %1?").arg(comment.author.userName.trimmed());
        }
    }
    return QStringLiteral("Delete this comment?");
}

void CommentsControllerService::addComment(const QString& postId)
{
    const QString userId = m_authentificationService->dynamicServiceState().userId();
    QPointer<CommentsControllerService> self = this;
    BackgroundRunner().run([self, postId, userId] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(postId);
        const std::optional<BloggerUser> user = UserBlogsLocalAccessAppService().getUser(userId);
        Dispatch::toMainThread(self, [post, user](CommentsControllerService* controller) {
            if (!post) {
                return;
            }
            NewCommentWindowController* window = controller->m_newCommentWindowController.get();
            window->prepare(*post, user);
            BackgroundRunner().runOnMainThread(window, [window] { window->showWindow(); });
        });
    });
}

QString CommentsControllerService::commentHtmlFromText(const QString& text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br />"));
    return html;
}

void CommentsControllerService::publishComment(const BloggerPostComment& typed)
{
    BloggerPostComment comment = typed;
    comment.content = commentHtmlFromText(typed.content);
    if (m_publishing) {
        return;
    }
    if (typed.content.trimmed().isEmpty()) {
        LocalNotificationService().showInfoAlert(
            QStringLiteral("Cannot add the comment"),
            QStringLiteral("The comment is empty. Write it, then publish it."));
        return;
    }
    m_publishing = true;
    m_newCommentWindowController->loading(true);
    QPointer<CommentsControllerService> self = this;
    const double timeout = m_timeoutInterval;
    std::shared_ptr<GoogleAuthentificationService> auth = m_authentificationService;
    BackgroundRunner().run([self, comment, timeout, auth] {
        const std::optional<BloggerPost> post = PostsLocalAccessAppService().getPost(comment.postId);
        auto remote = CommentsRemotePersistenceAppService::create(auth);
        remote->setTimeoutInterval(timeout);
        remote->onAddPostCommentSuccess = [self](const BloggerPostComment& added) {
            Dispatch::toMainThread(self, [added](CommentsControllerService* controller) {
                controller->m_publishing = false;
                controller->m_newCommentWindowController->loading(false);
                controller->m_newCommentWindowController->close();
                controller->commentsChanged(added.postId);
            });
        };
        remote->onAddPostCommentError = [self](const BloggerSuccessResponse& failure) {
            LocalNotificationService().showCriticalAlert(QStringLiteral("Cannot add the comment"),
                                                         failure.details);
            Dispatch::toMainThread(self, [](CommentsControllerService* controller) {
                controller->m_publishing = false;
                controller->m_newCommentWindowController->loading(false);
            });
        };
        remote->addPostComment(comment, post ? post->blogId : GoogleServiceConstants::NoId());
    });
}

void CommentsControllerService::navigateToProfile(const QString& userLink)
{
    const QString link = userLink.trimmed();
    ExternalUrlOpener::openWebAddress(
        QUrl(link.startsWith(QLatin1StringView("//")) ? QStringLiteral("https:") + link : link));
}

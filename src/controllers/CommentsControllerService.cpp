#include "CommentsControllerService.h"

#include "common/Async.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "google/ServiceClock.h"
#include "platform/Alert.h"
#include "platform/Dispatch.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/NewCommentWindowController.h"

#include <QUrl>

#include <tuple>

CommentsControllerService::CommentsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                                     QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_commentsListWindowController(std::make_unique<CommentsListWindowController>()),
      m_newCommentWindowController(std::make_unique<NewCommentWindowController>()),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
    setupEvents();
}

CommentsControllerService::~CommentsControllerService() = default;

CommentsListWindowController* CommentsControllerService::commentsListWindowController() const
{
    Dispatch::requireMainThread("CommentsControllerService::commentsListWindowController");
    return m_commentsListWindowController.get();
}

NewCommentWindowController* CommentsControllerService::newCommentWindowController() const
{
    Dispatch::requireMainThread("CommentsControllerService::newCommentWindowController");
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
    Dispatch::requireMainThread("CommentsControllerService::showComments");
    Async::runThenCallback(
        this,
        [postId] {
            return std::make_tuple(PostsLocalAccessAppService().getPost(postId),
                                   CommentsLocalAccessAppService().listAllCommentsForPost(postId),
                                   PersistentServiceState().getCommentsDownloaded(postId));
        },
        [this, postId](const std::tuple<std::optional<BloggerPost>, QList<BloggerPostComment>, bool>& read) {
            const auto& [post, comments, downloaded] = read;
            if (!post) {
                return;
            }
            CommentsListWindowController* list = m_commentsListWindowController.get();
            list->showComments(*post, comments);
            Dispatch::toMainThread(list, [list] { list->showWindow(); });
            if (!downloaded && post->isOnBlogger()) {
                downloadComments(postId);
            }
        });
}

void CommentsControllerService::refreshList(const QString& postId)
{
    Async::runThenCallback(
        this,
        [postId] {
            return std::make_pair(PostsLocalAccessAppService().getPost(postId),
                                  CommentsLocalAccessAppService().listAllCommentsForPost(postId));
        },
        [this, postId](const std::pair<std::optional<BloggerPost>, QList<BloggerPostComment>>& read) {
            const auto& [post, comments] = read;
            CommentsListWindowController* list = m_commentsListWindowController.get();
            // The list may show another post by now; that one stays.
            if (!post || !list->post() || list->post()->postId != postId) {
                return;
            }
            list->showComments(*post, comments);
        });
}

void CommentsControllerService::commentsChanged(const QString& postId)
{
    refreshList(postId);
    // The post's comment count changed with them: the main window's list and header show it anew.
    Q_EMIT postChanged(postId);
}

void CommentsControllerService::downloadComments(const QString& postId)
{
    Dispatch::requireMainThread("CommentsControllerService::downloadComments");
    beginBusy();
    QPointer<CommentsControllerService> self = this;
    const double timeout = m_timeoutInterval;
    std::shared_ptr<GoogleAuthentificationService> auth = m_authentificationService;
    Async::runThenCallback(
        this, [postId] { return PostsLocalAccessAppService().getPost(postId); },
        [this, self, postId, timeout, auth](const std::optional<BloggerPost>& post) {
            if (!post) {
                endBusy();
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
    Dispatch::requireMainThread("CommentsControllerService::deleteComment");
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
            Async::runThenCallback(
                self, [postId] { return PostsLocalAccessAppService().getPost(postId); },
                [self, commentId, postId, timeout, auth](const std::optional<BloggerPost>& post) {
                    auto remote = CommentsRemotePersistenceAppService::create(auth);
                    remote->setTimeoutInterval(timeout);
                    remote->onDeletePostCommentSuccess = [self, postId] {
                        Dispatch::toMainThread(self, [postId](CommentsControllerService* controller) {
                            controller->commentsChanged(postId);
                            controller->endBusy();
                        });
                    };
                    remote->onDeletePostCommentError = [self](const BloggerSuccessResponse& failure) {
                        LocalNotificationService().showCriticalAlert(
                            QStringLiteral("Cannot delete the comment"), failure.details);
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
    Dispatch::requireMainThread("CommentsControllerService::addComment");
    const QString userId = m_authentificationService->dynamicServiceState().userId();
    Async::runThenCallback(
        this,
        [postId, userId] {
            return std::make_pair(PostsLocalAccessAppService().getPost(postId),
                                  UserBlogsLocalAccessAppService().getUser(userId));
        },
        [this](const std::pair<std::optional<BloggerPost>, std::optional<BloggerUser>>& read) {
            if (!read.first) {
                return;
            }
            NewCommentWindowController* window = m_newCommentWindowController.get();
            window->prepare(*read.first, read.second);
            Dispatch::toMainThread(window, [window] { window->showWindow(); });
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
    Dispatch::requireMainThread("CommentsControllerService::publishComment");
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
    const QString postId = comment.postId;
    const QString userId = m_authentificationService->dynamicServiceState().userId();
    Async::runThenCallback(
        this,
        [postId, userId] {
            return std::make_pair(PostsLocalAccessAppService().getPost(postId),
                                  UserBlogsLocalAccessAppService().getUser(userId));
        },
        [self, comment, timeout,
         auth](const std::pair<std::optional<BloggerPost>, std::optional<BloggerUser>>& read) {
            const auto& [post, user] = read;
            const QString postId = comment.postId;
            auto remote = CommentsRemotePersistenceAppService::create(auth);
            remote->setTimeoutInterval(timeout);
            remote->onAddPostCommentSuccess = [self, postId](const BloggerPostComment& added) {
                Dispatch::toMainThread(self, [added, postId](CommentsControllerService* controller) {
                    controller->m_unanswered.remove(postId);
                    controller->m_publishing = false;
                    controller->m_newCommentWindowController->loading(false);
                    controller->m_newCommentWindowController->commentSent(postId);
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
            const QString blogId = post ? post->blogId : GoogleServiceConstants::NoId();
            // Kept until an add of the post's comment is answered: any of them may have arrived.
            std::optional<CommentsRemotePersistenceAppService::EarlierAdds> earlier;
            if (self->m_unanswered.contains(postId)) {
                earlier = self->m_unanswered.value(postId);
            }
            CommentsRemotePersistenceAppService::EarlierAdds& sent = self->m_unanswered[postId];
            if (!earlier) {
                sent.firstSent = ServiceClock::Sent::now();
                sent.user = user.value_or(BloggerUser());
            }
            if (!sent.contents.contains(comment.content)) {
                sent.contents << comment.content;
            }
            if (earlier) {
                remote->addPostCommentOnce(comment, blogId, *earlier);
            } else {
                remote->addPostComment(comment, blogId);
            }
        });
}

void CommentsControllerService::navigateToProfile(const QString& userLink)
{
    Dispatch::requireMainThread("CommentsControllerService::navigateToProfile");
    const QString link = userLink.trimmed();
    ExternalUrlOpener::openWebAddress(
        QUrl(link.startsWith(QLatin1StringView("//")) ? QStringLiteral("https:") + link : link));
}

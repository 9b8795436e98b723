#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "services/CommentsRemotePersistenceAppService.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class CommentsListWindowController;
class GoogleAuthentificationService;
class NewCommentWindowController;

// Comments of a post: the comments list and the new-comment window, made once and reused. It reads the
// store on a background thread, has Blogger list, add and delete comments through the remote-persistence
// service, and hands the results to the windows. Main thread.
class CommentsControllerService : public QObject
{
    Q_OBJECT
public:
    CommentsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                              QObject* parent = nullptr);
    ~CommentsControllerService() override;

    // The stored comments at once; then, the first time for a post on Blogger, its comments downloaded.
    void showComments(const QString& postId);
    // The new-comment window for the post, as the current user.
    void addComment(const QString& postId);
    void downloadComments(const QString& postId);
    // Asks first; then deleted on Blogger and in the store.
    void deleteComment(const QString& commentId, const QString& postId);
    // The comment's text is plain text, as typed; it is sent as the HTML that shows that text.
    void publishComment(const BloggerPostComment& comment);
    // In the user's browser; only web addresses are opened.
    void navigateToProfile(const QString& userLink);

    // The comment's HTML for text typed as plain text: what the user typed is what readers see.
    static QString commentHtmlFromText(const QString& text);

    CommentsListWindowController* commentsListWindowController() const;
    NewCommentWindowController* newCommentWindowController() const;

    // Transfer time-out of the web requests, in seconds.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

Q_SIGNALS:
    // The post's comments changed in the store, and its comment count with them.
    void postChanged(const QString& postId);

private:
    void setupEvents();
    void beginBusy();
    void endBusy();
    // Names the comment by its author where the list knows it.
    QString deleteQuestionTitle(const QString& commentId) const;
    // The stored comments of the post to the list, when the list shows that post.
    void refreshList(const QString& postId);
    // The post's stored comments and their count changed: the list and the main window show them.
    void commentsChanged(const QString& postId);

    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<CommentsListWindowController> m_commentsListWindowController;
    std::unique_ptr<NewCommentWindowController> m_newCommentWindowController;
    // Downloads and deletions under way: the list stays busy until the last one ends.
    int m_busy = 0;
    bool m_publishing = false;
    // By post: the adds sent whose answers never came. A publish on the post looks for them first.
    QHash<QString, CommentsRemotePersistenceAppService::EarlierAdds> m_unanswered;
    double m_timeoutInterval;
};

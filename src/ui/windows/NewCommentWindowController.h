#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerUser.h"
#include "platform/gui/WindowController.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class NewCommentWindow;
}
class QLabel;
class QPlainTextEdit;
class QPushButton;
class SpinnerView;

// The window in which the user writes a comment on one post as the current user. The publish button hands
// the comment (its text and the post's id) to onPublishCommentRequest; the owner shows the busy state and
// closes the window. It reaches neither the network nor the store; the user's picture comes from the
// picture cache, in the background.
class NewCommentWindowController : public WindowController
{
    Q_OBJECT
public:
    explicit NewCommentWindowController(QObject* parent = nullptr);
    ~NewCommentWindowController() override;

    std::function<void(const BloggerPostComment& comment)> onPublishCommentRequest;

    // Any thread: the post and the user for the next showing; on the main thread the text becomes what
    // was written and not sent for that post (empty for a post without one) and, once the window is
    // loaded, picture, name, post line and title show them.
    void prepare(const BloggerPost& post, const std::optional<BloggerUser>& user);
    // Main thread: the comment on that post was published; its text is not offered again.
    void commentSent(const QString& postId);
    // Any thread; applied on the main thread.
    void loading(bool flag);
    void publishCommentButtonClick();

    static QString windowTitleFor(const QString& postTitle);
    static QString postLineFor(const QString& postTitle);

    // Main thread.
    QString postId() const { return m_postId; }
    std::optional<BloggerUser> user() const { return m_user; }
    std::optional<BloggerPost> post() const { return m_post; }
    // The address of the picture shown, empty while "UserAvatar" stands in for it.
    QString shownPictureAddress() const { return m_shownPictureAddress; }

    QPlainTextEdit* textFieldOutlet() const;
    QLabel* imageViewOutlet() const;
    QLabel* userNameLabelOutlet() const;
    QLabel* postTitleLabelOutlet() const;
    SpinnerView* spinningIndicatorOutlet() const;
    QPushButton* publishCommentButtonOutlet() const;

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;

private:
    void setupWindow();
    void setupView();
    void restoreUnsentText();
    void remotePicture(const QString& address);
    void showDefaultPicture();

    std::unique_ptr<Ui::NewCommentWindow> m_ui;
    QString m_postId;
    std::optional<BloggerUser> m_user;
    std::optional<BloggerPost> m_post;
    QString m_requestedPictureAddress;
    QString m_shownPictureAddress;
    // Text written and not sent, by post id: closing the window (Esc included) must not cost the comment.
    QHash<QString, QString> m_unsentTexts;
};

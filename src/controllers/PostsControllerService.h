#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class GoogleAuthentificationService;
class PostAutoSaveService;
class PostEditorWindowController;
class PostPreviewService;
class PostsRemotePersistenceAppService;
class QWidget;
class UploadPhotosGroupService;

// Writing posts: the one editor of the process, the post it edits, its autosave, and what becomes of the
// post when the user submits or closes: published, scheduled or kept as a draft on Blogger (local images
// uploaded first), or kept on this computer as an offline post, a synced copy or an offline copy.
class PostsControllerService : public QObject
{
    Q_OBJECT
public:
    PostsControllerService(std::shared_ptr<GoogleAuthentificationService> service, QObject* parent = nullptr);
    ~PostsControllerService() override;

    // True while the editor window is on screen.
    bool hasAnEditingPost() const;
    // Brings the editor to the front, when it is on screen; its window, else null.
    QWidget* showEditingPost();
    void newPost();
    void editPost(const QString& postId);
    // Opens the post with "Offline" chosen, so the user picks how it is kept on this computer.
    void offlinePost(const QString& postId);
    // Offers the blog's autosaved posts back in the editor, one after another, in title order.
    void recoverAutosavedPosts(const QString& blogId);

    // The editor page asked for a preview of the post as it stands in the editor.
    void showPreview();
    void showLivePreview();

    PostEditorWindowController* postEditor() const;
    PostAutoSaveService* postAutoSaveService() const;
    PostPreviewService* postPreviewService() const;

Q_SIGNALS:
    // The editor has closed and its post is settled (published, stored or dropped).
    void editorClosed();
    // The editor changed these posts in the store; the discarded ones are on their way out; `shown`,
    // when given, is the post to show.
    void postsEdited(const QStringList& changedPostIds, const QStringList& discardedPostIds,
                     const std::optional<BloggerPost>& shown);

private:
    // What is being edited: the stored post it started from (none for a new post) and its autosave record.
    struct EditingSession
    {
        QString blogId;
        std::optional<BloggerPost> original;
        QString recordId;
        std::uint64_t serial = 0;
        // The publish that runs, 0 when none does.
        std::uint64_t publishing = 0;
    };

    void setupEditorEvents();
    bool refuseWhileEditing();
    void openEditor(const std::optional<BloggerPost>& original, const std::optional<BloggerPost>& shown,
                    bool offline, const QString& recordId);
    void openStoredPost(const QString& postId, bool offline);
    void openRecord(const BloggerPost& record, const std::optional<BloggerPost>& original, bool offline);
    void openNextRecoveredPost();
    void editorDidClose();

    void onSubmitRequest(const BloggerPost& post, const QStringList& images,
                         PublishedToOfflineUpdateType updateType);
    void onWindowCloseRequest(bool save);
    void onWindowHasClosedWithNoOptions();
    void onCancelPublishing();

    void uploadImagesThenPublish(const BloggerPost& post, const QStringList& images);
    void uploadStoredPost(const BloggerPost& post, const QStringList& images, std::uint64_t publishing);
    void publishPost(const BloggerPost& post, std::uint64_t publishing);
    // Adds the post on Blogger, or, when an add of it was sent before and may have arrived unanswered,
    // updates the post that add made.
    void addOnce(const std::shared_ptr<PostsRemotePersistenceAppService>& remote, const BloggerPost& post,
                 const QString& replacesLocalPostId, std::uint64_t publishing);
    void publishingFailed(std::uint64_t publishing, const QString& message);
    void publishingSucceeded(std::uint64_t serial, std::uint64_t publishing, const BloggerPost& stored);
    void saveLocally(const BloggerPost& post, PublishedToOfflineUpdateType updateType);
    void deletePublishedVersion(const BloggerPost& offlineCopy, const QString& publishedPostId);
    // The post in the editor, with the blog it is written for; none while the editor has no page.
    std::optional<BloggerPost> postForPreview() const;
    // Ends the session: the autosave record goes, the editor closes, the list shows the post kept.
    void finishEditing(const std::optional<BloggerPost>& kept);

    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<PostEditorWindowController> m_postEditor;
    std::unique_ptr<PostAutoSaveService> m_postAutoSaveService;
    std::unique_ptr<PostPreviewService> m_postPreviewService;
    std::shared_ptr<UploadPhotosGroupService> m_uploadPhotosGroupService;
    std::shared_ptr<PostsRemotePersistenceAppService> m_postsRemotePersistenceAppService;
    std::optional<EditingSession> m_session;
    std::uint64_t m_lastSerial = 0;
    std::uint64_t m_lastPublishing = 0;
    QList<BloggerPost> m_recoveredPosts;
};

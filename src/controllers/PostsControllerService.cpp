#include "PostsControllerService.h"

#include "PostPreviewService.h"
#include "common/AppKeyPrefix.h"
#include "common/Async.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "google/GoogleAuthentificationService.h"
#include "google/PostsGoogleService.h"
#include "google/ServiceClock.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "services/PostAutoSaveService.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "services/UploadPhotosGroupService.h"
#include "store/PostsLocalAccessAppService.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

bool isPublishing(PostStatus status)
{
    return status == PostStatus::Published || status == PostStatus::Scheduled || status == PostStatus::Draft;
}

// Set when a new post is sent to Blogger and kept until its editing ends: a publish of the same post
// that finds it set looks on Blogger first, since the earlier one may have arrived without its answer.
// Beside it: when it was sent on Blogger's clock (when known then), and every title it was sent with.
QString addSentKey(const QString& recordId)
{
    return APP_KEY_PREFIX + QStringLiteral("publishing_add_sent_") + recordId;
}

QString addSentOnBloggerKey(const QString& recordId)
{
    return APP_KEY_PREFIX + QStringLiteral("publishing_add_sent_on_blogger_") + recordId;
}

QString addSentTitlesKey(const QString& recordId)
{
    return APP_KEY_PREFIX + QStringLiteral("publishing_add_titles_") + recordId;
}

struct AddSent
{
    ServiceClock::Sent sent;
    QStringList titles;
};

// None when no add of the record was sent. A record kept before the titles were has the title given.
std::optional<AddSent> readAddSent(const QString& recordId, const QString& title)
{
    const UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const QDateTime here = defaults.objectForKey(addSentKey(recordId)).toDateTime();
    if (!here.isValid()) {
        return std::nullopt;
    }
    AddSent read{{here, std::nullopt}, {}};
    const QDateTime onBlogger = defaults.objectForKey(addSentOnBloggerKey(recordId)).toDateTime();
    if (onBlogger.isValid()) {
        read.sent.onService = onBlogger;
    }
    const QByteArray titles = defaults.stringForKey(addSentTitlesKey(recordId)).value_or(QString()).toUtf8();
    for (const QJsonValue value : QJsonDocument::fromJson(titles).array()) {
        read.titles << value.toString();
    }
    if (read.titles.isEmpty()) {
        read.titles << title;
    }
    return read;
}

void writeAddSent(const QString& recordId, const AddSent& record)
{
    const QJsonArray titles = QJsonArray::fromStringList(record.titles);
    UserDefaults::standardUserDefaults().setObjects(
        {{addSentKey(recordId), record.sent.here},
         {addSentOnBloggerKey(recordId),
          record.sent.onService ? QVariant(*record.sent.onService) : QVariant()},
         {addSentTitlesKey(recordId),
          QString::fromUtf8(QJsonDocument(titles).toJson(QJsonDocument::Compact))}});
}

void forgetAddSent(const QString& recordId)
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (defaults.objectForKey(addSentKey(recordId)).isValid()) {
        defaults.setObjects({{addSentKey(recordId), QVariant()},
                             {addSentOnBloggerKey(recordId), QVariant()},
                             {addSentTitlesKey(recordId), QVariant()}});
    }
}

} // namespace

PostsControllerService::PostsControllerService(std::shared_ptr<GoogleAuthentificationService> service,
                                               QObject* parent)
    : QObject(parent), m_authentificationService(std::move(service)),
      m_postEditor(std::make_unique<PostEditorWindowController>()),
      m_postAutoSaveService(std::make_unique<PostAutoSaveService>()),
      m_postPreviewService(std::make_unique<PostPreviewService>(m_authentificationService))
{
    setupEditorEvents();
}

PostsControllerService::~PostsControllerService()
{
    if (m_uploadPhotosGroupService) {
        m_uploadPhotosGroupService->cancel();
    }
    if (m_postsRemotePersistenceAppService) {
        m_postsRemotePersistenceAppService->cancelPublishing();
    }
}

PostEditorWindowController* PostsControllerService::postEditor() const
{
    Dispatch::requireMainThread("PostsControllerService::postEditor");
    return m_postEditor.get();
}

PostAutoSaveService* PostsControllerService::postAutoSaveService() const
{
    Dispatch::requireMainThread("PostsControllerService::postAutoSaveService");
    return m_postAutoSaveService.get();
}

void PostsControllerService::setupEditorEvents()
{
    PostEditorWindowController& editor = *m_postEditor;
    editor.onSubmitRequest = [this](const BloggerPost& post, const QStringList& images,
                                    PublishedToOfflineUpdateType updateType) {
        onSubmitRequest(post, images, updateType);
    };
    editor.onWindowCloseRequest = [this](bool save) { onWindowCloseRequest(save); };
    editor.onWindowHasClosedWithNoOptions = [this] { onWindowHasClosedWithNoOptions(); };
    editor.onPostPreviewRequest = [this] { showPreview(); };
    editor.onLivePostPreviewRequest = [this] { showLivePreview(); };
    editor.onCancelPublishing = [this] { onCancelPublishing(); };
    connect(&editor, &WindowController::windowWillClose, this, [this] {
        // After the close has run its course.
        Dispatch::toMainThread(this, [this] { editorDidClose(); });
    });
    // While autosave cannot write, a crash would lose the text: the editor says so until a save succeeds.
    PostAutoSaveService* autosave = m_postAutoSaveService.get();
    connect(autosave, &PostAutoSaveService::autosaveFailed, this, [this, autosave](const QString& recordId) {
        if (recordId == autosave->recordId()) {
            m_postEditor->showAutosaveFailed(true);
        }
    });
    connect(autosave, &PostAutoSaveService::autosaved, this, [this, autosave](const QString& recordId) {
        if (recordId == autosave->recordId()) {
            m_postEditor->showAutosaveFailed(false);
        }
    });
}

bool PostsControllerService::hasAnEditingPost() const
{
    Dispatch::requireMainThread("PostsControllerService::hasAnEditingPost");
    return m_postEditor->isWindowOpened();
}

QWidget* PostsControllerService::showEditingPost()
{
    Dispatch::requireMainThread("PostsControllerService::showEditingPost");
    if (!m_postEditor->isWindowOpened()) {
        return nullptr;
    }
    m_postEditor->showWindow();
    return m_postEditor->window();
}

bool PostsControllerService::refuseWhileEditing()
{
    if (!m_postEditor->isWindowOpened()) {
        return false;
    }
    LocalNotificationService().showInfoAlert(
        QStringLiteral("You are already editing a post"),
        QStringLiteral("Please close the current post editor window before opening another post"));
    m_postEditor->showWindow();
    return true;
}

void PostsControllerService::newPost()
{
    Dispatch::requireMainThread("PostsControllerService::newPost");
    if (refuseWhileEditing()) {
        return;
    }
    m_postEditor->holdTypedKeys();
    openEditor(std::nullopt, std::nullopt, false, GoogleServiceConstants::RandomId());
}

void PostsControllerService::editPost(const QString& postId)
{
    Dispatch::requireMainThread("PostsControllerService::editPost");
    openStoredPost(postId, false);
}

void PostsControllerService::offlinePost(const QString& postId)
{
    Dispatch::requireMainThread("PostsControllerService::offlinePost");
    openStoredPost(postId, true);
}

void PostsControllerService::openStoredPost(const QString& postId, bool offline)
{
    if (refuseWhileEditing()) {
        return;
    }
    // What is typed while the post is read is for its title too.
    m_postEditor->holdTypedKeys();
    Async::runThenCallback(
        this,
        [postId] {
            const PostsLocalAccessAppService store;
            const std::optional<BloggerPost> post = store.getPost(postId);
            std::optional<BloggerPost> linked;
            if (post && post->postStatus == PostStatus::Autosaved) {
                linked = store.getPost(post->offlineForPostWithId);
            }
            return std::make_pair(post, linked);
        },
        [this, offline,
         postId](const std::pair<std::optional<BloggerPost>, std::optional<BloggerPost>>& read) {
            const auto& [post, linked] = read;
            if (refuseWhileEditing()) {
                m_postEditor->dropTypedKeys();
                return;
            }
            if (!post) {
                m_postEditor->dropTypedKeys();
                LocalNotificationService().showInfoAlert(
                    QStringLiteral("Cannot open the post"),
                    QStringLiteral("This post is no longer on this computer."));
                Q_EMIT postsEdited({postId}, {}, std::nullopt);
                return;
            }
            if (post->postStatus == PostStatus::Autosaved) {
                openRecord(*post, linked, offline);
                return;
            }
            openEditor(post, post, offline, GoogleServiceConstants::RandomId());
        });
}

void PostsControllerService::openEditor(const std::optional<BloggerPost>& original,
                                        const std::optional<BloggerPost>& shown, bool offline,
                                        const QString& recordId)
{
    // A live preview of the post edited before shows no more of its pictures.
    m_postPreviewService->withdrawPictureGrant();
    EditingSession session;
    session.blogId = original && !original->blogId.isEmpty()
                         ? original->blogId
                         : m_authentificationService->dynamicServiceState().blogId();
    session.original = original;
    session.recordId = recordId;
    session.serial = ++m_lastSerial;
    m_session = session;

    if (offline) {
        m_postEditor->editPostOffline(shown);
    } else {
        m_postEditor->editPost(shown);
    }
    m_postEditor->showWindow();

    PostEditorWindowController* editor = m_postEditor.get();
    const QString blogId = session.blogId;
    m_postAutoSaveService->start(
        [editor, blogId]() -> std::optional<BloggerPost> {
            // Locked while a submit runs: the post was stored at the press, and a save now could undo the
            // record's link to the post Blogger made.
            if (editor->contentLocked()) {
                return std::nullopt;
            }
            std::optional<BloggerPost> post = editor->postFromEditor();
            if (post) {
                post->blogId = blogId;
            }
            return post;
        },
        recordId, original ? original->postId : QString());
}

// The record is offered back over the post it was made from, when that post is still stored; else as a
// post of its own.
void PostsControllerService::openRecord(const BloggerPost& record, const std::optional<BloggerPost>& original,
                                        bool offline)
{
    if (original && original->postStatus != PostStatus::Autosaved && original->postId != record.postId) {
        BloggerPost shown = *original;
        shown.title = record.title;
        shown.content = record.content;
        shown.labels = record.labels;
        shown.publishDate = record.publishDate;
        openEditor(original, shown, offline, record.postId);
        return;
    }
    openEditor(std::nullopt, record, offline, record.postId);
}

void PostsControllerService::recoverAutosavedPosts(const QString& blogId)
{
    Dispatch::requireMainThread("PostsControllerService::recoverAutosavedPosts");
    Async::runThenCallback(
        this,
        [blogId] {
            return PostsLocalAccessAppService().listFilteredPostsForBlog(
                blogId, PostSortOptions::Title, PostSortOrderOptions::Ascending, PostFilterOptions::ByStatus,
                rawValue(PostStatus::Autosaved));
        },
        [this](const QList<BloggerPost>& records) {
            for (const BloggerPost& record : records) {
                const bool queued =
                    std::any_of(m_recoveredPosts.cbegin(), m_recoveredPosts.cend(),
                                [&](const BloggerPost& other) { return other.postId == record.postId; });
                if (!queued) {
                    m_recoveredPosts.append(record);
                }
            }
            openNextRecoveredPost();
        });
}

void PostsControllerService::openNextRecoveredPost()
{
    if (m_recoveredPosts.isEmpty() || m_session || m_postEditor->isWindowOpened()) {
        return;
    }
    const QString recordId = m_recoveredPosts.takeFirst().postId;
    Async::runThenCallback(
        this,
        [recordId] {
            // Read again: the record may have been settled since it was listed.
            const PostsLocalAccessAppService store;
            const std::optional<BloggerPost> record = store.getPost(recordId);
            std::optional<BloggerPost> original;
            if (record && record->offlineForPostWithId != GoogleServiceConstants::NoOfflineId()) {
                original = store.getPost(record->offlineForPostWithId);
            }
            return std::make_pair(record, original);
        },
        [this](const std::pair<std::optional<BloggerPost>, std::optional<BloggerPost>>& read) {
            const auto& [record, original] = read;
            if (!record || record->postStatus != PostStatus::Autosaved) {
                openNextRecoveredPost();
                return;
            }
            if (m_session || m_postEditor->isWindowOpened()) {
                m_recoveredPosts.prepend(*record);
                return;
            }
            openRecord(*record, original, false);
        });
}

void PostsControllerService::editorDidClose()
{
    if (m_postEditor->isWindowOpened()) {
        return;
    }
    m_postPreviewService->withdrawPictureGrant();
    if (m_session) {
        // Closed by other means than the editor's own questions: the record stays to be offered back.
        if (!m_session->publishing) {
            m_postAutoSaveService->finish(false);
            m_session.reset();
        }
    }
    Q_EMIT editorClosed();
    openNextRecoveredPost();
}

PostPreviewService* PostsControllerService::postPreviewService() const
{
    Dispatch::requireMainThread("PostsControllerService::postPreviewService");
    return m_postPreviewService.get();
}

std::optional<BloggerPost> PostsControllerService::postForPreview() const
{
    std::optional<BloggerPost> post = m_postEditor->postFromEditor();
    if (post && m_session) {
        post->blogId = m_session->blogId;
    }
    return post;
}

void PostsControllerService::showPreview()
{
    Dispatch::requireMainThread("PostsControllerService::showPreview");
    if (const std::optional<BloggerPost> post = postForPreview()) {
        m_postPreviewService->showPreview(*post);
    }
}

void PostsControllerService::showLivePreview()
{
    Dispatch::requireMainThread("PostsControllerService::showLivePreview");
    if (const std::optional<BloggerPost> post = postForPreview()) {
        m_postPreviewService->showLivePreview(*post);
    }
}

// ---- The editor's requests -----------------------------------------------------------------------------

void PostsControllerService::onSubmitRequest(const BloggerPost& submitted, const QStringList& images,
                                             PublishedToOfflineUpdateType updateType)
{
    if (!m_session) {
        m_postEditor->setContentLocked(false);
        return;
    }
    if (m_session->publishing) {
        return;
    }
    BloggerPost post = submitted;
    post.blogId = m_session->blogId;
    if (isPublishing(post.postStatus)) {
        uploadImagesThenPublish(post, images);
    } else {
        saveLocally(post, updateType);
    }
}

void PostsControllerService::onWindowCloseRequest(bool save)
{
    if (!m_session) {
        m_postEditor->close();
        return;
    }
    if (!save) {
        finishEditing(std::nullopt);
        return;
    }
    std::optional<BloggerPost> post = m_postEditor->postFromEditor();
    if (!post) {
        finishEditing(std::nullopt);
        return;
    }
    post->blogId = m_session->blogId;
    // Kept as it stands, never published: an offline post, or an offline copy of a post on Blogger.
    post->postStatus = PostStatus::Offline;
    saveLocally(*post, PublishedToOfflineUpdateType::OfflineCopy);
}

void PostsControllerService::onWindowHasClosedWithNoOptions()
{
    if (m_session) {
        forgetAddSent(m_session->recordId);
        m_postAutoSaveService->finish(true);
        m_session.reset();
    }
}

void PostsControllerService::onCancelPublishing()
{
    if (!m_session || !m_session->publishing) {
        return;
    }
    m_session->publishing = 0;
    if (m_uploadPhotosGroupService) {
        m_uploadPhotosGroupService->cancel();
    }
    if (m_postsRemotePersistenceAppService) {
        m_postsRemotePersistenceAppService->cancelPublishing();
    }
    m_postEditor->loading(false);
}

// ---- Publishing ----------------------------------------------------------------------------------------

void PostsControllerService::uploadImagesThenPublish(const BloggerPost& post, const QStringList& images)
{
    const std::uint64_t publishing = ++m_lastPublishing;
    m_session->publishing = publishing;
    m_postEditor->loading(true);
    // Stored before the first byte leaves: a crash from here on leaves the text to be offered back.
    QPointer<PostsControllerService> self = this;
    m_postAutoSaveService->storeNow(post, [self, post, images, publishing](bool stored) {
        if (!self || !self->m_session || self->m_session->publishing != publishing) {
            return;
        }
        if (!stored) {
            self->publishingFailed(
                publishing, QStringLiteral("Your post could not be stored on this computer, so nothing "
                                           "was sent. It is still in the editor."));
            return;
        }
        self->uploadStoredPost(post, images, publishing);
    });
}

void PostsControllerService::uploadStoredPost(const BloggerPost& post, const QStringList& images,
                                              std::uint64_t publishing)
{
    if (images.isEmpty()) {
        publishPost(post, publishing);
        return;
    }
    QPointer<PostsControllerService> self = this;
    auto uploader = UploadPhotosGroupService::create(m_authentificationService);
    m_uploadPhotosGroupService = uploader;
    uploader->onUploadPhotosSuccess = [self, post, publishing](const QHash<QString, QString>& uploaded) {
        Dispatch::toMainThread(self, [post, publishing, uploaded](PostsControllerService* controller) {
            if (!controller->m_session || controller->m_session->publishing != publishing) {
                return;
            }
            BloggerPost withImages = post;
            withImages.content = UploadPhotosGroupService::replaceImages(post.content, uploaded);
            controller->publishPost(withImages, publishing);
        });
    };
    uploader->onUploadPhotosError = [self, publishing](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [publishing, failure](PostsControllerService* controller) {
            controller->publishingFailed(publishing, failure.details);
        });
    };
    uploader->uploadPhotos(images);
}

void PostsControllerService::publishPost(const BloggerPost& post, std::uint64_t publishing)
{
    const std::optional<BloggerPost>& original = m_session->original;
    const std::uint64_t serial = m_session->serial;
    QPointer<PostsControllerService> self = this;
    auto remote = PostsRemotePersistenceAppService::create(m_authentificationService);
    m_postsRemotePersistenceAppService = remote;
    remote->setAutosaveRecordId(m_session->recordId);

    // A reply that comes after a cancel still published the post: it is stored.
    auto succeeded = [self, serial, publishing](const BloggerPost& stored) {
        Dispatch::toMainThread(self, [serial, publishing, stored](PostsControllerService* controller) {
            controller->publishingSucceeded(serial, publishing, stored);
        });
    };
    auto failed = [self, publishing](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [publishing, failure](PostsControllerService* controller) {
            controller->publishingFailed(publishing, failure.details);
        });
    };
    remote->onAddBlogPostSuccess = succeeded;
    remote->onUpdateBlogPostSuccess = succeeded;
    remote->onAddBlogPostError = failed;
    remote->onUpdateBlogPostError = failed;

    if (original && original->postStatus == PostStatus::SyncedCopy) {
        // The copy is published over the post it was made from, and then is that post.
        remote->updateBlogPost(post, original->offlineForPostWithId, original->postId);
    } else if (original && original->isOnBlogger()) {
        remote->updateBlogPost(post, original->postId);
    } else {
        // A new post, or one kept on this computer until now, which the published one replaces.
        addOnce(remote, post, original ? original->postId : QString(), publishing);
    }
}

void PostsControllerService::addOnce(const std::shared_ptr<PostsRemotePersistenceAppService>& remote,
                                     const BloggerPost& post, const QString& replacesLocalPostId,
                                     std::uint64_t publishing)
{
    const QString recordId = m_session->recordId;
    const std::optional<AddSent> earlier = readAddSent(recordId, post.title);
    if (!earlier) {
        writeAddSent(recordId, AddSent{ServiceClock::Sent::now(), {post.title}});
        remote->addBlogPost(post, replacesLocalPostId);
        return;
    }
    // Sent before (a crash, a lost answer, a cancel): the post may be on Blogger already, under any title
    // it was sent with, and is then updated rather than added a second time. This try's answer may be
    // lost too.
    AddSent record = *earlier;
    if (!record.titles.contains(post.title)) {
        record.titles << post.title;
        writeAddSent(recordId, record);
    }
    QPointer<PostsControllerService> self = this;
    auto web = PostsGoogleService::create(m_authentificationService);
    web->onListBlogPostsBlockSuccess = [self, remote, post, replacesLocalPostId, publishing,
                                        record](const QList<BloggerPost>& listed) {
        // On Blogger's clock, which this listing has just told.
        const QDateTime since = record.sent.onServiceClock().addSecs(-ServiceClock::SlackSeconds);
        std::optional<BloggerPost> earlier;
        for (const BloggerPost& candidate : listed) {
            if (!record.titles.contains(candidate.title) || !candidate.updatedDate ||
                *candidate.updatedDate < since) {
                continue;
            }
            if (!earlier || *candidate.updatedDate > *earlier->updatedDate) {
                earlier = candidate;
            }
        }
        Dispatch::toMainThread(self, [remote, post, replacesLocalPostId, publishing,
                                      earlier](PostsControllerService* controller) {
            if (!controller->m_session || controller->m_session->publishing != publishing) {
                return;
            }
            if (earlier) {
                remote->updateBlogPost(post, earlier->postId, replacesLocalPostId);
            } else {
                remote->addBlogPost(post, replacesLocalPostId);
            }
        });
    };
    web->onListBlogPostsBlockError = [self, publishing](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [publishing, failure](PostsControllerService* controller) {
            controller->publishingFailed(publishing, failure.details);
        });
    };
    web->listBlogPosts(post.blogId);
}

void PostsControllerService::publishingFailed(std::uint64_t publishing, const QString& message)
{
    if (!m_session || m_session->publishing != publishing) {
        return;
    }
    m_session->publishing = 0;
    m_postEditor->loading(false);
    LocalNotificationService().showCriticalAlert(QStringLiteral("Cannot publish your post"), message);
}

void PostsControllerService::publishingSucceeded(std::uint64_t serial, std::uint64_t publishing,
                                                 const BloggerPost& stored)
{
    if (!m_session || m_session->serial != serial) {
        return;
    }
    if (m_session->publishing != publishing && stored.isOnBlogger()) {
        // Cancelled, but Blogger had it already: the editor keeps what was typed since, and publishing
        // again updates this post.
        QStringList changed{stored.postId, m_session->recordId};
        if (m_session->original) {
            changed << m_session->original->postId;
        }
        m_session->original = stored;
        m_postAutoSaveService->setEditedPostId(stored.postId);
        LocalNotificationService().showInfoAlert(
            QStringLiteral("Your post is on Blogger"),
            QStringLiteral(
                "It reached Blogger before the cancel. It stays in the editor; publishing it again "
                "updates it."));
        Q_EMIT postsEdited(changed, {}, std::nullopt);
        return;
    }
    m_session->publishing = 0;
    m_postEditor->loading(false);
    finishEditing(stored);
}

// ---- Keeping posts on this computer --------------------------------------------------------------------

void PostsControllerService::saveLocally(const BloggerPost& post, PublishedToOfflineUpdateType updateType)
{
    const std::optional<BloggerPost> original = m_session->original;
    const std::uint64_t serial = m_session->serial;

    if (original && original->isOnBlogger() && updateType == PublishedToOfflineUpdateType::NoUpdate) {
        finishEditing(std::nullopt);
        return;
    }
    struct Kept
    {
        BloggerPost post;
        bool saved = false;
    };
    Async::runThenCallback(
        this,
        [post, original, updateType] {
            Kept kept;
            kept.post = PostsLocalAccessAppService().keepPostLocally(post, original, updateType, &kept.saved);
            return kept;
        },
        [this, serial, original, updateType](const Kept& kept) {
            if (!m_session || m_session->serial != serial) {
                return;
            }
            if (!kept.saved) {
                // Nothing is lost: the post stays in the editor and in its autosave.
                m_postEditor->setContentLocked(false);
                LocalNotificationService().showCriticalAlert(
                    QStringLiteral("Cannot save your post"),
                    QStringLiteral(
                        "The post could not be stored on this computer. It is still in the editor."));
                return;
            }
            if (updateType == PublishedToOfflineUpdateType::DeletePublishedVersion && original &&
                original->isOnBlogger()) {
                deletePublishedVersion(kept.post, original->postId);
                return;
            }
            finishEditing(kept.post);
        });
}

void PostsControllerService::deletePublishedVersion(const BloggerPost& offlineCopy,
                                                    const QString& publishedPostId)
{
    const std::uint64_t publishing = ++m_lastPublishing;
    m_session->publishing = publishing;
    m_postEditor->loading(true);
    const std::uint64_t serial = m_session->serial;
    QPointer<PostsControllerService> self = this;
    auto remote = PostsRemotePersistenceAppService::create(m_authentificationService);
    m_postsRemotePersistenceAppService = remote;
    remote->onDeleteBlogPostSuccess = [self, serial, publishing, offlineCopy] {
        Dispatch::toMainThread(self, [serial, publishing, offlineCopy](PostsControllerService* controller) {
            controller->publishingSucceeded(serial, publishing, offlineCopy);
        });
    };
    remote->onDeleteBlogPostError = [self, serial, offlineCopy](const BloggerSuccessResponse& failure) {
        Dispatch::toMainThread(self, [serial, offlineCopy, failure](PostsControllerService* controller) {
            if (!controller->m_session || controller->m_session->serial != serial) {
                return;
            }
            controller->m_session->publishing = 0;
            controller->m_postEditor->loading(false);
            // The copy is stored: nothing of the post is lost, only the version on Blogger stays.
            LocalNotificationService().showCriticalAlert(
                QStringLiteral("Cannot delete the published post"),
                QStringLiteral("Your offline copy is saved, and the post is still on Blogger. ") +
                    failure.details);
            controller->finishEditing(offlineCopy);
        });
    };
    remote->deleteBlogPost(publishedPostId, offlineCopy.blogId);
}

void PostsControllerService::finishEditing(const std::optional<BloggerPost>& kept)
{
    if (m_session) {
        forgetAddSent(m_session->recordId);
    }
    // What the session may have changed in the store: the post kept, the post it started from (and
    // the published post of a synced copy); its autosave record goes.
    QStringList changed;
    QStringList discarded;
    if (m_session) {
        discarded << m_session->recordId;
        if (m_session->original) {
            changed << m_session->original->postId << m_session->original->offlineForPostWithId;
        }
    }
    if (kept) {
        changed << kept->postId;
    }
    changed.removeAll(GoogleServiceConstants::NoOfflineId());
    changed.removeAll(QString());
    m_postAutoSaveService->finish(true);
    m_session.reset();
    m_postEditor->close();
    Q_EMIT postsEdited(changed, discarded, kept);
}

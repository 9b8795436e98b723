#include "PostAutoSaveService.h"

#include "common/Async.h"
#include "common/GoogleServiceConstants.h"
#include "platform/Dispatch.h"
#include "store/PostsLocalAccessAppService.h"

PostAutoSaveService::PostAutoSaveService(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(AutoSaveIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PostAutoSaveService::autosave);
    // One writer: the saves and the removal reach the store in the order they were asked for.
    m_storeQueue.setMaxThreadCount(1);
    m_storeQueue.setExpiryTimeout(-1);
}

PostAutoSaveService::~PostAutoSaveService()
{
    m_timer.stop();
    m_storeQueue.waitForDone();
}

BloggerPost PostAutoSaveService::autosaveRecord(const BloggerPost& edited, const QString& recordId,
                                                const QString& editedPostId)
{
    BloggerPost record = edited;
    record.postId = recordId;
    record.postStatus = PostStatus::Autosaved;
    record.offlineForPostWithId =
        editedPostId.isEmpty() ? GoogleServiceConstants::NoOfflineId() : editedPostId;
    return record;
}

void PostAutoSaveService::discardRecord(const QString& recordId)
{
    PostsLocalAccessAppService().discardAutosaveRecord(recordId);
}

void PostAutoSaveService::storeNow(const BloggerPost& edited, std::function<void(bool stored)> then)
{
    if (m_recordId.isEmpty()) {
        Dispatch::toMainThread(this, [then] { then(false); });
        return;
    }
    const BloggerPost record = autosaveRecord(edited, m_recordId, m_editedPostId);
    m_lastWritten = record;
    Async::then(Async::run(m_storeQueue,
                           [record] {
                               bool written = false;
                               PostsLocalAccessAppService().addOrUpdatePost(record, &written);
                               return written;
                           }),
                this, [this, record, then](bool written) {
                    if (!written && m_lastWritten == record) {
                        m_lastWritten.reset();
                    }
                    if (written) {
                        Q_EMIT autosaved(record.postId, record.content);
                    }
                    then(written);
                });
}

void PostAutoSaveService::start(PostProvider provider, const QString& recordId, const QString& editedPostId)
{
    m_provider = std::move(provider);
    m_recordId = recordId;
    m_editedPostId = editedPostId;
    m_lastWritten.reset();
    m_timer.start();
}

void PostAutoSaveService::setEditedPostId(const QString& editedPostId)
{
    m_editedPostId = editedPostId;
    m_lastWritten.reset();
}

bool PostAutoSaveService::isRunning() const
{
    return m_timer.isActive();
}

QString PostAutoSaveService::recordId() const
{
    return m_recordId;
}

void PostAutoSaveService::setInterval(int milliseconds)
{
    m_timer.setInterval(milliseconds);
}

int PostAutoSaveService::interval() const
{
    return m_timer.interval();
}

void PostAutoSaveService::enqueue(std::function<void()> work)
{
    m_storeQueue.start(std::move(work));
}

void PostAutoSaveService::waitForStoreWork()
{
    m_storeQueue.waitForDone();
}

void PostAutoSaveService::autosave()
{
    if (!m_provider || m_recordId.isEmpty()) {
        return;
    }
    const std::optional<BloggerPost> edited = m_provider();
    if (!edited) {
        return;
    }
    const QString recordId = m_recordId;
    // An empty post is nothing to offer back after a crash.
    if (edited->title.isEmpty() && edited->content.isEmpty() && edited->labels.isEmpty()) {
        if (m_lastWritten) {
            m_lastWritten.reset();
            enqueue([recordId] { discardRecord(recordId); });
        }
        return;
    }
    const BloggerPost record = autosaveRecord(*edited, recordId, m_editedPostId);
    if (m_lastWritten && *m_lastWritten == record) {
        return;
    }
    m_lastWritten = record;
    Async::then(Async::run(m_storeQueue,
                           [record] {
                               bool written = false;
                               PostsLocalAccessAppService().addOrUpdatePost(record, &written);
                               return written;
                           }),
                this, [this, record](bool written) {
                    if (!written) {
                        // Tried again at the next turn of the timer.
                        if (m_lastWritten == record) {
                            m_lastWritten.reset();
                        }
                        Q_EMIT autosaveFailed(record.postId);
                        return;
                    }
                    Q_EMIT autosaved(record.postId, record.content);
                });
}

void PostAutoSaveService::finish(bool discard)
{
    m_timer.stop();
    m_provider = {};
    const QString recordId = m_recordId;
    m_recordId.clear();
    m_editedPostId.clear();
    m_lastWritten.reset();
    if (discard && !recordId.isEmpty()) {
        enqueue([recordId] { discardRecord(recordId); });
    }
}

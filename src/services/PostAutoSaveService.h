#pragma once

#include "model/BloggerPost.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <optional>

// Keeps the post being edited in the local store as an "Autosaved" post, every 10 seconds while the editor
// is open, so an unexpected exit loses at most that much. The record is a row of its own (its post id is
// the record id, its offline link the id of the post being edited), never the edited post's own row.
// The timer runs on the main thread and only takes the post; the store writes run one after another on a
// thread of their own, in the order they were asked for.
class PostAutoSaveService : public QObject
{
    Q_OBJECT
public:
    static constexpr int AutoSaveIntervalMs = 10000;
    using PostProvider = std::function<std::optional<BloggerPost>()>;

    explicit PostAutoSaveService(QObject* parent = nullptr);
    // Waits for the store work already asked for.
    ~PostAutoSaveService() override;

    // From now on the provider's post is stored under recordId at every interval. editedPostId is the
    // stored post being edited, empty for a new one.
    void start(PostProvider provider, const QString& recordId, const QString& editedPostId);
    // One save now, as the timer makes it.
    void autosave();
    // The post stored under the record now, whatever it held; `then` learns on the main thread whether
    // it reached the store. A post is stored this way before anything of it is sent to Blogger.
    void storeNow(const BloggerPost& edited, std::function<void(bool stored)> then);
    // Stops saving. With discardRecord the record is removed once the writes asked for before have run;
    // a row that is no longer an autosave (saved meanwhile under the same id) is left alone.
    void finish(bool discardRecord);

    // The stored post being edited is now this one (it was published meanwhile); the next save links the
    // record to it.
    void setEditedPostId(const QString& editedPostId);
    bool isRunning() const;
    QString recordId() const;
    void setInterval(int milliseconds);
    int interval() const;
    // Blocks until the store work asked for so far has run.
    void waitForStoreWork();

    // The stored form of the edited post.
    static BloggerPost autosaveRecord(const BloggerPost& edited, const QString& recordId,
                                      const QString& editedPostId);
    // Removes the record when it is still an autosave.
    static void discardRecord(const QString& recordId);

Q_SIGNALS:
    // A save of this content reached the store (main thread).
    void autosaved(const QString& recordId, const QString& content);
    // A timed save did not reach the store (a full or read-only disk, a database gone); the next turn of
    // the timer tries again (main thread).
    void autosaveFailed(const QString& recordId);

private:
    void enqueue(std::function<void()> work);

    QTimer m_timer;
    QThreadPool m_storeQueue;
    PostProvider m_provider;
    QString m_recordId;
    QString m_editedPostId;
    // What the store holds under the record id, as far as this service wrote it.
    std::optional<BloggerPost> m_lastWritten;
};

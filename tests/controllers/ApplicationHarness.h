#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerPost.h"
#include "model/BloggerUser.h"
#include "platform/Alert.h"

#include <QDateTime>
#include <QList>
#include <QQueue>
#include <QString>
#include <QWidget>

#include <memory>

class AppDelegate;
class ApplicationWindowController;

// Runs the whole application in this process, on a data folder of its own, the way main() does, and
// records the alerts it shows (questions are answered from a queue, by button index).
class ApplicationHarness
{
public:
    ApplicationHarness();
    ~ApplicationHarness();
    ApplicationHarness(const ApplicationHarness&) = delete;
    ApplicationHarness& operator=(const ApplicationHarness&) = delete;

    // A signed-in account with its blogs, the current blog already downloaded once.
    static void storeAccount(const BloggerUser& user, const QList<BloggerBlog>& blogs,
                             const QString& currentBlogId);
    static BloggerPost storePost(const QString& blogId, const QString& postId, const QString& title,
                                 PostStatus status, const QDateTime& updated, std::int64_t commentsCount = 0,
                                 const QString& content = QString());
    static void removeAllPosts(const QString& blogId);

    // Starts the application; false when another instance owns the data folder.
    bool launch();
    void quit();
    AppDelegate* delegate() const { return m_delegate.get(); }
    ApplicationWindowController* windowController() const;
    QWidget* window() const;
    // The text the reading pane shows; "<no answer>" when its page gives none within the usual wait.
    QString postViewText() const;

    template <typename T> T* find(const QString& objectName) const
    {
        QWidget* root = window();
        return root ? root->findChild<T*>(objectName) : nullptr;
    }

    // A barrier, no fixed time: the main thread, the thread pool and the network thread have run what was
    // queued on them and what that queued in turn. False if they never came to rest.
    [[nodiscard]] static bool settle();
    // For "nothing more happened after a time-out": a timer of that length started now has fired and the
    // work queued by then has run, so every time-out of that length started earlier has fired too.
    [[nodiscard]] static bool settleAfterTimeout(int milliseconds);

    QList<AlertRequest> alerts;
    // Button index chosen for each question, in order; an empty queue answers the last button.
    QQueue<int> answers;
    // Puts back the recording presenter after a test installed its own.
    void recordAlerts();

private:
    std::unique_ptr<AppDelegate> m_delegate;
};

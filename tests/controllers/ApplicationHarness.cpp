#include "ApplicationHarness.h"
#include "QueuedWork.h"

#include "common/GoogleDateService.h"
#include "common/StringServices.h"
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationWindowController.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/main/PostContentViewController.h"

#include <QApplication>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

ApplicationHarness::ApplicationHarness()
{
    recordAlerts();
}

void ApplicationHarness::recordAlerts()
{
    Alert::setPresenter([this](const AlertRequest& request) {
        alerts << request;
        if (request.completion) {
            const int last = request.buttons.isEmpty() ? 0 : int(request.buttons.size()) - 1;
            request.completion(answers.isEmpty() ? last : answers.dequeue());
        }
    });
}

ApplicationHarness::~ApplicationHarness()
{
    quit();
    Alert::setPresenter({});
}

void ApplicationHarness::storeAccount(const BloggerUser& user, const QList<BloggerBlog>& blogs,
                                      const QString& currentBlogId)
{
    SQLAccess().createDababaseStructure();
    UserBlogsLocalAccessAppService store;
    store.addOrUpdateUser(user);
    for (const BloggerBlog& blog : blogs) {
        store.addOrUpdateBlog(blog);
        PersistentServiceState().setBlogWasQueried(blog.blogId, true);
    }
    PersistentAccessTokens tokens(user.userId);
    tokens.setAccessToken(QStringLiteral("access-") + user.userId);
    tokens.setRefreshToken(QStringLiteral("refresh-") + user.userId);
    PersistentServiceState state;
    state.setUserId(user.userId);
    state.setBlogId(currentBlogId);
}

BloggerPost ApplicationHarness::storePost(const QString& blogId, const QString& postId, const QString& title,
                                          PostStatus status, const QDateTime& updated,
                                          std::int64_t commentsCount, const QString& content)
{
    const QString html = content.isEmpty() ? QStringLiteral("<p>Body of %1</p>").arg(title) : content;
    BloggerPost post(blogId, postId, updated.addDays(-1), updated, title, html,
                     StringServices().postPreview(html), {}, commentsCount,
                     QStringLiteral("https://example.blogspot.com/") + postId + ".html", status,
                     QStringLiteral("0"));
    PostsLocalAccessAppService().addOrUpdatePost(post);
    return *PostsLocalAccessAppService().getPost(postId);
}

void ApplicationHarness::removeAllPosts(const QString& blogId)
{
    PostsLocalAccessAppService().deleteAllPostsForBlogWithoutCascade(blogId);
}

bool ApplicationHarness::launch()
{
    m_delegate = std::make_unique<AppDelegate>();
    if (!m_delegate->applicationWillFinishLaunching()) {
        m_delegate.reset();
        return false;
    }
    // The launch installs the message-box presenter: take the alerts back.
    recordAlerts();
    m_delegate->applicationDidFinishLaunching();
    return true;
}

void ApplicationHarness::quit()
{
    if (!m_delegate) {
        return;
    }
    m_delegate->applicationWillTerminate();
    m_delegate.reset();
    (void)settle(); // best effort: quit() also runs from destructors
}

QString ApplicationHarness::postViewText() const
{
    WebView* web = windowController()->postContentViewController()->webviewOutlet();
    // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
    auto text = std::make_shared<std::optional<QString>>();
    web->page()->toPlainText([text](const QString& value) { *text = value; });
    if (!QTest::qWaitFor([&] { return text->has_value(); }, 20000)) {
        return QStringLiteral("<no answer>");
    }
    return **text;
}

ApplicationWindowController* ApplicationHarness::windowController() const
{
    return m_delegate ? m_delegate->applicationWindowController() : nullptr;
}

QWidget* ApplicationHarness::window() const
{
    ApplicationWindowController* controller = windowController();
    return controller && controller->isWindowLoaded() ? controller->window() : nullptr;
}

bool ApplicationHarness::settle()
{
    return TestSupport::queuedWorkDone();
}

bool ApplicationHarness::settleAfterTimeout(int milliseconds)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(milliseconds);
    return QTest::qWaitFor([&] { return !timer.isActive(); }, milliseconds + 60000) && settle();
}

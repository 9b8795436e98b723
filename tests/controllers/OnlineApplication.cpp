#include "OnlineApplication.h"

#include "TestSupport.h"
#include "WidgetDriving.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationDownloadControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/gui/ImageView.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/UserBlogsLocalAccessAppService.h"
#include "ui/main/ImageButtonView.h"
#include "ui/main/TableContentViewController.h"
#include "ui/main/TableTopViewController.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QTest>

#include <algorithm>

namespace {

constexpr int PageTimeout = 20000;

} // namespace

OnlineApplication::OnlineApplication(const QJsonObject& seed)
{
    if (!seed.isEmpty()) {
        QString error;
        if (!standin.loadSeed(seed, &error)) {
            qFatal("The seed was refused: %s", qPrintable(error));
        }
    }
    if (standin.start(0) == 0) {
        qFatal("The stand-in did not start: %s", qPrintable(standin.errorString()));
    }
    TestSupport::pointGoogleServicesAt(standin.serverUrl());
}

OnlineApplication::~OnlineApplication()
{
    // Stalled replies are let go first, so nothing waits on a stand-in that is gone.
    standin.clearFaults();
    quit();
    standin.stop();
}

void OnlineApplication::forgetEverything()
{
    SQLAccess().createDababaseStructure();
    UserBlogsLocalAccessAppService users;
    for (const BloggerUser& user : users.listUsers()) {
        users.deleteUser(user.userId, true);
        PersistentAccessTokens tokens(user.userId);
        tokens.setAccessToken(std::nullopt);
        tokens.setRefreshToken(std::nullopt);
    }
    PersistentServiceState state;
    for (const StandinAccount& account : standin.accounts()) {
        PersistentAccessTokens tokens(account.id);
        tokens.setAccessToken(std::nullopt);
        tokens.setRefreshToken(std::nullopt);
    }
    for (const StandinBlog& blog : standin.blogs()) {
        PostsLocalAccessAppService().deleteAllPostsForBlogWithoutCascade(blog.id);
        state.setBlogWasQueried(blog.id, false);
        state.setLastUpdated(blog.id, QDateTime());
    }
    state.setUserId(std::nullopt);
    state.setBlogId(std::nullopt);
}

void OnlineApplication::storeSignedInAccount(const QString& accountId, const QString& blogId,
                                             bool blogQueried)
{
    SQLAccess().createDababaseStructure();
    UserBlogsLocalAccessAppService store;
    for (const StandinAccount& account : standin.accounts()) {
        if (account.id != accountId) {
            continue;
        }
        store.addOrUpdateUser(BloggerUser(account.id, account.name, QString(), account.picture));
        for (const StandinBlog& blog : standin.blogs(account.id)) {
            store.addOrUpdateBlog(BloggerBlog(blog.id, account.id, blog.name,
                                              standin.serverUrl().toString() + "/" + blog.path + "/",
                                              QStringLiteral("LIVE")));
        }
    }
    PersistentAccessTokens tokens(accountId);
    tokens.setAccessToken(standin.issueAccessToken(accountId));
    tokens.setRefreshToken(standin.issueRefreshToken(accountId));
    PersistentServiceState state;
    state.setUserId(accountId);
    state.setBlogId(blogId);
    state.setBlogWasQueried(blogId, blogQueried);
}

bool OnlineApplication::launch(double timeoutSeconds)
{
    m_app = std::make_unique<ApplicationHarness>();
    if (!m_app->launch()) {
        return false;
    }
    authentificationService().setTimeoutInterval(timeoutSeconds);
    return true;
}

void OnlineApplication::quit()
{
    if (m_app) {
        m_app->quit();
        m_app.reset();
    }
}

GoogleAuthentificationService& OnlineApplication::authentificationService() const
{
    return *m_app->delegate()->authentificationService();
}

QWidget* OnlineApplication::welcomeWindow() const
{
    WelcomeWindowController* welcome = m_app->delegate()->welcomeWindowController();
    return welcome && welcome->isWindowLoaded() ? welcome->window() : nullptr;
}

QWidget* OnlineApplication::mainWindow() const
{
    return m_app->window();
}

AuthentificationWebviewWindowController* OnlineApplication::signInWindow() const
{
    return dynamic_cast<AuthentificationWebviewWindowController*>(
        authentificationService().authentificationWindow());
}

bool OnlineApplication::waitForConsentPage()
{
    return QTest::qWaitFor(
        [this] {
            AuthentificationWebviewWindowController* window = signInWindow();
            return window && window->webviewOutlet() && window->window()->isVisible() &&
                   window->webviewOutlet()->title() == QStringLiteral("Request for Permission") &&
                   !window->webviewOutlet()->page()->isLoading();
        },
        PageTimeout);
}

bool OnlineApplication::pressOnConsentPage(const QString& buttonId)
{
    if (!waitForConsentPage()) {
        return false;
    }
    bool done = false;
    QVariant clicked;
    signInWindow()->webviewOutlet()->evaluateScript(
        QStringLiteral(
            "(function() { var b = document.getElementById('%1'); if (!b) return false; b.click(); "
            "return true; })()")
            .arg(buttonId),
        [&](const QVariant& result) {
            clicked = result;
            done = true;
        });
    return QTest::qWaitFor([&] { return done; }, PageTimeout) && clicked == QVariant(true);
}

bool OnlineApplication::allowAs(const QString& accountId)
{
    if (!waitForConsentPage()) {
        return false;
    }
    bool done = false;
    QVariant picked;
    signInWindow()->webviewOutlet()->evaluateScript(
        QStringLiteral("(function() { var r = document.getElementById('account-%1'); if (!r) return false; "
                       "r.checked = true; return true; })()")
            .arg(accountId),
        [&](const QVariant& result) {
            picked = result;
            done = true;
        });
    if (!QTest::qWaitFor([&] { return done; }, PageTimeout) || picked != QVariant(true)) {
        return false;
    }
    return pressOnConsentPage(QStringLiteral("allow"));
}

QStringList OnlineApplication::listedTitles() const
{
    QStringList titles;
    ApplicationWindowController* window = m_app->windowController();
    if (!window || !window->tableContentViewController()) {
        return titles;
    }
    for (const BloggerPost& post : window->tableContentViewController()->postsList()) {
        titles << post.title;
    }
    return titles;
}

QString OnlineApplication::listHeader() const
{
    ApplicationWindowController* window = m_app->windowController();
    if (!window || !window->isWindowLoaded() || !window->tableTopViewController()) {
        return QString();
    }
    return window->tableTopViewController()->postsTypeLabelOutlet()->text();
}

bool OnlineApplication::waitForListHeader(const QString& text, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return listHeader() == text; }, timeoutMs);
}

bool OnlineApplication::isLoading() const
{
    ApplicationWindowController* window = m_app->windowController();
    if (!window || !window->isWindowLoaded()) {
        return false;
    }
    TableTopViewController* header = window->tableTopViewController();
    const bool spinning = header->spinningIndicatorOutlet()->isVisibleTo(header->view());
    const bool downloadOffered = header->downloadPostsButtonOutlet()->isVisibleTo(header->view());
    // One of the two stands in the header at any time.
    Q_ASSERT(spinning != downloadOffered);
    return spinning;
}

int OnlineApplication::runningOperations() const
{
    ApplicationWindowController* window = m_app->windowController();
    return window ? window->applicationControllerService()
                        ->applicationDownloadControllerService()
                        ->runningOperations()
                  : 0;
}

bool OnlineApplication::waitForOperationsToEnd()
{
    // The header shows the busy state a main-thread turn or two after the count changes.
    return QTest::qWaitFor([this] { return runningOperations() == 0 && !isLoading(); }, 20000) &&
           ApplicationHarness::settle();
}

void OnlineApplication::pressDownload()
{
    QWidget* button = m_app->windowController()->tableTopViewController()->downloadPostsButtonOutlet();
    TestSupport::press(button);
}

QStringList OnlineApplication::standinTitles(const QString& blogId, bool drafts) const
{
    QList<StandinPost> posts = standin.blog(blogId)->posts;
    posts.erase(std::remove_if(posts.begin(), posts.end(),
                               [drafts](const StandinPost& p) { return p.draft != drafts; }),
                posts.end());
    std::stable_sort(posts.begin(), posts.end(),
                     [](const StandinPost& a, const StandinPost& b) { return a.updated > b.updated; });
    QStringList titles;
    for (const StandinPost& post : posts) {
        titles << post.title;
    }
    return titles;
}

int OnlineApplication::criticalAlerts() const
{
    return int(std::count_if(m_app->alerts.begin(), m_app->alerts.end(),
                             [](const AlertRequest& a) { return a.style == AlertStyle::Critical; }));
}

QStringList OnlineApplication::alertTexts() const
{
    QStringList texts;
    for (const AlertRequest& alert : m_app->alerts) {
        texts << alert.title + QStringLiteral(": ") + alert.message;
    }
    return texts;
}

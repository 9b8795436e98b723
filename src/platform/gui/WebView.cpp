#include "WebView.h"

#include "HtmlSchemeHandler.h"
#include "LocalPictureSchemeHandler.h"
#include "UrlRequestInterceptor.h"
#include "WebEngineProfiles.h"
#include "WebPage.h"

#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/LocalPictures.h"

#include <QApplication>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <utility>

WebView::WebView(QWidget* parent)
    : QWebEngineView(parent), m_interceptor(new UrlRequestInterceptor(this)),
      m_alive(std::make_shared<bool>(true))
{
    Dispatch::requireMainThread("WebView");
    connect(this, &QWebEngineView::loadFinished, this, &WebView::onLoadFinished);
    usePage(WebEngineProfiles::offTheRecord());
}

WebView::~WebView()
{
    // Script results still pending are dropped, and the page must go before its profile.
    *m_alive = false;
    releasePage();
}

QString WebView::persistentProfileName() const
{
    return m_persistentProfileName;
}

void WebView::setPersistentProfileName(const QString& name)
{
    if (name == m_persistentProfileName) {
        return;
    }
    m_persistentProfileName = name;
    usePage(name.isEmpty() ? WebEngineProfiles::offTheRecord() : WebEngineProfiles::persistent(name));
}

void WebView::usePage(std::shared_ptr<QWebEngineProfile> profile)
{
    WebPage* page = putInNewPage(profile.get());
    releasePage();
    m_page = page;
    m_profile = std::move(profile);
    setUpPage();
}

void WebView::replacePage()
{
    std::shared_ptr<QWebEngineProfile> profile =
        m_persistentProfileName.isEmpty() ? WebEngineProfiles::offTheRecord() : m_profile;
    WebPage* old = std::exchange(m_page, putInNewPage(profile.get()));
    old->setNavigationPolicy([](const QUrl&, QWebEnginePage::NavigationType, bool) { return false; });
    // The old page keeps its profile until it goes: a page must go before its profile.
    connect(old, &QObject::destroyed, old, [oldProfile = std::exchange(m_profile, std::move(profile))] {});
    old->deleteLater();
    setUpPage();
}

WebPage* WebView::putInNewPage(QWebEngineProfile* profile)
{
    auto* page = new WebPage(profile, this);
    page->setUrlRequestInterceptor(m_interceptor);
    page->setNavigationPolicy(m_navigationPolicy);
    setPage(page);
    // Results of scripts run in the old page belong to a document that is gone.
    *m_alive = false;
    m_alive = std::make_shared<bool>(true);
    m_pageEnded = false;
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this, page] {
        if (page == m_page) {
            m_pageEnded = true;
        }
    });
    return page;
}

void WebView::setUpPage()
{
    m_htmlSchemeHandler = nullptr;
    m_pictureSchemeHandler = nullptr;
    if (m_strangerContent) {
        applyStrangerSettings();
    }
    if (!m_localPictures.isEmpty()) {
        setLocalPictures(QStringList(m_localPictures.cbegin(), m_localPictures.cend()));
    }
}

void WebView::holdStrangerContent(bool runScripts)
{
    m_strangerContent = true;
    m_runScripts = runScripts;
    applyStrangerSettings();
}

void WebView::applyStrangerSettings()
{
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, m_runScripts);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    // Our own default page and its style sheet only.
    m_interceptor->setLocalFolders(QStringList{ApplicationFolders::resourcesFolder()});
}

void WebView::setLocalPictures(const QStringList& names)
{
    // A page whose scripts run could read a picture of a custom scheme back through a canvas.
    const bool scriptsRun = !m_strangerContent || m_runScripts;
    m_localPictures = scriptsRun ? QSet<QString>() : QSet<QString>(names.cbegin(), names.cend());
    if (!m_pictureSchemeHandler) {
        if (m_localPictures.isEmpty()) {
            return;
        }
        // One handler per view: each answers only the pictures of its own page. Views that share a
        // persistent profile never show posts.
        const QByteArray& scheme = LocalPictures::schemeName();
        m_pictureSchemeHandler = qobject_cast<LocalPictureSchemeHandler*>(
            const_cast<QWebEngineUrlSchemeHandler*>(m_profile->urlSchemeHandler(scheme)));
        if (!m_pictureSchemeHandler) {
            m_pictureSchemeHandler = new LocalPictureSchemeHandler(m_profile.get());
            m_profile->installUrlSchemeHandler(scheme, m_pictureSchemeHandler);
        }
    }
    m_pictureSchemeHandler->setAllowedNames(m_localPictures);
}

void WebView::releasePage()
{
    delete m_page;
    m_page = nullptr;
    m_profile.reset();
}

void WebView::loadAddress(const QUrl& address)
{
    m_page->load(address);
}

void WebView::loadHtml(const QString& html, const QUrl& baseAddress)
{
    const bool localBase = baseAddress.isLocalFile() ||
                           baseAddress.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
    m_page->setHtml(html, m_strangerContent && localBase ? QUrl() : baseAddress);
}

QUrl WebView::loadDocument(const QString& html)
{
    if (!m_htmlSchemeHandler) {
        // Handlers belong to a profile, and a persistent profile is shared by views: one handler each.
        const QByteArray& scheme = HtmlSchemeHandler::schemeName();
        m_htmlSchemeHandler = qobject_cast<HtmlSchemeHandler*>(
            const_cast<QWebEngineUrlSchemeHandler*>(m_profile->urlSchemeHandler(scheme)));
        if (!m_htmlSchemeHandler) {
            m_htmlSchemeHandler = new HtmlSchemeHandler(m_profile.get());
            m_profile->installUrlSchemeHandler(scheme, m_htmlSchemeHandler);
        }
    }
    const QUrl address = m_htmlSchemeHandler->addDocument(html);
    m_page->load(address);
    return address;
}

void WebView::setLocalFolders(std::optional<QStringList> folders)
{
    m_interceptor->setLocalFolders(std::move(folders));
}

void WebView::setContextMenuFilter(ContextMenuFilter filter)
{
    m_contextMenuFilter = std::move(filter);
}

bool WebView::focusNextPrevChild(bool next)
{
    // While a new document takes the old one's place, the engine can hand the focus on twice for one
    // Tab, and the second would skip a control. Once the focus has left the view it is not ours to move.
    QWidget* focus = QApplication::focusWidget();
    if (focus != this && !isAncestorOf(focus)) {
        return true;
    }
    return QWebEngineView::focusNextPrevChild(next);
}

void WebView::childEvent(QChildEvent* event)
{
    // Sent while the dialog is being made: kept off the screen, it picks no native dialog of the platform.
    if (event->added() && event->child()->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(event->child());
        if (widget->windowType() == Qt::Dialog) {
            widget->setAttribute(Qt::WA_DontShowOnScreen);
            widget->installEventFilter(this);
        }
    }
    QWebEngineView::childEvent(event);
}

bool WebView::eventFilter(QObject* watched, QEvent* event)
{
    // Sent before its window is shown: a colour dialog has let itself onto the screen again by then. It
    // blocks no window either (hidden, a modal window off the screen would stay on the application's list
    // of modal windows), and is refused once its answer is awaited; queued, as it is still being shown.
    if (event->type() == QEvent::Show && watched->parent() == this) {
        auto* dialog = static_cast<QWidget*>(watched);
        dialog->setWindowModality(Qt::NonModal);
        dialog->setAttribute(Qt::WA_DontShowOnScreen);
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    }
    return QWebEngineView::eventFilter(watched, event);
}

void WebView::contextMenuEvent(QContextMenuEvent* event)
{
    const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
    if (m_contextMenuFilter && (!request || !m_contextMenuFilter(*request))) {
        event->accept();
        return;
    }
    QWebEngineView::contextMenuEvent(event);
}

void WebView::evaluateScript(const QString& script, ScriptCallback callback, quint32 worldId)
{
    m_page->runJavaScript(script, worldId,
                          [alive = m_alive, callback = std::move(callback)](const QVariant& result) {
                              if (*alive && callback) {
                                  callback(result);
                              }
                          });
}

void WebView::evaluateScriptWithin(const QString& script, DeadlineCallback callback, quint32 worldId)
{
    struct Call
    {
        DeadlineCallback callback;
        void settle(ScriptAnswer answer, const QVariant& result = {})
        {
            if (DeadlineCallback settled = std::exchange(callback, {})) {
                settled(answer, result);
            }
        }
    };
    auto call = std::make_shared<Call>(Call{std::move(callback)});
    // Tied to the page: a replaced page's calls are dropped, as its results are.
    auto* deadline = new QTimer(m_page);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, deadline, [call, deadline] {
        deadline->deleteLater();
        call->settle(ScriptAnswer::NoAnswer);
    });
    // Queued: the engine may hand back the calls of an ended page, empty, before it says that it ended.
    const auto ended = [call, deadline] {
        deadline->deleteLater();
        call->settle(ScriptAnswer::PageEnded);
    };
    connect(m_page, &QWebEnginePage::renderProcessTerminated, deadline, ended, Qt::QueuedConnection);
    if (m_pageEnded) {
        QMetaObject::invokeMethod(deadline, ended, Qt::QueuedConnection);
        return;
    }
    deadline->start(m_scriptDeadlineMs);
    evaluateScript(
        script,
        [this, call, deadline](const QVariant& result) {
            if (!result.isValid()) {
                // Perhaps the page ended; its news is on its way.
                QTimer::singleShot(0, deadline, [this, call, deadline, result] {
                    deadline->deleteLater();
                    call->settle(m_pageEnded ? ScriptAnswer::PageEnded : ScriptAnswer::Answered, result);
                });
                return;
            }
            deadline->deleteLater();
            call->settle(ScriptAnswer::Answered, result);
        },
        worldId);
}

void WebView::setLoadFinishedBlock(LoadFinishedBlock block)
{
    m_loadFinishedBlock = std::move(block);
}

void WebView::setNavigationPolicy(NavigationPolicy policy)
{
    m_navigationPolicy = std::move(policy);
    m_page->setNavigationPolicy(m_navigationPolicy);
}

void WebView::setRequestInterception(RequestInterception interception)
{
    m_interceptor->setInterception(std::move(interception));
}

WebPage* WebView::webPage() const
{
    return m_page;
}

QWebEngineProfile* WebView::webProfile() const
{
    return m_profile.get();
}

void WebView::onLoadFinished(bool ok)
{
    const QString pageTitle = title();
    if (m_loadFinishedBlock) {
        m_loadFinishedBlock(ok, pageTitle);
    }
    Q_EMIT pageLoaded(ok, pageTitle);
}

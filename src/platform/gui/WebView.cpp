#include "WebView.h"

#include "HtmlSchemeHandler.h"
#include "UrlRequestInterceptor.h"
#include "WebEngineProfiles.h"
#include "WebPage.h"

#include "platform/Dispatch.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineProfile>

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
    auto* page = new WebPage(profile.get(), this);
    page->setUrlRequestInterceptor(m_interceptor);
    page->setNavigationPolicy(m_navigationPolicy);
    setPage(page);
    // Results of scripts run in the old page belong to a document that is gone.
    *m_alive = false;
    m_alive = std::make_shared<bool>(true);
    releasePage();
    m_page = page;
    m_profile = std::move(profile);
    m_htmlSchemeHandler = nullptr;
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
    m_page->setHtml(html, baseAddress);
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

void WebView::setContextMenuFilter(ContextMenuFilter filter)
{
    m_contextMenuFilter = std::move(filter);
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

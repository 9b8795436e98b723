#include "PreviewPage.h"

#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"

#include <QChildEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineSettings>

PreviewPage::PreviewPage(WebView* view) : QObject(view), m_view(view)
{
    view->setNavigationPolicy([this](const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
        return acceptNavigation(url, int(type), isMainFrame);
    });
    connectPage();
    watchInput(view);
    // No reload, back or "open in new window": only copying what is selected.
    view->setContextMenuFilter(
        [](const QWebEngineContextMenuRequest& request) { return !request.selectedText().isEmpty(); });
}

void PreviewPage::connectPage()
{
    connect(m_view->webPage(), &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                // Pages may not open windows of their own; what the user asked for opens in the browser.
                if (request.isUserInitiated() && takeUsersLink(request.requestedUrl())) {
                    ExternalUrlOpener::openWebAddress(request.requestedUrl());
                }
            });
    connect(m_view->webPage(), &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { m_hoveredLink = QUrl(url); });
}

void PreviewPage::unload()
{
    if (!m_view || m_unloaded) {
        return;
    }
    disconnect(m_view->webPage(), nullptr, this, nullptr);
    m_view->replacePage();
    connectPage();
    m_unloaded = true;
    // Loads asked of the old page are not asked of the new one, and nothing is under the pointer.
    m_ownLoads = 0;
    m_hoveredLink.clear();
    m_inputUnused = false;
}

void PreviewPage::restore()
{
    if (!m_unloaded) {
        return;
    }
    m_unloaded = false;
    if (m_view && m_load) {
        m_load();
    }
}

void PreviewPage::watchInput(QObject* object)
{
    // The engine's input widget is a child of the view, made when the page first shows.
    object->installEventFilter(this);
    for (QObject* child : object->children()) {
        if (child->isWidgetType()) {
            watchInput(child);
        }
    }
}

bool PreviewPage::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded: {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child && child->isWidgetType()) {
            watchInput(child);
        }
        break;
    }
    case QEvent::KeyPress:
        // A key held down is one press.
        if (static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            break;
        }
        [[fallthrough]];
    case QEvent::MouseButtonRelease:
    case QEvent::TouchEnd:
        // What a click or a key does in the page follows it: the page sees the input after this filter.
        m_lastUserInput.start();
        m_inputUnused = true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool PreviewPage::acceptNavigation(const QUrl& url, int type, bool isMainFrame)
{
    if (!isMainFrame) {
        // Frames inside the page (a template's widgets) do not take the window away.
        return true;
    }
    if (m_ownLoads > 0) {
        --m_ownLoads;
        return true;
    }
    // A jump to an anchor of the page itself.
    if (m_view && url.hasFragment() &&
        url.adjusted(QUrl::RemoveFragment) == m_view->url().adjusted(QUrl::RemoveFragment)) {
        return true;
    }
    if (type == QWebEnginePage::NavigationTypeLinkClicked && takeUsersLink(url)) {
        ExternalUrlOpener::openWebAddress(url);
    }
    return false;
}

bool PreviewPage::takeUsersLink(const QUrl& url)
{
    if (!m_view || !m_inputUnused || m_lastUserInput.elapsed() >= UserGestureMs) {
        return false;
    }
    // Without scripts only the user moves the page; with them, a page's script could answer any click
    // or key by opening an address of its own.
    const bool scripts = m_view->webPage()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled);
    if (scripts && (m_hoveredLink.isEmpty() || m_hoveredLink.adjusted(QUrl::NormalizePathSegments) !=
                                                   url.adjusted(QUrl::NormalizePathSegments))) {
        return false;
    }
    // A script could click the link again and again: one input opens one link.
    m_inputUnused = false;
    return true;
}

void PreviewPage::loadHtml(const QString& html, const QUrl& baseAddress)
{
    m_load = [this, html, baseAddress] {
        ++m_ownLoads;
        const QUrl base = m_view->holdsStrangerContent() && baseAddress.isLocalFile() ? QUrl() : baseAddress;
        const QByteArray bytes = html.toUtf8();
        if (bytes.size() <= MaximumInlineHtmlBytes) {
            m_view->loadHtml(html, base);
        } else {
            m_view->loadDocument(withBaseElement(html, base));
        }
    };
    if (m_view && !m_unloaded) {
        m_load();
    }
}

void PreviewPage::loadAddress(const QUrl& address)
{
    m_load = [this, address] {
        ++m_ownLoads;
        m_view->loadAddress(address);
    };
    if (m_view && !m_unloaded) {
        m_load();
    }
}

QString PreviewPage::withBaseElement(const QString& html, const QUrl& baseAddress)
{
    if (baseAddress.isEmpty() || !baseAddress.isValid()) {
        return html;
    }
    const QString element = QStringLiteral("<base href=\"") +
                            baseAddress.toString(QUrl::FullyEncoded).toHtmlEscaped() + QStringLiteral("\">");
    static const QRegularExpression head(QStringLiteral("<head\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = head.match(html);
    if (match.hasMatch()) {
        QString out = html;
        out.insert(match.capturedEnd(0), element);
        return out;
    }
    return element + html;
}

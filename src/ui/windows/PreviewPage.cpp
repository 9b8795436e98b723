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
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <utility>

namespace {

// Runs apart from the page's scripts, in every document of the main frame before any of them, so its
// listeners are the first the engine calls for each input: what it records, the page has not yet seen.
// A mouse button or a touch is on the link the engine's own hit test found; a key is on the focused link
// only if the user's own Tab or click focused it (focus moved by input carries the input device, a
// script's focus() does not). A page that clears these listeners (document.open) leaves nothing recorded.
const char* const PressRecorder = R"JS(
(function () {
  'use strict';
  let press = null;
  let usersFocus = null;
  function linkOf(path) {
    for (const node of path) {
      if ((node instanceof HTMLAnchorElement || node instanceof HTMLAreaElement) && node.hasAttribute('href')) {
        return node.href;
      }
      if (node instanceof SVGAElement && node.href.baseVal) {
        return new URL(node.href.baseVal, document.baseURI).href;
      }
    }
    return '';
  }
  function pressed(link) { press = { at: performance.now(), link: link }; }
  addEventListener('pointerdown', function (e) {
    if (e.isTrusted) { pressed(linkOf(e.composedPath())); }
  }, true);
  addEventListener('keydown', function (e) {
    if (!e.isTrusted) { return; }
    const focused = document.activeElement;
    pressed(focused && focused === usersFocus ? linkOf([focused]) : '');
  }, true);
  // The focus going into a frame (a press there, which this document never sees) ends what was recorded.
  addEventListener('blur', function (e) {
    if (e.isTrusted && e.target === window) { press = null; }
  }, true);
  addEventListener('focusin', function (e) {
    if (e.isTrusted) { usersFocus = e.sourceCapabilities ? e.target : null; }
  }, true);
  globalThis.latestPress = function () {
    return press ? [performance.now() - press.at, press.link] : null;
  };
})();
)JS";

} // namespace

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
                if (request.isUserInitiated()) {
                    openIfUsersLink(request.requestedUrl());
                }
            });
    QWebEngineScript recorder;
    recorder.setName(QStringLiteral("press-recorder"));
    recorder.setWorldId(QWebEngineScript::ApplicationWorld);
    recorder.setInjectionPoint(QWebEngineScript::DocumentCreation);
    recorder.setRunsOnSubFrames(false);
    recorder.setSourceCode(QString::fromUtf8(PressRecorder));
    m_view->webPage()->scripts().insert(recorder);
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
    // Loads asked of the old page are not asked of the new one, and no input to it opens a link.
    m_ownLoads = 0;
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
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        m_lastPress.start();
        break;
    case QEvent::KeyPress:
        // A key held down is one press.
        if (static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            break;
        }
        m_lastPress.start();
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
    if (type == QWebEnginePage::NavigationTypeLinkClicked) {
        openIfUsersLink(url);
    }
    return false;
}

void PreviewPage::openIfUsersLink(const QUrl& url)
{
    if (!m_view || !m_inputUnused || m_lastUserInput.elapsed() >= UserGestureMs) {
        return;
    }
    // Without scripts only the user moves the page.
    if (!m_view->webPage()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled)) {
        if (takeInput()) {
            ExternalUrlOpener::openWebAddress(url);
        }
        return;
    }
    // With them, a page's script could answer any click or key by opening an address of its own. The
    // renderer asks about this navigation only after it recorded the press that led to it.
    m_view->evaluateScript(
        QStringLiteral("typeof latestPress === 'function' ? latestPress() : null"),
        [self = QPointer<PreviewPage>(this), url](const QVariant& result) {
            const QVariantList press = result.toList();
            if (!self || press.size() != 2 || !self->m_lastPress.isValid()) {
                return;
            }
            // A press the main document never saw (one in a frame) leaves an older one recorded: only the
            // latest press, younger than the view's, counts. A millisecond covers the two clocks' rounding.
            const double sinceViewPress = double(self->m_lastPress.nsecsElapsed()) / 1e6;
            const QUrl link(press[1].toString());
            if (press[0].toDouble() > sinceViewPress + 1 || link.isEmpty() ||
                link.adjusted(QUrl::NormalizePathSegments) != url.adjusted(QUrl::NormalizePathSegments)) {
                return;
            }
            if (self->takeInput()) {
                ExternalUrlOpener::openWebAddress(url);
            }
        },
        QWebEngineScript::ApplicationWorld);
}

bool PreviewPage::takeInput()
{
    // A script could click the link again and again: one input opens one link.
    return std::exchange(m_inputUnused, false);
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

#include "PostContentViewController.h"

#include "ui_PostContentView.h"

#include "FocusRing.h"
#include "PostReadingStyle.h"

#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/ViewBackground.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "services/PostPreviewComposer.h"
#include "ui/UiColors.h"

#include <QFileInfo>
#include <QTimer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>

#include <chrono>

namespace {

constexpr int MaxLoadAttempts = 3;
constexpr std::chrono::milliseconds LoadWatchInterval{5000};

} // namespace

PostContentViewController::PostContentViewController(QObject* parent) : ViewController(parent) {}

PostContentViewController::~PostContentViewController() = default;

void PostContentViewController::loadView()
{
    m_ui = std::make_unique<Ui::PostContentView>();
    setView(viewFromInterface(*m_ui));
    viewSetup();
    // Asked for and begun at once rather than queued: a post queued before the view existed comes after
    // it, and the engine loads it while the rest of the window is built.
    showDefaultPage();
    startWantedLoad();
}

void PostContentViewController::viewSetup()
{
    ViewBackground::setColor(view(), UiColors::paneBackground());
    WebView* webview = m_ui->webviewOutlet;
    FocusRing::attach(webview);

    // A reading pane: posts' own scripts do not run here, and nothing local is reached.
    webview->holdStrangerContent(false);

    // The view stays on what it was given: links leave for the browser, and nothing else moves it.
    webview->setNavigationPolicy([](const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
        if (!isMainFrame) {
            return true;
        }
        if (type == QWebEnginePage::NavigationTypeLinkClicked) {
            ExternalUrlOpener::openWebAddress(url);
            return false;
        }
        return type == QWebEnginePage::NavigationTypeTyped;
    });
    connect(webview->webPage(), &QWebEnginePage::newWindowRequested, this,
            [](QWebEngineNewWindowRequest& request) {
                if (request.isUserInitiated()) {
                    ExternalUrlOpener::openWebAddress(request.requestedUrl());
                }
            });
    webview->setContextMenuFilter(
        [](const QWebEngineContextMenuRequest& request) { return !request.selectedText().isEmpty(); });
    connect(webview->webPage(), &QWebEnginePage::loadingChanged, this,
            &PostContentViewController::onLoadingChanged);
    m_loadWatch = new QTimer(this);
    m_loadWatch->setInterval(LoadWatchInterval);
    connect(m_loadWatch, &QTimer::timeout, this, &PostContentViewController::checkLoadUnderWay);
}

void PostContentViewController::loadHtml(const QString& html)
{
    view();
    // A post kept here shows the pictures the user added to it, as pictures.
    QStringList pictures;
    const QString shown = PostPreviewComposer().withLocalPictureAddresses(html, pictures);
    requestLoad(Load{PostReadingStyle::withStyle(shown, view()->font()), QUrl(), pictures});
}

void PostContentViewController::loadHtmlOnMainThread(const BloggerPost& post)
{
    Dispatch::toMainThread(this, [this, html = post.content] { loadHtml(html); });
}

void PostContentViewController::loadDefaultView()
{
    Dispatch::toMainThread(this, [this] {
        view();
        showDefaultPage();
    });
}

void PostContentViewController::showDefaultPage()
{
    const QString path = ApplicationFolders::resourcesFolder() + QStringLiteral("/default.html");
    if (QFileInfo::exists(path)) {
        requestLoad(Load{std::nullopt, QUrl::fromLocalFile(path), {}});
    }
}

void PostContentViewController::requestLoad(Load load)
{
    m_wanted = std::move(load);
    scheduleLoad();
}

void PostContentViewController::scheduleLoad()
{
    if (m_current || m_loadScheduled || !m_wanted) {
        return;
    }
    // On a later turn of the main loop, never from inside the engine's own report of the load before.
    m_loadScheduled = true;
    Dispatch::toMainThread(this, [this] {
        m_loadScheduled = false;
        startWantedLoad();
    });
}

void PostContentViewController::startWantedLoad()
{
    if (m_current || !m_wanted) {
        return;
    }
    m_current = std::move(*m_wanted);
    m_wanted.reset();
    WebView* webview = m_ui->webviewOutlet;
    if (m_current->html) {
        webview->setLocalPictures(m_current->pictures);
        m_currentAddress = webview->loadDocument(*m_current->html);
    } else {
        m_currentAddress = m_current->address;
        webview->loadAddress(m_current->address);
    }
    m_loadWatch->start();
}

void PostContentViewController::checkLoadUnderWay()
{
    // A load the engine let go of without a word would hold back every later post: once the engine is
    // idle and the load has not ended, it counts as stopped.
    if (m_current && !m_ui->webviewOutlet->webPage()->isLoading()) {
        endCurrentLoad(false, false);
    }
}

void PostContentViewController::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (!m_current || info.status() == QWebEngineLoadingInfo::LoadStartedStatus ||
        info.url() != m_currentAddress) {
        return;
    }
    const bool shown = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus &&
                       m_ui->webviewOutlet->url() == m_currentAddress;
    endCurrentLoad(shown, info.status() == QWebEngineLoadingInfo::LoadFailedStatus);
}

void PostContentViewController::endCurrentLoad(bool shown, bool failed)
{
    m_loadWatch->stop();
    // A load the engine stopped on its own is asked for again, unless a later one is waiting.
    if (!shown && !failed && !m_wanted && m_current->attempt + 1 < MaxLoadAttempts) {
        m_wanted = *m_current;
        ++m_wanted->attempt;
    }
    m_current.reset();
    scheduleLoad();
}

WebView* PostContentViewController::webviewOutlet() const
{
    return m_ui ? m_ui->webviewOutlet : nullptr;
}

#include "PostContentViewController.h"

#include "ui_PostContentView.h"

#include "PostReadingStyle.h"

#include "common/BackgroundRunner.h"
#include "platform/ApplicationFolders.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/ViewBackground.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "services/PostPreviewComposer.h"
#include "ui/UiColors.h"

#include <QFileInfo>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineNewWindowRequest>

PostContentViewController::PostContentViewController(QObject* parent) : ViewController(parent) {}

PostContentViewController::~PostContentViewController() = default;

void PostContentViewController::loadView()
{
    m_ui = std::make_unique<Ui::PostContentView>();
    setView(viewFromInterface(*m_ui));
    viewSetup();
    // Loaded at once rather than queued, so that a post queued before the view existed is not covered by it.
    showDefaultPage();
}

void PostContentViewController::viewSetup()
{
    ViewBackground::setColor(view(), UiColors::paneBackground());
    WebView* webview = m_ui->webviewOutlet;

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
}

void PostContentViewController::loadHtml(const QString& html)
{
    view();
    // A post kept here shows the pictures the user added to it, as pictures.
    QStringList pictures;
    const QString shown = PostPreviewComposer().withLocalPictureAddresses(html, pictures);
    m_ui->webviewOutlet->setLocalPictures(pictures);
    m_ui->webviewOutlet->loadDocument(PostReadingStyle::withStyle(shown, view()->font()));
}

void PostContentViewController::loadHtmlOnMainThread(const BloggerPost& post)
{
    BackgroundRunner().runOnMainThread(this, [this, html = post.content] { loadHtml(html); });
}

void PostContentViewController::loadDefaultView()
{
    BackgroundRunner().runOnMainThread(this, [this] {
        view();
        showDefaultPage();
    });
}

void PostContentViewController::showDefaultPage()
{
    const QString path = ApplicationFolders::resourcesFolder() + QStringLiteral("/default.html");
    if (QFileInfo::exists(path)) {
        m_ui->webviewOutlet->loadAddress(QUrl::fromLocalFile(path));
    }
}

WebView* PostContentViewController::webviewOutlet() const
{
    return m_ui ? m_ui->webviewOutlet : nullptr;
}

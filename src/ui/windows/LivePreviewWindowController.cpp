#include "LivePreviewWindowController.h"

#include "PreviewPage.h"
#include "ui_LivePreviewWindow.h"

#include "platform/Dispatch.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "ui/main/SpinnerView.h"

LivePreviewWindowController::LivePreviewWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::LivePreviewWindow>())
{
}

LivePreviewWindowController::~LivePreviewWindowController() = default;

std::unique_ptr<QWidget> LivePreviewWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

SpinnerView* LivePreviewWindowController::spinningIndicatorOutlet() const
{
    return isWindowLoaded() ? m_ui->spinningIndicatorOutlet : nullptr;
}

WebView* LivePreviewWindowController::webviewOutlet() const
{
    return isWindowLoaded() ? m_ui->webviewOutlet : nullptr;
}

void LivePreviewWindowController::openWindow(const QString& title)
{
    Dispatch::toMainThread(this, [this, title] {
        m_title = title;
        if (isWindowLoaded()) {
            window()->setWindowTitle(m_title);
        }
        showWindow();
        m_page->restore();
    });
}

void LivePreviewWindowController::setHtmlContent(const QString& content, const QString& baseUrl)
{
    const QUrl address(baseUrl, QUrl::StrictMode);
    const std::optional<QUrl> base =
        address.isValid() && !address.isRelative() ? std::optional<QUrl>(address) : std::nullopt;
    Dispatch::toMainThread(this, [this, content, base] {
        m_content = content;
        m_baseURL = base;
        if (isWindowLoaded()) {
            showContent();
        }
    });
}

void LivePreviewWindowController::windowDidLoad()
{
    closeWithKeys();
    WebView* webview = m_ui->webviewOutlet;
    // The blog's own scripts draw parts of its page; nothing local, plug-ins and pop-ups stay off.
    webview->holdStrangerContent(true);
    m_page = new PreviewPage(webview);
    // A template's scripts could go on using a core and memory for as long as the window was kept.
    connect(this, &WindowController::windowWillClose, m_page, &PreviewPage::unload);

    m_ui->spinningIndicatorOutlet->show();
    window()->setWindowTitle(m_title);
    if (m_content) {
        showContent();
    }
}

void LivePreviewWindowController::showContent()
{
    m_page->loadHtml(m_content.value_or(QString()), m_baseURL.value_or(QUrl()));
    m_ui->spinningIndicatorOutlet->hide();
}

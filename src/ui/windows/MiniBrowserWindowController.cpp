#include "MiniBrowserWindowController.h"

#include "PreviewPage.h"
#include "ui_MiniBrowserWindow.h"

#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/gui/WebView.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QUrl>

MiniBrowserWindowController::MiniBrowserWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::MiniBrowserWindow>())
{
}

MiniBrowserWindowController::~MiniBrowserWindowController() = default;

std::unique_ptr<QWidget> MiniBrowserWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

WebView* MiniBrowserWindowController::webviewOutlet() const
{
    return isWindowLoaded() ? m_ui->webviewOutlet : nullptr;
}

void MiniBrowserWindowController::openWindow(const QString& title, const QString& htmlContent)
{
    m_title = title;
    m_htmlContent = htmlContent;
    bringToFront();
}

void MiniBrowserWindowController::openStrangerPage(const QString& title, const QString& htmlContent,
                                                   const QStringList& localPictures)
{
    m_strangerPage = true;
    m_localPictures = localPictures;
    openWindow(title, htmlContent);
}

void MiniBrowserWindowController::openWindowWithUrl(const QString& title, const QString& url)
{
    m_title = title;
    m_urlToNavigate = url;
    bringToFront();
}

void MiniBrowserWindowController::openHelp()
{
    openHelp(ApplicationFolders::resourcesFolder() + QStringLiteral("/help.html"));
}

void MiniBrowserWindowController::openHelp(const QString& path)
{
    QFile file(path);
    QString html;
    if (file.open(QIODevice::ReadOnly)) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        html = decoder.decode(file.readAll());
        if (decoder.hasError() || file.error() != QFileDevice::NoError) {
            html.clear();
        }
    }
    if (html.trimmed().isEmpty()) {
        html = missingHelpHtml(QDir::toNativeSeparators(path));
    }
    openWindow(QStringLiteral("Help"), html);
}

QString MiniBrowserWindowController::missingHelpHtml(const QString& path)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset='utf-8'><title>Help</title>"
                          "<style>body { font: 15px/1.5 system-ui, sans-serif; color: rgb(85, 96, 100);"
                          " margin: 40px; } code { word-break: break-all; }</style></head>\n<body>\n"
                          "<h1>Help is not available</h1>\n"
                          "<p>Penhollow's help page could not be read. It should be installed at <code>") +
           path.toHtmlEscaped() +
           QStringLiteral("</code>.</p>\n<p>Installing Penhollow again puts it back.</p>\n</body></html>\n");
}

void MiniBrowserWindowController::bringToFront()
{
    Dispatch::toMainThread(this, [this] {
        showWindow();
        m_page->restore();
    });
}

void MiniBrowserWindowController::windowDidLoad()
{
    WebView* webview = m_ui->webviewOutlet;
    if (m_strangerPage) {
        webview->holdStrangerContent(false);
        webview->setLocalPictures(m_localPictures);
    }
    closeWithKeys();
    m_page = new PreviewPage(webview);
    connect(this, &WindowController::windowWillClose, m_page, &PreviewPage::unload);
    window()->setWindowTitle(m_title.value_or(QString()));
    if (m_htmlContent) {
        // Relative addresses of our own pages (style sheets, images) are files among the resources.
        const QUrl base = m_strangerPage
                              ? QUrl()
                              : QUrl::fromLocalFile(ApplicationFolders::resourcesFolder() + QLatin1Char('/'));
        m_page->loadHtml(*m_htmlContent, base);
    }
    if (m_urlToNavigate) {
        const QUrl address(*m_urlToNavigate, QUrl::StrictMode);
        if (address.isValid() && !address.isRelative()) {
            m_page->loadAddress(address);
        }
    }
}

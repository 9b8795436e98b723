#include "AuthentificationWebviewWindowController.h"

#include "google/GoogleAuthentificationPage.h"
#include "platform/gui/WebView.h"
#include "ui_AuthentificationWebviewWindow.h"

#include <QUrl>
#include <QVariant>

AuthentificationWebviewWindowController::AuthentificationWebviewWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::AuthentificationWebviewWindow>())
{
}

AuthentificationWebviewWindowController::~AuthentificationWebviewWindowController() = default;

std::unique_ptr<QWidget> AuthentificationWebviewWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

void AuthentificationWebviewWindowController::windowDidLoad()
{
    closeWithKeys();
    webviewOutlet()->setLoadFinishedBlock([this](bool, const QString&) { testTitle(); });
    // Whatever the page does after the user closed the window is not reported, and it stops at once.
    connect(this, &WindowController::windowWillClose, this, [this] { webviewOutlet()->replacePage(); });
}

WebView* AuthentificationWebviewWindowController::webviewOutlet() const
{
    return isWindowLoaded() ? m_ui->webviewOutlet : nullptr;
}

void AuthentificationWebviewWindowController::submitBlock(std::function<void(const QString& code)> block)
{
    m_submitBlock = std::move(block);
}

void AuthentificationWebviewWindowController::openWindow(const QString& clientId, const QString& clientSecret,
                                                         const QString& clientScope,
                                                         const QString& redirectUri)
{
    m_clientId = clientId;
    m_clientSecret = clientSecret;
    m_clientScope = clientScope;
    m_redirectUri = redirectUri;
    showWindow();
    loadWebview();
}

void AuthentificationWebviewWindowController::loadWebview()
{
    window();
    webviewOutlet()->loadAddress(QUrl(buildGoogleAuthentificationUrl()));
}

QString AuthentificationWebviewWindowController::buildGoogleAuthentificationUrl() const
{
    return GoogleAuthentificationPage::consentUrl(m_clientId, m_clientScope, m_redirectUri);
}

void AuthentificationWebviewWindowController::testTitle()
{
    webviewOutlet()->evaluateScript(
        QStringLiteral("document.getElementsByTagName('title')[0].innerText"),
        [this](const QVariant& result) {
            // A closed window reports nothing, even for a page that finished loading after it closed.
            if (!window()->isVisible() || result.typeId() != QMetaType::QString) {
                return;
            }
            if (const auto code = GoogleAuthentificationPage::codeFromTitle(result.toString())) {
                triggerResult(*code);
            }
        },
        QWebEngineScript::ApplicationWorld);
}

void AuthentificationWebviewWindowController::triggerResult(const QString& code)
{
    if (m_submitBlock) {
        m_submitBlock(code);
    }
    close();
}

#include "AuthentificationWebviewWindowController.h"

#include "platform/WebView.h"
#include "ui_AuthentificationWebviewWindow.h"

#include <QUrl>
#include <QVariant>

namespace {

// The OAuth host, scheme://host[:port]; the environment lets tests and local runs point at the stand-in.
QString oauthBaseAddress()
{
    const QByteArray overridden = qgetenv("PENHOLLOW_OAUTH_URL");
    QString base = overridden.isEmpty() ? QStringLiteral(PENHOLLOW_OAUTH_URL) : QString::fromUtf8(overridden);
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return base;
}

} // namespace

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
    webviewOutlet()->setLoadFinishedBlock([this](bool, const QString&) { testTitle(); });
    // Whatever the page does after the user closed the window is not reported.
    connect(this, &WindowController::windowWillClose, this, [this] { webviewOutlet()->stop(); });
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
    // One arg() call substitutes all three at once, so a "%1" inside a value stays as it is.
    const QString query =
        QStringLiteral("scope=%1&state=") + StateValue +
        QStringLiteral("&redirect_uri=%2&response_type=code&client_id=%3&approval_prompt=force");
    const QString filled = query.arg(m_clientScope, m_redirectUri, m_clientId);
    // Besides letters, digits and - . _ ~ (never encoded), the characters a URL host may hold stay as they
    // are.
    const QByteArray encoded = QUrl::toPercentEncoding(filled, QByteArrayLiteral("!$&'()*+,;=:[]"));
    return oauthBaseAddress() + QStringLiteral("/o/oauth2/auth?") + QString::fromLatin1(encoded);
}

std::optional<QString> AuthentificationWebviewWindowController::codeFromTitle(const QString& title)
{
    const QString marker = StateValue + QStringLiteral("&code=");
    const qsizetype equals = title.indexOf(QLatin1Char('='));
    if (equals < 0 || !QStringView(title).mid(equals + 1).startsWith(marker)) {
        return std::nullopt;
    }
    const qsizetype start = equals + 1 + marker.size();
    const qsizetype end = title.indexOf(QLatin1Char('&'), start);
    const QString code = title.mid(start, end < 0 ? -1 : end - start);
    if (code.isEmpty()) {
        return std::nullopt;
    }
    return code;
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
            if (const auto code = codeFromTitle(result.toString())) {
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

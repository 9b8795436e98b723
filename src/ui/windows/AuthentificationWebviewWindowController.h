#pragma once

#include "google/AuthentificationWindow.h"
#include "platform/gui/WindowController.h"

#include <QString>

#include <functional>
#include <memory>

class WebView;
namespace Ui {
class AuthentificationWebviewWindow;
}

// The window in which the user signs in to Google and grants access. It shows the consent page, reads the
// title of every page that finishes loading and hands the authorisation code found there to its submit block,
// then closes. It knows nothing of tokens.
class AuthentificationWebviewWindowController : public WindowController, public AuthentificationWindow
{
    Q_OBJECT
public:
    explicit AuthentificationWebviewWindowController(QObject* parent = nullptr);
    ~AuthentificationWebviewWindowController() override;

    void submitBlock(std::function<void(const QString& code)> block) override;
    void openWindow(const QString& clientId, const QString& clientSecret, const QString& clientScope,
                    const QString& redirectUri) override;

    // Loads the consent page in the web view.
    void loadWebview();
    // Hands the code to the submit block, then closes the window.
    void triggerResult(const QString& code);
    // The consent page address for the client values given to openWindow.
    QString buildGoogleAuthentificationUrl() const;

    // The web view of the window; none until the window is loaded.
    WebView* webviewOutlet() const;
    QString clientId() const { return m_clientId; }
    QString clientSecret() const { return m_clientSecret; }
    QString clientScope() const { return m_clientScope; }
    QString redirectUri() const { return m_redirectUri; }

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;

private:
    void testTitle();

    std::unique_ptr<Ui::AuthentificationWebviewWindow> m_ui;
    std::function<void(const QString& code)> m_submitBlock;
    QString m_clientId;
    QString m_clientSecret;
    QString m_clientScope;
    QString m_redirectUri;
};

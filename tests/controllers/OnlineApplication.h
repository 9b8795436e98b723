#pragma once

#include "ApplicationHarness.h"
#include "GoogleStandin.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

class AuthentificationWebviewWindowController;
class GoogleAuthentificationService;
class QWidget;

// The whole application in this process against a stand-in for Google on 127.0.0.1, with the helpers a
// user's walk through accounts and downloads needs: the sign-in page answered from inside its web view,
// the post list and the busy state of its header read as the user sees them.
class OnlineApplication
{
public:
    // The default seed of the stand-in unless one is given.
    explicit OnlineApplication(const QJsonObject& seed = QJsonObject());
    ~OnlineApplication();
    OnlineApplication(const OnlineApplication&) = delete;
    OnlineApplication& operator=(const OnlineApplication&) = delete;

    static QString mara() { return QStringLiteral("107741234567812345678"); }
    static QString ned() { return QStringLiteral("118899001122334455667"); }
    static QString tideTables() { return QStringLiteral("4120843728710463922"); }
    static QString kitchenLedger() { return QStringLiteral("7093345128812460051"); }
    static QString harbourLights() { return QStringLiteral("5120000000000000001"); }

    // The store and preferences of this process as on a machine that never saw the stand-in's accounts.
    void forgetEverything();
    // An account signed in earlier: its user and blogs stored, tokens the stand-in issued, the blog current.
    void storeSignedInAccount(const QString& accountId, const QString& blogId, bool blogQueried);

    // Starts the application; requests time out after timeoutSeconds.
    bool launch(double timeoutSeconds = 5);
    void quit();
    ApplicationHarness& app() { return *m_app; }
    GoogleAuthentificationService& authentificationService() const;
    QWidget* welcomeWindow() const;
    QWidget* mainWindow() const;

    // The consent page in the sign-in window, answered by pressing "allow" or "deny" inside the page.
    AuthentificationWebviewWindowController* signInWindow() const;
    bool waitForConsentPage();
    bool pressOnConsentPage(const QString& buttonId);
    // Waits for the consent page, picks the account and allows.
    bool allowAs(const QString& accountId);

    // The post list as shown, and its header.
    QStringList listedTitles() const;
    QString listHeader() const;
    bool waitForListHeader(const QString& text, int timeoutMs = 15000) const;
    bool isLoading() const;
    // Operations of the main window's download controller that talk to the service now.
    int runningOperations() const;
    // Waits until none runs and the main thread has caught up.
    bool waitForOperationsToEnd();
    void pressDownload();
    // Titles of the stand-in blog's posts in an area's listing order (most recently updated first).
    QStringList standinTitles(const QString& blogId, bool drafts) const;

    int criticalAlerts() const;
    QStringList alertTexts() const;

    GoogleStandin standin;

private:
    std::unique_ptr<ApplicationHarness> m_app;
};

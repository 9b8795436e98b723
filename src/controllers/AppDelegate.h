#pragma once

#include "controllers/ApplicationControllerService.h"

#include <QFuture>
#include <QObject>
#include <QPointer>

#include <memory>

class ApplicationWindowController;
class GoogleAuthentificationService;
class MiniBrowserWindowController;
class QMainWindow;
class QTimer;
class SingleInstance;
class WelcomeWindowController;

// Start-up and shutdown of the application: the database, the sign-in service, the token refresh timer
// and the main window. main() makes the application object and hands over to it.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // What must happen before the application object exists and before any thread (allocator heaps, web
    // engine settings, URL schemes).
    static void prepareProcess();
    // The store's exit maintenance, once, after the event loop has ended; the store is closed after it.
    static void finishProcess();

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // False when another Penhollow owns the data folder: it was asked to raise its window, and this
    // process should exit.
    bool applicationWillFinishLaunching();
    // Opens the windows; or, when the data folder or one of its files cannot be used, only tells the user
    // and then asks to quit with exitStatus() 1, the folder untouched.
    void applicationDidFinishLaunching();
    // What the process should end with: 0, or 1 after a data folder it could not use.
    int exitStatus() const { return m_exitStatus; }
    // False while a post is being edited (the user is told why).
    bool applicationShouldTerminate();
    void applicationWillTerminate();

    void reopenApplicationWindow();
    void newPost();
    void openHelp();
    // Refreshes the access token of the current account and keeps it.
    void freshAccessToken();

    ApplicationWindowController* applicationWindowController() const;
    // Open while no account is stored; none once the main window has opened.
    WelcomeWindowController* welcomeWindowController() const;
    // The one help window: the main window's once it exists.
    MiniBrowserWindowController* helpBrowser() const;
    std::shared_ptr<GoogleAuthentificationService> authentificationService() const;

Q_SIGNALS:
    // The user closed the main window (or dismissed the last message): the application should end.
    void quitRequested();

private:
    void bloggingWindow();
    void welcomeWindow();
    // The end of the first-account flow: the account is stored and the main window replaces this one.
    void firstAccountReady(const QString& userId, const QString& blogId, const QString& accessToken,
                           const QString& refreshToken);
    void installMenuBar(QMainWindow* window);

    std::unique_ptr<SingleInstance> m_singleInstance;
    std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    std::unique_ptr<ApplicationWindowController> m_applicationWindowController;
    std::unique_ptr<WelcomeWindowController> m_welcomeWindowController;
    std::unique_ptr<MiniBrowserWindowController> m_helpBrowser;
    void dataFolderCannotBeUsed(const QString& message);

    // Begun as soon as the data folder is known to be sound: the store made ready and the stored account's
    // first listing read, while the main thread builds the window.
    QFuture<ApplicationControllerService::ReadListing> m_firstListing;
    QFuture<void> m_firstListingDone;
    // The walk that closes the web profiles and images to others, begun once the folder is ours.
    QFuture<void> m_dataFolderSecured;
    QTimer* m_refreshTimer = nullptr;
    bool m_terminated = false;
    // Why the data folder cannot be used; empty when it can.
    QString m_dataFolderProblem;
    int m_exitStatus = 0;
};

#include "AppDelegate.h"

#include "ApplicationControllerService.h"
#include "common/Async.h"
#include "common/GoogleServiceConstants.h"
#include "common/LocalNotificationService.h"
#include "controllers/ApplicationWindowController.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"
#include "platform/PrivateDataFolder.h"
#include "platform/ProcessMemory.h"
#include "platform/SingleInstance.h"
#include "platform/gui/HtmlSchemeHandler.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/LocalPictureSchemeHandler.h"
#include "platform/gui/MessageBoxAlertPresenter.h"
#include "platform/gui/NetworkPictureDecoder.h"
#include "services/WelcomeNewAccountService.h"
#include "store/DataFolderCheck.h"
#include "store/PersistentAccessTokens.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"
#include "ui/windows/AuthentificationWebviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <utility>

namespace {

void printLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void AppDelegate::prepareProcess()
{
    ProcessMemory::limitAllocatorHeaps();
    NetworkPictureDecoder::limitAllocations();
    // The web engine needs shared GL contexts, and they must be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    HtmlSchemeHandler::registerScheme();
    LocalPictureSchemeHandler::registerScheme();
}

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

AppDelegate::~AppDelegate()
{
    applicationWillTerminate();
}

bool AppDelegate::applicationWillFinishLaunching()
{
    QApplication::setOrganizationName(QStringLiteral("Penhollow"));
    QApplication::setApplicationName(QStringLiteral("Penhollow"));
    // No display name: the window manager would append it to every window's own title.
    // Before the lock: a folder that cannot be written, or that is not the user's alone, must not pass for
    // one another Penhollow holds. The umask stays the user's: what we start inherits it.
    const QString folder = ApplicationFolders::dataFolder();
    std::optional<DataFolderProblem> problem = DataFolderCheck::checkFolder(folder);
    if (!problem) {
        m_singleInstance = std::make_unique<SingleInstance>(folder);
        if (!m_singleInstance->acquire()) {
            if (!m_singleInstance->lockFileUnusable()) {
                return false;
            }
            problem = DataFolderCheck::checkFolder(folder);
            if (!problem) {
                problem =
                    DataFolderProblem{folder, QStringLiteral("Penhollow cannot make its lock file in the "
                                                             "data folder \"%1\". Make sure you may write "
                                                             "in the folder, then open Penhollow again.")
                                                  .arg(folder)};
            }
        } else {
            connect(m_singleInstance.get(), &SingleInstance::raiseRequested, this,
                    &AppDelegate::reopenApplicationWindow);
            // Before anything reads them: a damaged file is told about, never replaced.
            problem = DataFolderCheck::checkFiles(folder);
            if (!problem) {
                // Owner-only before the store opens them; a launch that hands over changes nothing here.
                PrivateDataFolder::secureFiles(folder);
                // On the thread pool, as soon as the folder is known to be sound: the store's structure
                // (and any migration), then the stored account's first listing, while the main thread
                // builds the window without touching the store.
                m_firstListing = Async::run([] {
                    SQLAccess().createDababaseStructure();
                    return ApplicationControllerService::readStoredAccountListing();
                });
                // What the end waits for, without holding on to the posts read.
                m_firstListingDone =
                    m_firstListing.then([](const ApplicationControllerService::ReadListing&) {});
                // Queued after the listing, and off the way to the first paint: the web profiles and images
                // can hold thousands of files.
                m_dataFolderSecured = Async::run([folder] { PrivateDataFolder::secureFolders(folder); });
            }
        }
    }
    if (problem) {
        m_dataFolderProblem = problem->message;
    }
    QApplication::setWindowIcon(ImageLibrary::icon(QStringLiteral("Penhollow")));
    // The main window decides when the application ends: closing it asks first.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(
        this, &AppDelegate::quitRequested, this, [this] { QCoreApplication::exit(m_exitStatus); },
        Qt::QueuedConnection);
    MessageBoxAlertPresenter::install();
    return true;
}

void AppDelegate::dataFolderCannotBeUsed(const QString& message)
{
    printLine(qUtf8Printable(QStringLiteral("AppDelegate - the data folder cannot be used: ") + message));
    QPointer<AppDelegate> self = this;
    Alert::present(AlertRequest{AlertStyle::Critical,
                                QStringLiteral("Penhollow cannot open its data"),
                                message,
                                {QStringLiteral("Quit")},
                                [self](int) {
                                    if (self) {
                                        self->m_exitStatus = 1;
                                        Dispatch::toMainThread(self, [](AppDelegate* delegate) {
                                            Q_EMIT delegate->quitRequested();
                                        });
                                    }
                                }});
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (!m_dataFolderProblem.isEmpty()) {
        dataFolderCannotBeUsed(m_dataFolderProblem);
        return;
    }

    m_authentificationService = GoogleAuthentificationService::createWithConfiguredClient();
    m_authentificationService->setAuthentificationWindowFactory(
        []() -> std::unique_ptr<AuthentificationWindow> {
            Dispatch::requireMainThread("The sign-in window");
            return std::make_unique<AuthentificationWebviewWindowController>();
        });

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(int(GoogleServiceConstants::RefreshTokenTime * 1000));
    connect(m_refreshTimer, &QTimer::timeout, this, &AppDelegate::freshAccessToken);
    m_refreshTimer->start();

    if (m_authentificationService->initiateFromPersistentStorage()) {
        bloggingWindow();
    } else {
        welcomeWindow();
    }
}

void AppDelegate::bloggingWindow()
{
    freshAccessToken();
    if (!m_applicationWindowController) {
        m_applicationWindowController = std::make_unique<ApplicationWindowController>(
            m_authentificationService, std::exchange(m_firstListing, {}));
        m_applicationWindowController->windowShouldCloseHandler = [this] {
            if (!applicationShouldTerminate()) {
                return false;
            }
            // Once the close has been accepted and the window is gone.
            Dispatch::toMainThread(this, [this] { Q_EMIT quitRequested(); });
            return true;
        };
    }
    m_applicationWindowController->showWindow();
    installMenuBar(m_applicationWindowController->windowOutlet());
}

void AppDelegate::welcomeWindow()
{
    if (!m_welcomeWindowController) {
        m_welcomeWindowController = std::make_unique<WelcomeWindowController>(m_authentificationService);
        m_welcomeWindowController->onOperationTerminated =
            [this](const QString& userId, const QString& blogId, const QString& accessToken,
                   const QString& refreshToken) {
                firstAccountReady(userId, blogId, accessToken, refreshToken);
            };
        // Closed before any account exists, the application has no window left: it ends.
        connect(m_welcomeWindowController.get(), &WindowController::windowWillClose, this, [this] {
            if (!m_applicationWindowController) {
                Dispatch::toMainThread(this, [this] { Q_EMIT quitRequested(); });
            }
        });
    }
    m_welcomeWindowController->showWindow();
}

void AppDelegate::firstAccountReady(const QString& userId, const QString& blogId, const QString& accessToken,
                                    const QString& refreshToken)
{
    WelcomeNewAccountService::storeAccount(userId, blogId, accessToken, refreshToken);
    if (!m_authentificationService->initiateFromPersistentStorage()) {
        LocalNotificationService().showCriticalAlert(
            QStringLiteral("Cannot add the account"),
            QStringLiteral("The account could not be kept on this computer. Please try again."));
        return;
    }
    bloggingWindow();
    m_welcomeWindowController->close();
}

void AppDelegate::installMenuBar(QMainWindow* window)
{
    if (!window || window->menuBar()->findChild<QAction*>(QStringLiteral("newPostAction"))) {
        return;
    }
    QMenuBar* bar = window->menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    QAction* newPostAction = file->addAction(QStringLiteral("&New Post"), this, &AppDelegate::newPost);
    newPostAction->setObjectName(QStringLiteral("newPostAction"));
    newPostAction->setShortcut(QKeySequence::New);
    file->addSeparator();
    QAction* quitAction = file->addAction(QStringLiteral("&Quit"), window, &QWidget::close);
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    quitAction->setMenuRole(QAction::QuitRole);
    // Quitting is the application's, whichever of its windows has the keyboard.
    quitAction->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* helpAction = help->addAction(QStringLiteral("Penhollow &Help"), this, &AppDelegate::openHelp);
    helpAction->setObjectName(QStringLiteral("helpAction"));
    helpAction->setShortcut(QKeySequence::HelpContents);
}

bool AppDelegate::applicationShouldTerminate()
{
    if (m_applicationWindowController && m_applicationWindowController->hasAnEditingPost()) {
        // The window to close comes to the front, and the message is its own: the window manager keeps it
        // in front and gives it the focus back after OK, wherever the user quit from.
        QWidget* editor = m_applicationWindowController->showEditingPost();
        AlertRequest request{
            AlertStyle::Critical, QStringLiteral("You are editing a post"),
            QStringLiteral("Please close the current post editor window before closing Penhollow")};
        request.window = editor;
        Alert::present(request);
        return false;
    }
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated) {
        return;
    }
    m_terminated = true;
    // The store's exit maintenance must not overtake the start-up read.
    m_firstListingDone.waitForFinished();
    m_dataFolderSecured.waitForFinished();
    if (m_refreshTimer) {
        m_refreshTimer->stop();
    }
    m_helpBrowser.reset();
    m_applicationWindowController.reset();
    m_welcomeWindowController.reset();
    m_singleInstance.reset();
}

void AppDelegate::finishProcess()
{
    SQLiteDB::shutdown();
}

void AppDelegate::reopenApplicationWindow()
{
    if (m_applicationWindowController) {
        m_applicationWindowController->reopenApplicationWindow();
        // An open editor comes to the front with it, above the main window.
        m_applicationWindowController->showEditingPost();
    } else if (m_welcomeWindowController) {
        m_welcomeWindowController->showWindow();
    }
}

void AppDelegate::newPost()
{
    if (m_applicationWindowController) {
        m_applicationWindowController->newPost();
    }
}

void AppDelegate::openHelp()
{
    // The main window's help button and this command share its one help window.
    if (m_applicationWindowController) {
        m_applicationWindowController->openHelp();
        return;
    }
    if (!m_helpBrowser) {
        m_helpBrowser = std::make_unique<MiniBrowserWindowController>();
    }
    m_helpBrowser->openHelp();
}

MiniBrowserWindowController* AppDelegate::helpBrowser() const
{
    if (m_applicationWindowController && m_applicationWindowController->applicationControllerService()) {
        return m_applicationWindowController->applicationControllerService()->helpBrowser();
    }
    return m_helpBrowser.get();
}

void AppDelegate::freshAccessToken()
{
    if (!m_authentificationService) {
        return;
    }
    const QString user = m_authentificationService->dynamicServiceState().userId();
    if (user.isEmpty()) {
        return;
    }
    // The new token is kept only while its account is still the current one: an account change during
    // the refresh must not leave the other account's token in use.
    QPointer<AppDelegate> self = this;
    m_authentificationService->refreshAuthentificationCode(
        false, [self, user](bool success, const QString& message, std::optional<QString> accessToken) {
            if (!success || !accessToken) {
                printLine(qUtf8Printable(QStringLiteral("AppDelegate - token refresh failed: ") + message));
                return;
            }
            const QString token = *accessToken;
            Dispatch::toMainThread(self, [user, token](AppDelegate* delegate) {
                PersistentAccessTokens(user).setAccessToken(token);
                const auto service = delegate->m_authentificationService;
                if (service && service->dynamicServiceState().userId() == user) {
                    service->setAccessToken(token);
                }
            });
        });
}

ApplicationWindowController* AppDelegate::applicationWindowController() const
{
    return m_applicationWindowController.get();
}

WelcomeWindowController* AppDelegate::welcomeWindowController() const
{
    return m_welcomeWindowController.get();
}

std::shared_ptr<GoogleAuthentificationService> AppDelegate::authentificationService() const
{
    return m_authentificationService;
}

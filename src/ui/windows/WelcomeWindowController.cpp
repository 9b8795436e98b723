#include "WelcomeWindowController.h"

#include "ui_WelcomeWindow.h"

#include "common/LocalNotificationService.h"
#include "common/SystemConfiguration.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/ViewBackground.h"
#include "services/WelcomeNewAccountService.h"
#include "ui/main/FocusRing.h"

#include <QMouseEvent>
#include <QWindow>

WelcomeWindowController::WelcomeWindowController(std::shared_ptr<GoogleAuthentificationService> service,
                                                 QObject* parent)
    : WindowController(parent),
      m_welcomeNewAccountService(std::make_unique<WelcomeNewAccountService>(std::move(service)))
{
}

WelcomeWindowController::~WelcomeWindowController() = default;

std::unique_ptr<QWidget> WelcomeWindowController::loadWindow()
{
    m_ui = std::make_unique<Ui::WelcomeWindow>();
    auto window = windowFromInterface(*m_ui);
    m_windowOutlet = window.get();
    connect(m_ui->addNewBloggerAccountButton, &QPushButton::clicked, this,
            &WelcomeWindowController::addNewBloggerAccountButtonClick);
    connect(m_ui->supportButton, &QPushButton::clicked, this, &WelcomeWindowController::supportButtonClick);
    return window;
}

void WelcomeWindowController::windowDidLoad()
{
    setWindowUIConfiguration();
    WindowController::windowDidLoad();
}

QWidget* WelcomeWindowController::windowOutlet() const
{
    return m_windowOutlet;
}

QWidget* WelcomeWindowController::bannerViewOutlet() const
{
    return m_ui ? m_ui->bannerViewOutlet : nullptr;
}

void WelcomeWindowController::setWindowUIConfiguration()
{
    // Movable by its background: presses that no control takes reach the window (see eventFilter).
    if (SystemConfiguration().isAtLeastYosemite()) {
        windowOutlet()->setWindowFlag(Qt::FramelessWindowHint, true);
    }
    ViewBackground::setColor(bannerViewOutlet(), QColor(255, 255, 255));
    // Return presses the button that has the focus, and the window opens with it on its main one.
    m_ui->addNewBloggerAccountButton->setAutoDefault(true);
    m_ui->supportButton->setAutoDefault(true);
    m_ui->addNewBloggerAccountButton->setFocus(Qt::OtherFocusReason);
    // Tab alone brings the focus to the link: Return after a click on it still adds an account.
    m_ui->supportButton->setFocusPolicy(Qt::TabFocus);
    // A link shows a ring only when the keyboard brings the focus, not after a click.
    FocusRing::attach(m_ui->supportButton);
}

void WelcomeWindowController::addNewBloggerAccountButtonClick()
{
    // The flow ends on the main thread; the window hands its result on as it comes.
    m_welcomeNewAccountService->setOnOperationTerminated([this](const QString& userId, const QString& blogId,
                                                                const QString& accessToken,
                                                                const QString& refreshToken) {
        const OperationTerminated closure = onOperationTerminated;
        if (closure) {
            closure(userId, blogId, accessToken, refreshToken);
        }
    });
    m_welcomeNewAccountService->authenticateNewAccount();
}

QUrl WelcomeWindowController::supportMailLink()
{
    return QUrl(QStringLiteral("mailto:") + supportAddress() + QStringLiteral("?Subject=Penhollow%20Help"),
                QUrl::StrictMode);
}

void WelcomeWindowController::supportButtonClick()
{
    if (!ExternalUrlOpener::open(supportMailLink())) {
        // The address is all the user needs to write from anywhere else.
        LocalNotificationService().showInfoAlert(
            QStringLiteral("No mail program to write to support"),
            QStringLiteral("No mail program could be opened on this computer. Write to ") + supportAddress() +
                QStringLiteral(" from the mail service you use."));
    }
}

bool WelcomeWindowController::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* window = m_windowOutlet;
    if (window && watched == window) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                // The window system moves it where it can (Wayland allows nothing else); else we do.
                QWindow* handle = window->windowHandle();
                if (handle && handle->startSystemMove()) {
                    m_dragOffset.reset();
                } else {
                    m_dragOffset = mouse->globalPosition().toPoint() - window->frameGeometry().topLeft();
                }
                return true;
            }
            break;
        }
        case QEvent::MouseMove:
            if (m_dragOffset) {
                window->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - *m_dragOffset);
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            m_dragOffset.reset();
            break;
        default:
            break;
        }
    }
    return WindowController::eventFilter(watched, event);
}

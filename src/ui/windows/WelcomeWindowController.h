#pragma once

#include "platform/gui/WindowController.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class WelcomeWindow;
}
class GoogleAuthentificationService;
class WelcomeNewAccountService;

// The first-run window: adds a Blogger account through the first-account flow, or opens a mail to
// support. When the account is ready, onOperationTerminated gets its ids and tokens; the window itself
// keeps no account data.
class WelcomeWindowController : public WindowController
{
    Q_OBJECT
public:
    using OperationTerminated = std::function<void(const QString& userId, const QString& blogId,
                                                   const QString& accessToken, const QString& refreshToken)>;

    explicit WelcomeWindowController(std::shared_ptr<GoogleAuthentificationService> service,
                                     QObject* parent = nullptr);
    ~WelcomeWindowController() override;

    OperationTerminated onOperationTerminated;

    void addNewBloggerAccountButtonClick();
    void supportButtonClick();

    WelcomeNewAccountService* welcomeNewAccountService() const { return m_welcomeNewAccountService.get(); }
    QWidget* windowOutlet() const;
    QWidget* bannerViewOutlet() const;

    static QString supportAddress() { return QStringLiteral("support@penhollow.app"); }
    static QUrl supportMailLink();

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setWindowUIConfiguration();

    std::unique_ptr<Ui::WelcomeWindow> m_ui;
    std::unique_ptr<WelcomeNewAccountService> m_welcomeNewAccountService;
    QPointer<QWidget> m_windowOutlet;
    // Where the pointer took the window when the user drags it by its background.
    std::optional<QPoint> m_dragOffset;
};

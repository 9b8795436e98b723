#include "SettingsAndAccountViewController.h"

#include "ui_SettingsAndAccountView.h"

#include "AccountsAndBlogsPopoverViewController.h"
#include "AlternativeButtonView.h"
#include "platform/gui/Popover.h"

SettingsAndAccountViewController::SettingsAndAccountViewController(QObject* parent)
    : ViewController(parent), m_controller(std::make_unique<AccountsAndBlogsPopoverViewController>())
{
}

SettingsAndAccountViewController::~SettingsAndAccountViewController() = default;

AlternativeButtonView* SettingsAndAccountViewController::helpImageOutlet() const
{
    return isViewLoaded() ? m_ui->helpImageOutlet : nullptr;
}

AlternativeButtonView* SettingsAndAccountViewController::avatarImageOutlet() const
{
    return isViewLoaded() ? m_ui->avatarImageOutlet : nullptr;
}

AccountsAndBlogsPopoverViewController* SettingsAndAccountViewController::controller() const
{
    return m_controller.get();
}

Popover* SettingsAndAccountViewController::popover() const
{
    return m_popover.get();
}

void SettingsAndAccountViewController::loadView()
{
    m_ui = std::make_unique<Ui::SettingsAndAccountView>();
    setView(viewFromInterface(*m_ui));
    setupView();
    setupEvents();
}

void SettingsAndAccountViewController::setupView()
{
    AlternativeButtonView* help = m_ui->helpImageOutlet;
    help->setAlternativeImage(QStringLiteral("LeftHelpOrange"));
    help->onClick = [this] { helpClick(); };
    help->initiate();

    AlternativeButtonView* settings = m_ui->avatarImageOutlet;
    settings->setAlternativeImage(QStringLiteral("LeftSettingsOrange"));
    settings->onClick = [this] { settingsClick(); };
    settings->initiate();
}

void SettingsAndAccountViewController::setupEvents()
{
    // The panel's closures are read when the popover raises its own, so later assignments count.
    m_controller->onAccountAndBlogChangeRequest = [this](const QString& account, const QString& blog) {
        if (onAccountAndBlogChangeRequest) {
            auto request = onAccountAndBlogChangeRequest;
            request(account, blog);
        }
    };
    m_controller->onAccountChangeRequest = [this](const QString& userId) {
        if (onAccountChangeRequest) {
            auto request = onAccountChangeRequest;
            request(userId);
        }
    };
    auto relay = [this](std::function<void()> SettingsAndAccountViewController::*closure) {
        return [this, closure] {
            if (this->*closure) {
                auto request = this->*closure;
                request();
            }
        };
    };
    m_controller->onReauthentificateCurrentAccountRequest =
        relay(&SettingsAndAccountViewController::onReauthentificateCurrentAccountRequest);
    m_controller->onRefreshCurrentAccountRequest =
        relay(&SettingsAndAccountViewController::onRefreshCurrentAccountRequest);
    m_controller->onAddNewAccountRequest = relay(&SettingsAndAccountViewController::onAddNewAccountRequest);
}

void SettingsAndAccountViewController::helpClick()
{
    if (onHelpRequest) {
        auto request = onHelpRequest;
        request();
    }
}

void SettingsAndAccountViewController::settingsClick()
{
    m_popover = std::make_unique<Popover>(m_controller.get());
    if (onAccountsAndBlogsSettingsPopupOpen) {
        auto request = onAccountsAndBlogsSettingsPopupOpen;
        request();
    }
    m_popover->showRelativeToView(m_ui->avatarImageOutlet);
}

void SettingsAndAccountViewController::close()
{
    if (m_popover) {
        m_popover->close();
    }
}

void SettingsAndAccountViewController::listUsers(const QList<BloggerUser>& users, const QString& currentUser)
{
    m_controller->listUsers(users, currentUser);
}

void SettingsAndAccountViewController::listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog)
{
    m_controller->listBlogs(blogs, currentBlog);
}
